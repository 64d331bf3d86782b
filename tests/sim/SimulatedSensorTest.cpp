#include "sim/SimulatedSensor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSerialPort.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono_literals::operator""ms;
using ::testing::ElementsAre;

class SimulatedSensorTest : public ::testing::Test {
protected:
    SimulatedSensor& Connect(SensorKind kind) {
        sensor = std::make_shared<SimulatedSensor>(loop, kind);
        factory.Attach(3, sensor);
        port = factory.CreateSimulatedPort();
        port->SetCommPort(3);
        port->SetOnComm([this](CommEvent e) { events.push_back(e); });
        EXPECT_TRUE(port->Open());
        return *sensor;
    }

    // Sends a command and returns what has arrived after `wait`.
    std::string Ask(const std::string& command, Milliseconds wait = 500ms) {
        port->Output(command);
        loop.RunFor(wait);
        return port->Input();
    }

    VirtualEventLoop loop;
    SimulatedPortFactory factory{loop};
    std::shared_ptr<SimulatedSensor> sensor;
    std::unique_ptr<SimulatedSerialPort> port;
    std::vector<CommEvent> events;
};

TEST_F(SimulatedSensorTest, EachKindIdentifiesWithItsModelText) {
    const std::vector<std::pair<SensorKind, std::string>> expected{
        {SensorKind::Temperature, "Vigiltron/T v2.1\r"},
        {SensorKind::Humidity, "Vigiltron/H v2.1\r"},
        {SensorKind::Combined, "Vigiltron/H v2.1\r"},
        {SensorKind::Proximity, "Vigiltron/P v2.1\r"},
        {SensorKind::Water, "Vigiltron/W v2.1\r"},
        {SensorKind::Accelerometer, "Vigiltron/A v2.1\r"},
        {SensorKind::Distance, "Vigiltron/D v2.1\r"},
    };
    for (const auto& [kind, reply] : expected) {
        Connect(kind);
        EXPECT_EQ(Ask("i\r"), reply) << SensorKindName(kind);
        port.reset();
    }
    Connect(SensorKind::Distance).SetIdentification("Vigiltron/P v1.0");
    EXPECT_EQ(Ask("i\r"), "Vigiltron/P v1.0\r");
}

TEST_F(SimulatedSensorTest, TemperatureRepliesInBothUnitsWithTheNumberInFront) {
    auto& s = Connect(SensorKind::Temperature);
    EXPECT_EQ(Ask("tf\r"), "072.50F\r");
    EXPECT_EQ(Ask("tc\r"), "022.50C\r");
    s.SetTemperatureF(-5.5);
    EXPECT_EQ(Ask("tf\r"), "-05.50F\r");
    EXPECT_EQ(Ask("tc\r"), "-20.83C\r");
    s.SetTemperatureC(-40);
    EXPECT_EQ(Ask("tf\r"), "-40.00F\r");
    s.SetTemperatureF(100.004);
    EXPECT_EQ(Ask("tf\r"), "100.00F\r");
    s.SetTemperatureC(0.001);
    EXPECT_EQ(Ask("tc\r"), "000.00C\r");
    // A temperature sensor has no humidity.
    EXPECT_EQ(Ask("h\r"), "Invalid\r");
}

TEST_F(SimulatedSensorTest, HumidityAndCombinedAnswerBothReadings) {
    for (const SensorKind kind : {SensorKind::Humidity, SensorKind::Combined}) {
        auto& s = Connect(kind);
        s.SetHumidity(41);
        s.SetTemperatureF(70);
        EXPECT_EQ(Ask("h\r"), "041.0%\r");
        EXPECT_EQ(Ask("tf\r"), "070.00F\r");
        s.SetHumidity(100);
        EXPECT_EQ(Ask("h\r"), "100.0%\r");
        s.SetHumidity(7.26);
        EXPECT_EQ(Ask("h\r"), "007.3%\r");
        port.reset();
    }
}

TEST_F(SimulatedSensorTest, CommandsAreAssembledFromPiecesUpToCarriageReturn) {
    auto& s = Connect(SensorKind::Accelerometer);
    s.SetTilt(0.12, -0.05);
    port->Output("\r\n");  // stray line end before the first command
    port->Output("i");
    loop.RunFor(200ms);
    EXPECT_EQ(port->InBufferCount(), 0) << "no reply before the CR";
    port->Output("\r");
    loop.RunFor(100ms);
    EXPECT_EQ(port->Input(), "Vigiltron/A v2.1\r");

    port->Output("a");
    loop.RunFor(150ms);
    port->Output("\r");
    loop.RunFor(100ms);
    // X in columns 1..6 and Y in columns 8..13.
    const std::string reply = port->Input();
    EXPECT_EQ(reply, "+0.120 -0.050\r");
    EXPECT_EQ(reply.substr(0, 6), "+0.120");
    EXPECT_EQ(reply.substr(7, 6), "-0.050");

    port->Output("D");
    loop.RunFor(200ms);
    port->Output("+");
    loop.RunFor(200ms);
    port->Output("\r");
    loop.RunFor(100ms);
    EXPECT_EQ(port->Input(), "Invalid\r") << "D+ belongs to the distance sensor";

    EXPECT_THAT(s.CommandTexts(), ElementsAre("i", "a", "D+"));
    EXPECT_EQ(s.Commands()[0].at, 200ms) << "a command is logged when its CR arrives";
}

