#include "alerts/ThresholdEvaluator.h"

#include <gtest/gtest.h>

#include "core/AlertTestRig.h"

namespace vigiltron {
namespace {

using testing::AlertRig;

constexpr const char* kTemp = "Vigiltron/T (Temperature)";
constexpr const char* kHumid = "Vigiltron/H (Humidity)";
constexpr const char* kWater = "Vigiltron/W (Water)";
constexpr const char* kAccel = "Vigiltron/A (2-Axis Accelerometer)";
constexpr const char* kDistance = "Vigiltron/D (Distance)";
constexpr const char* kProximity = "Vigiltron/P (Proximity)";

class ThresholdEvaluatorTest : public ::testing::Test {
protected:
    AlertRig rig;
};

// ---- Temperature and humidity ----

TEST_F(ThresholdEvaluatorTest, TemperatureLimitsAreStrictAndBlankReadingsIgnored) {
    rig.Place(1, kTemp, "1", "Server room");
    EXPECT_EQ(rig.eval.CheckTThresh("80", 1, 1, false), 0);
    EXPECT_EQ(rig.view.Row(1).status, "OK");
    EXPECT_EQ(rig.view.Row(1).statusColour, TextColour::Blue);
    EXPECT_EQ(rig.eval.CheckTThresh("40", 1, 1, false), 0);

    EXPECT_EQ(rig.eval.CheckTThresh("80.01", 1, 1, false), 1);
    EXPECT_EQ(rig.view.Row(1).status, "NOT OK");
    EXPECT_EQ(rig.view.Row(1).statusColour, TextColour::Red);
    EXPECT_EQ(rig.eval.CheckTThresh("39.99", 1, 1, false), 1);

    // A blank or empty reading changes nothing, not even the status row.
    EXPECT_EQ(rig.eval.CheckTThresh(" ", 1, 1, false), 0);
    EXPECT_EQ(rig.eval.CheckTThresh("", 1, 1, false), 0);
    EXPECT_EQ(rig.view.Row(1).status, "NOT OK");

    // A threshold text without a leading number counts as 0.
    rig.prefs.TempMin = "abc";
    EXPECT_EQ(rig.eval.CheckTThresh("0", 1, 1, false), 0);
    EXPECT_EQ(rig.eval.CheckTThresh("-0.5", 1, 1, false), 1);
}

TEST_F(ThresholdEvaluatorTest, RepeatedTemperatureAlarmShowsAndMailsOnceButPagesEveryTime) {
    rig.Place(1, kTemp, "1", "Server room");
    rig.EnableChannels(1);
    rig.prefs.chkUseAlerts = true;

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rig.eval.CheckTThresh("85", 1, 1, false), 1);
    }
    EXPECT_EQ(rig.CountLines(Tab::Temperature, 1, "(Sending OnScreen alert)"), 1);
    EXPECT_EQ(rig.view.alarm.firstLine, "Temperature");
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].text, "85");
    EXPECT_EQ(rig.smtp.mails[0].kind, 1);
    EXPECT_FALSE(rig.smtp.mails[0].isOk);
    EXPECT_EQ(rig.pager.calls.size(), 3u);
    EXPECT_EQ(rig.sound.calls, std::vector<std::string>{"loop"});
    EXPECT_EQ(rig.eval.SlotAlarmMark(Tab::Temperature, 1), "1");

    // The user acknowledges, then the temperature comes back.
    rig.alerts.Continue();
    EXPECT_EQ(rig.eval.CheckTThresh("72", 1, 1, false), 0);
    EXPECT_EQ(rig.view.alarm.firstLine, "Temperature is back to normal");
    EXPECT_TRUE(rig.view.alarm.visible);
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_TRUE(rig.smtp.mails[1].isOk);
    EXPECT_EQ(rig.smtp.mails[1].text, "72");
    EXPECT_EQ(rig.pager.calls.size(), 4u);
    const auto& log = rig.Log(Tab::Temperature, 1);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "(Sending Ok Page)");
    EXPECT_EQ(log[1], "(Sending Ok alert)");
    EXPECT_EQ(log[2], "(Sending Ok Email)");
    EXPECT_EQ(rig.eval.SlotAlarmMark(Tab::Temperature, 1), "0");

    // A further normal reading sends nothing.
    rig.eval.CheckTThresh("71", 1, 1, false);
    EXPECT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.pager.calls.size(), 4u);
}

