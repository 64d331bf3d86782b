#include "sim/SimulatedPortFactory.h"

#include "sim/SimulatedDevice.h"
#include "sim/SimulatedSerialPort.h"

namespace vigiltron {

SimulatedPortFactory::~SimulatedPortFactory() {
    // Ports may outlive the factory (the engine owns them); they close and stop finding devices.
    const std::set<SimulatedSerialPort*> ports = livePorts_;
    for (SimulatedSerialPort* port : ports) {
        port->Close();
        port->FactoryGone();
    }
}

bool SimulatedPortFactory::Attach(int comNumber, std::shared_ptr<SimulatedDevice> device) {
    if (comNumber < 1 || device == nullptr) {
        return false;
    }
    Detach(comNumber);
    devices_[comNumber] = std::move(device);
    return true;
}

void SimulatedPortFactory::Detach(int comNumber) {
    const auto open = openPorts_.find(comNumber);
    if (open != openPorts_.end()) {
        open->second->DeviceLost();
    }
    devices_.erase(comNumber);
}

std::shared_ptr<SimulatedDevice> SimulatedPortFactory::Device(int comNumber) const {
    const auto it = devices_.find(comNumber);
    return it == devices_.end() ? nullptr : it->second;
}

std::vector<int> SimulatedPortFactory::AvailablePorts() const {
    std::vector<int> ports;
    for (const auto& [comNumber, device] : devices_) {
        if (!device->Unplugged()) {
            ports.push_back(comNumber);
        }
    }
    return ports;
}

std::unique_ptr<SerialPort> SimulatedPortFactory::CreatePort() {
    return CreateSimulatedPort();
}

std::unique_ptr<SimulatedSerialPort> SimulatedPortFactory::CreateSimulatedPort() {
    return std::make_unique<SimulatedSerialPort>(loop_, *this);
}

void SimulatedPortFactory::PortClosed(int comNumber, SimulatedSerialPort* port) {
    const auto it = openPorts_.find(comNumber);
    if (it != openPorts_.end() && it->second == port) {
        openPorts_.erase(it);
    }
}

}  // namespace vigiltron
