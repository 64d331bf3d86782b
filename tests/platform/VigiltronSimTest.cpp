// Runs vigiltron-sim as a user would and talks to its sensor through the real serial adapter.
#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "platform/QtEventLoop.h"
#include "platform/QtSerialPort.h"

namespace vigiltron {
namespace {

using std::chrono::milliseconds;

constexpr int kBoundMs = 10000;

// The program under test, stopped and reaped whatever the test does.
class SimProcess {
public:
    explicit SimProcess(const QStringList& args) { process_.start(VIGILTRON_SIM_BINARY, args); }
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kBoundMs);
        }
    }

    // The first line it prints: the device to open. Empty if none came in time.
    std::string DevicePath() {
        QDeadlineTimer deadline(kBoundMs);
        while (!process_.canReadLine() && !deadline.hasExpired()) {
            if (!process_.waitForReadyRead(int(deadline.remainingTime()))) {
                break;
            }
        }
        return process_.readLine().trimmed().toStdString();
    }

    // Sends `signal` and returns the exit code, or -1 when it crashed or did not end in time.
    int Stop(int signal) {
        ::kill(pid_t(process_.processId()), signal);
        return Finish();
    }

    int Finish() {
        if (!process_.waitForFinished(kBoundMs) || process_.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return process_.exitCode();
    }

    std::string Out() { return process_.readAllStandardOutput().toStdString(); }
    std::string Err() { return process_.readAllStandardError().toStdString(); }

private:
    QProcess process_;
};

// The host end: the adapter vigiltron-manager uses, with a COM number mapped to the device.
class Host {
public:
    explicit Host(const std::string& devicePath) : port_(MapCom9(devicePath)) {
        port_.SetCommPort(9);
        port_.SetSettings("9600,n,8,1");
        port_.SetRThreshold(1);
        port_.SetOnComm([this](CommEvent event) {
            if (event == CommEvent::Receive) {
                received_ += port_.Input();
            }
        });
    }

    bool Open() { return port_.Open(); }
    void Close() { port_.Close(); }
    std::string LastError() const { return port_.LastError(); }

    // Sends `command` as it is and returns the first reply line without its CR.
    std::string Ask(std::string_view command) {
        received_.clear();
        port_.Output(command);
        return NextLine();
    }

    std::string NextLine() {
        loop_.WaitUntil(milliseconds(kBoundMs),
                        [&] { return received_.find('\r') != std::string::npos; });
        const std::size_t cr = received_.find('\r');
        if (cr == std::string::npos) {
            return "(no reply: '" + received_ + "')";
        }
        std::string line = received_.substr(0, cr);
        received_.erase(0, cr + 1);
        return line;
    }

    void Write(std::string_view bytes) { port_.Output(bytes); }

private:
    static PortMap MapCom9(const std::string& path) {
        PortMap map;
        map.Set(9, path);
        return map;
    }

    QtEventLoop loop_;
    QtSerialPort port_;
    std::string received_;
};

TEST(VigiltronSimTest, TemperatureSensorAnswersThroughTheSerialAdapter) {
    SimProcess sim({"temperature", "value=72.5", "delay=5ms"});
    const std::string path = sim.DevicePath();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path << sim.Err();

    Host host(path);
    ASSERT_TRUE(host.Open()) << host.LastError();
    EXPECT_EQ(host.Ask("i\r"), "Vigiltron/T v2.1");
    EXPECT_EQ(host.Ask("tf\r"), "072.50F");
    EXPECT_EQ(host.Ask("tc\r"), "022.50C");
    EXPECT_EQ(host.Ask("h\r"), "Invalid");
    // A command that arrives one character at a time still gets its answer.
    host.Write("t");
    host.Write("f");
    EXPECT_EQ(host.Ask("\r"), "072.50F");

    // The program closes the port and connects again, as after a disconnect in the manager.
    host.Close();
    ASSERT_TRUE(host.Open()) << host.LastError();
    EXPECT_EQ(host.Ask("tf\r"), "072.50F");
    host.Close();

    EXPECT_EQ(sim.Stop(SIGTERM), 0) << sim.Err();
}

TEST(VigiltronSimTest, SettingsOnTheCommandLineFollowScenarioSyntax) {
    SimProcess sim({"combined", "temperature=22.5C", "humidity=55"});
    const std::string path = sim.DevicePath();
    ASSERT_FALSE(path.empty()) << sim.Err();

    Host host(path);
    ASSERT_TRUE(host.Open()) << host.LastError();
    EXPECT_EQ(host.Ask("i\r"), "Vigiltron/H v2.1");
    EXPECT_EQ(host.Ask("tf\r"), "072.50F");
    EXPECT_EQ(host.Ask("h\r"), "055.0%");
    host.Close();

    EXPECT_EQ(sim.Stop(SIGINT), 0) << sim.Err();
}

TEST(VigiltronSimTest, StreamingSensorSendsItsLines) {
    SimProcess sim({"accelerometer", "x=0.12", "y=-0.05", "interval=20ms"});
    const std::string path = sim.DevicePath();
    ASSERT_FALSE(path.empty()) << sim.Err();

    Host host(path);
    ASSERT_TRUE(host.Open()) << host.LastError();
    EXPECT_EQ(host.Ask("a\r"), "+0.120 -0.050");
    EXPECT_EQ(host.Ask("a+\r"), "OK");
    EXPECT_EQ(host.NextLine(), "+0.120g -0.050g ");
    EXPECT_EQ(host.NextLine(), "+0.120g -0.050g ");
    host.Close();

    EXPECT_EQ(sim.Stop(SIGTERM), 0) << sim.Err();
}

