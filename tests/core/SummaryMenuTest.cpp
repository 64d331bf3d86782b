#include "core/SummaryMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/MemorySettingsTree.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"
#include "sim/ScriptedDialogs.h"

namespace vigiltron {
namespace {

using Lines = std::vector<std::string>;

class SummaryMenuTest : public ::testing::Test {
protected:
    // Loads entry n as the configuration does; a combined sensor takes n and n + 1.
    void Load(int n, const std::string& type) {
        DeviceRecord record;
        record.deviceType = type;
        record.subIndex = "1";
        record.deviceName = "Device " + std::to_string(n);
        record.port = n;
        ASSERT_TRUE(model.SetEntry(n, record));
        if (type == "Combo Sensor (Humidity)") {
            record.deviceType = "Combo Sensor (Temperature)";
            ASSERT_TRUE(model.SetEntry(n + 1, record));
        }
        model.CreateSetupArray();
    }

    // What connecting leaves: the connect command disconnects, the row reads something.
    void Connect(int n, const std::string& reading = " ") {
        model.MarkConnected(n);
        view.Commands(n).connectCaption = "Disconnect";
        view.Row(n).reading = reading;
        if (const int partner = model.ComboPartnerOf(n); partner != 0) {
            view.Row(partner).reading = reading;
        }
    }

    // The menu as the user sees it: the shown items, "(greyed)" after a disabled one. The
    // sensor commands, or the snooze items that follow them.
    Lines Menu(int n, bool snoozeItems = false) {
        EXPECT_TRUE(OpenSummaryMenu(model, view, n));
        EXPECT_EQ(view.summaryMenu.setupIndex, n);
        EXPECT_EQ(view.summaryMenu.items.size(), std::size_t(kSummaryMenuItemCount));
        Lines shown;
        for (const SummaryMenuEntry& entry : view.summaryMenu.items) {
            const bool snooze = entry.item >= SummaryMenuItem::SnoozeQuarterHour;
            if (entry.visible && snooze == snoozeItems) {
                shown.push_back(entry.caption + (entry.enabled ? "" : " (greyed)"));
            }
        }
        return shown;
    }

    MemorySettingsTree settings;
    ScriptedDialogs dialogs;
    DeviceModel model{dialogs, settings};
    ViewModel view;
};

TEST_F(SummaryMenuTest, AccelerometerCommandsFollowTheConnectionAndBumpMode) {
    Load(2, "Vigiltron/A (2-Axis Accelerometer)");
    const Lines disconnected = {"Connect This Sensor",
                                "Connect All",
                                "Rename Sensor",
                                "Set Thresholds",
                                "Calibrate to 0 (greyed)",
                                "Set to Bump mode (greyed)",
                                "Set Sensitivity (greyed)",
                                "History"};
    EXPECT_EQ(Menu(2), disconnected);

    // The items keep their order, hidden ones included, so the window can map them.
    const std::vector<SummaryMenuItem> order = {SummaryMenuItem::ConnectSensor,
                                                SummaryMenuItem::ConnectAll,
                                                SummaryMenuItem::RenameSensor,
                                                SummaryMenuItem::SetThresholds,
                                                SummaryMenuItem::SetProximityNotifications,
                                                SummaryMenuItem::ProximityMode,
                                                SummaryMenuItem::Calibrate,
                                                SummaryMenuItem::BumpMode,
                                                SummaryMenuItem::SetSensitivity,
                                                SummaryMenuItem::History};
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(view.summaryMenu.items[i].item, order[i]) << i;
    }

    Connect(2);
    EXPECT_EQ(Menu(2),
              (Lines{"Disconnect This Sensor", "Connect All", "Rename Sensor", "Set Thresholds",
                     "Calibrate to 0", "Set to Bump mode", "Set Sensitivity", "History"}));
    model.Entry(2)->bumpMode = true;
    EXPECT_EQ(Menu(2)[5], "Take out of Bump mode");

    // Disconnected again; then a connection that failed marks the entry NotConnected, and its
    // menu is still an accelerometer's.
    model.MarkDisconnected(2);
    model.Entry(2)->bumpMode = false;
    view.Commands(2).connectCaption = "Connect";
    view.Row(2).reading = "OFF";
    model.MarkConnectFailed(2);
    ASSERT_EQ(model.KindOf(2), DeviceKind::NotConnected);
    EXPECT_EQ(Menu(2), disconnected);

