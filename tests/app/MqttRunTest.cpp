// The real program publishing the demo to Debian's Mosquitto broker on loopback, as a user
// switches it on (--set) and as Home Assistant or a script sees it (a subscriber).
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/LiveRun.h"
#include "app/ProgramRun.h"
#include "config/ProfileFile.h"
#include "platform/QtSettingsTree.h"
#include "support/MosquittoBroker.h"

namespace vigiltron {
namespace {

using testing_support::BrokerOptions;
using testing_support::LiveRun;
using testing_support::MosquittoBroker;
using testing_support::MqttSubscriber;
using testing_support::RunProgram;
using testing_support::RunResult;
using namespace std::chrono_literals;

const QString kDemoScenario = VIGILTRON_TEST_DATA "/resources/demo/demo.scenario";

// The demo's device list and preferences, as the settings file of a configuration folder.
void WriteDemoSettings(const QTemporaryDir& dir) {
    QFile demo(VIGILTRON_TEST_DATA "/resources/demo/settings.ini");
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const std::string text = demo.readAll().toStdString();
    const ProfileFile profile = ProfileFile::Parse(text);
    QtSettingsTree settings(dir.filePath("Vigiltron Manager.ini"));
    const std::regex header(R"(^\[(.+)\]\s*$)");
    std::smatch match;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        if (std::regex_match(line, match, header)) {
            for (const auto& [key, value] : profile.Entries(match[1].str())) {
                settings.SaveSetting(match[1].str(), key, value);
            }
        }
        at = end + 1;
    }
}

// "time to the second" and value of each "reading:" line of setup entry `n` in the journal.
std::vector<std::pair<std::string, double>> JournalReadings(const std::string& journal, int n) {
    std::vector<std::pair<std::string, double>> readings;
    const std::regex line("(\\d{4}-\\d\\d-\\d\\d) (\\d\\d:\\d\\d:\\d\\d)\\.\\d+ reading: " +
                          std::to_string(n) + " .* (-?\\d+(?:\\.\\d+)?)(?: [FC])?");
    std::smatch match;
    for (std::size_t at = 0; at < journal.size();) {
        const std::size_t end = std::min(journal.find('\n', at), journal.size());
        const std::string text = journal.substr(at, end - at);
        if (std::regex_match(text, match, line)) {
            readings.emplace_back(match[1].str() + "T" + match[2].str(), std::stod(match[3]));
        }
        at = end + 1;
    }
    return readings;
}

// The same of every state message of `topic`, in the order received.
std::vector<std::pair<std::string, double>> PublishedReadings(
    const MqttSubscriber::Messages& messages, const std::string& topic) {
    std::vector<std::pair<std::string, double>> readings;
    const std::regex reading("\"reading\":(-?[0-9.]+)");
    const std::regex time("\"time\":\"([^\"]+)\"");
    for (const auto& m : messages) {
        std::smatch value;
        std::smatch when;
        if (m.topic == topic && std::regex_search(m.payload, value, reading) &&
            std::regex_search(m.payload, when, time)) {
            readings.emplace_back(when[1].str(), std::stod(value[1]));
        }
    }
    return readings;
}

std::string Between(const std::string& text, const std::string& begin, const std::string& end) {
    const auto from = text.find(begin);
    if (from == std::string::npos) {
        return {};
    }
    const auto start = from + begin.size();
    return text.substr(start, text.find(end, start) - start);
}

TEST(MqttRunTest, TheDemoIsPublishedWithDiscoveryAlarmsLastWillAndAReconnection) {
    BrokerOptions options;
    options.keepSessions = true;  // the subscriber's session outlives a broker restart
    MosquittoBroker broker(options);
    ASSERT_TRUE(broker.Ready()) << broker.Errors();
    MqttSubscriber subscriber(broker.Port(), "#", "", "", "test-subscriber");
    ASSERT_TRUE(subscriber.Ready());

    QTemporaryDir dir;
    WriteDemoSettings(dir);
    const RunResult set =
        RunProgram({"--config-dir", dir.path(), "--set", "MqttEnabled=1", "--set",
                    "MqttServer=127.0.0.1", "--set", "MqttPort=" + QString::number(broker.Port())});
    ASSERT_EQ(set.exitCode, 0) << set.out << set.err;

    // A simulated hour of the demo.
    const RunResult run = RunProgram({"--headless", "--simulate", kDemoScenario, "--config-dir",
                                      dir.path(), "--virtual-time", "3600"},
                                     120000);
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const std::string base =
        Between(run.out,
                "mqtt: publishing to 127.0.0.1:" + std::to_string(broker.Port()) + " under ", "\n");
    ASSERT_FALSE(base.empty()) << run.out;
    EXPECT_NE(run.out.find("mqtt: connected to 127.0.0.1:"), std::string::npos) << run.out;
    // The clean stop's "offline" is the last message: everything before it has arrived then.
    ASSERT_TRUE(subscriber.WaitFor(base + "/status", "offline")) << subscriber.Text();
    const MqttSubscriber::Messages hour = subscriber.Received();

    // Home Assistant finds every demo sensor with its kind.
    const std::vector<std::pair<int, std::string>> kinds = {{1, "\"device_class\":\"temperature\""},
                                                            {2, "\"device_class\":\"humidity\""},
                                                            {3, "\"device_class\":\"humidity\""},
                                                            {4, "\"device_class\":\"temperature\""},
                                                            {5, "\"device_class\":\"occupancy\""},
                                                            {6, "\"device_class\":\"moisture\""},
                                                            {7, "\"name\":\"X tilt\""},
                                                            {7, "\"name\":\"Y tilt\""},
                                                            {8, "\"device_class\":\"distance\""}};
    for (const auto& [n, kind] : kinds) {
        const std::string stateTopic =
            "\"state_topic\":\"" + base + "/" + std::to_string(n) + "/state\"";
        EXPECT_TRUE(std::any_of(hour.begin(), hour.end(),
                                [&](const auto& m) {
                                    return m.topic.rfind("homeassistant/", 0) == 0 &&
                                           m.payload.find(stateTopic) != std::string::npos &&
                                           m.payload.find(kind) != std::string::npos;
                                }))
            << "no discovery config of entry " << n << " with " << kind;
    }
    // Every reading the journal shows is published, in order, with its time.
    for (int n = 1; n <= 4; ++n) {
        const auto journal = JournalReadings(run.out, n);
        EXPECT_GE(journal.size(), 60u) << n;
        EXPECT_EQ(PublishedReadings(hour, base + "/" + std::to_string(n) + "/state"), journal)
            << "entry " << n;
    }
    // The server room overheats once and cools down again.
    std::vector<std::string> serverRoom;
    for (const auto& m : hour) {
        if (m.topic == base + "/1/alarm") {
            EXPECT_FALSE(m.retain);
            serverRoom.push_back(m.payload);
        }
    }
    ASSERT_EQ(serverRoom.size(), 2u) << subscriber.Text();
    EXPECT_EQ(serverRoom[0].find("back to normal"), std::string::npos) << serverRoom[0];
    EXPECT_NE(serverRoom[1].find("back to normal"), std::string::npos) << serverRoom[1];

    // In real time, a reading a second: the broker goes away for a while and comes back.
    ASSERT_EQ(RunProgram({"--config-dir", dir.path(), "--set", "MinOrSecs=Sec", "--set",
                          "ReadingInterval=1"})
                  .exitCode,
              0);
    const std::size_t before = subscriber.Received().size();
    LiveRun live({"--headless", "--simulate", kDemoScenario, "--config-dir", dir.path()});
    ASSERT_TRUE(live.WaitFor("mqtt: connected to ")) << live.Output();
    ASSERT_TRUE(subscriber.WaitFor([&](const MqttSubscriber::Messages& m) {
        return std::any_of(m.begin() + before, m.end(), [&](const auto& message) {
            return message.topic == base + "/status" && message.payload == "online";
        });
    })) << subscriber.Text();

    broker.Stop();
    ASSERT_TRUE(live.WaitFor("mqtt: disconnected from ")) << live.Output();
    const std::size_t lostAt = live.Output().find("mqtt: disconnected from ");
    // Three readings taken while the broker is away.
    ASSERT_TRUE(live.WaitFor([&](const std::string& journal) {
        return JournalReadings(journal.substr(lostAt), 1).size() >= 3;
    })) << live.Output();
    ASSERT_TRUE(broker.Start()) << broker.Errors();
    ASSERT_TRUE(live.WaitFor("mqtt: reconnected to ")) << live.Output();
    const std::size_t backAt = live.Output().find("mqtt: reconnected to ");
    const auto away = JournalReadings(live.Output().substr(lostAt, backAt - lostAt), 1);
    ASSERT_GE(away.size(), 3u);
    EXPECT_TRUE(subscriber.WaitFor([&](const MqttSubscriber::Messages& m) {
        const auto published = PublishedReadings(m, base + "/1/state");
        return std::all_of(away.begin(), away.end(), [&](const auto& reading) {
            return std::find(published.begin(), published.end(), reading) != published.end();
        });
    })) << live.Output()
        << subscriber.Text();

    // Killed without a goodbye: the broker publishes the last will.
    const std::size_t beforeKill = subscriber.Received().size();
    live.Kill();
    EXPECT_TRUE(subscriber.WaitFor([&](const MqttSubscriber::Messages& m) {
        return std::any_of(m.begin() + beforeKill, m.end(), [&](const auto& message) {
            return message.topic == base + "/status" && message.payload == "offline";
        });
    })) << subscriber.Text();
}

}  // namespace
}  // namespace vigiltron
