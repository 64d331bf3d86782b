// Publishing to an MQTT broker over the whole engine (virtual time, simulated sensors) and a
// recording broker connection: what Home Assistant and other subscribers would find.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EngineTestRig.h"
#include "core/ReadingValue.h"
#include "sim/MemorySecretStore.h"
#include "sim/SimulatedSensor.h"
#include "support/FakeMqttClient.h"

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

constexpr const char* kProgramSetup = "Program Setup";

// The number after "reading": in a state message; nothing for null.
std::optional<double> ReadingIn(const std::string& payload) {
    const std::string key = "\"reading\":";
    const auto at = payload.find(key);
    if (at == std::string::npos || payload.compare(at + key.size(), 4, "null") == 0) {
        return std::nullopt;
    }
    return LeadingNumber(std::string_view(payload).substr(at + key.size()));
}

class MqttPublisherTest : public ::testing::Test, public EngineTestRig {
protected:
    MqttPublisherTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 9, 0, 0, 0}) {
        settings.SaveSetting(kProgramSetup, "AutoConnect", "1");
        settings.SaveSetting(kProgramSetup, "ReadingInterval", "1");
        settings.SaveSetting(kProgramSetup, "MqttEnabled", "1");
        settings.SaveSetting(kProgramSetup, "MqttServer", "broker.lan");
    }

    std::shared_ptr<SimulatedSensor> Attach(int com, SensorKind kind) {
        auto sensor = std::make_shared<SimulatedSensor>(loop, kind);
        ports.Attach(com, sensor);
        return sensor;
    }

    // The engine with the recording broker connection, started as the program starts it.
    Engine& StartPublishing() {
        EngineServices s{loop,
                         clock,
                         dialogs,
                         journal,
                         ports,
                         settings,
                         machine,
                         files,
                         system,
                         sound,
                         smtpClient,
                         systemMail,
                         folder.path().toStdString(),
                         "/cfg"};
        s.secrets = secrets;
        s.mqttClient = &broker;
        s.hostName = "Test-Host";
        engine = std::make_unique<Engine>(s);
        engine->startup.Run({});
        return *engine;
    }

    static std::string Topic(const std::string& leaf) { return "vigiltron/Test-Host/" + leaf; }

    std::string Retained(const std::string& topic) const {
        return broker.Retained(topic).value_or("<nothing retained>");
    }

    std::vector<std::string> JournalOf(const std::string& category) const {
        std::vector<std::string> lines;
        for (const auto& [c, text] : journal.lines) {
            if (c == category) {
                lines.push_back(text);
            }
        }
        return lines;
    }

    FakeMqttClient broker{loop};
};

#define EXPECT_HOLDS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

