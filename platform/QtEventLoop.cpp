#include "platform/QtEventLoop.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QTimer>

namespace vigiltron {

QtEventLoop::QtEventLoop() {
    elapsed_.start();
}

QtEventLoop::~QtEventLoop() {
    for (auto& [id, timer] : timers_) {
        delete timer;
    }
}

Milliseconds QtEventLoop::Elapsed() const {
    return Milliseconds(elapsed_.elapsed());
}

TimerId QtEventLoop::StartTimer(Milliseconds delay, std::function<void()> callback) {
    const TimerId id = nextId_++;
    auto* timer = new QTimer(&context_);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, &context_, [this, id, cb = std::move(callback)] {
        const auto it = timers_.find(id);
        if (it == timers_.end()) {
            return;
        }
        it->second->deleteLater();
        timers_.erase(it);
        cb();
    });
    timers_.emplace(id, timer);
    timer->start(int(std::max<long long>(0, delay.count())));
    return id;
}

void QtEventLoop::CancelTimer(TimerId id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) {
        return;
    }
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

void QtEventLoop::Post(std::function<void()> callback) {
    QMetaObject::invokeMethod(&context_, std::move(callback), Qt::QueuedConnection);
}

void QtEventLoop::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

bool QtEventLoop::WaitUntil(Milliseconds timeout, const std::function<bool()>& done) {
    if (done()) {
        return true;
    }
    bool timedOut = false;
    // The deadline timer both ends the wait and wakes the dispatcher when nothing else happens.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, [&timedOut] { timedOut = true; });
    deadline.start(int(std::max<long long>(0, timeout.count())));
    while (!done() && !timedOut) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

SystemClock::SystemClock()
    : locale_(QLocale::system()), cLocale_(locale_.language() == QLocale::C) {
    // The locale's time form with seconds (the long form would add a time-zone name).
    timeFormat_ = locale_.timeFormat(QLocale::ShortFormat);
    if (!timeFormat_.contains('s')) {
        timeFormat_.replace("mm", "mm:ss");
    }
}

LocalDateTime SystemClock::Now() const {
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = ms / 1000;
    if (second != cachedSecond_) {
        // Within one second of the epoch the local date and time differ only in milliseconds,
        // whatever the time zone does.
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(second * 1000);
        const QDate d = now.date();
        const QTime t = now.time();
        cachedNow_ = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), 0};
        cachedSecond_ = second;
    }
    LocalDateTime now = cachedNow_;
    now.millisecond = int(ms % 1000);
    return now;
}

namespace {
bool SameSecond(const LocalDateTime& a, const LocalDateTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}
}  // namespace

std::string SystemClock::ShortDate(const LocalDateTime& when) const {
    if (shortDate_.empty() || !SameSecond(when, shortDateOf_)) {
        shortDate_ =
            cLocale_
                ? UsShortDate(when)
                : locale_.toString(QDate(when.year, when.month, when.day), QLocale::ShortFormat)
                      .toStdString();
        shortDateOf_ = when;
    }
    return shortDate_;
}

std::string SystemClock::LongTime(const LocalDateTime& when) const {
    if (longTime_.empty() || !SameSecond(when, longTimeOf_)) {
        longTime_ = cLocale_
                        ? UsLongTime(when)
                        : locale_.toString(QTime(when.hour, when.minute, when.second), timeFormat_)
                              .toStdString();
        longTimeOf_ = when;
    }
    return longTime_;
}

}  // namespace vigiltron
