#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "core/EventLoop.h"
#include "core/SerialPort.h"

namespace vigiltron {

class SimulatedDevice;
class SimulatedPortFactory;

// A serial port whose far end is a simulated device attached to its COM number in a
// SimulatedPortFactory. Replies, line changes and errors arrive through the loop's timers, never
// inside Output, so the engine meets the same asynchrony as with real hardware.
class SimulatedSerialPort : public SerialPort {
public:
    // Received bytes beyond this many are dropped and reported once as RxOverflow.
    static constexpr std::size_t kInBufferSize = 4096;
    // How much of what was written Written() can show: enough for any test's exchange, small
    // enough that a port open for weeks does not grow.
    static constexpr std::size_t kWrittenHistory = 64 * 1024;

    // The factory must outlive the port or the port stops finding devices (never dangles).
    SimulatedSerialPort(EventLoop& loop, SimulatedPortFactory& factory);
    ~SimulatedSerialPort() override;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return device_ != nullptr; }

    void Output(std::string_view bytes) override;
    std::string Input() override;
    int InBufferCount() const override { return static_cast<int>(inBuffer_.size()); }

    bool DSRHolding() const override;
    bool CDHolding() const override;

    // The last kWrittenHistory bytes written through this port since it was made, for tests.
    std::string Written() const;

private:
    friend class SimulatedDevice;
    friend class SimulatedPortFactory;

    // Device side, called by the connected device from the loop's callbacks.
    void Arrive(std::string_view bytes);
    void LineChanged(CommEvent event);
    void Inject(CommEvent event);
    void DeviceLost();
    void FactoryGone() { factory_ = nullptr; }

    // Closes without touching the factory's bookkeeping of busy COM numbers.
    void Disconnect();
    // Runs `notify` through a zero-delay timer that is cancelled if the port closes or goes away.
    void NotifyLater(CommEvent event, bool evenWhenClosed = false);

    EventLoop& loop_;
    SimulatedPortFactory* factory_;
    std::shared_ptr<SimulatedDevice> device_;
    int openCom_ = 0;
    std::string inBuffer_;
    bool overflowReported_ = false;
    std::string written_;
    std::set<TimerId> pendingWhileOpen_;
    std::set<TimerId> pendingAlways_;
};

}  // namespace vigiltron
