#include "platform/QtSerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace vigiltron {

namespace {

QSerialPort::Parity ToQtParity(Parity parity) {
    switch (parity) {
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits ToQtStopBits(int stopBits) {
    switch (stopBits) {
        case 2:
            return QSerialPort::TwoStop;
        case 15:
            return QSerialPort::OneAndHalfStop;
        default:
            return QSerialPort::OneStop;
    }
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) use majors 136 to 143.
bool IsPseudoTerminal(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned m = major(info.st_rdev);
    return m >= 136 && m <= 143;
}

}  // namespace

std::vector<CommEvent> LineErrorEvents(const LineErrorCounts& before,
                                       const LineErrorCounts& after) {
    std::vector<CommEvent> events;
    if (after.brk > before.brk) {
        events.push_back(CommEvent::Break);
    }
    if (after.frame > before.frame) {
        events.push_back(CommEvent::Framing);
    }
    if (after.overrun > before.overrun) {
        events.push_back(CommEvent::Overrun);
    }
    if (after.bufferOverrun > before.bufferOverrun) {
        events.push_back(CommEvent::RxOverflow);
    }
    if (after.parity > before.parity) {
        events.push_back(CommEvent::RxParity);
    }
    return events;
}

QtSerialPort::QtSerialPort(PortMap portMap)
    : portMap_(std::move(portMap)), watcher_([this](CommEvent event) { Notify(event); }) {
    QObject::connect(&port_, &QSerialPort::readyRead, &context_, [this] { OnReadyRead(); });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &context_,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

QtSerialPort::~QtSerialPort() {
    Close();
}

bool QtSerialPort::Fail(const std::string& error) {
    SetLastError(error);
    return false;
}

bool QtSerialPort::Open() {
    const std::string name = "COM" + std::to_string(CommPort());
    if (IsOpen()) {
        return Fail(name + " is already open");
    }
    // A port that was lost but not yet closed is finished off first.
    Close();

    std::string settingsError;
    const std::optional<LineSettings> settings = ParseLineSettings(Settings(), &settingsError);
    if (!settings) {
        return Fail(settingsError);
    }
    const std::string path = DevicePath();
    if (path.empty()) {
        return Fail(name + " is not a valid port number");
    }
    const std::string where = name + " (" + path + ")";

    opening_ = true;
    port_.setPortName(QString::fromStdString(path));
    if (!port_.open(QIODevice::ReadWrite)) {
        opening_ = false;
        const std::string why = port_.errorString().toStdString();
        port_.clearError();
        return Fail("Cannot open " + where + ": " + why);
    }
    if (const std::string why = ApplySettings(*settings); !why.empty()) {
        port_.close();
        port_.clearError();
        opening_ = false;
        return Fail("Cannot apply settings \"" + Settings() + "\" to " + where + ": " + why);
    }
    // Ports without modem-control lines (pseudo-terminals) refuse these; that is not a failure.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(RTSEnable());
    port_.clearError();
    opening_ = false;

    ++openCount_;
    lost_ = false;
    errorCounts_ = ReadErrorCounts();
    SetLastError("");
    // The watcher works on its own duplicate of the descriptor, so it needs no second open (which
    // the exclusive mode QSerialPort sets would refuse) and closing it never touches the port's.
    const int fd = ::fcntl(port_.handle(), F_DUPFD_CLOEXEC, 0);
    watcher_.Start(fd >= 0 ? std::make_unique<TtyModemLineSource>(fd) : nullptr);
    return true;
}

std::string QtSerialPort::ApplySettings(const LineSettings& settings) {
    const auto failed = [this](const char* what) {
        return std::string(what) + ": " + port_.errorString().toStdString();
    };
    if (!port_.setBaudRate(settings.baudRate)) {
        return failed("baud rate");
    }
    if (!port_.setDataBits(QSerialPort::DataBits(settings.dataBits))) {
        return failed("data bits");
    }
    if (!port_.setStopBits(ToQtStopBits(settings.stopBits))) {
        return failed("stop bits");
    }
    if (!port_.setFlowControl(QSerialPort::NoFlowControl)) {
        return failed("flow control");
    }
    // Parity comes last: recent kernels refuse it on pseudo-terminals (EINVAL), which carry no
    // framing anyway, so there the refusal is let pass. A real port that refuses it fails.
    if (!port_.setParity(ToQtParity(settings.parity)) && !IsPseudoTerminal(port_.handle())) {
        return failed("parity");
    }
    return "";
}

void QtSerialPort::Close() {
    watcher_.Stop();
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
    lost_ = false;
    errorCounts_.reset();
    ++openCount_;  // a pending device-lost close belongs to the port just closed
}

bool QtSerialPort::IsOpen() const {
    return port_.isOpen() && !lost_;
}

void QtSerialPort::Output(std::string_view bytes) {
    if (!IsOpen() || bytes.empty()) {
        return;
    }
    port_.write(bytes.data(), qint64(bytes.size()));
    // Hand the bytes to the driver now rather than at the next turn of the event loop, so the
    // pauses between the characters of a command reach the wire as they are.
    port_.flush();
}

std::string QtSerialPort::Input() {
    if (!IsOpen()) {
        return "";
    }
    const QByteArray data = port_.readAll();
    return std::string(data.constData(), std::size_t(data.size()));
}

int QtSerialPort::InBufferCount() const {
    return IsOpen() ? int(port_.bytesAvailable()) : 0;
}

bool QtSerialPort::DSRHolding() const {
    return IsOpen() && watcher_.Lines().dsr;
}

bool QtSerialPort::CDHolding() const {
    return IsOpen() && watcher_.Lines().cd;
}

std::optional<LineErrorCounts> QtSerialPort::ReadErrorCounts() const {
    serial_icounter_struct counts{};
    if (!port_.isOpen() || ::ioctl(port_.handle(), TIOCGICOUNT, &counts) != 0) {
        return std::nullopt;
    }
    return LineErrorCounts{counts.frame, counts.overrun, counts.parity, counts.brk,
                           counts.buf_overrun};
}

void QtSerialPort::ReportLineErrors() {
    // Qt 6 no longer reports parity, framing and break errors, so the driver's counters are
    // compared instead. A receive error always comes with received bytes, so checking on each
    // arrival is enough.
    if (!errorCounts_) {
        return;
    }
    const std::optional<LineErrorCounts> now = ReadErrorCounts();
    if (!now) {
        return;
    }
    const std::vector<CommEvent> events = LineErrorEvents(*errorCounts_, *now);
    errorCounts_ = now;
    const unsigned openCount = openCount_;
    for (const CommEvent event : events) {
        if (openCount != openCount_) {
            return;  // a handler closed the port
        }
        Notify(event);
    }
}

void QtSerialPort::OnReadyRead() {
    if (!IsOpen()) {
        return;
    }
    const unsigned openCount = openCount_;
    ReportLineErrors();
    if (openCount == openCount_ && IsOpen() && RThreshold() > 0 &&
        InBufferCount() >= RThreshold()) {
        Notify(CommEvent::Receive);
    }
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
    if (opening_ || !IsOpen()) {
        return;
    }
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError) {
        return;
    }
    // The device vanished (USB cable pulled, pseudo-terminal hung up). The port counts as closed
    // from now on; the real close waits for the next turn of the loop because QSerialPort is
    // still inside its own read or write here.
    lost_ = true;
    const char* kind = error == QSerialPort::WriteError  ? "write error"
                       : error == QSerialPort::ReadError ? "read error"
                                                         : "resource error";
    SetLastError("COM" + std::to_string(CommPort()) + " (" + DevicePath() +
                 ") was lost: the device was removed or hung up (" + kind + ")");
    QMetaObject::invokeMethod(
        &context_, [this, openCount = openCount_] { FinishDeviceLost(openCount); },
        Qt::QueuedConnection);
}

void QtSerialPort::FinishDeviceLost(unsigned openCount) {
    if (openCount != openCount_) {
        return;  // closed (and perhaps reopened) meanwhile
    }
    const std::string error = LastError();
    Close();
    SetLastError(error);
    Notify(CommEvent::DeviceLost);
}

std::unique_ptr<SerialPort> QtSerialPortFactory::CreatePort() {
    return std::make_unique<QtSerialPort>(portMap_);
}

}  // namespace vigiltron
