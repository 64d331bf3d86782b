#include "platform/MosquittoMqttClient.h"

#include <mosquitto.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

namespace vigiltron {

namespace {

using SteadyClock = std::chrono::steady_clock;

void InitialiseLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

bool SameConnection(const MqttConnection& a, const MqttConnection& b) {
    return a.host == b.host && a.port == b.port && a.tls == b.tls && a.caFile == b.caFile &&
           a.user == b.user && a.password == b.password && a.clientId == b.clientId &&
           a.willTopic == b.willTopic && a.willPayload == b.willPayload &&
           a.keepAliveSeconds == b.keepAliveSeconds;
}

// Where the system keeps the certificate authorities it trusts (Debian's ca-certificates).
constexpr const char* kSystemCertificates = "/etc/ssl/certs";

}  // namespace

// ==== The engine's side ====

struct MosquittoMqttClient::Front {
    explicit Front(MosquittoMqttClient& c) : client(c) {}

    void Tell(std::uint64_t gen, bool up, const std::string& reason) {
        if (gen != generation || !client.onConnectionChanged) {
            return;
        }
        const auto call = client.onConnectionChanged;
        call(up, reason);
    }

    MosquittoMqttClient& client;
    // Raised by Stop: what the network thread said before is no longer told.
    std::uint64_t generation = 1;
    // Notifications waiting for DeliverFinished (without a post function).
    std::mutex finishedMutex;
    std::deque<std::function<void()>> finished;
};

// ==== The network thread's side ====

struct MosquittoMqttClient::Shared {
    enum class State {
        Idle,        // no settings yet
        Broken,      // settings that cannot work (an unreadable CA file): no attempts
        Waiting,     // until the next attempt
        Connecting,  // logging in
        Up,
    };

    Shared(Post p, std::weak_ptr<Front> f, std::uint64_t gen)
        : post(std::move(p)), front(std::move(f)), generation(gen) {
        wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    ~Shared() {
        if (wakeFd >= 0) {
            ::close(wakeFd);
        }
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    // Any thread: brings the network thread out of its wait.
    void Wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof one);
    }

    // Network thread: hands a notification to the engine's thread, unless the client is
    // stopping (then nobody is left to receive it, and the loop behind `post` may be gone).
    void Tell(bool up, const std::string& reason) {
        const std::lock_guard lock(mutex);
        if (stopping) {
            return;
        }
        std::function<void()> work = [f = front, gen = generation, up, reason] {
            if (const auto alive = f.lock()) {
                alive->Tell(gen, up, reason);
            }
        };
        if (post) {
            post(std::move(work));
        } else if (const auto alive = front.lock()) {
            const std::lock_guard finishedLock(alive->finishedMutex);
            alive->finished.push_back(std::move(work));
        }
    }

    void Run();
    void Open(const MqttConnection& settings);
    void Attempt();
    void PollOnce();
    void Failed(const std::string& reason);
    void Send(const MqttMessage& message);
    // Says goodbye to the broker when connected (so it does not publish the last will).
    void Close();

    static void OnConnect(struct mosquitto*, void* self, int code) {
        static_cast<Shared*>(self)->Connected(code);
    }
    static void OnPublish(struct mosquitto*, void* self, int mid) {
        auto* shared = static_cast<Shared*>(self);
        const std::lock_guard lock(shared->mutex);
        if (shared->unacknowledged.erase(mid) > 0) {
            shared->changed.notify_all();
        }
    }
    static void OnLog(struct mosquitto*, void* self, int level, const char* text) {
        auto* shared = static_cast<Shared*>(self);
        if ((level & MOSQ_LOG_ERR) == 0 || !shared->settings.tls || !text) {
            return;
        }
        // The TLS failures reach us only as OpenSSL's words in the library's log.
        const std::string_view line(text);
        if (line.find("certificate verify failed") != std::string_view::npos) {
            shared->tlsFailure = "TLS certificate not trusted";
        } else if (shared->tlsFailure.empty() && (line.find("OpenSSL") != std::string_view::npos ||
                                                  line.find("SSL") != std::string_view::npos)) {
            shared->tlsFailure = "TLS handshake failed (does the broker's port speak TLS?)";
        }
    }
    void Connected(int code);

    const Post post;
    const std::weak_ptr<Front> front;
    const std::uint64_t generation;
    int wakeFd = -1;

    // Between the two threads, under `mutex`.
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<MqttConnection> pending;  // new settings from Start
    std::deque<MqttMessage> outbox;         // handed over, not yet given to the library
    std::set<int> unacknowledged;           // QoS 1 messages the broker has not confirmed
    bool stopping = false;
    bool finished = false;  // the thread has left its loop
    std::atomic<bool> connected{false};