TEST_F(ThresholdEvaluatorTest, KeepSendingAlertsRepeatsEveryChannel) {
    rig.Place(1, kTemp, "1", "Server room");
    rig.EnableChannels(1);
    rig.prefs.chkAlwaysSendAlert = true;
    for (int i = 0; i < 3; ++i) {
        rig.eval.CheckTThresh("90", 1, 1, false);
    }
    EXPECT_EQ(rig.CountLines(Tab::Temperature, 1, "(Sending OnScreen alert)"), 3);
    EXPECT_EQ(rig.smtp.mails.size(), 3u);
    EXPECT_EQ(rig.pager.calls.size(), 3u);
    EXPECT_EQ(rig.view.alarm.firstLine, "Temperature, Temperature, Temperature");
}

TEST_F(ThresholdEvaluatorTest, NormalReadingOfAnotherSensorRearmsTheKind) {
    rig.Place(1, kTemp, "1", "Server room");
    rig.Place(2, kTemp, "2", "Office");
    rig.EnableChannels(1);

    rig.eval.CheckTThresh("95", 1, 1, false);
    rig.eval.CheckTThresh("95", 1, 1, false);
    EXPECT_EQ(rig.smtp.mails.size(), 1u);

    // The office is fine: no OK notice for it (it never alarmed), but the latches are re-armed.
    rig.eval.CheckTThresh("70", 2, 2, false);
    EXPECT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_TRUE(rig.Log(Tab::Temperature, 2).empty());
    EXPECT_EQ(rig.eval.SlotAlarmMark(Tab::Temperature, 2), "0");

    rig.eval.CheckTThresh("96", 1, 1, false);
    EXPECT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.CountLines(Tab::Temperature, 1, "(Sending OnScreen alert)"), 2);
    EXPECT_EQ(rig.eval.SlotAlarmMark(Tab::Temperature, 1), "1");

    // Disconnecting clears the latches too.
    rig.eval.ClearTemperatureLatches();
    rig.eval.CheckTThresh("97", 1, 1, false);
    EXPECT_EQ(rig.smtp.mails.size(), 3u);
}

