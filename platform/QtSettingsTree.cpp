#include "platform/QtSettingsTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace vigiltron {

QString SettingsGroup(const std::string& section) {
    QString group = QString::fromStdString(NormalizeSection(section));
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return group;
}

namespace {

QString KeyPath(const std::string& section, const std::string& key) {
    const QString group = SettingsGroup(section);
    const QString name = QString::fromStdString(key);
    return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

}  // namespace

QtSettingsTree::QtSettingsTree()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Vigiltron"),
                                            QStringLiteral("Vigiltron Manager"))) {}

QtSettingsTree::QtSettingsTree(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

QtSettingsTree::~QtSettingsTree() = default;

std::string QtSettingsTree::GetSetting(const std::string& section, const std::string& key,
                                       const std::string& defaultValue) const {
    const QVariant value = settings_->value(KeyPath(section, key));
    if (!value.isValid()) {
        return defaultValue;
    }
    // A hand-edited value with unquoted commas comes back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    }
    return value.toString().toStdString();
}

void QtSettingsTree::SaveSetting(const std::string& section, const std::string& key,
                                 const std::string& value) {
    CreatePrivately();
    settings_->setValue(KeyPath(section, key), QString::fromStdString(value));
    settings_->sync();
    KeepPrivate();
}

void QtSettingsTree::DeleteSetting(const std::string& section) {
    const QString group = SettingsGroup(section);
    if (group.isEmpty()) {
        // The application's own values only: never the whole tree.
        for (const QString& key : settings_->childKeys()) {
            settings_->remove(key);
        }
    } else {
        settings_->remove(group);
    }
    settings_->sync();
    KeepPrivate();
}

void QtSettingsTree::CreatePrivately() {
    const QString path = FileName();
    if (QFileInfo::exists(path)) {
        return;
    }
    // QSettings writes through a temporary file that takes the permissions of the file it
    // replaces: made private first, the file is never readable by others, not even briefly.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
        file.close();
    }
}

void QtSettingsTree::KeepPrivate() {
    const QString path = FileName();
    if (QFileInfo::exists(path) && QFile::permissions(path) != kOwnerOnly) {
        QFile::setPermissions(path, kOwnerOnly);
    }
}

QString QtSettingsTree::FileName() const {
    return settings_->fileName();
}

}  // namespace vigiltron