TEST(VigiltronSimTest, ModemAnswersCommandsAndTheDialAsConfigured) {
    SimProcess sim({"modem", "answer=busy", "delay=10ms"});
    const std::string path = sim.DevicePath();
    ASSERT_FALSE(path.empty()) << sim.Err();

    Host host(path);
    ASSERT_TRUE(host.Open()) << host.LastError();
    // Result codes come framed as a Hayes modem frames them: CR LF, code, CR LF.
    EXPECT_EQ(host.Ask("ATZ\r"), "");
    EXPECT_EQ(host.NextLine(), "\nOK");
    EXPECT_EQ(host.Ask("ATDT5551234,,,,,,,,,,;\r"), "");
    EXPECT_EQ(host.NextLine(), "\nBUSY");
    host.Close();
    EXPECT_EQ(sim.Stop(SIGTERM), 0) << sim.Err();

    SimProcess refused({"modem", "answer=maybe"});
    EXPECT_EQ(refused.Finish(), 2);
    EXPECT_NE(refused.Err().find("bad value for answer: 'maybe'"), std::string::npos)
        << refused.Err();
}

TEST(VigiltronSimTest, RefusesLineOnlySensorsAndBadSettings) {
    struct Case {
        QStringList args;
        std::string message;
    };
    const Case cases[] = {
        {{"water"}, "a water sensor signals only on the CD line"},
        {{"proximity", "present=yes"}, "a proximity sensor signals only on the DSR line"},
        {{"temperature", "foo=1"}, "unknown setting 'foo'"},
        {{"temperature", "x=0.5"}, "'x' does not apply to a temperature sensor"},
        {{"humidity", "humidity=120"}, "bad value for humidity: '120' (humidity is 0 to 100)"},
        {{"temperature", "value=70 #"}, "bad setting 'value=70 #'"},
        {{"thermometer"}, "unknown sensor kind 'thermometer'"},
        {{}, "which sensor?"},
        {{"temperature", "--com", "3"}, "--com chooses a sensor of a scenario"},
    };
    for (const Case& c : cases) {
        SimProcess sim(c.args);
        EXPECT_EQ(sim.Finish(), 2) << c.args.join(' ').toStdString();
        // Nothing that looks like a device to open.
        EXPECT_EQ(sim.Out(), "") << c.args.join(' ').toStdString();
        EXPECT_NE(sim.Err().find(c.message), std::string::npos)
            << c.args.join(' ').toStdString() << ": " << sim.Err();
    }
}

TEST(VigiltronSimTest, ServesOneSensorOfAScenarioWithItsSteps) {
    QTemporaryDir dir;
    const QString scenario = dir.filePath("room.scenario");
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "sensor COM3 temperature value=70\n"
        "sensor COM4 combined humidity=41\n"
        "sensor COM6 water\n"
        "at 0 COM4 humidity=60\n"
        "at 0 COM3 value=99\n");
    file.close();

    {
        SimProcess sim({"--scenario", scenario, "--com", "4", "temperature=80"});
        const std::string path = sim.DevicePath();
        ASSERT_FALSE(path.empty()) << sim.Err();
        Host host(path);
        ASSERT_TRUE(host.Open()) << host.LastError();
        EXPECT_EQ(host.Ask("i\r"), "Vigiltron/H v2.1");
        EXPECT_EQ(host.Ask("h\r"), "060.0%");
        EXPECT_EQ(host.Ask("tf\r"), "080.00F");
        host.Close();
        EXPECT_EQ(sim.Stop(SIGTERM), 0) << sim.Err();
    }

    const std::string scenarioName = scenario.toStdString();
    const struct {
        QStringList args;
        std::string message;
    } refused[] = {
        {{"--scenario", scenario, "--com", "COM6"}, "COM6: a water sensor signals only on"},
        {{"--scenario", scenario},
         scenarioName + ": choose one sensor with --com (COM3, COM4, COM6)"},
        {{"--scenario", scenario, "--com", "5"}, scenarioName + ": no sensor on COM5"},
        {{"--scenario", scenario, "--com", "300"}, "bad COM number '300'"},
        {{"--scenario", dir.filePath("missing")}, "missing: cannot read the file"},
    };
    for (const auto& c : refused) {
        SimProcess sim(c.args);
        EXPECT_EQ(sim.Finish(), 2) << c.args.join(' ').toStdString();
        EXPECT_NE(sim.Err().find(c.message), std::string::npos)
            << c.args.join(' ').toStdString() << ": " << sim.Err();
    }
}

TEST(VigiltronSimTest, LinkNamesTheDeviceWhileRunningAndNeverReplacesAFile) {
    QTemporaryDir dir;
    const QString link = dir.filePath("vigiltron-com3");
    SimProcess sim({"temperature", "--link", link});
    const std::string path = sim.DevicePath();
    ASSERT_FALSE(path.empty()) << sim.Err();
    EXPECT_EQ(QFileInfo(link).symLinkTarget().toStdString(), path);

    Host host(link.toStdString());
    ASSERT_TRUE(host.Open()) << host.LastError();
    EXPECT_EQ(host.Ask("tf\r"), "072.50F");
    host.Close();
    EXPECT_EQ(sim.Stop(SIGTERM), 0) << sim.Err();
    EXPECT_FALSE(QFileInfo::exists(link)) << "the link outlived the program";

    const QString precious = dir.filePath("notes.txt");
    QFile file(precious);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    SimProcess refused({"temperature", "--link", precious});
    EXPECT_EQ(refused.Finish(), 1);
    EXPECT_NE(refused.Err().find("exists and is not a symbolic link"), std::string::npos)
        << refused.Err();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me");
}

}  // namespace
}  // namespace vigiltron
