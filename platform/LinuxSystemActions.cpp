#include "platform/LinuxSystemActions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace vigiltron {

LinuxSystemActions::LinuxSystemActions(std::string autostartFolder, std::string command)
    : folder_(std::move(autostartFolder)), command_(std::move(command)) {
    if (folder_.empty()) {
        folder_ =
            (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart")
                .toStdString();
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

}  // namespace vigiltron