TEST_F(MqttPublisherTest, EverySensorIsAnnouncedAndPublishedWithItsAvailabilityAndAlarms) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Server room");
    for (int n : {2, 3}) {
        const std::string section = "PortConfig\\Devices\\" + std::to_string(n);
        settings.SaveSetting(section, "DeviceType",
                             n == 2 ? "Combo Sensor (Humidity)" : "Combo Sensor (Temperature)");
        settings.SaveSetting(section, "DeviceName", "Lab");
        settings.SaveSetting(section, "Port", "4");
        settings.SaveSetting(section, "SubIndex", "21");
    }
    SaveDevice(4, "Vigiltron/W (Water)", 5, "Basement");
    SaveDevice(5, "Vigiltron/P (Proximity)", 6, "Door");
    SaveDevice(6, "Vigiltron/A (2-Axis Accelerometer)", 7, "Rack");
    SaveDevice(7, "Vigiltron/D (Distance)", 8, "Shelf");
    auto temperature = Attach(3, SensorKind::Temperature);
    Attach(4, SensorKind::Combined);
    auto water = Attach(5, SensorKind::Water);
    auto door = Attach(6, SensorKind::Proximity);
    auto rack = Attach(7, SensorKind::Accelerometer);
    auto shelf = Attach(8, SensorKind::Distance);
    Engine& e = StartPublishing();

    ASSERT_EQ(broker.starts.size(), 1u);
    const MqttConnection& connection = broker.starts.front();
    EXPECT_EQ(connection.host, "broker.lan");
    EXPECT_EQ(connection.port, 1883);
    EXPECT_FALSE(connection.tls);
    EXPECT_EQ(connection.willTopic, "vigiltron/Test-Host/status");
    EXPECT_EQ(connection.willPayload, "offline");
    EXPECT_EQ(connection.clientId, "vigiltron-test_host");
    loop.RunFor(2s);
    EXPECT_EQ(Retained(Topic("status")), "online");
    EXPECT_EQ(e.view.mqttStatus, "Connected to broker.lan:1883");
    EXPECT_TRUE(journal.Has("mqtt", "connected to broker.lan:1883"));

    // One Home Assistant device per sensor, each entity with its class, unit and unique id.
    struct Announced {
        std::string topic;
        std::vector<std::string> holds;
    };
    const std::vector<Announced> configs = {
        {"homeassistant/sensor/vigiltron_test_host_1/config",
         {R"("unique_id":"vigiltron_test_host_1")", R"("device_class":"temperature")",
          R"("unit_of_measurement":"°F")", R"("state_class":"measurement")",
          R"("state_topic":"vigiltron/Test-Host/1/state")",
          R"("value_template":"{{ value_json.reading }}")",
          R"({"topic":"vigiltron/Test-Host/status"})",
          R"("topic":"vigiltron/Test-Host/1/availability")",
          R"j("identifiers":["vigiltron_test_host_1"],"name":"Server room","manufacturer":"Vigiltron","model":"Vigiltron/T (Temperature)")j"}},
        {"homeassistant/sensor/vigiltron_test_host_2/config",
         {R"("device_class":"humidity")", R"("unit_of_measurement":"%")",
          R"("identifiers":["vigiltron_test_host_2"],"name":"Lab")"}},
        {"homeassistant/sensor/vigiltron_test_host_3/config",
         {R"("unique_id":"vigiltron_test_host_3")", R"("device_class":"temperature")",
          R"("identifiers":["vigiltron_test_host_2"])"}},
        {"homeassistant/binary_sensor/vigiltron_test_host_4/config",
         {R"("device_class":"moisture")", R"("value_template":"{{ value_json.state }}")",
          R"("payload_on":"ON")"}},
        {"homeassistant/binary_sensor/vigiltron_test_host_5/config",
         {R"("device_class":"occupancy")", R"("unique_id":"vigiltron_test_host_5")"}},
        {"homeassistant/sensor/vigiltron_test_host_6_x/config",
         {R"("value_template":"{{ value_json.x }}")", R"("unit_of_measurement":"g")",
          R"("state_class":"measurement")", R"("identifiers":["vigiltron_test_host_6"])"}},
        {"homeassistant/sensor/vigiltron_test_host_6_y/config",
         {R"("value_template":"{{ value_json.y }}")", R"("unique_id":"vigiltron_test_host_6_y")"}},
        {"homeassistant/sensor/vigiltron_test_host_7/config",
         {R"("device_class":"distance")", R"("unit_of_measurement":"cm")"}},
    };
    for (const Announced& config : configs) {
        const std::string payload = Retained(config.topic);
        for (const std::string& part : config.holds) {
            EXPECT_HOLDS(payload, part) << config.topic;
        }
    }
    // Nothing of another kind is left announced for an entry.
    EXPECT_FALSE(broker.Retained("homeassistant/binary_sensor/vigiltron_test_host_1/config"));
    EXPECT_FALSE(broker.Retained("homeassistant/sensor/vigiltron_test_host_4/config"));
    EXPECT_FALSE(broker.Retained("homeassistant/sensor/vigiltron_test_host_8/config"));
    for (int n = 1; n <= 7; ++n) {
        EXPECT_EQ(Retained(Topic(std::to_string(n) + "/availability")), "online") << n;
    }

    // States follow the readings and events as the Summary shows them.
    loop.RunFor(60s);
    const std::string first = Retained(Topic("1/state"));
    EXPECT_EQ(ReadingIn(first), LeadingNumber(e.view.Row(1).reading));
    EXPECT_HOLDS(
        first, R"("reading":72.5,"unit":"°F","text":"72.5","status":"OK","time":"2026-12-07T09:0)");
    EXPECT_HOLDS(first, R"("name":"Server room")");
    EXPECT_HOLDS(Retained(Topic("2/state")), R"("reading":41,"unit":"%")");
    EXPECT_HOLDS(Retained(Topic("3/state")), R"("reading":72.5,"unit":"°F")");
    water->SetWet(true);
    door->SetPresent(true);
    rack->SetTilt(0.25, -0.5);
    shelf->SetDistance(42);
    loop.RunFor(3s);
    EXPECT_HOLDS(Retained(Topic("4/state")), R"("status":"Not Ok")");
    EXPECT_HOLDS(Retained(Topic("4/state")), R"("state":"ON")");
    EXPECT_HOLDS(Retained(Topic("5/state")), R"("reading":null)");
    EXPECT_HOLDS(Retained(Topic("5/state")), R"("state":"ON")");
    EXPECT_HOLDS(Retained(Topic("6/state")), R"("unit":"g")");
    EXPECT_HOLDS(Retained(Topic("6/state")), R"("x":0.25,"y":-0.5)");
    EXPECT_HOLDS(Retained(Topic("7/state")), R"("reading":42,"unit":"cm")");
    // Alarms go out with no alert switch on: an event of their own, never retained.
    const std::vector<MqttMessage> waterAlarms = broker.On(Topic("4/alarm"));
    ASSERT_EQ(waterAlarms.size(), 1u);
    EXPECT_EQ(waterAlarms[0].payload, "Water Detected");
    EXPECT_FALSE(waterAlarms[0].retain);
    EXPECT_EQ(waterAlarms[0].qos, 1);

    // Over the threshold: one alarm however long it lasts, then the OK notice.
    temperature->SetTemperatureF(95);
    loop.RunFor(180s);
    EXPECT_HOLDS(Retained(Topic("1/state")),
                 R"("reading":95,"unit":"°F","text":"95","status":"NOT OK")");
    temperature->SetTemperatureF(70);
    loop.RunFor(60s);
    std::vector<std::string> alarms;
    for (const MqttMessage& m : broker.On(Topic("1/alarm"))) {
        EXPECT_FALSE(m.retain);
        alarms.push_back(m.payload);
    }
    EXPECT_EQ(alarms, (std::vector<std::string>{"Temperature", "Temperature is back to normal"}));

    // Availability follows the connection: lost and tried again, then disconnected by the user.
    temperature->SetUnplugged(true);
    loop.RunFor(1s);
    EXPECT_EQ(Retained(Topic("1/availability")), "LOST");
    EXPECT_EQ(broker.On(Topic("1/alarm")).back().payload,
              "Sensor Server room on COM3 is no longer connected");
    e.link.cmdConnectSensor_Click(1);
    EXPECT_EQ(Retained(Topic("1/availability")), "OFF");
    e.link.cmdConnectSensor_Click(2);
    EXPECT_EQ(Retained(Topic("2/availability")), "OFF");
    EXPECT_EQ(Retained(Topic("3/availability")), "OFF");
}

