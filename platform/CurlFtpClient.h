#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "reporting/FtpClient.h"

namespace vigiltron {

// Where a stored `ServerName` text leads.
struct FtpEndpoint {
    // "ftp://host[:port]", "ftps://host[:port]" or "sftp://host[:port]"; empty when the text
    // names no server.
    std::string url;
    enum class Protocol { Ftp, Ftps, Sftp } protocol = Protocol::Ftp;
};

// The FTP component over libcurl, on a worker thread that runs the commands one after the other.
//
// Plain "host[:port]" servers are asked for TLS (explicit, "AUTH TLS") and used in clear only
// when they do not offer it; "ftps://" servers speak TLS from the first byte; "sftp://" servers
// are reached over SSH, their host key checked against ~/.ssh/known_hosts. Certificates are
// verified. One connection is kept from the first command until "QUIT" or Cancel(); a directory
// change is remembered and applies to the commands after it.
class CurlFtpClient : public FtpClient {
public:
    // Runs a function on the engine's thread; called from the worker, so it must be safe to call
    // from any thread (QtEventLoop::Post is).
    using Post = std::function<void(std::function<void()>)>;

    // How long closing waits for a command in flight to be abandoned before leaving it behind.
    static constexpr std::chrono::seconds kShutdownWait{5};
    // A listing longer than this is cut short.
    static constexpr std::size_t kLargestListing = 4 * 1024 * 1024;

    // Without `post`, notifications wait until the engine's thread collects them with
    // DeliverFinished() (for a loop that is not thread-safe, such as the virtual-time one).
    explicit CurlFtpClient(Post post = {});
    // Abandons the command in flight and drops those queued; no notification runs afterwards.
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient&) = delete;
    CurlFtpClient& operator=(const CurlFtpClient&) = delete;

    void SetStateHandler(StateChanged handler) override;
    void SetSession(const FtpSession& session) override;
    void Execute(const std::string& command) override;
    bool StillExecuting() const override;
    int ResponseCode() const override;
    std::string ResponseText() const override;
    std::string GetChunk(std::size_t size) override;
    void Cancel() override;

    // Runs the notifications that have arrived; call on the engine's thread.
    void DeliverFinished();

    // "host", "host:port", "[v6]:port", each optionally after "ftp://", or "ftps://..." or
    // "sftp://...". Blanks around the text and a trailing "/" are ignored.
    static FtpEndpoint ParseServer(const std::string& server);

    // The state the engine's thread keeps; shared with the notifications in flight.
    struct Front;
    // The queue and the connection the worker keeps.
    struct Shared;

private:
    std::shared_ptr<Front> front_;
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

}  // namespace vigiltron
