#include "ui/AlarmWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace vigiltron {

namespace {

// Alarm texts break their lines with a CR.
QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

}  // namespace

AlarmWindow::AlarmWindow(ViewModel& view, AlarmWindowCommands commands, QWidget* parent)
    : QDialog(parent), view_(view), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("alarmWindow"));
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint);

    firstLine_ = new QLabel(this);
    firstLine_->setObjectName(QStringLiteral("alarmFirstLine"));
    secondLine_ = new QLabel(this);
    secondLine_->setObjectName(QStringLiteral("alarmSecondLine"));
    for (QLabel* label : {firstLine_, secondLine_}) {
        label->setAlignment(Qt::AlignCenter);
        QFont font = label->font();
        font.setPointSize(14);
        font.setBold(true);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        label->setPalette(palette);
    }

    continueButton_ = new QPushButton(QStringLiteral("Continue"), this);
    continueButton_->setObjectName(QStringLiteral("alarmContinue"));
    continueButton_->setDefault(true);
    disableAllButton_ = new QPushButton(QStringLiteral("Disable All Alarms"), this);
    disableAllButton_->setObjectName(QStringLiteral("alarmDisableAll"));
    connect(continueButton_, &QPushButton::clicked, this, [this] { Acknowledge(); });
    connect(disableAllButton_, &QPushButton::clicked, this, [this] {
        if (commands_.disableAllClicked) {
            commands_.disableAllClicked();
        }
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(continueButton_);
    buttons->addWidget(disableAllButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(firstLine_);
    layout->addWidget(secondLine_);
    layout->addLayout(buttons);

    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(0);
    connect(&refreshTimer_, &QTimer::timeout, this, &AlarmWindow::Refresh);
    // The view model keeps its observers for its whole life; the guard makes a late notice
    // harmless.
    view_.Subscribe([guard = QPointer<AlarmWindow>(this)] {
        if (guard && !guard->refreshTimer_.isActive()) {
            guard->refreshTimer_.start();
        }
    });
    resize(380, 160);
    Refresh();
}

void AlarmWindow::Refresh() {
    refreshTimer_.stop();
    const AlarmWindowView& alarm = view_.alarm;
    const QString title = QString::fromStdString(alarm.title);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    firstLine_->setText(DisplayText(alarm.firstLine));
    firstLine_->setVisible(alarm.firstLineVisible);
    secondLine_->setText(DisplayText(alarm.secondLine));
    secondLine_->setVisible(alarm.secondLineVisible);
    if (alarm.visible && !isVisible()) {
        show();
        raise();
        activateWindow();
    } else if (!alarm.visible && isVisible()) {
        hide();
    }
}

void AlarmWindow::Acknowledge() {
    if (commands_.continueClicked) {
        commands_.continueClicked();
    }
}

void AlarmWindow::closeEvent(QCloseEvent* event) {
    // Closing by the title bar stops the sound and discards the texts, like "Continue".
    if (!commands_.continueClicked) {
        event->accept();
        return;
    }
    // The window follows the view model: the command's change hides it.
    event->ignore();
    Acknowledge();
}

void AlarmWindow::reject() {
    Acknowledge();
}

}  // namespace vigiltron
