// The control channel of a running program, over real Unix domain sockets in a temporary folder.
// Clients are plain sockets driven step by step, so the server is polled exactly when a test
// says and nothing waits on the clock.
#include "platform/ControlSocketServer.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ControlSocket.h"
#include "platform/ControlSocketClient.h"

namespace vigiltron {
namespace {

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// A client connected to `path`, sending when told and reading what has arrived.
class RawClient {
public:
    explicit RawClient(const std::string& path)
        : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const sockaddr_un address = AddressOf(path);
        connected_ =
            ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~RawClient() { ::close(fd_); }

    bool Connected() const { return connected_; }
    void Send(const std::string& text) {
        ASSERT_EQ(::send(fd_, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }
    // What the server has sent so far, and whether it closed the connection after it.
    std::string Received(bool* closed = nullptr) {
        std::string text;
        char buffer[8192];
        for (;;) {
            const ssize_t got = ::recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
            if (got > 0) {
                text.append(buffer, std::size_t(got));
                continue;
            }
            if (closed != nullptr) {
                *closed = got == 0;
            }
            return text;
        }
    }

private:
    int fd_;
    bool connected_ = false;
};

class ControlSocketTest : public ::testing::Test {
protected:
    std::string Path() const { return ControlSocketPath(dir.path().toStdString()); }

    ControlSocketServer::Handler Recorder() {
        return [this](const std::string& line) {
            requests.push_back(line);
            return "done: " + line;
        };
    }

    QTemporaryDir dir;
    std::vector<std::string> requests;
};

TEST_F(ControlSocketTest, ReplacesAStaleSocketAnswersEachLineAndRemovesItsOwnSocket) {
    // A socket left by a run that crashed: the file is there and nobody listens.
    {
        const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = AddressOf(Path());
        ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        ::close(stale);
    }
    EXPECT_EQ(ControlSocketClient::Send(Path(), "ack 1", std::chrono::seconds(2)).outcome,
              ControlSocketReply::Outcome::NobodyListening);

    auto server = std::make_unique<ControlSocketServer>(Recorder());
    ASSERT_EQ(server->Listen(Path()), "");
    struct stat made {};
    ASSERT_EQ(::stat(Path().c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0600u);

    // A second run on the same configuration leaves the live socket alone.
    ControlSocketServer second(Recorder());
    EXPECT_NE(second.Listen(Path()).find("already listens"), std::string::npos);
    EXPECT_FALSE(second.Listening());

    // A line that arrives in pieces is answered once whole; two clients in one poll.
    RawClient first(Path());
    RawClient other(Path());
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(other.Connected());
    first.Send("ack 3 fan");
    server->Poll();
    EXPECT_EQ(first.Received(), "");
    first.Send(" replaced\r\n");
    other.Send("snooze 2 60m\n");
    server->Poll();
    bool closed = false;
    EXPECT_EQ(first.Received(&closed), "done: ack 3 fan replaced\n");
    EXPECT_TRUE(closed);
    EXPECT_EQ(other.Received(&closed), "done: snooze 2 60m\n");
    EXPECT_TRUE(closed);
    EXPECT_EQ(requests, (std::vector<std::string>{"ack 3 fan replaced", "snooze 2 60m"}));

    // Something far longer than a request is refused without reaching the handler, and the
    // answer stays on one line whatever the handler says.
    RawClient flood(Path());
    flood.Send(std::string(kLongestControlLine + 10, 'x'));
    server->Poll();
    EXPECT_EQ(flood.Received(&closed), "refused: the request is too long\n");
    EXPECT_EQ(requests.size(), 2u);
    ControlSocketServer multiLine([](const std::string&) { return "done: one\ntwo"; });
    server.reset();
    ASSERT_EQ(multiLine.Listen(Path()), "");
    RawClient asking(Path());
    asking.Send("ack 1\n");
    multiLine.Poll();
    EXPECT_EQ(asking.Received(), "done: one two\n");
}

TEST_F(ControlSocketTest, GoingAwayRemovesOnlyItsOwnSocketAndNeverAFileInTheWay) {
    auto server = std::make_unique<ControlSocketServer>(Recorder());
    ASSERT_EQ(server->Listen(Path()), "");
    // Another run replaced it meanwhile (say this one looked hung to it): that one stays.
    ASSERT_EQ(::unlink(Path().c_str()), 0);
    auto replacement = std::make_unique<ControlSocketServer>(Recorder());
    ASSERT_EQ(replacement->Listen(Path()), "");
    server.reset();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Path())));
    replacement.reset();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path())));

    // A file of another kind under the socket's name is never deleted.
    QFile inTheWay(QString::fromStdString(Path()));
    ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.write("notes");
    inTheWay.close();
    ControlSocketServer blocked(Recorder());
    EXPECT_NE(blocked.Listen(Path()).find("not a socket"), std::string::npos);
    EXPECT_EQ(inTheWay.size(), 5);
}

}  // namespace
}  // namespace vigiltron
