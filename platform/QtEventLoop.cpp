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

LocalDateTime SystemClock::Now() const {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()};
}

namespace {
bool UsesCLocale() {
    const QLocale locale = QLocale::system();
    return locale.language() == QLocale::C;
}
}  // namespace

std::string SystemClock::ShortDate(const LocalDateTime& when) const {
    if (UsesCLocale()) {
        return UsShortDate(when);
    }
    return QLocale::system()
        .toString(QDate(when.year, when.month, when.day), QLocale::ShortFormat)
        .toStdString();
}

std::string SystemClock::LongTime(const LocalDateTime& when) const {
    if (UsesCLocale()) {
        return UsLongTime(when);
    }
    const QLocale locale = QLocale::system();
    // The locale's time form with seconds (the long form would add a time-zone name).
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains('s')) {
        format.replace("mm", "mm:ss");
    }
    return locale.toString(QTime(when.hour, when.minute, when.second), format).toStdString();
}

}  // namespace vigiltron
