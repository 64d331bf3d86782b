#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <map>

#include "core/Clock.h"
#include "core/EventLoop.h"

class QTimer;

namespace vigiltron {

// The engine's loop on the Qt event loop of the running application. Must be used from the thread
// that owns the QCoreApplication.
class QtEventLoop : public EventLoop {
public:
    QtEventLoop();
    ~QtEventLoop() override;

    Milliseconds Elapsed() const override;
    TimerId StartTimer(Milliseconds delay, std::function<void()> callback) override;
    void CancelTimer(TimerId id) override;
    void Post(std::function<void()> callback) override;
    void ProcessPendingEvents() override;
    bool WaitUntil(Milliseconds timeout, const std::function<bool()>& done) override;

private:
    QObject context_;
    QElapsedTimer elapsed_;
    TimerId nextId_ = 1;
    std::map<TimerId, QTimer*> timers_;
};

// Local date and time from the system clock, formatted with the user's locale (US forms under the
// C/POSIX locale, so files match the Windows edition's).
class SystemClock : public Clock {
public:
    LocalDateTime Now() const override;
    std::string ShortDate(const LocalDateTime& when) const override;
    std::string LongTime(const LocalDateTime& when) const override;
};

}  // namespace vigiltron
