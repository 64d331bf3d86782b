#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <string>

namespace vigiltron::testing_support {

// The three test servers of smtp_test_server.py, stopped whatever the test does.
// How long starting or stopping the servers may take.
constexpr int kServerBoundMs = 20000;

class SmtpServers {
public:
    SmtpServers() {
        // Debian's own interpreter: that is where python3-aiosmtpd is installed.
        const QString python =
            QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        process_.start(python, {VIGILTRON_SMTP_TEST_SERVER, dir_.path()});
        QDeadlineTimer deadline(kServerBoundMs);
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
    ~SmtpServers() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(kServerBoundMs);
        }
    }

    bool Ready() const { return ready_; }
    std::string Errors() { return process_.readAllStandardError().toStdString(); }
    std::string Port(const std::string& name) const { return fields_.at(name); }
    std::string CaFile() const { return fields_.at("ca"); }

    // Message n (from 1) as the server received it: the bytes and what the server noted.
    std::string Raw(int n) const { return Read(std::to_string(n) + ".eml"); }
    QJsonObject Facts(int n) const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(Read(std::to_string(n) + ".json")))
            .object();
    }
    int Count() const { return int(QDir(dir_.path()).entryList({"*.json"}).size()); }

private:
    std::string Read(const std::string& name) const {
        QFile file(dir_.filePath(QString::fromStdString(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    QTemporaryDir dir_;
    QProcess process_;
    bool ready_ = false;
    std::map<std::string, std::string> fields_;
};

}  // namespace vigiltron::testing_support