TEST_F(ThresholdEvaluatorTest, DeadbandsHoldAnAlarmUntilTheReadingIsWellInsideTheLimits) {
    rig.Place(1, kTemp, "1", "Server room");
    rig.Place(5, kAccel, "1", "Rack");
    rig.Place(6, kDistance, "1", "Hall");
    rig.EnableChannels(1);
    rig.EnableChannels(8);
    rig.EnableChannels(9);
    const auto hover = [&] {
        for (const char* reading : {"80.2", "79.9", "80.1", "79.5", "80.3", "79.2"}) {
            rig.eval.CheckTThresh(reading, 1, 1, false);
        }
    };

    // Without a deadband a room hovering at its limit alarms at every crossing.
    hover();
    EXPECT_EQ(rig.smtp.mails.size(), 6u);
    rig.eval.CheckTThresh("70", 1, 1, false);
    rig.smtp.mails.clear();

    // With one degree: one alarm, "NOT OK" all along, one OK at 79 or below.
    rig.prefs.TempHysteresis = "1";
    hover();
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_FALSE(rig.smtp.mails[0].isOk);
    EXPECT_EQ(rig.view.Row(1).status, "NOT OK");
    EXPECT_EQ(rig.eval.SlotAlarmMark(Tab::Temperature, 1), "1");
    rig.eval.CheckTThresh("79", 1, 1, false);
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_TRUE(rig.smtp.mails[1].isOk);
    EXPECT_EQ(rig.view.Row(1).status, "OK");
    // Symmetrically at the minimum (40): back to normal only from 41 up.
    rig.eval.CheckTThresh("39", 1, 1, false);
    rig.eval.CheckTThresh("40.5", 1, 1, false);
    EXPECT_EQ(rig.smtp.mails.size(), 3u);
    rig.eval.CheckTThresh("41", 1, 1, false);
    EXPECT_EQ(rig.smtp.mails.size(), 4u);

    // Tilt: X Max 1 with half a unit of deadband.
    rig.prefs.TiltHysteresis = "0.5";
    rig.smtp.mails.clear();
    rig.eval.CheckTilt("1.200 ", "0.000", 5, 1);
    rig.eval.CheckTilt("0.800 ", "0.000", 5, 1);
    EXPECT_EQ(rig.view.Row(5).status, "X TILT +");
    EXPECT_EQ(rig.smtp.mails.size(), 1u);
    rig.eval.CheckTilt("0.400 ", "0.000", 5, 1);
    EXPECT_EQ(rig.view.Row(5).status, "OK");
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_TRUE(rig.smtp.mails[1].isOk);

    // Distance: too close below 30, back to normal from 40 with a deadband of 10.
    rig.prefs.DistanceHysteresis = "10";
    rig.smtp.mails.clear();
    rig.eval.ChkDistance("25cm", 6, 1);
    rig.eval.ChkDistance("35cm", 6, 1);
    EXPECT_EQ(rig.view.Row(6).status, "NOT OK");
    EXPECT_EQ(rig.smtp.mails.size(), 1u);
    rig.eval.ChkDistance("45cm", 6, 1);
    EXPECT_EQ(rig.view.Row(6).status, "OK");
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[1].text, "Distance back to normal");
}

TEST_F(ThresholdEvaluatorTest, CombinedSensorTemperatureWorksOnTheFollowingEntry) {
    rig.Place(3, "Combo Sensor (Humidity)", "21", "Lab combo");
    rig.Place(4, "Combo Sensor (Temperature)", "21", "Lab combo temperature");
    rig.view.Row(4).unit = "F";
    rig.EnableChannels(1);
    rig.prefs.optUseSMTP = false;  // the mail-client route names the sensor in the body
    rig.prefs.IncludeTimeDate = false;
    rig.view.Row(3).status = "OK";

    EXPECT_EQ(rig.eval.CheckTThresh("95", 3, 2, true), 1);
    EXPECT_EQ(rig.view.Row(4).status, "NOT OK");
    EXPECT_EQ(rig.view.Row(3).status, "OK");
    ASSERT_EQ(rig.mail.messages.size(), 1u);
    EXPECT_EQ(rig.mail.messages[0].body,
              " Current Reading: 95F\r\n Temperature Alert\r\n Lab combo temperature\r\n");
    ASSERT_EQ(rig.pager.calls.size(), 1u);
    EXPECT_EQ(rig.pager.calls[0].n, 4);
    EXPECT_EQ(rig.Log(Tab::Temperature, 2).front(), "(Sending Phone alert)");

    // The humidity half keeps the lead's entry even with the combo flag.
    rig.EnableChannels(2);
    rig.prefs.optUseSMTP = true;
    EXPECT_EQ(rig.eval.CheckHThresh("90", 3, 1, true), 1);
    EXPECT_EQ(rig.view.Row(3).status, "NOT OK");
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].setupIndex, 3);
    EXPECT_EQ(rig.Log(Tab::Humidity, 1).front(), "Page Alert sent");
}

