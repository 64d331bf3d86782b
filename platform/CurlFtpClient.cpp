#include "platform/CurlFtpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/CurlWorker.h"
#include "platform/WireText.h"

namespace vigiltron {

namespace {

// The response codes of failures, as the FTP component numbers them.
constexpr int kTimedOut = 12002;
constexpr int kInternalError = 12004;
constexpr int kNameNotUnderstood = 12006;
constexpr int kNameNotResolved = 12007;
constexpr int kLoginRefused = 12014;
constexpr int kCannotConnect = 12029;
constexpr int kConnectionAborted = 12030;
constexpr int kCertificateRefused = 12045;
constexpr int kSecureChannelError = 12157;
constexpr int kLocalFileMissing = 2;

// A command line must stay one line on the wire: a line break would smuggle in a second command.
bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// The remote directory the commands work in: below the login directory, or from the top.
struct RemoteDirectory {
    bool fromTop = false;
    std::vector<std::string> parts;

    // `path` taken from here: "/x" starts from the top, ".." goes up, "." stays.
    RemoteDirectory Resolve(std::string_view path) const {
        RemoteDirectory next = *this;
        path = TrimBlanks(path);
        if (path.starts_with('/')) {
            next.fromTop = true;
            next.parts.clear();
        }
        while (!path.empty()) {
            const std::size_t slash = path.find('/');
            const std::string_view part = path.substr(0, slash);
            path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
            if (part.empty() || part == ".") {
                continue;
            }
            if (part == ".." && !next.parts.empty() && next.parts.back() != "..") {
                next.parts.pop_back();
            } else if (!(part == ".." && next.fromTop)) {
                next.parts.emplace_back(part);
            }
        }
        return next;
    }

    std::string Shown() const {
        std::string shown = fromTop ? "/" : "";
        for (const std::string& part : parts) {
            shown += part + "/";
        }
        return shown.empty() ? "." : shown;
    }
};

struct Job {
    std::uint64_t generation = 0;
    std::string command;
    FtpSession session;
    bool close = false;  // closes the connection (after a cancel)
};

struct Result {
    bool ok = false;
    bool quit = false;
    bool abandoned = false;  // cancelled or closing: nobody is told
    int code = 0;
    std::string text;
    std::string data;
};

size_t CollectData(char* data, size_t size, size_t count, void* userData) {
    auto* text = static_cast<std::string*>(userData);
    const std::size_t n = size * count;
    if (text->size() < CurlFtpClient::kLargestListing) {
        text->append(data, std::min(n, CurlFtpClient::kLargestListing - text->size()));
    }
    return n;
}

}  // namespace

// ==== The engine's side ====

struct CurlFtpClient::Front {
    void State(std::uint64_t gen, int state) {
        if (gen != generation || !handler) {
            return;
        }
        const StateChanged call = handler;
        call(state);
    }

    void Finish(std::uint64_t gen, const Result& result) {
        if (gen != generation) {
            return;
        }
        pending = std::max(0, pending - 1);
        code = result.code;
        text = result.text;
        data = result.data;
        read = 0;
        if (result.quit || !handler) {
            return;
        }
        const StateChanged call = handler;
        call(result.ok ? kResponseCompleted : kError);
    }

    StateChanged handler;
    FtpSession session;
    std::uint64_t generation = 1;
    int pending = 0;
    int code = 0;
    std::string text;
    std::string data;
    std::size_t read = 0;
};

// ==== The worker's side ====

struct CurlFtpClient::Shared : CurlWorker<Job> {
    Shared(Post p, std::weak_ptr<Front> f) : CurlWorker(std::move(p)), front(std::move(f)) {}

    void PostState(std::uint64_t gen, int state) {
        Deliver([f = front, gen, state] {
            if (const auto alive = f.lock()) {
                alive->State(gen, state);
            }
        });
    }

    void PostFinish(std::uint64_t gen, Result result) {
        Deliver([f = front, gen, result = std::move(result)] {
            if (const auto alive = f.lock()) {
                alive->Finish(gen, result);
            }
        });
    }

    bool Abandoned(std::uint64_t gen) const { return stopping || generation != gen; }

