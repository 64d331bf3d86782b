#include "ui/SetupPublishingPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/SetupWindowBoxEvents.h"

namespace vigiltron {

SetupPublishingPage::SetupPublishingPage(SetupWindowCommands commands,
                                         std::function<void()> commandDone, QWidget* parent)
    : SetupPage(std::move(commands), std::move(commandDone), parent) {
    // Created in the order the keyboard visits them.
    enabled_ = NewTickBox(QStringLiteral("&Publish to an MQTT broker"), "MqttEnabled", this);

    auto* broker = new QGroupBox(QStringLiteral("Broker"), this);
    server_ = NewAppliedBox("MqttServer");
    server_->setPlaceholderText(QStringLiteral("mqtt.example.com"));
    port_ = NewAppliedBox("MqttPort");
    port_->setMaximumWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    tls_ = NewTickBox(QStringLiteral("Use &TLS (the broker's certificate is verified)"), "MqttTls",
                      broker);
    caFile_ = NewAppliedBox("MqttCAFile");
    caFile_->setPlaceholderText(QStringLiteral("the system's certificate authorities"));
    user_ = NewAppliedBox("MqttUser");
    user_->setPlaceholderText(QStringLiteral("no login"));
    password_ = NewAppliedBox("MqttPassword");
    password_->setEchoMode(QLineEdit::Password);
    passwordStorage_ = new QLabel(broker);
    passwordStorage_->setObjectName(QStringLiteral("passwordStorage"));
    passwordStorage_->setWordWrap(true);

    auto* brokerForm = new QFormLayout(broker);
    brokerForm->addRow(QStringLiteral("&Server:"), server_);
    brokerForm->addRow(QStringLiteral("Po&rt:"), port_);
    brokerForm->addRow(tls_);
    brokerForm->addRow(QStringLiteral("&CA file (PEM, optional):"), caFile_);
    brokerForm->addRow(QStringLiteral("&User name:"), user_);
    brokerForm->addRow(QStringLiteral("Pass&word:"), password_);
    brokerForm->addRow(passwordStorage_);

    auto* topics = new QGroupBox(QStringLiteral("Topics"), this);
    prefix_ = NewAppliedBox("MqttTopicPrefix");
    discovery_ = NewTickBox(QStringLiteral("&Home Assistant discovery"), "MqttDiscovery", topics);
    auto* note = new QLabel(
        QStringLiteral("Each sensor publishes its readings to PREFIX/HOST/ENTRY/state, its "
                       "connection to .../availability and its alarms to .../alarm."),
        topics);
    note->setWordWrap(true);
    auto* topicsForm = new QFormLayout(topics);
    topicsForm->addRow(QStringLiteral("Topic pre&fix:"), prefix_);
    topicsForm->addRow(discovery_);
    topicsForm->addRow(note);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("mqttStatus"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enabled_);
    layout->addWidget(broker);
    layout->addWidget(topics);
    layout->addWidget(status_);
    layout->addStretch(1);
}

QLineEdit* SetupPublishingPage::NewAppliedBox(const std::string& key) {
    QLineEdit* box = NewTextBox(key, this);
    SetupWindowBoxEvents::OnLeave(*box, [this, key] { Run(commands_.leaveBox, key); });
    return box;
}

void SetupPublishingPage::Render(const ViewModel& view, const Preferences& prefs) {
    ShowChecked(*enabled_, prefs.MqttEnabled);
    ShowText(*server_, prefs.MqttServer);
    ShowText(*port_, prefs.MqttPort);
    ShowChecked(*tls_, prefs.MqttTls);
    ShowText(*caFile_, prefs.MqttCAFile);
    ShowText(*user_, prefs.MqttUser);
    ShowText(*password_, prefs.MqttPassword);
    passwordStorage_->setText(QString::fromStdString(view.contactSetup.passwordStorage));
    passwordStorage_->setVisible(!view.contactSetup.passwordStorage.empty());
    ShowText(*prefix_, prefs.MqttTopicPrefix);
    ShowChecked(*discovery_, prefs.MqttDiscovery);
    status_->setText(QString::fromStdString(view.mqttStatus));
}

QCheckBox* SetupPublishingPage::Switch(const std::string& key) const {
    for (QCheckBox* box : {enabled_, tls_, discovery_}) {
        if (box->objectName().toStdString() == key) {
            return box;
        }
    }
    return nullptr;
}

QLineEdit* SetupPublishingPage::Box(const std::string& key) const {
    for (QLineEdit* box : {server_, port_, caFile_, user_, password_, prefix_}) {
        if (box->objectName().toStdString() == key) {
            return box;
        }
    }
    return nullptr;
}

}  // namespace vigiltron
