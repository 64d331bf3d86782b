// MQTT: the real program publishing the readings of 10 simulated distance sensors, each streaming
// 10 lines a second, to Debian's Mosquitto on loopback, run as users run it
// (`vigiltron-manager --headless --simulate ... --virtual-time 80` with publishing switched on in
// its settings). Beside it, in the same run, two floors: the same program and sensors with
// publishing off (what publishing adds is the difference), and `mosquitto_pub` sending as many
// messages of the same size with QoS 1 (the broker project's own client).
//
//   mqtt_bench [--keep] [path/to/vigiltron-manager]
//
// (default: the program built beside this benchmark; --keep leaves the settings, journals, log
// files and the broker's log in the temporary directory for a look afterwards)
//
// The sensors connect one after the other, about 2 s apart; 80 simulated seconds give each at
// least 60 s of streaming. A subscriber in this benchmark counts the state messages of every
// sensor, and the program's log files give the readings it took: the target is every reading
// delivered, and the program's CPU for publishing (its CPU with publishing on, less its CPU with
// publishing off) under 1 % of one core at 100 messages a second.

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

using namespace vigiltron::bench;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

namespace {

constexpr int kSensors = 10;
constexpr const char* kInterval = "100ms";
constexpr int kVirtualSeconds = 80;
constexpr milliseconds kRunBound{180000};
constexpr milliseconds kDeliveryBound{30000};
constexpr milliseconds kBrokerBound{10000};
constexpr double kRatePerSecond = kSensors * 10.0;
constexpr double kCpuTarget = 0.01;  // of one core, at kRatePerSecond

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

double SecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

int FreePort() {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(sock);
    return port;
}

bool Accepts(int port) {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(sock);
    return ok;
}

// Counts what the broker forwards below "vigiltron/", by topic.
class Subscriber {
public:
    explicit Subscriber(int port) {
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void*, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(m, nullptr, "vigiltron/#", 1);
            }
        });
        mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* self, int, int, const int*) {
            auto* s = static_cast<Subscriber*>(self);
            const std::lock_guard lock(s->mutex_);
            s->ready_ = true;
            s->changed_.notify_all();
        });
        mosquitto_message_callback_set(
            mosq_, [](mosquitto*, void* self, const mosquitto_message* message) {
                auto* s = static_cast<Subscriber*>(self);
                const std::lock_guard lock(s->mutex_);
                ++s->counts_[message->topic];
                s->last_[message->topic] = std::string(static_cast<const char*>(message->payload),
                                                       size_t(message->payloadlen));
                s->changed_.notify_all();
            });
        if (mosquitto_connect(mosq_, "127.0.0.1", port, 60) == MOSQ_ERR_SUCCESS &&
            mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS) {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, kBrokerBound, [this] { return ready_; });
        }
    }
    ~Subscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
    }
    bool Ready() {
        const std::lock_guard lock(mutex_);
        return ready_;
    }
    void Reset() {
        const std::lock_guard lock(mutex_);
        counts_.clear();
        last_.clear();
    }
    long Count(const std::string& topic) {
        const std::lock_guard lock(mutex_);
        const auto found = counts_.find(topic);
        return found == counts_.end() ? 0 : found->second;
    }
    // Waits until `topic` has had a message `payload`, or `count` messages; false after `bound`.
    bool WaitForLast(const std::string& topic, const std::string& payload, milliseconds bound) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] {
            const auto found = last_.find(topic);
            return found != last_.end() && found->second == payload;
        });
    }
    bool WaitForCount(const std::string& topic, long count, milliseconds bound) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return counts_[topic] >= count; });
    }

private:
    mosquitto* mosq_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    std::map<std::string, long> counts_;
    std::map<std::string, std::string> last_;
};

struct RunResult {
    std::string name;
    bool ran = false;
    std::string failure;
    long readings = 0;   // taken (log files), or handed to mosquitto_pub
    long delivered = 0;  // state messages the subscriber received
    std::map<int, std::pair<long, long>> perSensor;  // readings, delivered
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakRssKiB = 0;
    std::vector<std::string> journal;  // the program's "mqtt:" lines
};

