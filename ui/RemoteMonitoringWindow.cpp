#include "ui/RemoteMonitoringWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/Forward.h"

namespace vigiltron {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// What the remote directory box starts with before one was ever chosen.
constexpr const char* kSuggestedRemoteDirectory = "vigiltron";

}  // namespace

RemoteMonitoringWindow::RemoteMonitoringWindow(ViewModel& view, const Preferences& prefs,
                                               RemoteMonitoringWindowCommands commands,
                                               QWidget* parent)
    : ViewDialog(view, commands.close, parent), prefs_(prefs), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("remoteMonitoringWindow"));
    setWindowTitle(QStringLiteral("Remote Monitoring"));

    // Created in reading order, which is also the tab order.
    auto* ftp = new QGroupBox(QStringLiteral("FTP server"), this);
    auto* ftpLayout = new QFormLayout(ftp);
    server_ = new QLineEdit(ftp);
    server_->setObjectName(QStringLiteral("ServerName"));
    userName_ = new QLineEdit(ftp);
    userName_->setObjectName(QStringLiteral("UserName"));
    password_ = new QLineEdit(ftp);
    password_->setObjectName(QStringLiteral("pw"));
    password_->setEchoMode(QLineEdit::Password);
    remoteDirectory_ = new QLineEdit(ftp);
    remoteDirectory_->setObjectName(QStringLiteral("RemoteDirectory"));
    ftpLayout->addRow(QStringLiteral("FTP &server:"), server_);
    ftpLayout->addRow(QStringLiteral("&User name:"), userName_);
    ftpLayout->addRow(QStringLiteral("Pass&word:"), password_);
    // Says where the password is kept: the desktop keyring or the settings file.
    auto* passwordStorage = new QLabel(ftp);
    passwordStorage->setObjectName(QStringLiteral("passwordStorage"));
    passwordStorage->setWordWrap(true);
    ftpLayout->addRow(passwordStorage);
    ftpLayout->addRow(QStringLiteral("Remote &directory:"), remoteDirectory_);

    auto* updates = new QGroupBox(QStringLiteral("Updates"), this);
    auto* updatesLayout = new QFormLayout(updates);
    interval_ = new QLineEdit(updates);
    interval_->setObjectName(QStringLiteral("InternetInterval"));
    title_ = new QLineEdit(updates);
    title_->setObjectName(QStringLiteral("txtTitleForUpdatePage"));
    updatesLayout->addRow(QStringLiteral("Update &interval (minutes):"), interval_);
    updatesLayout->addRow(QStringLiteral("Title for the update &page:"), title_);
    stayConnected_ = new QRadioButton(QStringLiteral("Stay co&nnected"), updates);
    stayConnected_->setObjectName(QStringLiteral("optStayConnected"));
    connectBeforeSend_ = new QRadioButton(QStringLiteral("Do not stay connec&ted"), updates);
    connectBeforeSend_->setObjectName(QStringLiteral("optConnectBeforeSend"));
    auto* policy = new QButtonGroup(this);
    policy->addButton(stayConnected_);
    policy->addButton(connectBeforeSend_);
    auto* policyRow = new QHBoxLayout;
    policyRow->addWidget(stayConnected_);
    policyRow->addWidget(connectBeforeSend_);
    policyRow->addStretch();
    updatesLayout->addRow(policyRow);
    seeMessages_ = new QCheckBox(QStringLiteral("Show FTP &messages"), updates);
    seeMessages_->setObjectName(QStringLiteral("SeeMessages"));
    updatesLayout->addRow(seeMessages_);
    autoStart_ = new QCheckBox(
        QStringLiteral("&Ask whether to start remote monitoring at start-up"), updates);
    autoStart_->setObjectName(QStringLiteral("AutoStartIUE"));
    updatesLayout->addRow(autoStart_);

    auto* local = new QGroupBox(QStringLiteral("Local report"), this);
    auto* localLayout = new QFormLayout(local);
    useDirectory_ = new QCheckBox(
        QStringLiteral("Store the report in a &local directory instead of sending it by FTP"),
        local);
    useDirectory_->setObjectName(QStringLiteral("UseDirectory"));
    xmlDirectory_ = new QLineEdit(local);
    xmlDirectory_->setObjectName(QStringLiteral("txtXMLDirectory"));
    localLayout->addRow(useDirectory_);
    localLayout->addRow(QStringLiteral("Local XML dire&ctory:"), xmlDirectory_);

    // The update engine: connection, schedule, test transfer and manual FTP commands.
    auto* engine = new QGroupBox(QStringLiteral("FTP update"), this);
    auto* engineLayout = new QVBoxLayout(engine);
    const auto button = [engine](const char* caption, const char* name,
                                 const std::function<void()>& command) {
        auto* b = new QPushButton(QString::fromUtf8(caption), engine);
        b->setObjectName(QString::fromLatin1(name));
        QObject::connect(b, &QPushButton::clicked, engine, [command] { Forward(command); });
        return b;
    };
    login_ = button("Lo&gin", "cmdLoginFTP", [this] { Forward(commands_.login, Shown()); });
    logout_ = button("Log o&ff", "cmdLogoutFTP", commands_.logout);
    startStop_ = button("Start FTP Updat&e", "cmdStartUpdate", commands_.startStopUpdate);
    testTransfer_ = button("Test Transfer (&XSL file)", "cmdTestTransfer", commands_.testTransfer);
    updateState_ = new QLabel(engine);
    updateState_->setObjectName(QStringLiteral("UpdateRunning"));
    auto* connectionRow = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(login_), static_cast<QWidget*>(logout_),
                       static_cast<QWidget*>(startStop_), static_cast<QWidget*>(testTransfer_)}) {
        connectionRow->addWidget(w);
    }
    connectionRow->addWidget(updateState_);
    connectionRow->addStretch();
    engineLayout->addLayout(connectionRow);
    ftpCommands_ = {button("C&hange directory...", "cmdCD", commands_.changeDirectory),
                    button("Directory &view", "cmdDIR", commands_.directoryListing),
                    button("&Brief listing", "cmdLS", commands_.listContents),
                    button("Ma&ke directory...", "cmdMKDIR", commands_.makeDirectory)};
    auto* commandRow = new QHBoxLayout;
    for (QPushButton* b : ftpCommands_) {
        commandRow->addWidget(b);
    }
    commandRow->addWidget(button("Cancel re&quest", "cmdCancel", commands_.cancel));
    commandRow->addStretch();
    engineLayout->addLayout(commandRow);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(
        button("Create local XML director&y...", "cmdXMLDir", commands_.makeLocalDirectory));
    fileRow->addWidget(button("&Save Log", "cmdSaveLog", commands_.saveLog));
    fileRow->addStretch();
    engineLayout->addLayout(fileRow);
    messages_ = new QGroupBox(QStringLiteral("FTP messages"), engine);
    auto* messagesLayout = new QVBoxLayout(messages_);
    log_ = new QPlainTextEdit(messages_);
    log_->setObjectName(QStringLiteral("ftpLog"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    messagesLayout->addWidget(log_);
    engineLayout->addWidget(messages_);
    // The log shows as soon as the box is ticked; the choice is saved with OK.
    connect(seeMessages_, &QCheckBox::toggled, messages_, &QWidget::setVisible);

    okButton_ = new QPushButton(QStringLiteral("&OK"), this);
    okButton_->setObjectName(QStringLiteral("cmdOK"));
    okButton_->setDefault(true);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(okButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ftp);
    layout->addWidget(updates);
    layout->addWidget(local);
    layout->addWidget(engine, 1);
    layout->addLayout(okRow);

    connect(okButton_, &QPushButton::clicked, this, [this] { Save(); });

    // Only requests made from now on move the focus.
    focusRequestsHandled_ = view_.contactSetup.focusRequests;
    remoteDirectoryBlanks_ = view_.contactSetup.ftp.remoteDirectoryBlankRequests;
    Refresh();
}

void RemoteMonitoringWindow::LoadBoxes() {
    server_->setText(Text(prefs_.ServerName));
    userName_->setText(Text(prefs_.UserName));
    password_->setText(Text(prefs_.pw));
    findChild<QLabel*>(QStringLiteral("passwordStorage"))
        ->setText(Text(view_.contactSetup.passwordStorage));
    remoteDirectory_->setText(prefs_.RemoteDirectory.empty()
                                  ? QString::fromLatin1(kSuggestedRemoteDirectory)
                                  : Text(prefs_.RemoteDirectory));
    interval_->setText(Text(prefs_.InternetInterval));
    title_->setText(Text(prefs_.txtTitleForUpdatePage));
    stayConnected_->setChecked(prefs_.optStayConnected);
    connectBeforeSend_->setChecked(!prefs_.optStayConnected);
    seeMessages_->setChecked(prefs_.SeeMessages);
    autoStart_->setChecked(prefs_.AutoStartIUE);
    useDirectory_->setChecked(prefs_.UseDirectory);
    xmlDirectory_->setText(Text(prefs_.txtXMLDirectory));
}

void RemoteMonitoringWindow::Render(bool opening) {
    if (opening) {
        // Nothing here commands the program while it changes: the boxes are sent only by OK.
        LoadBoxes();
        messages_->setVisible(prefs_.SeeMessages);
    }
    RenderFtp();
}

void RemoteMonitoringWindow::RenderFtp() {
    const ContactSetupView::FtpUpdateView& ftp = view_.contactSetup.ftp;
    login_->setEnabled(ftp.loginEnabled);
    logout_->setEnabled(ftp.logoutEnabled);
    // The captions are the engine's; the window adds the same mnemonic to both.
    QString caption = Text(ftp.updateCaption);
    caption.insert(caption.lastIndexOf(QLatin1Char('e')), QLatin1Char('&'));
    startStop_->setText(caption);
    startStop_->setEnabled(ftp.updateEnabled);
    testTransfer_->setEnabled(ftp.testTransferEnabled);
    for (QPushButton* b : ftpCommands_) {
        b->setEnabled(ftp.commandsEnabled);
    }
    stayConnected_->setEnabled(ftp.connectionChoiceEnabled);
    connectBeforeSend_->setEnabled(ftp.connectionChoiceEnabled);
    updateState_->setText(ftp.updateRunning ? QStringLiteral("Update: On")
                                            : QStringLiteral("Update: Off"));
    if (remoteDirectoryBlanks_ != ftp.remoteDirectoryBlankRequests) {
        remoteDirectoryBlanks_ = ftp.remoteDirectoryBlankRequests;
        remoteDirectory_->clear();
    }
    // Only the new lines are added; an emptied log starts over.
    if (logClearsShown_ != ftp.logClears || logLinesShown_ > ftp.log.size()) {
        log_->clear();
        logClearsShown_ = ftp.logClears;
        logLinesShown_ = 0;
    }
    for (; logLinesShown_ < ftp.log.size(); ++logLinesShown_) {
        log_->appendPlainText(Text(ftp.log[logLinesShown_]));
    }
}

void RemoteMonitoringWindow::RenderFocus() {
    const ContactSetupView& v = view_.contactSetup;
    if (focusRequestsHandled_ != v.focusRequests) {
        focusRequestsHandled_ = v.focusRequests;
        if (v.focus == ContactSetupView::Focus::InternetInterval &&
            v.remoteMonitoringWindowVisible) {
            interval_->setFocus();
            interval_->selectAll();
        }
        if (v.focus == ContactSetupView::Focus::FtpServerName && v.remoteMonitoringWindowVisible) {
            server_->setFocus();
            server_->selectAll();
        }
    }
}

void RemoteMonitoringWindow::Save() {
    Forward(commands_.save, Shown());
}

RemoteMonitoringSettings RemoteMonitoringWindow::Shown() const {
    RemoteMonitoringSettings settings;
    settings.ServerName = server_->text().toStdString();
    settings.UserName = userName_->text().toStdString();
    settings.pw = password_->text().toStdString();
    settings.RemoteDirectory = remoteDirectory_->text().toStdString();
    settings.InternetInterval = interval_->text().toStdString();
    settings.SeeMessages = seeMessages_->isChecked();
    settings.optStayConnected = stayConnected_->isChecked();
    settings.txtTitleForUpdatePage = title_->text().toStdString();
    settings.txtXMLDirectory = xmlDirectory_->text().toStdString();
    settings.UseDirectory = useDirectory_->isChecked();
    settings.AutoStartIUE = autoStart_->isChecked();
    return settings;
}

}  // namespace vigiltron
