#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/Preferences.h"
#include "ui/SetupPage.h"

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vigiltron {

// The setup window's "Thresholds & Alerts" page: the thresholds of every kind with the
// temperature unit and each family's deadband, the alert switches per sensor family with the
// program-wide alert options, and the escalation of unacknowledged alarms. Every box and switch
// is named after its stored key.
class SetupAlertsPage : public SetupPage {
    Q_OBJECT
public:
    SetupAlertsPage(SetupWindowCommands commands, std::function<void()> commandDone,
                    QWidget* parent = nullptr);

    void Render(const Preferences& prefs);

    // The threshold box or the switch of a stored key; nothing for another key.
    QLineEdit* Box(const std::string& key) const;
    QCheckBox* Switch(const std::string& key) const;
    QRadioButton* CelsiusOption() const { return celsius_; }
    QRadioButton* FahrenheitOption() const { return fahrenheit_; }
    QPushButton* EmailSetupButton() const { return emailSetup_; }
    QPushButton* PagingSetupButton() const { return pagingSetup_; }

private:
    struct BoxOfKey {
        std::string key;
        QLineEdit* box;
        std::string Preferences::*text;
    };
    struct SwitchOfKey {
        std::string key;
        QCheckBox* box;
        std::function<bool(const Preferences&)> ticked;
    };

    QWidget* BuildThresholds();
    QWidget* BuildAlerts();
    QWidget* BuildEscalation(QWidget* column);
    // The deadband of a family, beside the first limit in `grid`.
    void AddDeadband(QGridLayout& grid, const char* key, std::string Preferences::*text,
                     const QString& name);
    // A labelled box in `row`; `column` 1 puts it beside the one of column 0.
    QLineEdit* AddBox(QGridLayout& grid, int row, const QString& caption, const char* key,
                      std::string Preferences::*text, int column = 0);
    QCheckBox* AddSwitch(const QString& caption, const std::string& key,
                         std::function<bool(const Preferences&)> ticked);

    std::vector<BoxOfKey> boxes_;
    std::vector<SwitchOfKey> switches_;
    QRadioButton* celsius_ = nullptr;
    QRadioButton* fahrenheit_ = nullptr;
    QPushButton* emailSetup_ = nullptr;
    QPushButton* pagingSetup_ = nullptr;
};

}  // namespace vigiltron
