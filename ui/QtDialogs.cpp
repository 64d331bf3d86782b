#include "ui/QtDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>

namespace vigiltron {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) {}

QtDialogs::~QtDialogs() {
    // Boxes without a parent window would outlive us otherwise.
    for (const QPointer<QMessageBox>& box : messages_) {
        delete box.data();
    }
}

std::vector<QMessageBox*> QtDialogs::OpenMessages() const {
    std::vector<QMessageBox*> open;
    for (const QPointer<QMessageBox>& box : messages_) {
        // A closed box lingers until its deferred deletion; it is no longer on screen.
        if (box && !box->isHidden()) {
            open.push_back(box.data());
        }
    }
    return open;
}

void QtDialogs::ShowMessage(const std::string& text, MessageIcon icon, bool systemModal,
                            const std::string& title) {
    std::erase_if(messages_, [](const QPointer<QMessageBox>& box) { return box.isNull(); });

    const QString qtText = QString::fromStdString(text);
    const QString qtTitle = QString::fromStdString(title);
    for (QMessageBox* open : OpenMessages()) {
        if (open->text() == qtText && open->windowTitle() == qtTitle) {
            open->raise();
            return;
        }
    }

    auto* box = new QMessageBox(ToQtIcon(icon), qtTitle, qtText, QMessageBox::Ok, parent_.data());
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Shown, never executed: the caller carries on while the message is up.
    box->setWindowModality(systemModal ? Qt::ApplicationModal : Qt::NonModal);
    messages_.emplace_back(box);
    box->show();
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& title, bool defaultYes) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                    parent_.data());
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::AskText(const std::string& prompt, const std::string& title,
                                              const std::string& initial) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent_.data(), QString::fromStdString(title),
                                                 QString::fromStdString(prompt), QLineEdit::Normal,
                                                 QString::fromStdString(initial), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return answer.toStdString();
}

std::optional<std::string> QtDialogs::ChooseDirectory(const std::string& caption,
                                                      const std::string& start) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent_.data(), QString::fromStdString(caption), QString::fromStdString(start));
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder.toStdString();
}

QString QtDialogs::QtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(';', ' ');
        if (patterns == "*.*") {
            patterns = "*";
        }
        // Descriptions usually name their patterns already: "Batch Files (*.bat)".
        const qsizetype open = description.lastIndexOf('(');
        if (open >= 0 && description.endsWith(')')) {
            description = description.left(open).trimmed();
        }
        entries << description + " (" + patterns + ")";
    }
    return entries.join(";;");
}

std::optional<std::string> QtDialogs::ChooseFile(const std::string& title,
                                                 const std::string& filter) {
    const QString file = QFileDialog::getOpenFileName(parent_.data(), QString::fromStdString(title),
                                                      QString(), QtFileFilter(filter));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return file.toStdString();
}

std::optional<std::string> QtDialogs::ChooseSaveFile(const std::string& title,
                                                     const std::string& filter,
                                                     const std::string& suggested) {
    const QString file = QFileDialog::getSaveFileName(
        parent_.data(), QString::fromStdString(title), QString::fromStdString(suggested),
        QtFileFilter(filter), nullptr, QFileDialog::DontConfirmOverwrite);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return file.toStdString();
}

}  // namespace vigiltron
