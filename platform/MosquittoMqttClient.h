#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "reporting/MqttClient.h"

namespace vigiltron {

// The broker connection over libmosquitto, on a network thread of its own.
//
// The thread does everything that may wait: the name lookup, the TCP connection, the TLS
// handshake (certificates verified against the given CA file, or the system's), the login and the
// publishing. The engine's calls only hand work over, so a broker that is gone or a host that
// never answers cannot hold the engine up. The session is persistent (clean session off, the
// caller's stable client id), so QoS 1 messages in flight survive a break and are sent again.
class MosquittoMqttClient : public MqttClient {
public:
    // Runs a function on the engine's thread; called from the network thread, so it must be safe
    // to call from any thread (QtEventLoop::Post is).
    using Post = std::function<void(std::function<void()>)>;

    // How long closing waits for the network thread to finish; one stuck in a connection attempt
    // beyond that is left to end on its own, telling nobody.
    static constexpr std::chrono::seconds kShutdownWait{5};
    // How long a broker may take to answer the login before the attempt is given up.
    static constexpr std::chrono::seconds kAnswerWait{20};
    // The pause before the next attempt after a refusal or a break: doubling up to the longest.
    static constexpr std::chrono::seconds kFirstRetry{1};
    static constexpr std::chrono::seconds kLongestRetry{60};

    // Without `post`, notifications wait until the engine's thread collects them with
    // DeliverFinished() (for a loop that is not thread-safe, such as the virtual-time one).
    explicit MosquittoMqttClient(Post post = {});
    // Disconnects without waiting for anything in flight; no notification runs afterwards.
    ~MosquittoMqttClient() override;
    MosquittoMqttClient(const MosquittoMqttClient&) = delete;
    MosquittoMqttClient& operator=(const MosquittoMqttClient&) = delete;

    // The same settings again leave a running connection alone.
    void Start(const MqttConnection& connection) override;
    bool Publish(const MqttMessage& message) override;
    void Stop(const std::vector<MqttMessage>& last, Milliseconds timeout) override;
    bool Connected() const override;

    // Runs the notifications that have arrived; call on the engine's thread.
    void DeliverFinished();

    // Why a connection attempt or a connection failed, in words: for a libmosquitto error code
    // with the errno it left, and for the broker's refusal of the login (its CONNACK code).
    static std::string FailureReason(int mosquittoError, int systemError);
    static std::string RefusalReason(int connackCode);

    // The state the engine's thread keeps; shared with the notifications in flight.
    struct Front;
    // The queue and the connection the network thread keeps.
    struct Shared;

private:
    const Post post_;
    // The settings of the last Start.
    MqttConnection started_;
    std::shared_ptr<Front> front_;
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

}  // namespace vigiltron
