#include "reporting/MqttPublisher.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "config/Preferences.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Journal.h"
#include "core/LooseText.h"
#include "core/ReadingValue.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

constexpr const char* kDiscoveryPrefix = "homeassistant";
constexpr const char* kDefaultPrefix = "vigiltron";

// What a setup entry measures, as far as publishing is concerned: the halves of a combined
// sensor are a humidity entry and a temperature entry.
enum class Measure { None, Temperature, Humidity, Water, Proximity, Accelerometer, Distance };

Measure MeasureOf(const DeviceRecord* record) {
    if (record == nullptr) {
        return Measure::None;
    }
    switch (KindFromDeviceType(record->deviceType)) {
        case DeviceKind::Temperature:
            return Measure::Temperature;
        case DeviceKind::Humidity:
            return Measure::Humidity;
        case DeviceKind::Combined:
            return record->deviceType == kTypeComboTemperature ? Measure::Temperature
                                                               : Measure::Humidity;
        case DeviceKind::Water:
            return Measure::Water;
        case DeviceKind::Proximity:
            return Measure::Proximity;
        case DeviceKind::Accelerometer:
            return Measure::Accelerometer;
        case DeviceKind::Distance:
            return Measure::Distance;
        default:
            return Measure::None;
    }
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string JsonNumber(std::optional<double> value) {
    return value && std::isfinite(*value) ? PlainDecimal(*value) : "null";
}

// The number a text starts with; nothing for a word ("OK", "No Obj") or an empty text.
std::optional<double> NumberOf(std::string_view text) {
    if (!StartsWithReading(text)) {
        return std::nullopt;
    }
    return LeadingNumber(text);
}

std::string IsoTime(const LocalDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

// One line, as a subscriber reads it: the window's line breaks become blanks.
std::string OneLine(const std::string& text) {
    std::string line;
    bool blank = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !line.empty()) {
            line += ' ';
        }
        blank = false;
        line += c;
    }
    return line;
}

// A topic level made of the host's name: no level separators or wildcards.
std::string TopicLevel(const std::string& name) {
    std::string level;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        level += (c == '/' || c == '+' || c == '#' || u <= 0x20 || u == 0x7f) ? '_' : c;
    }
    return level.empty() ? "localhost" : level;
}

// The host as the unique ids carry it: lower case letters, digits and '_'.
std::string IdPart(const std::string& name) {
    std::string id;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        id += std::isalnum(u) && u < 0x80 ? static_cast<char>(std::tolower(u)) : '_';
    }
    return id.empty() ? "localhost" : id;
}

std::optional<int> PortNumber(std::string_view text) {
    text = Trim(text);
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

struct Entity {
    const char* component;
    const char* suffix;  // after the entry's unique id: "", "_x", "_y"
    const char* name;
    const char* deviceClass;  // empty: none
    std::string unit;         // empty: none
    const char* valueTemplate;
    bool numeric;
};

// Every entity an entry could have, for the deletions of those it has not (or no longer).
constexpr std::pair<const char*, const char*> kPossibleEntities[] = {
    {"sensor", ""}, {"sensor", "_x"}, {"sensor", "_y"}, {"binary_sensor", ""}};

std::vector<Entity> EntitiesOf(Measure measure, const Preferences& prefs) {
    constexpr const char* kReading = "{{ value_json.reading }}";
    constexpr const char* kState = "{{ value_json.state }}";
    switch (measure) {
        case Measure::Temperature:
            return {{"sensor", "", "Temperature", "temperature", prefs.ForC == "C" ? "°C" : "°F",
                     kReading, true}};
        case Measure::Humidity:
            return {{"sensor", "", "Humidity", "humidity", "%", kReading, true}};
        case Measure::Water:
            return {{"binary_sensor", "", "Water", "moisture", "", kState, false}};
        case Measure::Proximity:
            return {{"binary_sensor", "", "Proximity", "occupancy", "", kState, false}};
        case Measure::Distance:
            return {{"sensor", "", "Distance", "distance", "cm", kReading, true}};
        case Measure::Accelerometer:
            return {{"sensor", "_x", "X tilt", "", "g", "{{ value_json.x }}", true},
                    {"sensor", "_y", "Y tilt", "", "g", "{{ value_json.y }}", true}};
        case Measure::None:
            break;
    }
    return {};
}

}  // namespace

