#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/DeviceKind.h"

namespace vigiltron {

class AlertDispatcher;
class DeviceModel;
class ViewModel;
struct Preferences;

// Judges every reading and sensor event against the program-wide thresholds and decides whether
// it starts an alarm, repeats one, or ends one with an "OK" notice; the deliveries go through the
// AlertDispatcher. Repeats are held back by program-wide latches per kind (not per sensor) and a
// mark per tab slot that remembers whether the slot's last processed event was an alarm.
class ThresholdEvaluator {
public:
    // The four tilt conditions, in the order they are tested.
    enum TiltCondition { kXMin = 0, kXMax = 1, kYMin = 2, kYMax = 3 };

    struct Latches {
        bool tempEmailSent = false;
        bool tempOnScreenShown = false;
        bool tempPage = false;  // cleared only, never set
        bool humidEmailSent = false;
        bool humidOnScreenShown = false;
        bool humidPage = false;  // cleared only, never set
        bool WaterAlarmRaised = false;
        bool waterOkSent = false;
        std::array<bool, 4> tiltAlarmSent{};  // by TiltCondition
        std::array<bool, 4> tiltOkSent{};
        bool distanceAlarmSent = false;
        bool distanceOkSent = false;
    };

    struct Services {
        Preferences& prefs;
        ViewModel& view;
        DeviceModel& model;
        AlertDispatcher& alerts;
        // Adds an entry to the error journal of the preferences file (code, value).
        std::function<void(const std::string&, const std::string&)> errorJournal;
        // Whether the program lives in the tray ("Manager running in Systray").
        std::function<bool()> inTrayMode;
    };

    explicit ThresholdEvaluator(Services services);

    // Temperature reading of entry n (a combined sensor's temperature half: n is the lead and the
    // evaluation works on n + 1). Returns 1 when the reading is out of limits, else 0.
    int CheckTThresh(const std::string& reading, int n, int slot, bool comboHalf);
    // Humidity reading of entry n; the combo flag changes nothing. 1 when out of limits.
    int CheckHThresh(const std::string& reading, int n, int slot, bool comboHalf);
    // One accelerometer reading pair, as the stream line splits into X and Y texts.
    void CheckTilt(const std::string& x, const std::string& y, int n, int slot);
    // The alarm or OK notice of one tilt condition ("XMin", "XMax", "YMin", "YMax").
    void AccelAlert(int n, int slot, bool isOk, const std::string& condition);
    void BumpAlert(int n, int slot);
    void ChkDistance(const std::string& reading, int n, int slot);
    void DistanceAlert(int n, int slot, bool isOk, const std::string& text);
    void OutOfRangeAlert(int n, int slot);
    // Water detected (`cleared` false) or gone (`cleared` true).
    void CheckWaterEvents(int n, int slot, bool cleared);
    // One proximity detection of a proximity sensor or a distance sensor in proximity mode.
    void ProximityAlert(DeviceKind kind);

    // Disconnecting a sensor re-arms its kind.
    void ClearTemperatureLatches();
    void ClearHumidityLatches();
    // The distance sensor reported "No Object": its alarm states start over.
    void ResetDistanceStates();
    // Lets the next out-of-range reading or event of `kind` alert again although its alarm
    // already went out (the alert was held by a snooze that is over now).
    void Rearm(DeviceKind kind);

    bool WaterAlarmRaised() const { return latches_.WaterAlarmRaised; }
    // Whether the water sensor in `slot` still owes its "OK" notice: with "keep sending alerts"
    // on the program-wide flag never stays set, but the slot's own mark says an alarm went out.
    bool WaterAlarmOutstanding(int slot) const {
        return latches_.WaterAlarmRaised || SlotAlarmMark(Tab::Water, slot) == "1";
    }
    const Latches& CurrentLatches() const { return latches_; }
    // "" (unset), "1" (an alarm was processed for the slot) or "0" (back to normal).
    const std::string& SlotAlarmMark(Tab tab, int slot) const;
    // "1" while a temperature or humidity alarm has the tray icon on its alert image.
    const std::string& TrayAlertShown() const { return trayAlertShown_; }

private:
    struct Family;
    int CheckPolled(const Family& family, const std::string& reading, int n, int slot);
    std::string& Mark(Tab tab, int slot);
    void ShowTrayAlert();
    // A hysteresis setting as a width: its number, never below 0.
    static double Deadband(const std::string& text);
    // Whether a tilt alarm of `condition` (XMin, XMax, YMin, YMax) still holds at `value`.
    bool InTiltDeadband(int condition, double value) const;
    bool OnScreen(int index) const;
    bool Email(int index) const;
    bool Page(int index) const;
    static int TiltIndex(const std::string& condition);

    Services s_;
    Latches latches_;
    // Marks of slots 1..4 of each tab; index 0 is never used.
    std::array<std::array<std::string, 5>, kTabCount> marks_{};
    std::string trayAlertShown_;
};

}  // namespace vigiltron
