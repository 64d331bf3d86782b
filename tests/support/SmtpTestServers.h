#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <string>

#include "support/PythonTestServer.h"

namespace vigiltron::testing_support {

// The three test servers of smtp_test_server.py, stopped whatever the test does.
class SmtpServers {
public:
    SmtpServers() : server_(VIGILTRON_SMTP_TEST_SERVER) {}

    bool Ready() const { return server_.Ready(); }
    std::string Errors() { return server_.Errors(); }
    std::string Port(const std::string& name) const { return server_.Field(name); }
    std::string CaFile() const { return server_.Field("ca"); }

    // Message n (from 1) as the server received it: the bytes and what the server noted.
    std::string Raw(int n) const { return Read(std::to_string(n) + ".eml"); }
    QJsonObject Facts(int n) const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(Read(std::to_string(n) + ".json")))
            .object();
    }
    int Count() const { return int(QDir(server_.Dir().path()).entryList({"*.json"}).size()); }

private:
    std::string Read(const std::string& name) const {
        QFile file(server_.Dir().filePath(QString::fromStdString(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    PythonTestServer server_;
};

}  // namespace vigiltron::testing_support
