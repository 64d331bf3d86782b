#include "core/SummaryMenu.h"
#include "sensors/ReadingPipeline.h"
#include "sensors/StreamingSensors.h"

#include "core/ReadingValue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "alerts/ProximityActions.h"
#include "core/AlertTestRig.h"
#include "reporting/LogFiles.h"
#include "sensors/SensorLink.h"
#include "sim/RecordingSystemActions.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using testing::AlertRig;

// A simulated sensor that can also put arbitrary bytes on the line.
class TestSensor : public SimulatedSensor {
public:
    using SimulatedSensor::SimulatedSensor;
    void Push(std::string bytes) { Send(std::move(bytes), Milliseconds(0)); }
};

class StreamingSensorsTest : public ::testing::Test {
protected:
    StreamingSensorsTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        logDir = fs::temp_directory_path() / ("vigiltron-stream-" + std::string(info->name()));
        fs::remove_all(logDir);
        fs::create_directories(logDir);
        rig.prefs.logdir = logDir.string();
        logFiles.defaultLogDirectory = logDir.string();
        link.AttachEventSensors(streaming, streaming);
    }
    ~StreamingSensorsTest() override {
        yieldsLeft = 0;
        fs::remove_all(logDir);
    }

    std::shared_ptr<TestSensor> Add(int n, DeviceKind kind, int com, const std::string& slot,
                                    bool eventMode = false) {
        const bool accel = kind == DeviceKind::Accelerometer;
        DeviceRecord record;
        record.deviceType = accel ? kTypeAccelerometer : kTypeDistance;
        record.deviceName = "Sensor " + std::to_string(n);
        record.port = com;
        record.subIndex = slot;
        record.tabLogging = true;
        record.fileLogging = fileLogging;
        record.startInBump = accel && eventMode;
        record.startInProx = !accel && eventMode;
        rig.model.SetEntry(n, record);
        rig.model.CreateSetupArray();
        rig.model.TakeSlot(n);
        rig.view.Commands(n).connectEnabled = true;
        auto sensor = std::make_shared<TestSensor>(
            rig.loop, accel ? SensorKind::Accelerometer : SensorKind::Distance);
        ports.Attach(com, sensor);
        return sensor;
    }

    void Run(int ms) { rig.loop.RunFor(Milliseconds(ms)); }
    Milliseconds Now() const { return rig.loop.Elapsed(); }
    SummaryRow& Row(int n) { return rig.view.Row(n); }
    const std::deque<std::string>& Log(Tab tab, int slot) { return rig.view.Slot(tab, slot).log; }
    EntryCommands::StreamingModeView& Modes(int n) { return rig.view.Commands(n).streaming; }
    // The Summary pop-up menu's item of entry n as a right click would show it now.
    SummaryMenuEntry MenuItem(int n, SummaryMenuItem item) {
        OpenSummaryMenu(rig.model, rig.view, n);
        for (const SummaryMenuEntry& entry : rig.view.summaryMenu.items) {
            if (entry.item == item) {
                return entry;
            }
        }
        return {};
    }
    std::string Saved(int n, const char* key) {
        return rig.settings.GetSetting(DeviceModel::DeviceSection(n), key, "");
    }

    Texts FileLines(int n) {
        std::ifstream in(logFiles.CurrentFile(n), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        Texts lines;
        std::string text = content.str();
        for (std::size_t start = 0; start < text.size();) {
            const auto end = text.find("\r\n", start);
            lines.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 2;
        }
        return lines;
    }

    int Alarms(const std::string& text) {
        return int(std::count(rig.journal.lines.begin(), rig.journal.lines.end(),
                              std::make_pair(std::string("alarm"), text)));
    }

    static Milliseconds At(const TestSensor& sensor, std::size_t i) {
        return sensor.Commands().at(i).at;
    }

    // From now on the next `times` view changes let the loop run, as a window repainting in the
    // middle of the handling does: bytes due meanwhile arrive while earlier lines are handled.
    void YieldOnViewChanges(int times) {
        if (!yieldObserver) {
            yieldObserver = true;
            rig.view.Subscribe([this] {
                if (yieldsLeft > 0 && !yielding) {
                    --yieldsLeft;
                    yielding = true;
                    rig.loop.ProcessPendingEvents();
                    yielding = false;
                }
            });
        }
        yieldsLeft = times;
    }

    // Puts `bytes` on the line at once, in pieces the port's input buffer holds.
    static void PushAtOnce(TestSensor& sensor, const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 4000) {
            sensor.Push(bytes.substr(at, 4000));
        }
    }

    Texts JournalLines(const std::string& containing) const {
        Texts found;
        for (const auto& [category, text] : rig.journal.lines) {
            if (text.find(containing) != std::string::npos) {
                found.push_back(category + " " + text);
            }
        }
        return found;
    }

    AlertRig rig;
    bool yieldObserver = false;
    bool yielding = false;
    int yieldsLeft = 0;
    SimulatedPortFactory ports{rig.loop};
    fs::path logDir;
    bool fileLogging = true;
    LogFiles logFiles{LogFiles::Services{rig.loop, rig.clock, rig.dialogs, rig.model, rig.view,
                                         rig.settings, rig.prefs}};
    RecordingSystemActions system;
    std::vector<int> proximityAlerts;
    std::vector<int> captures;
    ProximityActions actions{
        ProximityActions::Services{rig.prefs, rig.settings, rig.dialogs, rig.loop, system,
                                   rig.model, rig.view},
        ProximityActions::Hooks{
            [this](DeviceKind kind) { proximityAlerts.push_back(KindCode(kind)); },
            [this](int camera) { captures.push_back(camera); }, nullptr}};
    ReadingPipeline readings{ReadingPipeline::Services{rig.clock, rig.journal, rig.model, rig.view,
                                                       rig.prefs, rig.eval, actions, logFiles}};
    SensorLink link{SensorLink::Services{rig.loop, rig.dialogs, rig.journal, ports, rig.model,
                                         rig.view, rig.prefs, readings, logFiles, nullptr,
                                         nullptr}};
    StreamingSensors streaming{StreamingSensors::Services{
        rig.loop, rig.clock, rig.dialogs, rig.journal, rig.model, rig.view, rig.prefs, rig.settings,
        link, actions, logFiles, readings}};
};

