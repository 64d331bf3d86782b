// The MQTT client against Debian's Mosquitto broker on loopback.
#include "platform/MosquittoMqttClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/QtEventLoop.h"
#include "support/MosquittoBroker.h"

namespace vigiltron {
namespace {

using testing_support::BrokerOptions;
using testing_support::MosquittoBroker;
using testing_support::MqttSubscriber;
using namespace std::chrono_literals;

struct Change {
    bool up = false;
    std::string reason;
};

// The client as the program wires it: notifications come through the engine's loop.
class MosquittoMqttClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        client.onConnectionChanged = [this](bool up, const std::string& reason) {
            changes.push_back({up, reason});
        };
    }

    MqttConnection To(const MosquittoBroker& broker) const {
        MqttConnection connection;
        connection.host = "127.0.0.1";
        connection.port = broker.Port();
        connection.clientId = "vigiltron-test";
        connection.willTopic = "vigiltron/test/status";
        connection.willPayload = "offline";
        return connection;
    }
    // Waits (bounded) for a change told after the first `seen` ones; the first such one.
    std::optional<Change> NextChange(std::size_t seen, std::chrono::milliseconds bound = 30s) {
        loop.WaitUntil(bound, [&] { return changes.size() > seen; });
        return changes.size() > seen ? std::optional(changes[seen]) : std::nullopt;
    }
    // Waits (bounded) for the connection to be up again, after the first `seen` changes.
    bool UpAfter(std::size_t seen, std::chrono::milliseconds bound = 30s) {
        return loop.WaitUntil(bound, [&] {
            return changes.size() > seen && changes.back().up && client.Connected();
        });
    }
    std::string Told() const {
        std::string text;
        for (const Change& c : changes) {
            text += (c.up ? "up " : "down ") + c.reason + "\n";
        }
        return text;
    }

    QtEventLoop loop;
    MosquittoMqttClient client{[this](std::function<void()> work) { loop.Post(std::move(work)); }};
    std::vector<Change> changes;
};

TEST_F(MosquittoMqttClientTest, PublishesRetainedAndPlainMessagesAndSaysGoodbyeCleanly) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Ready()) << broker.Errors();
    MqttSubscriber live(broker.Port(), "vigiltron/#");
    ASSERT_TRUE(live.Ready());

    // Nothing is taken while there is no connection: the caller keeps it.
    EXPECT_FALSE(client.Publish({"vigiltron/test/early", "1", 1, false}));
    client.Start(To(broker));
    ASSERT_TRUE(UpAfter(0)) << Told();
    EXPECT_EQ(changes.front().reason, "");

    ASSERT_TRUE(client.Publish({"vigiltron/test/room/state", "{\"value\":72.5}", 1, true}));
    ASSERT_TRUE(client.Publish({"vigiltron/test/room/alarm", "too hot", 0, false}));
    ASSERT_TRUE(live.WaitFor("vigiltron/test/room/alarm", "too hot")) << live.Text();
    ASSERT_TRUE(live.WaitFor("vigiltron/test/room/state", "{\"value\":72.5}")) << live.Text();

    // The goodbye is delivered before Stop returns, and the broker then sends no last will.
    client.Stop({{"vigiltron/test/status", "stopped", 1, true}}, 10s);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(live.WaitFor("vigiltron/test/status", "stopped", 5s)) << live.Text();

    // A late subscriber gets what was retained, and only that.
    MqttSubscriber late(broker.Port(), "vigiltron/#");
    ASSERT_TRUE(late.Ready());
    ASSERT_TRUE(late.WaitFor([](const MqttSubscriber::Messages& m) { return m.size() >= 2; }, 5s))
        << late.Text();
    const auto retained = late.Received();
    for (const auto& message : retained) {
        EXPECT_TRUE(message.retain) << message.topic;
        EXPECT_NE(message.topic, "vigiltron/test/room/alarm");
        EXPECT_NE(message.payload, "offline") << "the last will was sent after a clean stop";
    }
    EXPECT_EQ(changes.size(), 1u) << Told();
}

TEST_F(MosquittoMqttClientTest, SaysWhyALoginIsRefusedAndComesBackAfterTheBrokerRestarts) {
    BrokerOptions options;
    options.user = "monitor";
    options.password = "s3cret-pass";
    MosquittoBroker broker(options);
    ASSERT_TRUE(broker.Ready()) << broker.Errors();

    MqttConnection connection = To(broker);
    connection.user = "monitor";
    connection.password = "wrong-pass";
    client.Start(connection);
    const auto refused = NextChange(0);
    ASSERT_TRUE(refused) << Told();
    EXPECT_FALSE(refused->up);
    EXPECT_NE(refused->reason.find("connection refused: "), std::string::npos) << Told();
    EXPECT_EQ(refused->reason.find("pass"), std::string::npos) << Told();
    EXPECT_FALSE(client.Connected());

    // New settings replace the refused ones.
    connection.password = "s3cret-pass";
    client.Start(connection);
    ASSERT_TRUE(UpAfter(1)) << Told();
    EXPECT_EQ(changes.back().reason, "");

    // The broker goes away: down, and back by itself once the broker is there again; QoS 1
    // messages published then arrive.
    const std::size_t before = changes.size();
    broker.Stop();
    const auto lost = NextChange(before);
    ASSERT_TRUE(lost) << Told();
    EXPECT_FALSE(lost->up) << Told();
    EXPECT_FALSE(client.Publish({"vigiltron/test/state", "while away", 1, true}));
    ASSERT_TRUE(broker.Start()) << broker.Errors();
    ASSERT_TRUE(UpAfter(before + 1, 60s)) << Told();
    EXPECT_EQ(changes.back().reason, "reconnected") << Told();

    MqttSubscriber subscriber(broker.Port(), "vigiltron/#", "monitor", "s3cret-pass");
    ASSERT_TRUE(subscriber.Ready());
    ASSERT_TRUE(client.Publish({"vigiltron/test/state", "back", 1, true}));
    EXPECT_TRUE(subscriber.WaitFor("vigiltron/test/state", "back")) << subscriber.Text();
    client.Stop({}, 10s);
}

TEST_F(MosquittoMqttClientTest, TrustsOnlyACertificateItCanVerify) {
    BrokerOptions options;
    options.tls = true;
    MosquittoBroker broker(options);
    ASSERT_TRUE(broker.Ready()) << broker.Errors();
    MqttConnection connection = To(broker);
    connection.host = "localhost";
    connection.tls = true;

    // Signed by an authority the system does not know.
    client.Start(connection);
    const auto untrusted = NextChange(0);
    ASSERT_TRUE(untrusted) << Told();
    EXPECT_FALSE(untrusted->up);
    EXPECT_EQ(untrusted->reason, "TLS certificate not trusted") << Told();

    // A CA file that is not there is said so, and nothing goes out in clear instead.
    connection.caFile = broker.CaFile() + ".missing";
    client.Start(connection);
    const auto missing = NextChange(1);
    ASSERT_TRUE(missing) << Told();
    EXPECT_NE(missing->reason.find("the CA file cannot be read"), std::string::npos) << Told();

    connection.caFile = broker.CaFile();
    client.Start(connection);
    ASSERT_TRUE(UpAfter(2)) << Told();
    ASSERT_TRUE(client.Publish({"vigiltron/test/state", "secure", 1, true}));
    client.Stop({}, 10s);
}

}  // namespace
}  // namespace vigiltron