TEST_F(ThresholdEvaluatorTest, HumidityRetriesItsMailUntilOneGoesOutAndReplacesTheAlarmText) {
    rig.Place(1, kTemp, "1", "Server room");
    rig.Place(2, kHumid, "1", "Cellar");
    rig.EnableChannels(1);
    rig.EnableChannels(2);

    rig.eval.CheckTThresh("99", 1, 1, false);
    rig.smtp.results = {{false, MailError::Other, "server down"}};
    rig.eval.CheckHThresh("75", 2, 1, false);
    EXPECT_EQ(rig.view.alarm.firstLine, "Humidity");
    EXPECT_EQ(rig.Log(Tab::Humidity, 1)[1], "Email Alert Not sent");

    rig.eval.CheckHThresh("76", 2, 1, false);  // retried, sent
    rig.eval.CheckHThresh("77", 2, 1, false);  // latched now
    int humidityMails = 0;
    for (const auto& mail : rig.smtp.mails) {
        humidityMails += mail.kind == 2 ? 1 : 0;
    }
    EXPECT_EQ(humidityMails, 2);
    EXPECT_EQ(rig.CountLines(Tab::Humidity, 1, "(Sending OnScreen alert)"), 1);

    rig.alerts.Continue();
    rig.eval.CheckHThresh("50", 2, 1, false);
    EXPECT_EQ(rig.view.alarm.firstLine, "Humidity is back to normal");
    EXPECT_EQ(rig.Log(Tab::Humidity, 1).front(), "(Sending Page alert)");
}

TEST_F(ThresholdEvaluatorTest, TrayIconFollowsTemperatureAlarmsOnlyInTrayMode) {
    rig.Place(1, kTemp, "1", "Server room");
    rig.eval.CheckTThresh("99", 1, 1, false);
    EXPECT_FALSE(rig.view.trayIconAlert);
    EXPECT_EQ(rig.eval.TrayAlertShown(), "");

    rig.trayMode = true;
    rig.eval.CheckTThresh("99", 1, 1, false);
    EXPECT_TRUE(rig.view.trayIconAlert);
    EXPECT_EQ(rig.eval.TrayAlertShown(), "1");
    rig.eval.CheckTThresh("70", 1, 1, false);
    EXPECT_FALSE(rig.view.trayIconAlert);
    EXPECT_EQ(rig.eval.TrayAlertShown(), "0");
}

TEST_F(ThresholdEvaluatorTest, ChannelsNeedTheirSwitchOnAndAvailable) {
    rig.Place(1, kTemp, "1", "Server room");
    rig.EnableChannels(1);
    rig.alerts.Availability().onScreen[1] = false;
    rig.alerts.Availability().page[1] = false;
    rig.prefs.chkEmailAlert[1] = false;
    rig.eval.CheckTThresh("99", 1, 1, false);
    EXPECT_FALSE(rig.view.alarm.visible);
    EXPECT_TRUE(rig.smtp.mails.empty());
    EXPECT_TRUE(rig.pager.calls.empty());
    EXPECT_EQ(rig.eval.SlotAlarmMark(Tab::Temperature, 1), "1");
}

TEST_F(ThresholdEvaluatorTest, TemperatureFailureGoesToTheErrorJournal) {
    rig.EnableChannels(1);
    EXPECT_EQ(rig.eval.CheckTThresh("99", 1, 0, false), 0);
    ASSERT_EQ(rig.errorEntries.size(), 1u);
    EXPECT_EQ(rig.errorEntries[0].first, ":13");
    EXPECT_EQ(rig.errorEntries[0].second, "CheckTThresh:Error");
    EXPECT_TRUE(rig.smtp.mails.empty());
    // Humidity ends silently.
    EXPECT_EQ(rig.eval.CheckHThresh("99", 1, 7, false), 0);
    EXPECT_EQ(rig.errorEntries.size(), 1u);
}

// ---- Accelerometer ----

