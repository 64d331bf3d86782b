#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/EventLoop.h"
#include "reporting/MqttClient.h"

namespace vigiltron {

// A broker connection that records what it is handed and whose broker the test takes away and
// brings back. Like the real client it tells connection changes later, through the loop.
class FakeMqttClient : public MqttClient {
public:
    explicit FakeMqttClient(EventLoop& loop) : loop_(loop) {}

    void Start(const MqttConnection& connection) override {
        starts.push_back(connection);
        started_ = true;
        connected_ = false;
        ++generation_;
        if (brokerUp_) {
            Tell(true, "");
        } else {
            Tell(false, "Connection refused");
        }
    }
    bool Publish(const MqttMessage& message) override {
        if (!connected_) {
            return false;
        }
        published.push_back(message);
        return true;
    }
    void Stop(const std::vector<MqttMessage>& last, Milliseconds) override {
        if (connected_) {
            published.insert(published.end(), last.begin(), last.end());
        }
        ++stops;
        started_ = false;
        connected_ = false;
        ++generation_;
    }
    bool Connected() const override { return connected_; }

    // The broker goes away, or comes back (the client reconnects by itself).
    void BrokerDown(const std::string& reason) {
        brokerUp_ = false;
        if (started_) {
            connected_ = false;
            Tell(false, reason);
        }
    }
    void BrokerUp() {
        brokerUp_ = true;
        if (started_ && !connected_) {
            Tell(true, "reconnected");
        }
    }

    // What a subscriber arriving now finds retained on `topic` (an empty retained message
    // deletes), and every message handed over on it, in order.
    std::optional<std::string> Retained(const std::string& topic) const {
        std::optional<std::string> kept;
        for (const MqttMessage& m : published) {
            if (m.topic == topic && m.retain) {
                kept = m.payload.empty() ? std::nullopt : std::optional<std::string>(m.payload);
            }
        }
        return kept;
    }
    std::vector<MqttMessage> On(const std::string& topic) const {
        std::vector<MqttMessage> found;
        for (const MqttMessage& m : published) {
            if (m.topic == topic) {
                found.push_back(m);
            }
        }
        return found;
    }

    std::vector<MqttConnection> starts;
    std::vector<MqttMessage> published;
    int stops = 0;

private:
    void Tell(bool up, const std::string& reason) {
        loop_.Post([this, up, reason, generation = generation_] {
            if (generation != generation_) {
                return;
            }
            connected_ = up;
            if (onConnectionChanged) {
                onConnectionChanged(up, reason);
            }
        });
    }

    EventLoop& loop_;
    bool brokerUp_ = true;
    bool started_ = false;
    bool connected_ = false;
    std::uint64_t generation_ = 0;
};

}  // namespace vigiltron
