#include "sensors/SensorLink.h"

#include <gtest/gtest.h>

#include "support/PlaceDevice.h"

#include "sensors/SensorRig.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;

class SensorLinkTest : public ::testing::Test, protected SensorRig {
protected:
    std::shared_ptr<SimulatedSensor> AddDevice(int n, const char* type, SensorKind simKind, int com,
                                               const std::string& subIndex,
                                               const std::string& name) {
        DeviceRecord record;
        record.deviceType = type;
        record.deviceName = name;
        record.port = com;
        record.subIndex = subIndex;
        PlaceDevice(model, n, record);
        view.Commands(n).connectEnabled = true;
        auto sensor = std::make_shared<SimulatedSensor>(loop, simKind);
        ports.Attach(com, sensor);
        return sensor;
    }
};

TEST_F(SensorLinkTest, ReadingIntervalPeriods) {
    prefs.ReadingInterval = "30";
    prefs.MinOrSecs = "Sec";
    link.ApplyReadingInterval();
    EXPECT_EQ(link.PollingTimer(1)->Interval(), Milliseconds(25500));

    prefs.ReadingInterval = "2.5";
    prefs.MinOrSecs = "Min";
    link.ApplyReadingInterval();
    EXPECT_EQ(link.PollingTimer(4)->Interval(), Milliseconds(60000));
    EXPECT_EQ(link.MinuteTarget(4), 2);  // halves round to even

    prefs.ReadingInterval = " ";
    prefs.MinOrSecs = "Sec";
    link.ApplyReadingInterval();
    EXPECT_EQ(prefs.ReadingInterval, "30");
    EXPECT_EQ(prefs.MinOrSecs, "Min");
}

TEST_F(SensorLinkTest, ConnectedTemperatureSensorIsReadEveryFifthMinute) {
    prefs.ReadingInterval = "5";
    link.ApplyReadingInterval();
    auto sensor = AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3, "1", "Server room");
    link.cmdConnectSensor_Click(1);

    EXPECT_EQ(view.Commands(1).connectCaption, "Disconnect");
    EXPECT_FALSE(view.Commands(1).deleteEnabled);
    EXPECT_EQ(view.Row(1).reading, "72.5");
    EXPECT_EQ(view.Row(1).unit, "F");
    EXPECT_EQ(view.Row(1).name, "Server room");
    EXPECT_EQ(model.Entry(1)->connectedKind, DeviceKind::Temperature);
    EXPECT_EQ(view.Row(1).status, "OK");  // judged against 40..80 F
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).highest, "72.5");
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).lowest, "72.5");

    sensor->ClearCommands();
    sensor->SetTemperatureF(90);
    loop.RunFor(Milliseconds(4 * 60000 + 59000));
    EXPECT_TRUE(sensor->Commands().empty());
    loop.RunFor(Milliseconds(2000));
    EXPECT_EQ(sensor->CommandTexts(), (std::vector<std::string>{"tf"}));
    EXPECT_EQ(view.Row(1).reading, "90");
    EXPECT_EQ(view.Row(1).status, "NOT OK");
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).highest, "90");
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).lowest, "72.5");
}

TEST_F(SensorLinkTest, SilentSensorIsDisconnectedAfterTenTries) {
    auto sensor = AddDevice(2, kTypeHumidity, SensorKind::Humidity, 4, "1", "Store");
    link.ConnectSensor(2);
    ASSERT_EQ(view.Commands(2).connectCaption, "Disconnect");
    sensor->SetBehaviour(SensorBehaviour::Silent);
    dialogs.Clear();
    loop.RunFor(Milliseconds(30LL * 60000 + 1000));
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{
                  "StandardRead: Sensor not responding after 10 queries.  Disconnecting sensor.",
                  "Sensor not responding after 10 tries.  Disconnecting sensor."}));
    EXPECT_EQ(view.Row(2).reading, "OFF");
    EXPECT_EQ(view.Commands(2).connectCaption, "Connect");
    EXPECT_FALSE(model.Entry(2)->IsConnected());
    EXPECT_FALSE(link.Port(2, PortGroup::Polled)->IsOpen());
    EXPECT_FALSE(link.PollingTimer(2)->Enabled());
}

