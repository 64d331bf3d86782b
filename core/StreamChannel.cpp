#include "core/StreamChannel.h"

#include <utility>

#include "core/SensorProtocol.h"

namespace vigiltron {

void StreamChannel::Receive(std::string_view bytes) {
    if (skipToLineEnd_) {
        const auto cr = bytes.find('\r');
        if (cr == std::string_view::npos) {
            return;
        }
        bytes.remove_prefix(cr + 1);
        skipToLineEnd_ = false;
    }
    for (const std::string& line : framer_.Feed(bytes)) {
        Queue(line);
    }
}

void StreamChannel::Queue(std::string_view line) {
    while (queuedLines_ > 0 && BacklogBytes() + line.size() + 1 > kMaxBacklogBytes) {
        DropOldest();
    }
    backlog_.append(line);
    backlog_ += '\r';
    ++queuedLines_;
}

void StreamChannel::DropOldest() {
    head_ = backlog_.find('\r', head_) + 1;
    --queuedLines_;
    ++dropped_;
}

bool StreamChannel::NextLine(std::string& line) {
    if (queuedLines_ == 0) {
        return false;
    }
    const std::size_t cr = backlog_.find('\r', head_);
    line.assign(backlog_, head_, cr - head_);
    head_ = cr + 1;
    --queuedLines_;
    if (queuedLines_ == 0) {
        backlog_.clear();
        head_ = 0;
    } else if (head_ >= 4096 && head_ * 2 >= backlog_.size()) {
        // Taken lines are given back in batches, so each line is moved at most once on average.
        backlog_.erase(0, head_);
        head_ = 0;
    }
    return true;
}

void StreamChannel::DiscardPartial(bool skipTail) {
    framer_.Reset();
    skipToLineEnd_ = skipTail;
}

void StreamChannel::Forget() {
    framer_.Reset();
    backlog_.clear();
    backlog_.shrink_to_fit();
    head_ = 0;
    queuedLines_ = 0;
    carry_.clear();
    skipToLineEnd_ = false;
    drain_ = false;
    receiveDeferred_ = false;
    lineDeferred_ = false;
}

bool StreamChannel::BeginExchange() {
    if (exchange_) {
        return false;
    }
    exchange_ = true;
    carry_.clear();
    return true;
}

StreamChannel::Deferred StreamChannel::EndExchange() {
    exchange_ = false;
    // The replies took the line that was being received; the carry starts the next one.
    framer_.Reset();
    framer_.Feed(std::exchange(carry_, std::string()));
    Deferred deferred{receiveDeferred_, lineDeferred_};
    receiveDeferred_ = false;
    lineDeferred_ = false;
    return deferred;
}

std::optional<std::string> StreamChannel::ReadReply(EventLoop& loop, SerialPort& port,
                                                    Milliseconds upTo) {
    std::string text = std::exchange(carry_, std::string());
    if (!WaitForReplyEnd(loop, port, text, upTo)) {
        return std::nullopt;
    }
    const auto lastCr = text.rfind('\r');
    if (lastCr != std::string::npos) {
        carry_ = text.substr(lastCr + 1);
        text.resize(lastCr + 1);
        if (carry_.size() > LineFramer::kMaxLine) {
            carry_.clear();
        }
    }
    return text;
}

}  // namespace vigiltron
