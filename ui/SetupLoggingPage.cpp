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
    : SetupPage(std::move(commands), std::move(commandDone), parent) {
    closeAfterWrite_ = NewTickBox(QStringLiteral("&Close log file after every write"),
                                  "CloseFileAfterWrite", this);
    maxFileSize_ = NewTextBox("MaxFileSize", this);
    // A click in the size box checks what it holds.
    SetupWindowBoxEvents::OnPress(*maxFileSize_, [this] { Run(commands_.checkLogSize); });
    totalSize_ = NewTextBox("HDDTotalAmount", this);
    prefix_ = NewTextBox("PrefaceFiles", this);
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

void SetupLoggingPage::Render(const Preferences& prefs) {
    ShowChecked(*closeAfterWrite_, prefs.CloseFileAfterWrite);
    ShowText(*maxFileSize_, prefs.MaxFileSize);
    ShowText(*totalSize_, prefs.HDDTotalAmount);
    ShowText(*prefix_, prefs.PrefaceFiles);
    ShowText(*directory_, prefs.logdir);
}

}  // namespace vigiltron
