#include "sim/Scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "sim/ScenarioRunner.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSerialPort.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono_literals::operator""ms;
using std::chrono_literals::operator""s;
using std::chrono_literals::operator""min;
using std::chrono_literals::operator""h;

std::string ErrorOf(const std::string& text) {
    const ScenarioParseResult result = ParseScenario(text, "test.scenario");
    EXPECT_FALSE(result.Ok()) << text;
    return result.error;
}

TEST(ScenarioDurationTest, AcceptsUnitsAndCombinationsAndRejectsTheRest) {
    EXPECT_EQ(ParseScenarioDuration("0"), Milliseconds(0));
    EXPECT_EQ(ParseScenarioDuration("500ms"), 500ms);
    EXPECT_EQ(ParseScenarioDuration("90s"), 90s);
    EXPECT_EQ(ParseScenarioDuration("10m"), 10min);
    EXPECT_EQ(ParseScenarioDuration("1h30m"), 90min);
    EXPECT_EQ(ParseScenarioDuration("2d"), 48h);
    EXPECT_EQ(ParseScenarioDuration("1m30s250ms"), 90250ms);
    for (const char* bad : {"", "10", "10x", "m", "-5m", "1.5h", "10 m", "h1"}) {
        EXPECT_FALSE(ParseScenarioDuration(bad).has_value()) << bad;
    }
}

TEST(ScenarioParseTest, ReadsSensorsAndTimedChanges) {
    const auto result = ParseScenario(R"(# Server room
sensor COM3 temperature value=72.5
sensor COM4 combined temperature=21C humidity=41 delay=30ms   # a comment after a statement
sensor COM6 water wet=no
sensor COM7 distance distance=none interval=500ms

at 10m COM3 value=85
at 1h30m COM3 silent
at 2h COM6 wet=yes
every 30m COM7 distance=40 from 1h until 2h
)",
                                      "room.scenario");
    ASSERT_TRUE(result.Ok()) << result.error;
    const Scenario& s = *result.scenario;
    using P = SensorSetting::Property;

    ASSERT_EQ(s.sensors.size(), 4u);
    EXPECT_EQ(s.sensors[0].comNumber, 3);
    EXPECT_EQ(s.sensors[0].kind, SensorKind::Temperature);
    EXPECT_EQ(s.sensors[0].line, 2);
    ASSERT_EQ(s.sensors[0].settings.size(), 1u);
    EXPECT_EQ(s.sensors[0].settings[0].property, P::Temperature);
    EXPECT_DOUBLE_EQ(s.sensors[0].settings[0].number, 72.5);

    const auto& combined = s.sensors[1].settings;
    ASSERT_EQ(combined.size(), 3u);
    EXPECT_DOUBLE_EQ(combined[0].number, 69.8) << "Celsius is kept as Fahrenheit";
    EXPECT_EQ(combined[1].property, P::Humidity);
    EXPECT_EQ(combined[2].property, P::ReplyDelay);
    EXPECT_EQ(combined[2].duration, 30ms);
    EXPECT_EQ(s.sensors[3].settings[0].property, P::NoObject);
    EXPECT_EQ(s.sensors[3].settings[1].duration, 500ms);

    ASSERT_EQ(s.steps.size(), 4u);
    EXPECT_EQ(s.steps[0].at, 10min);
    EXPECT_EQ(s.steps[0].line, 7);
    EXPECT_EQ(s.steps[1].at, 90min);
    EXPECT_EQ(s.steps[1].settings[0].behaviour, SensorBehaviour::Silent);
    EXPECT_TRUE(s.steps[2].settings[0].flag);
    EXPECT_EQ(s.steps[3].at, 1h);
    EXPECT_EQ(s.steps[3].every, 30min);
    EXPECT_EQ(s.steps[3].until, 2h);
}

