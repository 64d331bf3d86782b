#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/EventLoop.h"
#include "reporting/MqttClient.h"

namespace vigiltron {

// Stands in while no MQTT transport is wired in (a run on simulated sensors, the configure
// commands): it never connects, and says so, later, through `loop`, as a real client would.
class UnconfiguredMqttClient : public MqttClient {
public:
    static constexpr const char* kReason = "no MQTT transport in this run";

    explicit UnconfiguredMqttClient(EventLoop& loop) : loop_(loop) {}

    void Start(const MqttConnection&) override {
        const std::uint64_t generation = ++generation_;
        loop_.Post([this, generation, alive = std::weak_ptr<int>(alive_)] {
            if (alive.expired() || generation != generation_ || !onConnectionChanged) {
                return;
            }
            onConnectionChanged(false, kReason);
        });
    }
    bool Publish(const MqttMessage&) override { return false; }
    void Stop(const std::vector<MqttMessage>&, Milliseconds) override { ++generation_; }
    bool Connected() const override { return false; }

private:
    EventLoop& loop_;
    std::uint64_t generation_ = 0;
    // A notice still queued when the client goes is dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace vigiltron
