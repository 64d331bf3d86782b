#pragma once

#include <arpa/inet.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vigiltron::testing_support {

struct BrokerOptions {
    // A login the broker requires; empty: anybody may connect.
    std::string user;
    std::string password;
    // TLS only, with a server certificate for "localhost" and 127.0.0.1 signed by a test
    // certificate authority (MosquittoBroker::CaFile()).
    bool tls = false;
    // Sessions and retained messages kept across a restart (in the broker's own folder): a
    // subscriber with a session of its own then misses nothing while the broker is away.
    bool keepSessions = false;
};

// Debian's Mosquitto broker on a free loopback port with a configuration of its own (no root
// needed, nothing kept on disk), stopped whatever the test does. It can be stopped and started
// again on the same port.
class MosquittoBroker {
public:
    // How long starting or stopping the broker may take.
    static constexpr int kBoundMs = 20000;

    explicit MosquittoBroker(const BrokerOptions& options = BrokerOptions()) {
        port_ = FreePort();
        QString config = QString("listener %1 127.0.0.1\n").arg(port_);
        config += options.keepSessions
                      ? "persistence true\npersistence_location " + dir_.path() + "/\n"
                      : QString("persistence false\n");
        // Run as root (as CI does), the broker would switch to its own user, which cannot read
        // this test's private folder.
        if (::geteuid() == 0) {
            config += "user root\n";
        }
        if (options.user.empty()) {
            config += "allow_anonymous true\n";
        } else {
            const QString passwords = dir_.filePath("passwords");
            QProcess tool;
            tool.start("mosquitto_passwd",
                       {"-b", "-c", passwords, QString::fromStdString(options.user),
                        QString::fromStdString(options.password)});
            if (!tool.waitForFinished(kBoundMs) || tool.exitCode() != 0) {
                setupError_ =
                    "mosquitto_passwd failed: " + tool.readAllStandardError().toStdString();
                return;
            }
            config += "allow_anonymous false\npassword_file " + passwords + "\n";
        }
        if (options.tls) {
            if (!MakeCertificates()) {
                return;
            }
            config += "certfile " + dir_.filePath("server.crt") + "\nkeyfile " +
                      dir_.filePath("server.key") + "\n";
        }
        QFile file(dir_.filePath("mosquitto.conf"));
        file.open(QIODevice::WriteOnly);
        file.write(config.toUtf8());
        file.close();
        ready_ = Start();
    }
    ~MosquittoBroker() { Stop(); }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Starts the broker; true once it is listening.
    bool Start() {
        if (!setupError_.empty()) {
            return false;
        }
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start("/usr/sbin/mosquitto", {"-c", dir_.filePath("mosquitto.conf")});
        // What this start says, after what the ones before said.
        const qsizetype from = log_.size();
        const auto running = [&] { return log_.indexOf(" running", from) >= 0; };
        QDeadlineTimer deadline(kBoundMs);
        while (!running() && !deadline.hasExpired()) {
            if (!process_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))) &&
                process_.state() == QProcess::NotRunning) {
                break;
            }
            log_ += process_.readAll();
        }
        return running() && process_.state() == QProcess::Running;
    }
    // Stops the broker (as a service stop does) and waits until it has ended.
    void Stop() {
        if (process_.state() == QProcess::NotRunning) {
            return;
        }
        process_.terminate();
        if (!process_.waitForFinished(kBoundMs)) {
            process_.kill();
            process_.waitForFinished(kBoundMs);
        }
        log_ += process_.readAll();
    }

    bool Ready() const { return ready_; }
    int Port() const { return port_; }
    // The test authority's certificate (PEM) of a TLS broker.
    std::string CaFile() const { return dir_.filePath("ca.crt").toStdString(); }
    // Why the broker did not start, and what it said.
    std::string Errors() {
        log_ += process_.readAll();
        return setupError_ + QString::fromUtf8(log_).toStdString();
    }