// ---- Line texts ----

TEST(StreamingLineTexts, TiltSplitsAtTheFirstBlank) {
    TiltTexts t = SplitTilt("+0.120g -0.050g ");
    EXPECT_EQ(t.x, "+0.120g ");
    EXPECT_EQ(t.y, "-0.050g ");
    t = SplitTilt("1.25 -3");
    EXPECT_EQ(t.x, "1.25 ");
    EXPECT_EQ(t.y, "-3");
    t = SplitTilt("-2.500g");  // no blank: X empty, Y the whole line
    EXPECT_EQ(t.x, "");
    EXPECT_EQ(t.y, "-2.500g");

    EXPECT_TRUE(StartsWithReading(" -.5g"));
    EXPECT_TRUE(StartsWithReading("+0.120g "));
    EXPECT_FALSE(StartsWithReading("OK"));
    EXPECT_FALSE(StartsWithReading(""));
    EXPECT_FALSE(StartsWithReading("-g"));

    EXPECT_EQ(SensitivityDigit(" 7 "), 7);
    EXPECT_EQ(SensitivityDigit("05"), 5);
    for (const char* refused : {"0", "10", "2.5", "", " ", "-1", "7a", "99999999999999999999"}) {
        EXPECT_EQ(SensitivityDigit(refused), 0) << refused;
    }
}

// ---- Accelerometer stream ----

TEST_F(StreamingSensorsTest, TiltCrossingAlarmsOnceReturnsWithOneOkAndAlarmsAgain) {
    rig.EnableChannels(8);
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"i", "a+"}));
    EXPECT_EQ(sensor->Mode(), SensorMode::Streaming);
    EXPECT_EQ(Row(2).reading, " ");

    sensor->SetTilt(0.2, -0.1);
    Run(1600);
    EXPECT_EQ(Row(2).reading, "+0.200g -0.100g ");
    EXPECT_EQ(Row(2).status, "OK");
    EXPECT_EQ(Log(Tab::Accelerometer, 1).front(), "09:05 AM: +0.200g -0.100g ");
    const Texts file = FileLines(2);
    EXPECT_EQ(file.back().rfind("12/8/2026,9:05:", 0), 0u) << file.back();
    EXPECT_EQ(file.back().substr(file.back().find(" AM")), " AM: +0.200g -0.100g ");

    sensor->SetX(-2.0);
    Run(4000);  // four tilted lines
    EXPECT_EQ(Row(2).status, "X TILT -");
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].text, "Accelerometer Alert (Below X Min Threshold)");

    sensor->SetX(0.0);
    Run(4000);
    EXPECT_EQ(Row(2).status, "OK");
    ASSERT_EQ(rig.smtp.mails.size(), 2u);
    EXPECT_EQ(rig.smtp.mails[1].text, "Accelerometer values are now OK");
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "(Sending OnScreen alert)"), 1);
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "(Sending Ok alert)"), 1);

    sensor->SetX(-2.5);
    Run(1000);
    ASSERT_EQ(rig.smtp.mails.size(), 3u);
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "(Sending OnScreen alert)"), 2);
}

TEST_F(StreamingSensorsTest, LinesSplitOrBatchedAreEachHandledWhole) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    sensor->SetTilt(0.3, 0.1);
    sensor->SetCharacterGap(Milliseconds(3));  // one byte per receive event
    Run(2000);
    EXPECT_EQ(Row(2).reading, "+0.300g +0.100g ");
    for (const std::string& line : Log(Tab::Accelerometer, 1)) {
        EXPECT_EQ(line, "09:05 AM: +0.300g +0.100g ");
    }

    // Several lines and a partial one in one read: every complete line counts, none is lost.
    const std::size_t before = Log(Tab::Accelerometer, 1).size();
    streaming.AccelerometerBytes(2, "+0.400g +0.100g \r+0.500g +0.100g \r+0.6");
    EXPECT_EQ(Log(Tab::Accelerometer, 1).size(), before + 2);
    EXPECT_EQ(Log(Tab::Accelerometer, 1).front(), "09:05 AM: +0.500g +0.100g ");
    EXPECT_EQ(streaming.PendingBytes(2), 4u);
    streaming.AccelerometerBytes(2, "00g +0.100g \n\r");
    EXPECT_EQ(Row(2).reading, "+0.600g +0.100g ");
    EXPECT_EQ(streaming.PendingBytes(2), 0u);
}