TEST(ScenarioParseTest, ReportsEachKindOfMistakeWithFileAndLine) {
    const std::string header = "sensor COM3 temperature\n";
    EXPECT_EQ(ErrorOf("\n\nsensor COM3 thermometer\n"),
              "test.scenario:3: unknown sensor kind 'thermometer' (expected temperature, "
              "humidity, combined, proximity, water, accelerometer or distance)");
    EXPECT_EQ(ErrorOf("sensor CMO3 temperature\n"),
              "test.scenario:1: bad COM port 'CMO3' (expected COM1 to COM256)");
    EXPECT_EQ(ErrorOf("sensor COM0 temperature\n"),
              "test.scenario:1: bad COM port 'COM0' (expected COM1 to COM256)");
    EXPECT_EQ(ErrorOf(header + "sensor COM3 water\n"),
              "test.scenario:2: COM3 already has a sensor (line 1)");
    EXPECT_EQ(ErrorOf(header + "at 10x COM3 value=80\n"),
              "test.scenario:2: bad time '10x' (expected e.g. 0, 500ms, 30s, 10m, 1h30m, 2d)");
    EXPECT_EQ(ErrorOf(header + "at 10m COM5 value=80\n"),
              "test.scenario:2: no sensor on COM5 (declare it with a sensor line above this one)");
    EXPECT_EQ(ErrorOf(header + "at 10m COM3 value=hot\n"),
              "test.scenario:2: bad value for value: 'hot' (expected a number, optionally "
              "followed by F or C)");
    EXPECT_EQ(ErrorOf(header + "at 10m COM3 wet=yes\n"),
              "test.scenario:2: 'wet' does not apply to a temperature sensor");
    EXPECT_EQ(ErrorOf("sensor COM6 water wet=maybe\n"),
              "test.scenario:1: bad value for wet: 'maybe' (expected yes or no)");
    EXPECT_EQ(ErrorOf("sensor COM4 humidity value=120\n"),
              "test.scenario:1: bad value for value: '120' (humidity is 0 to 100)");
    EXPECT_EQ(ErrorOf("sensor COM4 combined value=70\n"),
              "test.scenario:1: 'value' is ambiguous for a combined sensor: use temperature= "
              "or humidity=");
    EXPECT_EQ(ErrorOf("sensor COM8 proximity bump\n"),
              "test.scenario:1: 'bump' does not apply to a proximity sensor");
    EXPECT_EQ(ErrorOf("sensor COM8 accelerometer x=12\n"),
              "test.scenario:1: bad value for x: '12' (tilt is -9.999 to 9.999)");
    EXPECT_EQ(ErrorOf(header + "at 1h COM3 loud\n"), "test.scenario:2: unknown setting 'loud'");
    EXPECT_EQ(ErrorOf(header + "at 1h COM3\n"), "test.scenario:2: nothing to change on COM3");
    EXPECT_EQ(
        ErrorOf(header + "wait 1h\n"),
        "test.scenario:2: unknown statement 'wait' (expected sensor, modem, camera, at, every "
        "or ramp)");
    EXPECT_EQ(ErrorOf(header + "every 0 COM3 silent\n"),
              "test.scenario:2: the interval of every must be above 0");
    EXPECT_EQ(ErrorOf(header + "ramp COM3 value 70 to 90 over 1h\n"),
              "test.scenario:2: expected: ramp COMn value FROM -> TO over DURATION");
    EXPECT_EQ(ErrorOf(header + "at 1h COM3 delay=soon\n"),
              "test.scenario:2: bad value for delay: 'soon' (expected a duration such as 500ms, "
              "30s, 10m, 1h30m)");
}

TEST(ScenarioParseTest, RampsBecomeEvenSteps) {
    const auto result = ParseScenario(
        "sensor COM3 temperature\nramp COM3 value 70 -> 90 over 2h from 1h step 30m\n"
        "sensor COM8 accelerometer\nramp COM8 y 0->1 over 90s\n",
        "f");
    ASSERT_TRUE(result.Ok()) << result.error;
    const auto& steps = result.scenario->steps;
    ASSERT_EQ(steps.size(), 8u);
    const double expected[] = {70, 75, 80, 85, 90};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(steps[i].at, 1h + i * 30min);
        EXPECT_DOUBLE_EQ(steps[i].settings[0].number, expected[i]);
    }
    // A step that does not divide the duration still ends on the final value at the end.
    EXPECT_EQ(steps[5].at, 0s);
    EXPECT_EQ(steps[6].at, 60s);
    EXPECT_EQ(steps[7].at, 90s);
    EXPECT_DOUBLE_EQ(steps[7].settings[0].number, 1.0);
    EXPECT_EQ(steps[7].settings[0].property, SensorSetting::Property::Y);
    EXPECT_EQ(steps[7].comNumber, 8);
}

TEST(ScenarioParseTest, LoadsFilesAndReportsUnreadableOnes) {
    const std::string path = ::testing::TempDir() + "/scenario-load-test.scenario";
    {
        std::ofstream out(path, std::ios::binary);
        out << "sensor COM3 temperature\r\nat 5m COM3 value=wet\r\n";
    }
    EXPECT_EQ(LoadScenarioFile(path).error,
              path +
                  ":2: bad value for value: 'wet' (expected a number, optionally followed by "
                  "F or C)");
    std::remove(path.c_str());
    EXPECT_EQ(LoadScenarioFile(path).error, path + ": cannot read the file");
}

class ScenarioRunnerTest : public ::testing::Test {
protected:
    std::unique_ptr<SimulatedSerialPort> Open(int com) {
        auto port = factory.CreateSimulatedPort();
        port->SetCommPort(com);
        port->SetOnComm([this](CommEvent e) { events.push_back(e); });
        EXPECT_TRUE(port->Open()) << port->LastError();
        return port;
    }

    std::string Ask(SimulatedSerialPort& port, const std::string& command) {
        port.Output(command);
        loop.RunFor(100ms);
        return port.Input();
    }