TEST_F(ThresholdEvaluatorTest, TiltCrossingAlarmsOnceAndItsReturnSendsOneOk) {
    rig.Place(5, kAccel, "1", "Rack");
    rig.EnableChannels(8);
    rig.prefs.chkAlwaysSendAlert = false;

    rig.eval.CheckTilt("-2.000 ", "0.000", 5, 1);
    EXPECT_EQ(rig.view.Row(5).status, "X TILT -");
    EXPECT_EQ(rig.view.Row(5).statusFontSize, 12);
    EXPECT_EQ(rig.view.alarm.secondLine, "Accelerometer Alert\r(Below X Min Threshold)");
    rig.eval.CheckTilt("-2.500 ", "0.000", 5, 1);
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].text, "Accelerometer Alert (Below X Min Threshold)");
    EXPECT_EQ(rig.smtp.mails[0].kind, 8);
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "(Sending OnScreen alert)"), 1);

    rig.eval.CheckTilt("0.000 ", "0.000", 5, 1);
    EXPECT_EQ(rig.view.Row(5).status, "OK");
    EXPECT_EQ(rig.view.Row(5).statusFontSize, 14);
    EXPECT_EQ(rig.view.alarm.firstLine, "Accelerometer reading \ris now OK");
    EXPECT_FALSE(rig.view.alarm.secondLineVisible);
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[1].text, "Accelerometer values are now OK");
    EXPECT_TRUE(rig.smtp.mails[1].isOk);
    rig.eval.CheckTilt("0.000 ", "0.000", 5, 1);
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "(Sending Ok alert)"), 1);

    rig.eval.CheckTilt("-3.000 ", "0.000", 5, 1);
    EXPECT_EQ(rig.smtp.mails.size(), 3u);
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "(Sending OnScreen alert)"), 2);

    // The last three characters are dropped before the number is read: "1.5" is read as 1.
    rig.eval.CheckTilt("0.000 ", "1.500", 5, 1);
    EXPECT_EQ(rig.view.Row(5).status, "OK");
}

TEST_F(ThresholdEvaluatorTest, TiltConditionEndedAfterTheSlotsOkStillAlertsAgain) {
    rig.Place(5, kAccel, "1", "Rack");
    rig.EnableChannels(8);
    rig.eval.CheckTilt("-2.000 ", "3.000", 5, 1);  // XMin and YMax
    EXPECT_EQ(rig.view.Row(5).status, "Y TILT +");
    EXPECT_EQ(rig.smtp.mails.size(), 2u);
    rig.eval.CheckTilt("0.000 ", "3.000", 5, 1);  // X back: the slot's OK goes out
    EXPECT_EQ(rig.smtp.mails.size(), 3u);
    rig.eval.CheckTilt("0.000 ", "0.000", 5, 1);  // Y back: no second OK for the slot
    EXPECT_EQ(rig.smtp.mails.size(), 3u);
    rig.eval.CheckTilt("0.000 ", "3.000", 5, 1);  // Y past maximum again
    ASSERT_EQ(rig.smtp.mails.size(), 4u);
    EXPECT_EQ(rig.smtp.mails[3].text, "Accelerometer Alert (Y Max Threshold Reached)");
}

TEST_F(ThresholdEvaluatorTest, EveryBumpAlertsWithTheAccelerometerKind) {
    rig.Place(5, kAccel, "2", "Door");
    rig.EnableChannels(0);
    rig.trayMode = true;
    rig.eval.BumpAlert(5, 2);
    rig.eval.BumpAlert(5, 2);
    EXPECT_EQ(rig.view.alarm.firstLine, "Bump ");
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 2, "(Sending OnScreen alert)"), 2);
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[0].text, "Bump Alert");
    EXPECT_EQ(rig.smtp.mails[0].kind, 8);
    ASSERT_EQ(rig.pager.calls.size(), 2u);
    EXPECT_EQ(rig.pager.calls[0].kind, 8);
    EXPECT_TRUE(rig.view.trayIconAlert);
    // Tilt switches do not drive bumps.
    rig.prefs.chkOnScreenAlert[0] = false;
    rig.prefs.chkOnScreenAlert[8] = true;
    rig.alerts.Continue();
    rig.eval.BumpAlert(5, 2);
    EXPECT_FALSE(rig.view.alarm.visible);
}

