// A sensor whose port vanishes (cable pulled, hub reset) is shown as lost at once, alarms go
// out, and it is brought back by itself when the device returns.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct LossCase {
    const char* name;
    const char* deviceType;
    SensorKind simKind;
    Tab tab;
    const char* onScreenSwitch;
    // Makes the sensor report something, so the test can see it logged again.
    std::function<void(SimulatedSensor&)> provoke;
    // A text the log file holds once that report was logged.
    const char* loggedText;
};

class SensorLossTest : public ::testing::TestWithParam<LossCase>, public EngineTestRig {
protected:
    SensorLossTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 21, 30, 0, 0}) {}
};

TEST_P(SensorLossTest, LostPortIsShownAlarmedLoggedAndBroughtBack) {
    const LossCase& c = GetParam();
    SaveDevice(1, c.deviceType, 3, "Unit", true);
    settings.SaveSetting("Program Setup", "AutoConnect", "1");
    settings.SaveSetting("Program Setup", "ReadingInterval", "1");
    settings.SaveSetting("Program Setup", c.onScreenSwitch, "1");
    auto sensor = std::make_shared<SimulatedSensor>(loop, c.simKind);
    ports.Attach(3, sensor);
    Engine& e = Start();
    ASSERT_TRUE(e.model.Entry(1)->IsConnected());
    loop.RunFor(60s);
    const std::string readingBefore = e.view.Row(1).reading;
    const std::string firstFile = e.logFiles.CurrentFile(1);

    sensor->SetUnplugged(true);
    loop.RunFor(1s);
    const SummaryRow& row = e.view.Row(1);
    EXPECT_EQ(row.status, "LOST");
    EXPECT_EQ(row.statusColour, TextColour::Red);
    EXPECT_TRUE(row.statusVisible);
    EXPECT_EQ(row.reading, readingBefore);  // kept, greyed
    EXPECT_EQ(row.readingColour, TextColour::Grey);
    EXPECT_FALSE(e.model.Entry(1)->IsConnected());
    const auto& log = e.view.Slot(c.tab, 1).log;
    ASSERT_FALSE(log.empty());
    bool noted = false;
    for (const std::string& line : log) {
        noted = noted || line == "09:31 PM: Sensor disconnected: port lost";
    }
    EXPECT_TRUE(noted);
    EXPECT_NE(ReadFile(firstFile).find(" PM: Sensor disconnected: port lost\r\n"),
              std::string::npos);
    EXPECT_TRUE(journal.Has("connect", "1 Unit disconnected: port lost (COM3)"));
    EXPECT_TRUE(e.view.alarm.visible);
    EXPECT_EQ(e.view.alarm.firstLine, "Sensor Unit on COM3 is no longer connected");

    // Attempts while the device is away change nothing and say nothing.
    const std::size_t messages = dialogs.Messages().size();
    loop.RunFor(59s);
    EXPECT_EQ(row.status, "LOST");
    EXPECT_EQ(dialogs.Messages().size(), messages);

    sensor->SetUnplugged(false);
    loop.RunFor(5s);
    ASSERT_TRUE(e.model.Entry(1)->IsConnected());
    EXPECT_NE(row.status, "LOST");
    EXPECT_NE(row.readingColour, TextColour::Grey);
    EXPECT_EQ(e.view.Commands(1).connectCaption, "Disconnect");
    EXPECT_EQ(e.view.alarm.firstLine, "Sensor Unit on COM3 is connected again");
    EXPECT_TRUE(journal.Has("connect", "1 Unit connected again on COM3"));
    const std::string secondFile = e.logFiles.CurrentFile(1);
    ASSERT_NE(secondFile, firstFile);

    c.provoke(*sensor);
    loop.RunFor(61s);  // a polled sensor is read once a minute here
    const std::string text = ReadFile(secondFile);
    EXPECT_EQ(text.rfind("Unit (Continued)\r\n", 0), 0u) << text;
    EXPECT_NE(text.find(c.loggedText), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, SensorLossTest,
    ::testing::Values(
        LossCase{"Temperature", "Vigiltron/T (Temperature)", SensorKind::Temperature,
                 Tab::Temperature, "chkOnScreenAlert1",
                 [](SimulatedSensor& s) { s.SetTemperatureF(66); }, " PM, 66\r\n"},
        LossCase{"Proximity", "Vigiltron/P (Proximity)", SensorKind::Proximity, Tab::Proximity,
                 "chkOnScreenProx", [](SimulatedSensor& s) { s.SetPresent(true); },
                 " PM, Event - On\r\n"},
        LossCase{"Water", "Vigiltron/W (Water)", SensorKind::Water, Tab::Water, "chkOnScreenAlert6",
                 [](SimulatedSensor& s) { s.SetWet(true); }, "* WET *"},
        LossCase{"Accelerometer", "Vigiltron/A (2-Axis Accelerometer)", SensorKind::Accelerometer,
                 Tab::Accelerometer, "chkOnScreenAlert8",
                 [](SimulatedSensor& s) { s.SetTilt(0.25, -0.5); }, "0.250"},
        LossCase{"Distance", "Vigiltron/D (Distance)", SensorKind::Distance, Tab::Distance,
                 "chkOnScreenAlert9", [](SimulatedSensor& s) { s.SetDistance(42); }, "42cm"}),
    [](const ::testing::TestParamInfo<LossCase>& info) { return std::string(info.param.name); });

// The proximity sensor's walk-away command must not run for a sensor that is gone, and a lost
// entry that the user disconnects stays disconnected when its device returns.
class SensorLossRules : public ::testing::TestWithParam<bool> {};

TEST_P(SensorLossRules, LostPresenceSensorCancelsItsDelaysAndUserDisconnectEndsTheRetries) {
    const bool distance = GetParam();
    EngineTestRig rig(LocalDateTime{2026, 12, 7, 21, 30, 0, 0});
    rig.SaveDevice(1, distance ? "Vigiltron/D (Distance)" : "Vigiltron/P (Proximity)", 5, "Door",
                   false);
    rig.settings.SaveSetting("PortConfig\\Devices\\1", "StartInProx", "1");
    rig.settings.SaveSetting("Program Setup", "AutoConnect", "1");
    rig.settings.SaveSetting("Program Setup", "optRunCommand", "1");
    rig.settings.SaveSetting("Program Setup", "ProximityRunCommand", "/usr/bin/away");
    rig.settings.SaveSetting("Program Setup", "DelayEventAway", "10");
    auto sensor = std::make_shared<SimulatedSensor>(
        rig.loop, distance ? SensorKind::Distance : SensorKind::Proximity);
    rig.ports.Attach(5, sensor);
    Engine& e = rig.Start();
    rig.loop.RunFor(2s);
    // Somebody comes and goes: the walk-away command waits for its delay.
    distance ? sensor->SetDistance(20) : sensor->SetPresent(true);
    rig.loop.RunFor(1s);
    distance ? sensor->SetDistance(std::nullopt) : sensor->SetPresent(false);
    rig.loop.RunFor(1s);
    ASSERT_TRUE(e.proximity.WalkAwayPending());

    sensor->SetUnplugged(true);
    rig.loop.RunFor(30s);
    EXPECT_FALSE(e.proximity.WalkAwayPending());
    EXPECT_EQ(rig.system.Calls(), std::vector<std::string>{});
    EXPECT_EQ(e.view.Row(1).status, "LOST");

    e.link.cmdConnectSensor_Click(1);  // the caption reads "Disconnect" while lost
    EXPECT_EQ(e.view.Row(1).reading, "OFF");
    EXPECT_EQ(e.view.Commands(1).connectCaption, "Connect");
    sensor->SetUnplugged(false);
    rig.loop.RunFor(30s);
    EXPECT_FALSE(e.model.Entry(1)->IsConnected());
}

INSTANTIATE_TEST_SUITE_P(ProximityAndDistance, SensorLossRules, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "DistanceInProximityMode"
                                                           : "Proximity");
                         });

}  // namespace
}  // namespace vigiltron