    void Run();
    Result Perform(const Job& job);
    // Closes the connection; tells of it when one was open and `gen` is still current.
    void CloseConnection(std::uint64_t gen, bool tell);

    const std::weak_ptr<Front> front;
    std::atomic<std::uint64_t> generation{1};

    // Worker only: the connection kept between commands.
    CURL* handle = nullptr;
    FtpSession handleSession;
    bool connected = false;
    RemoteDirectory directory;
};

namespace {

// What one transfer saw of the dialogue, and the states it reports while connecting.
struct Trace {
    CurlFtpClient::Shared* shared = nullptr;
    std::uint64_t generation = 0;
    bool connecting = false;
    std::string lastReply;
    std::string lastFailureReply;
    std::string directoryReply;  // the last "257" reply
};

}  // namespace

namespace {

int TraceDialogue(CURL*, curl_infotype type, char* data, size_t size, void* userData);
int AbandonWhenCancelled(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

}  // namespace

void CurlFtpClient::Shared::CloseConnection(std::uint64_t gen, bool tell) {
    const bool wasConnected = connected;
    if (handle != nullptr) {
        curl_easy_cleanup(handle);  // says QUIT on a connection that is still up
        handle = nullptr;
    }
    connected = false;
    directory = {};
    if (tell && wasConnected) {
        PostState(gen, kDisconnected);
    }
}

Result CurlFtpClient::Shared::Perform(const Job& job) {
    Result result;
    const std::uint64_t gen = job.generation;
    const auto fail = [&result](int code, std::string text) {
        result.ok = false;
        result.code = code;
        result.text = std::move(text);
        return result;
    };
    if (HasControlCharacter(job.command)) {
        return fail(kInternalError, "The command holds a line break and was not sent");
    }
    const std::string_view command = job.command;
    const std::string verb = Lower(command.substr(0, command.find(' ')));
    const std::string_view argument =
        command.find(' ') == std::string_view::npos ? "" : command.substr(command.find(' ') + 1);

    if (verb == "quit") {
        if (handle != nullptr && connected) {
            PostState(gen, kDisconnecting);
        }
        CloseConnection(gen, true);
        result.ok = true;
        result.quit = true;
        return result;
    }

    const FtpEndpoint endpoint = ParseServer(job.session.server);
    if (endpoint.url.empty()) {
        const std::string_view shown = TrimBlanks(job.session.server);
        return fail(kNameNotUnderstood,
                    shown.empty() ? "No FTP server is set; unrecoverable"
                                  : "The FTP server \"" + std::string(shown) +
                                        "\" is not understood (write host, host:port, "
                                        "ftps://host:port or sftp://host:port); unrecoverable");
    }
    const bool sftp = endpoint.protocol == FtpEndpoint::Protocol::Sftp;
    // A new account or server is a new connection.
    if (handle != nullptr &&
        (handleSession.server != job.session.server || handleSession.user != job.session.user ||
         handleSession.password != job.session.password)) {
        CloseConnection(gen, true);
    }
    if (handle == nullptr) {
        handle = curl_easy_init();
        if (handle == nullptr) {
            return fail(kInternalError, "The FTP transport could not be started");
        }
        handleSession = job.session;
    }
    CURL* c = handle;
    curl_easy_reset(c);  // keeps the connection, forgets the last command's options

    const auto urlOf = [&](const RemoteDirectory& dir, std::string_view file) {
        std::string url = endpoint.url + (sftp ? (dir.fromTop ? "/" : "/~/") : "/");
        if (!sftp && dir.fromTop) {
            url += "%2F";  // from the top rather than from the login directory
            if (!dir.parts.empty()) {
                url += "/";
            }
        }
        for (const std::string& part : dir.parts) {
            char* escaped = curl_easy_escape(c, part.c_str(), int(part.size()));
            url += std::string(escaped ? escaped : "") + "/";
            curl_free(escaped);
        }
        if (!sftp && dir.fromTop && dir.parts.empty()) {
            url += "/";
        }
        if (!file.empty()) {
            char* escaped = curl_easy_escape(c, std::string(file).c_str(), int(file.size()));
            url += escaped ? escaped : "";
            curl_free(escaped);
        }
        return url;
    };

    RemoteDirectory target = directory;
    std::string url;
    curl_slist* quote = nullptr;
    FILE* upload = nullptr;
    std::string remoteName;
    std::string data;
    if (verb == "pwd") {
        url = urlOf(directory, "");
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        if (!sftp) {
            quote = curl_slist_append(quote, "PWD");
        }
    } else if (verb == "cd") {
        target = directory.Resolve(argument);
        url = urlOf(target, "");
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    } else if (verb == "ls" || verb == "dir") {
        url = urlOf(directory, "");
        const bool full = verb == "dir" || TrimBlanks(argument) == "-l";
        curl_easy_setopt(c, CURLOPT_DIRLISTONLY, full ? 0L : 1L);
    } else if (verb == "mkdir") {
        std::string_view name = TrimBlanks(argument);
        if (name.starts_with("./")) {
            name.remove_prefix(2);
        }
        if (name.empty()) {
            return fail(kInternalError, "MKDIR needs a directory name");
        }
        url = urlOf(directory, "");
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        const std::string mkdir =
            sftp ? "mkdir " + directory.Resolve(name).Shown() : "MKD " + std::string(name);
        quote = curl_slist_append(quote, mkdir.c_str());
    } else if (verb == "send") {
        // "SEND local remote": the remote name has no blanks, the local path may.
        const std::string_view rest = TrimBlanks(argument);
        const std::size_t blank = rest.rfind(' ');
        if (blank == std::string_view::npos) {
            return fail(kInternalError, "SEND needs a local file and a remote name");
        }
        const std::string local(TrimBlanks(rest.substr(0, blank)));
        remoteName = std::string(rest.substr(blank + 1));
        upload = std::fopen(local.c_str(), "rb");
        if (upload == nullptr) {
            return fail(kLocalFileMissing, "The local file " + local + " cannot be read");
        }
        std::fseek(upload, 0, SEEK_END);
        const long size = std::ftell(upload);
        std::fseek(upload, 0, SEEK_SET);
        url = urlOf(directory, remoteName);
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READDATA, upload);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(size < 0 ? 0 : size));
    } else {
        return fail(kInternalError, "The FTP command \"" + job.command + "\" is not known");
    }
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> quoteList(
        quote, &curl_slist_free_all);
    const std::unique_ptr<FILE, decltype(&std::fclose)> uploadFile(
        upload != nullptr ? upload : nullptr, [](FILE* f) { return f ? std::fclose(f) : 0; });

