#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "alerts/ProximityActions.h"

namespace vigiltron {

class ConfigStore;
class DeviceModel;
class Dialogs;
class LineStateSensors;
class LogFiles;
class SensorLink;
class SettingsTree;
class ViewModel;
struct Preferences;

// `dblNumber` rounded to `numDP` decimal places (0..9), halves upwards, by scaling with a power
// of ten: how the unit conversion rounds (5 decimals before, 1 after).
double RoundingDP(double dblNumber, int numDP);

// The rules of the setup window's preference pages, as commands: the window calls them as the
// user edits, and a command line applies any preference by its stored key through the same
// rules. Each works on the one `Preferences`, saves what the rules save at once, and applies the
// change to the running parts (polling and water timers, log files, proximity actions).
//
// Boxes and switches are named by their stored key ("TempMax", "chkEmailAlert6", ...); the
// per-entry logging switches are "TabLogging" and "FileLogging" followed by the setup index.
class SetupPreferences {
public:
    struct Services {
        Preferences& prefs;
        ViewModel& view;
        Dialogs& dialogs;
        SettingsTree& settings;
        ConfigStore& config;
        DeviceModel& model;
        SensorLink& link;
        LineStateSensors& lineState;
        LogFiles& logFiles;
        ProximityActions& proximity;
        // True while start-up loads the preferences: selecting the unit then converts nothing.
        std::function<bool()> loading;
    };

    // The slider's upper bounds. A seconds interval above 70 would give a polling period of a
    // minute or more, which the polling tick takes for minute mode and never reads.
    static constexpr int kMinutesSliderMax = 60;
    static constexpr int kSecondsSliderMax = 70;
    // The longest binary interval, in milliseconds.
    static constexpr long long kMaxBinaryInterval = 65535;

    // Built once at start-up; the log file size limit in force is 1000 kilobytes from now until
    // a file-logging option changes.
    explicit SetupPreferences(Services services);

    // The pages are shown: slider bounds and value from the current interval and unit.
    void Load();

    // ---- Intervals ----
    // "Set": applies the reading interval to every polling timer and the binary interval to the
    // water polls, restarting running timers, and saves them. False when an interval was refused
    // or repaired.
    bool cmdSet_Click();
    // "Minute(s)" (false) or "Seconds" (true): slider bounds, an interval below 8 raised to 8 in
    // seconds, then "Set".
    bool ChooseIntervalUnit(bool seconds);
    // Dragging the slider shows its value in the box; letting go saves it and runs "Set".
    void SliderScroll(int value);
    bool SliderChange(int value);
    void BinaryIntervalClick();
    void ReadingIntervalClick();

    // ---- Temperature unit ----
    // "Celsius" (true) or "Fahrenheit" (false): converts the temperature thresholds and the
    // highest/lowest values when the unit changes, except while start-up is loading.
    void ChooseTemperatureUnit(bool celsius);

    // ---- Boxes and switches ----
    // A box's text changed. False for a key that is not a box of these pages.
    bool ChangeText(const std::string& key, const std::string& text);
    // A box lost the focus: a non-numeric temperature or humidity threshold is reset, a
    // proximity delay is validated.
    void LeaveBox(const std::string& key);
    // A check box or option was ticked or unticked. False when the rules refuse it (the box stays
    // as it was) or the key is unknown.
    bool Tick(const std::string& key, bool ticked);
    // The tab-logging and file-logging boxes of setup index n (both halves of a combined sensor).
    bool SetTabLogging(int n, bool on);
    bool SetFileLogging(int n, bool on);
    // A click in the log size box, and part of OK: the size must be a number of at least 1;
    // otherwise "This value must be an integer" and "1000".
    bool CheckLogSize();
    // The proximity page: the action choice and the command browse.
    void ChooseProximityAction(ProximityActions::Action action);
    void BrowseProximityCommand(ProximityActions::Direction direction);

    // ---- OK ----
    // Saves the whole set, then checks the log size. False when either failed.
    bool cmdOK_Click();

    // ---- Command line ----
    // Applies one preference by its stored key through the window's rules and messages. False
    // when the value was refused or corrected, or the key is unknown ("Unknown setting: KEY").
    bool SetPreference(const std::string& key, const std::string& value);
    // Every preference SetPreference accepts, with its current value in stored form (switches
    // "1"/"0"), followed by the logging switches of the configured entries.
    std::vector<std::pair<std::string, std::string>> PreferencesInForce() const;

    // The cameras' rules: "Send to Summary" of camera c (answers the state the box keeps), and
    // a camera whose "FPS:" changed.
    std::function<bool(int camera, bool checked)> sendToSummary;
    std::function<void(int camera)> cameraPictureChanged;
    // A publishing setting ("Mqtt...") was changed and saved: the publisher takes it up.
    std::function<void()> publishingChanged;

private:
    struct Key {
        std::string name;
        std::string* text = nullptr;
        bool* flag = nullptr;
        // Where it is stored, when not under "Program Setup" by its own name (the cameras'
        // options: "chkCamMon2" is "chkCamMon" of "Program Setup\Prox2").
        std::string section;
        std::string storedName;
    };

    const Key* Find(const std::string& name) const;
    void Save(const std::string& key, const std::string& value);
    void ConvertThreshold(std::string& text, const char* key, bool toCelsius);
    bool EmailRecipientMissing() const;
    void FollowOnScreenAlerts();
    void CloseOpenLogFiles();
    bool SetLogging(int n, bool on, bool file);
    bool Refuse(const std::string& key, const std::string& value);
    // A camera option's box holds a value it can use; otherwise it gets its default back.
    void CheckCameraBox(const std::string& key, std::string& text);
    // A publishing box was left: the port and the topic prefix are checked (an unusable one
    // gets the value in force back), the password goes where passwords are kept.
    void LeavePublishingBox(const std::string& key, std::string& text);
    void Refresh();

    Services s_;
    std::vector<Key> keys_;
};

}  // namespace vigiltron
