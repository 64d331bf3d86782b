#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <string>

namespace vigiltron::testing_support {

// A real-time run of the program that goes on until it is stopped, as a service's or a user's
// would; its output (journal and errors in one) is read as it goes.
class LiveRun {
public:
    explicit LiveRun(const QStringList& args, const QProcessEnvironment& environment =
                                                  QProcessEnvironment::systemEnvironment()) {
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(VIGILTRON_BINARY, args);
    }
    ~LiveRun() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // The environment of a windowed run without a display.
    static QProcessEnvironment Offscreen() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        return environment;
    }

    // Reads the output until `done` holds for it; false when it has not within `timeoutMs`.
    bool WaitFor(const std::function<bool(const std::string&)>& done, int timeoutMs = 60000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!done(output_)) {
            if (deadline.hasExpired() ||
                (process_.state() == QProcess::NotRunning && process_.bytesAvailable() == 0)) {
                return false;
            }
            process_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
            output_ += process_.readAll().toStdString();
        }
        return true;
    }
    // Reads the output until `text` shows up, followed (later) by `then` when given.
    bool WaitFor(const std::string& text, const std::string& then = "", int timeoutMs = 60000) {
        return WaitFor(
            [&](const std::string& output) {
                const auto at = output.find(text);
                return at != std::string::npos &&
                       output.find(then, at + text.size()) != std::string::npos;
            },
            timeoutMs);
    }

    // Stops the run the way a service stop does (SIGTERM). True when it then ended by itself,
    // with exit code 0.
    bool Terminate(int timeoutMs = 60000) {
        process_.terminate();
        const bool ended = process_.waitForFinished(timeoutMs);
        output_ += process_.readAll().toStdString();
        return ended && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    // SIGKILL: no goodbye to anybody.
    void Kill() {
        process_.kill();
        process_.waitForFinished();
    }

    qint64 Pid() const { return process_.processId(); }
    const std::string& Output() const { return output_; }

private:
    QProcess process_;
    std::string output_;
};

}  // namespace vigiltron::testing_support