    Trace trace;
    trace.shared = this;
    trace.generation = gen;
    char error[CURL_ERROR_SIZE] = {};
    const long timeout = std::max(1, job.session.requestTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERNAME, job.session.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, job.session.password.c_str());
    if (quote != nullptr) {
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, quote);
    }
    // Signals cannot be used to time out name lookups on a worker thread.
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    // A transfer that stalls for the time-out is abandoned; so is one that never ends.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, timeout);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, std::max(300L, timeout * 15));
    if (endpoint.protocol == FtpEndpoint::Protocol::Ftp) {
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    }
    if (!job.session.caFile.empty()) {
        curl_easy_setopt(c, CURLOPT_CAINFO, job.session.caFile.c_str());
    }
    std::string knownHosts;
    if (sftp) {
        curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES,
                         long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        const char* home = std::getenv("HOME");
        knownHosts = std::string(home ? home : "") + "/.ssh/known_hosts";
        curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, knownHosts.c_str());
    }
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CollectData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &data);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &TraceDialogue);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &trace);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &AbandonWhenCancelled);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &trace);

    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_ABORTED_BY_CALLBACK || Abandoned(gen)) {
        // The cancel's own close (or the shut-down) takes the connection down.
        result.abandoned = true;
        return result;
    }
    if (code == CURLE_OK) {
        if (!connected) {
            connected = true;
            PostState(gen, kConnected);  // an SFTP login says no "230"
        }
        if (verb == "cd") {
            directory = target;
        }
        PostState(gen, kResponseReceived);
        result.ok = true;
        result.text = trace.lastReply;
        if (verb == "pwd") {
            result.data = sftp ? "\"" + directory.Shown() + "\" is the current directory"
                               : trace.directoryReply;
        } else if (verb == "ls" || verb == "dir") {
            result.data = std::move(data);
        }
        return result;
    }

    std::string why = error[0] ? std::string(TrimBlanks(error)) : curl_easy_strerror(code);
    if (!trace.lastFailureReply.empty()) {
        why += " (the server replied \"" + trace.lastFailureReply + "\")";
    }
    bool connectionLost = false;
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            fail(kNameNotUnderstood, why + "; unrecoverable");
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
            fail(kNameNotResolved, why);
            connectionLost = true;
            break;
        case CURLE_COULDNT_CONNECT:
            fail(kCannotConnect, why);
            connectionLost = true;
            break;
        case CURLE_OPERATION_TIMEDOUT:
            fail(kTimedOut, why);
            connectionLost = true;
            break;
        case CURLE_LOGIN_DENIED:
            // Trying the same password again would not help, and could lock the account.
            fail(kLoginRefused, why + "; unrecoverable");
            connectionLost = true;
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_USE_SSL_FAILED:
            fail(kCertificateRefused, why + "; unrecoverable");
            connectionLost = true;
            break;
        case CURLE_SSL_CONNECT_ERROR:
            fail(kSecureChannelError, why);
            connectionLost = true;
            break;
        case CURLE_REMOTE_ACCESS_DENIED:
            if (verb == "cd") {
                fail(FtpClient::kExtendedError, "The directory \"" +
                                                    std::string(TrimBlanks(argument)) +
                                                    "\" does not exist (the server replied \"" +
                                                    trace.lastFailureReply + "\")");
            } else {
                fail(FtpClient::kExtendedError, why);
            }
            break;
        case CURLE_QUOTE_ERROR:
        case CURLE_UPLOAD_FAILED:
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_REMOTE_DISK_FULL:
        case CURLE_REMOTE_FILE_EXISTS:
        case CURLE_FTP_COULDNT_RETR_FILE:
            fail(FtpClient::kExtendedError, why);
            break;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_FTP_WEIRD_SERVER_REPLY:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
        case CURLE_FTP_CANT_GET_HOST:
        case CURLE_FTP_ACCEPT_FAILED:
        case CURLE_FTP_ACCEPT_TIMEOUT:
        case CURLE_FTP_PORT_FAILED:
            fail(kConnectionAborted, why);
            connectionLost = true;
            break;
        default:
            fail(kInternalError, why);
            connectionLost = true;
            break;
    }
    if (connectionLost) {
        CloseConnection(gen, true);
    }
    return result;
}