// Distance readings per sensor in a log directory: lines with "cm", in files whose first line
// is the sensor's name ("Bay N").
std::map<int, long> LoggedReadings(const std::string& directory) {
    std::map<int, long> counts;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        std::ifstream file(entry.path());
        std::string line;
        if (!std::getline(file, line) || line.rfind("Bay ", 0) != 0) {
            continue;
        }
        const int n = std::atoi(line.c_str() + 4);
        while (std::getline(file, line)) {
            if (line.find("cm") != std::string::npos) {
                ++counts[n];
            }
        }
    }
    return counts;
}

std::string Settings(int port, bool publishing) {
    std::string text =
        "[Program%20Setup]\nTotalDevices=" + std::to_string(kSensors) +
        "\nAutoConnect=1\nCheckRange=1\nMaxDistanceThresh=100\nMinDistanceThresh=30\n"
        "MaxFileSize=100000\nHDDTotalAmount=100000000\n"
        "MqttEnabled=" +
        std::string(publishing ? "1" : "0") +
        "\nMqttServer=127.0.0.1\nMqttPort=" + std::to_string(port) +
        "\nMqttTopicPrefix=vigiltron\n\n[PortConfig]\n";
    for (int n = 1; n <= kSensors; ++n) {
        const std::string key = "Devices\\" + std::to_string(n) + "\\";
        text += key + "DeviceType=Vigiltron/D (Distance)\n" + key + "DeviceName=Bay " +
                std::to_string(n) + "\n" + key + "Port=" + std::to_string(n) + "\n" + key +
                "SubIndex=1\n" + key + "TabLogging=1\n" + key + "FileLogging=1\n" + key +
                "StartInProx=0\n";
    }
    return text;
}

RunResult RunProgram(const std::string& program, const std::string& dir, int port, bool publishing,
                     Subscriber& subscriber) {
    RunResult result;
    result.name = publishing ? "vigiltron-manager, publishing" : "vigiltron-manager, off (floor)";
    const std::string config = dir + (publishing ? "/on" : "/off");
    fs::create_directories(config);
    std::string scenario;
    for (int n = 1; n <= kSensors; ++n) {
        // 41..50 cm: inside the range, so only readings are published, no alarms.
        scenario += "sensor COM" + std::to_string(n) +
                    " distance distance=" + std::to_string(40 + n) + " interval=" + kInterval +
                    "\n";
    }
    WriteFile(config + "/bench.scenario", scenario);
    WriteFile(config + "/Vigiltron Manager.ini", Settings(port, publishing));
    const std::string journalPath = config + "/journal.txt";
    const int journal = ::open(journalPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);

    subscriber.Reset();
    std::string error;
    const auto started = SteadyClock::now();
    auto child = ChildProcess::Start(
        {program, "--headless", "--simulate", config + "/bench.scenario", "--config-dir", config,
         "--virtual-time", std::to_string(kVirtualSeconds)},
        -1, journal, journal, &error);
    ::close(journal);
    if (!child) {
        result.failure = error;
        return result;
    }
    const ChildUsage usage = child->WaitFor(kRunBound);
    result.wallSeconds = SecondsSince(started);
    if (!usage.ended) {
        result.failure = "did not end within the bound";
        return result;
    }
    result.ran = true;
    result.cpuSeconds = usage.cpuSeconds;
    result.peakRssKiB = usage.peakRssKiB;

    std::ifstream lines(journalPath);
    std::string host;
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find(" mqtt: ");
        if (at == std::string::npos) {
            continue;
        }
        result.journal.push_back(line.substr(at + 1));
        const auto under = line.find(" under ");
        if (under != std::string::npos && host.empty()) {
            host = line.substr(under + 7);
        }
    }
    for (const auto& [n, count] : LoggedReadings(config + "/logfiles")) {
        result.perSensor[n].first = count;
        result.readings += count;
    }
    if (publishing) {
        if (host.empty()) {
            result.failure = "the journal names no topic (publishing did not start)";
            return result;
        }
        // The clean stop's "offline" comes last: what came before it has arrived then.
        if (!subscriber.WaitForLast(host + "/status", "offline", kDeliveryBound)) {
            result.failure = "no \"offline\" on " + host + "/status";
        }
        for (int n = 1; n <= kSensors; ++n) {
            const long count = subscriber.Count(host + "/" + std::to_string(n) + "/state");
            result.perSensor[n].second = count;
            result.delivered += count;
        }
    }
    return result;
}