    // The network thread's own.
    struct mosquitto* mosq = nullptr;
    MqttConnection settings;
    State state = State::Idle;
    SteadyClock::time_point nextAttempt;
    SteadyClock::time_point answerDeadline;
    std::chrono::seconds retryDelay = kFirstRetry;
    bool everUp = false;
    std::optional<std::string> toldDown;  // the last "down" reason told since the last "up"
    int refusal = 0;                      // the broker's CONNACK code of the last attempt
    std::string tlsFailure;               // what the library's log said of the TLS handshake
};

void MosquittoMqttClient::Shared::Run() {
    while (true) {
        std::optional<MqttConnection> next;
        std::deque<MqttMessage> toSend;
        {
            std::unique_lock lock(mutex);
            if (stopping) {
                break;
            }
            next.swap(pending);
            if (state == State::Up) {
                toSend.swap(outbox);
            }
        }
        if (next) {
            Open(*next);
            continue;
        }
        for (const MqttMessage& message : toSend) {
            Send(message);
        }
        if (!toSend.empty()) {
            const std::lock_guard lock(mutex);
            changed.notify_all();
        }
        PollOnce();
    }
    Close();
    if (mosq) {
        mosquitto_destroy(mosq);
        mosq = nullptr;
    }
    const std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
}

void MosquittoMqttClient::Shared::Open(const MqttConnection& next) {
    Close();
    if (mosq) {
        mosquitto_destroy(mosq);
        mosq = nullptr;
    }
    {
        const std::lock_guard lock(mutex);
        unacknowledged.clear();
        changed.notify_all();
    }
    settings = next;
    everUp = false;
    toldDown.reset();
    retryDelay = kFirstRetry;
    state = State::Broken;

    // A persistent session needs an id of our own; without one the broker gets a fresh session.
    const bool persistent = !settings.clientId.empty();
    mosq = mosquitto_new(persistent ? settings.clientId.c_str() : nullptr, !persistent, this);
    if (!mosq) {
        Failed("the MQTT library could not start");
        return;
    }
    mosquitto_connect_callback_set(mosq, &Shared::OnConnect);
    mosquitto_publish_callback_set(mosq, &Shared::OnPublish);
    mosquitto_log_callback_set(mosq, &Shared::OnLog);
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!settings.willTopic.empty() &&
        mosquitto_will_set(mosq, settings.willTopic.c_str(), int(settings.willPayload.size()),
                           settings.willPayload.data(), 1, true) != MOSQ_ERR_SUCCESS) {
        Failed("the last-will topic is not valid: " + settings.willTopic);
        return;
    }
    if (!settings.user.empty() &&
        mosquitto_username_pw_set(
            mosq, settings.user.c_str(),
            settings.password.empty() ? nullptr : settings.password.c_str()) != MOSQ_ERR_SUCCESS) {
        Failed("the user name cannot be used");
        return;
    }
    if (settings.tls) {
        const bool ownAuthority = !settings.caFile.empty();
        const int rc = mosquitto_tls_set(mosq, ownAuthority ? settings.caFile.c_str() : nullptr,
                                         ownAuthority ? nullptr : kSystemCertificates, nullptr,
                                         nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            // Never fall back to a connection in clear.
            Failed(ownAuthority ? "the CA file cannot be read: " + settings.caFile
                                : std::string("the system's certificates cannot be read in ") +
                                      kSystemCertificates);
            return;
        }
        mosquitto_tls_insecure_set(mosq, false);
    }
    state = State::Waiting;
    nextAttempt = SteadyClock::now();
}

void MosquittoMqttClient::Shared::Attempt() {
    state = State::Connecting;
    refusal = 0;
    tlsFailure.clear();
    errno = 0;
    // Blocks on the name lookup, the TCP connection and the TLS handshake: this thread only.
    const int rc = mosquitto_connect(mosq, settings.host.c_str(), settings.port,
                                     std::max(5, settings.keepAliveSeconds));
    const int systemError = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        Failed(rc == MOSQ_ERR_TLS && !tlsFailure.empty() ? tlsFailure
                                                         : FailureReason(rc, systemError));
        return;
    }
    answerDeadline = SteadyClock::now() + kAnswerWait;
}