    void Start(const std::string& text) {
        const auto result = ParseScenario(text, "t");
        ASSERT_TRUE(result.Ok()) << result.error;
        runner.Start(*result.scenario);
    }

    VirtualEventLoop loop;
    SimulatedPortFactory factory{loop};
    ScenarioRunner runner{loop, factory};
    std::vector<CommEvent> events;
};

TEST_F(ScenarioRunnerTest, ChangesHappenAtTheirVirtualTimes) {
    loop.RunFor(5min);  // times count from Start, not from the loop's creation
    Start(R"(sensor COM3 temperature value=72.5
sensor COM4 combined temperature=70 humidity=41 delay=30ms
sensor COM6 water wet=no
at 10m COM3 value=85
at 1h30m COM3 silent
at 1h40m COM3 normal
at 2h COM6 wet=yes
)");
    auto temp = Open(3);
    auto combo = Open(4);
    auto water = Open(6);
    EXPECT_EQ(Ask(*temp, "tf\r"), "072.50F\r");
    combo->Output("h\r");
    loop.RunFor(29ms);
    EXPECT_EQ(combo->InBufferCount(), 0);
    loop.RunFor(1ms);
    EXPECT_EQ(combo->Input(), "041.0%\r");

    loop.RunFor(15min - loop.Elapsed() - 1ms);
    EXPECT_EQ(Ask(*temp, "tf\r"), "072.50F\r");
    loop.RunFor(15min - loop.Elapsed());
    EXPECT_EQ(Ask(*temp, "tf\r"), "085.00F\r");

    loop.RunFor(5min + 90min - loop.Elapsed());
    EXPECT_EQ(Ask(*temp, "tf\r"), "");
    loop.RunFor(5min + 100min - loop.Elapsed());
    EXPECT_EQ(Ask(*temp, "tf\r"), "085.00F\r");

    EXPECT_FALSE(water->CDHolding());
    EXPECT_TRUE(events.empty());
    loop.RunFor(5min + 2h - loop.Elapsed());
    EXPECT_TRUE(water->CDHolding());
    EXPECT_EQ(events, std::vector<CommEvent>{CommEvent::CdChange});
    EXPECT_EQ(runner.PendingSteps(), 0u);
}

TEST_F(ScenarioRunnerTest, RepeatsUnplugsAndFaults) {
    Start(R"(sensor COM8 accelerometer
sensor COM3 temperature
every 10m COM8 bump until 30m
at 1h COM3 fault=framing
at 2h COM3 unplug
at 3h COM3 plug
)");
    ASSERT_NE(runner.Sensor(8), nullptr);
    EXPECT_EQ(runner.Sensor(5), nullptr);
    auto accel = Open(8);
    auto temp = Open(3);
    EXPECT_EQ(Ask(*accel, "e\r"), "OK\r");
    loop.RunFor(1h - loop.Elapsed() - 1ms);
    // Bumps at 10m, 20m, 30m: each raises and drops DSR.
    EXPECT_EQ(std::count(events.begin(), events.end(), CommEvent::DsrChange), 6);
    events.clear();
    loop.RunFor(1ms);
    EXPECT_EQ(events, std::vector<CommEvent>{CommEvent::Framing});
    loop.RunFor(1h);
    EXPECT_FALSE(temp->IsOpen());
    EXPECT_EQ(events.back(), CommEvent::DeviceLost);
    EXPECT_FALSE(temp->Open());
    loop.RunFor(1h);
    EXPECT_TRUE(temp->Open());
    loop.RunUntilIdle();
    EXPECT_EQ(runner.PendingSteps(), 0u);
}

TEST_F(ScenarioRunnerTest, DestroyingTheRunnerCancelsWhatIsStillToCome) {
    auto local = std::make_unique<ScenarioRunner>(loop, factory);
    const auto result = ParseScenario("sensor COM3 temperature\nat 1h COM3 value=99\n", "t");
    ASSERT_TRUE(result.Ok());
    local->Start(*result.scenario);
    EXPECT_EQ(local->PendingSteps(), 1u);
    local.reset();
    auto port = Open(3);
    loop.RunFor(2h);
    EXPECT_EQ(Ask(*port, "tf\r"), "072.50F\r");
}

TEST(ScenarioExamplesTest, ShippedExamplesParse) {
    // The examples live beside the sources; find them from this file's own path.
    const std::string self = __FILE__;
    const std::size_t at = self.rfind("tests/sim/");
    if (at == std::string::npos) {
        GTEST_SKIP() << "source tree not known";
    }
    const std::string examples = self.substr(0, at) + "docs/examples/";
    for (const char* name : {"basic.scenario", "faults.scenario", "motion.scenario"}) {
        const auto result = LoadScenarioFile(examples + name);
        ASSERT_TRUE(result.Ok()) << result.error;
        EXPECT_FALSE(result.scenario->sensors.empty()) << name;
    }
}

}  // namespace
}  // namespace vigiltron
