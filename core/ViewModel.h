#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/CameraViewData.h"
#include "core/DeviceKind.h"
#include "core/ContactSetupView.h"
#include "core/DeviceSetupView.h"
#include "core/SetupPreferencesView.h"

namespace vigiltron {

// Grey marks a value that is no longer current (the last reading of a sensor whose port is lost).
enum class TextColour { Black, Red, Blue, Green, Grey };

// One row of the Summary tab: what the user sees for a setup index.
struct SummaryRow {
    std::string name;
    bool visible = false;
    std::string reading = "OFF";
    TextColour readingColour = TextColour::Black;
    int readingFontSize = 14;
    bool readingBorder = true;
    std::string unit;  // "F"/"C" on temperature rows
    bool unitVisible = false;
    int unitFontSize = 14;
    std::string status;
    TextColour statusColour = TextColour::Blue;
    int statusFontSize = 14;
    bool statusVisible = false;
    std::string picture = "reddot.gif";
    // A remark beside the status ("snoozed until 14:30"); empty: none.
    std::string note;
    // The entry's alerts are held by a snooze.
    bool snoozed = false;

    friend bool operator==(const SummaryRow&, const SummaryRow&) = default;
};

// One of the four display positions of a sensor tab.
struct TabSlotView {
    bool visible = false;  // uncovered: a device is bound to it
    int setupIndex = 0;
    std::string caption;
    // Highest (red) and lowest (blue) readings, on the Temperature and Humidity tabs.
    std::string highest = "0";
    std::string lowest = "100";
    bool highLowVisible = false;
    // The slot's on-screen log view, newest line first.
    std::deque<std::string> log;
    // Accelerometer and distance slots: the caption of the mode button, which names the mode it
    // switches to ("Set to Monitor 'bump'" / "Stop monitoring", "Set to Proximity mode" / "Set to
    // Distance mode").
    std::string modeCaption;
};

// The buttons of an accelerometer or distance slot.
enum class SlotButton { Mode, Sensitivity, Calibrate, DPlus };

struct TabView {
    bool visible = true;
    bool emptyNoticeVisible = true;
    std::array<TabSlotView, 5> slotViews;  // 1..4; 0 unused
};

// The alarm window: a title, two text lines and the "Continue" / "Disable All Alarms" buttons.
// Closing it discards its texts, so the next alarm starts from empty lines.
struct AlarmWindowView {
    bool visible = false;
    std::string title = "VIGILTRON MANAGER ALARM";
    // Texts may hold a CR where the window breaks the line.
    std::string firstLine;
    bool firstLineVisible = false;
    std::string secondLine;
    bool secondLineVisible = false;
    // A sensor is in an alarm nobody acknowledged yet: "Acknowledge..." and "Snooze" can act.
    bool acknowledgeEnabled = false;

    friend bool operator==(const AlarmWindowView&, const AlarmWindowView&) = default;
};

// The help window: a heading (its title) over a read-only text.
struct HelpWindowView {
    bool visible = false;
    std::string heading;
    std::string text;
    // Raised by every request to show the window: it comes back to the front each time, even
    // when it is already open or the user closed it since.
    int raiseCount = 0;
};

// The per-entry commands of the setup window.
struct EntryCommands {
    std::string connectCaption = "Connect";
    bool connectEnabled = false;
    bool connectVisible = true;
    bool deleteEnabled = true;
    // Accelerometer and distance entries: their mode as the setup window mirrors it (the
    // Summary pop-up menu works its captions out from the device record when it opens).
    struct StreamingModeView {
        bool binaryMode = false;       // the setup window's binary-mode switch (event mode)
        std::string modeMarker = "0";  // "1" while the sensor is in its event mode
    } streaming;
};

// The items of a Summary row's pop-up menu, in the order the menu lists them.
enum class SummaryMenuItem {
    ConnectSensor,
    ConnectAll,
    RenameSensor,
    SetThresholds,
    SetProximityNotifications,
    ProximityMode,
    Calibrate,
    BumpMode,
    SetSensitivity,
    History,  // the sensor's history chart
    // Hold the entry's alerts for a while, until it is back to normal, or no longer.
    SnoozeQuarterHour,
    SnoozeHour,
    SnoozeEightHours,
    SnoozeUntilNormal,
    EndSnooze,
};
inline constexpr int kSummaryMenuItemCount = 15;

struct SummaryMenuEntry {
    SummaryMenuItem item = SummaryMenuItem::ConnectSensor;
    std::string caption;
    bool visible = true;
    bool enabled = true;

