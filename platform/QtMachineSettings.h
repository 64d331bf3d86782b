#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "config/MachineSettings.h"

namespace vigiltron {

// The machine-wide values an administrator sets for every user, read only: by default the system
// configuration file "Vigiltron/Vigiltron Manager.ini" under the XDG system folders
// (/etc/xdg/...), or a file the caller names. Values live at the top level of the file.
class QtMachineSettings : public MachineSettings {
public:
    QtMachineSettings();
    explicit QtMachineSettings(const QString& filePath);
    ~QtMachineSettings() override;

    std::string Read(const std::string& name) const override;

    QString FileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace vigiltron
