#include "reporting/LogHistory.h"

#include <gtest/gtest.h>

#include "support/PlaceDevice.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ReadingValue.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"
#include "reporting/StdLogFileSystem.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;

constexpr Milliseconds kMinute{60'000};
constexpr long long kHourMs = 3'600'000;

fs::path FreshDirectory() {
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() /
                         ("vigiltron-history-" + std::to_string(random()) + "-" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

Reading Polled(const std::string& text, int n, DeviceKind kind) {
    Reading reading;
    reading.setupIndex = n;
    reading.kind = kind;
    reading.text = text;
    return reading;
}

// A time on the 24-hour clock, so that a wrong AM/PM shows.
std::string At(const LocalDateTime& when) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d/%d %02d:%02d:%02d", when.month, when.day, when.year,
                  when.hour, when.minute, when.second);
    return text;
}

std::string Render(const HistoryPoint& point) {
    switch (point.kind) {
        case HistoryPoint::Kind::Reading:
            return At(point.when) + " = " + PlainDecimal(point.value) +
                   (point.secondAxis ? " " + PlainDecimal(*point.secondAxis) : "");
        case HistoryPoint::Kind::Event:
            return At(point.when) + (point.on ? " on " : " off ") + point.text;
        case HistoryPoint::Kind::Note:
            return At(point.when) + " | " + point.text;
    }
    return "?";
}

std::vector<std::string> Rendered(const History& history) {
    std::vector<std::string> lines;
    for (const HistoryPoint& point : history.points) {
        lines.push_back(Render(point));
    }
    return lines;
}

class LogHistoryTest : public ::testing::Test {
protected:
    LogHistoryTest() { prefs.logdir = dir.string(); }
    ~LogHistoryTest() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    void AddEntry(int n, const char* type, const std::string& subIndex, const std::string& name) {
        DeviceRecord record;
        record.deviceType = type;
        record.deviceName = name;
        record.port = n + 2;
        record.subIndex = subIndex;
        record.fileLogging = true;
        record.tabLogging = false;
        PlaceDevice(model, n, record);
    }

    History Read(const std::string& name, const std::string& suffix,
                 HistoryRange range = HistoryRange::All) {
        return LogHistory(files).Read(dir.string(), name, suffix, range, clock.Now());
    }

    fs::path dir = FreshDirectory();
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 11, 20, 0, 0}};
    ScriptedDialogs dialogs;
    MemorySettingsTree tree;
    DeviceModel model{dialogs, tree};
    ViewModel view;
    Preferences prefs;
    StdLogFileSystem files;
    LogFiles logs{LogFiles::Services{loop, clock, dialogs, model, view, tree, prefs}};
};