TEST_F(MqttPublisherTest, WhileTheBrokerIsAwayReadingsWaitInABoundedQueueAndFollowInOrder) {
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Server room");
    auto sensor = Attach(3, SensorKind::Temperature);
    Engine& e = StartPublishing();
    e.mqtt.queueLimit = 5;
    loop.RunFor(2s);
    ASSERT_EQ(Retained(Topic("status")), "online");

    broker.BrokerDown("Connection reset by peer");
    loop.RunFor(1s);
    EXPECT_TRUE(journal.Has("mqtt", "disconnected from broker.lan:1883: Connection reset by peer"));
    EXPECT_EQ(e.view.mqttStatus, "Not connected: Connection reset by peer");
    const std::size_t readingsBefore = JournalOf("reading").size();
    const std::size_t publishedBefore = broker.published.size();
    for (int i = 0; i < 8; ++i) {
        sensor->SetTemperatureF(60 + i);
        loop.RunFor(60s);
    }
    EXPECT_EQ(broker.published.size(), publishedBefore);
    std::vector<double> taken;
    const std::vector<std::string> readings = JournalOf("reading");
    for (std::size_t i = readingsBefore; i < readings.size(); ++i) {
        // "1 Server room 63 F"
        taken.push_back(LeadingNumber(readings[i].substr(readings[i].find("Server room ") + 12)));
    }
    ASSERT_GT(taken.size(), 5u);
    EXPECT_EQ(e.mqtt.Queued(), 5u);
    EXPECT_TRUE(journal.Has("mqtt", "the queue is full (5 messages): the oldest are dropped"));

    broker.BrokerUp();
    loop.RunFor(1s);
    EXPECT_TRUE(journal.Has("mqtt", "reconnected to broker.lan:1883"));
    EXPECT_TRUE(journal.Has("mqtt", std::to_string(taken.size() - 5) +
                                        " message(s) dropped while the broker was away"));
    EXPECT_EQ(e.mqtt.Queued(), 0u);
    // "online" first, then the newest five readings in the order they were taken.
    ASSERT_GT(broker.published.size(), publishedBefore);
    EXPECT_EQ(broker.published[publishedBefore].topic, Topic("status"));
    EXPECT_EQ(broker.published[publishedBefore].payload, "online");
    std::vector<double> delivered;
    for (std::size_t i = publishedBefore; i < broker.published.size(); ++i) {
        if (broker.published[i].topic == Topic("1/state")) {
            delivered.push_back(ReadingIn(broker.published[i].payload).value_or(-1));
        }
    }
    EXPECT_EQ(delivered, std::vector<double>(taken.end() - 5, taken.end()));
    EXPECT_EQ(Retained(Topic("1/availability")), "online");
}