MqttPublisher::MqttPublisher(Services services) : s_(std::move(services)) {
    s_.client.onConnectionChanged = [this](bool up, const std::string& reason) {
        try {
            ConnectionChanged(up, reason);
        } catch (const std::exception& failure) {
            s_.journal.Record("mqtt",
                              std::string("error after a connection change: ") + failure.what());
        }
    };
    // The device list has no notice of its own; the rows it shows change with it. The view may
    // outlive the publisher: a late notice finds it gone.
    s_.view.Subscribe([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.expired()) {
            return;
        }
        try {
            DeviceListMayHaveChanged();
        } catch (...) {
            // The next change tries again.
        }
    });
}

MqttPublisher::~MqttPublisher() {
    s_.client.onConnectionChanged = nullptr;
}

bool MqttPublisher::IsUsablePort(std::string_view text) {
    return PortNumber(text).has_value();
}

bool MqttPublisher::IsUsableTopicPrefix(std::string_view text) {
    const std::string_view prefix = Trim(text);
    return !prefix.empty() && prefix.front() != '/' && prefix.back() != '/' &&
           prefix.find_first_of("#+") == std::string_view::npos;
}

std::string MqttPublisher::BaseTopic() const {
    return settings_.prefix + "/" + TopicLevel(s_.hostName);
}

std::string MqttPublisher::EntryTopic(int n, const char* leaf) const {
    return BaseTopic() + "/" + std::to_string(n) + "/" + leaf;
}

std::string MqttPublisher::Where() const {
    return settings_.connection.host + ":" + std::to_string(settings_.connection.port);
}

bool MqttPublisher::SetStatus(const std::string& text) {
    if (s_.view.mqttStatus == text) {
        return false;
    }
    s_.view.mqttStatus = text;
    s_.view.Changed();
    return true;
}

// ---- Switching on and off ----

MqttPublisher::Settings MqttPublisher::CurrentSettings() const {
    const Preferences& p = s_.prefs;
    Settings s;
    // A hand-edited setting the topics cannot be built on gives way to the default.
    s.prefix = IsUsableTopicPrefix(p.MqttTopicPrefix) ? std::string(Trim(p.MqttTopicPrefix))
                                                      : kDefaultPrefix;
    s.discovery = p.MqttDiscovery;
    MqttConnection& c = s.connection;
    c.host = Trim(p.MqttServer);
    c.port = PortNumber(p.MqttPort).value_or(1883);
    c.tls = p.MqttTls;
    c.caFile = Trim(p.MqttCAFile);
    c.user = p.MqttUser;
    c.password = p.MqttPassword;
    c.clientId = "vigiltron-" + IdPart(s_.hostName);
    c.willTopic = s.prefix + "/" + TopicLevel(s_.hostName) + "/status";
    c.willPayload = "offline";
    return s;
}

bool MqttPublisher::SameSettings(const Settings& a, const Settings& b) {
    const MqttConnection& x = a.connection;
    const MqttConnection& y = b.connection;
    return a.prefix == b.prefix && a.discovery == b.discovery && x.host == y.host &&
           x.port == y.port && x.tls == y.tls && x.caFile == y.caFile && x.user == y.user &&
           x.password == y.password && x.clientId == y.clientId && x.willTopic == y.willTopic &&
           x.willPayload == y.willPayload && x.keepAliveSeconds == y.keepAliveSeconds;
}

void MqttPublisher::Start() {
    wanted_ = true;
    ApplySettings();
}

void MqttPublisher::Stop() {
    wanted_ = false;
    try {
        StopPublishing();
    } catch (const std::exception& failure) {
        s_.journal.Record("mqtt", std::string("publishing not stopped cleanly: ") + failure.what());
    }
}

void MqttPublisher::ApplySettings() {
    if (!wanted_) {
        return;
    }
    try {
        if (!s_.prefs.MqttEnabled) {
            StopPublishing();
            SetStatus("Publishing is off");
            return;
        }
        const Settings wanted = CurrentSettings();
        if (running_ && SameSettings(wanted, settings_)) {
            return;
        }
        StopPublishing();
        StartPublishing(wanted);
    } catch (const std::exception& failure) {
        s_.journal.Record("mqtt", std::string("publishing not started: ") + failure.what());
    }
}

