#include "platform/ControlSocketServer.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <exception>

#include "platform/ControlSocket.h"

namespace vigiltron {

namespace {

// More connections than this at once are not requests of a person: the oldest one goes.
constexpr std::size_t kMostConnections = 16;

std::string ErrorText(int error) {
    return std::strerror(error);
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

ControlSocketServer::ControlSocketServer(Handler handler) : handler_(std::move(handler)) {}

ControlSocketServer::~ControlSocketServer() {
    for (Connection& connection : connections_) {
        Close(connection);
        delete connection.notifier;
    }
    listenNotifier_.reset();
    if (listenFd_ < 0) {
        return;
    }
    ::close(listenFd_);
    // Another run may have replaced the socket since (after this one looked stale to it): only
    // our own is removed.
    struct stat now {};
    if (::lstat(path_.c_str(), &now) == 0 && now.st_dev == socketDevice_ &&
        now.st_ino == socketInode_) {
        ::unlink(path_.c_str());
    }
}

std::string ControlSocketServer::Listen(const std::string& path) {
    sockaddr_un address{};
    if (!FillAddress(path, address)) {
        return "the path " + path + " is too long for a socket";
    }
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            return path + " is in the way (it is not a socket)";
        }
        // A socket nobody answers on is what a crashed run leaves behind.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe < 0) {
            return "cannot make a socket: " + ErrorText(errno);
        }
        const int connected =
            ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        const int error = errno;
        ::close(probe);
        if (connected == 0) {
            return "another Vigiltron Manager already listens at " + path;
        }
        if (error != ECONNREFUSED) {
            return "cannot use " + path + ": " + ErrorText(error);
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            return "cannot replace " + path + ": " + ErrorText(errno);
        }
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return "cannot make a socket: " + ErrorText(errno);
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int error = errno;
        ::close(fd);
        return "cannot listen at " + path + ": " + ErrorText(error);
    }
    // Connections of other users are refused one by one as well (see AcceptWaiting): the mode
    // keeps them from even connecting.
    struct stat made {};
    if (::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 || ::lstat(path.c_str(), &made) != 0 ||
        ::listen(fd, 8) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return "cannot listen at " + path + ": " + ErrorText(error);
    }
    listenFd_ = fd;
    path_ = path;
    socketDevice_ = made.st_dev;
    socketInode_ = made.st_ino;
    return "";
}

void ControlSocketServer::ServeFromEventLoop() {
    if (listenFd_ < 0 || fromEventLoop_) {
        return;
    }
    fromEventLoop_ = true;
    listenNotifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    QObject::connect(listenNotifier_.get(), &QSocketNotifier::activated, [this] { Poll(); });
    // A client that never sends its line must still be dropped when nothing else happens.
    expiryTimer_ = std::make_unique<QTimer>();
    expiryTimer_->setInterval(1000);
    QObject::connect(expiryTimer_.get(), &QTimer::timeout, [this] { Poll(); });
}

void ControlSocketServer::Poll() {
    // A request's handler may let pending events run; the notifiers stay quiet meanwhile, or the
    // unread line would wake them again and again.
    if (serving_ || listenFd_ < 0) {
        return;
    }
    serving_ = true;
    SetNotifiersEnabled(false);
    AcceptWaiting();
    for (std::size_t i = 0; i < connections_.size(); ++i) {
        // Indexed: a handler that runs the loop cannot add connections, but stays on the safe
        // side of the vector anyway.
        Serve(connections_[i]);
    }
    for (Connection& connection : connections_) {
        if (connection.done) {
            Close(connection);
            if (connection.notifier != nullptr) {
                connection.notifier->deleteLater();
                connection.notifier = nullptr;
            }
        }
    }
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                      [](const Connection& c) { return c.done; }),
                       connections_.end());
    SetNotifiersEnabled(true);
    if (expiryTimer_) {
        if (connections_.empty()) {
            expiryTimer_->stop();
        } else if (!expiryTimer_->isActive()) {
            expiryTimer_->start();
        }
    }
    serving_ = false;
}

void ControlSocketServer::AcceptWaiting() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;  // EAGAIN: nobody else waiting; anything else: tried again next time
        }
        ucred peer{};
        socklen_t size = sizeof(peer);
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            peer.uid != ::geteuid()) {
            ::close(fd);
            continue;
        }
        const auto waiting = std::count_if(connections_.begin(), connections_.end(),
                                           [](const Connection& c) { return !c.done; });
        if (std::size_t(waiting) >= kMostConnections) {
            const auto oldest = std::find_if(connections_.begin(), connections_.end(),
                                             [](const Connection& c) { return !c.done; });
            oldest->done = true;
            Close(*oldest);
        }
        Connection connection;
        connection.fd = fd;
        connection.deadline = std::chrono::steady_clock::now() + kRequestWait;
        if (fromEventLoop_) {
            connection.notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
            connection.notifier->setEnabled(false);
            QObject::connect(connection.notifier, &QSocketNotifier::activated, [this] { Poll(); });
        }
        connections_.push_back(std::move(connection));
    }
}

void ControlSocketServer::Serve(Connection& connection) {
    if (connection.done) {
        return;
    }
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::recv(connection.fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got > 0) {
            connection.received.append(buffer, std::size_t(got));
            const auto end = connection.received.find('\n');
            if (end != std::string::npos) {
                std::string line = connection.received.substr(0, end);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                std::string answer;
                try {
                    answer = handler_ ? handler_(line) : std::string("refused: nothing to do");
                } catch (const std::exception& error) {
                    answer = std::string("refused: ") + error.what();
                }
                Answer(connection, answer);
                return;
            }
            if (connection.received.size() > kLongestControlLine) {
                Answer(connection, "refused: the request is too long");
                return;
            }
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            connection.done = true;  // gone before saying anything whole
            return;
        }
        if (errno == EINTR) {
            continue;
        }
        break;
    }
    if (std::chrono::steady_clock::now() >= connection.deadline) {
        connection.done = true;
    }
}

void ControlSocketServer::Answer(Connection& connection, const std::string& line) {
    std::string text = line;
    // One line back, whatever the handler said.
    std::replace(text.begin(), text.end(), '\n', ' ');
    text += '\n';
    // The client waits for it, so the socket's buffer takes a line this short whole; a client
    // that went away meanwhile simply misses it.
    [[maybe_unused]] const ssize_t sent =
        ::send(connection.fd, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    connection.done = true;
}

void ControlSocketServer::Close(Connection& connection) {
    if (connection.notifier != nullptr) {
        connection.notifier->setEnabled(false);
    }
    if (connection.fd >= 0) {
        ::close(connection.fd);
        connection.fd = -1;
    }
}

void ControlSocketServer::SetNotifiersEnabled(bool enabled) {
    if (listenNotifier_) {
        listenNotifier_->setEnabled(enabled);
    }
    for (Connection& connection : connections_) {
        if (connection.notifier != nullptr && connection.fd >= 0) {
            connection.notifier->setEnabled(enabled);
        }
    }
}

}  // namespace vigiltron
