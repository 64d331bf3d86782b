#include "reporting/AlarmHistory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "reporting/StdLogFileSystem.h"
#include "sim/ScriptedDialogs.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;

fs::path FreshDirectory() {
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() /
                         ("vigiltron-alarms-" + std::to_string(random()) + "-" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

LocalDateTime At(int day, int hour, int minute, int second = 0) {
    return LocalDateTime{2026, 12, day, hour, minute, second, 0};
}

class FixedClock : public Clock {
public:
    LocalDateTime now = At(9, 14, 30);
    LocalDateTime Now() const override { return now; }
    std::string ShortDate(const LocalDateTime& when) const override { return UsShortDate(when); }
    std::string LongTime(const LocalDateTime& when) const override { return UsLongTime(when); }
};

// The real file system, except that files cannot be opened while `failure` is set.
class FailingFiles : public StdLogFileSystem {
public:
    std::string failure;
    Opened Open(const std::string& path, OpenMode mode) override {
        if (failure.empty()) {
            return StdLogFileSystem::Open(path, mode);
        }
        Opened refused;
        refused.error = failure;
        return refused;
    }
};

// Scripted dialogs with a save-file chooser.
class SavingDialogs : public ScriptedDialogs {
public:
    std::vector<std::optional<std::string>> saveAnswers;
    std::vector<std::string> suggestions;
    std::optional<std::string> ChooseSaveFile(const std::string&, const std::string&,
                                              const std::string& suggested) override {
        suggestions.push_back(suggested);
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = saveAnswers.front();
        saveAnswers.erase(saveAnswers.begin());
        return answer;
    }
};

class AlarmHistoryTest : public ::testing::Test {
protected:
    AlarmHistoryTest() : dir(FreshDirectory()), logDirectory(dir.string()) {}
    ~AlarmHistoryTest() override { fs::remove_all(dir); }

    std::unique_ptr<AlarmHistory> MakeHistory(LogFileSystem* files = nullptr) {
        return std::make_unique<AlarmHistory>(
            AlarmHistory::Services{clock, dialogs, [this] { return logDirectory; }, files});
    }

    fs::path File() const { return fs::path(logDirectory) / "alarms.csv"; }

    fs::path dir;
    std::string logDirectory;
    FixedClock clock;
    SavingDialogs dialogs;
};

AlarmRecord Record(LocalDateTime time, int entry, std::string sensor, std::string kind,
                   AlarmEvent event, std::string text = "", std::string user = "",
                   std::string comment = "") {
    return AlarmRecord{time,  entry,           std::move(sensor), std::move(kind),
                       event, std::move(text), std::move(user),   std::move(comment)};
}

TEST_F(AlarmHistoryTest, RecordsSurviveARestartAndAwkwardTextsComeBackWhole) {
    const AlarmRecord alarm = Record(At(9, 14, 30, 5), 3, "Server room", "Temperature",
                                     AlarmEvent::Alarm, "Temperature Alert\r(Above Max)");
    const AlarmRecord ack =
        Record(At(9, 14, 41), 3, "Server room, rack \"B\"", "Temperature", AlarmEvent::Acknowledged,
               "", "jane", "Door left open, \"again\".\r\nClosed it.\n");
    EXPECT_EQ(MakeHistory()->Append(alarm), "");
    // A second object on the same directory stands for the program started again.
    auto restarted = MakeHistory();
    EXPECT_EQ(restarted->Append(ack), "");
    EXPECT_EQ(restarted->AppendCount(), 1u);

    EXPECT_EQ(Contents(File()),
              "time,entry,sensor,kind,event,text,user,comment\r\n"
              "2026-12-09T14:30:05,3,Server room,Temperature,Alarm,\"Temperature Alert\r(Above "
              "Max)\",,\r\n"
              "2026-12-09T14:41:00,3,\"Server room, rack \"\"B\"\"\",Temperature,Acknowledged,,"
              "jane,\"Door left open, \"\"again\"\".\r\nClosed it.\n\"\r\n");

    const AlarmHistoryRead read = MakeHistory()->Read();
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.damagedLines, 0u);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0], alarm);
    EXPECT_EQ(read.records[1], ack);

    // Read as a person does: one line per record.
    EXPECT_EQ(ReadableAlarmLine(read.records[1]),
              "2026-12-09 14:41:00  3 Server room, rack \"B\"  Temperature  Acknowledged  "
              "[jane: Door left open, \"again\". / Closed it.]");
}