TEST_F(SensorLinkTest, CombinedSensorShowsBothRowsFromOneTick) {
    auto sensor = AddDevice(3, kTypeComboHumidity, SensorKind::Combined, 5, "21", "Lab");
    sensor->SetTemperatureF(70);
    sensor->SetHumidity(44);
    link.ConnectSensor(3);
    EXPECT_EQ(view.Row(3).reading, "44");
    EXPECT_EQ(view.Row(4).reading, "70");
    EXPECT_EQ(view.Row(4).unit, "F");
    EXPECT_EQ(model.Entry(4)->connectedKind, DeviceKind::Combined);
    // Each half is judged on its own row: 44 % and 70 F are both within their limits.
    EXPECT_EQ(view.Row(3).status, "OK");
    EXPECT_EQ(view.Row(4).status, "OK");
    EXPECT_EQ(view.Slot(Tab::Temperature, 2).highest, "70");
    EXPECT_EQ(view.Slot(Tab::Humidity, 1).highest, "44");

    link.cmdConnectSensor_Click(3);
    EXPECT_EQ(view.Row(3).reading, "OFF");
    EXPECT_EQ(view.Row(4).reading, "OFF");
    EXPECT_FALSE(link.PollingTimer(3)->Enabled());
    EXPECT_EQ(view.Slot(Tab::Temperature, 2).highest, "0");
    EXPECT_EQ(view.Slot(Tab::Temperature, 2).lowest, "100");
}

TEST_F(SensorLinkTest, IdentificationDecidesTheConnection) {
    // A temperature sensor on a humidity entry: warning, and the entry is deleted.
    AddDevice(1, kTypeHumidity, SensorKind::Temperature, 3, "1", "Wrong");
    link.ConnectSensor(1);
    ASSERT_FALSE(dialogs.Messages().empty());
    EXPECT_EQ(dialogs.Messages()[0].rfind("Warning: Device appears to be a Vigiltron/T", 0), 0u);
    EXPECT_TRUE(model.IsFree(1));  // deleted from the setup
    EXPECT_EQ(view.Commands(1).connectCaption, "Connect");

    // A humidity-capable sensor on a temperature entry is polled as temperature.
    AddDevice(2, kTypeTemperature, SensorKind::Humidity, 4, "1", "Fine");
    link.ConnectSensor(2);
    EXPECT_EQ(model.Entry(2)->connectedKind, DeviceKind::Temperature);
    EXPECT_EQ(view.Row(2).unit, "F");

    // Nothing on the port: the entry stays disconnected with its port closed.
    dialogs.Clear();
    AddDevice(5, kTypeTemperature, SensorKind::Temperature, 7, "2", "Gone");
    ports.Detach(7);
    link.ConnectSensor(5);
    EXPECT_EQ(dialogs.Messages().at(0).rfind("Port open wasn't true", 0), 0u);
    EXPECT_FALSE(model.Entry(5)->IsConnected());
    EXPECT_EQ(model.KindOf(5), DeviceKind::NotConnected);
    EXPECT_TRUE(view.Commands(5).connectEnabled);
}

TEST_F(SensorLinkTest, ConnectAllPausesBetweenEntries) {
    auto second = AddDevice(2, kTypeTemperature, SensorKind::Temperature, 3, "1", "A");
    auto fifth = AddDevice(5, kTypeHumidity, SensorKind::Humidity, 4, "1", "B");
    link.cmdConnectAll_Click();
    ASSERT_EQ(second->Commands().size(), 2u);  // "i", then the first reading
    ASSERT_EQ(fifth->Commands().size(), 2u);
    const Milliseconds gap = fifth->Commands()[0].at - second->Commands()[1].at;
    EXPECT_GE(gap, Milliseconds(1500));
    EXPECT_LT(gap, Milliseconds(1700));
    EXPECT_TRUE(view.connectAllEnabled);
    EXPECT_EQ(view.Commands(2).connectCaption, "Disconnect");
    EXPECT_EQ(view.Commands(5).connectCaption, "Disconnect");
}

