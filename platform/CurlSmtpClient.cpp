#include "platform/CurlSmtpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/CurlWorker.h"
#include "platform/MailText.h"
#include "platform/WireText.h"

namespace vigiltron {

namespace {

struct Job {
    SmtpRequest request;
    SmtpClient::Progress progress;
    SmtpClient::Done done;
};

bool IsLoopback(const std::string& host) {
    const std::string h = Lower(host);
    if (h == "localhost" || h == "::1" || h == "0:0:0:0:0:0:0:1") {
        return true;
    }
    // 127.0.0.0/8, written as a dotted address.
    if (h.rfind("127.", 0) != 0) {
        return false;
    }
    int dots = 0;
    for (char c : h) {
        if (c == '.') {
            ++dots;
        } else if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return dots == 3;
}

// Turns libcurl's account of the transfer into the progress texts the user sees.
class Dialogue {
public:
    explicit Dialogue(std::function<void(const std::string&)> report)
        : report_(std::move(report)) {}

    void Take(curl_infotype type, std::string_view data) {
        while (!data.empty()) {
            const std::size_t stop = data.find('\n');
            const std::string_view line = TrimBlanks(data.substr(0, stop));
            data = stop == std::string_view::npos ? std::string_view() : data.substr(stop + 1);
            if (!line.empty()) {
                TakeLine(type, line);
            }
        }
    }

    // The server's last reply, for saying why a mail failed.
    const std::string& LastReply() const { return lastReply_; }

private:
    void TakeLine(curl_infotype type, std::string_view line) {
        switch (type) {
            case CURLINFO_TEXT:
                // TLS record traces say nothing to the user.
                if (!(StartsWithNoCase(line, "tlsv") || StartsWithNoCase(line, "sslv") ||
                      StartsWithNoCase(line, "capath:") || StartsWithNoCase(line, "cafile:"))) {
                    report_(std::string(line));
                }
                break;
            case CURLINFO_HEADER_IN:
                lastReply_ = std::string(line);
                // A final reply ends the login exchange; "334" asks for more of it.
                if (inLogin_ && !line.starts_with("334")) {
                    inLogin_ = false;
                }
                report_(lastReply_);
                break;
            case CURLINFO_HEADER_OUT:
                if (StartsWithNoCase(line, "auth ")) {
                    // The mechanism only: what follows it is the user name and password.
                    std::string_view mechanism = line.substr(5);
                    mechanism = mechanism.substr(0, mechanism.find(' '));
                    report_("AUTH " + std::string(mechanism));
                    inLogin_ = true;
                } else if (!inLogin_) {
                    report_(std::string(line));
                }
                break;
            default:
                break;
        }
    }

    std::function<void(const std::string&)> report_;
    std::string lastReply_;
    bool inLogin_ = false;
};

struct Upload {
    std::string data;
    std::size_t sent = 0;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* userData) {
    auto* upload = static_cast<Upload*>(userData);
    const std::size_t room = size * count;
    const std::size_t n = std::min(room, upload->data.size() - upload->sent);
    std::memcpy(buffer, upload->data.data() + upload->sent, n);
    upload->sent += n;
    return n;
}

// Called about once a second, and more often while data flows: a closing client abandons the
// mail in flight.
int AbandonWhenClosing(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(userData)->load() ? 1 : 0;
}

int TraceDialogue(CURL*, curl_infotype type, char* data, size_t size, void* userData) {
    static_cast<Dialogue*>(userData)->Take(type, std::string_view(data, size));
    return 0;
}

}  // namespace

struct CurlSmtpClient::Shared : CurlWorker<Job> {
    using CurlWorker::CurlWorker;