RunResult RunMosquittoPub(const std::string& dir, int port, long messages, Subscriber& subscriber) {
    RunResult result;
    result.name = "mosquitto_pub -q 1 -l (floor)";
    const std::string pub = FindOnPath("mosquitto_pub");
    if (pub.empty()) {
        result.failure = "mosquitto_pub is not installed (Debian package mosquitto-clients)";
        return result;
    }
    // A state message of the program's size, one per line.
    const std::string payload =
        "{\"reading\":45,\"unit\":\"cm\",\"text\":\"45cm\",\"status\":\"OK\",\"time\":"
        "\"2026-12-09T03:31:09\",\"name\":\"Bay 5\"}\n";
    std::string all;
    for (long i = 0; i < messages; ++i) {
        all += payload;
    }
    const std::string input = dir + "/pub-input.txt";
    WriteFile(input, all);
    const int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    const std::string topic = "vigiltron/bench/floor";
    subscriber.Reset();
    std::string error;
    const auto started = SteadyClock::now();
    auto child = ChildProcess::Start(
        {pub, "-h", "127.0.0.1", "-p", std::to_string(port), "-q", "1", "-t", topic, "-l"}, in, -1,
        -1, &error);
    ::close(in);
    if (!child) {
        result.failure = error;
        return result;
    }
    const ChildUsage usage = child->WaitFor(kRunBound);
    if (!usage.ended) {
        result.failure = "did not end within the bound";
        return result;
    }
    subscriber.WaitForCount(topic, messages, kDeliveryBound);
    result.wallSeconds = SecondsSince(started);
    result.ran = true;
    result.readings = messages;
    result.delivered = subscriber.Count(topic);
    result.cpuSeconds = usage.cpuSeconds;
    result.peakRssKiB = usage.peakRssKiB;
    return result;
}

