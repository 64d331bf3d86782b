#include "sim/SimulatedModem.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/Scenario.h"
#include "sim/ScenarioRunner.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSerialPort.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono_literals::operator""ms;
using std::chrono_literals::operator""s;

std::string ErrorOf(const std::string& text) {
    const ScenarioParseResult result = ParseScenario(text, "m.scenario");
    EXPECT_FALSE(result.Ok()) << text;
    return result.error;
}

TEST(SimulatedModemTest, ModemStatementAttachesAModemThatAnswersAsConfigured) {
    const ScenarioParseResult result = ParseScenario(R"(sensor COM3 temperature
modem COM5 answer=BUSY delay=3s digits=error echo=yes
modem COM6
)",
                                                     "m.scenario");
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.scenario->modems.size(), 2u);
    EXPECT_EQ(result.scenario->modems[0].line, 2);
    EXPECT_TRUE(result.scenario->modems[1].settings.empty());

    VirtualEventLoop loop;
    SimulatedPortFactory factory(loop);
    ScenarioRunner runner(loop, factory);
    runner.Start(*result.scenario);
    ASSERT_NE(runner.Modem(5), nullptr);
    EXPECT_EQ(runner.Modem(3), nullptr);
    EXPECT_EQ(runner.Modem(5)->Answer(), ModemAnswer::Busy);
    EXPECT_EQ(runner.Modem(5)->DigitsAnswer(), ModemAnswer::Error);
    EXPECT_EQ(runner.Modem(6)->Answer(), ModemAnswer::Ok);

    // The dial's answer comes after its delay, behind the echo of the command.
    auto port = factory.CreateSimulatedPort();
    port->SetCommPort(5);
    ASSERT_TRUE(port->Open());
    port->Output("ATDT555,,,,,,,,,,;\r");
    loop.RunFor(3s - 1ms);
    EXPECT_EQ(port->Input(), "ATDT555,,,,,,,,,,;\r");
    loop.RunFor(1ms);
    EXPECT_EQ(port->Input(), "\r\nBUSY\r\n");
    port->Output("ATDT42\rATH0\r");
    loop.RunFor(1s);
    EXPECT_EQ(port->Input(), "ATDT42\r\r\nERROR\r\nATH0\r\r\nOK\r\nNO CARRIER\r\n")
        << "replies keep the order of the line, whatever their delays";
    EXPECT_EQ(runner.Modem(5)->Commands(),
              (std::vector<std::string>{"ATDT555,,,,,,,,,,;", "ATDT42", "ATH0"}));

    EXPECT_EQ(ErrorOf("modem COM5 answer=maybe\n"),
              "m.scenario:1: bad value for answer: 'maybe' (expected ok, busy, error, "
              "no-dial-tone, no-carrier or silent)");
    EXPECT_EQ(ErrorOf("sensor COM5 water\nmodem COM5\n"),
              "m.scenario:2: COM5 already has a sensor (line 1)");
    EXPECT_EQ(ErrorOf("modem COM5\nsensor COM5 water\n"),
              "m.scenario:2: COM5 already has a modem (line 1)");
    EXPECT_EQ(ErrorOf("modem COM5\nat 1m COM5 answer=ok\n"),
              "m.scenario:2: COM5 has a modem, which takes no timed changes");
    EXPECT_EQ(ErrorOf("modem COM5 value=3\n"),
              "m.scenario:1: unknown modem setting 'value' (expected answer=, digits=, delay= or "
              "echo=)");
}

}  // namespace
}  // namespace vigiltron
