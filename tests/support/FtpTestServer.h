#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <string>

namespace vigiltron::testing_support {

// The FTP server of ftp_test_server.py (user "monitor", password "s3cret"), and its port that
// never answers; stopped whatever the test does.
class FtpTestServer {
public:
    // How long starting or stopping the server may take.
    static constexpr int kBoundMs = 20000;

    FtpTestServer() {
        // Debian's own interpreter: that is where python3-pyftpdlib is installed.
        const QString python =
            QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        process_.start(python, {VIGILTRON_FTP_TEST_SERVER, dir_.path()});
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
    ~FtpTestServer() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(kBoundMs);
        }
    }

    bool Ready() const { return ready_; }
    std::string Errors() { return process_.readAllStandardError().toStdString(); }
    // "127.0.0.1:PORT" of the FTP server, and of the port that never answers.
    std::string Address() const { return "127.0.0.1:" + fields_.at("ftp"); }
    std::string SilentAddress() const { return "127.0.0.1:" + fields_.at("silent"); }
    // A file below the account's home, as the server stored it; empty when there is none.
    std::string Stored(const std::string& path) const {
        QFile file(QString::fromStdString(fields_.at("home") + "/" + path));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    bool Exists(const std::string& path) const {
        return QFileInfo::exists(QString::fromStdString(fields_.at("home") + "/" + path));
    }
    // The next command the server receives closes the control connection instead.
    void DropNextCommand() {
        QFile flag(dir_.filePath("drop"));
        flag.open(QIODevice::WriteOnly);
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool ready_ = false;
    std::map<std::string, std::string> fields_;
};

}  // namespace vigiltron::testing_support
