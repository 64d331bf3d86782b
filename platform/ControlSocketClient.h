#pragma once

#include <chrono>
#include <string>

namespace vigiltron {

// What became of one request sent to a running program.
struct ControlSocketReply {
    enum class Outcome {
        Answered,         // `text` is the program's answer line
        NobodyListening,  // no program listens at that socket
        Failed,           // `text` says what went wrong (no answer in time, a broken connection)
    };
    Outcome outcome = Outcome::Failed;
    std::string text;
};

// The other end of the control channel: sends one request line to the program listening at
// `socketPath` and waits for its one answer line, `timeout` at most for the whole exchange.
class ControlSocketClient {
public:
    static ControlSocketReply Send(const std::string& socketPath, const std::string& request,
                                   std::chrono::milliseconds timeout);
};

}  // namespace vigiltron