TEST_F(StreamingSensorsTest, LinesThatAreNoTiltAreShownButNeverClearAnAlarm) {
    rig.EnableChannels(8);
    Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);

    // No blank: X is empty, Y the whole line, which is below Y min.
    streaming.AccelerometerBytes(2, "-2.500g\r");
    EXPECT_EQ(Row(2).reading, "-2.500g");
    EXPECT_EQ(Row(2).status, "Y TILT -");
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].text, "Accelerometer Alert (Below Y Min Threshold)");

    // The sensor's own "OK" reads as no number at all: no false all-clear.
    streaming.AccelerometerBytes(2, "OK\r");
    EXPECT_EQ(Row(2).reading, "OK");
    EXPECT_EQ(Row(2).status, "Y TILT -");
    EXPECT_EQ(rig.smtp.mails.size(), 1u);

    streaming.AccelerometerBytes(2, "Invalid\r\r");
    EXPECT_EQ(Row(2).reading, "OK");
    EXPECT_EQ(Log(Tab::Accelerometer, 1).front(), "09:05 AM: OK");

    rig.prefs.chkLocalMonitoring = true;
    streaming.AccelerometerBytes(2, "+0.000g -3.000g \r");
    EXPECT_EQ(Row(2).reading, "+0.000g -3.000g ");
    EXPECT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(FileLines(2).back().substr(FileLines(2).back().find(" AM")), " AM: +0.000g -3.000g ");
}

// ---- Distance stream ----

TEST_F(StreamingSensorsTest, DistanceReadingsNoObjectAndErrors) {
    rig.EnableChannels(9);
    auto sensor = Add(3, DeviceKind::Distance, 6, "2");
    sensor->SetDistance(50);
    link.ConnectSensor(3);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"i", "D+"}));
    Run(1600);
    EXPECT_EQ(Row(3).reading, "50cm");
    EXPECT_EQ(Row(3).readingColour, TextColour::Blue);
    EXPECT_EQ(Row(3).status, "OK");
    EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM: 50cm");
    EXPECT_EQ(streaming.LastDistanceText(3), "50cm");
    EXPECT_EQ(streaming.ObjectChanged(2), "0");

    sensor->SetDistance(std::nullopt);
    Run(1000);
    EXPECT_EQ(Row(3).reading, "No Obj");
    EXPECT_EQ(streaming.ObjectChanged(2), "1");
    EXPECT_EQ(streaming.LastDistanceText(3), "No Obj");
    EXPECT_EQ(Alarms("Object has gone out of range"), 1);
    EXPECT_EQ(rig.pager.calls.size(), 1u);
    EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM: No Object");
    const std::size_t logged = Log(Tab::Distance, 2).size();

    Run(2000);  // "No Object" again: no second alert, no second screen line
    EXPECT_EQ(Alarms("Object has gone out of range"), 1);
    EXPECT_EQ(rig.pager.calls.size(), 1u);
    EXPECT_EQ(streaming.ObjectChanged(2), "0");
    EXPECT_EQ(Log(Tab::Distance, 2).size(), logged);
    Texts file = FileLines(3);
    EXPECT_EQ(std::count_if(file.begin(), file.end(),
                            [](const std::string& l) { return l.ends_with(": No Object"); }),
              3);

    sensor->SetDistance(40);
    Run(1000);
    EXPECT_EQ(Row(3).reading, "40cm");
    EXPECT_EQ(streaming.ObjectChanged(2), "1");

    // The sensor's "OK": status "OK", evaluated, written to the file, no screen line.
    Row(3).status = "Too Close";
    const std::size_t screen = Log(Tab::Distance, 2).size();
    streaming.DistanceBytes(3, "OK\r");
    EXPECT_EQ(Row(3).status, "OK");
    EXPECT_EQ(Row(3).statusFontSize, 14);
    EXPECT_EQ(Row(3).reading, "40cm");
    EXPECT_TRUE(FileLines(3).back().ends_with(" AM: OK")) << FileLines(3).back();
    EXPECT_EQ(Log(Tab::Distance, 2).size(), screen);

    const std::size_t fileLines = FileLines(3).size();
    streaming.DistanceBytes(3, "Sensor Error\r");
    EXPECT_EQ(Row(3).reading, "Error");
    EXPECT_EQ(streaming.LastDistanceText(3), "");
    EXPECT_EQ(FileLines(3).size(), fileLines);

    // A distance that is too close alarms through the evaluator.
    streaming.DistanceBytes(3, "12cm\r");
    EXPECT_EQ(Row(3).status, "Too Close");
}

TEST_F(StreamingSensorsTest, OutOfRangeAlertFollowsItsOption) {
    rig.EnableChannels(9);
    rig.prefs.CheckRange = false;
    Add(3, DeviceKind::Distance, 6, "1");
    link.ConnectSensor(3);
    streaming.DistanceBytes(3, "No Object\r");
    EXPECT_EQ(Alarms("Object has gone out of range"), 0);
    rig.prefs.CheckRange = true;
    streaming.DistanceBytes(3, "25cm\rNo Object\r");
    EXPECT_EQ(Alarms("Object has gone out of range"), 1);
    rig.prefs.chkLocalMonitoring = true;  // "Disable All Alerts" holds for this alert too
    streaming.DistanceBytes(3, "25cm\rNo Object\r");
    EXPECT_EQ(Alarms("Object has gone out of range"), 1);
}

// ---- Bursts ----

