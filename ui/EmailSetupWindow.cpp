#include "ui/EmailSetupWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/Forward.h"

namespace vigiltron {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

EmailSetupWindow::EmailSetupWindow(ViewModel& view, const Preferences& prefs,
                                   EmailWindowCommands commands, QWidget* parent)
    : ViewDialog(view, commands.close, parent), prefs_(prefs), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("emailSetupWindow"));
    setWindowTitle(QStringLiteral("Email Alert Setup"));

    // Created in reading order, which is also the tab order.
    auto* route = new QGroupBox(QStringLiteral("Send alerts with"), this);
    smtpOption_ = new QRadioButton(QStringLiteral("&SMTP server"), route);
    smtpOption_->setObjectName(QStringLiteral("optUseSMTP"));
    mailClientOption_ = new QRadioButton(QStringLiteral("System &mail client"), route);
    mailClientOption_->setObjectName(QStringLiteral("optUseMailClient"));
    auto* routeGroup = new QButtonGroup(this);
    routeGroup->addButton(smtpOption_);
    routeGroup->addButton(mailClientOption_);
    auto* routeLayout = new QHBoxLayout(route);
    routeLayout->addWidget(smtpOption_);
    routeLayout->addWidget(mailClientOption_);
    routeLayout->addStretch();

    auto* addresses = new QFormLayout;
    recipient_ = new QLineEdit(this);
    recipient_->setObjectName(QStringLiteral("EmailAddress"));
    copy_ = new QLineEdit(this);
    copy_->setObjectName(QStringLiteral("CCEmailAddress"));
    addresses->addRow(QStringLiteral("&Recipient:"), recipient_);
    addresses->addRow(QStringLiteral("&Copy to:"), copy_);

    auto* content = new QGroupBox(QStringLiteral("Alert mail content"), this);
    includeTimeDate_ = new QCheckBox(QStringLiteral("Include &time and date"), content);
    includeTimeDate_->setObjectName(QStringLiteral("IncludeTimeDate"));
    includeReading_ = new QCheckBox(QStringLiteral("Include r&eading"), content);
    includeReading_->setObjectName(QStringLiteral("IncludeReading"));
    includeName_ = new QCheckBox(QStringLiteral("Include sensor &name"), content);
    includeName_->setObjectName(QStringLiteral("IncludeName"));
    includeInSubject_ = new QCheckBox(QStringLiteral("Include reading in sub&ject"), content);
    includeInSubject_->setObjectName(QStringLiteral("IncludeInSubject"));
    auto* contentLayout = new QVBoxLayout(content);
    for (QCheckBox* box : {includeTimeDate_, includeReading_, includeName_, includeInSubject_}) {
        contentLayout->addWidget(box);
    }

    auto* account = new QGroupBox(QStringLiteral("SMTP server"), this);
    auto* accountLayout = new QFormLayout(account);
    server_ = new QLineEdit(account);
    server_->setObjectName(QStringLiteral("SMTPHostServer"));
    accountLayout->addRow(QStringLiteral("Ser&ver:"), server_);
    authentication_ = new QCheckBox(
        QStringLiteral("Check if this SMTP server requires &authentication"), account);
    authentication_->setObjectName(QStringLiteral("chkAuthenticationReq"));
    accountLayout->addRow(authentication_);
    userName_ = new QLineEdit(account);
    userName_->setObjectName(QStringLiteral("SMTPUserName"));
    userNameLabel_ = new QLabel(QStringLiteral("&User name:"), account);
    userNameLabel_->setBuddy(userName_);
    accountLayout->addRow(userNameLabel_, userName_);
    password_ = new QLineEdit(account);
    password_->setObjectName(QStringLiteral("SMTPUserPassword"));
    password_->setEchoMode(QLineEdit::Password);
    passwordLabel_ = new QLabel(QStringLiteral("Pass&word:"), account);
    passwordLabel_->setBuddy(password_);
    accountLayout->addRow(passwordLabel_, password_);
    // Says where the password is kept: the desktop keyring or the settings file. One line, so
    // that the window still fits a 768-pixel-high screen.
    auto* passwordStorage = new QLabel(account);
    passwordStorage->setObjectName(QStringLiteral("passwordStorage"));
    accountLayout->addRow(passwordStorage);
    sender_ = new QLineEdit(account);
    sender_->setObjectName(QStringLiteral("SMTPFromEmailAddress"));
    accountLayout->addRow(QStringLiteral("Sen&der address:"), sender_);

    auto* statusLabel = new QLabel(QStringLiteral("Status &list:"), this);
    statusList_ = new QListWidget(this);
    statusList_->setObjectName(QStringLiteral("EmailStatusList"));
    statusLabel->setBuddy(statusList_);

    testButton_ = new QPushButton(QStringLiteral("Test SMT&P Email Alert"), this);
    testButton_->setObjectName(QStringLiteral("cmdTestSmtp"));
    createLogButton_ = new QPushButton(QStringLiteral("Create Log &File"), this);
    createLogButton_->setObjectName(QStringLiteral("cmdCreateLogFile"));
    clearLogButton_ = new QPushButton(QStringLiteral("Clear Lo&g"), this);
    clearLogButton_->setObjectName(QStringLiteral("cmdClearLog"));
    okButton_ = new QPushButton(QStringLiteral("&OK"), this);
    okButton_->setObjectName(QStringLiteral("cmdOK"));
    okButton_->setDefault(true);

    auto* logButtons = new QHBoxLayout;
    logButtons->addWidget(testButton_);
    logButtons->addWidget(createLogButton_);
    logButtons->addWidget(clearLogButton_);
    logButtons->addStretch();
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(okButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(route);
    layout->addLayout(addresses);
    layout->addWidget(content);
    layout->addWidget(account);
    layout->addWidget(statusLabel);
    layout->addWidget(statusList_, 1);
    layout->addLayout(logButtons);
    layout->addLayout(okRow);

    for (QRadioButton* option : {smtpOption_, mailClientOption_}) {
        connect(option, &QRadioButton::toggled, this, [this, option](bool checked) {
            if (checked) {
                Forward(commands_.chooseMailRoute, option == smtpOption_);
            }
        });
    }
    connect(authentication_, &QCheckBox::toggled, this,
            [this](bool checked) { Forward(commands_.setAuthenticationRequired, checked); });
    connect(testButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.testSmtpEmail, server_->text().toStdString()); });
    connect(createLogButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.createLogFile); });
    connect(clearLogButton_, &QPushButton::clicked, this, [this] { Forward(commands_.clearLog); });
    connect(okButton_, &QPushButton::clicked, this, [this] { Save(); });

    // Only requests made from now on move the focus.
    focusRequestsHandled_ = view_.contactSetup.focusRequests;
    statusClearsShown_ = view_.contactSetup.emailStatusClears;
    Refresh();
}

