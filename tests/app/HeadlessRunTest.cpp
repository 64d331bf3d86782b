// Runs the real program headless, as a user or a service would, and reads its journal.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

RunResult RunProgram(const QStringList& args, int timeoutMs = 60000) {
    QProcess process;
    process.start(VIGILTRON_BINARY, args);
    RunResult run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = "timed out";
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

TEST(HeadlessRunTest, HelpAndVersion) {
    const RunResult help = RunProgram({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--simulate FILE"), std::string::npos);
    EXPECT_NE(help.out.find("/regclean"), std::string::npos);
    const RunResult version = RunProgram({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("vigiltron-manager ", 0), 0u);
}

TEST(HeadlessRunTest, DemoReadsEverySensorAtTheConfiguredInterval) {
    const RunResult run = RunProgram({"--headless", "--demo", "--virtual-time", "3600"});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    // One reading a minute for an hour, plus the first one at connection.
    EXPECT_GE(Count(run.out, "reading: 1 Server room "), 60);
    EXPECT_GE(Count(run.out, "reading: 2 Archive "), 60);
    EXPECT_GE(Count(run.out, "reading: 3 Laboratory humidity "), 60);
    EXPECT_NE(run.out.find("/ 4 temperature "), std::string::npos);
    EXPECT_NE(run.out.find("connect: 1 Server room connected on COM1"), std::string::npos);
    EXPECT_NE(run.out.find("shut down"), std::string::npos);
}

TEST(HeadlessRunTest, SilentSensorIsDisconnected) {
    QTemporaryDir dir;
    const QString scenario = WriteFile(dir, "silent.scenario",
                                       "sensor COM1 temperature value=70\n"
                                       "at 150s COM1 silent\n");
    WriteFile(dir, "Vigiltron Manager.ini",
              "[Program%20Setup]\nTotalDevices=1\nAutoConnect=1\nReadingInterval=1\n"
              "[PortConfig]\n"
              "Devices\\1\\DeviceType=Vigiltron/T (Temperature)\nDevices\\1\\DeviceName=Probe\n"
              "Devices\\1\\Port=1\nDevices\\1\\SubIndex=1\n");
    const RunResult run = RunProgram({"--headless", "--simulate", scenario, "--virtual-time", "600",
                                      "--config-dir", dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_NE(run.out.find("reading: 1 Probe 70 F"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("message: Sensor not responding after 10 tries.  Disconnecting sensor."),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("connect: 1 Probe disconnected"), std::string::npos);
}

TEST(HeadlessRunTest, AScenarioWithAMistakeIsRefusedBeforeAnythingStarts) {
    QTemporaryDir dir;
    const QString scenario = WriteFile(dir, "bad.scenario",
                                       "sensor COM1 temperature value=70\n"
                                       "at 10m COM9 value=80\n");
    const RunResult run = RunProgram(
        {"--headless", "--simulate", scenario, "--virtual-time", "60", "--config-dir", dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("bad.scenario:2:"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("connect:"), std::string::npos);
}

TEST(HeadlessRunTest, FirstRunAsksToDetectDevicesAndKeepsFilesInTheConfigDir) {
    QTemporaryDir dir;
    const RunResult run =
        RunProgram({"--headless", "--virtual-time", "5", "--config-dir", dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("question: Would you like to auto detect and set up your devices now?"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(QDir(dir.filePath("logfiles")).exists());
    EXPECT_TRUE(QDir(dir.filePath("capturefiles")).exists());
}

}  // namespace
