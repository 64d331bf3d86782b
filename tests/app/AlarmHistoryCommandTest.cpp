// Runs the real program's --history as a user would from a shell, on a prepared alarms.csv.
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/ProgramRun.h"
#include "platform/QtSettingsTree.h"

#include <string>

namespace {

using vigiltron::testing_support::RunProgram;
using vigiltron::testing_support::RunResult;

bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

TEST(AlarmHistoryCommandTest, PrintsTheHistoryOfTheLogDirectoryInForceSinceATime) {
    QTemporaryDir dir;
    const QString config = dir.filePath("config");
    // The log directory the user chose, as a run would find it.
    const QString logs = dir.filePath("site logs");
    QDir().mkpath(logs);
    QDir().mkpath(config);
    vigiltron::QtSettingsTree(config + "/Vigiltron Manager.ini")
        .SaveSetting("Program Setup", "logdir", logs.toStdString());
    vigiltron::testing_support::WriteFile(
        dir, "site logs/alarms.csv",
        "time,entry,sensor,kind,event,text,user,comment\r\n"
        "2026-12-01T08:00:00,1,Lab,Humidity,Alarm,Humidity Alert,,\r\n"
        "2026-12-09T14:30:05,3,Server room,Temperature,Alarm,\"Temperature Alert\r(Above "
        "Max)\",,\r\n"
        "2026-12-09T14:35:00,3,Server room,Temperature,Ala\r\n"
        "2026-12-09T14:41:00,3,Server room,Temperature,Acknowledged,,jane,\"Door open, again\"\r\n"
        "2026-12-09T15:02:00,5,Basement,Water,Snoozed,,joe,\r\n");

    const RunResult run =
        RunProgram({"--history", "--since", "2026-12-09T14:30", "--config-dir", config});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_TRUE(Has(run.out,
                    "2026-12-09 14:30:05  3 Server room  Temperature  Alarm  Temperature Alert / "
                    "(Above Max)\n"
                    "2026-12-09 14:41:00  3 Server room  Temperature  Acknowledged  [jane: Door "
                    "open, again]\n"
                    "2026-12-09 15:02:00  5 Basement  Water  Snoozed  [joe]\n"))
        << run.out;
    EXPECT_FALSE(Has(run.out, "Lab")) << run.out;
    EXPECT_TRUE(Has(run.out, "1 damaged line of " + logs.toStdString() + "/alarms.csv skipped"))
        << run.out;

    const RunResult none =
        RunProgram({"--history", "--since", "2027-01-01", "--config-dir", config});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_TRUE(Has(none.out, "No alarms recorded since 2027-01-01 00:00:00")) << none.out;

    const RunResult badTime =
        RunProgram({"--history", "--since", "yesterday", "--config-dir", config});
    EXPECT_EQ(badTime.exitCode, 2);
    EXPECT_TRUE(Has(badTime.err, "--since needs a TIME")) << badTime.err;

    // A history that is there but cannot be read is a failure, not an empty history.
    QFile::remove(logs + "/alarms.csv");
    QDir().mkpath(logs + "/alarms.csv");
    const RunResult unreadable = RunProgram({"--history", "--config-dir", config});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_TRUE(Has(unreadable.out, "Cannot read the alarm history")) << unreadable.out;
}

}  // namespace
