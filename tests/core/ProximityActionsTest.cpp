#include "alerts/ProximityActions.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"
#include "sim/RecordingSystemActions.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

using Action = ProximityActions::Action;
using std::chrono::seconds;

// A settings tree whose writes can be made to fail.
class FailingSettings : public MemorySettingsTree {
public:
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override {
        if (failSaves) {
            throw std::runtime_error("settings store is read-only");
        }
        MemorySettingsTree::SaveSetting(section, key, value);
    }
    bool failSaves = false;
};

class ProximityActionsTest : public ::testing::Test {
protected:
    ProximityActionsTest() {
        ProximityActions::Hooks hooks;
        hooks.proximityAlert = [this](DeviceKind kind) { alerts.push_back(KindCode(kind)); };
        hooks.captureOnProximity = [this](int n) { captures.push_back(n); };
        hooks.presenceLine = [this](int n) { return presence[n]; };
        actions = std::make_unique<ProximityActions>(
            ProximityActions::Services{prefs, settings, dialogs, loop, system, model, view},
            std::move(hooks));
    }

    void AddSensor(int n, const char* type, const std::string& slot, bool startInProx = false) {
        DeviceRecord r;
        r.deviceType = type;
        r.kind = KindFromDeviceType(type);
        r.subIndex = slot;
        r.startInProx = startInProx;
        ASSERT_TRUE(model.SetEntry(n, r));
        ASSERT_TRUE(model.TakeSlot(n));
    }

    void UseCommands(const std::string& away, const std::string& up, const char* delayAway,
                     const char* delayUp) {
        prefs.optRunCommand = true;
        prefs.ProximityRunCommand = away;
        prefs.ProximityRunCommandApproach = up;
        prefs.DelayEventAway = delayAway;
        prefs.DelayEventUp = delayUp;
        actions->ApplyDelayIntervals();
    }

    // One proximity line change, in the order the sensor's event handler makes its calls.
    bool Change(bool present, DeviceKind kind = DeviceKind::Proximity) {
        presence[2] = present;
        actions->StartDelays(present);
        actions->NotifyChange(kind);
        std::string error;
        return actions->RunImmediateActions(present, error);
    }

    std::string Stored(const std::string& key) const {
        return settings.GetSetting("Program Setup", key, "<missing>");
    }

    VirtualEventLoop loop;
    ScriptedDialogs dialogs;
    FailingSettings settings;
    Preferences prefs;
    DeviceModel model{dialogs, settings};
    ViewModel view;
    RecordingSystemActions system;
    std::vector<int> alerts;
    std::vector<int> captures;
    std::map<int, bool> presence;
    std::unique_ptr<ProximityActions> actions;
};

using Calls = std::vector<std::string>;

TEST_F(ProximityActionsTest, ZeroDelaysRunEveryChangesCommandAtOnce) {
    UseCommands("/home/me/away.sh", "/home/me/back.txt", "0", "0");
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(Change(false));
        EXPECT_FALSE(Change(true));
    }
    Calls expected;
    for (int round = 0; round < 3; ++round) {
        expected.push_back("open /home/me/away.sh");
        expected.push_back("open /home/me/back.txt");
    }
    EXPECT_EQ(system.Calls(), expected);
    loop.RunFor(seconds(120));  // nothing is left over for later
    EXPECT_EQ(system.Calls(), expected);
}

TEST_F(ProximityActionsTest, DelayedCommandsWaitForTheirTimers) {
    UseCommands("away", "up", "10", "5");
    Change(true);
    EXPECT_TRUE(actions->WalkUpPending());
    loop.RunFor(Milliseconds(4999));
    EXPECT_TRUE(system.Calls().empty());
    loop.RunFor(Milliseconds(1));
    EXPECT_EQ(system.Calls(), Calls({"open up"}));
    EXPECT_FALSE(actions->WalkUpPending());
    EXPECT_FALSE(actions->DelayTimerRunning(ProximityActions::kWalkUp));

    Change(false);
    loop.RunFor(seconds(9));
    EXPECT_EQ(system.Calls().size(), 1u);
    loop.RunFor(seconds(60));
    EXPECT_EQ(system.Calls(), Calls({"open up", "open away"}));  // once, not every 10 s
}

