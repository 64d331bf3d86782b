#include "platform/CurlFtpClient.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/QtEventLoop.h"
#include "support/FtpTestServer.h"

namespace vigiltron {
namespace {

using testing_support::FtpTestServer;

class CurlFtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ready()) << server.Errors();
        client.SetStateHandler([this](int state) { states.push_back(state); });
        FtpSession session;
        session.server = server.Address();
        session.user = "monitor";
        session.password = "s3cret";
        client.SetSession(session);
    }

    // Runs one command to its end; the states it reported.
    std::vector<int> Run(const std::string& command) {
        states.clear();
        client.Execute(command);
        EXPECT_TRUE(client.StillExecuting());
        loop.WaitUntil(std::chrono::seconds(30), [this] { return !client.StillExecuting(); });
        // The last notification comes with the end of the command.
        loop.ProcessPendingEvents();
        return states;
    }
    std::string Data() {
        std::string all;
        for (std::string chunk = client.GetChunk(1024); !chunk.empty();
             chunk = client.GetChunk(1024)) {
            all += chunk;
        }
        return all;
    }
    static bool Has(const std::vector<int>& states, int state) {
        return std::find(states.begin(), states.end(), state) != states.end();
    }

    FtpTestServer server;
    QtEventLoop loop;
    CurlFtpClient client{[this](std::function<void()> work) { loop.Post(std::move(work)); }};
    std::vector<int> states;
};

TEST_F(CurlFtpClientTest, RunsTheEnginesCommandsOnOneConnection) {
    EXPECT_EQ(Run("PWD"), (std::vector<int>{1, 2, 3, 4, 8, 12}));
    EXPECT_EQ(Data(), "257 \"/\" is the current directory.");

    // A directory that is not there is said so, and the current one stays.
    EXPECT_EQ(Run("CD nowhere"), (std::vector<int>{11}));
    EXPECT_EQ(client.ResponseCode(), 12003);
    EXPECT_NE(client.ResponseText().find("does not exist"), std::string::npos)
        << client.ResponseText();
    EXPECT_EQ(Run("CD vigiltron"), (std::vector<int>{8, 12}));
    EXPECT_EQ(client.ResponseCode(), 0);
    Run("PWD");
    EXPECT_EQ(Data(), "257 \"/vigiltron\" is the current directory.");

    EXPECT_TRUE(Has(Run("MKDIR ./archive"), 12));
    EXPECT_TRUE(server.Exists("vigiltron/archive"));

    // The document is stored byte for byte, under its remote name, in the current directory; the
    // local path may hold blanks.
    QTemporaryDir local;
    ASSERT_TRUE(QDir(local.path()).mkdir("app folder"));
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<vigiltron>"
        "\xe9\r\n</vigiltron>\r\n";
    const QString path = local.filePath("app folder/vtman0.xml");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document.data(), qint64(document.size()));
    file.close();
    EXPECT_TRUE(Has(Run("SEND " + path.toStdString() + " vtman0.xml"), 12));
    EXPECT_EQ(server.Stored("vigiltron/vtman0.xml"), document);

    Run("LS ");
    const std::string names = Data();
    EXPECT_NE(names.find("vtman0.xml"), std::string::npos) << names;
    EXPECT_NE(names.find("archive"), std::string::npos) << names;
    Run("LS -l");
    EXPECT_NE(Data().find("drwx"), std::string::npos);

    // Only the first command connected; the last one closes.
    EXPECT_EQ(Run("QUIT"), (std::vector<int>{9, 10}));
    EXPECT_TRUE(Has(Run("CD /"), 4));

    // A missing local file fails without touching the server.
    EXPECT_EQ(Run("SEND " + local.filePath("gone.xml").toStdString() + " gone.xml"),
              (std::vector<int>{11}));
    EXPECT_FALSE(server.Exists("gone.xml"));
}

TEST_F(CurlFtpClientTest, FailuresSayWhetherTryingAgainCanHelp) {
    FtpSession session;
    session.server = server.Address();
    session.user = "monitor";
    session.password = "wrong";
    client.SetSession(session);
    EXPECT_TRUE(Has(Run("PWD"), 11));
    EXPECT_EQ(client.ResponseCode(), 12014);
    EXPECT_NE(client.ResponseText().find("unrecoverable"), std::string::npos);

    session.server = "ftp://monitor@" + server.Address();
    client.SetSession(session);
    EXPECT_EQ(Run("PWD"), (std::vector<int>{11}));
    EXPECT_NE(client.ResponseText().find("unrecoverable"), std::string::npos);

    // A server that accepts and never answers is given up after the request time-out.
    session.server = server.SilentAddress();
    session.password = "s3cret";
    session.requestTimeoutSeconds = 1;
    client.SetSession(session);
    const std::vector<int> silent = Run("PWD");
    EXPECT_FALSE(client.StillExecuting());
    EXPECT_TRUE(Has(silent, 3));
    EXPECT_FALSE(Has(silent, 4));
    EXPECT_EQ(silent.back(), 11);
    EXPECT_EQ(client.ResponseCode(), 12002);
    EXPECT_EQ(client.ResponseText().find("unrecoverable"), std::string::npos);
}

TEST_F(CurlFtpClientTest, CancelEndsAHangingCommandAtOnceAndItsNotificationsAreDropped) {
    FtpSession session;
    session.server = server.SilentAddress();
    session.user = "monitor";
    session.password = "s3cret";
    client.SetSession(session);
    client.Execute("PWD");
    loop.WaitUntil(std::chrono::seconds(10), [this] { return Has(states, 3); });
    client.Cancel();
    EXPECT_FALSE(client.StillExecuting());
    states.clear();

    // The next command runs as soon as the abandoned one has let go.
    session.server = server.Address();
    client.SetSession(session);
    EXPECT_TRUE(Has(Run("PWD"), 12));
    EXPECT_FALSE(Has(states, 11));
}

TEST(FtpServerTextTest, HostsPortsAndProtocols) {
    EXPECT_EQ(CurlFtpClient::ParseServer("ftp.example.net").url, "ftp://ftp.example.net");
    EXPECT_EQ(CurlFtpClient::ParseServer(" ftp.example.net:2121 ").url,
              "ftp://ftp.example.net:2121");
    EXPECT_EQ(CurlFtpClient::ParseServer("FTPS://example.net:990/").url, "ftps://example.net:990");
    EXPECT_EQ(CurlFtpClient::ParseServer("sftp://[::1]:22").url, "sftp://[::1]:22");
    EXPECT_EQ(CurlFtpClient::ParseServer("sftp://host").protocol, FtpEndpoint::Protocol::Sftp);
    for (const char* refused : {"", "http://example.net", "user@example.net", "host:0",
                                "host:70000", "host:21x", "[::1", "ex ample.net"}) {
        EXPECT_EQ(CurlFtpClient::ParseServer(refused).url, "") << refused;
    }
}

}  // namespace
}  // namespace vigiltron
