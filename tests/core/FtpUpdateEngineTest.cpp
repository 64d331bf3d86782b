#include "reporting/FtpUpdateEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "config/MemorySettingsTree.h"
#include "config/MemoryTextFileStore.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "sim/RecordingJournal.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"
#include "support/ScriptedFtpClient.h"

namespace vigiltron {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

class FtpUpdateEngineTest : public ::testing::Test {
protected:
    FtpUpdateEngineTest() {
        prefs.ServerName = "ftp.example.net";
        prefs.UserName = "monitor";
        prefs.pw = "s3cret";
        prefs.RemoteDirectory = "vigiltron";
        prefs.InternetInterval = "10";
    }

    FtpUpdateEngine& Engine() {
        if (!engine) {
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
                    const std::string path = "/app/vtman" + std::to_string(builds++ % 10) + ".xml";
                    files.Put(path, "<vigiltron/>");
                    return path;
                },
                [] { return std::string(); },
                "/app",
                {}});
        }
        return *engine;
    }

    const std::vector<std::string>& Log() const { return view.contactSetup.ftp.log; }
    // The position of the first log line from `from` on that ends with `text`; -1 when none.
    long Find(const std::string& text, long from = 0) const {
        const auto& log = Log();
        for (long i = from; i < long(log.size()); ++i) {
            if (log[i].size() >= text.size() &&
                log[i].compare(log[i].size() - text.size(), text.size(), text) == 0) {
                return i;
            }
        }
        return -1;
    }
    std::vector<std::string> CommandsFrom(std::size_t first) const {
        return {client.commands.begin() + long(first), client.commands.end()};
    }
    std::string Stored(const std::string& key) const {
        return settings.GetSetting("Program Setup\\Internet Setup", key, "<missing>");
    }

    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0}};
    ScriptedDialogs dialogs;
    RecordingJournal journal;
    Preferences prefs = Preferences::Defaults("/app");
    ViewModel view;
    MemorySettingsTree settings;
    MemoryTextFileStore files;
    ScriptedFtpClient client{loop};
    int builds = 0;
    std::unique_ptr<FtpUpdateEngine> engine;
};

TEST_F(FtpUpdateEngineTest, DoNotStayConnectedLogsInForEachIntervalsUploadAndOut) {
    Engine().StartInternetUpdateEngine();
    loop.RunFor(seconds(5));

    // The first document goes out at once, over the login made for it, and the logout follows.
    EXPECT_EQ(client.commands,
              (std::vector<std::string>{"PWD", "CD vigiltron", "LS ",
                                        "SEND /app/vtman0.xml vtman0.xml", "QUIT"}));
    ASSERT_FALSE(client.sessions.empty());
    EXPECT_EQ(client.sessions.back().server, "ftp.example.net");
    EXPECT_EQ(client.sessions.back().password, "s3cret");
    EXPECT_EQ(client.sessions.back().requestTimeoutSeconds, 20);
    EXPECT_EQ(Log().front(), "4:05:09 PM FTP login attempt");
    EXPECT_NE(Find(" CONNECTED"), -1);
    EXPECT_NE(Find(" BuildXML: Updating file 0"), -1);
    EXPECT_NE(Find(" bLoggedIn = True"), -1);
    EXPECT_NE(Find(" DISCONNECTED"), -1);
    EXPECT_FALSE(Engine().LoggedIn());
    EXPECT_EQ(view.mainTitle, "Vigiltron Manager (Internet update in progress)");
    EXPECT_EQ(view.contactSetup.ftp.updateCaption, "Stop FTP Update");
    EXPECT_TRUE(view.contactSetup.ftp.updateRunning);
    EXPECT_EQ(Stored("AutoStartIUE"), "1");
    EXPECT_TRUE(journal.Has("ftp", " CONNECTED"));

    // Interval 10: nine minute ticks count, the tenth logs in, uploads and logs out again.
    loop.RunFor(minutes(9) + seconds(30));
    EXPECT_EQ(client.Count("SEND"), 1);
    const std::size_t before = client.commands.size();
    loop.RunFor(minutes(1));
    EXPECT_EQ(CommandsFrom(before),
              (std::vector<std::string>{"CD vigiltron", "LS ", "SEND /app/vtman1.xml vtman1.xml",
                                        "QUIT"}));
    loop.RunFor(minutes(10));
    EXPECT_EQ(client.Count("SEND"), 3);

    Engine().cmdStartUpdate_Click();
    EXPECT_EQ(view.mainTitle, "Vigiltron Manager");
    EXPECT_EQ(view.contactSetup.ftp.updateCaption, "Start FTP Update");
    EXPECT_EQ(Stored("AutoStartIUE"), "0");
    loop.RunFor(minutes(30));
    EXPECT_EQ(client.Count("SEND"), 3);
}