TEST_F(StreamingSensorsTest, BurstsOfTwentyThousandLinesAreHandledWholeAndInOrder) {
    rig.prefs.MaxFileSize = "10000";
    auto sensor = Add(3, DeviceKind::Distance, 6, "2");
    sensor->SetStreamInterval(Milliseconds(3600000));  // only the bursts arrive
    link.ConnectSensor(3);
    Run(10);
    std::size_t expected = FileLines(3).size();
    std::string burst;
    for (int i = 1; i <= 20000; ++i) {
        burst += std::to_string(i) + "cm\r";
    }
    auto expectAllLogged = [&](const char* how) {
        const Texts file = FileLines(3);
        ASSERT_EQ(file.size(), expected + 20000) << how;
        for (int i = 1; i <= 20000; ++i) {
            const std::string& line = file[expected + std::size_t(i) - 1];
            ASSERT_TRUE(line.ends_with(" AM: " + std::to_string(i) + "cm")) << how << ": " << line;
        }
        EXPECT_EQ(Row(3).reading, "20000cm") << how;
        EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM: 20000cm") << how;
        EXPECT_EQ(streaming.QueuedLines(3), 0u) << how;
        expected = file.size();
    };

    streaming.DistanceBytes(3, burst);  // one read
    expectAllLogged("one read");

    // Through the port, many reads at once, while handling lets later pieces in.
    YieldOnViewChanges(1000000);
    PushAtOnce(*sensor, burst);
    Run(10);
    expectAllLogged("many reads");
    EXPECT_TRUE(JournalLines("dropped").empty());
}

TEST_F(StreamingSensorsTest, SensorOutrunningItsHandlingLosesItsOldestLinesAndSaysSoOnce) {
    rig.prefs.MaxFileSize = "100000";
    auto sensor = Add(3, DeviceKind::Distance, 6, "2");
    sensor->SetStreamInterval(Milliseconds(3600000));
    link.ConnectSensor(3);
    Run(10);
    const std::size_t header = FileLines(3).size();
    auto line = [](int i) {
        std::string digits = std::to_string(i);
        return std::string(6 - digits.size(), '0') + digits + "cm";
    };
    // Some 1.2 MiB of lines arrive while the first one is still being handled.
    constexpr int kLines = 140000;
    std::string flood;
    for (int i = 1; i <= kLines; ++i) {
        flood += line(i) + "\r";
    }
    YieldOnViewChanges(1);
    PushAtOnce(*sensor, flood);
    Run(10);

    const Texts reports = JournalLines("lines dropped");
    ASSERT_EQ(reports.size(), 1u);
    const std::string prefix = "status 3 Sensor 3: ";
    ASSERT_EQ(reports[0].rfind(prefix, 0), 0u) << reports[0];
    const int dropped = std::stoi(reports[0].substr(prefix.size()));
    EXPECT_EQ(reports[0], prefix + std::to_string(dropped) +
                              " lines dropped, the sensor sent faster than they could be handled");
    ASSERT_GT(dropped, 0);
    ASSERT_LT(dropped, kLines / 2);
    EXPECT_EQ(Log(Tab::Distance, 2).front(),
              "09:05 AM " + std::to_string(dropped) + " lines dropped");

    // The first line was handled before the flood piled up; the oldest of the rest gave way.
    const Texts file = FileLines(3);
    ASSERT_EQ(file.size(), header + std::size_t(kLines - dropped));
    EXPECT_TRUE(file[header].ends_with(" AM: " + line(1))) << file[header];
    EXPECT_TRUE(file[header + 1].ends_with(" AM: " + line(dropped + 2))) << file[header + 1];
    EXPECT_TRUE(file.back().ends_with(" AM: " + line(kLines))) << file.back();
    EXPECT_EQ(Row(3).reading, line(kLines));

    // Lines handled in time afterwards report nothing more.
    sensor->Push(line(1) + "\r" + line(2) + "\r");
    Run(10);
    EXPECT_EQ(Row(3).reading, line(2));
    EXPECT_EQ(JournalLines("lines dropped").size(), 1u);
    EXPECT_EQ(
        rig.CountLines(Tab::Distance, 2, "09:05 AM " + std::to_string(dropped) + " lines dropped"),
        1);
}

// ---- Mode changes ----

TEST_F(StreamingSensorsTest, AccelerometerModeButtonStopsThenSwitchesAndBack) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    Run(1600);
    sensor->ClearCommands();
    Milliseconds t0 = Now();
    streaming.cmdSetToBump_Click(1);
    ASSERT_EQ(sensor->CommandTexts(), (Texts{"S", "e"}));
    EXPECT_EQ(At(*sensor, 0), t0 + Milliseconds(200));
    EXPECT_EQ(At(*sensor, 1), t0 + Milliseconds(400));
    EXPECT_EQ(sensor->Mode(), SensorMode::Event);
    EXPECT_TRUE(rig.model.Entry(2)->bumpMode);
    EXPECT_EQ(Saved(2, "StartInBump"), "1");
    EXPECT_EQ(rig.view.Slot(Tab::Accelerometer, 1).modeCaption, "Stop monitoring");
    EXPECT_EQ(MenuItem(2, SummaryMenuItem::BumpMode).caption, "Take out of Bump mode");
    EXPECT_TRUE(Modes(2).binaryMode);
    EXPECT_EQ(Modes(2).modeMarker, "1");
    EXPECT_EQ(Log(Tab::Accelerometer, 1).front(), "09:05 AM Set To Bump Mode");
    EXPECT_EQ(link.Port(2, PortGroup::Accelerometer)->RThreshold(), 1);
    EXPECT_EQ(rig.view.busyDepth, 0);

    sensor->ClearCommands();
    t0 = Now();
    streaming.cmdSetToBump_Click(1);
    ASSERT_EQ(sensor->CommandTexts(), (Texts{"S", "a+"}));
    EXPECT_EQ(At(*sensor, 1), t0 + Milliseconds(200));  // "a", "+", CR without pauses
    EXPECT_EQ(sensor->Mode(), SensorMode::Streaming);
    EXPECT_FALSE(rig.model.Entry(2)->bumpMode);
    EXPECT_EQ(Saved(2, "StartInBump"), "0");
    EXPECT_EQ(Row(2).readingFontSize, 10);
    EXPECT_EQ(rig.view.Slot(Tab::Accelerometer, 1).modeCaption, "Set to Monitor 'bump'");
    EXPECT_EQ(Modes(2).modeMarker, "0");
    EXPECT_FALSE(Modes(2).binaryMode);
    EXPECT_EQ(Log(Tab::Accelerometer, 1).front(), "09:05 AM Set to Accel Mode");
    sensor->SetTilt(0.1, 0.1);
    Run(1100);
    EXPECT_EQ(Row(2).reading, "+0.100g +0.100g ");
}

