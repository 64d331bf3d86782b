#pragma once

#include <functional>
#include <string>

#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "ui/SetupPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vigiltron {

// The setup window's "Publishing" page: the one switch that publishes every connected sensor to
// an MQTT broker, the broker's address, TLS and login, the topic prefix, Home Assistant discovery,
// and a line telling how the broker connection stands. Boxes are checked and applied when left.
class SetupPublishingPage : public SetupPage {
    Q_OBJECT
public:
    SetupPublishingPage(SetupWindowCommands commands, std::function<void()> commandDone,
                        QWidget* parent = nullptr);

    void Render(const ViewModel& view, const Preferences& prefs);

    // The check box of a switch or the box of a text, by its stored key ("MqttEnabled",
    // "MqttServer", ...); nothing for other keys.
    QCheckBox* Switch(const std::string& key) const;
    QLineEdit* Box(const std::string& key) const;
    QLabel* StatusLine() const { return status_; }

private:
    // A box whose text is applied (and checked) when the user leaves it.
    QLineEdit* NewAppliedBox(const std::string& key);

    QCheckBox* enabled_ = nullptr;
    QLineEdit* server_ = nullptr;
    QLineEdit* port_ = nullptr;
    QCheckBox* tls_ = nullptr;
    QLineEdit* caFile_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* passwordStorage_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QCheckBox* discovery_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace vigiltron