TEST_F(FtpUpdateEngineTest, StayConnectedKeepsOneConnectionAndFollowsAShortenedInterval) {
    prefs.optStayConnected = true;
    Engine().cmdLoginFTP_Click();
    Engine().cmdStartUpdate_Click();
    loop.RunFor(minutes(5) + seconds(30));
    EXPECT_EQ(client.Count("SEND"), 1);

    // Five minutes counted already: an interval cut to three sends at the next tick instead of
    // never again.
    prefs.InternetInterval = "3";
    loop.RunFor(minutes(1));
    EXPECT_EQ(client.Count("SEND"), 2);
    loop.RunFor(minutes(3));
    EXPECT_EQ(client.Count("SEND"), 3);
    EXPECT_EQ(client.Count("PWD"), 1);
    EXPECT_EQ(client.Count("QUIT"), 0);
    EXPECT_TRUE(Engine().LoggedIn());
    EXPECT_FALSE(view.contactSetup.ftp.connectionChoiceEnabled);
}

TEST_F(FtpUpdateEngineTest, LocalDirectoryStoresThePagesAndTheStylesheetWithoutFtp) {
    prefs.UseDirectory = true;
    prefs.txtXMLDirectory = "C:\\";  // brought over from a Windows installation
    files.Put("/app/vtman.xsl", "<xsl/>");
    Engine().cmdLoginFTP_Click();
    EXPECT_TRUE(view.contactSetup.ftp.updateEnabled);
    Engine().cmdStartUpdate_Click();
    loop.RunFor(minutes(20) + seconds(30));
    EXPECT_EQ(files.Contents("/app/www/vtman.xsl"), "<xsl/>");
    EXPECT_NE(Find(" BuildXML: Updating local file 2"), -1);
    EXPECT_TRUE(client.commands.empty());
    EXPECT_EQ(builds, 3);
}

TEST_F(FtpUpdateEngineTest, MissingDirectoryIsIgnoredAndAnUnrecoverableErrorStopsTheUpdate) {
    client.failures["CD"].push_back(
        {12003, "The directory \"vigiltron\" does not exist (550 No such file)", false});
    Engine().cmdLoginFTP_Click();
    loop.RunFor(seconds(5));
    EXPECT_NE(Find("Directory doesn't exist."), -1);
    EXPECT_EQ(view.contactSetup.ftp.remoteDirectoryBlankRequests, 1);
    EXPECT_EQ(Find("LastState= "), -1);
    EXPECT_EQ(Find(" Attempting to log back on..."), -1);
    EXPECT_EQ(client.cancels, 1);  // the login's own
    EXPECT_TRUE(Engine().LoggedIn());

    Engine().cmdStartUpdate_Click();
    loop.RunFor(seconds(5));
    client.failures["SEND"].push_back({12014, "530 Login incorrect.; unrecoverable", true});
    loop.RunFor(minutes(10));
    EXPECT_TRUE(dialogs.Saw("Urecoverable. Logging out and stopping update."));
    EXPECT_FALSE(Engine().UpdateRunning());
    EXPECT_EQ(view.mainTitle, "Vigiltron Manager");
    EXPECT_EQ(Stored("AutoStartIUE"), "0");
    const long error = Find(" Error: 12014");
    ASSERT_NE(error, -1);
    EXPECT_EQ(Log()[error + 1].substr(Log()[error + 1].find(' ')),
              " PM (530 Login incorrect.; unrecoverable)");
    const int sends = client.Count("SEND");
    loop.RunFor(minutes(30));
    EXPECT_EQ(client.Count("SEND"), sends);
}

