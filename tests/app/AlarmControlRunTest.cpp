// Acknowledging and snoozing from a second process: the real program runs headless in real time
// on a simulated sensor in alarm, and `--ack` / `--snooze` reach it through its control socket.
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/LiveRun.h"
#include "app/ProgramRun.h"

namespace {

using vigiltron::testing_support::LiveRun;
using vigiltron::testing_support::RunProgram;
using vigiltron::testing_support::RunResult;
using vigiltron::testing_support::WriteFile;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

TEST(AlarmControlRunTest, AnAlarmIsAcknowledgedAndSnoozedFromASecondProcess) {
    QTemporaryDir dir;
    // A hot server room and a cool office.
    const QString scenario = WriteFile(dir, "hot.scenario",
                                       "sensor COM1 temperature value=90\n"
                                       "sensor COM2 temperature value=70\n");
    WriteFile(dir, "Vigiltron Manager.ini",
              "[Program%20Setup]\nTotalDevices=2\nAutoConnect=1\nReadingInterval=1\n"
              "TempMax=80\nTempMin=40\nForC=F\nchkOnScreenAlert1=1\n"
              "[PortConfig]\n"
              "Devices\\1\\DeviceType=Vigiltron/T (Temperature)\nDevices\\1\\DeviceName=Server "
              "room\nDevices\\1\\Port=1\nDevices\\1\\SubIndex=1\n"
              "Devices\\2\\DeviceType=Vigiltron/T (Temperature)\nDevices\\2\\DeviceName=Office\n"
              "Devices\\2\\Port=2\nDevices\\2\\SubIndex=2\n");
    const QStringList where = {"--config-dir", dir.path()};

    // Nobody runs on this configuration yet.
    const RunResult early = RunProgram(QStringList{"--snooze", "1", "1h"} + where);
    EXPECT_EQ(early.exitCode, 2) << early.out << early.err;
    EXPECT_TRUE(Has(early.out, "No running Vigiltron Manager for " + dir.path().toStdString()))
        << early.out;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("USER", "jane");
    LiveRun live(QStringList{"--headless", "--simulate", scenario} + where, environment);
    ASSERT_TRUE(live.WaitFor("alarm: ")) << live.Output();
    const QString socket = dir.filePath("control.sock");
    EXPECT_TRUE(QFile::exists(socket));

    const RunResult ack = RunProgram(QStringList{"--ack", "1", "fan replaced"} + where);
    EXPECT_EQ(ack.exitCode, 0) << ack.out << ack.err;
    EXPECT_TRUE(Has(ack.out, "Server room")) << ack.out;
    ASSERT_TRUE(live.WaitFor("fan replaced")) << live.Output();
    // A sensor that is not in alarm has nothing to acknowledge, and a setup index without a
    // sensor cannot be snoozed: refused, with the reason.
    const RunResult calm = RunProgram(QStringList{"--ack", "2", "just looking"} + where);
    EXPECT_EQ(calm.exitCode, 1) << calm.out << calm.err;
    EXPECT_TRUE(Has(calm.out, "Nothing to acknowledge for 2 Office")) << calm.out;
    const RunResult empty = RunProgram(QStringList{"--snooze", "7", "15m"} + where);
    EXPECT_EQ(empty.exitCode, 1) << empty.out << empty.err;
    EXPECT_TRUE(Has(empty.out, "No sensor at setup index 7")) << empty.out;

    const RunResult snooze = RunProgram(QStringList{"--snooze", "1", "15m"} + where);
    EXPECT_EQ(snooze.exitCode, 0) << snooze.out << snooze.err;
    EXPECT_TRUE(Has(snooze.out, "Server room")) << snooze.out;
    ASSERT_TRUE(live.Terminate()) << live.Output();

    // The acknowledgement with its user and comment, and the snooze, are in the alarm history.
    const std::string history = ReadAll(dir.filePath("logfiles/alarms.csv"));
    EXPECT_TRUE(Has(history, ",Acknowledged,")) << history;
    EXPECT_TRUE(Has(history, ",jane,fan replaced")) << history;
    EXPECT_FALSE(Has(history, "just looking")) << history;
    EXPECT_TRUE(Has(history, ",Snoozed,")) << history;
    // The socket went with the program.
    EXPECT_FALSE(QFile::exists(socket));
    EXPECT_EQ(RunProgram(QStringList{"--ack", "1"} + where).exitCode, 2);
}

}  // namespace