// ---- Distance ----

TEST_F(ThresholdEvaluatorTest, DistanceAlarmsLatchAndReturnWithOneOk) {
    rig.Place(6, kDistance, "1", "Hall");
    rig.EnableChannels(9);

    rig.eval.ChkDistance("30cm", 6, 1);
    rig.eval.ChkDistance("100cm", 6, 1);
    rig.eval.ChkDistance("No Object", 6, 1);
    EXPECT_EQ(rig.view.Row(6).status, "OK");
    EXPECT_EQ(rig.view.Row(6).statusColour, TextColour::Blue);
    EXPECT_TRUE(rig.smtp.mails.empty());
    EXPECT_FALSE(rig.view.alarm.visible);

    rig.eval.ChkDistance("12cm", 6, 1);
    EXPECT_EQ(rig.view.Row(6).status, "Too Close");
    EXPECT_EQ(rig.view.Row(6).statusColour, TextColour::Red);
    EXPECT_EQ(rig.view.Row(6).statusFontSize, 12);
    EXPECT_EQ(rig.view.alarm.firstLine, "12cm: Too Close");
    rig.eval.ChkDistance("150cm", 6, 1);  // latched: the shared latch holds "Over Max" back
    EXPECT_EQ(rig.view.Row(6).status, "Over Max");
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].text, "12cm: Too Close");

    rig.eval.ChkDistance("50cm", 6, 1);
    EXPECT_EQ(rig.view.Row(6).status, "OK");
    EXPECT_EQ(rig.view.Row(6).statusFontSize, 14);
    EXPECT_EQ(rig.view.alarm.firstLine, "Distance back to normal");
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[1].text, "Distance back to normal");
    rig.eval.ChkDistance("60cm", 6, 1);
    EXPECT_EQ(rig.smtp.mails.size(), 2u);

    rig.eval.ChkDistance("150cm", 6, 1);
    ASSERT_EQ(rig.smtp.mails.size(), 3u);
    EXPECT_EQ(rig.smtp.mails[2].text, "Over Max");

    // "No Object" resets the states: the next close reading alerts even without a return.
    rig.eval.ResetDistanceStates();
    rig.eval.ChkDistance("5cm", 6, 1);
    EXPECT_EQ(rig.smtp.mails.size(), 4u);
}

TEST_F(ThresholdEvaluatorTest, DistanceAcknowledgementLineIsNoReading) {
    rig.Place(6, kDistance, "1", "Hall");
    rig.EnableChannels(9);
    rig.view.Row(6).status = "Too Close";
    rig.eval.ChkDistance("OK", 6, 1);
    EXPECT_EQ(rig.view.Row(6).status, "OK");
    EXPECT_FALSE(rig.view.alarm.visible);
    EXPECT_TRUE(rig.smtp.mails.empty());
}

TEST_F(ThresholdEvaluatorTest, EveryOutOfRangeReportAlertsAndMailsOnlyAfterAnAlarm) {
    rig.Place(6, kDistance, "1", "Hall");
    rig.EnableChannels(9);
    rig.prefs.optionPhone = true;
    rig.eval.OutOfRangeAlert(6, 1);
    rig.eval.OutOfRangeAlert(6, 1);
    EXPECT_EQ(rig.view.alarm.firstLine, "Object has gone out of range");
    EXPECT_EQ(rig.CountLines(Tab::Distance, 1, "(Sending OnScreen alert)"), 2);
    EXPECT_TRUE(rig.smtp.mails.empty());  // the slot has not alarmed
    ASSERT_EQ(rig.pager.calls.size(), 2u);
    EXPECT_TRUE(rig.pager.calls[0].phone);

    rig.eval.ChkDistance("10cm", 6, 1);
    rig.eval.OutOfRangeAlert(6, 1);
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[1].text, "Object has gone out of range");

    rig.pager.succeed = false;
    rig.eval.OutOfRangeAlert(6, 1);
    EXPECT_TRUE(
        rig.dialogs.Saw("An error returned from SendPhonePage inside of CheckWaterEvents."));
}