TEST_F(ProximityActionsTest, PresenceShorterThanWalkUpDelayLaunchesNothing) {
    UseCommands("away", "up", "10", "5");
    Change(true);
    loop.RunFor(seconds(3));
    Change(false);
    EXPECT_FALSE(actions->WalkUpPending());
    EXPECT_FALSE(actions->DelayTimerRunning(ProximityActions::kWalkAway));
    loop.RunFor(seconds(120));
    EXPECT_TRUE(system.Calls().empty());

    // Without the run-command action the timers still run but launch nothing.
    prefs.optRunCommand = false;
    Change(true);
    loop.RunFor(seconds(120));
    EXPECT_TRUE(system.Calls().empty());
}

TEST_F(ProximityActionsTest, LockHappensOnWalkAwayOnlyAndEndsTheHandler) {
    prefs.optSystemLock = true;
    EXPECT_FALSE(Change(true));
    EXPECT_TRUE(system.Calls().empty());
    EXPECT_TRUE(Change(false));
    EXPECT_EQ(system.Calls(), Calls({"lock"}));

    system.failLock = true;
    actions->StartDelays(false);
    std::string error;
    EXPECT_TRUE(actions->RunImmediateActions(false, error));
    EXPECT_EQ(error, "refused");
}

TEST_F(ProximityActionsTest, LogOffCheckReadsTheSelectedSensorsPresence) {
    AddSensor(2, kTypeProximity, "1");
    prefs.optLogoutOnProximity = true;
    prefs.ProxEventCmbSubIndex99 = "1";

    presence[2] = true;  // still there
    actions->ProximityEvent(0, DeviceKind::Proximity);
    EXPECT_TRUE(system.Calls().empty());

    // Walking up never logs off; walking away logs off exactly once although both the check and
    // the handler's immediate action ask for it.
    EXPECT_FALSE(Change(true));
    EXPECT_TRUE(system.Calls().empty());
    EXPECT_TRUE(Change(false));
    EXPECT_EQ(system.Calls(), Calls({"place in startup", "log off"}));
    EXPECT_EQ(Stored("SavedState"), "1");
    EXPECT_TRUE(actions->LogOffInProgress());

    // While the session is ending, further changes issue nothing.
    Change(true);
    Change(false);
    EXPECT_EQ(system.Count("log off"), 1);

    // Still running after the settle time: the log-off did not take, the next one may try again.
    loop.RunFor(ProximityActions::kLogOffSettleTime);
    EXPECT_FALSE(actions->LogOffInProgress());
    Change(true);
    Change(false);
    EXPECT_EQ(system.Count("log off"), 2);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(ProximityActionsTest, LogOffCheckOfDistanceSensorUsesTheDistanceTab) {
    AddSensor(1, kTypeDistance, "1", true);
    prefs.optLogoutOnProximity = true;
    presence[1] = true;
    actions->ProximityEvent(0, DeviceKind::Distance);
    EXPECT_TRUE(system.Calls().empty());
    presence[1] = false;
    actions->ProximityEvent(0, DeviceKind::Distance);
    EXPECT_EQ(system.Count("log off"), 1);

    // A slot holding no sensor gives nothing to read: no log-off from the check.
    loop.RunFor(ProximityActions::kLogOffSettleTime);
    actions->ProximityEvent(0, DeviceKind::Proximity);
    EXPECT_EQ(system.Count("log off"), 1);
}

TEST_F(ProximityActionsTest, FailedLogOffIsReportedAndMayBeRetried) {
    system.failPlaceInStartup = true;
    EXPECT_FALSE(actions->ForceLogOff());
    EXPECT_EQ(system.Calls(), Calls({"place in startup"}));  // no log-off without the restart
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>({"Error in ForceLogOff"}));

    system.failPlaceInStartup = false;
    system.failLogOff = true;
    prefs.optLogoutOnProximity = true;
    EXPECT_TRUE(Change(false));
    EXPECT_FALSE(actions->LogOffInProgress());
    EXPECT_EQ(dialogs.Messages().size(), 2u);
    system.failLogOff = false;
    Change(true);
    Change(false);
    EXPECT_EQ(system.Count("log off"), 2);
    EXPECT_TRUE(actions->LogOffInProgress());
}