void CurlFtpClient::Shared::Run() {
    while (std::optional<Job> next = NextJob()) {
        const Job& job = *next;
        if (job.generation != generation) {
            continue;  // cancelled before it started
        }
        if (job.close) {
            CloseConnection(job.generation, true);
            continue;
        }
        Result result;
        try {
            result = Perform(job);
        } catch (const std::exception& failure) {
            result = Result{false, false, false, kInternalError, failure.what(), {}};
        } catch (...) {
            result = Result{false, false, false, kInternalError, "the FTP transport failed", {}};
        }
        if (!result.abandoned) {
            PostFinish(job.generation, std::move(result));
        }
    }
    CloseConnection(0, false);
    LeaveLoop();
}

namespace {

int TraceDialogue(CURL*, curl_infotype type, char* data, size_t size, void* userData) {
    auto* trace = static_cast<Trace*>(userData);
    std::string_view text(data, size);
    while (!text.empty()) {
        const std::size_t stop = text.find('\n');
        const std::string_view line = TrimBlanks(text.substr(0, stop));
        text = stop == std::string_view::npos ? std::string_view() : text.substr(stop + 1);
        if (line.empty()) {
            continue;
        }
        // Data connections say "Trying" too; only the control connection's first one counts.
        if (type == CURLINFO_TEXT && line.starts_with("Trying") && !trace->connecting &&
            !trace->shared->connected) {
            trace->connecting = true;
            trace->shared->PostState(trace->generation, FtpClient::kResolvingHost);
            trace->shared->PostState(trace->generation, FtpClient::kHostResolved);
            trace->shared->PostState(trace->generation, FtpClient::kConnecting);
        } else if (type == CURLINFO_HEADER_IN) {
            trace->lastReply = std::string(line);
            if (line.starts_with('4') || line.starts_with('5')) {
                trace->lastFailureReply = trace->lastReply;
            } else if (line.starts_with("257")) {
                trace->directoryReply = trace->lastReply;
            } else if (line.starts_with("230") && !trace->shared->connected) {
                trace->shared->connected = true;
                trace->shared->PostState(trace->generation, FtpClient::kConnected);
            }
        }
    }
    return 0;
}

// Called about once a second, and more often while data flows.
int AbandonWhenCancelled(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* trace = static_cast<const Trace*>(userData);
    return trace->shared->Abandoned(trace->generation) ? 1 : 0;
}

}  // namespace

