#pragma once

#include <functional>

#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "ui/SetupPage.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace vigiltron {

// The setup window's "Intervals & Start-up" page: the reading interval with its unit and slider,
// "Set", the binary interval of the event-driven sensors, and the start-up options.
class SetupIntervalsPage : public SetupPage {
    Q_OBJECT
public:
    SetupIntervalsPage(SetupWindowCommands commands, std::function<void()> commandDone,
                       QWidget* parent = nullptr);

    void Render(const ViewModel& view, const Preferences& prefs);

    QLineEdit* ReadingIntervalBox() const { return readingInterval_; }
    QRadioButton* MinutesOption() const { return minutes_; }
    QRadioButton* SecondsOption() const { return seconds_; }
    QSlider* Slider() const { return slider_; }
    QPushButton* SetButton() const { return set_; }
    QLineEdit* BinaryIntervalBox() const { return binaryInterval_; }
    QCheckBox* AutoConnectBox() const { return autoConnect_; }
    QCheckBox* PlaceInStartupBox() const { return placeInStartup_; }
    QCheckBox* TrayBox() const { return tray_; }

private:
    QLineEdit* readingInterval_ = nullptr;
    QRadioButton* minutes_ = nullptr;
    QRadioButton* seconds_ = nullptr;
    QSlider* slider_ = nullptr;
    QPushButton* set_ = nullptr;
    QLineEdit* binaryInterval_ = nullptr;
    QCheckBox* autoConnect_ = nullptr;
    QCheckBox* placeInStartup_ = nullptr;
    QCheckBox* tray_ = nullptr;
};

}  // namespace vigiltron