TEST_F(ProximityActionsTest, DispatcherSendsAlertsAndCameraCaptures) {
    actions->ProximityEvent(99, DeviceKind::Proximity);
    EXPECT_TRUE(alerts.empty());  // no alert switch on

    prefs.chkEmailOnProx = true;
    actions->ProximityEvent(99, DeviceKind::Distance);
    EXPECT_EQ(alerts, std::vector<int>({9}));
    prefs.chkLocalMonitoring = true;  // "Disable All Alerts"
    actions->ProximityEvent(99, DeviceKind::Proximity);
    EXPECT_EQ(alerts.size(), 1u);

    actions->ProximityEvent(7, DeviceKind::Proximity);
    actions->ProximityEvent(
        0, DeviceKind::Proximity);  // log-off check without the log-off action: nothing
    EXPECT_EQ(captures, std::vector<int>({7}));

    prefs.chkLocalMonitoring = false;
    prefs.chkEmailOnProx = false;
    prefs.chkPageOnProx = true;
    actions->NotifyChange(DeviceKind::Proximity);
    EXPECT_EQ(alerts, std::vector<int>({9, 3}));

    ProximityActions::Hooks failing;
    failing.captureOnProximity = [](int) { throw std::runtime_error("camera gone"); };
    ProximityActions other({prefs, settings, dialogs, loop, system, model, view}, failing);
    other.ProximityEvent(5, DeviceKind::Proximity);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>({"camera gone"}));
}

TEST_F(ProximityActionsTest, BrowsingAScreenSaverStoresItsRunSwitch) {
    dialogs.QueueFile("/usr/lib/savers/Ribbons.scr");
    actions->BrowseCommand(ProximityActions::kWalkAway);
    const auto& shown = dialogs.History().back();
    EXPECT_EQ(shown.kind, ScriptedDialogs::Shown::Kind::FileChoice);
    EXPECT_EQ(shown.text, "Walk Away Event");
    EXPECT_EQ(shown.filter,
              "All files (*.*)|*.*|Shortcut (*.lnk)|*.lnk|Screen Savers (*.scr)|*.scr|"
              "Executable Files (*.exe)|*.exe|Batch Files (*.bat)|*.bat");
    EXPECT_EQ(Stored("ProximityRunCommand"), "/usr/lib/savers/Ribbons.scr /s");
    EXPECT_EQ(Stored("optRunCommand"), "1");
    EXPECT_EQ(Stored("optSysCommandDisabled"), "0");
    EXPECT_EQ(Stored("optSystemLock"), "0");
    EXPECT_EQ(actions->SelectedAction(), Action::RunCommand);
    EXPECT_TRUE(actions->okButtonFocusRequested);
    EXPECT_TRUE(actions->LaunchAsProgram(ProximityActions::kWalkAway));

    dialogs.QueueFile("/home/me/Welcome.txt");
    actions->BrowseCommand(ProximityActions::kWalkUp);
    EXPECT_EQ(dialogs.History().back().text, "Walk Up Event");
    EXPECT_EQ(Stored("ProximityRunCommandApproach"), "/home/me/Welcome.txt");
    EXPECT_FALSE(actions->LaunchAsProgram(ProximityActions::kWalkUp));

    prefs.DelayEventAway = prefs.DelayEventUp = "0";
    Change(false);
    Change(true);
    EXPECT_EQ(system.Calls(),
              Calls({"launch /usr/lib/savers/Ribbons.scr /s", "open /home/me/Welcome.txt"}));

    // Upper-case extension; then a cancelled choice changes nothing.
    dialogs.QueueFile("/media/SAVER.SCR");
    actions->BrowseCommand(ProximityActions::kWalkUp);
    EXPECT_EQ(prefs.ProximityRunCommandApproach, "/media/SAVER.SCR /s");
    actions->ChooseAction(Action::SystemLock);
    actions->BrowseCommand(ProximityActions::kWalkUp);
    EXPECT_EQ(Stored("ProximityRunCommandApproach"), "/media/SAVER.SCR /s");
    EXPECT_EQ(Stored("optSystemLock"), "1");
    EXPECT_EQ(Stored("optRunCommand"), "0");
}

