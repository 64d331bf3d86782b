#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "core/SettingsTree.h"

namespace vigiltron {

// The per-user settings tree in a QSettings INI file: by default the user's own
// ("Vigiltron/Vigiltron Manager.ini" under the XDG configuration folder), or a file the caller
// names (a --config-dir run, tests). Sections map to QSettings groups, so "Program Setup\Prox1"
// is the group "Program Setup/Prox1". Every change is written to disk at once (atomically, by
// QSettings), so a crash loses nothing already saved. The file may hold passwords in clear (when
// there is no desktop keyring), so it is created and kept readable by its owner only.
class QtSettingsTree : public SettingsTree {
public:
    QtSettingsTree();
    explicit QtSettingsTree(const QString& filePath);
    ~QtSettingsTree() override;

    std::string GetSetting(const std::string& section, const std::string& key,
                           const std::string& defaultValue = "") const override;
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override;
    void DeleteSetting(const std::string& section) override;

    // The file behind the tree.
    QString FileName() const;
    // False once a write to disk has failed.
    bool Ok() const { return settings_->status() == QSettings::NoError; }

private:
    void CreatePrivately();
    void KeepPrivate();

    std::unique_ptr<QSettings> settings_;
};

// The QSettings group of a section name: backslashes become "/", a trailing one is dropped.
QString SettingsGroup(const std::string& section);

}  // namespace vigiltron
