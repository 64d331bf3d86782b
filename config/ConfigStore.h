#pragma once

#include <map>
#include <optional>
#include <string>

#include "config/Preferences.h"
#include "config/ProfileFile.h"

namespace vigiltron {

class Clock;
class DeviceModel;
class Dialogs;
class MachineSettings;
class SecretStore;
class SettingsTree;
class TextFileStore;

// Where the program's configuration lives and how it moves between the stores: the per-user
// settings tree (primary), the read-only machine-wide values, and the preferences (profile) file
// that holds a second copy for unattended runs and the error journal.
class ConfigStore {
public:
    // The name the preferences file has unless the machine settings name another.
    static constexpr const char* kDefaultPrefsFile = "vigiltron.ini";

    // `applicationFolder` holds the program's writable files (log directory default below it);
    // `configDirectory` is where a bare preferences-file name resolves. Without `secrets` the
    // passwords are kept in the settings tree and the preferences file.
    ConfigStore(SettingsTree& settings, const MachineSettings& machine, TextFileStore& files,
                Dialogs& dialogs, const Clock& clock, DeviceModel& devices,
                std::string applicationFolder, std::string configDirectory,
                SecretStore* secrets = nullptr);

    // ---- Machine-wide values ("INIPath", "Autologout", "Port", "BinaryInterval",
    // "ForceLogOff"); empty when missing. ----
    std::string ReadMachineValue(const std::string& name) const;

    // ---- The preferences file ----
    // The name in use, as given ("vigiltron.ini" at first), and where it resolves.
    const std::string& PrefsFileName() const { return prefsFileName_; }
    std::string PrefsFilePath() const;
    void SetPrefsFileName(const std::string& name);
    // Takes the name from the machine value "INIPath", or "vigiltron.ini" when that is empty.
    void UsePrefsFileFromMachine();

    // One value of the preferences file, read whole; `defaultValue` (trailing blanks removed)
    // when missing. Start-up reads the service-mode device count here with the default "00".
    std::string ReadPrefsFileValue(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const;
    // Writes one value, keeping the rest of the file. False (nothing written) on failure.
    bool WritePrefsFileValue(const std::string& section, const std::string& key,
                             const std::string& value);

    // ---- Preferences ----
    // Every "Program Setup" and "Program Setup\Internet Setup" value into `prefs`, with the
    // start-up defaults for missing ones. False when the store could not be read.
    bool LoadPrefsRegistry(Preferences& prefs);
    // The whole set as the setup window's OK saves it. The device and camera counts and
    // `SavedState` belong to the device list and start-up placement and are not written here.
    bool SavePrefsRegistry(const Preferences& prefs);
    // The cameras' sections: "Program Setup\Prox1" .. "Prox4" and "Camera1" .. "Camera4".
    void LoadProxSections(Preferences& prefs);
    void SaveProxSections(const Preferences& prefs);

    // Every preference from the preferences file, with the file's own defaults. Values the file
    // does not hold are left as they are. False (and `prefs` unchanged) when it cannot be read.
    bool LoadPrefsINI(Preferences& prefs);
    // Writes every preference into the file in one atomic save. False on failure (no message:
    // the caller shows "Error when saving preferences to file").
    bool SavePrefsINI(const Preferences& prefs);

    // The menu command "Save Preferences to file": the file named by "INIPath" (or
    // "vigiltron.ini"), all preferences; "Error when saving preferences to file" on failure.
    bool SavePreferencesToFile(const Preferences& prefs);
    // The clean-out menu command: deletes the device records, "PortConfig", the proximity-slot
    // sections and "Program Setup" from the settings tree, then tells the user to restart.
    void RegistryCleanOut();

    // ---- The device list ----
    // From the settings tree: fills the setup array, builds the kinds and takes the slots.
    // False on failure (the list is then empty and the user has been told).
    bool LoadDeviceRegistry();
    // From the preferences file; loaded devices log to file and not to their tab.
    bool LoadDeviceINI();
    // Writes the record of setup index n to the preferences file.
    bool SaveDeviceINI(int n);
    // Loads the device list (from the file when `bRunAsService`, whose count is
    // `strTotDevices`; otherwise from the settings tree, whose count is read here) and the four
    // proximity-slot sections. False on failure.
    bool LoadConfig(bool bRunAsService, const std::string& strTotDevices, Preferences& prefs);

    // ---- Passwords: `SMTPUserPassword`, `pw` and `MqttPassword` ----
    // With a secret store available they are kept there, and the settings tree and the
    // preferences file keep an empty value; otherwise they stay in those two in clear. A clear
    // value (left by an existing installation, an import, or a save made while the store was
    // away) is the one in force, and moves to the store the next time it is saved.
    static bool IsPasswordKey(const std::string& key);
    // Saves one password into the secret store, or into the settings tree when there is none.
    void SavePassword(const std::string& key, const std::string& value);
    // Moves the clear passwords the settings tree holds into the secret store (an import).
    void MoveClearPasswords();
    // What the setup windows say about where passwords are kept.
    std::string PasswordStorage();

    // ---- Error journal: section "Logging" of the preferences file ----
    // Adds "<long time><code>=<value>", e.g. "4:05:09 PM:020=AutoOpenPrefError". Never fails
    // loudly: it is itself the last resort of error reporting.
    bool AddJournalEntry(const std::string& code, const std::string& value);

private:
    // The file's current contents; nothing when it exists but cannot be read (`error` says why).
    std::optional<ProfileFile> ReadPrefsFile(std::string& error) const;
    // Writes the file, without the clear passwords the secret store now holds.
    bool WritePrefsFile(ProfileFile file, std::string& error);
    // Fills an empty `password` from the secret store.
    void RecallPassword(const std::string& key, std::string& password);
    // Puts the password into the secret store (an empty one is removed from it). False when it
    // has to be kept in clear.
    bool KeepSecret(const std::string& key, const std::string& value);
    // Whether the secret store holds exactly `value` under `key`.
    bool StoreHolds(const std::string& key, const std::string& value);
    void ClearDeviceList();
    void TakeLoadedSlots();

    SettingsTree& settings_;
    const MachineSettings& machine_;
    TextFileStore& files_;
    Dialogs& dialogs_;
    const Clock& clock_;
    DeviceModel& devices_;
    std::string applicationFolder_;
    std::string configDirectory_;
    std::string prefsFileName_ = kDefaultPrefsFile;
    SecretStore* secrets_;
    // What the secret store is known to hold, by key: unchanged passwords are not written again.
    std::map<std::string, std::string> kept_;
};

}  // namespace vigiltron