void EmailSetupWindow::LoadBoxes() {
    recipient_->setText(Text(prefs_.EmailAddress));
    copy_->setText(Text(prefs_.CCEmailAddress));
    includeTimeDate_->setChecked(prefs_.IncludeTimeDate);
    includeReading_->setChecked(prefs_.IncludeReading);
    includeName_->setChecked(prefs_.IncludeName);
    includeInSubject_->setChecked(prefs_.IncludeInSubject);
    server_->setText(Text(prefs_.SMTPHostServer));
    userName_->setText(Text(prefs_.SMTPUserName));
    password_->setText(Text(prefs_.SMTPUserPassword));
    findChild<QLabel*>(QStringLiteral("passwordStorage"))
        ->setText(Text(view_.contactSetup.passwordStorage));
    sender_->setText(Text(prefs_.SMTPFromEmailAddress));
}

void EmailSetupWindow::RenderStatusList() {
    const ContactSetupView& v = view_.contactSetup;
    if (statusClearsShown_ != v.emailStatusClears ||
        statusList_->count() > int(v.emailStatus.size())) {
        statusList_->clear();
        statusClearsShown_ = v.emailStatusClears;
    }
    const bool added = statusList_->count() < int(v.emailStatus.size());
    for (int i = statusList_->count(); i < int(v.emailStatus.size()); ++i) {
        statusList_->addItem(Text(v.emailStatus[std::size_t(i)]));
    }
    if (added) {
        statusList_->scrollToBottom();
    }
}

void EmailSetupWindow::Render(bool opening) {
    const ContactSetupView& v = view_.contactSetup;
    {
        // Rendering is not the user's doing: no command may follow from it.
        const QSignalBlocker blockSmtp(smtpOption_);
        const QSignalBlocker blockClient(mailClientOption_);
        const QSignalBlocker blockAuthentication(authentication_);
        if (opening) {
            LoadBoxes();
        }
        smtpOption_->setChecked(prefs_.optUseSMTP);
        mailClientOption_->setChecked(!prefs_.optUseSMTP);
        authentication_->setChecked(prefs_.chkAuthenticationReq);
    }
    for (QWidget* credential :
         std::initializer_list<QWidget*>{userNameLabel_, userName_, passwordLabel_, password_}) {
        credential->setEnabled(v.emailCredentialsEnabled);
    }
    RenderStatusList();
}

void EmailSetupWindow::RenderFocus() {
    const ContactSetupView& v = view_.contactSetup;
    if (focusRequestsHandled_ != v.focusRequests) {
        focusRequestsHandled_ = v.focusRequests;
        if (v.focus == ContactSetupView::Focus::SmtpUserName && v.emailWindowVisible) {
            userName_->setFocus();
        }
    }
}

void EmailSetupWindow::Save() {
    EmailSettings settings;
    settings.EmailAddress = recipient_->text().toStdString();
    settings.CCEmailAddress = copy_->text().toStdString();
    settings.IncludeTimeDate = includeTimeDate_->isChecked();
    settings.IncludeReading = includeReading_->isChecked();
    settings.IncludeName = includeName_->isChecked();
    settings.IncludeInSubject = includeInSubject_->isChecked();
    settings.SMTPHostServer = server_->text().toStdString();
    settings.SMTPUserName = userName_->text().toStdString();
    settings.SMTPUserPassword = password_->text().toStdString();
    settings.SMTPFromEmailAddress = sender_->text().toStdString();
    Forward(commands_.save, settings);
}

}  // namespace vigiltron