TEST_F(FtpUpdateEngineTest, DroppedConnectionIsRecoveredAndTheDocumentSentAgain) {
    Engine().StartInternetUpdateEngine();
    loop.RunFor(seconds(5));
    client.failures["SEND"].push_back({12030, "Connection closed by the server", true});
    loop.RunFor(minutes(10));

    const long lastState = Find("LastState= Disconnected");
    ASSERT_NE(lastState, -1);
    const long error = Find(" Error: 12030", lastState);
    ASSERT_NE(error, -1);
    EXPECT_NE(Find(" (Connection closed by the server)", error), -1);
    const long attempt = Find(" Attempting to log back on...", error);
    const long logout = Find(" FTP logout attempt", attempt);
    const long login = Find(" FTP login attempt", logout);
    const long recovering = Find(" Recovering: Cal Interval Update", login);
    const long resent = Find(" BuildXML: Updating file 2", recovering);
    EXPECT_TRUE(attempt != -1 && logout != -1 && login != -1 && recovering != -1 && resent != -1)
        << attempt << " " << logout << " " << login << " " << recovering << " " << resent;
    EXPECT_EQ(client.commands.back(), "QUIT");
    EXPECT_EQ(client.Count("SEND"), 3);
    EXPECT_TRUE(Engine().UpdateRunning());
    EXPECT_EQ(view.contactSetup.ftp.updateCaption, "Stop FTP Update");

    // The schedule goes on from the recovery.
    loop.RunFor(minutes(10));
    EXPECT_EQ(client.Count("SEND"), 4);
}

TEST_F(FtpUpdateEngineTest, ServerThatNeverAnswersTimesOutTheLoginAndTheTestTransfer) {
    client.hang = true;
    Engine().cmdLoginFTP_Click();
    // 1500 ms pause and the 20000 ms login time-out: 21.5 seconds after 4:05:09 PM.
    EXPECT_NE(std::find(Log().begin(), Log().end(), "4:05:30 PM Login Timeout"), Log().end());
    // The directory change is still tried.
    EXPECT_EQ(client.commands, (std::vector<std::string>{"PWD", "CD vigiltron"}));

    Engine().cmdTestTransfer_Click();
    EXPECT_TRUE(dialogs.Saw("Timeout.  Remote system not responding"));
    EXPECT_TRUE(dialogs.Saw("Test transfer not complete. Please try again."));
    EXPECT_NE(Find("REMOTE TIMEOUT"), -1);
    EXPECT_EQ(Find(" Test transfer complete"), -1);
    EXPECT_FALSE(view.contactSetup.ftp.updateEnabled);
}

TEST_F(FtpUpdateEngineTest, TestTransferEnablesTheStartAndTheLogIsSavedInTheApplicationFolder) {
    prefs.SeeMessages = true;
    Engine().cmdLoginFTP_Click();
    Engine().cmdTestTransfer_Click();
    EXPECT_EQ(client.commands.back(), "SEND /app/vtman.xsl vtman.xsl");
    EXPECT_NE(Find("Path for VTMAN.XSL file = /app"), -1);
    EXPECT_NE(Find("Response from SEND = :0"), -1);
    EXPECT_NE(Find(" Test transfer complete"), -1);
    EXPECT_TRUE(view.contactSetup.ftp.updateEnabled);

    Engine().ListContents();
    EXPECT_NE(Find("vtman0.xml\r\nvtman.xsl\r\n"), -1);

    // A name with folders in it still saves beside the program's other files.
    dialogs.QueueText("../../etc/monitor");
    Engine().PrintList();
    ASSERT_TRUE(files.Has("/app/monitor.ftp"));
    const std::string saved = files.Contents("/app/monitor.ftp");
    EXPECT_TRUE(std::regex_match(saved.substr(0, saved.find("\r\n")),
                                 std::regex(R"(12/7/2026 4:05:\d\d PMFTP LOG)")))
        << saved;
    EXPECT_NE(saved.find("\r\n4:05:09 PM FTP login attempt\r\n"), std::string::npos);
    EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n");

    // A directory entry holding a line break never reaches the server.
    dialogs.QueueText("new\r\nDELE vtman0.xml");
    const std::size_t before = client.commands.size();
    Engine().MakeDirectory();
    EXPECT_TRUE(dialogs.Saw("The directory is not valid"));
    EXPECT_EQ(client.commands.size(), before);
}

}  // namespace
}  // namespace vigiltron
