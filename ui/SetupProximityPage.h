#pragma once

#include <array>
#include <functional>

#include "config/Preferences.h"
#include "ui/SetupPage.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vigiltron {

// The setup window's "Proximity Events" page: what a walk-up or walk-away does to the
// workstation (one of four actions), the commands run per direction with their "Browse..."
// buttons, and the two delays.
class SetupProximityPage : public SetupPage {
    Q_OBJECT
public:
    SetupProximityPage(SetupWindowCommands commands, std::function<void()> commandDone,
                       QWidget* parent = nullptr);

    void Render(const Preferences& prefs);

    QRadioButton* ActionOption(ProximityActions::Action action) const;
    // Per direction (ProximityActions::kWalkAway, kWalkUp).
    QLineEdit* CommandBox(ProximityActions::Direction direction) const {
        return commandBoxes_[direction];
    }
    QPushButton* BrowseButton(ProximityActions::Direction direction) const {
        return browse_[direction];
    }
    QLineEdit* DelayBox(ProximityActions::Direction direction) const { return delay_[direction]; }

private:
    std::array<QRadioButton*, 4> actions_{};  // in the order of ProximityActions::Action
    std::array<QLineEdit*, 2> commandBoxes_{};
    std::array<QPushButton*, 2> browse_{};
    std::array<QLineEdit*, 2> delay_{};
};

}  // namespace vigiltron
