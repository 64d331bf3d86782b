#pragma once

#include <set>
#include <string>
#include <string_view>

#include "core/EventLoop.h"
#include "core/SerialPort.h"

namespace vigiltron {

class SimulatedSerialPort;

// The far end of a simulated serial cable: whatever is plugged into a COM number. It receives
// the bytes the host writes, answers through timed deliveries on the loop, and drives the DSR and
// CD lines. The port it is connected to (while that port is open) sees only asynchronous
// arrivals, exactly as it would with hardware.
class SimulatedDevice {
public:
    explicit SimulatedDevice(EventLoop& loop);
    virtual ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    // Modem-status lines as the device drives them. Each change reaches an open port as one
    // DsrChange/CdChange event; a closed port reads the current state when it opens.
    bool Dsr() const { return dsr_; }
    bool Cd() const { return cd_; }
    void SetDsr(bool on);
    void SetCd(bool on);

    // Pulling the cable: an open port closes and reports DeviceLost; opening fails until the
    // device is plugged in again.
    void SetUnplugged(bool unplugged);
    bool Unplugged() const { return unplugged_; }

    // Makes the open port report an error event (framing, overrun, parity...), for tests and
    // scenarios. Ignored while no port is open.
    void InjectEvent(CommEvent event);

    // Pause between the bytes of one delivery; 0 delivers each reply in one piece. A gap splits
    // replies the way a slow line or a busy driver would.
    void SetCharacterGap(Milliseconds gap) { characterGap_ = gap; }
    Milliseconds CharacterGap() const { return characterGap_; }

    bool Connected() const { return port_ != nullptr; }

protected:
    EventLoop& Loop() const { return loop_; }

    // Bytes the host wrote, in the order written. Called inside the host's Output; answers must
    // go through Send so they arrive later.
    virtual void OnBytes(std::string_view bytes) = 0;
    virtual void OnConnected() {}
    virtual void OnDisconnected() {}

    // Delivers `bytes` to the connected port after `delay`. The line is first-in first-out: a
    // delivery never overtakes an earlier one. Bytes sent while no port is open are lost.
    void Send(std::string bytes, Milliseconds delay);

private:
    friend class SimulatedSerialPort;

    // Called by the port when it opens on this device and when it closes.
    void Connect(SimulatedSerialPort* port);
    void Disconnect();
    void Receive(std::string_view bytes) { OnBytes(bytes); }
    void Deliver(TimerId id, const std::string& bytes);

    EventLoop& loop_;
    SimulatedSerialPort* port_ = nullptr;
    bool dsr_ = false;
    bool cd_ = false;
    bool unplugged_ = false;
    Milliseconds characterGap_{0};
    Milliseconds lastDeliveryDue_{0};
    std::set<TimerId> deliveries_;
};

}  // namespace vigiltron
