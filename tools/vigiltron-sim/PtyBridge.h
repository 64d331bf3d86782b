#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "core/EventLoop.h"
#include "core/SerialPort.h"

class QSocketNotifier;

namespace vigiltron {

class SimulatedPortFactory;
class SimulatedSerialPort;

// Plays the far end of a serial cable on the master side of a pseudo-terminal: a program opens
// the slave like a serial device, and whatever it writes goes to the simulated device on one COM
// number of the factory, whose replies come back the same way. Only bytes cross; DSR and CD cannot.
//
// The simulated port is held open only while a program has the slave open, so a streaming sensor
// pauses in between and nobody finds stale lines waiting when they open the port.
class PtyBridge {
public:
    // Says what happened, one line at a time (no line end).
    using Note = std::function<void(const std::string&)>;

    // Bytes waiting for a program that does not read are dropped beyond this many.
    static constexpr std::size_t kMaxPendingOut = 64 * 1024;
    // How often the bridge looks for a program opening the slave while none has it open.
    static constexpr Milliseconds kOpenPollInterval{10};

    // `trace` also reports every exchange and every program coming and going.
    PtyBridge(EventLoop& loop, SimulatedPortFactory& factory, int comNumber, Note note, bool trace);
    ~PtyBridge();
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    // What the far end is called in notes and traces: "sensor" unless set ("modem").
    void SetDeviceWord(std::string word) { deviceWord_ = std::move(word); }

    // Makes the pseudo-terminal (raw mode) and starts waiting for a program. False with `error`
    // filled when the system will not give one.
    bool Start(std::string* error);
    // The device path programs open, e.g. "/dev/pts/5".
    const std::string& SlavePath() const { return slavePath_; }

private:
    void LookForClient();
    void ClientArrived();
    void ClientLeft();
    bool SlaveHungUp() const;
    bool EnsurePortOpen();
    void ReadFromHost();
    void WriteToHost(const std::string& bytes);
    void FlushToHost();
    void OnPortEvent(CommEvent event);
    void Trace(const std::string& line);

    EventLoop& loop_;
    int comNumber_;
    Note note_;
    bool trace_;
    std::unique_ptr<SimulatedSerialPort> port_;
    int master_ = -1;
    std::string slavePath_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QTimer openPoll_;
    bool client_ = false;
    bool unplugNoted_ = false;
    bool linesNoted_ = false;
    bool overflowNoted_ = false;
    std::string pendingOut_;
    std::string deviceWord_ = "sensor";
};

}  // namespace vigiltron
