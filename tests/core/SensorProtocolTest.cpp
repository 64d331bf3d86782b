#include "core/SensorProtocol.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/ReadingValue.h"
#include "sim/ScriptedDialogs.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSensor.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

TEST(ReadingValueTest, LeadingNumberOfTheFirstCharacters) {
    EXPECT_EQ(ReadingValue("072.50F\r", 6), "72.5");
    EXPECT_EQ(ReadingValue("-05.50F\r", 6), "-5.5");
    EXPECT_EQ(ReadingValue("041.0%\r", 5), "41");
    EXPECT_EQ(ReadingValue("  +7.25xyz", 10), "7.25");
    EXPECT_EQ(ReadingValue(".5", 5), "0.5");
    EXPECT_EQ(ReadingValue("1e3cm", 6), "1000");
    EXPECT_EQ(ReadingValue("5e", 6), "5");  // an exponent without digits is not one
    // Only the given count of characters is read: "123456" cut to 5 is 12345.
    EXPECT_EQ(ReadingValue("123456", 5), "12345");
}

TEST(ReadingValueTest, NoNumberReadsAsZero) {
    EXPECT_EQ(ReadingValue("#$%&\r", 5), "0");
    EXPECT_EQ(ReadingValue("", 5), "0");
    EXPECT_EQ(ReadingValue("-", 5), "0");
    EXPECT_EQ(ReadingValue("-0.00", 5), "0");
    EXPECT_EQ(ReadingValue("1e999", 6), "0");  // out of range is no reading, not "inf"
}

TEST(ReadingValueTest, PlainDecimalNeverUsesExponents) {
    EXPECT_EQ(PlainDecimal(0.0001), "0.0001");
    EXPECT_EQ(PlainDecimal(12345678.0), "12345678");
    EXPECT_EQ(PlainDecimal(-3.0), "-3");
}

class SensorProtocolTest : public ::testing::Test {
protected:
    void Attach(SensorKind kind) {
        sensor = std::make_shared<SimulatedSensor>(loop, kind);
        ports.Attach(3, sensor);
        port = ports.CreatePort();
        port->SetCommPort(3);
        port->SetSettings("9600,n,8,1");
        ASSERT_TRUE(port->Open()) << port->LastError();
        timer.SetInterval(Milliseconds(60000));
        timer.SetEnabled(true);
        target.setupIndex = 1;
        target.port = port.get();
        target.pollingTimer = &timer;
        target.row = &row;
        target.temperatureRow = &temperatureRow;
        target.disconnect = [this] {
            ++disconnects;
            port->Close();
        };
    }

    VirtualEventLoop loop;
    ScriptedDialogs dialogs;
    SimulatedPortFactory ports{loop};
    std::shared_ptr<SimulatedSensor> sensor;
    std::unique_ptr<SerialPort> port;
    Timer timer{loop};
    SummaryRow row;
    SummaryRow temperatureRow;
    ReadingTarget target;
    int disconnects = 0;
    SensorProtocol protocol{loop, dialogs};
};

TEST_F(SensorProtocolTest, TemperatureInEitherUnitSetsTheUnitLetter) {
    Attach(SensorKind::Temperature);
    sensor->SetTemperatureF(72.5);
    EXPECT_EQ(
        protocol.StandardRead(target, DeviceKind::Temperature, TemperatureUnit::Fahrenheit).text,
        "72.5");
    EXPECT_EQ(row.unit, "F");
    EXPECT_EQ(protocol.StandardRead(target, DeviceKind::Temperature, TemperatureUnit::Celsius).text,
              "22.5");
    EXPECT_EQ(row.unit, "C");
    EXPECT_EQ(sensor->CommandTexts(), (std::vector<std::string>{"tf", "tc"}));
    // A healthy sensor is read as soon as its reply is complete, not after the full pause.
    EXPECT_LT(loop.Elapsed(), Milliseconds(1000));
    EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(SensorProtocolTest, HumidityWithoutANumberReadsZero) {
    Attach(SensorKind::Humidity);
    sensor->SetBehaviour(SensorBehaviour::Garbage);
    EXPECT_EQ(protocol.StandardRead(target, DeviceKind::Humidity, TemperatureUnit::Fahrenheit).text,
              "0");
}

TEST_F(SensorProtocolTest, TenUnansweredQueriesDisconnect) {
    Attach(SensorKind::Temperature);
    sensor->SetBehaviour(SensorBehaviour::Silent);
    EXPECT_EQ(
        protocol.StandardRead(target, DeviceKind::Temperature, TemperatureUnit::Fahrenheit).text,
        "");
    EXPECT_EQ(sensor->CommandTexts().size(), 10u);
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{
                  "StandardRead: Sensor not responding after 10 queries.  Disconnecting sensor."}));
    EXPECT_EQ(disconnects, 1);
    EXPECT_FALSE(timer.Enabled());
    // Each query waits its full bound, and no more.
    EXPECT_EQ(loop.Elapsed(), 10 * SensorProtocol::kReplyWait);
}

TEST_F(SensorProtocolTest, AnswerAfterSilenceSwitchesPollingBackOn) {
    Attach(SensorKind::Temperature);
    sensor->SetBehaviour(SensorBehaviour::Silent);
    loop.StartTimer(Milliseconds(4500), [this] { sensor->SetBehaviour(SensorBehaviour::Normal); });
    EXPECT_EQ(
        protocol.StandardRead(target, DeviceKind::Temperature, TemperatureUnit::Fahrenheit).text,
        "72.5");
    EXPECT_EQ(sensor->CommandTexts().size(), 4u);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(disconnects, 0);
}