TEST_F(SimulatedSensorTest, BehavioursChangeTheReadingReplies) {
    auto& s = Connect(SensorKind::Temperature);
    s.SetBehaviour(SensorBehaviour::SensorError);
    EXPECT_EQ(Ask("tf\r"), "Sensor Error\r");
    EXPECT_EQ(Ask("i\r"), "Vigiltron/T v2.1\r") << "a sensor that cannot measure still identifies";

    s.SetBehaviour(SensorBehaviour::Garbage);
    EXPECT_EQ(Ask("tf\r"), "#$%&\r");

    s.SetBehaviour(SensorBehaviour::Silent);
    EXPECT_EQ(Ask("tf\r", 10000ms), "");
    EXPECT_EQ(Ask("i\r", 10000ms), "");
    EXPECT_THAT(s.CommandTexts(), ElementsAre("tf", "i", "tf", "tf", "i"));

    s.SetBehaviour(SensorBehaviour::Normal);
    EXPECT_EQ(Ask("tf\r"), "072.50F\r");
}

TEST_F(SimulatedSensorTest, ALateReplyArrivesAfterItsDelayAndInOrder) {
    auto& s = Connect(SensorKind::Temperature);
    s.SetReplyDelay(2500ms);
    EXPECT_EQ(Ask("tf\r", 2000ms), "");
    loop.RunFor(499ms);
    EXPECT_EQ(port->InBufferCount(), 0);
    loop.RunFor(1ms);
    EXPECT_EQ(port->Input(), "072.50F\r");

    // A quicker reply to a later command never overtakes the slow one on the line.
    port->Output("tf\r");
    s.SetReplyDelay(10ms);
    s.SetTemperatureF(80);
    port->Output("tf\r");
    loop.RunFor(3000ms);
    EXPECT_EQ(port->Input(), "072.50F\r080.00F\r");
}

TEST_F(SimulatedSensorTest, ProximityAndWaterDriveTheirLinesAndRejectReadings) {
    auto& water = Connect(SensorKind::Water);
    EXPECT_FALSE(port->CDHolding());
    water.SetWet(true);
    EXPECT_TRUE(port->CDHolding());
    EXPECT_FALSE(port->DSRHolding());
    EXPECT_EQ(Ask("tf\r"), "Invalid\r");
    EXPECT_THAT(events, ElementsAre(CommEvent::CdChange));

    events.clear();
    auto& prox = Connect(SensorKind::Proximity);
    prox.SetPresent(true);
    loop.RunFor(1ms);
    EXPECT_TRUE(port->DSRHolding());
    EXPECT_FALSE(port->CDHolding());
    EXPECT_THAT(events, ElementsAre(CommEvent::DsrChange));
}

TEST_F(SimulatedSensorTest, AccelerometerStreamsTiltUntilStopped) {
    auto& s = Connect(SensorKind::Accelerometer);
    s.SetTilt(0.12, -0.05);
    s.SetStreamInterval(1000ms);
    port->SetRThreshold(1);

    port->Output("a+\r");
    loop.RunFor(20ms);
    EXPECT_EQ(port->Input(), "OK\r");
    EXPECT_EQ(s.Mode(), SensorMode::Streaming);
    loop.RunFor(3000ms);
    EXPECT_EQ(port->Input(), "+0.120g -0.050g \r+0.120g -0.050g \r+0.120g -0.050g \r");
    s.SetTilt(-1.5, 0);
    loop.RunFor(1000ms);
    EXPECT_EQ(port->Input(), "-1.500g +0.000g \r");
    EXPECT_GE(std::count(events.begin(), events.end(), CommEvent::Receive), 5);

    EXPECT_EQ(Ask("S\r", 5000ms), "OK\r");
    EXPECT_EQ(s.Mode(), SensorMode::Standard);

    // "A", "+" and CR with pauses start the same stream.
    port->Output("A");
    loop.RunFor(200ms);
    port->Output("+");
    loop.RunFor(200ms);
    EXPECT_EQ(Ask("\r", 1500ms), "OK\r-1.500g +0.000g \r");

    s.SetBehaviour(SensorBehaviour::SensorError);
    EXPECT_EQ(Ask("", 1000ms), "Sensor Error\r");
    s.SetBehaviour(SensorBehaviour::Silent);
    EXPECT_EQ(Ask("", 5000ms), "");
}

TEST_F(SimulatedSensorTest, StreamingPausesWhileThePortIsClosed) {
    auto& s = Connect(SensorKind::Distance);
    s.SetDistance(123);
    EXPECT_EQ(Ask("D+\r", 1500ms), "OK\r123cm\r");
    port->Close();
    EXPECT_FALSE(loop.HasPendingWork()) << "an idle simulation must be able to go idle";
    ASSERT_TRUE(port->Open());
    s.SetDistance(std::nullopt);
    loop.RunFor(1020ms);
    EXPECT_EQ(port->Input(), "No Object\r");
}

