#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace vigiltron {

// The running program's end of the control channel: listens on a Unix domain socket that only
// its own user may use, reads one request line per connection, answers it with the line the
// handler gives and closes the connection. Nothing it does blocks: a client that connects and
// says nothing is dropped after a few seconds.
class ControlSocketServer {
public:
    // Answers one request line (without its line break) with one line.
    using Handler = std::function<std::string(const std::string& request)>;

    // How long a client may take to send its request once connected.
    static constexpr std::chrono::seconds kRequestWait{5};

    explicit ControlSocketServer(Handler handler);
    // Closes every connection and removes the socket, as long as it is still the one made here.
    ~ControlSocketServer();
    ControlSocketServer(const ControlSocketServer&) = delete;
    ControlSocketServer& operator=(const ControlSocketServer&) = delete;

    // Listens at `path` (made readable and writable by the owner only). A socket left there by
    // a run that ended without removing it is replaced; one that a live program still listens
    // on is left alone. Returns why it cannot listen, empty when it does.
    std::string Listen(const std::string& path);
    bool Listening() const { return listenFd_ >= 0; }
    const std::string& Path() const { return path_; }

    // Serves whatever has arrived: new connections and their request lines, without waiting.
    // A loop that never waits on descriptors (virtual time) calls it regularly.
    void Poll();
    // From now on the Qt event loop calls Poll() as soon as anything arrives.
    void ServeFromEventLoop();

private:
    struct Connection {
        int fd = -1;
        std::string received;
        std::chrono::steady_clock::time_point deadline;
        QSocketNotifier* notifier = nullptr;
        bool done = false;
    };

    void AcceptWaiting();
    // Reads what the client has sent; answers and marks the connection done once a whole line
    // (or too much, or the end) has come.
    void Serve(Connection& connection);
    void Answer(Connection& connection, const std::string& line);
    void Close(Connection& connection);
    void SetNotifiersEnabled(bool enabled);

    Handler handler_;
    std::string path_;
    int listenFd_ = -1;
    dev_t socketDevice_ = 0;
    ino_t socketInode_ = 0;
    std::vector<Connection> connections_;
    bool serving_ = false;
    bool fromEventLoop_ = false;
    std::unique_ptr<QSocketNotifier> listenNotifier_;
    std::unique_ptr<QTimer> expiryTimer_;
};

}  // namespace vigiltron