void MosquittoMqttClient::Shared::PollOnce() {
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {-1, 0, 0}};
    nfds_t count = 1;
    int timeout = -1;
    const auto now = SteadyClock::now();
    const auto until = [&now](SteadyClock::time_point when) {
        return int(std::clamp<std::int64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count() + 1, 0,
            1000));
    };
    if (state == State::Waiting) {
        timeout = until(nextAttempt);
    } else if (state == State::Connecting || state == State::Up) {
        const int sock = mosquitto_socket(mosq);
        if (sock >= 0) {
            fds[1] = {sock, short(POLLIN | (mosquitto_want_write(mosq) ? POLLOUT : 0)), 0};
            count = 2;
        }
        // Once a second at least, for the keep-alive.
        timeout = state == State::Connecting ? until(answerDeadline) : 1000;
    }
    if (::poll(fds, count, timeout) < 0 && errno != EINTR) {
        return;
    }
    if (fds[0].revents & POLLIN) {
        std::uint64_t drained = 0;
        [[maybe_unused]] const auto read = ::read(wakeFd, &drained, sizeof drained);
    }

    if (state == State::Waiting) {
        if (SteadyClock::now() >= nextAttempt) {
            Attempt();
        }
        return;
    }
    if (state != State::Connecting && state != State::Up) {
        return;
    }
    int rc = MOSQ_ERR_SUCCESS;
    errno = 0;
    if (count == 2 && (fds[1].revents & (POLLIN | POLLERR | POLLHUP))) {
        rc = mosquitto_loop_read(mosq, 1);
    }
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq) >= 0 && mosquitto_want_write(mosq)) {
        rc = mosquitto_loop_write(mosq, 1);
    }
    if (rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_loop_misc(mosq);
    }
    const int systemError = errno;
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq) < 0) {
        rc = MOSQ_ERR_CONN_LOST;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        if (refusal != 0) {
            Failed(RefusalReason(refusal));
        } else if (!tlsFailure.empty()) {
            Failed(tlsFailure);
        } else if (state == State::Connecting && rc == MOSQ_ERR_CONN_LOST) {
            Failed("the broker closed the connection at login");
        } else {
            Failed(FailureReason(rc, systemError));
        }
    } else if (state == State::Connecting && SteadyClock::now() >= answerDeadline) {
        Failed("the broker did not answer");
    }
}

void MosquittoMqttClient::Shared::Connected(int code) {
    if (code != 0) {
        refusal = code;
        return;
    }
    state = State::Up;
    connected = true;
    retryDelay = kFirstRetry;
    toldDown.reset();
    Tell(true, everUp ? "reconnected" : "");
    everUp = true;
}

void MosquittoMqttClient::Shared::Failed(const std::string& reason) {
    const bool wasUp = state == State::Up;
    connected = false;
    {
        // Stop waits for the outbox only while connected.
        const std::lock_guard lock(mutex);
        changed.notify_all();
    }
    if (state != State::Broken) {
        state = State::Waiting;
        nextAttempt = SteadyClock::now() + retryDelay;
        retryDelay = std::min(retryDelay * 2, std::chrono::seconds(kLongestRetry));
    }
    // A refusal repeated at every attempt is told once.
    if (wasUp || toldDown != reason) {
        toldDown = reason;
        Tell(false, reason);
    }
}

void MosquittoMqttClient::Shared::Send(const MqttMessage& message) {
    int mid = 0;
    const int rc = mosquitto_publish(mosq, &mid, message.topic.c_str(), int(message.payload.size()),
                                     message.payload.data(), message.qos, message.retain);
    // A QoS 1 message stays in the library's session when the connection has just broken, and
    // goes out again after the reconnection.
    if (message.qos > 0 && (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN ||
                            rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO)) {
        const std::lock_guard lock(mutex);
        unacknowledged.insert(mid);
    }
}

void MosquittoMqttClient::Shared::Close() {
    if (!mosq || state != State::Up) {
        return;
    }
    connected = false;
    state = State::Idle;
    if (mosquitto_disconnect(mosq) != MOSQ_ERR_SUCCESS) {
        return;
    }
    // The goodbye is written at once unless the socket is full; give it a moment then.
    const auto deadline = SteadyClock::now() + std::chrono::seconds(1);
    while (mosquitto_socket(mosq) >= 0 && mosquitto_want_write(mosq) &&
           SteadyClock::now() < deadline) {
        pollfd fd{mosquitto_socket(mosq), POLLOUT, 0};
        if (::poll(&fd, 1, 100) > 0 && mosquitto_loop_write(mosq, 1) != MOSQ_ERR_SUCCESS) {
            break;
        }
    }
}

// ==== The client ====

