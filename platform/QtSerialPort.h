#pragma once

#include <QObject>
#include <QSerialPort>
#include <optional>
#include <string>
#include <vector>

#include "core/SerialPort.h"
#include "platform/ModemLineWatcher.h"
#include "platform/PortMap.h"

namespace vigiltron {

// Receive-error counters of a serial driver (TIOCGICOUNT).
struct LineErrorCounts {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufferOverrun = 0;

    friend bool operator==(const LineErrorCounts&, const LineErrorCounts&) = default;
};

// One event per kind of receive error whose counter went up, in the order of their codes.
std::vector<CommEvent> LineErrorEvents(const LineErrorCounts& before, const LineErrorCounts& after);

// A serial port of this machine behind the engine's port interface: data through QSerialPort,
// DSR and CD through a ModemLineWatcher, the COM number resolved through the port map. Must be
// used from the thread that runs the Qt event loop; all events arrive there. A handler may close
// or reopen the port but must not destroy it (QSerialPort is still on the stack): defer that.
class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(PortMap portMap);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override;

    void Output(std::string_view bytes) override;
    std::string Input() override;
    int InBufferCount() const override;

    bool DSRHolding() const override;
    bool CDHolding() const override;

    // The device path the current COM number resolves to.
    std::string DevicePath() const { return portMap_.DevicePath(CommPort()); }

private:
    bool Fail(const std::string& error);
    // Sets the line up; returns what failed, or "" when all took.
    std::string ApplySettings(const LineSettings& settings);
    void OnReadyRead();
    std::optional<LineErrorCounts> ReadErrorCounts() const;
    void ReportLineErrors();
    void OnError(QSerialPort::SerialPortError error);
    void FinishDeviceLost(unsigned openCount);

    PortMap portMap_;
    QSerialPort port_;
    ModemLineWatcher watcher_;
    QObject context_;  // target of our own deferred calls, dropped with the port
    std::optional<LineErrorCounts> errorCounts_;  // nothing when the driver keeps no counters
    bool opening_ = false;
    bool lost_ = false;  // the device vanished; the port closes at the next turn of the loop
    unsigned openCount_ = 0;
};

// Makes QtSerialPorts that resolve COM numbers through one port map. A map read from the settings
// is asked at every open, so a COM number mapped while the program runs is found at once.
class QtSerialPortFactory : public SerialPortFactory {
public:
    explicit QtSerialPortFactory(const PortMap& portMap) : portMap_(portMap) {}
    std::unique_ptr<SerialPort> CreatePort() override;

private:
    PortMap portMap_;
};

}  // namespace vigiltron