// ==== The component ====

FtpEndpoint CurlFtpClient::ParseServer(const std::string& server) {
    FtpEndpoint endpoint;
    std::string_view rest = TrimBlanks(server);
    std::string scheme = "ftp";
    if (StartsWithNoCase(rest, "ftps://")) {
        scheme = "ftps";
        endpoint.protocol = FtpEndpoint::Protocol::Ftps;
        rest.remove_prefix(7);
    } else if (StartsWithNoCase(rest, "sftp://")) {
        scheme = "sftp";
        endpoint.protocol = FtpEndpoint::Protocol::Sftp;
        rest.remove_prefix(7);
    } else if (StartsWithNoCase(rest, "ftp://")) {
        rest.remove_prefix(6);
    } else if (rest.find("://") != std::string_view::npos) {
        return {};  // another protocol altogether
    }
    rest = rest.substr(0, rest.find('/'));
    if (HasControlCharacter(rest)) {
        return {};
    }
    const std::optional<HostPort> address = SplitHostPort(rest);
    if (!address || address->host.find(' ') != std::string::npos) {
        return {};
    }
    endpoint.url = scheme + "://" + address->Authority();
    return endpoint;
}

CurlFtpClient::CurlFtpClient(Post post)
    : front_(std::make_shared<Front>()),
      shared_(std::make_shared<Shared>(std::move(post), front_)) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlFtpClient::~CurlFtpClient() {
    front_->handler = nullptr;
    // A command in flight notices within about a second.
    shared_->Stop(worker_, kShutdownWait);
}

void CurlFtpClient::SetStateHandler(StateChanged handler) {
    front_->handler = std::move(handler);
}

void CurlFtpClient::SetSession(const FtpSession& session) {
    front_->session = session;
}

void CurlFtpClient::Execute(const std::string& command) {
    ++front_->pending;
    const std::lock_guard lock(shared_->mutex);
    shared_->jobs.push_back({front_->generation, command, front_->session, false});
    if (!worker_.joinable()) {
        worker_ = std::thread([shared = shared_] { shared->Run(); });
    }
    shared_->changed.notify_all();
}

bool CurlFtpClient::StillExecuting() const {
    return front_->pending > 0;
}

int CurlFtpClient::ResponseCode() const {
    return front_->code;
}

std::string CurlFtpClient::ResponseText() const {
    return front_->text;
}

std::string CurlFtpClient::GetChunk(std::size_t size) {
    Front& f = *front_;
    const std::size_t n = std::min(size, f.data.size() - std::min(f.read, f.data.size()));
    std::string chunk = f.data.substr(std::min(f.read, f.data.size()), n);
    f.read += n;
    return chunk;
}

void CurlFtpClient::Cancel() {
    Front& f = *front_;
    ++f.generation;
    f.pending = 0;
    f.data.clear();
    f.read = 0;
    const std::lock_guard lock(shared_->mutex);
    shared_->generation = f.generation;
    shared_->jobs.clear();
    if (worker_.joinable()) {
        shared_->jobs.push_back({f.generation, {}, {}, true});
        shared_->changed.notify_all();
    }
}

void CurlFtpClient::DeliverFinished() {
    shared_->DeliverFinished();
}

}  // namespace vigiltron