    // "Connect All" is greyed while it runs.
    view.connectAllEnabled = false;
    EXPECT_EQ(Menu(2)[1], "Connect All (greyed)");
}

TEST_F(SummaryMenuTest, DistanceSensorOffersTheOtherModeAndSensitivityOnlyWhileConnected) {
    Load(4, "Vigiltron/D (Distance)");
    EXPECT_EQ(Menu(4), (Lines{"Connect This Sensor", "Connect All", "Rename Sensor",
                              "Set Thresholds", "Set Proximity Notifications",
                              "Set to Proximity mode", "Set Sensitivity (greyed)", "History"}));

    Connect(4, "12.5");
    model.Entry(4)->proximityMode = true;
    EXPECT_EQ(Menu(4), (Lines{"Disconnect This Sensor", "Connect All", "Rename Sensor",
                              "Set Thresholds", "Set Proximity Notifications",
                              "Set to Distance mode", "Set Sensitivity", "History"}));
    model.Entry(4)->proximityMode = false;
    EXPECT_EQ(Menu(4)[5], "Set to Proximity mode");
}

TEST_F(SummaryMenuTest, OtherKindsShowConnectRenameThresholdsAndHistoryWhenTheyLogNumbers) {
    Load(1, "Vigiltron/T (Temperature)");
    Load(2, "Vigiltron/H (Humidity)");
    Load(3, "Vigiltron/P (Proximity)");
    Load(4, "Vigiltron/W (Water)");
    Load(5, "Combo Sensor (Humidity)");  // and its temperature half at 6
    Connect(3);
    Connect(5, "45");
    const Lines basic = {"Connect This Sensor", "Connect All", "Rename Sensor", "Set Thresholds"};
    Lines withHistory = basic;
    withHistory.push_back("History");
    for (int n : {1, 2}) {
        EXPECT_EQ(Menu(n), withHistory) << n;
    }
    // Water and proximity logs hold no readings to chart.
    EXPECT_EQ(Menu(4), basic);
    EXPECT_EQ(Menu(3),
              (Lines{"Disconnect This Sensor", "Connect All", "Rename Sensor", "Set Thresholds"}));

    // A combined sensor is connected from its humidity row only; its temperature row tells
    // what that command would do.
    EXPECT_EQ(Menu(5), (Lines{"Disconnect This Sensor", "Connect All", "Rename Sensor",
                              "Set Thresholds", "History"}));
    EXPECT_EQ(Menu(6), (Lines{"Disconnect This Sensor (greyed)", "Connect All", "Rename Sensor",
                              "Set Thresholds", "History"}));
}

TEST_F(SummaryMenuTest, SensorsOfferSnoozesAndEndSnoozeOnlyWhileSnoozed) {
    Load(1, "Vigiltron/W (Water)");
    const Lines snoozes = {"Snooze 15 minutes", "Snooze 1 hour", "Snooze 8 hours",
                           "Snooze until back to normal"};
    Lines notSnoozed = snoozes;
    notSnoozed.push_back("End snooze (greyed)");
    EXPECT_EQ(Menu(1, true), notSnoozed);
    view.Row(1).snoozed = true;
    Lines snoozed = snoozes;
    snoozed.push_back("End snooze");
    EXPECT_EQ(Menu(1, true), snoozed);
    // An empty entry has no alerts to hold.
    EXPECT_EQ(Menu(9, true), Lines{});
}

TEST_F(SummaryMenuTest, ConnectItemNamesWhatItsCommandWillDo) {
    Load(7, "Vigiltron/T (Temperature)");
    // Connected, but the first reading has not come: the row still reads "OFF".
    Connect(7, "OFF");
    EXPECT_EQ(Menu(7)[0], "Disconnect This Sensor");

    // Lost: the last reading stays (grey) and the command ends the attempts to bring it back.
    view.Row(7).reading = "71.3";
    view.Row(7).status = "LOST";
    view.Row(7).statusVisible = true;
    model.MarkDisconnected(7);
    EXPECT_EQ(Menu(7)[0], "Disconnect This Sensor");

    // No menu outside 1..10, and none left from the last press.
    EXPECT_FALSE(OpenSummaryMenu(model, view, 0));
    EXPECT_EQ(view.summaryMenu.setupIndex, 0);
    EXPECT_TRUE(view.summaryMenu.items.empty());
    EXPECT_FALSE(OpenSummaryMenu(model, view, 11));
    EXPECT_TRUE(view.summaryMenu.items.empty());
}

TEST_F(SummaryMenuTest, SetupWindowOpensOnTheChosenPage) {
    OpenSetupOnProximityNotifications(view);
    EXPECT_TRUE(view.setupWindowVisible);
    EXPECT_TRUE(view.setupWindowOnProximityPage);
    EXPECT_FALSE(view.setupWindowOnAlertsPage);
    OpenSetupOnThresholds(view);
    EXPECT_TRUE(view.setupWindowOnAlertsPage);
    EXPECT_FALSE(view.setupWindowOnProximityPage) << "one page at a time";
}

}  // namespace
}  // namespace vigiltron
