// The SMTP client against real SMTP servers started on loopback (Debian's python3-aiosmtpd, see
// tests/support/smtp_test_server.py): in clear, with STARTTLS, with implicit TLS, with a login.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/CurlSmtpClient.h"
#include "platform/QtEventLoop.h"
#include "support/SmtpTestServers.h"

namespace vigiltron {
namespace {

constexpr int kBoundMs = 20000;

struct Result {
    bool done = false;
    bool doneInsideSend = false;
    SmtpOutcome outcome;
    std::vector<std::string> progress;

    bool Said(const std::string& text) const {
        for (const std::string& line : progress) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    bool SaidFirst(const std::string& prefix) const {
        for (const std::string& line : progress) {
            if (line.starts_with(prefix)) {
                return true;
            }
        }
        return false;
    }
};

class CurlSmtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(servers.Ready()) << "the test SMTP servers did not start: " << servers.Errors();
    }

    // Sends and runs the loop until the outcome is in (bounded).
    Result Send(const SmtpRequest& request) {
        auto result = std::make_shared<Result>();
        client.Send(
            request, [result](const std::string& text) { result->progress.push_back(text); },
            [result](const SmtpOutcome& outcome) {
                result->outcome = outcome;
                result->done = true;
            });
        result->doneInsideSend = result->done;
        loop.WaitUntil(Milliseconds(kBoundMs), [&] { return result->done; });
        return *result;
    }

    static SmtpRequest Mail(const std::string& server) {
        SmtpRequest r;
        r.server = server;
        r.from = "vigil@example.com";
        r.to = "ops@example.com";
        r.cc = "boss@example.com";
        r.subject = "Warning: Cur=85F";
        // A line that starts with a dot must survive SMTP's end-of-data marker.
        r.body = " Temperature Alert\r\n Boiler room\r\n.5 above\r\n\r\n Current Reading: 85F\r\n";
        r.timeoutSeconds = 10;
        return r;
    }

