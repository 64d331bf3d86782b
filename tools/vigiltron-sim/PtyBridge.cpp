#include "PtyBridge.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cstdio>

#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSerialPort.h"

namespace vigiltron {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + ::strerror(errno);
}

// Bytes as a person reads them in a trace: CR as \r, other controls as \xNN.
std::string Printable(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace

PtyBridge::PtyBridge(EventLoop& loop, SimulatedPortFactory& factory, int comNumber, Note note,
                     bool trace)
    : loop_(loop),
      comNumber_(comNumber),
      note_(std::move(note)),
      trace_(trace),
      port_(factory.CreateSimulatedPort()) {
    port_->SetCommPort(comNumber_);
    // Every reply is handed on as soon as its first byte is there.
    port_->SetRThreshold(1);
    port_->SetOnComm([this](CommEvent event) { OnPortEvent(event); });
    openPoll_.setInterval(int(kOpenPollInterval.count()));
    QObject::connect(&openPoll_, &QTimer::timeout, [this] { LookForClient(); });
}

PtyBridge::~PtyBridge() {
    openPoll_.stop();
    readNotifier_.reset();
    writeNotifier_.reset();
    port_->SetOnComm(nullptr);
    port_->Close();
    port_.reset();
    if (master_ >= 0) {
        ::close(master_);
    }
}

bool PtyBridge::Start(std::string* error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        *error = SystemError("cannot make a pseudo-terminal");
        return false;
    }
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        *error = SystemError("cannot unlock the pseudo-terminal");
        return false;
    }
    slavePath_ = name;
    // Raw, so a CR arrives as a CR and nothing is echoed. The slave is closed again at once: a
    // slave nobody holds reads as hung up on the master, which is how a program's arrival and
    // departure show.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = SystemError("cannot open " + slavePath_);
        return false;
    }
    termios settings{};
    const bool raw = ::tcgetattr(slave, &settings) == 0 &&
                     (::cfmakeraw(&settings), ::tcsetattr(slave, TCSANOW, &settings) == 0);
    if (!raw) {
        *error = SystemError("cannot set " + slavePath_ + " to raw mode");
        ::close(slave);
        return false;
    }
    ::close(slave);

    readNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    readNotifier_->setEnabled(false);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, [this] { ReadFromHost(); });
    writeNotifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, [this] { FlushToHost(); });
    openPoll_.start();
    return true;
}

bool PtyBridge::SlaveHungUp() const {
    pollfd poller{master_, POLLIN, 0};
    return ::poll(&poller, 1, 0) > 0 && (poller.revents & POLLHUP) != 0;
}

void PtyBridge::LookForClient() {
    if (!client_ && !SlaveHungUp()) {
        ClientArrived();
    }
}

void PtyBridge::ClientArrived() {
    openPoll_.stop();
    client_ = true;
    Trace("a program opened " + slavePath_);
    EnsurePortOpen();
    readNotifier_->setEnabled(true);
    // Whatever it wrote before we noticed it is waiting already.
    ReadFromHost();
}

void PtyBridge::ClientLeft() {
    if (!client_) {
        return;
    }
    client_ = false;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    pendingOut_.clear();
    // The sensor sees its port closed: replies on their way are lost, streaming pauses.
    port_->Close();
    Trace("the program closed " + slavePath_);
    openPoll_.start();
}

bool PtyBridge::EnsurePortOpen() {
    if (port_->IsOpen()) {
        return true;
    }
    if (!port_->Open()) {
        return false;
    }
    if (unplugNoted_) {
        unplugNoted_ = false;
        note_("the " + deviceWord_ + " is plugged in again");
    }
    return true;
}

void PtyBridge::ReadFromHost() {
    while (client_) {
        char buffer[512];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (n <= 0) {
            // EIO: the last holder of the slave closed it.
            ClientLeft();
            return;
        }
        const std::string_view bytes(buffer, std::size_t(n));
        if (!EnsurePortOpen()) {
            Trace("host>   " + Printable(bytes) + "   (dropped: the " + deviceWord_ +
                  " is unplugged)");
            continue;
        }
        Trace("host>   " + Printable(bytes));
        port_->Output(bytes);
    }
}

void PtyBridge::WriteToHost(const std::string& bytes) {
    if (!client_) {
        return;
    }
    // A program that went away since the last read must not find these bytes when it comes back.
    if (SlaveHungUp()) {
        ClientLeft();
        return;
    }
    // Padded like "host>   " so both directions line up.
    std::string label = deviceWord_ + ">";
    label.resize(std::max<std::size_t>(label.size() + 1, 8), ' ');
    Trace(label + Printable(bytes));
    const std::size_t room = kMaxPendingOut - std::min(kMaxPendingOut, pendingOut_.size());
    if (bytes.size() > room && !overflowNoted_) {
        overflowNoted_ = true;
        note_("the program is not reading; " + deviceWord_ + " output beyond 64 KiB is dropped");
    }
    pendingOut_.append(bytes, 0, std::min(room, bytes.size()));
    FlushToHost();
}

void PtyBridge::FlushToHost() {
    while (!pendingOut_.empty()) {
        const ssize_t n = ::write(master_, pendingOut_.data(), pendingOut_.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writeNotifier_->setEnabled(true);
            return;
        }
        if (n < 0) {
            pendingOut_.clear();
            break;
        }
        pendingOut_.erase(0, std::size_t(n));
    }
    writeNotifier_->setEnabled(false);
    overflowNoted_ = false;
}

void PtyBridge::OnPortEvent(CommEvent event) {
    switch (event) {
        case CommEvent::Receive:
            WriteToHost(port_->Input());
            return;
        case CommEvent::DsrChange:
        case CommEvent::CdChange:
            if (!linesNoted_) {
                linesNoted_ = true;
                note_(
                    "the sensor changes its DSR/CD lines, which a pseudo-terminal cannot carry: "
                    "the program reads them as low");
            }
            Trace(event == CommEvent::DsrChange ? "sensor  DSR changed (not carried)"
                                                : "sensor  CD changed (not carried)");
            return;
        case CommEvent::DeviceLost:
            unplugNoted_ = true;
            note_("the " + deviceWord_ +
                  " is unplugged: it stays silent until it is plugged in again");
            return;
        default:
            // Framing, overrun and the like are conditions of a real line, not bytes.
            note_("line fault " + std::to_string(int(event)) +
                  " cannot be carried over a pseudo-terminal; ignored");
            return;
    }
}

void PtyBridge::Trace(const std::string& line) {
    if (trace_) {
        note_("+" + std::to_string(loop_.Elapsed().count()) + "ms " + line);
    }
}

}  // namespace vigiltron