// ---- Water ----

TEST_F(ThresholdEvaluatorTest, WaterAlarmOnceThenOkEvenWithAlertsDisabled) {
    rig.Place(7, kWater, "1", "Basement");
    rig.EnableChannels(6);
    rig.prefs.chkUseAlerts = true;

    rig.eval.CheckWaterEvents(7, 1, false);
    EXPECT_TRUE(rig.eval.WaterAlarmRaised());
    rig.eval.CheckWaterEvents(7, 1, false);
    EXPECT_EQ(rig.view.alarm.firstLine, "Water Detected");
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].text, "Water Detected");
    EXPECT_EQ(rig.smtp.mails[0].kind, 6);
    EXPECT_EQ(rig.pager.calls.size(), 1u);
    EXPECT_EQ(rig.sound.calls, std::vector<std::string>{"loop"});

    rig.prefs.chkLocalMonitoring = true;  // the dry transition still reports
    rig.eval.CheckWaterEvents(7, 1, true);
    EXPECT_FALSE(rig.eval.WaterAlarmRaised());
    EXPECT_EQ(rig.view.alarm.firstLine, "Water no longer detected");
    EXPECT_TRUE(rig.dialogs.Saw("Water is no longer detected"));
    EXPECT_EQ(rig.sound.calls.size(), 1u);  // the message box takes the sound's place
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[1].text, "Water is no longer detected");
    EXPECT_TRUE(rig.smtp.mails[1].isOk);
    EXPECT_EQ(rig.Log(Tab::Water, 1).front(), "(Sending Ok Page)");

    // A second dry report for a slot that is back to normal sends nothing.
    rig.eval.CheckWaterEvents(7, 1, true);
    EXPECT_EQ(rig.smtp.mails.size(), 2u);
}

TEST_F(ThresholdEvaluatorTest, WaterKeepSendingLeavesTheAlarmFlagDown) {
    rig.Place(7, kWater, "1", "Basement");
    rig.EnableChannels(6);
    rig.prefs.chkAlwaysSendAlert = true;
    rig.eval.CheckWaterEvents(7, 1, false);
    EXPECT_FALSE(rig.eval.WaterAlarmRaised());
    rig.eval.CheckWaterEvents(7, 1, false);
    EXPECT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.eval.SlotAlarmMark(Tab::Water, 1), "1");
}

// ---- Proximity ----

TEST_F(ThresholdEvaluatorTest, ProximityShowsOnceMailsAndNeverPages) {
    rig.Place(8, kProximity, "2", "Front desk");
    rig.prefs.ProxEventCmbSubIndex99 = "2";
    rig.prefs.chkOnScreenOnProx = true;
    rig.prefs.chkEmailOnProx = true;
    rig.prefs.chkPageOnProx = true;
    rig.prefs.chkUseAlerts = true;
    rig.eval.ProximityAlert(DeviceKind::Proximity);
    rig.eval.ProximityAlert(DeviceKind::Proximity);
    EXPECT_EQ(rig.view.alarm.firstLine, "Proximity Detect");
    EXPECT_EQ((std::vector<std::string>{"once", "once"}), rig.sound.calls);
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[0].text, "Proximity Detected");
    EXPECT_EQ(rig.smtp.mails[0].kind, 3);
    EXPECT_EQ(rig.smtp.mails[0].setupIndex, 8);
    EXPECT_TRUE(rig.pager.calls.empty());
    EXPECT_EQ(rig.CountLines(Tab::Proximity, 2, "(Sending OnScreen alert)"), 2);

    rig.alerts.Availability().emailOnProx = false;
    rig.eval.ProximityAlert(DeviceKind::Proximity);
    EXPECT_EQ(rig.smtp.mails.size(), 2u);
}

}  // namespace
}  // namespace vigiltron
