// The update engine over the real FTP transport, against a real FTP server on loopback: as the
// window and start-up drive it, and as --publish-now runs it.

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "config/MemorySettingsTree.h"
#include "config/MemoryTextFileStore.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "platform/CurlFtpClient.h"
#include "platform/QtEventLoop.h"
#include "reporting/FtpUpdateEngine.h"
#include "sim/RecordingJournal.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"
#include "support/FtpTestServer.h"

namespace vigiltron {
namespace {

using testing_support::FtpTestServer;

constexpr const char* kDocument =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<vigiltron>\r\n</vigiltron>\r\n";
constexpr const char* kStylesheet = "<xsl:stylesheet version=\"1.0\"/>\r\n";

// The engine as the program wires it, over the real transport, with a document writer that
// writes a small file per update into a temporary application folder.
struct RealServerRig {
    explicit RealServerRig(EventLoop& l, Clock& c, FtpClient& client) : loop(l), clock(c) {
        prefs.UserName = "monitor";
        prefs.pw = "s3cret";
        prefs.RemoteDirectory = "vigiltron";
        QFile stylesheet(folder.filePath("vtman.xsl"));
        stylesheet.open(QIODevice::WriteOnly);
        stylesheet.write(kStylesheet);
        stylesheet.close();
        engine = std::make_unique<FtpUpdateEngine>(FtpUpdateEngine::Services{
            loop,
            clock,
            dialogs,
            journal,
            prefs,
            view,
            settings,
            files,
            client,
            [this] {
                const std::string name = "vtman" + std::to_string(builds++ % 10) + ".xml";
                QFile file(folder.filePath(QString::fromStdString(name)));
                file.open(QIODevice::WriteOnly);
                file.write(kDocument);
                return file.fileName().toStdString();
            },
            [] { return std::string(); },
            folder.path().toStdString(),
            {}});
    }
    bool Logged(const std::string& text) const {
        const auto& log = view.contactSetup.ftp.log;
        return std::any_of(log.begin(), log.end(), [&text](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }
    std::string LogText() const {
        std::string all;
        for (const std::string& line : view.contactSetup.ftp.log) {
            all += line + "\n";
        }
        return all;
    }

    EventLoop& loop;
    Clock& clock;
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    RecordingJournal journal;
    Preferences prefs = Preferences::Defaults("/unused");
    ViewModel view;
    MemorySettingsTree settings;
    MemoryTextFileStore files;
    int builds = 0;
    std::unique_ptr<FtpUpdateEngine> engine;
};

TEST(FtpRemoteMonitoringTest, UploadsTestTransfersAndRecoversFromADroppedConnection) {
    FtpTestServer server;
    ASSERT_TRUE(server.Ready()) << server.Errors();
    QtEventLoop loop;
    SystemClock clock;
    CurlFtpClient client([&loop](std::function<void()> work) { loop.Post(std::move(work)); });
    RealServerRig rig(loop, clock, client);
    rig.prefs.ServerName = server.Address();
    FtpUpdateEngine& engine = *rig.engine;

    // Start-up's "start Remote Monitoring?": login, directory, the first upload, and the logout
    // of "Do not stay connected".
    engine.StartInternetUpdateEngine();
    loop.WaitUntil(std::chrono::seconds(30), [&] { return rig.Logged(" DISCONNECTED"); });
    EXPECT_EQ(server.Stored("vigiltron/vtman0.xml"), kDocument) << rig.LogText();
    EXPECT_TRUE(rig.Logged(" CONNECTED"));
    EXPECT_TRUE(rig.Logged("257 \"/\" is the current directory."));
    EXPECT_TRUE(rig.Logged(" BuildXML: Updating file 0"));
    EXPECT_FALSE(engine.LoggedIn());
    EXPECT_TRUE(engine.UpdateRunning());

    // The test transfer sends the stylesheet beside the documents.
    engine.cmdLoginFTP_Click();
    engine.cmdTestTransfer_Click();
    EXPECT_EQ(server.Stored("vigiltron/vtman.xsl"), kStylesheet) << rig.LogText();
    EXPECT_TRUE(rig.Logged(" Test transfer complete"));
    EXPECT_TRUE(rig.dialogs.Messages().empty());

    // Kept connected, the next upload meets a server that hangs up: the engine logs out, logs
    // back on and sends the document again.
    engine.cmdStartUpdate_Click();  // stop
    rig.prefs.optStayConnected = true;
    loop.WaitUntil(std::chrono::seconds(30), [&] { return !client.StillExecuting(); });
    server.DropNextCommand();
    engine.cmdStartUpdate_Click();
    loop.WaitUntil(std::chrono::seconds(60), [&] {
        return rig.Logged(" Recovering: Cal Interval Update") && !client.StillExecuting() &&
               !server.Stored("vigiltron/vtman2.xml").empty();
    });
    EXPECT_TRUE(rig.Logged(" Attempting to log back on...")) << rig.LogText();
    EXPECT_TRUE(rig.Logged(" Error: 12030")) << rig.LogText();
    EXPECT_EQ(server.Stored("vigiltron/vtman2.xml"), kDocument) << rig.LogText();
    EXPECT_TRUE(engine.UpdateRunning());
    EXPECT_TRUE(rig.dialogs.Messages().empty());
    engine.cmdStartUpdate_Click();
}

TEST(FtpRemoteMonitoringTest, AServerThatNeverAnswersIsAbandonedWithLoginTimeout) {
    FtpTestServer server;
    ASSERT_TRUE(server.Ready()) << server.Errors();
    // The engine's waits run on virtual time while the transport really waits on the network:
    // the login is given up after its 20 seconds though the server has not said a word.
    VirtualEventLoop loop;
    VirtualClock clock(loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0});
    CurlFtpClient client;
    RealServerRig rig(loop, clock, client);
    rig.prefs.ServerName = server.SilentAddress();
    rig.engine->cmdLoginFTP_Click();
    EXPECT_TRUE(rig.Logged("4:05:30 PM Login Timeout")) << rig.LogText();
    EXPECT_TRUE(client.StillExecuting());
    EXPECT_FALSE(rig.engine->LoggedIn());
}

TEST(FtpRemoteMonitoringTest, PublishNowPrintsTheLogAndSaysWhetherThePageWasDelivered) {
    FtpTestServer server;
    ASSERT_TRUE(server.Ready()) << server.Errors();
    QTemporaryDir dir;
    {
        QSettings settings(dir.filePath("Vigiltron Manager.ini"), QSettings::IniFormat);
        settings.setValue("Program Setup/Internet Setup/ServerName",
                          QString::fromStdString(server.Address()));
        settings.setValue("Program Setup/Internet Setup/UserName", "monitor");
        settings.setValue("Program Setup/Internet Setup/pw", "s3cret");
        settings.setValue("Program Setup/Internet Setup/RemoteDirectory", "vigiltron");
    }
    // The document as the last update left it in the application folder (what the update sends
    // when no newer one could be written).
    {
        QFile document(dir.filePath("vtman.xml"));
        document.open(QIODevice::WriteOnly);
        document.write(kDocument);
    }
    // No keyring answers: the password is the one in the settings file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-bus"));
    const auto run = [&] {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(VIGILTRON_BINARY, {"--publish-now", "--config-dir", dir.path()});
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
        }
        return std::make_pair(process.exitCode(), process.readAllStandardOutput().toStdString());
    };

    const auto [delivered, out] = run();
    EXPECT_EQ(delivered, 0) << out;
    EXPECT_NE(out.find(" CONNECTED"), std::string::npos) << out;
    EXPECT_NE(out.find(" DISCONNECTED"), std::string::npos) << out;
    EXPECT_NE(out.find("Status page delivered."), std::string::npos) << out;
    EXPECT_TRUE(server.Exists("vigiltron/vtman0.xml") ||
                server.Stored("vigiltron/vtman.xml") == kDocument)
        << out;
    EXPECT_EQ(out.find("s3cret"), std::string::npos);

    // A refused login delivers nothing, and says so in the exit status.
    {
        QSettings settings(dir.filePath("Vigiltron Manager.ini"), QSettings::IniFormat);
        settings.setValue("Program Setup/Internet Setup/pw", "wrong");
    }
    const auto [refused, failedOut] = run();
    EXPECT_EQ(refused, 1) << failedOut;
    EXPECT_NE(failedOut.find("Status page not delivered."), std::string::npos) << failedOut;
}

}  // namespace
}  // namespace vigiltron
