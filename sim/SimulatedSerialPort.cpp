#include "sim/SimulatedSerialPort.h"

#include <algorithm>
#include <utility>

#include "sim/SimulatedDevice.h"
#include "sim/SimulatedPortFactory.h"

namespace vigiltron {

namespace {

std::string PortName(int comNumber) {
    return "COM" + std::to_string(comNumber);
}

}  // namespace

SimulatedSerialPort::SimulatedSerialPort(EventLoop& loop, SimulatedPortFactory& factory)
    : loop_(loop), factory_(&factory) {
    factory_->PortCreated(this);
}

SimulatedSerialPort::~SimulatedSerialPort() {
    if (IsOpen()) {
        Disconnect();
    }
    for (const TimerId id : pendingAlways_) {
        loop_.CancelTimer(id);
    }
    if (factory_ != nullptr) {
        factory_->PortDestroyed(this);
    }
}

bool SimulatedSerialPort::Open() {
    const std::string name = PortName(CommPort());
    if (IsOpen()) {
        SetLastError(name + ": port already open");
        return false;
    }
    std::string settingsError;
    if (!ParseLineSettings(Settings(), &settingsError)) {
        SetLastError(name + ": " + settingsError);
        return false;
    }
    std::shared_ptr<SimulatedDevice> device =
        factory_ != nullptr ? factory_->Device(CommPort()) : nullptr;
    if (device == nullptr || device->Unplugged()) {
        SetLastError(name + ": no such port");
        return false;
    }
    // The same device may hang on one cable only; a second open of it is as busy as the COM.
    if (factory_->IsBusy(CommPort()) || device->Connected()) {
        SetLastError(name + ": port is busy");
        return false;
    }
    SetLastError("");
    device_ = std::move(device);
    openCom_ = CommPort();
    inBuffer_.clear();
    overflowReported_ = false;
    factory_->PortOpened(openCom_, this);
    device_->Connect(this);
    return true;
}

void SimulatedSerialPort::Close() {
    if (IsOpen()) {
        Disconnect();
    }
}

void SimulatedSerialPort::Disconnect() {
    for (const TimerId id : pendingWhileOpen_) {
        loop_.CancelTimer(id);
    }
    pendingWhileOpen_.clear();
    std::shared_ptr<SimulatedDevice> device = std::exchange(device_, nullptr);
    if (factory_ != nullptr) {
        factory_->PortClosed(openCom_, this);
    }
    openCom_ = 0;
    inBuffer_.clear();
    overflowReported_ = false;
    device->Disconnect();
}

void SimulatedSerialPort::Output(std::string_view bytes) {
    if (!IsOpen()) {
        return;
    }
    written_.append(bytes);
    // Trimmed in batches, so each write costs no more than its own bytes on average.
    if (written_.size() > 2 * kWrittenHistory) {
        written_.erase(0, written_.size() - kWrittenHistory);
    }
    // Keeps the device alive even if it unplugs itself while taking the bytes.
    const std::shared_ptr<SimulatedDevice> device = device_;
    device->Receive(bytes);
}

std::string SimulatedSerialPort::Written() const {
    const std::size_t kept = std::min(written_.size(), kWrittenHistory);
    return written_.substr(written_.size() - kept);
}

std::string SimulatedSerialPort::Input() {
    overflowReported_ = false;
    return std::exchange(inBuffer_, std::string());
}

bool SimulatedSerialPort::DSRHolding() const {
    return IsOpen() && device_->Dsr();
}

bool SimulatedSerialPort::CDHolding() const {
    return IsOpen() && device_->Cd();
}

void SimulatedSerialPort::Arrive(std::string_view bytes) {
    if (!IsOpen()) {
        return;
    }
    const std::size_t room = kInBufferSize - inBuffer_.size();
    const bool overflow = bytes.size() > room;
    inBuffer_.append(bytes.substr(0, room));
    if (overflow && !overflowReported_) {
        overflowReported_ = true;
        Notify(CommEvent::RxOverflow);
        if (!IsOpen()) {
            return;
        }
    }
    if (RThreshold() > 0 && InBufferCount() >= RThreshold() && !bytes.empty()) {
        Notify(CommEvent::Receive);
    }
}

void SimulatedSerialPort::LineChanged(CommEvent event) {
    NotifyLater(event);
}

void SimulatedSerialPort::Inject(CommEvent event) {
    NotifyLater(event);
}

void SimulatedSerialPort::DeviceLost() {
    if (!IsOpen()) {
        return;
    }
    Disconnect();
    NotifyLater(CommEvent::DeviceLost, true);
}

void SimulatedSerialPort::NotifyLater(CommEvent event, bool evenWhenClosed) {
    std::set<TimerId>& pending = evenWhenClosed ? pendingAlways_ : pendingWhileOpen_;
    auto id = std::make_shared<TimerId>(0);
    *id = loop_.StartTimer(Milliseconds(0), [this, id, event, &pending] {
        pending.erase(*id);
        Notify(event);
    });
    pending.insert(*id);
}

}  // namespace vigiltron