    friend bool operator==(const SummaryMenuEntry&, const SummaryMenuEntry&) = default;
};

// The pop-up menu of the Summary row last pressed with the right button. Its setup index is kept
// until the next press: the items act on that entry.
struct SummaryMenuView {
    int setupIndex = 0;                   // 0: no menu
    std::vector<SummaryMenuEntry> items;  // all of them, hidden ones included; empty: no menu
};

// Everything the program shows, as plain data. The engine changes it and calls Changed(); the
// windows render it. No behaviour lives here.
class ViewModel {
public:
    ViewModel();

    SummaryRow& Row(int n) { return rows_.at(Clamp(n)); }
    const SummaryRow& Row(int n) const { return rows_.at(Clamp(n)); }
    TabView& TabAt(Tab tab) { return tabs_.at(static_cast<std::size_t>(tab)); }
    const TabView& TabAt(Tab tab) const { return tabs_.at(static_cast<std::size_t>(tab)); }
    TabSlotView& Slot(Tab tab, int slot) { return TabAt(tab).slotViews.at(ClampSlot(slot)); }
    const TabSlotView& Slot(Tab tab, int slot) const {
        return TabAt(tab).slotViews.at(ClampSlot(slot));
    }
    EntryCommands& Commands(int n) { return commands_.at(Clamp(n)); }
    const EntryCommands& Commands(int n) const { return commands_.at(Clamp(n)); }

    bool connectAllEnabled = true;
    std::string mainTitle = "Vigiltron Manager";
    int busyDepth = 0;  // hourglass pointer while > 0

    enum class WindowPlacement { Centred, Minimised, Tray };
    WindowPlacement mainWindowPlacement = WindowPlacement::Centred;
    bool mainWindowHidden = false;
    bool setupWindowVisible = false;
    bool setupFirstRun = false;
    bool regCleanMenuVisible = false;
    bool removeFromStartupVisible = false;
    bool placedInStartup = false;  // "Place in System Startup" ticked
    // Asks the setup window to show its alerts page (thresholds) or its proximity-events page
    // when it opens.
    bool setupWindowOnAlertsPage = false;
    bool setupWindowOnProximityPage = false;
    SummaryMenuView summaryMenu;
    AlarmWindowView alarm;
    HelpWindowView help;
    // The add window, the scan list and the device rows of the setup window.
    DeviceSetupView deviceSetup;
    // The preference pages of the setup window.
    SetupPreferencesView setupPreferences;
    // The e-mail, paging and remote-monitoring setup windows.
    ContactSetupView contactSetup;
    // The camera views of the Summary and Video tabs.
    CameraViewData cameras;
    // "Manager running in Systray": the program lives as an icon in the notification area and
    // the main window is hidden. False where the desktop has no notification area.
    bool inTray = false;
    bool trayAvailable = true;
    // The tray icon shows the alert image (in tray mode, after an alarm).
    bool trayIconAlert = false;
    // Set when the user confirmed the exit: the windows close and the program ends.
    bool exitRequested = false;
    // The MQTT broker connection as the setup window's publishing page tells it ("Connected to
    // broker:1883", "Not connected: ...", "Publishing is off").
    std::string mqttStatus = "Publishing is off";

    // Tells every observer that something changed.
    void Changed();
    void Subscribe(std::function<void()> observer) { observers_.push_back(std::move(observer)); }
    std::uint64_t Revision() const { return revision_; }

private:
    // Index 0 is a scratch element so a stray index never reaches outside the arrays.
    static std::size_t Clamp(int n) { return n >= 1 && n <= 10 ? std::size_t(n) : 0; }
    static std::size_t ClampSlot(int s) { return s >= 1 && s <= 4 ? std::size_t(s) : 0; }

    std::array<SummaryRow, 11> rows_;
    std::array<TabView, kTabCount> tabs_;
    std::array<EntryCommands, 11> commands_;
    std::vector<std::function<void()>> observers_;
    std::uint64_t revision_ = 0;
};

// Keeps the hourglass pointer up for the lifetime of a command.
class BusyPointer {
public:
    explicit BusyPointer(ViewModel& view) : view_(view) { ++view_.busyDepth; }
    ~BusyPointer() {
        --view_.busyDepth;
        view_.Changed();
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    ViewModel& view_;
};

}  // namespace vigiltron