TEST_F(StreamingSensorsTest, ModeChangeGivesUpAfterFifteenUnconfirmedAttempts) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    sensor->SetRejectCommands(true);
    sensor->ClearCommands();
    const Milliseconds t0 = Now();
    streaming.cmdSetToBump_Click(1);
    const Texts sent = sensor->CommandTexts();
    ASSERT_EQ(sent.size(), 16u);
    EXPECT_EQ(sent[0], "S");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "e"), 15);
    EXPECT_EQ(At(*sensor, 1), t0 + Milliseconds(400));
    for (std::size_t i = 2; i < sent.size(); ++i) {
        EXPECT_EQ(At(*sensor, i) - At(*sensor, i - 1), Milliseconds(200));
    }
    EXPECT_TRUE(rig.model.Entry(2)->bumpMode);  // taken as set
}

TEST_F(StreamingSensorsTest, ContextMenuBumpModeUsesItsOwnCommandsAndDrains) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1", /*eventMode=*/true);
    link.ConnectSensor(2);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"i", "E"}));
    EXPECT_EQ(sensor->Mode(), SensorMode::Event);
    EXPECT_EQ(MenuItem(2, SummaryMenuItem::BumpMode).caption, "Take out of Bump mode");
    EXPECT_EQ(rig.view.Slot(Tab::Accelerometer, 1).modeCaption, "Stop monitoring");
    Run(100);
    EXPECT_EQ(Row(2).status, "OK");

    sensor->ClearCommands();
    const Milliseconds t0 = Now();
    streaming.mnuPopUpSetToBinaryMode_Click(2);  // "Take out of Bump mode"
    ASSERT_EQ(sensor->CommandTexts(), (Texts{"S", "A+"}));
    EXPECT_EQ(At(*sensor, 1), t0 + Milliseconds(600));
    EXPECT_EQ(MenuItem(2, SummaryMenuItem::BumpMode).caption, "Set to Bump mode");
    EXPECT_EQ(rig.view.Slot(Tab::Accelerometer, 1).modeCaption, "Set to Monitor 'bump'");
    EXPECT_EQ(Saved(2, "StartInBump"), "0");
    // The late confirmation is drained, not logged as a reading; the stream then shows.
    Run(1100);
    EXPECT_EQ(Row(2).reading, "+0.000g +0.000g ");
    for (const std::string& line : Log(Tab::Accelerometer, 1)) {
        EXPECT_NE(line, "09:05 AM: OK");
    }

    sensor->ClearCommands();
    streaming.mnuPopUpSetToBinaryMode_Click(2);  // "Set to Bump mode"
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"S", "e"}));
    EXPECT_EQ(MenuItem(2, SummaryMenuItem::BumpMode).caption, "Take out of Bump mode");
    EXPECT_EQ(rig.view.Slot(Tab::Accelerometer, 1).modeCaption, "Stop monitoring");
}

TEST_F(StreamingSensorsTest, DistanceModeButtonAndMenu) {
    auto sensor = Add(3, DeviceKind::Distance, 6, "2");
    link.ConnectSensor(3);
    Run(1600);
    sensor->ClearCommands();
    sensor->SetCharacterGap(Milliseconds(150));  // the confirmation trickles in
    Milliseconds t0 = Now();
    streaming.cmdSetToProximityMode_Click(2);
    sensor->SetCharacterGap(Milliseconds(0));
    ASSERT_EQ(sensor->CommandTexts(), (Texts{"S", "e"}));
    EXPECT_EQ(At(*sensor, 1), t0 + Milliseconds(400));
    EXPECT_EQ(sensor->Mode(), SensorMode::Event);
    EXPECT_TRUE(rig.model.Entry(3)->proximityMode);
    EXPECT_EQ(rig.view.Slot(Tab::Distance, 2).modeCaption, "Set to Distance mode");
    EXPECT_EQ(MenuItem(3, SummaryMenuItem::ProximityMode).caption, "Set to Distance mode");
    EXPECT_TRUE(MenuItem(3, SummaryMenuItem::SetProximityNotifications).visible);
    EXPECT_EQ(Saved(3, "StartInProx"), "1");
    EXPECT_EQ(Row(3).reading, " ");
    EXPECT_EQ(Row(3).readingColour, TextColour::Red);
    EXPECT_EQ(Row(3).status, "OK");
    EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM Set to Proximity mode");
    // The object in range raised DSR while the command was under way: seen once it is done.
    Run(1000);
    EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM- Detect");

    sensor->ClearCommands();
    t0 = Now();
    streaming.cmdSetToProximityMode_Click(2);
    ASSERT_EQ(sensor->CommandTexts(), (Texts{"S", "D+"}));
    EXPECT_EQ(At(*sensor, 1), t0 + Milliseconds(600));
    EXPECT_EQ(sensor->Mode(), SensorMode::Streaming);
    EXPECT_FALSE(rig.model.Entry(3)->proximityMode);
    EXPECT_EQ(rig.view.Slot(Tab::Distance, 2).modeCaption, "Set to Proximity mode");
    EXPECT_EQ(Saved(3, "StartInProx"), "0");
    EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM Set to Distance mode");

    sensor->ClearCommands();
    streaming.mnuPopupSetProximityMode_Click(3);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"S", "E"}));
    EXPECT_EQ(MenuItem(3, SummaryMenuItem::ProximityMode).caption, "Set to Distance mode");
}

