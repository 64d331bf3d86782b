#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/DeviceKind.h"
#include "core/Timer.h"

namespace vigiltron {

class DeviceModel;
class Dialogs;
class EventLoop;
class SettingsTree;
class SystemActions;
class ViewModel;
struct Preferences;

// What a proximity sensor (or a distance sensor in proximity mode) does to the workstation when
// somebody walks up or away: lock it, log the user off with force, or run a command per
// direction after a delay. Owns the two delay timers, the proximity event dispatcher, the forced
// log-off, and the proximity page's settings (action choice, command browse, delay checks).
//
// A proximity line change is handled in this order by the sensor's event handler:
//   StartDelays(present)            -- right after the summary text
//   NotifyChange(kind)              -- the alert / log-off check notification
//   ... on-screen and file logging ...
//   if (RunImmediateActions(present, error)) end the handler (no camera call, no summary reset)
//   ProximityEvent(cameraSetupIndex, kind) for a linked camera
class ProximityActions {
public:
    // The four mutually exclusive actions of the proximity page.
    enum class Action {
        Disabled,    // "Disabled (No system events triggered)"
        SystemLock,  // "Lock system when triggered"
        LogOff,      // "Force Log off when triggered"
        RunCommand,  // "Run Commands (scripts, screensavers, executables):"
    };
    enum Direction { kWalkAway = 0, kWalkUp = 1 };

    struct Services {
        Preferences& prefs;
        SettingsTree& settings;
        Dialogs& dialogs;
        EventLoop& loop;
        SystemActions& system;
        DeviceModel& model;
        ViewModel& view;
    };
    // Calls out of this class; each may be left empty (the call is then skipped).
    struct Hooks {
        // Threshold evaluation's ProximityAlert for a proximity or distance sensor.
        std::function<void(DeviceKind kind)> proximityAlert;
        // The linked camera's capture on a proximity event, given its setup index.
        std::function<void(int cameraSetupIndex)> captureOnProximity;
        // Whether the sensor at a setup index shows presence now (its DSR line is high).
        std::function<bool(int setupIndex)> presenceLine;
    };

    // A successful forced log-off ends the session a moment later; until then (at most this
    // long) further proximity changes issue no second log-off.
    static constexpr Milliseconds kLogOffSettleTime{30000};

    ProximityActions(Services services, Hooks hooks);
    ~ProximityActions();
    ProximityActions(const ProximityActions&) = delete;
    ProximityActions& operator=(const ProximityActions&) = delete;

    // ---- Called by the proximity and distance event handlers ----

    // The delay bookkeeping of one line change: sets the direction's pending flag, starts its
    // delay timer unless the opposite one is still counting, and cancels the opposite one (a
    // presence shorter than the walk-up delay gives neither a walk-up nor a walk-away command).
    // `setupIndex` names the sensor that changed, so its disconnection can cancel what it
    // started.
    void StartDelays(bool present, int setupIndex = 0);
    // The sensor at `setupIndex` is no longer connected (disconnected, port lost, shut-down):
    // the walk-up and walk-away actions it started are cancelled.
    void CancelDelaysOf(int setupIndex);
    // With "Force Log off when triggered" the log-off check (code 0), otherwise the alerts
    // (code 99) when any proximity alert switch is on. `kind` is 3 or 9.
    void NotifyChange(DeviceKind kind);
    // After the immediate actions of a change in tab slot `slot` (unless they ended the
    // handling): every camera set to follow that slot number ("Proximity Activated", not
    // "Monitor Only") captures.
    void LinkedCameraEvent(int slot, DeviceKind kind);
    // The immediate actions after logging. On a walk-away: the lock or the forced log-off, which
    // end the handler (answer true). On either change, with "Run Commands" selected: the command
    // of that direction at once when its delay is "0" (or its pending flag is already clear);
    // other delays leave it to the delay timer. `error` is filled when the lock failed.
    bool RunImmediateActions(bool present, std::string& error);

    // The proximity event dispatcher: code 0 = log-off check, 99 = alerts, 1..10 = the setup
    // index of a camera linked to the sensor; kind 3 = proximity, 9 = distance.
    void ProximityEvent(int code, DeviceKind kind);

    // Saves SavedState "1", places the program in the start-up list and logs the user off with
    // force. "Error in ForceLogOff" when any step fails; the program stays running. True when
    // the log-off was issued.
    bool ForceLogOff();

    // ---- Delay timers ----

    // Sets both timer intervals from DelayEventAway and DelayEventUp (start-up does this).
    void ApplyDelayIntervals();
    bool WalkAwayPending() const { return pending_[kWalkAway]; }
    bool WalkUpPending() const { return pending_[kWalkUp]; }
    bool DelayTimerRunning(Direction direction) const { return timers_[direction]->Enabled(); }
    Milliseconds DelayInterval(Direction direction) const { return timers_[direction]->Interval(); }
    // Whether the command of a direction is started as a program (a screen saver chosen in this
    // run) rather than opened through its association.
    bool LaunchAsProgram(Direction direction) const { return launchAsProgram_[direction]; }
    bool LogOffInProgress() const { return logOffInProgress_; }

    // ---- The proximity page of the setup window ----

    Action SelectedAction() const;
    // Selects an action and saves the four option keys ("1" for it, "0" for the others).
    // Choosing the log-off refills LogOffSensorSlots().
    void ChooseAction(Action action);
    // The slot numbers offered for the log-off check, as the last refill found them.
    const std::vector<int>& LogOffSensorSlots() const { return logOffSlots_; }
    // The slot whose sensor the log-off check reads (ProxEventCmbSubIndex99).
    void SelectLogOffSensor(int slot);
    // Lets the user pick the command of a direction; a screen saver gets " /s" and is started as
    // a program. Saves the command and selects the run-command action.
    void BrowseCommand(Direction direction);
    // The command of a direction given as text (the browse's choice, or a command line): the
    // same rules as the browse, without the focus move. Blank or "Path not set" clears the
    // command and keeps the chosen action.
    void SetCommand(Direction direction, const std::string& command);
    // The user left a delay box holding `typed`. Answers the text the box shows afterwards,
    // which is also saved and sets the timer interval.
    std::string ValidateDelay(Direction direction, const std::string& typed);
    // Set by a completed browse: the page's OK button takes the focus. The page clears it.
    bool okButtonFocusRequested = false;

    // ---- Device removal ----

    // After a device of `kind` was removed: when it was the last proximity sensor (distance
    // sensors in proximity mode count as such), the proximity actions are reset. Other kinds are
    // not handled here.
    void CheckIfNoDevices(DeviceKind kind);

private:
    void DelayTimerFired(Direction direction);
    void LaunchCommand(Direction direction);
    bool CommandSet(Direction direction) const;
    const std::string& Command(Direction direction) const;
    const std::string& Delay(Direction direction) const;
    void LogOffCheck(DeviceKind kind);
    // The one guarded path to the forced log-off.
    void IssueLogOff();
    bool AnyProximitySensor() const;
    void RefillLogOffSensors();
    void Save(const std::string& key, const std::string& value);

    Services s_;
    Hooks hooks_;
    std::array<std::unique_ptr<Timer>, 2> timers_;
    std::array<bool, 2> pending_{};
    int delaysStartedBy_ = 0;  // setup index of the sensor whose change runs the delays
    std::array<bool, 2> launchAsProgram_{};
    bool logOffInProgress_ = false;
    TimerId logOffSettle_ = 0;
    std::vector<int> logOffSlots_;
};

}  // namespace vigiltron
