// Runs the real program as a user or a service would (headless, and once in an offscreen window)
// and reads what it prints.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/LiveRun.h"
#include "app/ProgramRun.h"

#include <algorithm>
#include <string>

namespace {

using vigiltron::testing_support::LiveRun;
using vigiltron::testing_support::RunProgram;
using vigiltron::testing_support::RunResult;
using vigiltron::testing_support::WriteFile;

// The text between `begin` and the next `end`; empty when `begin` is missing.
std::string Between(const std::string& text, const std::string& begin, const std::string& end) {
    const auto at = text.find(begin);
    if (at == std::string::npos) {
        return {};
    }
    const auto from = at + begin.size();
    return text.substr(from, text.find(end, from) - from);
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
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
    EXPECT_GE(Count(run.out, "reading: 4 Laboratory temperature "), 60);
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

TEST(HeadlessRunTest, AHeadlessRunLoadsNoWindowingOrSoundLibraries) {
    if (!QFile::exists("/proc/self/maps")) {
        GTEST_SKIP() << "reads the libraries of a running process from /proc";
    }
    QTemporaryDir dir;
    const QString scenario = WriteFile(dir, "one.scenario", "sensor COM1 temperature value=70\n");
    WriteFile(dir, "Vigiltron Manager.ini",
              "[Program%20Setup]\nTotalDevices=1\nAutoConnect=1\nReadingInterval=1\n"
              "[PortConfig]\n"
              "Devices\\1\\DeviceType=Vigiltron/T (Temperature)\nDevices\\1\\DeviceName=Probe\n"
              "Devices\\1\\Port=1\nDevices\\1\\SubIndex=1\n");
    LiveRun live({"--headless", "--simulate", scenario, "--config-dir", dir.path()});
    ASSERT_TRUE(live.WaitFor("reading: 1 Probe 70 F")) << live.Output();
    QFile maps(QString("/proc/%1/maps").arg(live.Pid()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const std::string mapped = maps.readAll().toStdString();
    EXPECT_NE(mapped.find("/libQt6Core.so"), std::string::npos) << mapped;
    // (Qt D-Bus does come with the keyring library: a headless run reads its passwords there.)
    for (const char* library :
         {"/libQt6Widgets.so", "/libQt6Gui.so", "/libQt6Multimedia.so", "/vigiltron-desktop"}) {
        EXPECT_EQ(mapped.find(library), std::string::npos) << library;
    }
    EXPECT_TRUE(live.Terminate()) << live.Output();
}

TEST(HeadlessRunTest, TheDemoRemovesItsTemporaryFolderUnlessGivenAConfigDir) {
    const QString temporary = QDir::tempPath() + "/vigiltron-demo-";
    // To the end of its virtual time.
    const RunResult run = RunProgram({"--headless", "--demo", "--virtual-time", "60"});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const QString folder = QString::fromStdString(Between(run.out, "files in ", "\n"));
    EXPECT_TRUE(folder.startsWith(temporary)) << run.out;
    EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();

    // Stopped by a service stop, in a window: the folder is there while the demo runs, the run
    // says where on stderr, and the folder is gone once the run has ended.
    {
        LiveRun live({"--demo"}, LiveRun::Offscreen());
        const std::string said = "demo files in ";
        const std::string until = " (removed at exit; --config-dir DIR keeps them)";
        ASSERT_TRUE(live.WaitFor(said, until)) << live.Output();
        const QString running = QString::fromStdString(Between(live.Output(), said, until));
        EXPECT_TRUE(running.startsWith(temporary)) << live.Output();
        EXPECT_TRUE(QDir(running).exists()) << running.toStdString();
        EXPECT_TRUE(live.Terminate()) << live.Output();
        EXPECT_FALSE(QFileInfo::exists(running)) << running.toStdString();
    }

    // A configuration folder keeps everything, the logs included.
    QTemporaryDir dir;
    const RunResult kept =
        RunProgram({"--headless", "--demo", "--virtual-time", "60", "--config-dir", dir.path()});
    ASSERT_EQ(kept.exitCode, 0) << kept.err << kept.out;
    EXPECT_EQ(Between(kept.out, "files in ", "\n"), dir.path().toStdString()) << kept.out;
    EXPECT_FALSE(QDir(dir.filePath("logfiles")).entryList(QDir::Files).isEmpty());
}

// A sensor on a real serial path whose far end goes away (here: the pseudo-terminal sensor is
// stopped) is reported lost within a second and connected again when it comes back on the same
// path, with its log continued in a new file.
TEST(HeadlessRun, SensorOnARealSerialPathIsLostAndBroughtBack) {
    QTemporaryDir dir;
    const QString link = dir.filePath("com3");
    QFile settings(dir.filePath("Vigiltron Manager.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(QString("[Port%20Map]\nCOM3=" + link +
                           "\n\n[Program%20Setup]\nTotalDevices=1\nAutoConnect=1\n"
                           "ReadingInterval=1\nMinOrSecs=Min\nchkOnScreenAlert1=1\n\n"
                           "[PortConfig]\nDevices\\1\\DeviceType=Vigiltron/T (Temperature)\n"
                           "Devices\\1\\DeviceName=Rack\nDevices\\1\\Port=3\n"
                           "Devices\\1\\SubIndex=1\nDevices\\1\\TabLogging=1\n"
                           "Devices\\1\\FileLogging=1\n")
                       .toUtf8());
    settings.close();

    auto startSensor = [&](QProcess& sensor, const char* value) {
        sensor.start(VIGILTRON_SIM_BINARY, {"temperature", value, "--link", link});
        return sensor.waitForReadyRead(10000);  // it prints its device once it serves
    };
    QProcess first;
    ASSERT_TRUE(startSensor(first, "value=70"));
    LiveRun run({"--headless", "--config-dir", dir.path()});
    ASSERT_TRUE(run.WaitFor("connect: 1 Rack connected on COM3", "reading: 1 Rack 70 F", 15000))
        << run.Output();

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_TRUE(
        run.WaitFor("connect: 1 Rack disconnected: port lost (COM3)", "status: 1 Rack LOST", 3000))
        << run.Output();
    EXPECT_TRUE(run.WaitFor("alarm: Sensor Rack on COM3 is no longer connected", "", 1000))
        << run.Output();

    QProcess second;
    ASSERT_TRUE(startSensor(second, "value=71"));
    EXPECT_TRUE(
        run.WaitFor("reading: 1 Rack 71 F", "connect: 1 Rack connected again on COM3", 15000))
        << run.Output();
    EXPECT_TRUE(run.Terminate()) << run.Output();
    second.terminate();
    second.waitForFinished(10000);

    int continued = 0;
    for (const QString& name : QDir(dir.filePath("logfiles")).entryList(QDir::Files)) {
        if (name == "alarms.csv") {
            continue;  // the alarm history, not a sensor's log
        }
        QFile file(dir.filePath("logfiles/" + name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        if (text.startsWith("Rack (Continued)\r\n")) {
            ++continued;
            EXPECT_TRUE(text.contains("Sensor connected again\r\n")) << text.toStdString();
            EXPECT_TRUE(text.contains(", 71\r\n")) << text.toStdString();
        } else {
            EXPECT_TRUE(text.contains(": Sensor disconnected: port lost\r\n"))
                << text.toStdString();
        }
    }
    EXPECT_EQ(continued, 1);
}

}  // namespace