void MqttPublisher::StartPublishing(const Settings& settings) {
    settings_ = settings;
    if (settings_.connection.host.empty()) {
        if (SetStatus("Not connected: no broker set")) {
            s_.journal.Record("mqtt", "publishing is on but no broker is set");
        }
        return;
    }
    running_ = true;
    connected_ = false;
    everConnected_ = false;
    lastDownReason_.clear();
    s_.journal.Record("mqtt", "publishing to " + Where() + " under " + BaseTopic());
    SetStatus("Connecting to " + Where());
    s_.client.Start(settings_.connection);
}

void MqttPublisher::StopPublishing() {
    if (!running_) {
        return;
    }
    running_ = false;
    connected_ = false;
    if (!queue_.empty()) {
        s_.journal.Record("mqtt", std::to_string(queue_.size()) +
                                      " queued message(s) not delivered: publishing stopped");
    }
    queue_.clear();
    dropped_ = 0;
    queueFullTold_ = false;
    sentDiscovery_.clear();
    s_.client.Stop({MqttMessage{BaseTopic() + "/status", "offline", 1, true}}, kStopTimeout);
    s_.journal.Record("mqtt", "stopped publishing to " + Where());
    SetStatus("Publishing is off");
}

// ---- The broker connection ----

void MqttPublisher::ConnectionChanged(bool up, const std::string& reason) {
    if (!running_) {
        return;  // a notice from a connection already closed
    }
    if (!up) {
        const std::string why = reason.empty() ? "connection lost" : reason;
        if (connected_) {
            s_.journal.Record("mqtt", "disconnected from " + Where() + ": " + why);
        } else if (why != lastDownReason_) {
            s_.journal.Record("mqtt", "cannot connect to " + Where() + ": " + why);
        }
        connected_ = false;
        lastDownReason_ = why;
        SetStatus("Not connected: " + why);
        return;
    }
    if (connected_) {
        return;
    }
    connected_ = true;
    lastDownReason_.clear();
    // Taken before anything can tell the view, whose changes make the list be compared.
    TakeDeviceList();
    s_.journal.Record("mqtt", (everConnected_ ? "reconnected to " : "connected to ") + Where());
    everConnected_ = true;

    // "online" first; then what waited, in order; then the current picture, which a broker that
    // lost its retained messages (or a Home Assistant that restarted) needs again.
    MqttMessage online{BaseTopic() + "/status", "online", 1, true};
    if (!s_.client.Publish(online)) {
        queue_.push_front(std::move(online));
    }
    const std::size_t waiting = queue_.size();
    Flush();
    if (waiting > 0) {
        s_.journal.Record("mqtt",
                          std::to_string(waiting - queue_.size()) + " queued message(s) sent");
    }
    if (dropped_ > 0) {
        s_.journal.Record("mqtt", std::to_string(dropped_) +
                                      " message(s) dropped while the broker was away (queue "
                                      "limit " +
                                      std::to_string(queueLimit) + ")");
        dropped_ = 0;
    }
    queueFullTold_ = false;
    sentDiscovery_.clear();
    SyncDiscovery();
    PublishAllAvailability();
    SetStatus("Connected to " + Where());
}

void MqttPublisher::Send(MqttMessage message, Queueing queueing) {
    if (!running_) {
        return;
    }
    if (queue_.empty() && s_.client.Publish(message)) {
        return;
    }
    if (queueing == Queueing::LatestOnly) {
        std::erase_if(queue_, [&](const MqttMessage& m) { return m.topic == message.topic; });
    }
    while (!queue_.empty() && queue_.size() >= queueLimit) {
        queue_.pop_front();
        ++dropped_;
        if (!queueFullTold_) {
            queueFullTold_ = true;
            s_.journal.Record("mqtt", "the queue is full (" + std::to_string(queueLimit) +
                                          " messages): the oldest are dropped");
        }
    }
    if (queueLimit == 0) {
        ++dropped_;
        return;
    }
    queue_.push_back(std::move(message));
    if (connected_) {
        Flush();
    }
}

void MqttPublisher::Flush() {
    while (!queue_.empty() && s_.client.Publish(queue_.front())) {
        queue_.pop_front();
    }
}

// ---- Readings, connections and alarms ----

