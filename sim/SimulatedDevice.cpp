#include "sim/SimulatedDevice.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "sim/SimulatedSerialPort.h"

namespace vigiltron {

SimulatedDevice::SimulatedDevice(EventLoop& loop) : loop_(loop) {}

SimulatedDevice::~SimulatedDevice() {
    for (const TimerId id : deliveries_) {
        loop_.CancelTimer(id);
    }
}

void SimulatedDevice::SetDsr(bool on) {
    if (dsr_ == on) {
        return;
    }
    dsr_ = on;
    if (port_ != nullptr) {
        port_->LineChanged(CommEvent::DsrChange);
    }
}

void SimulatedDevice::SetCd(bool on) {
    if (cd_ == on) {
        return;
    }
    cd_ = on;
    if (port_ != nullptr) {
        port_->LineChanged(CommEvent::CdChange);
    }
}

void SimulatedDevice::SetUnplugged(bool unplugged) {
    unplugged_ = unplugged;
    if (unplugged_ && port_ != nullptr) {
        port_->DeviceLost();
    }
}

void SimulatedDevice::InjectEvent(CommEvent event) {
    if (port_ != nullptr) {
        port_->Inject(event);
    }
}

void SimulatedDevice::Send(std::string bytes, Milliseconds delay) {
    if (port_ == nullptr || bytes.empty()) {
        return;
    }
    const Milliseconds now = loop_.Elapsed();
    Milliseconds due = std::max(now + std::max(delay, Milliseconds(0)), lastDeliveryDue_);
    std::vector<std::string> pieces;
    if (characterGap_.count() <= 0) {
        pieces.push_back(std::move(bytes));
    } else {
        for (const char c : bytes) {
            pieces.emplace_back(1, c);
        }
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            due += characterGap_;
        }
        auto id = std::make_shared<TimerId>(0);
        *id = loop_.StartTimer(due - now,
                               [this, id, piece = std::move(pieces[i])] { Deliver(*id, piece); });
        deliveries_.insert(*id);
    }
    lastDeliveryDue_ = due;
}

void SimulatedDevice::Deliver(TimerId id, const std::string& bytes) {
    deliveries_.erase(id);
    if (port_ != nullptr) {
        port_->Arrive(bytes);
    }
}

void SimulatedDevice::Connect(SimulatedSerialPort* port) {
    port_ = port;
    lastDeliveryDue_ = loop_.Elapsed();
    OnConnected();
}

void SimulatedDevice::Disconnect() {
    // Bytes still on their way to a port that closed are lost, as on a real line.
    for (const TimerId id : deliveries_) {
        loop_.CancelTimer(id);
    }
    deliveries_.clear();
    port_ = nullptr;
    OnDisconnected();
}

}  // namespace vigiltron
