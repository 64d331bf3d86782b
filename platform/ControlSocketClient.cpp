#include "platform/ControlSocketClient.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstring>
#include <thread>

#include "platform/ControlSocket.h"

namespace vigiltron {

namespace {

using Clock = std::chrono::steady_clock;

// Closes the descriptor however the exchange ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

ControlSocketReply Failure(std::string text) {
    return {ControlSocketReply::Outcome::Failed, std::move(text)};
}

}  // namespace

ControlSocketReply ControlSocketClient::Send(const std::string& socketPath,
                                             const std::string& request,
                                             std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof(address.sun_path)) {
        return Failure("the path " + socketPath + " is too long for a socket");
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.Get() < 0) {
        return Failure(std::string("cannot make a socket: ") + std::strerror(errno));
    }
    for (;;) {
        if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) ==
            0) {
            break;
        }
        const int error = errno;
        if (error == ENOENT || error == ECONNREFUSED) {
            return {ControlSocketReply::Outcome::NobodyListening, ""};
        }
        // EAGAIN: the program's queue of waiting connections is full for the moment.
        if ((error != EAGAIN && error != EINTR) || MillisecondsLeft(deadline) == 0) {
            return Failure("cannot connect to " + socketPath + ": " + std::strerror(error));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    std::string line = request + "\n";
    std::size_t sent = 0;
    while (sent < line.size()) {
        pollfd writable{socket.Get(), POLLOUT, 0};
        if (::poll(&writable, 1, MillisecondsLeft(deadline)) <= 0) {
            return Failure("the running program did not take the request in time");
        }
        const ssize_t n =
            ::send(socket.Get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return Failure(std::string("the request could not be sent: ") + std::strerror(errno));
        }
        sent += n > 0 ? std::size_t(n) : 0;
    }

    std::string answer;
    for (;;) {
        const auto end = answer.find('\n');
        if (end != std::string::npos) {
            return {ControlSocketReply::Outcome::Answered, answer.substr(0, end)};
        }
        if (answer.size() > kLongestControlLine) {
            return Failure("the answer is too long");
        }
        pollfd readable{socket.Get(), POLLIN, 0};
        const int ready = ::poll(&readable, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return Failure("no answer from the running program within " +
                           std::to_string(timeout.count() / 1000) +
                           " seconds (it may be busy); the request may still be carried out");
        }
        char buffer[512];
        const ssize_t got = ::recv(socket.Get(), buffer, sizeof(buffer), 0);
        if (got == 0) {
            return Failure("the running program closed the connection without an answer");
        }
        if (got < 0 && errno != EAGAIN && errno != EINTR) {
            return Failure(std::string("the answer could not be read: ") + std::strerror(errno));
        }
        if (got > 0) {
            answer.append(buffer, std::size_t(got));
        }
    }
}

}  // namespace vigiltron