void MqttPublisher::ReadingTaken(const Reading& reading) {
    if (!running_) {
        return;
    }
    try {
        const int n = reading.setupIndex;
        const DeviceRecord* record = s_.model.Entry(n);
        const Measure measure = MeasureOf(record);
        if (measure == Measure::None) {
            return;
        }
        const SummaryRow& row = s_.view.Row(n);
        std::optional<double> value;
        std::string unit;
        std::string extra;
        using Change = Reading::Change;
        auto onOff = [](bool on) {
            return std::string(",\"state\":") + (on ? "\"ON\"" : "\"OFF\"");
        };
        switch (measure) {
            case Measure::Temperature:
                value = NumberOf(reading.text);
                unit = (reading.unit.empty() ? s_.prefs.ForC : reading.unit) == "C" ? "°C" : "°F";
                break;
            case Measure::Humidity:
                value = NumberOf(reading.text);
                unit = "%";
                break;
            case Measure::Water:
                extra = onOff(reading.change == Change::Wet);
                break;
            case Measure::Proximity:
                extra = onOff(reading.change == Change::Present);
                break;
            case Measure::Distance:
                unit = "cm";
                if (reading.change == Change::Present || reading.change == Change::Absent) {
                    extra = onOff(reading.change == Change::Present);
                } else if (Contains(reading.text, "cm")) {
                    value = NumberOf(reading.text);
                }
                break;
            case Measure::Accelerometer: {
                unit = "g";
                std::optional<double> x;
                std::optional<double> y;
                if (reading.change == Change::None) {
                    const TiltTexts tilt = SplitTilt(reading.text);
                    x = NumberOf(tilt.x);
                    y = NumberOf(tilt.y);
                }
                extra = ",\"x\":" + JsonNumber(x) + ",\"y\":" + JsonNumber(y);
                break;
            }
            case Measure::None:
                return;
        }
        const std::string payload =
            "{\"reading\":" + JsonNumber(value) + ",\"unit\":" + JsonString(unit) +
            ",\"text\":" + JsonString(Trim(row.reading)) + ",\"status\":" + JsonString(row.status) +
            ",\"time\":" + JsonString(IsoTime(reading.time)) +
            ",\"name\":" + JsonString(record->deviceName) + extra + "}";
        // Every reading counts for those who keep a history: none replaces another in the queue.
        Send({EntryTopic(n, "state"), payload, 1, true}, Queueing::Always);
    } catch (const std::exception& failure) {
        s_.journal.Record("mqtt", std::string("reading not published: ") + failure.what());
    }
}

void MqttPublisher::SensorConnectionChanged(int n) {
    if (!running_) {
        return;
    }
    try {
        const int lead = s_.model.LeadIndexOf(n);
        PublishAvailability(lead);
        if (const int partner = s_.model.ComboPartnerOf(lead); partner != 0) {
            PublishAvailability(partner);
        }
    } catch (const std::exception& failure) {
        s_.journal.Record("mqtt", std::string("availability not published: ") + failure.what());
    }
}

void MqttPublisher::Alert(int n, const std::string& text) {
    if (!running_ || !DeviceModel::IsValidIndex(n)) {
        return;
    }
    // Events, not states: never retained, never merged in the queue.
    Send({EntryTopic(n, "alarm"), OneLine(text), 1, false}, Queueing::Always);
}

void MqttPublisher::PublishAvailability(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    if (MeasureOf(record) == Measure::None) {
        return;
    }
    const int lead = s_.model.LeadIndexOf(n);
    std::string state = "OFF";
    if (record->IsConnected()) {
        state = "online";
    } else if (s_.isLost && s_.isLost(lead)) {
        state = "LOST";
    }
    Send({EntryTopic(n, "availability"), state, 1, true}, Queueing::LatestOnly);
}

void MqttPublisher::PublishAllAvailability() {
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        PublishAvailability(n);
    }
}

// ---- Home Assistant discovery ----

bool MqttPublisher::SameDeviceList() const {
    if (s_.prefs.ForC != announcedUnit_) {
        return false;
    }
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        const DeviceRecord* record = s_.model.Entry(n);
        const auto& [type, name] = announcedDevices_[std::size_t(n)];
        if (record == nullptr || record->deviceType != type || record->deviceName != name) {
            return false;
        }
    }
    return true;
}

