#include "ui/RemoteMonitoringWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
    layout->addStretch();
    layout->addLayout(okRow);

    connect(okButton_, &QPushButton::clicked, this, [this] { Save(); });

    // Only requests made from now on move the focus.
    focusRequestsHandled_ = view_.contactSetup.focusRequests;
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
    }
}

void RemoteMonitoringWindow::Save() {
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
    Forward(commands_.save, settings);
}

}  // namespace vigiltron