void PrintRow(const RunResult& r) {
    if (!r.ran) {
        std::printf("%-32s did not run: %s\n", r.name.c_str(), r.failure.c_str());
        return;
    }
    std::printf("%-32s %9ld %10ld %8.2f %10.0f %7.2f %9.1f\n", r.name.c_str(), r.readings,
                r.delivered, r.wallSeconds, r.wallSeconds > 0 ? r.delivered / r.wallSeconds : 0,
                r.cpuSeconds, Mib(r.peakRssKiB));
    if (!r.failure.empty()) {
        std::printf("%-32s note: %s\n", "", r.failure.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto keepFlag = std::find(args.begin(), args.end(), "--keep");
    const bool keep = keepFlag != args.end();
    if (keep) {
        args.erase(keepFlag);
    }
    const std::string program = !args.empty() ? args[0] : BuiltProgram("vigiltron-manager");
    if (::access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "mqtt_bench: no program at %s (give its path)\n", program.c_str());
        return 2;
    }
    const std::string broker = "/usr/sbin/mosquitto";
    if (::access(broker.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "mqtt_bench: no broker at %s (Debian package mosquitto)\n",
                     broker.c_str());
        return 2;
    }
    const std::string dir = MakeTempDirectory("mqtt_bench");
    if (dir.empty()) {
        std::perror("mqtt_bench: temporary directory");
        return 2;
    }
    const auto started = SteadyClock::now();
    mosquitto_lib_init();

    const int port = FreePort();
    WriteFile(dir + "/mosquitto.conf", "listener " + std::to_string(port) +
                                           " 127.0.0.1\nallow_anonymous true\npersistence false\n"
                                           // Room for a burst to the subscriber: the default
                                           // drops QoS 1 messages beyond 1,000 waiting.
                                           "max_queued_messages 1000000\n" +
                                           (::geteuid() == 0 ? "user root\n" : ""));
    const int brokerLog =
        ::open((dir + "/mosquitto.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::string error;
    auto mosquitto = ChildProcess::Start({broker, "-c", dir + "/mosquitto.conf"}, -1, brokerLog,
                                         brokerLog, &error);
    ::close(brokerLog);
    const auto brokerStarted = SteadyClock::now();
    while (mosquitto && !Accepts(port) && SteadyClock::now() - brokerStarted < kBrokerBound) {
        std::this_thread::sleep_for(milliseconds(20));
    }
    if (!mosquitto || !Accepts(port)) {
        std::fprintf(stderr, "mqtt_bench: the broker did not start: %s (log in %s)\n",
                     error.c_str(), dir.c_str());
        return 2;
    }
    int status = 0;
    {
        Subscriber subscriber(port);
        if (!subscriber.Ready()) {
            std::fprintf(stderr, "mqtt_bench: the subscriber could not subscribe\n");
            return 2;
        }
        const RunResult on = RunProgram(program, dir, port, true, subscriber);
        const RunResult off = RunProgram(program, dir, port, false, subscriber);
        const RunResult pub = RunMosquittoPub(dir, port, std::max(on.readings, 1L), subscriber);

        std::printf(
            "MQTT: %d simulated distance sensors, a line every %s each, %d simulated seconds; "
            "%s --headless --virtual-time to Mosquitto on 127.0.0.1:%d\n\n",
            kSensors, kInterval, kVirtualSeconds, program.c_str(), port);
        std::printf("%-32s %9s %10s %8s %10s %7s %9s\n", "run", "readings", "delivered", "wall s",
                    "msgs/s", "CPU s", "peak RSS");
        std::printf("%-32s %9s %10s %8s %10s %7s %9s\n", "", "", "", "", "(wall)", "", "MiB");
        PrintRow(on);
        for (const std::string& line : on.journal) {
            std::printf("%-32s journal: %s\n", "", line.c_str());
        }
        for (const auto& [n, counts] : on.perSensor) {
            if (counts.first != counts.second) {
                std::printf("%-32s sensor %d: %ld readings, %ld delivered\n", "", n, counts.first,
                            counts.second);
            }
        }
        PrintRow(off);
        PrintRow(pub);
        std::printf("\n");

        if (!on.ran || !off.ran) {
            status = 1;
        } else {
            const bool everyMessage =
                on.failure.empty() && on.readings > 0 && on.delivered == on.readings;
            const double extra = std::max(0.0, on.cpuSeconds - off.cpuSeconds);
            const double perThousand = on.readings > 0 ? extra * 1000.0 / on.readings : 0;
            const double share = perThousand / 1000.0 * kRatePerSecond;
            std::printf("every reading delivered: %s (%ld of %ld)\n", everyMessage ? "yes" : "NO",
                        on.delivered, on.readings);
            std::printf(
                "publishing costs %.3f s of CPU for %ld messages (%.1f ms per 1,000): %.2f %% of "
                "one core at %.0f messages/s: %s\n",
                extra, on.readings, perThousand * 1000.0, share * 100.0, kRatePerSecond,
                share < kCpuTarget ? "under 1 %" : "NOT under 1 %");
            std::printf("peak RSS %.1f MiB more than with publishing off\n",
                        Mib(on.peakRssKiB - off.peakRssKiB));
            if (pub.ran && pub.cpuSeconds > 0) {
                std::printf("publishing's CPU is %.1fx mosquitto_pub's for as many messages\n",
                            extra / pub.cpuSeconds);
            }
            status = everyMessage && share < kCpuTarget ? 0 : 1;
        }
    }
    mosquitto->Signal(SIGTERM);
    mosquitto->WaitFor(kBrokerBound);
    std::printf("\nbench took %.0f s\n", SecondsSince(started));
    if (keep) {
        std::printf("settings, journals, log files and the broker's log kept in %s\n", dir.c_str());
    } else {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    return status;
}
