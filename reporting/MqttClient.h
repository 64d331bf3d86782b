#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/EventLoop.h"

namespace vigiltron {

// Where and how the publisher reaches the MQTT broker.
struct MqttConnection {
    std::string host;
    int port = 1883;
    bool tls = false;    // TLS with the server's certificate verified
    std::string caFile;  // a private certificate authority (PEM); empty: the system's
    std::string user;    // empty: no login
    std::string password;
    // Stable across restarts, so the broker keeps the session (and its queued QoS 1 messages)
    // while the program is away.
    std::string clientId;
    // Published by the broker for us when the connection breaks without a goodbye (retained,
    // QoS 1).
    std::string willTopic;
    std::string willPayload;
    int keepAliveSeconds = 30;
};

struct MqttMessage {
    std::string topic;
    std::string payload;
    int qos = 0;
    bool retain = false;

    friend bool operator==(const MqttMessage&, const MqttMessage&) = default;
};

// The broker connection the publisher drives. It works in the background: no call waits on the
// network, and connection changes are told on the engine's thread, after the call that led to
// them has returned.
class MqttClient {
public:
    virtual ~MqttClient() = default;

    // Connects and keeps the connection, reconnecting by itself with a growing pause (1 s
    // doubling to 60 s) after a refusal or a break. A later Start replaces the settings.
    virtual void Start(const MqttConnection& connection) = 0;
    // Hands `message` over while connected; false (nothing sent) while not, so the caller keeps
    // it for later. A QoS 1 message handed over is the client's to deliver, across a break.
    virtual bool Publish(const MqttMessage& message) = 0;
    // Publishes `last` (for instance "offline" on the status topic), waits at most `timeout`
    // for what is in flight to be delivered, and disconnects cleanly (no last will).
    virtual void Stop(const std::vector<MqttMessage>& last, Milliseconds timeout) = 0;
    virtual bool Connected() const = 0;

    // Up (reason empty, or "reconnected") or down (why: refused login, unreachable, ...).
    std::function<void(bool up, const std::string& reason)> onConnectionChanged;
};

}  // namespace vigiltron
