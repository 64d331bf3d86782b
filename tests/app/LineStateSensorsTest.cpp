#include "sensors/LineStateSensors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

// The whole engine with one proximity sensor on COM5 (entry 1) and one water sensor on COM6
// (entry 2), connected at start-up.
class LineStateSensorsTest : public ::testing::Test, public EngineTestRig {
protected:
    LineStateSensorsTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 21, 30, 0, 0}) {
        SaveDevice(1, "Vigiltron/P (Proximity)", 5, "Door", true);
        SaveDevice(2, "Vigiltron/W (Water)", 6, "Basement", true);
        settings.SaveSetting("Program Setup", "AutoConnect", "1");
        settings.SaveSetting("Program Setup", "chkOnScreenAlert6", "1");
        ports.Attach(5, proximity);
        ports.Attach(6, water);
    }

    std::string FileOf(int n) {
        std::ifstream in(engine->logFiles.CurrentFile(n), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::shared_ptr<SimulatedSensor> proximity =
        std::make_shared<SimulatedSensor>(loop, SensorKind::Proximity);
    std::shared_ptr<SimulatedSensor> water =
        std::make_shared<SimulatedSensor>(loop, SensorKind::Water);
};

TEST_F(LineStateSensorsTest, ShortPresenceIsLoggedButLaunchesNothing) {
    settings.SaveSetting("Program Setup", "optRunCommand", "1");
    settings.SaveSetting("Program Setup", "ProximityRunCommand", "/usr/bin/away");
    settings.SaveSetting("Program Setup", "ProximityRunCommandApproach", "/usr/bin/up");
    settings.SaveSetting("Program Setup", "DelayEventAway", "10");
    settings.SaveSetting("Program Setup", "DelayEventUp", "5");
    Engine& e = Start();
    ASSERT_TRUE(e.model.Entry(1)->IsConnected());
    EXPECT_EQ(e.view.Row(1).reading, " ");

    proximity->SetPresent(true);
    loop.RunFor(100ms);
    EXPECT_EQ(e.view.Row(1).reading, "Event");
    proximity->SetPresent(false);
    loop.RunFor(100ms);
    EXPECT_EQ(e.view.Row(1).reading, " ");
    loop.RunFor(30s);

    const auto& log = e.view.Slot(Tab::Proximity, 1).log;
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "09:30 PM- <Reset>");
    EXPECT_EQ(log[1], "09:30 PM- Detect");
    const std::string file = FileOf(1);
    // Date, a blank, the time, then the event.
    EXPECT_NE(file.find("\r\n12/7/2026 9:30:"), std::string::npos) << file;
    EXPECT_NE(file.find(" PM, Event - On\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find(", Event - Off\r\n"), std::string::npos) << file;
    EXPECT_EQ(system.Calls(), std::vector<std::string>{});
}

TEST_F(LineStateSensorsTest, WithBothDelaysZeroEveryChangeRunsItsCommandAtOnce) {
    settings.SaveSetting("Program Setup", "optRunCommand", "1");
    settings.SaveSetting("Program Setup", "ProximityRunCommand", "/usr/bin/away");
    settings.SaveSetting("Program Setup", "ProximityRunCommandApproach", "/usr/bin/up");
    Start();
    proximity->SetPresent(true);
    loop.RunFor(10ms);
    proximity->SetPresent(false);
    loop.RunFor(10ms);
    proximity->SetPresent(true);
    loop.RunFor(10ms);
    EXPECT_EQ(system.Calls(), (std::vector<std::string>{"open /usr/bin/up", "open /usr/bin/away",
                                                        "open /usr/bin/up"}));
}

TEST_F(LineStateSensorsTest, LockOnWalkAway) {
    settings.SaveSetting("Program Setup", "optSystemLock", "1");
    Start();
    proximity->SetPresent(true);
    loop.RunFor(10ms);
    EXPECT_EQ(system.Count("lock"), 0);
    proximity->SetPresent(false);
    loop.RunFor(10ms);
    EXPECT_EQ(system.Count("lock"), 1);
}

TEST_F(LineStateSensorsTest, WetAtConnectionRaisesTheAlarmFromThePoll) {
    water->SetWet(true);
    Engine& e = Start();
    const Milliseconds connected = loop.Elapsed();
    ASSERT_TRUE(e.model.Entry(2)->IsConnected());
    loop.RunFor(LineStateSensors::kWaterPoll);
    EXPECT_TRUE(e.view.alarm.visible);
    EXPECT_TRUE(e.evaluator.WaterAlarmRaised());
    EXPECT_EQ(e.view.Row(2).status, "Not OK");
    EXPECT_EQ(e.view.Row(2).reading, "Water");
    EXPECT_LE(loop.Elapsed() - connected, LineStateSensors::kWaterPoll);
}

TEST_F(LineStateSensorsTest, WetAndDryChangesAreLoggedAndAnsweredWithOk) {
    Engine& e = Start();
    water->SetWet(true);
    loop.RunFor(1s);
    EXPECT_TRUE(e.evaluator.WaterAlarmRaised());
    water->SetWet(false);
    loop.RunFor(1s);
    EXPECT_FALSE(e.evaluator.WaterAlarmRaised());
    EXPECT_EQ(e.view.Row(2).status, "OK");
    // The view also holds the alerts' status lines; the water lines read oldest first.
    std::vector<std::string> waterLines;
    for (const auto& line : e.view.Slot(Tab::Water, 1).log) {
        if (line.find("WET") != std::string::npos || line.find("Dry") != std::string::npos) {
            waterLines.push_back(line);
        }
    }
    EXPECT_EQ(waterLines, (std::vector<std::string>{"09:30 PM- * WET *", "09:30 PM- <Dry>"}));
    const std::string file = FileOf(2);
    EXPECT_NE(file.find(", * WET * \r\n"), std::string::npos) << file;
    EXPECT_NE(file.find(", DRY\r\n"), std::string::npos) << file;
}

TEST_F(LineStateSensorsTest, DisabledAlertsStillSendTheOkForAnEarlierAlarm) {
    Engine& e = Start();
    water->SetWet(true);
    loop.RunFor(1s);
    ASSERT_TRUE(e.evaluator.WaterAlarmRaised());
    e.prefs.chkLocalMonitoring = true;
    e.alerts.Continue();
    water->SetWet(false);
    loop.RunFor(1s);
    EXPECT_FALSE(e.evaluator.WaterAlarmRaised());
    EXPECT_EQ(e.evaluator.SlotAlarmMark(Tab::Water, 1), "0");
    // The next wet period raises nothing while alerts stay disabled.
    water->SetWet(true);
    loop.RunFor(1s);
    EXPECT_FALSE(e.evaluator.WaterAlarmRaised());
}

TEST_F(LineStateSensorsTest, KeepSendingAlertsStillEndsWithAnOkNotice) {
    settings.SaveSetting("Program Setup", "chkAlwaysSendAlert", "1");
    Engine& e = Start();
    water->SetWet(true);
    loop.RunFor(1s);
    EXPECT_EQ(e.evaluator.SlotAlarmMark(Tab::Water, 1), "1");
    water->SetWet(false);
    loop.RunFor(1s);
    EXPECT_EQ(e.evaluator.SlotAlarmMark(Tab::Water, 1), "0");
}

TEST_F(LineStateSensorsTest, LineErrorsAreShownSystemModal) {
    Start();
    water->InjectEvent(CommEvent::Framing);
    proximity->InjectEvent(CommEvent::RxOverflow);
    loop.RunFor(10ms);
    int shown = 0;
    for (const auto& entry : dialogs.History()) {
        if (entry.text == "Framing error detected" || entry.text == "RX Overflow detected") {
            EXPECT_TRUE(entry.systemModal);
            ++shown;
        }
    }
    EXPECT_EQ(shown, 2);
}

}  // namespace
}  // namespace vigiltron