TEST_F(SensorLinkTest, MissingLogDirectoryKeepsTheEntryDisconnected) {
    auto sensor = AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3, "1", "Logged");
    model.Entry(1)->fileLogging = true;
    prefs.logdir = (logDir / "missing").string();
    link.ConnectSensor(1);
    const auto messages = dialogs.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0],
              "Error: Path not found.\n Please make sure sensor is connected and that you have "
              "the correct COM port.");
    EXPECT_EQ(messages[1],
              " Please check your Log File directory setting, to make sure the directory exists "
              "on your hard drive.");
    EXPECT_TRUE(dialogs.Saw("Please enter the full path name including drive letter:"));
    EXPECT_FALSE(model.Entry(1)->IsConnected());
    EXPECT_FALSE(link.Port(1, PortGroup::Polled)->IsOpen());
    EXPECT_TRUE(view.Commands(1).connectEnabled);
    EXPECT_TRUE(view.Commands(1).deleteEnabled);
    EXPECT_EQ(view.Commands(1).connectCaption, "Connect");
}

TEST_F(SensorLinkTest, FirstLogFileHasItsHeaderAndTheFirstReading) {
    AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3, "1", "Server room");
    model.Entry(1)->fileLogging = true;
    link.ConnectSensor(1);
    const std::string path = logFiles.CurrentFile(1);
    EXPECT_EQ(fs::path(path).filename().string(), "12072026_040509.txt");
    link.cmdConnectSensor_Click(1);
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(),
              "Server room\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
              "12/7/2026,4:05:09 PM, 72.5\r\n");
}

TEST_F(SensorLinkTest, ResetThenNegativeReadingFillsOnlyTheLowest) {
    auto sensor = AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3, "1", "Freezer");
    prefs.ReadingInterval = "1";
    link.ApplyReadingInterval();
    link.ConnectSensor(1);
    link.ClearHighLow(Tab::Temperature, 1);
    sensor->SetTemperatureF(-5.5);
    loop.RunFor(Milliseconds(61000));
    EXPECT_EQ(view.Row(1).reading, "-5.5");
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).lowest, "-5.5");
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).highest, "");
}

TEST_F(SensorLinkTest, TickWhileTheEntrysReadingIsUnderWayIsSkipped) {
    auto sensor = AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3, "1", "Slow");
    prefs.MinOrSecs = "Sec";
    prefs.ReadingInterval = "1";  // 850 ms: shorter than a slow reply
    link.ApplyReadingInterval();
    link.ConnectSensor(1);
    sensor->SetReplyDelay(Milliseconds(1900));
    sensor->ClearCommands();
    loop.RunFor(Milliseconds(5000));
    // Every exchange completes before the next starts: commands never overlap their replies.
    const auto& commands = sensor->Commands();
    ASSERT_GE(commands.size(), 2u);
    for (std::size_t i = 1; i < commands.size(); ++i) {
        EXPECT_GE(commands[i].at - commands[i - 1].at, Milliseconds(1900));
    }
}

TEST_F(SensorLinkTest, LostCombinedSensorIsShownOnBothRowsUntilTheUserDisconnectsIt) {
    auto sensor = AddDevice(3, kTypeComboHumidity, SensorKind::Combined, 5, "21", "Lab");
    link.ConnectSensor(3);
    sensor->SetUnplugged(true);
    loop.RunFor(Milliseconds(1000));
    EXPECT_EQ(view.Row(3).status, "LOST");
    EXPECT_EQ(view.Row(4).status, "LOST");
    EXPECT_EQ(view.Row(4).reading, "72.5");  // kept, greyed
    EXPECT_EQ(view.Commands(3).connectCaption, "Disconnect");

    link.cmdConnectSensor_Click(3);
    for (int n : {3, 4}) {
        EXPECT_EQ(view.Row(n).reading, "OFF") << n;
        EXPECT_EQ(view.Row(n).status, "") << n;
        EXPECT_FALSE(view.Row(n).statusVisible) << n;
    }
    sensor->SetUnplugged(false);
    loop.RunFor(Milliseconds(30000));
    EXPECT_FALSE(model.Entry(3)->IsConnected());
}

}  // namespace
}  // namespace vigiltron