TEST_F(StreamingSensorsTest, CommandsOnASensorThatIsNotOpen) {
    Add(2, DeviceKind::Accelerometer, 5, "1");
    Add(3, DeviceKind::Distance, 6, "2");
    streaming.cmdSetToBump_Click(1);
    streaming.cmdSetBumpSens_Click(1);
    streaming.cmdCalibrate_Click(1);
    EXPECT_EQ(rig.dialogs.Messages(), (Texts{"Sensor has not been opened",
                                             "Sensor has not been opened", "Port is not opened"}));
    Row(3).statusVisible = true;
    streaming.cmdSetToProximityMode_Click(2);
    EXPECT_EQ(Row(3).reading, "OFF");
    EXPECT_FALSE(Row(3).statusVisible);
    EXPECT_EQ(MenuItem(3, SummaryMenuItem::ConnectSensor).caption, "Connect This Sensor");
}

// ---- Event modes ----

TEST_F(StreamingSensorsTest, BumpShowsLogsAndAlerts) {
    rig.EnableChannels(0);
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1", /*eventMode=*/true);
    link.ConnectSensor(2);
    Run(100);
    sensor->Bump();
    Run(50);
    EXPECT_EQ(Row(2).reading, "BUMP");
    EXPECT_EQ(Row(2).readingFontSize, 14);
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "09:05 AM- BUMP"), 1);
    EXPECT_EQ(rig.CountLines(Tab::Accelerometer, 1, "(Sending OnScreen alert)"), 1);
    EXPECT_EQ(FileLines(2).back(), "12/8/2026,9:05:07 AM- BUMP");
    ASSERT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(rig.smtp.mails[0].text, "Bump Alert");
    Run(300);
    EXPECT_EQ(Row(2).reading, " ");

    rig.prefs.chkLocalMonitoring = true;
    sensor->Bump();
    Run(300);
    EXPECT_EQ(rig.smtp.mails.size(), 1u);
    EXPECT_EQ(FileLines(2).size(), 5u);  // header (3 lines) and two bumps
}

TEST_F(StreamingSensorsTest, DistanceInProximityModeDrivesTheProximityActions) {
    rig.prefs.chkOnScreenOnProx = true;
    rig.prefs.optSystemLock = true;
    // Camera 1 (entry 7) follows slot 2; camera 2 would too but only monitors.
    DeviceRecord camera;
    camera.deviceType = kTypeCamera;
    camera.subIndex = "1";
    rig.model.SetEntry(7, camera);
    camera.subIndex = "2";
    rig.model.SetEntry(8, camera);
    rig.prefs.prox[1] = {.chkCamUseProx = true, .cmbProximNumber = "2"};
    rig.prefs.prox[2] = {.chkCamMon = true, .chkCamUseProx = true, .cmbProximNumber = "2"};
    auto sensor = Add(3, DeviceKind::Distance, 6, "2", /*eventMode=*/true);
    sensor->SetDistance(std::nullopt);
    link.ConnectSensor(3);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"i", "E"}));
    EXPECT_TRUE(rig.model.Entry(3)->proximityMode);
    EXPECT_EQ(rig.view.Slot(Tab::Distance, 2).modeCaption, "Set to Distance mode");
    EXPECT_EQ(MenuItem(3, SummaryMenuItem::ProximityMode).caption, "Set to Distance mode");

    sensor->SetDistance(60);
    Run(10);
    EXPECT_EQ(Row(3).reading, "Event");
    EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM- Detect");
    EXPECT_EQ(FileLines(3).back(), "12/8/20269:05:07 AM, Event - On");
    EXPECT_EQ(proximityAlerts, (std::vector<int>{9}));
    EXPECT_EQ(captures, (std::vector<int>{7}));
    EXPECT_TRUE(actions.WalkUpPending());
    EXPECT_TRUE(system.Calls().empty());

    sensor->SetDistance(std::nullopt);
    Run(10);
    EXPECT_EQ(Row(3).reading, " ");
    EXPECT_EQ(Log(Tab::Distance, 2).front(), "09:05 AM- <Reset>");
    EXPECT_EQ(FileLines(3).back(), "12/8/20269:05:07 AM, Event - Off");
    EXPECT_EQ(proximityAlerts, (std::vector<int>{9, 9}));
    EXPECT_EQ(system.Count("lock"), 1);
    EXPECT_EQ(captures, (std::vector<int>{7}));  // the lock ends the handler
}