namespace vigiltron {
namespace {

TEST_F(LineStateSensorsTest, AWetSensorKeepsSendingAlertsWithoutFloodingMailOrPager) {
    settings.SaveSetting("Program Setup", "chkAlwaysSendAlert", "1");
    settings.SaveSetting("Program Setup", "chkEmailAlert6", "1");
    settings.SaveSetting("Program Setup", "chkPageAlert6", "1");
    settings.SaveSetting("Program Setup", "EmailAddress", "ops@example.com");
    Engine& e = Start();
    water->SetWet(true);
    loop.RunFor(10min);
    water->SetWet(false);
    loop.RunFor(5s);

    auto count = [&](const std::string& category, const std::string& start) {
        int n = 0;
        for (const auto& [c, t] : journal.lines) {
            n += c == category && t.rfind(start, 0) == 0 ? 1 : 0;
        }
        return n;
    };
    // Polled every 200 ms, the sensor alarms thousands of times; one mail and one page a
    // minute go out, the rest are counted, and the "OK" is never held back.
    EXPECT_GE(count("mail", "alarm mail for 2 "), 9);
    EXPECT_LE(count("mail", "alarm mail for 2 "), 10);
    EXPECT_EQ(count("mail", "OK mail for 2 "), 1);
    EXPECT_LE(count("page", "phone call for 2 (alarm)"), 10);
    EXPECT_TRUE(journal.Has("mail", "repeat(s) held back since the last"));
    EXPECT_EQ(e.evaluator.SlotAlarmMark(Tab::Water, 1), "0");

    // With the gap set to nothing, every alarm goes out again.
    e.setupPreferences.SetPreference("AlertRepeatSeconds", "0");
    journal.lines.clear();
    water->SetWet(true);
    loop.RunFor(5s);
    EXPECT_GT(count("mail", "alarm mail for 2 "), 10);
}

}  // namespace
}  // namespace vigiltron