TEST_F(LogHistoryTest, ReadsEveryFileOfTheSensorInOrderAndCountsWhatItCannotRead) {
    prefs.MaxFileSize = "1";  // a file of about 35 readings, so the history spans many files
    AddEntry(1, kTypeTemperature, "1", "Server room");
    // Files the reader must leave alone: a combined sensor of the same name (its halves have
    // their own suffixes) and another sensor whose files have the same kind of name.
    AddEntry(2, kTypeComboHumidity, "23", "Server room");
    AddEntry(4, kTypeHumidity, "1", "Cellar");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(2, "Server room", "_Humid"), "");
    ASSERT_EQ(logs.OpenFirstFile(3, "Server room", "_Temp"), "");
    ASSERT_EQ(logs.OpenFirstFile(4, "Cellar", ""), "");
    bool portOpen = true;
    logs.portOpen = [&](int n) { return n != 1 || portOpen; };

    std::vector<std::string> expected;
    std::vector<std::string> expectedTemp;
    std::vector<std::string> sensorFiles{logs.CurrentFile(1)};
    const auto noteFile = [&] {
        if (logs.CurrentFile(1) != sensorFiles.back()) {
            sensorFiles.push_back(logs.CurrentFile(1));
        }
    };
    // From 11:20 AM to 1:49 PM: across noon, so file names (12-hour stamps without AM/PM) sort
    // otherwise than the files were started.
    for (int i = 0; i < 150; ++i) {
        if (i == 40) {
            portOpen = false;
            logs.NoteConnection(1, "Sensor disconnected: port lost");
            expected.push_back(At(clock.Now()) + " | Sensor disconnected: port lost");
        }
        if (i == 45) {
            portOpen = true;
            ASSERT_EQ(logs.OpenFirstFile(1, "Server room", "", /*continued=*/true), "");
            logs.NoteConnection(1, "Sensor connected again");
            expected.push_back(At(clock.Now()) + " | Sensor connected again");
            noteFile();
        }
        const std::string reading = std::to_string(60 + i) + ".5";
        logs.FileTabLogging(Polled(reading, 1, DeviceKind::Temperature));
        if (portOpen) {
            expected.push_back(At(clock.Now()) + " = " + reading);
        }
        noteFile();
        logs.FileTabLogging(Polled("45", 2, DeviceKind::Humidity));
        logs.FileTabLogging(Polled(std::to_string(i), 3, DeviceKind::Temperature));
        expectedTemp.push_back(At(clock.Now()) + " = " + std::to_string(i));
        logs.FileTabLogging(Polled("99", 4, DeviceKind::Humidity));
        loop.RunFor(kMinute);
    }
    // Several files started within one second get "-2", "-3": they follow the first one.
    prefs.MaxFileSize = "0";
    for (const char* reading : {"1.5", "2.5", "3.5", "4.5", "5.5", "6.5"}) {
        logs.FileTabLogging(Polled(reading, 1, DeviceKind::Temperature));
        expected.push_back(At(clock.Now()) + " = " + reading);
        noteFile();
    }
    // The last rotation started a file that holds only its header: it is read all the same.
    ASSERT_GE(sensorFiles.size(), 8u);
    EXPECT_TRUE(dialogs.Messages().empty());

    // Lines this program does not write, at the end of the first file (the middle of the
    // history), and files that are not the sensor's although they look like it.
    {
        std::ofstream first(sensorFiles.front(), std::ios::binary | std::ios::app);
        first << "garbage\r\n"
              << "07.12.2026,11:21:00, 61.5\r\n"     // another locale's date and time
              << "12/7/2026,11:61:00 AM, 61.5\r\n"   // no such minute
              << "2/30/2026,11:21:00 AM, 61.5\r\n";  // no such day
        std::ofstream(dir / "notes.txt") << "Server room\r\nLog file started: x\r\n\r\n";
        fs::create_directories(dir / "old");
        fs::copy_file(sensorFiles[1], dir / "old" / fs::path(sensorFiles[1]).filename());
        std::ofstream(dir / "12072026_112000 - Copy.txt") << "Server room\r\n";
    }

    const History history = Read("Server room", "");
    EXPECT_EQ(history.files, sensorFiles);
    EXPECT_EQ(Rendered(history), expected);
    EXPECT_EQ(history.skippedLines, 4u);
    EXPECT_EQ(history.error, "");

    const History temp = Read("Server room", "_Temp");
    EXPECT_EQ(Rendered(temp), expectedTemp);
    EXPECT_EQ(temp.skippedLines, 0u);
    EXPECT_EQ(Read("Nobody", "").files.size(), 0u);
}

TEST_F(LogHistoryTest, RangesCountBackFromNow) {
    // Hourly readings for nine days from 27 November: every hour of the clock, across a month.
    const LocalDateTime start{2026, 11, 27, 0, 0, 0, 0};
    VirtualClock november{loop, start};
    LogFiles novemberLogs{LogFiles::Services{loop, november, dialogs, model, view, tree, prefs}};
    AddEntry(1, kTypeHumidity, "1", "Cellar");
    ASSERT_EQ(novemberLogs.OpenFirstFile(1, "Cellar", ""), "");
    constexpr int kReadings = 9 * 24 + 1;
    for (int i = 0; i < kReadings; ++i) {
        if (i > 0) {
            loop.RunFor(Milliseconds(kHourMs));
        }
        novemberLogs.FileTabLogging(Polled(std::to_string(i), 1, DeviceKind::Humidity));
    }
    const LocalDateTime last = november.Now();
    const auto values = [&](HistoryRange range, const LocalDateTime& now) {
        std::vector<int> read;
        const History history = LogHistory(files).Read(dir.string(), "Cellar", "", range, now);
        for (const HistoryPoint& point : history.points) {
            read.push_back(int(point.value));
            if (read.back() >= 0 && read.back() < kReadings) {
                EXPECT_EQ(point.when, AddMilliseconds(start, read.back() * kHourMs));
            }
        }
        return read;
    };
    const auto span = [](int first, int last) {
        std::vector<int> all;
        for (int i = first; i <= last; ++i) {
            all.push_back(i);
        }
        return all;
    };

    // Both ends are included.
    EXPECT_EQ(values(HistoryRange::LastHour, last), span(215, 216));
    EXPECT_EQ(values(HistoryRange::Last24Hours, last), span(192, 216));
    EXPECT_EQ(values(HistoryRange::Last7Days, last), span(48, 216));
    EXPECT_EQ(values(HistoryRange::All, last), span(0, 216));
    // Half an hour later the oldest of those two readings is out of the last hour.
    EXPECT_EQ(values(HistoryRange::LastHour, AddMilliseconds(last, kHourMs / 2)), span(216, 216));
    // A "now" in the past leaves out what came after it, except for All.
    const LocalDateTime earlier = AddMilliseconds(start, 100 * kHourMs);
    EXPECT_EQ(values(HistoryRange::Last24Hours, earlier), span(76, 100));
    EXPECT_EQ(values(HistoryRange::All, earlier).size(), std::size_t(kReadings));
}