void MqttPublisher::TakeDeviceList() {
    announcedUnit_ = s_.prefs.ForC;
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        if (const DeviceRecord* record = s_.model.Entry(n)) {
            announcedDevices_[std::size_t(n)] = {record->deviceType, record->deviceName};
        }
    }
}

void MqttPublisher::DeviceListMayHaveChanged() {
    // Checked on every change of the view, so it compares without building anything.
    if (!connected_ || SameDeviceList()) {
        return;  // while down, the connection's own start publishes the list as it then is
    }
    TakeDeviceList();
    SyncDiscovery();
    PublishAllAvailability();
}

std::map<std::string, std::string> MqttPublisher::WantedDiscovery() const {
    std::map<std::string, std::string> wanted;
    const std::string host = IdPart(s_.hostName);
    const std::string status = BaseTopic() + "/status";
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        const DeviceRecord* record = s_.model.Entry(n);
        const Measure measure = MeasureOf(record);
        if (measure == Measure::None) {
            continue;
        }
        const int lead = s_.model.LeadIndexOf(n);
        const bool combined = KindFromDeviceType(record->deviceType) == DeviceKind::Combined;
        // One device per sensor: the halves of a combined sensor share their lead's.
        const std::string device =
            "{\"identifiers\":[" + JsonString("vigiltron_" + host + "_" + std::to_string(lead)) +
            "],\"name\":" + JsonString(record->deviceName) +
            ",\"manufacturer\":\"Vigiltron\",\"model\":" +
            JsonString(combined ? kTypeComboOffered : record->deviceType) + "}";
        // Available while the program publishes and the sensor is connected; "LOST" and "OFF"
        // both read as unavailable.
        const std::string availability =
            "[{\"topic\":" + JsonString(status) +
            "},{\"topic\":" + JsonString(EntryTopic(n, "availability")) +
            ",\"value_template\":\"{{ 'online' if value == 'online' else 'offline' }}\"}]";
        for (const Entity& entity : EntitiesOf(measure, s_.prefs)) {
            const std::string id = "vigiltron_" + host + "_" + std::to_string(n) + entity.suffix;
            std::string config = "{\"name\":" + JsonString(entity.name) +
                                 ",\"unique_id\":" + JsonString(id) +
                                 ",\"state_topic\":" + JsonString(EntryTopic(n, "state")) +
                                 ",\"value_template\":" + JsonString(entity.valueTemplate) +
                                 ",\"json_attributes_topic\":" + JsonString(EntryTopic(n, "state"));
            if (*entity.deviceClass != '\0') {
                config += ",\"device_class\":" + JsonString(entity.deviceClass);
            }
            if (!entity.unit.empty()) {
                config += ",\"unit_of_measurement\":" + JsonString(entity.unit);
            }
            if (entity.numeric) {
                config += ",\"state_class\":\"measurement\"";
            } else {
                config += ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\"";
            }
            config += ",\"availability\":" + availability +
                      ",\"availability_mode\":\"all\",\"device\":" + device + "}";
            wanted[std::string(kDiscoveryPrefix) + "/" + entity.component + "/" + id + "/config"] =
                std::move(config);
        }
    }
    return wanted;
}

void MqttPublisher::SyncDiscovery() {
    if (!connected_) {
        return;
    }
    auto publish = [this](const std::string& topic, const std::string& config) {
        const auto sent = sentDiscovery_.find(topic);
        if (sent != sentDiscovery_.end() && sent->second == config) {
            return;
        }
        sentDiscovery_[topic] = config;
        config.empty() ? void(announced_.erase(topic)) : void(announced_.insert(topic));
        // An empty retained config deletes the entity.
        Send({topic, config, 1, true}, Queueing::LatestOnly);
    };
    if (!settings_.discovery) {
        const std::set<std::string> announced = announced_;
        for (const std::string& topic : announced) {
            publish(topic, "");
        }
        return;
    }
    const std::map<std::string, std::string> wanted = WantedDiscovery();
    const std::string host = IdPart(s_.hostName);
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        for (const auto& [component, suffix] : kPossibleEntities) {
            const std::string topic = std::string(kDiscoveryPrefix) + "/" + component +
                                      "/vigiltron_" + host + "_" + std::to_string(n) + suffix +
                                      "/config";
            const auto config = wanted.find(topic);
            publish(topic, config != wanted.end() ? config->second : std::string());
        }
    }
}

}  // namespace vigiltron