TEST_F(SensorProtocolTest, SensorErrorIsShownAndStopsPolling) {
    Attach(SensorKind::Temperature);
    sensor->SetBehaviour(SensorBehaviour::SensorError);
    EXPECT_EQ(
        protocol.StandardRead(target, DeviceKind::Temperature, TemperatureUnit::Fahrenheit).text,
        "");
    EXPECT_EQ(row.status, "Sensor Error");
    EXPECT_EQ(row.statusFontSize, 10);
    EXPECT_EQ(row.reading, "NA");
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(SensorProtocolTest, ClosedPortAndPortLostMidExchange) {
    Attach(SensorKind::Temperature);
    port->Close();
    EXPECT_EQ(
        protocol.StandardRead(target, DeviceKind::Temperature, TemperatureUnit::Fahrenheit).text,
        "");
    EXPECT_TRUE(dialogs.Saw("Port is no longer open. In newTakeVTReading"));
    EXPECT_FALSE(timer.Enabled());

    ASSERT_TRUE(port->Open());
    sensor->SetReplyDelay(Milliseconds(500));
    loop.StartTimer(Milliseconds(100), [this] { ports.Detach(3); });
    const Reading broken =
        protocol.StandardRead(target, DeviceKind::Temperature, TemperatureUnit::Fahrenheit);
    EXPECT_TRUE(broken.failed);
    EXPECT_FALSE(broken.HasValue());
    EXPECT_TRUE(dialogs.Saw("Error in newTakeVTReading. TmpHoldString1 = "));
}

TEST_F(SensorProtocolTest, AccelerometerAndDistanceValues) {
    Attach(SensorKind::Accelerometer);
    sensor->SetTilt(0.12, -0.05);
    EXPECT_EQ(
        protocol.StandardRead(target, DeviceKind::Accelerometer, TemperatureUnit::Fahrenheit).text,
        "0.12 / -0.05");
    EXPECT_EQ(sensor->CommandTexts(), (std::vector<std::string>{"a"}));

    ports.Detach(3);
    port->Close();
    Attach(SensorKind::Distance);
    sensor->SetDistance(123.0);
    EXPECT_EQ(protocol.StandardRead(target, DeviceKind::Distance, TemperatureUnit::Fahrenheit).text,
              "123");
}

TEST_F(SensorProtocolTest, CombinedReadsTemperatureThenHumidity) {
    Attach(SensorKind::Combined);
    sensor->SetTemperatureF(72.5);
    sensor->SetHumidity(41);
    const SensorProtocol::CombinedReading both =
        protocol.THRead(target, TemperatureUnit::Fahrenheit);
    EXPECT_TRUE(both.answered);
    EXPECT_EQ(both.temperature.text, "72.5");
    EXPECT_EQ(both.temperature.unit, "F");
    EXPECT_EQ(both.humidity.text, "41");
    EXPECT_EQ(temperatureRow.unit, "F");
    EXPECT_EQ(sensor->CommandTexts(), (std::vector<std::string>{"tf", "h"}));
}

TEST_F(SensorProtocolTest, CombinedTemperatureErrorLeavesTheTemperatureEmpty) {
    Attach(SensorKind::Combined);
    sensor->SetBehaviour(SensorBehaviour::SensorError);
    const SensorProtocol::CombinedReading result =
        protocol.THRead(target, TemperatureUnit::Celsius);
    EXPECT_TRUE(result.answered);
    EXPECT_EQ(result.temperature.text, "");
    EXPECT_TRUE(dialogs.Saw("Sensor Error: Received from sensor"));
    // The humidity half reported the error too: shown on the row, polling stopped.
    EXPECT_EQ(row.reading, "NA");
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(SensorProtocolTest, CombinedSilentGivesUpWithoutHumidityCommand) {
    Attach(SensorKind::Combined);
    sensor->SetBehaviour(SensorBehaviour::Silent);
    EXPECT_FALSE(protocol.THRead(target, TemperatureUnit::Fahrenheit).answered);
    EXPECT_TRUE(
        dialogs.Saw("THRead: Sensor not responding after 10 queries.  Disconnecting sensor."));
    for (const auto& command : sensor->CommandTexts()) {
        EXPECT_EQ(command, "tf");
    }
    EXPECT_EQ(disconnects, 0);  // the polling timer's retries disconnect a combined sensor
}

TEST_F(SensorProtocolTest, IdentificationQueries) {
    Attach(SensorKind::Accelerometer);
    EXPECT_NE(protocol.Identify(*port, true).find("Vigiltron/A"), std::string::npos);
    ASSERT_EQ(sensor->Commands().size(), 1u);
    // "i", a pause, then CR: the command is complete only after the pause.
    EXPECT_GE(sensor->Commands()[0].at, SensorProtocol::kCharacterPause);

    sensor->SetBehaviour(SensorBehaviour::Silent);
    sensor->ClearCommands();
    const Milliseconds before = loop.Elapsed();
    // Silence on readings does not silence identification in the simulator, so unplug instead.
    ports.Detach(3);
    EXPECT_EQ(protocol.Identify(*port, true), "");
    EXPECT_LT(loop.Elapsed() - before, Milliseconds(10000));
}

}  // namespace
}  // namespace vigiltron
