#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace vigiltron::testing_support {

// What one run of the real program printed, and how it ended.
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program built with the tests and waits for it to end, at most `timeoutMs`; in
// `environment` when one is given, else in the test's own.
inline RunResult RunProgram(const QStringList& args, int timeoutMs = 60000,
                            const std::optional<QProcessEnvironment>& environment = {}) {
    QProcess process;
    if (environment) {
        process.setProcessEnvironment(*environment);
    }
    process.start(VIGILTRON_BINARY, args);
    RunResult run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = "timed out";
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

// Writes a file into a test's temporary folder and answers its path.
inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

}  // namespace vigiltron::testing_support