TEST_F(LogHistoryTest, EventAndStreamSensorsReadAsOnOffNotesAndAxes) {
    AddEntry(1, kTypeWater, "1", "Basement");
    AddEntry(2, kTypeProximity, "1", "Door");
    AddEntry(3, kTypeDistance, "1", "Hall");
    AddEntry(4, kTypeAccelerometer, "1", "Rack");
    ASSERT_EQ(logs.OpenFirstFile(1, "Basement", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(2, "Door", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(3, "Hall", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(4, "Rack", ""), "");

    // Close to noon: 11:59:59 AM, 12:00:xx PM.
    loop.RunFor(Milliseconds((39 * 60 + 59) * 1000));
    logs.WriteEventLine(1, DeviceKind::Water, WaterFileLine(clock, true));
    logs.WriteEventLine(2, DeviceKind::Proximity, ProximityFileLine(clock, true));
    // In proximity mode the date and time run together: "12/7/202611:59:59 AM".
    logs.WriteEventLine(3, DeviceKind::Distance, DistanceProximityFileLine(clock, true));
    logs.WriteEventLine(4, DeviceKind::Accelerometer, ReceivedFileLine(clock, "+0.12g -0.40g"));
    loop.RunFor(Milliseconds(1000));
    logs.WriteEventLine(1, DeviceKind::Water, WaterFileLine(clock, false));
    logs.WriteEventLine(2, DeviceKind::Proximity, ProximityFileLine(clock, false));
    logs.WriteEventLine(3, DeviceKind::Distance, DistanceProximityFileLine(clock, false));
    logs.WriteEventLine(3, DeviceKind::Distance, ReceivedFileLine(clock, "25cm"));
    logs.WriteEventLine(3, DeviceKind::Distance, ReceivedFileLine(clock, "No Object"));
    logs.WriteEventLine(4, DeviceKind::Accelerometer, BumpFileLine(clock));
    loop.RunFor(Milliseconds(70'000));
    logs.WriteEventLine(1, DeviceKind::Water, WaterFileLine(clock, true));
    logs.WriteEventLine(4, DeviceKind::Accelerometer, ReceivedFileLine(clock, "-1 OK"));
    EXPECT_TRUE(dialogs.Messages().empty());

    const History water = Read("Basement", "");
    EXPECT_EQ(Rendered(water), (std::vector<std::string>{"12/7/2026 11:59:59 on * WET *",
                                                         "12/7/2026 12:00:00 off DRY",
                                                         "12/7/2026 12:01:10 on * WET *"}));
    EXPECT_EQ(water.skippedLines, 0u);
    EXPECT_EQ(Rendered(Read("Door", "")),
              (std::vector<std::string>{"12/7/2026 11:59:59 on Event - On",
                                        "12/7/2026 12:00:00 off Event - Off"}));
    EXPECT_EQ(Rendered(Read("Hall", "")),
              (std::vector<std::string>{
                  "12/7/2026 11:59:59 on Event - On", "12/7/2026 12:00:00 off Event - Off",
                  "12/7/2026 12:00:00 = 25", "12/7/2026 12:00:00 | No Object"}));
    EXPECT_EQ(Rendered(Read("Rack", "")),
              (std::vector<std::string>{"12/7/2026 11:59:59 = 0.12 -0.4",
                                        "12/7/2026 12:00:00 on BUMP", "12/7/2026 12:01:10 = -1"}));
}

}  // namespace
}  // namespace vigiltron
