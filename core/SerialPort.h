#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vigiltron {

// Event kinds a port reports to its owner. Values match the communications control the sensor
// family was designed around, so handlers can be written against the documented codes.
enum class CommEvent : int {
    Send = 1,
    Receive = 2,
    CtsChange = 3,
    DsrChange = 4,
    CdChange = 5,
    Ring = 6,
    Eof = 7,
    Break = 1001,
    CtsTimeout = 1002,
    DsrTimeout = 1003,
    Framing = 1004,
    Overrun = 1006,
    CdTimeout = 1007,
    RxOverflow = 1008,
    RxParity = 1009,
    TxFull = 1010,
    ControlBlock = 1011,
    // The device went away (USB cable pulled). The port is already closed when this arrives.
    DeviceLost = 1100,
};

class Dialogs;

// The message a receive handler shows for an error event, or nothing for events it ignores or
// hands on to the kind's own handler.
std::optional<std::string> CommErrorMessage(CommEvent event);

// Shows the system-modal message of an error event. True when `event` was one.
bool ShowCommError(Dialogs& dialogs, CommEvent event);

enum class Parity { None, Odd, Even, Mark, Space };

// A parsed line-settings text such as "9600,n,8,1".
struct LineSettings {
    int baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;  // 1 or 2 (1.5 is accepted as 15)

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Parses "baud,parity,data,stop". Returns nothing and fills `error` when the text is malformed.
std::optional<LineSettings> ParseLineSettings(std::string_view text, std::string* error = nullptr);

// A serial port with modem-status lines, driven like the classic communications control: set the
// properties, open, write text, read whatever has arrived. Events arrive through the OnComm
// handler on the engine's thread. Implementations: the QSerialPort adapter and the simulator.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Properties that take effect at the next open (RThreshold also at once).
    void SetCommPort(int comNumber) { commPort_ = comNumber; }
    int CommPort() const { return commPort_; }
    void SetSettings(std::string settings) { settings_ = std::move(settings); }
    const std::string& Settings() const { return settings_; }
    void SetRTSEnable(bool on) { rtsEnable_ = on; }
    bool RTSEnable() const { return rtsEnable_; }
    void SetSThreshold(int n) { sThreshold_ = n; }
    int SThreshold() const { return sThreshold_; }
    // 0: line-change events only; n > 0: a receive event once n or more bytes are waiting.
    void SetRThreshold(int n) { rThreshold_ = n; }
    int RThreshold() const { return rThreshold_; }

    // Opens the port with the current properties. False (with LastError) when the port is
    // missing, busy, already open, or the settings text is malformed.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    const std::string& LastError() const { return lastError_; }

    // Sends each character as one byte; nothing is appended. Ignored while closed.
    virtual void Output(std::string_view bytes) = 0;
    // Everything received since the last read; empty when nothing arrived. Never blocks.
    virtual std::string Input() = 0;
    virtual int InBufferCount() const = 0;

    virtual bool DSRHolding() const = 0;
    virtual bool CDHolding() const = 0;

    void SetOnComm(std::function<void(CommEvent)> handler) { onComm_ = std::move(handler); }

protected:
    void SetLastError(std::string error) { lastError_ = std::move(error); }
    void Notify(CommEvent event) {
        if (onComm_) {
            onComm_(event);
        }
    }

private:
    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    bool rtsEnable_ = false;
    int sThreshold_ = 0;
    int rThreshold_ = 0;
    std::string lastError_;
    std::function<void(CommEvent)> onComm_;
};

// Makes ports; the engine asks for one per device and group.
class SerialPortFactory {
public:
    virtual ~SerialPortFactory() = default;
    virtual std::unique_ptr<SerialPort> CreatePort() = 0;
};

}  // namespace vigiltron
