#pragma once

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <string>

namespace vigiltron::testing_support {

// A test server script run with Python in a directory of its own, stopped whatever the test does.
// The script says "READY name=value ..." on its first line once it listens.
class PythonTestServer {
public:
    // How long starting or stopping the server may take.
    static constexpr int kBoundMs = 20000;

    explicit PythonTestServer(const QString& script) {
        // Debian's own interpreter: that is where the servers' Python packages are installed.
        const QString python =
            QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        process_.start(python, {script, dir_.path()});
        QDeadlineTimer deadline(kBoundMs);
        while (!process_.canReadLine() && !deadline.hasExpired() &&
               process_.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        ready_ = line.startsWith("READY ");
        for (const QString& field : line.split(' ')) {
            const auto parts = field.split('=');
            if (parts.size() == 2) {
                fields_[parts[0].toStdString()] = parts[1].toStdString();
            }
        }
    }
    ~PythonTestServer() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(kBoundMs);
        }
    }
    PythonTestServer(const PythonTestServer&) = delete;
    PythonTestServer& operator=(const PythonTestServer&) = delete;

    bool Ready() const { return ready_; }
    std::string Errors() { return process_.readAllStandardError().toStdString(); }
    // A value of the READY line.
    std::string Field(const std::string& name) const { return fields_.at(name); }
    // The directory the script was given.
    const QTemporaryDir& Dir() const { return dir_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool ready_ = false;
    std::map<std::string, std::string> fields_;
};

}  // namespace vigiltron::testing_support