    SmtpOutcome Transfer(const Job& job);
    void Run();
};

SmtpEndpoint CurlSmtpClient::ParseServer(const std::string& server) {
    SmtpEndpoint endpoint;
    std::string_view rest = TrimBlanks(server);
    std::string scheme = "smtp";
    if (StartsWithNoCase(rest, "smtps://")) {
        scheme = "smtps";
        endpoint.implicitTls = true;
        rest.remove_prefix(8);
    } else if (StartsWithNoCase(rest, "smtp://")) {
        rest.remove_prefix(7);
    } else if (rest.find("://") != std::string_view::npos) {
        return endpoint;  // another protocol altogether
    }
    const std::optional<HostPort> address = SplitHostPort(rest.substr(0, rest.find('/')));
    if (!address) {
        return endpoint;
    }
    endpoint.host = address->host;
    endpoint.loopback = IsLoopback(endpoint.host);
    endpoint.url = scheme + "://" + address->Authority();
    return endpoint;
}

SmtpOutcome CurlSmtpClient::Shared::Transfer(const Job& job) {
    const SmtpRequest& request = job.request;
    const SmtpEndpoint endpoint = ParseServer(request.server);
    if (endpoint.url.empty()) {
        const std::string_view shown = TrimBlanks(request.server);
        return {false, shown.empty() ? "no SMTP server is set"
                                     : "the SMTP server \"" + std::string(shown) +
                                           "\" is not understood (write host, host:port or "
                                           "smtps://host:port)"};
    }
    std::vector<std::string> recipients = SplitAddresses(request.to);
    if (recipients.empty()) {
        return {false, "no recipient is set"};
    }
    for (std::string& cc : SplitAddresses(request.cc)) {
        recipients.push_back(std::move(cc));
    }
    if (request.authenticate && TrimBlanks(request.user).empty()) {
        return {false, "the server requires a login, but no user name is set"};
    }

    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                   &curl_easy_cleanup);
    if (!curl) {
        return {false, "the mail transport could not be started"};
    }
    curl_slist* list = nullptr;
    for (const std::string& address : recipients) {
        list = curl_slist_append(list, ("<" + address + ">").c_str());
    }
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> rcpt(list,
                                                                           &curl_slist_free_all);
    Upload upload{MailText(request), 0};
    Dialogue dialogue([this, &job](const std::string& text) {
        Deliver([progress = job.progress, text] {
            if (progress) {
                progress(text);
            }
        });
    });
    char error[CURL_ERROR_SIZE] = {};
    const long timeout = std::max(1, request.timeoutSeconds);
    std::string sender(TrimBlanks(request.from));
    std::erase_if(sender, [](char c) { return c == '\r' || c == '\n'; });
    const std::string from = "<" + sender + ">";

    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, endpoint.url.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, list);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.data.size()));
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &ReadMessage);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    // Signals cannot be used to time out name lookups on a worker thread.
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, timeout);
    if (!endpoint.implicitTls) {
        // A login away from this machine must not go in clear: no STARTTLS, no mail.
        const bool loginInClear = request.authenticate && !endpoint.loopback;
        curl_easy_setopt(c, CURLOPT_USE_SSL,
                         loginInClear ? long(CURLUSESSL_ALL) : long(CURLUSESSL_TRY));
    }
    if (!request.caFile.empty()) {
        curl_easy_setopt(c, CURLOPT_CAINFO, request.caFile.c_str());
    }
    if (request.authenticate) {
        curl_easy_setopt(c, CURLOPT_USERNAME, request.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, request.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &TraceDialogue);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &dialogue);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &AbandonWhenClosing);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &stopping);

    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK) {
        return {true, {}};
    }
    std::string reason = error[0] ? std::string(TrimBlanks(error)) : curl_easy_strerror(code);
    const std::string& reply = dialogue.LastReply();
    if (!reply.empty() && (reply[0] == '4' || reply[0] == '5')) {
        reason += " (the server replied \"" + reply + "\")";
    }
    return {false, reason};
}

void CurlSmtpClient::Shared::Run() {
    while (std::optional<Job> next = NextJob()) {
        Job& job = *next;
        SmtpOutcome outcome;
        try {
            outcome = Transfer(job);
        } catch (const std::exception& failure) {
            outcome = {false, failure.what()};
        } catch (...) {
            outcome = {false, "the mail transport failed"};
        }
        Deliver([done = std::move(job.done), outcome] {
            if (done) {
                done(outcome);
            }
        });
    }
    LeaveLoop();
}

CurlSmtpClient::CurlSmtpClient(Post post) : shared_(std::make_shared<Shared>(std::move(post))) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlSmtpClient::~CurlSmtpClient() {
    // A mail in flight notices within about a second.
    shared_->Stop(worker_, kShutdownWait);
}

void CurlSmtpClient::Send(SmtpRequest request, Progress progress, Done done) {
    const std::lock_guard lock(shared_->mutex);
    shared_->jobs.push_back({std::move(request), std::move(progress), std::move(done)});
    if (!worker_.joinable()) {
        worker_ = std::thread([shared = shared_] { shared->Run(); });
    }
    shared_->changed.notify_all();
}

void CurlSmtpClient::DeliverFinished() {
    shared_->DeliverFinished();
}

}  // namespace vigiltron