TEST_F(AlarmHistoryTest, DamagedLinesAreSkippedAndCountedAndNeverSwallowANewRecord) {
    EXPECT_EQ(MakeHistory()->Read().records.size(), 0u) << "a missing file is an empty history";
    EXPECT_EQ(MakeHistory()->Read().error, "");

    Write(File(),
          "time,entry,sensor,kind,event,text,user,comment\r\n"
          "2026-12-01T08:00:00,1,Lab,Humidity,Alarm,,,\r\n"
          "2026-12-01T08:05:00,1,Lab,Humidity,OK,\"stray quote,,\r\n"  // never closed
          "2026-12-01T25:00:00,1,Lab,Humidity,OK,,,\r\n"               // no such hour
          "2026-12-01T09:00:00,1,Lab,Humidity,Exploded,,,\r\n"         // no such event
          "2026-12-01T09:10:00,1,Lab\r\n"                              // too few fields
          "\r\n"
          "2026-12-02T10:00:00,2,Basement,Water,OK,,,\r\n"
          "2026-12-02T10:30:00,2,Basement,Wat");  // cut short by a crash
    auto history = MakeHistory();
    const AlarmRecord next = Record(At(3, 7, 0), 2, "Basement", "Water", AlarmEvent::Alarm, "Wet");
    EXPECT_EQ(history->Append(next), "");

    const AlarmHistoryRead read = history->Read();
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[0].sensor, "Lab");
    EXPECT_EQ(read.records[0].event, AlarmEvent::Alarm);
    EXPECT_EQ(read.records[1].time, At(2, 10, 0));
    EXPECT_EQ(read.records[1].event, AlarmEvent::Ok);
    EXPECT_EQ(read.records[2], next);
    EXPECT_EQ(read.damagedLines, 5u);
    // The header is not written again into a file that has one.
    EXPECT_EQ(Contents(File()).find("time,entry", 1), std::string::npos);
}

TEST_F(AlarmHistoryTest, FiltersBySensorKindEventAndPeriod) {
    auto history = MakeHistory();
    for (const AlarmRecord& r :
         {Record(At(1, 12, 0), 3, "Server room", "Temperature", AlarmEvent::Alarm),
          Record(At(8, 14, 30), 3, "Server room", "Temperature", AlarmEvent::Ok),
          Record(At(8, 15, 0), 5, "Basement", "Water", AlarmEvent::Alarm),
          Record(At(9, 9, 0), 5, "Basement", "Water", AlarmEvent::Snoozed, "", "joe"),
          Record(At(9, 10, 0), 3, "Server room", "Temperature", AlarmEvent::Escalated)}) {
        ASSERT_EQ(history->Append(r), "");
    }
    auto times = [&](const AlarmHistoryFilter& filter) {
        std::vector<int> hours;
        for (const AlarmRecord& r : history->Read(filter).records) {
            hours.push_back(r.time.day * 100 + r.time.hour);
        }
        return hours;
    };
    AlarmHistoryFilter water;
    water.kind = "Water";
    EXPECT_EQ(times(water), (std::vector<int>{815, 909}));
    AlarmHistoryFilter serverRoom;
    serverRoom.entry = 3;
    serverRoom.sensor = "Server room";
    EXPECT_EQ(times(serverRoom), (std::vector<int>{112, 814, 910}));
    AlarmHistoryFilter alarms;
    alarms.event = AlarmEvent::Alarm;
    EXPECT_EQ(times(alarms), (std::vector<int>{112, 815}));
    // The last 24 hours before 9 December 14:30 start exactly at 8 December 14:30.
    AlarmHistoryFilter lastDay;
    lastDay.lastHours = 24;
    EXPECT_EQ(times(lastDay), (std::vector<int>{814, 815, 909, 910}));
    AlarmHistoryFilter span;
    span.since = At(8, 0, 0);
    span.until = At(9, 9, 0);
    EXPECT_EQ(times(span), (std::vector<int>{814, 815, 909}));
    AlarmHistoryFilter lastWeek;
    lastWeek.kind = "Temperature";
    lastWeek.lastHours = 7 * 24;
    EXPECT_EQ(times(lastWeek), (std::vector<int>{814, 910}));

    // The TIMEs of --since.
    EXPECT_EQ(ParseHistoryTime("2026-12-09", clock.now), At(9, 0, 0));
    EXPECT_EQ(ParseHistoryTime("2026-12-09T14:30", clock.now), At(9, 14, 30));
    EXPECT_EQ(ParseHistoryTime("24h", clock.now), At(8, 14, 30));
    EXPECT_EQ(ParseHistoryTime("7d", clock.now), At(2, 14, 30));
    for (const char* bad : {"2026-02-30", "2026-12-09T24:00", "7w", "h", "-3d", "2026-12-9"}) {
        EXPECT_FALSE(ParseHistoryTime(bad, clock.now)) << bad;
    }
}

