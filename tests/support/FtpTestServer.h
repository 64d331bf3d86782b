#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <string>

#include "support/PythonTestServer.h"

namespace vigiltron::testing_support {

// The FTP server of ftp_test_server.py (user "monitor", password "s3cret"), and its port that
// never answers; stopped whatever the test does.
class FtpTestServer {
public:
    FtpTestServer() : server_(VIGILTRON_FTP_TEST_SERVER) {}

    bool Ready() const { return server_.Ready(); }
    std::string Errors() { return server_.Errors(); }
    // "127.0.0.1:PORT" of the FTP server, and of the port that never answers.
    std::string Address() const { return "127.0.0.1:" + server_.Field("ftp"); }
    std::string SilentAddress() const { return "127.0.0.1:" + server_.Field("silent"); }
    // A file below the account's home, as the server stored it; empty when there is none.
    std::string Stored(const std::string& path) const {
        QFile file(QString::fromStdString(server_.Field("home") + "/" + path));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    bool Exists(const std::string& path) const {
        return QFileInfo::exists(QString::fromStdString(server_.Field("home") + "/" + path));
    }
    // The next command the server receives closes the control connection instead.
    void DropNextCommand() {
        QFile flag(server_.Dir().filePath("drop"));
        flag.open(QIODevice::WriteOnly);
    }

private:
    PythonTestServer server_;
};

}  // namespace vigiltron::testing_support