TEST_F(MqttPublisherTest, SettingsRestartTheConnectionAndSwitchingOffSaysOffline) {
    MemorySecretStore keyring;
    secrets = &keyring;
    SaveDevice(1, "Vigiltron/T (Temperature)", 3, "Server room");
    Attach(3, SensorKind::Temperature);
    Engine& e = StartPublishing();
    loop.RunFor(2s);

    // A new prefix: "offline" where the program was, then everything under the new one.
    ASSERT_TRUE(e.setupPreferences.SetPreference("MqttTopicPrefix", "site/a"));
    EXPECT_EQ(broker.stops, 1);
    EXPECT_EQ(broker.published.back().topic, "vigiltron/Test-Host/status");
    EXPECT_EQ(broker.published.back().payload, "offline");
    ASSERT_EQ(broker.starts.size(), 2u);
    EXPECT_EQ(broker.starts.back().willTopic, "site/a/Test-Host/status");
    loop.RunFor(2s);
    EXPECT_EQ(Retained("site/a/Test-Host/status"), "online");
    EXPECT_HOLDS(Retained("homeassistant/sensor/vigiltron_test_host_1/config"),
                 R"("state_topic":"site/a/Test-Host/1/state")");

    // Refused values change nothing and restart nothing.
    EXPECT_FALSE(e.setupPreferences.SetPreference("MqttTopicPrefix", "site/#"));
    EXPECT_FALSE(e.setupPreferences.SetPreference("MqttTopicPrefix", "/site"));
    EXPECT_FALSE(e.setupPreferences.SetPreference("MqttPort", "65536"));
    EXPECT_FALSE(e.setupPreferences.SetPreference("MqttPort", "0"));
    EXPECT_EQ(e.prefs.MqttTopicPrefix, "site/a");
    EXPECT_EQ(e.prefs.MqttPort, "1883");
    EXPECT_EQ(settings.GetSetting(kProgramSetup, "MqttPort", "?"), "?");
    EXPECT_EQ(broker.starts.size(), 2u);

    // The password is kept in the keyring, and the connection logs in with it.
    ASSERT_TRUE(e.setupPreferences.SetPreference("MqttUser", "sensors"));
    ASSERT_TRUE(e.setupPreferences.SetPreference("MqttPassword", "s3cret"));
    EXPECT_EQ(keyring.Get("MqttPassword"), "s3cret");
    EXPECT_EQ(settings.GetSetting(kProgramSetup, "MqttPassword", "?"), "");
    EXPECT_EQ(broker.starts.back().user, "sensors");
    EXPECT_EQ(broker.starts.back().password, "s3cret");
    loop.RunFor(2s);

    // Off: "offline", and nothing more however many readings follow.
    const int stops = broker.stops;
    ASSERT_TRUE(e.setupPreferences.SetPreference("MqttEnabled", "0"));
    EXPECT_EQ(broker.stops, stops + 1);
    EXPECT_EQ(broker.published.back().payload, "offline");
    EXPECT_FALSE(e.mqtt.Publishing());
    EXPECT_EQ(e.view.mqttStatus, "Publishing is off");
    const std::size_t published = broker.published.size();
    loop.RunFor(180s);
    EXPECT_EQ(broker.published.size(), published);

    // On again; then a deleted device is taken out of Home Assistant.
    ASSERT_TRUE(e.setupPreferences.SetPreference("MqttEnabled", "1"));
    loop.RunFor(2s);
    EXPECT_EQ(Retained("site/a/Test-Host/status"), "online");
    ASSERT_TRUE(broker.Retained("homeassistant/sensor/vigiltron_test_host_1/config"));
    e.link.cmdConnectSensor_Click(1);
    ASSERT_TRUE(e.deviceSetup.DeleteDevice(1));
    EXPECT_FALSE(broker.Retained("homeassistant/sensor/vigiltron_test_host_1/config"));

    // Shut-down says "offline" last.
    e.startup.ShutDown();
    EXPECT_EQ(broker.published.back().topic, "site/a/Test-Host/status");
    EXPECT_EQ(broker.published.back().payload, "offline");
}

}  // namespace
}  // namespace vigiltron