TEST_F(AlarmHistoryTest, AFileThatCannotBeWrittenIsReportedAndTheNextLineStartsClean) {
    const AlarmRecord alarm = Record(At(9, 14, 30), 1, "Lab", "Humidity", AlarmEvent::Alarm);

    logDirectory = (dir / "unplugged").string();
    EXPECT_NE(MakeHistory()->Append(alarm).find("does not exist"), std::string::npos);
    EXPECT_FALSE(fs::exists(logDirectory)) << "the log directory is not made behind the user";

    logDirectory = dir.string();
    FailingFiles files;
    files.failure = "Read-only file system";
    auto history = MakeHistory(&files);
    const std::string error = history->Append(alarm);
    EXPECT_NE(error.find("Read-only file system"), std::string::npos) << error;
    EXPECT_EQ(history->AppendCount(), 0u);

    // The medium comes back: the header and the line are written as for a new file.
    files.failure.clear();
    EXPECT_EQ(history->Append(alarm), "");
    EXPECT_EQ(history->AppendCount(), 1u);
    EXPECT_EQ(Contents(File()),
              "time,entry,sensor,kind,event,text,user,comment\r\n"
              "2026-12-09T14:30:00,1,Lab,Humidity,Alarm,,,\r\n");

    // A history that is there but cannot be read says so instead of looking empty.
    fs::remove(File());
    fs::create_directory(File());
    EXPECT_NE(history->Append(alarm), "");
    EXPECT_NE(history->Read().error, "");
}

TEST_F(AlarmHistoryTest, ExportWritesNewFilesAndReplacesOnlyWhenTold) {
    auto history = MakeHistory();
    const std::vector<AlarmRecord> records = {
        Record(At(9, 14, 30), 3, "Server room", "Temperature", AlarmEvent::Alarm, "Hot, very")};
    ASSERT_EQ(history->Append(records[0]), "");
    const std::string exported =
        "time,entry,sensor,kind,event,text,user,comment\r\n"
        "2026-12-09T14:30:00,3,Server room,Temperature,Alarm,\"Hot, very\",,\r\n";

    const fs::path target = dir / "export.csv";
    EXPECT_EQ(history->ExportCsv(records, target.string()), "");
    EXPECT_EQ(Contents(target), exported);
    Write(target, "keep me");
    EXPECT_NE(history->ExportCsv(records, target.string()), "");
    EXPECT_EQ(Contents(target), "keep me");
    EXPECT_EQ(history->ExportCsv(records, target.string(), true), "");
    EXPECT_EQ(Contents(target), exported);
    // Exporting a filtered view over the history itself would throw records away.
    EXPECT_NE(history->ExportCsv({}, File().string(), true), "");
    EXPECT_EQ(history->Read().records.size(), 1u);

    // "Export...": the user is asked before a file is replaced; "No" leaves it alone.
    Write(target, "keep me");
    dialogs.saveAnswers = {target.string(), target.string()};
    dialogs.QueueYesNo(false);
    dialogs.QueueYesNo(true);
    history->Export(records);
    EXPECT_EQ(Contents(target), "keep me");
    history->Export(records);
    EXPECT_EQ(Contents(target), exported);
    EXPECT_EQ(dialogs.suggestions.front(), "alarm-history-2026-12-09.csv");
    EXPECT_TRUE(dialogs.Saw("1 record exported to " + target.string()));
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace vigiltron
