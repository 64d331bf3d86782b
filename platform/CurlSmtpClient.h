#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "alerts/SmtpClient.h"

namespace vigiltron {

// Where a stored `SMTPHostServer` text leads.
struct SmtpEndpoint {
    // "smtp://host[:port]" or "smtps://host[:port]"; empty when the text names no server.
    std::string url;
    std::string host;
    bool implicitTls = false;  // written "smtps://...": TLS from the first byte
    bool loopback = false;     // the server is on this machine's loopback interface
};

// Sends mail with libcurl on a worker thread, one mail after the other.
//
// Plain "host[:port]" servers are upgraded with STARTTLS whenever they offer it; when a login is
// required and the server is not on the loopback interface, STARTTLS is demanded, so a user name
// and password never cross the network in clear. Certificates are verified (against the given CA
// file when there is one). The SMTP dialogue is reported line by line as progress texts, with
// the login's contents left out.
class CurlSmtpClient : public SmtpClient {
public:
    // Runs a function on the engine's thread; called from the worker, so it must be safe to call
    // from any thread (QtEventLoop::Post is).
    using Post = std::function<void(std::function<void()>)>;

    // How long closing waits for a mail in flight to be abandoned before leaving it behind.
    static constexpr std::chrono::seconds kShutdownWait{5};

    // Without `post`, results wait until the engine's thread collects them with
    // DeliverFinished() (for a loop that is not thread-safe, such as the virtual-time one).
    explicit CurlSmtpClient(Post post = {});
    // Abandons the mail in flight and drops those not yet started; no callback runs afterwards.
    ~CurlSmtpClient() override;
    CurlSmtpClient(const CurlSmtpClient&) = delete;
    CurlSmtpClient& operator=(const CurlSmtpClient&) = delete;

    void Send(SmtpRequest request, Progress progress, Done done) override;

    // Runs the progress texts and outcomes that have arrived; call on the engine's thread.
    void DeliverFinished();

    // "host", "host:port", "[v6]:port", a bare IPv6 address, each optionally after "smtp://",
    // or "smtps://..." for implicit TLS. Blanks around the text are ignored.
    static SmtpEndpoint ParseServer(const std::string& server);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

}  // namespace vigiltron
