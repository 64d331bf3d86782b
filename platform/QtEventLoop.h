#pragma once

#include <QElapsedTimer>
#include <QLocale>
#include <QObject>
#include <QString>
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
//
// A sensor streaming hundreds of lines a second asks for the time and its texts several times a
// line: the user's locale is read once, and the local time and the texts of the current second
// are kept, so a line costs a lookup instead of a time-zone conversion and a locale query.
class SystemClock : public Clock {
public:
    SystemClock();
    LocalDateTime Now() const override;
    std::string ShortDate(const LocalDateTime& when) const override;
    std::string LongTime(const LocalDateTime& when) const override;

private:
    QLocale locale_;
    bool cLocale_;
    QString timeFormat_;
    mutable qint64 cachedSecond_ = -1;  // seconds since the epoch of `cachedNow_`
    mutable LocalDateTime cachedNow_{};
    mutable LocalDateTime shortDateOf_{};
    mutable std::string shortDate_;
    mutable LocalDateTime longTimeOf_{};
    mutable std::string longTime_;
};

}  // namespace vigiltron