TEST_F(StreamingSensorsTest, ErrorEventsShowSystemModalMessages) {
    auto accel = Add(2, DeviceKind::Accelerometer, 5, "1");
    auto distance = Add(3, DeviceKind::Distance, 6, "2");
    link.ConnectSensor(2);
    link.ConnectSensor(3);
    rig.dialogs.Clear();
    const std::pair<CommEvent, const char*> errors[] = {
        {CommEvent::Framing, "Framing error detected"},
        {CommEvent::Overrun, "Error detected. Possible data loss"},
        {CommEvent::RxOverflow, "RX Overflow detected"},
        {CommEvent::RxParity, "Rx Parity Error detected"},
        {CommEvent::TxFull, "Tx Overflow detected"},
    };
    for (const auto& sensor : {accel, distance}) {
        for (const auto& [event, text] : errors) {
            rig.dialogs.Clear();
            sensor->InjectEvent(event);
            Run(5);
            ASSERT_EQ(rig.dialogs.History().size(), 1u) << text;
            EXPECT_EQ(rig.dialogs.History()[0].text, text);
            EXPECT_TRUE(rig.dialogs.History()[0].systemModal);
        }
        rig.dialogs.Clear();
        for (CommEvent ignored :
             {CommEvent::Break, CommEvent::CtsTimeout, CommEvent::DsrTimeout, CommEvent::CdTimeout,
              CommEvent::ControlBlock, CommEvent::CtsChange, CommEvent::CdChange}) {
            sensor->InjectEvent(ignored);
        }
        Run(5);
        EXPECT_TRUE(rig.dialogs.History().empty());
    }
}

// ---- Sensitivity and calibration ----

TEST_F(StreamingSensorsTest, ContextMenuSensitivityTakesOnlyWholeNumbersOneToNine) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    sensor->ClearCommands();
    for (const char* answer : {"0", "10", "2.5", "7"}) {
        rig.dialogs.QueueText(answer);
    }
    streaming.mnuPopupSetSensitivity_Click(2);
    EXPECT_EQ(rig.dialogs.Messages(), Texts(3, "Number must be an integer between 1 and 9"));
    int prompts = 0;
    for (const auto& shown : rig.dialogs.History()) {
        if (shown.kind == ScriptedDialogs::Shown::Kind::Prompt) {
            ++prompts;
            EXPECT_EQ(shown.text,
                      "Please enter a number between 1 (most sensitive) and 9 (least sensitive)");
            EXPECT_EQ(shown.title, "Proximity Sensitivity Adjustment");
        }
    }
    EXPECT_EQ(prompts, 4);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"M7", "a+"}));
    EXPECT_EQ(sensor->Sensitivity(), 7);
    EXPECT_EQ(Saved(2, "ProxSens"), "7");
    EXPECT_EQ(Row(2).readingFontSize, 10);
    EXPECT_EQ(Log(Tab::Accelerometer, 1).front(), "09:05 AM Setting Sens = 7");

    rig.dialogs.Clear();
    rig.dialogs.QueueText("  ");
    streaming.mnuPopupSetSensitivity_Click(2);
    EXPECT_EQ(rig.dialogs.Messages(), Texts{"Bump sensitivity was not set."});

    auto distance = Add(3, DeviceKind::Distance, 6, "2", /*eventMode=*/true);
    link.ConnectSensor(3);
    rig.dialogs.Clear();
    rig.dialogs.QueueText("");
    streaming.mnuPopupSetSensitivity_Click(3);
    EXPECT_EQ(rig.dialogs.Messages(), Texts{"Proximity sensitivity was not set."});
    distance->ClearCommands();
    rig.dialogs.QueueText("3");
    streaming.mnuPopupSetSensitivity_Click(3);
    EXPECT_EQ(distance->CommandTexts(), (Texts{"M3", "E"}));  // proximity mode restored
    distance->ClearCommands();
    streaming.mnuPopupSetSensitivity_Click(3);  // cancelled: nothing sent
    EXPECT_TRUE(distance->CommandTexts().empty());
}

TEST_F(StreamingSensorsTest, TabSensitivitySendsTheEntryAndRestoresTheMode) {
    auto accel = Add(2, DeviceKind::Accelerometer, 5, "1");
    auto distance = Add(3, DeviceKind::Distance, 6, "2");
    link.ConnectSensor(2);
    link.ConnectSensor(3);
    accel->ClearCommands();
    rig.dialogs.QueueText("2.5");  // sent unchanged; the sensor refuses it three times
    streaming.cmdSetBumpSens_Click(1);
    EXPECT_EQ(accel->CommandTexts(), (Texts{"M2.5", "M2.5", "M2.5", "S", "a+"}));
    const auto& log = Log(Tab::Accelerometer, 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "09:05 AM Setting Sens = 2.5"), 1);
    EXPECT_EQ(Saved(2, "ProxSens"), "");

    distance->ClearCommands();
    rig.dialogs.QueueText("4");
    streaming.cmdSensD_Click(2);
    EXPECT_EQ(distance->CommandTexts(), (Texts{"M4", "S", "D+"}));
    EXPECT_EQ(distance->Sensitivity(), 4);
    EXPECT_EQ(Saved(3, "ProxSens"), "4");
}

TEST_F(StreamingSensorsTest, CalibrationInBothModes) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    rig.model.Entry(2)->calibrateOnConnect = true;
    link.ConnectSensor(2);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"i", "a+", "c", "a+"}));
    EXPECT_EQ(sensor->Calibrations(), 1);
    EXPECT_EQ(Log(Tab::Accelerometer, 1).front(), "09:05 AM Calibrated");

    streaming.cmdSetToBump_Click(1);
    sensor->ClearCommands();
    streaming.mnuPopupCalibrate_Click(2);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"c", "S", "E"}));
    EXPECT_EQ(sensor->Mode(), SensorMode::Event);
    EXPECT_EQ(Row(2).reading, "");
    EXPECT_EQ(Modes(2).modeMarker, "1");

    sensor->SetRejectCommands(true);
    rig.dialogs.Clear();
    const std::size_t notes = Log(Tab::Accelerometer, 1).size();
    streaming.cmdCalibrate_Click(1);
    EXPECT_EQ(Row(2).reading, "0.00 / 0.00");
    EXPECT_EQ(rig.dialogs.Messages(), Texts{"Invalid request"});
    EXPECT_EQ(Log(Tab::Accelerometer, 1).size(), notes);
    EXPECT_EQ(rig.view.busyDepth, 0);
}

