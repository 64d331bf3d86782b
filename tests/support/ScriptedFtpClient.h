#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/EventLoop.h"
#include "reporting/FtpClient.h"

namespace vigiltron {

// An FTP server and component played on the loop's time: every command answers `delay` after it
// was issued, connecting first when no connection is open. A test makes the server hang, or
// queues failures for the next commands of a verb ("CD", "SEND", ...).
class ScriptedFtpClient : public FtpClient {
public:
    struct Failure {
        int code = 0;
        std::string text;
        bool dropsConnection = false;
    };

    explicit ScriptedFtpClient(EventLoop& loop) : loop_(loop) {}

    void SetStateHandler(StateChanged handler) override { handler_ = std::move(handler); }
    void SetSession(const FtpSession& session) override { sessions.push_back(session); }

    void Execute(const std::string& command) override {
        commands.push_back(command);
        ++pending_;
        if (hang) {
            return;
        }
        const std::uint64_t generation = generation_;
        loop_.StartTimer(delay, [this, command, generation] {
            if (generation == generation_) {
                Answer(command);
            }
        });
    }

    bool StillExecuting() const override { return pending_ > 0; }
    int ResponseCode() const override { return code_; }
    std::string ResponseText() const override { return text_; }
    std::string GetChunk(std::size_t size) override {
        std::string chunk = data_.substr(0, size);
        data_.erase(0, chunk.size());
        return chunk;
    }
    void Cancel() override {
        ++cancels;
        ++generation_;
        pending_ = 0;
        if (connected) {
            connected = false;
            loop_.Post([this, generation = generation_] {
                if (generation == generation_) {
                    Tell(kDisconnected);
                }
            });
        }
    }

    // The commands of `verb` ("SEND", "QUIT", ...) issued so far.
    int Count(const std::string& verb) const {
        int n = 0;
        for (const std::string& c : commands) {
            n += c.rfind(verb, 0) == 0 ? 1 : 0;
        }
        return n;
    }

    std::vector<std::string> commands;
    std::vector<FtpSession> sessions;
    int cancels = 0;
    bool connected = false;
    bool hang = false;
    Milliseconds delay{200};
    std::map<std::string, std::deque<Failure>> failures;
    std::string listing = "vtman0.xml\r\nvtman.xsl\r\n";

private:
    void Tell(int state) {
        if (handler_) {
            handler_(state);
        }
    }

    void Answer(const std::string& command) {
        const std::string verb = command.substr(0, command.find(' '));
        --pending_;
        if (verb == "QUIT") {
            if (connected) {
                Tell(kDisconnecting);
                connected = false;
                Tell(kDisconnected);
            }
            return;
        }
        if (!connected) {
            Tell(kResolvingHost);
            Tell(kHostResolved);
            Tell(kConnecting);
            connected = true;
            Tell(kConnected);
        }
        auto queued = failures.find(verb);
        if (queued != failures.end() && !queued->second.empty()) {
            const Failure failure = queued->second.front();
            queued->second.pop_front();
            code_ = failure.code;
            text_ = failure.text;
            if (failure.dropsConnection) {
                connected = false;
                Tell(kDisconnected);
            }
            Tell(kError);
            return;
        }
        code_ = 0;
        text_ = "226 Transfer complete.";
        data_ = verb == "LS" || verb == "DIR" ? listing : "";
        Tell(kResponseReceived);
        Tell(kResponseCompleted);
    }

    EventLoop& loop_;
    StateChanged handler_;
    int pending_ = 0;
    std::uint64_t generation_ = 0;
    int code_ = 0;
    std::string text_;
    std::string data_;
};

}  // namespace vigiltron
