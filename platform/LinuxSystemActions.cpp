#include "platform/LinuxSystemActions.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace vigiltron {

namespace {

// loginctl answers at once; the bounds only keep a hung system bus from freezing the window.
constexpr int kStartTimeoutMs = 3000;
constexpr int kFinishTimeoutMs = 5000;

struct Word {
    std::string text;
    std::size_t begin = 0;  // position of its first character in the line
    std::size_t end = 0;    // position after its last character
    bool quoted = false;
};

std::vector<Word> Words(const std::string& line) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        Word word;
        word.begin = i;
        bool inQuotes = false;
        for (; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') {
                inQuotes = !inQuotes;
                word.quoted = true;
            } else if (!inQuotes && (c == ' ' || c == '\t')) {
                break;
            } else {
                word.text += c;
            }
        }
        word.end = i;
        words.push_back(std::move(word));
    }
    return words;
}

std::string UserName() {
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? std::to_string(getuid()) : user.toStdString();
}

}  // namespace

LinuxSystemActions::LinuxSystemActions(std::string autostartFolder, std::string command,
                                       ProcessRunner runner)
    : folder_(std::move(autostartFolder)),
      command_(std::move(command)),
      runner_(std::move(runner)) {
    if (folder_.empty()) {
        folder_ =
            (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart")
                .toStdString();
    }
    if (!runner_) {
        runner_ = &LinuxSystemActions::RunProcess;
    }
}

std::string LinuxSystemActions::EntryPath() const {
    return folder_ + "/vigiltron-manager.desktop";
}

bool LinuxSystemActions::PlaceInStartup(std::string& error) {
    if (!QDir().mkpath(QString::fromStdString(folder_))) {
        error = "cannot create " + folder_;
        return false;
    }
    QString command = QString::fromStdString(command_);
    if (command.isEmpty()) {
        command = QCoreApplication::applicationFilePath();
    }
    // Paths with blanks must be quoted in a desktop entry's Exec line.
    if (command.contains(' ')) {
        command = '"' + command + '"';
    }
    QSaveFile file(QString::fromStdString(EntryPath()));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    const QByteArray entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Vigiltron Manager\n"
        "Comment=Monitors Vigiltron sensors\n"
        "Exec=" +
        command.toUtf8() +
        "\n"
        "X-GNOME-Autostart-enabled=true\n";
    file.write(entry);
    if (!file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

bool LinuxSystemActions::RemoveFromStartup(std::string& error) {
    QFile file(QString::fromStdString(EntryPath()));
    if (!file.exists()) {
        return true;
    }
    if (!file.remove()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

bool LinuxSystemActions::IsPlacedInStartup() const {
    return QFile::exists(QString::fromStdString(EntryPath()));
}

std::vector<std::string> LinuxSystemActions::LockArguments(const std::string& sessionId) {
    if (sessionId.empty()) {
        return {"lock-session"};
    }
    return {"lock-session", sessionId};
}

std::vector<std::string> LinuxSystemActions::LogOffArguments(const std::string& sessionId,
                                                             const std::string& user) {
    if (sessionId.empty()) {
        return {"terminate-user", user};
    }
    return {"terminate-session", sessionId};
}

bool LinuxSystemActions::LockWorkstation(std::string& error) {
    const std::string session = qEnvironmentVariable("XDG_SESSION_ID").toStdString();
    return runner_({"loginctl", LockArguments(session), false}, error);
}

bool LinuxSystemActions::ForceLogOff(std::string& error) {
    const std::string session = qEnvironmentVariable("XDG_SESSION_ID").toStdString();
    return runner_({"loginctl", LogOffArguments(session, UserName()), false}, error);
}

bool LinuxSystemActions::LaunchProgram(const std::string& commandLine, std::string& error) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty() || words.front().empty()) {
        error = "no program to start";
        return false;
    }
    Process process;
    process.program = std::move(words.front());
    process.arguments.assign(std::make_move_iterator(words.begin() + 1),
                             std::make_move_iterator(words.end()));
    process.detached = true;
    return runner_(process, error);
}

bool LinuxSystemActions::OpenWithAssociation(const std::string& pathOrUrl, std::string& error) {
    if (pathOrUrl.empty()) {
        error = "nothing to open";
        return false;
    }
    return runner_({"xdg-open", {pathOrUrl}, true}, error);
}

std::vector<std::string> LinuxSystemActions::SplitCommandLine(const std::string& commandLine,
                                                              const FileTest& isFile) {
    const std::vector<Word> words = Words(commandLine);
    if (words.empty()) {
        return {};
    }
    const FileTest exists = isFile ? isFile : [](const std::string& path) {
        return QFileInfo(QString::fromStdString(path)).isFile();
    };

    // How many leading words make up the program: 1 unless an unquoted path with blanks names
    // an existing file.
    std::size_t programWords = 1;
    if (!words.front().quoted) {
        for (std::size_t k = 0; k < words.size() && !words[k].quoted; ++k) {
            const std::string candidate =
                commandLine.substr(words.front().begin, words[k].end - words.front().begin);
            if (exists(candidate)) {
                programWords = k + 1;
                break;
            }
        }
    }

    std::vector<std::string> result;
    result.push_back(programWords == 1
                         ? words.front().text
                         : commandLine.substr(words.front().begin,
                                              words[programWords - 1].end - words.front().begin));
    for (std::size_t k = programWords; k < words.size(); ++k) {
        result.push_back(words[k].text);
    }
    return result;
}

bool LinuxSystemActions::RunProcess(const Process& process, std::string& error) {
    const QString program = QString::fromStdString(process.program);
    QStringList arguments;
    for (const std::string& argument : process.arguments) {
        arguments << QString::fromStdString(argument);
    }
    if (process.detached) {
        if (!QProcess::startDetached(program, arguments)) {
            error = "cannot start " + process.program;
            return false;
        }
        return true;
    }

    QProcess child;
    child.start(program, arguments);
    if (!child.waitForStarted(kStartTimeoutMs)) {
        error = child.errorString().toStdString();
        return false;
    }
    if (!child.waitForFinished(kFinishTimeoutMs)) {
        child.kill();
        child.waitForFinished(kStartTimeoutMs);
        error = process.program + " did not answer";
        return false;
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        const QString message = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
        error = message.isEmpty()
                    ? process.program + " failed with exit code " + std::to_string(child.exitCode())
                    : message.toStdString();
        return false;
    }
    return true;
}

}  // namespace vigiltron
