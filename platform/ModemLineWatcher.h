#pragma once

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/SerialPort.h"

namespace vigiltron {

// The modem-status lines the sensors signal on.
struct ModemLines {
    bool dsr = false;
    bool cd = false;

    friend bool operator==(const ModemLines&, const ModemLines&) = default;
};

// Decodes a TIOCMGET bit set.
ModemLines ModemLinesFromBits(int tiocmBits);

// The events a change of lines gives, DSR before CD; none when nothing changed.
std::vector<CommEvent> ModemLineEvents(ModemLines before, ModemLines after);

// Where the watcher reads the lines. The real one works on a tty descriptor; tests supply their
// own.
class ModemLineSource {
public:
    enum class WaitResult {
        Changed,      // a watched line may have changed
        Interrupted,  // woken by a signal: look at the stop request, then wait again
        Unsupported,  // the driver cannot wait for changes: poll instead
    };

    virtual ~ModemLineSource() = default;
    // The current lines, or nothing when they cannot be read (no modem lines, device gone).
    virtual std::optional<ModemLines> Read() = 0;
    // Blocks until a line changes. Must return Interrupted when a signal arrives.
    virtual WaitResult WaitForChange() = 0;
};

// Lines of a serial device through ioctl: TIOCMIWAIT to wait, TIOCMGET to read.
class TtyModemLineSource : public ModemLineSource {
public:
    // Takes ownership of `fd` (usually a dup of the port's own descriptor) and closes it.
    explicit TtyModemLineSource(int fd);
    ~TtyModemLineSource() override;
    TtyModemLineSource(const TtyModemLineSource&) = delete;
    TtyModemLineSource& operator=(const TtyModemLineSource&) = delete;

    std::optional<ModemLines> Read() override;
    WaitResult WaitForChange() override;

private:
    int fd_;
};

// Watches DSR and CD of one open port on a worker thread and reports each change once, on the
// thread that created the watcher, after Lines() already shows the new state. Lines that cannot
// be read at all (pseudo-terminals) stay low and give no events.
class ModemLineWatcher {
public:
    using EventHandler = std::function<void(CommEvent)>;

    explicit ModemLineWatcher(EventHandler onEvent,
                              std::chrono::milliseconds pollPeriod = std::chrono::milliseconds(50));
    ~ModemLineWatcher();
    ModemLineWatcher(const ModemLineWatcher&) = delete;
    ModemLineWatcher& operator=(const ModemLineWatcher&) = delete;

    // Reads the lines now and starts watching them; a running watch is stopped first.
    void Start(std::unique_ptr<ModemLineSource> source);
    // Ends the watch and returns promptly; no event is delivered after it returns. Lines read low.
    void Stop();

    ModemLines Lines() const { return lines_; }
    // Whether a worker is watching (false when stopped or the lines cannot be read).
    bool Watching() const { return thread_.joinable(); }

private:
    void Run(ModemLineSource* source, ModemLines last, unsigned generation);
    void Deliver(unsigned generation, ModemLines now);
    bool StopRequested();

    EventHandler onEvent_;
    std::chrono::milliseconds pollPeriod_;
    QObject context_;  // lives on the owner's thread: the target of posted changes

    // Owner thread only.
    std::unique_ptr<ModemLineSource> source_;
    ModemLines lines_;
    unsigned generation_ = 0;
    bool active_ = false;
    std::thread thread_;

    // Shared with the worker.
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool exited_ = false;
};

}  // namespace vigiltron