MosquittoMqttClient::MosquittoMqttClient(Post post)
    : post_(std::move(post)), front_(std::make_shared<Front>(*this)) {}

MosquittoMqttClient::~MosquittoMqttClient() {
    Stop({}, Milliseconds(0));
}

void MosquittoMqttClient::Start(const MqttConnection& connection) {
    // Only a program that publishes pays for the library (and the TLS set-up it brings).
    InitialiseLibraryOnce();
    if (!shared_) {
        shared_ = std::make_shared<Shared>(post_, front_, front_->generation);
        worker_ = std::thread([shared = shared_] { shared->Run(); });
    } else {
        const std::lock_guard lock(shared_->mutex);
        const MqttConnection& current = shared_->pending ? *shared_->pending : started_;
        if (SameConnection(current, connection)) {
            return;
        }
    }
    started_ = connection;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->pending = connection;
    }
    shared_->Wake();
}

bool MosquittoMqttClient::Publish(const MqttMessage& message) {
    if (!shared_ || !shared_->connected) {
        return false;
    }
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->outbox.push_back(message);
    }
    shared_->Wake();
    return true;
}

void MosquittoMqttClient::Stop(const std::vector<MqttMessage>& last, Milliseconds timeout) {
    // What the network thread has told and the engine has not yet heard is no longer told.
    ++front_->generation;
    {
        const std::lock_guard lock(front_->finishedMutex);
        front_->finished.clear();
    }
    if (!shared_) {
        return;
    }
    Shared& shared = *shared_;
    const auto deadline = SteadyClock::now() + timeout;
    {
        std::unique_lock lock(shared.mutex);
        if (shared.connected) {
            shared.outbox.insert(shared.outbox.end(), last.begin(), last.end());
        }
        shared.Wake();
        shared.changed.wait_until(lock, deadline, [&shared] {
            return !shared.connected || (shared.outbox.empty() && shared.unacknowledged.empty());
        });
        shared.stopping = true;
    }
    shared.Wake();
    bool done = false;
    {
        std::unique_lock lock(shared.mutex);
        done = shared.changed.wait_for(lock, kShutdownWait, [&shared] { return shared.finished; });
    }
    if (done) {
        worker_.join();
    } else {
        // Stuck in a connection attempt: it ends on its own and tells nobody.
        worker_.detach();
    }
    shared_.reset();
}

bool MosquittoMqttClient::Connected() const {
    return shared_ && shared_->connected;
}

void MosquittoMqttClient::DeliverFinished() {
    std::deque<std::function<void()>> ready;
    {
        const std::lock_guard lock(front_->finishedMutex);
        ready.swap(front_->finished);
    }
    for (auto& work : ready) {
        work();
    }
}

std::string MosquittoMqttClient::FailureReason(int mosquittoError, int systemError) {
    switch (mosquittoError) {
        case MOSQ_ERR_EAI:
            return "host not found";
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE:
            return "TLS handshake failed";
        case MOSQ_ERR_CONN_REFUSED:
            return "connection refused";
        case MOSQ_ERR_CONN_LOST:
            return "connection lost";
        case MOSQ_ERR_KEEPALIVE:
            return "connection lost: the broker stopped answering";
        case MOSQ_ERR_PROTOCOL:
        case MOSQ_ERR_MALFORMED_PACKET:
            return "the broker's answer was not MQTT";
        case MOSQ_ERR_NOMEM:
            return "out of memory";
        case MOSQ_ERR_ERRNO:
            switch (systemError) {
                case ECONNREFUSED:
                    return "connection refused: no broker on that port";
                case ETIMEDOUT:
                    return "host did not answer";
                case EHOSTUNREACH:
                case EHOSTDOWN:
                    return "host unreachable";
                case ENETUNREACH:
                case ENETDOWN:
                    return "network unreachable";
                case ECONNRESET:
                case EPIPE:
                    return "connection lost";
                case 0:
                    return "connection failed";
                default:
                    return std::string("connection failed: ") + std::strerror(systemError);
            }
        default:
            return mosquitto_strerror(mosquittoError);
    }
}

std::string MosquittoMqttClient::RefusalReason(int connackCode) {
    switch (connackCode) {
        case 1:
            return "connection refused: the broker does not speak MQTT 3.1.1";
        case 2:
            return "connection refused: client id rejected";
        case 3:
            return "connection refused: broker unavailable";
        case 4:
            return "connection refused: bad user name or password";
        case 5:
            return "connection refused: not authorised";
        default:
            return "connection refused (code " + std::to_string(connackCode) + ")";
    }
}

}  // namespace vigiltron
