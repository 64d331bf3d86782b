#include "ui/SetupLoggingPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/SetupWindowBoxEvents.h"

namespace vigiltron {

SetupLoggingPage::SetupLoggingPage(SetupWindowCommands commands, std::function<void()> commandDone,
                                   QWidget* parent)
    : QWidget(parent), commands_(std::move(commands)), commandDone_(std::move(commandDone)) {
    closeAfterWrite_ = new QCheckBox(QStringLiteral("&Close log file after every write"), this);
    closeAfterWrite_->setObjectName(QStringLiteral("CloseFileAfterWrite"));
    connect(closeAfterWrite_, &QCheckBox::clicked, this, [this](bool on) {
        if (commands_.tick) {
            commands_.tick("CloseFileAfterWrite", on);
        }
        Done();
    });

    maxFileSize_ = NewTextBox("MaxFileSize");
    // A click in the size box checks what it holds.
    SetupWindowBoxEvents::OnPress(*maxFileSize_, [this] {
        if (commands_.checkLogSize) {
            commands_.checkLogSize();
        }
        Done();
    });
    totalSize_ = NewTextBox("HDDTotalAmount");
    prefix_ = NewTextBox("PrefaceFiles");
    // The Logs menu's "Set Log File Directory" chooses it.
    directory_ = new QLineEdit(this);
    directory_->setObjectName(QStringLiteral("logdir"));
    directory_->setReadOnly(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Maximum log file size (KB):"), maxFileSize_);
    form->addRow(QStringLiteral("&Total size of all log files (KB):"), totalSize_);
    form->addRow(QStringLiteral("File name &prefix:"), prefix_);
    form->addRow(QStringLiteral("Log &directory:"), directory_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(closeAfterWrite_);
    layout->addLayout(form);
    auto* note =
        new QLabel(QStringLiteral("Tab and file logging are switched on and off per device on the "
                                  "Devices page."),
                   this);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch(1);
}

QLineEdit* SetupLoggingPage::NewTextBox(const char* key) {
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(key));
    connect(box, &QLineEdit::textEdited, this,
            [this, name = std::string(key)](const QString& typed) {
                if (commands_.changeText) {
                    commands_.changeText(name, typed.toStdString());
                }
                Done();
            });
    return box;
}

void SetupLoggingPage::Done() {
    if (commandDone_) {
        commandDone_();
    }
}

void SetupLoggingPage::Render(const Preferences& prefs) {
    ShowChecked(*closeAfterWrite_, prefs.CloseFileAfterWrite);
    ShowText(*maxFileSize_, prefs.MaxFileSize);
    ShowText(*totalSize_, prefs.HDDTotalAmount);
    ShowText(*prefix_, prefs.PrefaceFiles);
    ShowText(*directory_, prefs.logdir);
}

}  // namespace vigiltron