    testing_support::SmtpServers servers;
    QtEventLoop loop;
    CurlSmtpClient client{[this](std::function<void()> work) { loop.Post(std::move(work)); }};
};

TEST_F(CurlSmtpClientTest, DeliversByteForByteInClearWithStartTlsAndWithImplicitTls) {
    struct Case {
        std::string server;
        bool login;
        bool useCa;
        std::string subject;
        bool tls;
    };
    const std::vector<Case> cases = {
        // A login in clear is allowed to this machine's own server only.
        {"127.0.0.1:" + servers.Port("plain"), true, false, "Warning: Cur=85F", false},
        {"localhost:" + servers.Port("starttls"), true, true, "Warning ", true},
        {" smtps://127.0.0.1:" + servers.Port("smtps"), false, true,
         "Sensor Reading OK: 21\u00b0C \u2013 Kessel\u00e4ume und sehr lange Betreffzeilen", true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        SmtpRequest request = Mail(c.server);
        request.subject = c.subject;
        request.authenticate = c.login;
        request.user = c.login ? "alarm" : "";
        request.password = c.login ? "s3cret" : "";
        request.caFile = c.useCa ? servers.CaFile() : "";
        const Result result = Send(request);
        EXPECT_FALSE(result.doneInsideSend);
        ASSERT_TRUE(result.done);
        ASSERT_TRUE(result.outcome.sent) << result.outcome.reason;
        ++n;
        ASSERT_EQ(servers.Count(), n);

        const std::string raw = servers.Raw(n);
        const std::size_t split = raw.find("\r\n\r\n");
        ASSERT_NE(split, std::string::npos) << raw;
        EXPECT_EQ(raw.substr(split + 4), request.body);
        const std::string headers = raw.substr(0, split + 2);
        EXPECT_NE(headers.find("From: vigil@example.com\r\n"), std::string::npos) << headers;
        EXPECT_NE(headers.find("To: ops@example.com\r\n"), std::string::npos) << headers;
        EXPECT_NE(headers.find("Cc: boss@example.com\r\n"), std::string::npos) << headers;
        EXPECT_NE(headers.find("Content-Type: text/plain; charset=UTF-8\r\n"), std::string::npos);
        EXPECT_NE(headers.find("Date: "), std::string::npos);
        const QJsonObject facts = servers.Facts(n);
        EXPECT_EQ(facts["subject"].toString().toStdString(), c.subject);
        EXPECT_EQ(facts["from"].toString(), "vigil@example.com");
        EXPECT_EQ(facts["to"].toArray(), (QJsonArray{"ops@example.com", "boss@example.com"}));
        EXPECT_EQ(facts["tls"].toBool(), c.tls);
        EXPECT_EQ(facts["authenticated"].toBool(), c.login);

        // The dialogue is reported, the login's contents never: "\0alarm\0s3cret" in base64
        // (PLAIN), or the two halves (LOGIN).
        EXPECT_TRUE(result.Said("220 ")) << ::testing::PrintToString(result.progress);
        EXPECT_TRUE(result.Said("250 Message accepted for delivery"));
        EXPECT_EQ(result.SaidFirst("AUTH "), c.login);
        for (const char* secret : {"s3cret", "AGFsYXJtAHMzY3JldA", "YWxhcm0", "czNjcmV0"}) {
            EXPECT_FALSE(result.Said(secret)) << secret;
        }
    }
}

TEST_F(CurlSmtpClientTest, FailuresComeBackWithTheirReasonAndNothingIsDelivered) {
    // A port nobody listens on: taken from the system, then closed again.
    const int lone = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(lone, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(lone, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string closedPort = std::to_string(ntohs(address.sin_port));
    ::close(lone);

    SmtpRequest refused = Mail("localhost:" + servers.Port("starttls"));
    refused.caFile = servers.CaFile();
    refused.authenticate = true;
    refused.user = "alarm";
    refused.password = "wrong";
    const Result login = Send(refused);
    ASSERT_TRUE(login.done);
    EXPECT_FALSE(login.outcome.sent);
    EXPECT_NE(login.outcome.reason.find("535"), std::string::npos)
        << login.outcome.reason << ::testing::PrintToString(login.progress);

    const Result unreachable = Send(Mail("127.0.0.1:" + closedPort));
    ASSERT_TRUE(unreachable.done);
    EXPECT_FALSE(unreachable.outcome.sent);
    EXPECT_FALSE(unreachable.outcome.reason.empty());

    // Certificates are checked: the test server's own is not trusted without its CA file.
    const Result untrusted = Send(Mail("localhost:" + servers.Port("starttls")));
    ASSERT_TRUE(untrusted.done);
    EXPECT_FALSE(untrusted.outcome.sent);
    EXPECT_NE(untrusted.outcome.reason.find("certificate"), std::string::npos)
        << untrusted.outcome.reason;

    // "127.1" reaches this machine, but is not written as a loopback address: a login there
    // needs STARTTLS, which the plain server does not offer, so no credentials are sent.
    SmtpRequest inClear = Mail("127.1:" + servers.Port("plain"));
    inClear.authenticate = true;
    inClear.user = "alarm";
    inClear.password = "s3cret";
    const Result clear = Send(inClear);
    ASSERT_TRUE(clear.done);
    EXPECT_FALSE(clear.outcome.sent);
    EXPECT_FALSE(clear.SaidFirst("AUTH")) << ::testing::PrintToString(clear.progress);

    for (const char* server : {"", "mail.example.com:99999"}) {
        const Result bad = Send(Mail(server));
        ASSERT_TRUE(bad.done);
        EXPECT_FALSE(bad.doneInsideSend);
        EXPECT_FALSE(bad.outcome.sent);
        EXPECT_FALSE(bad.outcome.reason.empty());
    }
    EXPECT_EQ(servers.Count(), 0);
}

TEST(SmtpServerTextTest, NamesAddressesPortsAndWhatCountsAsThisMachine) {
    struct Case {
        const char* text;
        const char* url;
        bool implicitTls;
        bool loopback;
    };
    const std::vector<Case> cases = {
        {"mail.example.com", "smtp://mail.example.com", false, false},
        {"  mail.example.com:587 ", "smtp://mail.example.com:587", false, false},
        {"smtp://mail.example.com:2525", "smtp://mail.example.com:2525", false, false},
        {"SMTPS://mail.example.com", "smtps://mail.example.com", true, false},
        {"smtps://127.0.0.1:465/", "smtps://127.0.0.1:465", true, true},
        {"localhost:25", "smtp://localhost:25", false, true},
        {"127.0.0.2", "smtp://127.0.0.2", false, true},
        {"127.example.com", "smtp://127.example.com", false, false},
        {"[::1]:2525", "smtp://[::1]:2525", false, true},
        {"::1", "smtp://[::1]", false, true},
        {"[2001:db8::25]:587", "smtp://[2001:db8::25]:587", false, false},
        // None of these names a server.
        {"", "", false, false},
        {"   ", "", false, false},
        {"mail.example.com:0", "", false, false},
        {"mail.example.com:65536", "", false, false},
        {"mail.example.com:smtp", "", false, false},
        {"ftp://mail.example.com", "", false, false},
        {"alarm:s3cret@mail.example.com", "", false, false},
        {"[::1", "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SmtpEndpoint endpoint = CurlSmtpClient::ParseServer(c.text);
        EXPECT_EQ(endpoint.url, c.url);
        if (!endpoint.url.empty()) {
            EXPECT_EQ(endpoint.implicitTls, c.implicitTls);
            EXPECT_EQ(endpoint.loopback, c.loopback);
        }
    }
}

TEST(CurlSmtpClientShutdownTest, AMailInFlightIsAbandonedWithoutACallback) {
    // A server that takes the connection and never greets.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);

    QtEventLoop loop;
    auto client = std::make_unique<CurlSmtpClient>(
        [&loop](std::function<void()> work) { loop.Post(std::move(work)); });
    auto connected = std::make_shared<bool>(false);
    auto done = std::make_shared<bool>(false);
    SmtpRequest request;
    request.server = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    request.to = "ops@example.com";
    request.timeoutSeconds = 60;
    client->Send(
        request,
        [connected](const std::string& text) {
            *connected = *connected || text.starts_with("Connected to");
        },
        [done](const SmtpOutcome&) { *done = true; });
    ASSERT_TRUE(loop.WaitUntil(Milliseconds(kBoundMs), [&] { return *connected; }));

    client.reset();  // returns once the worker has let go (bounded by kShutdownWait)
    loop.ProcessPendingEvents();
    EXPECT_FALSE(*done);
    ::close(silent);
}

}  // namespace
}  // namespace vigiltron
