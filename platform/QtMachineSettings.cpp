#include "platform/QtMachineSettings.h"

namespace vigiltron {

QtMachineSettings::QtMachineSettings()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::SystemScope,
                                            QStringLiteral("Vigiltron"),
                                            QStringLiteral("Vigiltron Manager"))) {}

QtMachineSettings::QtMachineSettings(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

QtMachineSettings::~QtMachineSettings() = default;

std::string QtMachineSettings::Read(const std::string& name) const {
    const QVariant value = settings_->value(QString::fromStdString(name));
    // Only plain strings count; a list or any other type reads as missing.
    if (!value.isValid() || value.typeId() != QMetaType::QString) {
        return "";
    }
    QString text = value.toString();
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0) {
        text.truncate(nul);
    }
    return text.toStdString();
}

QString QtMachineSettings::FileName() const {
    return settings_->fileName();
}

}  // namespace vigiltron
