#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/EventLoop.h"
#include "reporting/FtpClient.h"

namespace vigiltron {

// Stands in while no FTP transport is wired in (a run on simulated sensors): every command fails,
// later, through `loop`, as one that trying again cannot mend.
class UnconfiguredFtpClient : public FtpClient {
public:
    explicit UnconfiguredFtpClient(EventLoop& loop) : loop_(loop) {}

    void SetStateHandler(StateChanged handler) override { handler_ = std::move(handler); }
    void SetSession(const FtpSession&) override {}
    void Execute(const std::string& command) override {
        if (command.rfind("QUIT", 0) == 0) {
            return;
        }
        ++pending_;
        const std::uint64_t generation = generation_;
        loop_.Post([this, generation, alive = std::weak_ptr<int>(alive_)] {
            if (alive.expired() || generation != generation_) {
                return;
            }
            --pending_;
            if (handler_) {
                handler_(kError);
            }
        });
    }
    bool StillExecuting() const override { return pending_ > 0; }
    int ResponseCode() const override { return 12004; }
    std::string ResponseText() const override {
        return "No FTP transport in this run; unrecoverable";
    }
    std::string GetChunk(std::size_t) override { return {}; }
    void Cancel() override {
        ++generation_;
        pending_ = 0;
    }

private:
    EventLoop& loop_;
    StateChanged handler_;
    int pending_ = 0;
    std::uint64_t generation_ = 0;
    // Failures still queued when the client goes are dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace vigiltron