TEST_F(ProximityActionsTest, DelayMustBeOneToSixtySeconds) {
    prefs.ProximityRunCommand = "/bin/away";
    prefs.ProximityRunCommandApproach = "/bin/up";
    using D = ProximityActions::Direction;
    struct Case {
        D direction;
        const char* typed;
        const char* shown;
        long long intervalMs;
        bool message;
    };
    const Case cases[] = {
        {D::kWalkAway, "61", "10", 10000, true},   {D::kWalkAway, "0", "10", 10000, true},
        {D::kWalkAway, "1", "1", 1000, false},     {D::kWalkAway, "60", "60", 60000, false},
        {D::kWalkAway, "abc", "10", 10000, false}, {D::kWalkAway, "", "10", 10000, false},
        {D::kWalkUp, "61", "5", 5000, true},       {D::kWalkUp, "x", "5", 5000, false},
        {D::kWalkUp, " 7 ", "7", 7000, false},
    };
    for (const Case& c : cases) {
        dialogs.Clear();
        EXPECT_EQ(actions->ValidateDelay(c.direction, c.typed), c.shown) << c.typed;
        EXPECT_EQ(actions->DelayInterval(c.direction).count(), c.intervalMs) << c.typed;
        EXPECT_EQ(Stored(c.direction == D::kWalkAway ? "DelayEventAway" : "DelayEventUp"), c.shown);
        EXPECT_EQ(dialogs.Saw("Delay has to be between 1 and 60 seconds."), c.message) << c.typed;
    }

    // No command to delay: the delay is "0" whatever was typed.
    prefs.ProximityRunCommand = "Path not set";
    dialogs.Clear();
    EXPECT_EQ(actions->ValidateDelay(D::kWalkAway, "99"), "0");
    EXPECT_EQ(Stored("DelayEventAway"), "0");
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(ProximityActionsTest, RemovingLastProximitySensorClearsCommandsAndDelays) {
    AddSensor(2, kTypeProximity, "1");
    AddSensor(3, kTypeProximity, "2");
    UseCommands("away", "up", "10", "5");
    actions->ChooseAction(Action::LogOff);
    EXPECT_EQ(actions->LogOffSensorSlots(), std::vector<int>({1, 2}));
    actions->ChooseAction(Action::RunCommand);
    Change(false);
    ASSERT_TRUE(actions->DelayTimerRunning(ProximityActions::kWalkAway));

    ASSERT_TRUE(model.DeleteEntry(2));
    actions->CheckIfNoDevices(DeviceKind::Proximity);
    EXPECT_EQ(prefs.ProximityRunCommand, "away");  // one is left

    ASSERT_TRUE(model.DeleteEntry(3));
    view.TabAt(Tab::Proximity).emptyNoticeVisible = false;
    actions->CheckIfNoDevices(DeviceKind::Proximity);
    EXPECT_TRUE(view.TabAt(Tab::Proximity).emptyNoticeVisible);
    EXPECT_EQ(actions->SelectedAction(), Action::Disabled);
    EXPECT_EQ(prefs.ProximityRunCommand, "Path not set");
    EXPECT_EQ(prefs.ProximityRunCommandApproach, "Path not set");
    EXPECT_EQ(prefs.DelayEventAway, "0");
    EXPECT_EQ(prefs.DelayEventUp, "0");
    for (const char* key : {"ProximityRunCommand", "ProximityRunCommandApproach"}) {
        EXPECT_EQ(Stored(key), "Path not set");
    }
    EXPECT_EQ(Stored("DelayEventAway"), "0");
    EXPECT_EQ(Stored("DelayEventUp"), "0");
    EXPECT_EQ(Stored("optRunCommand"), "0");
    EXPECT_EQ(Stored("optSysCommandDisabled"), "1");
    loop.RunFor(seconds(60));  // the pending walk-away command was dropped with it
    EXPECT_TRUE(system.Calls().empty());
}

TEST_F(ProximityActionsTest, DistanceSensorInProximityModeKeepsTheActions) {
    AddSensor(2, kTypeProximity, "1");
    AddSensor(4, kTypeDistance, "1", true);
    UseCommands("away", "up", "10", "5");
    ASSERT_TRUE(model.DeleteEntry(2));
    actions->CheckIfNoDevices(DeviceKind::Proximity);
    EXPECT_EQ(prefs.ProximityRunCommand, "away");
    EXPECT_TRUE(view.TabAt(Tab::Proximity).emptyNoticeVisible);

    ASSERT_TRUE(model.DeleteEntry(4));
    settings.failSaves = true;
    actions->CheckIfNoDevices(DeviceKind::Distance);
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>({"CheckIfNoDevices Error"}));
}

}  // namespace
}  // namespace vigiltron