TEST_F(SimulatedSensorTest, DistanceReadsAndProximityMode) {
    auto& s = Connect(SensorKind::Distance);
    s.SetDistance(123);
    EXPECT_EQ(Ask("d\r"), "123cm\r");
    s.SetDistance(7.4);
    EXPECT_EQ(Ask("d\r"), "7cm\r");
    s.SetDistance(std::nullopt);
    EXPECT_EQ(Ask("d\r"), "No Object\r");
    s.SetBehaviour(SensorBehaviour::SensorError);
    EXPECT_EQ(Ask("d\r"), "Sensor Error\r");
    s.SetBehaviour(SensorBehaviour::Normal);

    // Proximity mode: DSR follows an object in range.
    EXPECT_EQ(Ask("E\r"), "OK\r");
    EXPECT_EQ(s.Mode(), SensorMode::Event);
    EXPECT_FALSE(port->DSRHolding());
    events.clear();
    s.SetDistance(50);
    EXPECT_TRUE(port->DSRHolding());
    s.SetDistance(60);  // still present: no change
    s.SetDistance(std::nullopt);
    loop.RunFor(1ms);
    EXPECT_THAT(events, ElementsAre(CommEvent::DsrChange, CommEvent::DsrChange));
    s.SetDistance(50);
    EXPECT_EQ(Ask("S\r"), "OK\r");
    EXPECT_FALSE(port->DSRHolding()) << "leaving proximity mode drops DSR";
}

TEST_F(SimulatedSensorTest, BumpPulsesDsrOnlyInBumpMode) {
    auto& s = Connect(SensorKind::Accelerometer);
    s.Bump();
    loop.RunFor(1000ms);
    EXPECT_TRUE(events.empty()) << "no bump events outside bump mode";

    port->Output("e");
    loop.RunFor(200ms);
    EXPECT_EQ(Ask("\r"), "OK\r");
    s.Bump();
    EXPECT_TRUE(port->DSRHolding());
    loop.RunFor(SimulatedSensor::kBumpPulse);
    EXPECT_FALSE(port->DSRHolding());
    EXPECT_THAT(events, ElementsAre(CommEvent::DsrChange, CommEvent::DsrChange));
}

TEST_F(SimulatedSensorTest, SensitivityCalibrationAndRejectedCommands) {
    auto& s = Connect(SensorKind::Accelerometer);
    EXPECT_EQ(Ask("M3\r"), "OK\r");
    EXPECT_EQ(s.Sensitivity(), 3);
    EXPECT_EQ(Ask("M12\r"), "Invalid\r");
    EXPECT_EQ(Ask("M2.5\r"), "Invalid\r");
    EXPECT_EQ(s.Sensitivity(), 3);
    EXPECT_EQ(Ask("c\r"), "OK\r");
    EXPECT_EQ(s.Calibrations(), 1);

    s.SetRejectCommands(true);
    EXPECT_EQ(Ask("e\r"), "Invalid\r");
    EXPECT_EQ(s.Mode(), SensorMode::Standard);
    EXPECT_EQ(Ask("M4\r"), "Invalid\r");
    EXPECT_EQ(Ask("c\r"), "Invalid\r");
    EXPECT_EQ(s.Sensitivity(), 3);
    EXPECT_EQ(s.Calibrations(), 1);
    EXPECT_EQ(Ask("a\r"), "+0.000 +0.000\r") << "readings are still answered";
}

TEST_F(SimulatedSensorTest, ALongRunKeepsOnlyTheMostRecentCommandsAndBytes) {
    // Weeks of polling must not pile up in the simulator: the sensor keeps its last 256
    // commands and the port its last 64 KiB written, both oldest first and newest last.
    auto& s = Connect(SensorKind::Temperature);
    constexpr int kSent = 30000;
    std::string allWritten;
    for (int i = 0; i < kSent; ++i) {
        const std::string command = "n" + std::to_string(i) + "\r";
        port->Output(command);
        allWritten += command;
        loop.RunFor(1ms);
        port->Input();
    }

    const auto& commands = s.Commands();
    ASSERT_EQ(commands.size(), 256u);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].text, "n" + std::to_string(kSent - 256 + int(i))) << i;
    }
    EXPECT_EQ(commands.back().text, "n29999");
    EXPECT_EQ(commands.back().at, Milliseconds(kSent - 1));
    EXPECT_EQ(s.CommandTexts().back(), "n29999");

    ASSERT_GT(allWritten.size(), 2u * 64 * 1024) << "the test must write past the kept window";
    const std::string written = port->Written();
    ASSERT_EQ(written.size(), 64u * 1024);
    EXPECT_EQ(written, allWritten.substr(allWritten.size() - 64 * 1024));

    // Answers still come after all that.
    loop.RunFor(100ms);
    port->Input();
    EXPECT_EQ(Ask("tf\r"), "072.50F\r");
    EXPECT_EQ(s.CommandTexts().back(), "tf");
}

}  // namespace
}  // namespace vigiltron
