#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/EventLoop.h"
#include "core/LineFramer.h"
#include "core/SerialPort.h"

namespace vigiltron {

// The receiving side of one streaming sensor's port. Received bytes are cut into lines that wait
// in a backlog until they are handled, oldest first. A command's exchange holds the port
// meanwhile: receive events and line changes that come in the meantime are noted and handed on
// once it is done, and the bytes its last reply read got after the reply's CR go back to the
// stream.
//
// The backlog is bounded in bytes, not lines. Only a sensor that outruns its handling for long
// enough to fill it loses lines: the oldest ones, counted, so that the loss is reported.
class StreamChannel {
public:
    // Bytes of complete lines waiting to be handled, each counted with its CR: at 9600 baud a
    // quarter of an hour of a sensor's output, far beyond any pause of the handling.
    static constexpr std::size_t kMaxBacklogBytes = std::size_t(1) << 20;

    // ---- Stream ----
    // Cuts `bytes` into lines and queues the complete ones behind those already waiting.
    void Receive(std::string_view bytes);
    // Takes the oldest waiting line; false when none waits.
    bool NextLine(std::string& line);
    std::size_t QueuedLines() const { return queuedLines_; }
    std::size_t BacklogBytes() const { return backlog_.size() - head_; }
    // Bytes held back for their line's end: the partial line and a reply's carry.
    std::size_t PendingBytes() const { return framer_.Pending() + carry_.size(); }
    // Lines dropped from the backlog since the last call; the count starts again from 0.
    std::size_t TakeDropped() { return std::exchange(dropped_, 0); }

    // Throws the partial line away, e.g. after input was discarded mid-line. With `skipTail` the
    // bytes up to the next CR are that line's tail and are no line of their own.
    void DiscardPartial(bool skipTail = false);
    // A context-menu mode change asks that the next receive only empties the input.
    void RequestDrain() { drain_ = true; }
    bool TakeDrain() { return std::exchange(drain_, false); }
    // Forgets everything received and not handled yet: partial line, backlog, carry, a pending
    // drain and events held back by an exchange (the port went away or the sensor is reset).
    // The count of dropped lines stays until it is taken.
    void Forget();

    // ---- Exchange ----
    // Claims the port for a command; false when another command holds it.
    bool BeginExchange();
    bool InExchange() const { return exchange_; }
    void DeferReceive() { receiveDeferred_ = true; }
    void DeferLineChange() { lineDeferred_ = true; }
    struct Deferred {
        bool received = false;
        bool lineChanged = false;
    };
    // Releases the port: the partial line gives way to the carry of the last reply, and the
    // events held back meanwhile are returned for the caller to hand on.
    Deferred EndExchange();

    // Reads a command's reply: waits up to `upTo` for a CR (see WaitForReplyEnd) and returns what
    // arrived up to and including the last CR, or all of it when no CR came. The bytes after
    // that CR are the start of the next stream line and are kept for it. Nothing when the port
    // closed during the wait.
    std::optional<std::string> ReadReply(EventLoop& loop, SerialPort& port, Milliseconds upTo);
    // The sensor's input was emptied: a carried partial line went with it.
    void DiscardCarry() { carry_.clear(); }

private:
    void Queue(std::string_view line);
    void DropOldest();

    LineFramer framer_;
    // Waiting lines, each ended by its CR; those before head_ were already taken.
    std::string backlog_;
    std::size_t head_ = 0;
    std::size_t queuedLines_ = 0;
    std::size_t dropped_ = 0;
    bool skipToLineEnd_ = false;
    bool drain_ = false;
    bool exchange_ = false;
    bool receiveDeferred_ = false;
    bool lineDeferred_ = false;
    std::string carry_;
};

}  // namespace vigiltron