// ---- Ports that go away ----

TEST_F(StreamingSensorsTest, PortVanishingMidLineThenReconnecting) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    sensor->SetTilt(0.25, 0.5);
    sensor->SetCharacterGap(Milliseconds(5));
    for (int i = 0; i < 3000 && streaming.PendingBytes(2) < 6; ++i) {
        Run(1);
    }
    ASSERT_GE(streaming.PendingBytes(2), 6u);
    sensor->SetUnplugged(true);
    Run(100);
    EXPECT_EQ(streaming.PendingBytes(2), 0u);

    link.cmdConnectSensor_Click(2);  // "Disconnect"
    EXPECT_EQ(Row(2).reading, "OFF");
    sensor->SetUnplugged(false);
    sensor->SetCharacterGap(Milliseconds(0));
    sensor->ClearCommands();
    link.cmdConnectSensor_Click(2);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"i", "a+"}));
    Run(1100);
    EXPECT_EQ(Row(2).reading, "+0.250g +0.500g ");
}

TEST_F(StreamingSensorsTest, PortVanishingMidCommandEndsItAtOnce) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    sensor->SetRejectCommands(true);  // the change would take fifteen attempts
    const Milliseconds t0 = Now();
    rig.loop.StartTimer(Milliseconds(700), [&] { sensor->SetUnplugged(true); });
    streaming.cmdSetToBump_Click(1);
    EXPECT_LE(Now() - t0, Milliseconds(1000));
    EXPECT_EQ(rig.view.busyDepth, 0);
    EXPECT_FALSE(streaming.CommandUnderWay(2));
}

TEST_F(StreamingSensorsTest, SecondCommandWhileOneWaitsIsSkipped) {
    auto sensor = Add(2, DeviceKind::Accelerometer, 5, "1");
    link.ConnectSensor(2);
    sensor->ClearCommands();
    rig.loop.StartTimer(Milliseconds(300), [&] {
        EXPECT_TRUE(streaming.CommandUnderWay(2));
        streaming.cmdCalibrate_Click(1);  // a click while the mode change waits
    });
    streaming.cmdSetToBump_Click(1);
    EXPECT_EQ(sensor->CommandTexts(), (Texts{"S", "e"}));
}

// ---- Random input ----

TEST_F(StreamingSensorsTest, RandomChunksJunkAndFloodsStayBoundedAndRecover) {
    fileLogging = false;
    auto accel = Add(2, DeviceKind::Accelerometer, 5, "1");
    auto distance = Add(3, DeviceKind::Distance, 6, "2");
    link.ConnectSensor(2);
    link.ConnectSensor(3);
    accel->SetStreamInterval(Milliseconds(3600000));
    distance->SetStreamInterval(Milliseconds(3600000));
    const std::string good[] = {"+0.500g -0.250g ", "77cm"};
    const std::shared_ptr<TestSensor> sensors[] = {accel, distance};

    std::mt19937 random(20261208);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto junk = [&](int length) {
        std::string bytes;
        for (int i = 0; i < length; ++i) {
            const int kind = pick(0, 9);
            bytes += kind == 0 ? '\r' : kind == 1 ? char(pick(0, 255)) : char(pick(32, 126));
        }
        return bytes;
    };
    for (int round = 0; round < 400; ++round) {
        const int which = pick(0, 1);
        TestSensor& sensor = *sensors[which];
        switch (pick(0, 4)) {
            case 0:
                sensor.Push(junk(pick(1, 300)));
                break;
            case 1:  // a flood without a line end
                sensor.Push(std::string(std::size_t(pick(300, 3000)), char(pick(33, 126))));
                break;
            case 2: {  // a burst of many short lines
                std::string burst;
                for (int i = pick(50, 200); i > 0; --i) {
                    burst += which == 0 ? "+0.010g +0.020g \r" : "45cm\r";
                }
                sensor.Push(burst);
                break;
            }
            case 3: {  // a good line in random pieces
                const std::string line = "\r" + good[which] + "\r";
                for (std::size_t at = 0; at < line.size();) {
                    const std::size_t piece = std::size_t(pick(1, 5));
                    sensor.Push(line.substr(at, piece));
                    Run(pick(0, 2));
                    at += piece;
                }
                break;
            }
            default:
                sensor.Push(junk(pick(1, 20)) + std::string("\n\0\r", 3));
                break;
        }
        Run(pick(1, 5));
        for (int n : {2, 3}) {
            ASSERT_LE(streaming.PendingBytes(n), LineFramer::kMaxLine);
            ASSERT_EQ(streaming.QueuedLines(n), 0u);
        }
        ASSERT_LE(Log(Tab::Accelerometer, 1).size(), 2001u);
        ASSERT_LE(Log(Tab::Distance, 2).size(), 2002u);
        if (round % 10 == 9) {
            for (int w : {0, 1}) {
                sensors[w]->Push("\r" + good[w] + "\r");
            }
            Run(2);
            ASSERT_EQ(Row(2).reading, good[0]) << "round " << round;
            ASSERT_EQ(Row(3).reading, good[1]) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace vigiltron
