#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "core/Reading.h"
#include "reporting/MqttClient.h"

namespace vigiltron {

class DeviceModel;
class Journal;
class ViewModel;
struct Preferences;

// Publishes what the program sees to an MQTT broker, for Home Assistant, Node-RED, databases and
// other copies of the program. Topics, below "<MqttTopicPrefix>/<host>":
//   status               "online" while publishing, "offline" after a clean stop or as the
//                        broker's last will (retained);
//   <entry>/state        the latest reading or event of setup entry 1..10 as a small JSON
//                        object (retained);
//   <entry>/availability "online", "LOST" or "OFF" as the entry's connection stands (retained);
//   <entry>/alarm        the alarm window's text of each alarm and "OK" notice (not retained).
// With `MqttDiscovery` on, every configured sensor is announced to Home Assistant under
// "homeassistant/". What the broker cannot take while it is away is kept in a bounded queue and
// sent in order once it is back.
class MqttPublisher {
public:
    struct Services {
        const Preferences& prefs;
        const DeviceModel& model;
        ViewModel& view;
        Journal& journal;
        MqttClient& client;
        // This machine's name: the second level of every topic and part of the unique ids.
        std::string hostName;
        // Whether entry n's port was lost and is being tried again.
        std::function<bool(int n)> isLost;
    };

    // Messages kept while the broker is away; beyond it the oldest go first.
    static constexpr std::size_t kQueueLimit = 10000;
    // How long a clean stop may take to hand over its last messages.
    static constexpr Milliseconds kStopTimeout{2000};

    explicit MqttPublisher(Services services);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // The program is up: publishing starts when `MqttEnabled` is on.
    void Start();
    // Shut-down: "offline" goes out and the connection is closed.
    void Stop();
    // A publishing setting changed: switching off stops, switching on starts, and any other
    // change restarts the connection with the new settings. Nothing happens before Start.
    void ApplySettings();

    // A reading or event, once the pipeline has shown, judged and logged it.
    void ReadingTaken(const Reading& reading);
    // Entry n (either half of a combined sensor) connected, was lost or was disconnected.
    void SensorConnectionChanged(int n);
    // An alarm or "OK" notice of entry n, in the alarm window's words.
    void Alert(int n, const std::string& text);

    bool Publishing() const { return running_; }
    std::size_t Queued() const { return queue_.size(); }
    // "<prefix>/<host>": the start of every topic.
    std::string BaseTopic() const;

    // What the settings accept: a port 1..65535; a topic prefix that is not empty, holds no
    // wildcard ('#', '+') and neither starts nor ends with '/' (blanks around either ignored).
    static bool IsUsablePort(std::string_view text);
    static bool IsUsableTopicPrefix(std::string_view text);

    std::size_t queueLimit = kQueueLimit;

private:
    struct Settings {
        MqttConnection connection;
        std::string prefix;
        bool discovery = true;
    };
    enum class Queueing { Always, LatestOnly };

    Settings CurrentSettings() const;
    static bool SameSettings(const Settings& a, const Settings& b);
    void StartPublishing(const Settings& settings);
    void StopPublishing();
    void ConnectionChanged(bool up, const std::string& reason);
    // True when the text changed.
    bool SetStatus(const std::string& text);
    std::string Where() const;

    // Hands a message to the client, or keeps it in order until the broker is back.
    // `LatestOnly`: a message of the same topic still waiting is replaced.
    void Send(MqttMessage message, Queueing queueing);
    void Flush();

    std::string EntryTopic(int n, const char* leaf) const;
    void PublishAvailability(int n);
    void PublishAllAvailability();
    // Home Assistant's configs: every configured sensor's, and empty ones (deletions) for the
    // rest of this host's possible entities. Only what changed since the connection came up.
    void SyncDiscovery();
    std::map<std::string, std::string> WantedDiscovery() const;
    // Whether the devices (types, names) and the temperature unit are still those announced.
    bool SameDeviceList() const;
    void TakeDeviceList();
    void DeviceListMayHaveChanged();

    Services s_;
    Settings settings_;
    // Start has been called and Stop not since.
    bool wanted_ = false;
    // A connection is kept (or being made) with `settings_`.
    bool running_ = false;
    bool connected_ = false;
    bool everConnected_ = false;
    std::string lastDownReason_;
    std::deque<MqttMessage> queue_;
    std::size_t dropped_ = 0;
    bool queueFullTold_ = false;
    // Discovery topics and what was last sent on each since the connection came up.
    std::map<std::string, std::string> sentDiscovery_;
    // Discovery topics holding a config from this run, to delete when discovery is switched off.
    std::set<std::string> announced_;
    std::array<std::pair<std::string, std::string>, 11> announcedDevices_{};  // 1..10
    std::string announcedUnit_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace vigiltron