private:
    static int FreePort() {
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

    bool Run(const QStringList& args) {
        QProcess openssl;
        openssl.setWorkingDirectory(dir_.path());
        openssl.start("openssl", args);
        if (!openssl.waitForFinished(kBoundMs) || openssl.exitCode() != 0) {
            setupError_ += "openssl " + args.join(' ').toStdString() + ": " +
                           openssl.readAllStandardError().toStdString();
            return false;
        }
        return true;
    }

    bool MakeCertificates() {
        QFile extensions(dir_.filePath("server.ext"));
        extensions.open(QIODevice::WriteOnly);
        extensions.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        extensions.close();
        const QStringList key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                 "-nodes"};
        return Run(QStringList{"req", "-x509"} + key +
                   QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-subj",
                               "/CN=Vigiltron test authority", "-days", "2"}) &&
               Run(QStringList{"req"} + key +
                   QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj",
                               "/CN=localhost"}) &&
               Run({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                    "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile",
                    "server.ext"});
    }

    QTemporaryDir dir_;
    QProcess process_;
    QByteArray log_;
    int port_ = 0;
    bool ready_ = false;
    std::string setupError_;
};

// A subscriber on the test broker (libmosquitto on its own thread) that keeps every message it
// receives.
class MqttSubscriber {
public:
    struct Message {
        std::string topic;
        std::string payload;
        int qos = 0;
        bool retain = false;
    };
    using Messages = std::vector<Message>;

    // Connects to the broker on loopback `port` (with a login when `user` is given) and
    // subscribes to `filter` with QoS 1; Ready() once the broker has confirmed the subscription
    // (within a bounded wait).
    explicit MqttSubscriber(int port, const std::string& filter = "#", const std::string& user = {},
                            const std::string& password = {}, const std::string& clientId = {})
        : filter_(filter) {
        mosquitto_lib_init();
        // With an id of its own, the broker keeps its session (and what it missed) while away.
        mosq_ =
            mosquitto_new(clientId.empty() ? nullptr : clientId.c_str(), clientId.empty(), this);
        if (!user.empty()) {
            mosquitto_username_pw_set(mosq_, user.c_str(), password.c_str());
        }
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* self, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(m, nullptr, static_cast<MqttSubscriber*>(self)->filter_.c_str(),
                                    1);
            }
        });
        mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* self, int, int, const int*) {
            auto* subscriber = static_cast<MqttSubscriber*>(self);
            const std::lock_guard lock(subscriber->mutex_);
            subscriber->subscribed_ = true;
            subscriber->changed_.notify_all();
        });
        mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self,
                                                 const mosquitto_message* message) {
            auto* subscriber = static_cast<MqttSubscriber*>(self);
            const std::lock_guard lock(subscriber->mutex_);
            subscriber->messages_.push_back({message->topic,
                                             std::string(static_cast<const char*>(message->payload),
                                                         std::size_t(message->payloadlen)),
                                             message->qos, message->retain});
            subscriber->changed_.notify_all();
        });
        if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
            mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS) {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, std::chrono::seconds(10), [this] { return subscribed_; });
        }
    }
    ~MqttSubscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
    }
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    bool Ready() {
        const std::lock_guard lock(mutex_);
        return subscribed_;
    }
    Messages Received() {
        const std::lock_guard lock(mutex_);
        return messages_;
    }
    // Waits until `done` holds for the messages received so far, at most `bound`.
    bool WaitFor(const std::function<bool(const Messages&)>& done,
                 std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return done(messages_); });
    }
    // Waits for a message on `topic`, with `payload` when one is given.
    bool WaitFor(const std::string& topic, const std::string& payload = {},
                 std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        return WaitFor(
            [&](const Messages& messages) {
                return std::any_of(messages.begin(), messages.end(), [&](const Message& m) {
                    return m.topic == topic && (payload.empty() || m.payload == payload);
                });
            },
            bound);
    }
    // Everything received, one "topic payload" line each, for failure messages.
    std::string Text() {
        std::string text;
        for (const Message& m : Received()) {
            text += m.topic + " " + m.payload + "\n";
        }
        return text;
    }

private:
    std::string filter_;
    mosquitto* mosq_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool subscribed_ = false;
    Messages messages_;
};

}  // namespace vigiltron::testing_support
