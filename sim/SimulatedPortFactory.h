#pragma once

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "core/EventLoop.h"
#include "core/SerialPort.h"

namespace vigiltron {

class SimulatedDevice;
class SimulatedSerialPort;

// The simulated machine's COM ports: which device hangs on which COM number, and which numbers
// are held open. Makes SimulatedSerialPorts that open onto the attached devices.
class SimulatedPortFactory : public SerialPortFactory {
public:
    explicit SimulatedPortFactory(EventLoop& loop) : loop_(loop) {}
    ~SimulatedPortFactory() override;
    SimulatedPortFactory(const SimulatedPortFactory&) = delete;
    SimulatedPortFactory& operator=(const SimulatedPortFactory&) = delete;

    // Plugs `device` into COM `comNumber` (1 and up). A device already there is unplugged first
    // (an open port on it reports DeviceLost). False for a bad number or a null device.
    bool Attach(int comNumber, std::shared_ptr<SimulatedDevice> device);
    // Removes the device from COM `comNumber`, as if its cable were pulled.
    void Detach(int comNumber);
    // The device on `comNumber`, or null. Unplugged devices are still returned.
    std::shared_ptr<SimulatedDevice> Device(int comNumber) const;
    // COM numbers with a device that is plugged in, ascending: what a port scan would find.
    std::vector<int> AvailablePorts() const;
    bool IsBusy(int comNumber) const { return openPorts_.count(comNumber) != 0; }

    std::unique_ptr<SerialPort> CreatePort() override;
    std::unique_ptr<SimulatedSerialPort> CreateSimulatedPort();

private:
    friend class SimulatedSerialPort;

    void PortCreated(SimulatedSerialPort* port) { livePorts_.insert(port); }
    void PortDestroyed(SimulatedSerialPort* port) { livePorts_.erase(port); }
    void PortOpened(int comNumber, SimulatedSerialPort* port) { openPorts_[comNumber] = port; }
    void PortClosed(int comNumber, SimulatedSerialPort* port);

    EventLoop& loop_;
    std::map<int, std::shared_ptr<SimulatedDevice>> devices_;
    std::map<int, SimulatedSerialPort*> openPorts_;
    std::set<SimulatedSerialPort*> livePorts_;
};

}  // namespace vigiltron
