#include "platform/QtSettingsTree.h"

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
    settings_->setValue(KeyPath(section, key), QString::fromStdString(value));
    settings_->sync();
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
}

QString QtSettingsTree::FileName() const {
    return settings_->fileName();
}

}  // namespace vigiltron
