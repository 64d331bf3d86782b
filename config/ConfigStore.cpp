#include "config/ConfigStore.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <functional>
#include <utility>
#include <vector>

#include "config/MachineSettings.h"
#include "config/TextFileStore.h"
#include "core/Clock.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/LooseText.h"
#include "core/SecretStore.h"
#include "core/SettingsTree.h"

namespace vigiltron {

namespace {

// Values are read whole: fixed-size read buffers would silently cut long addresses and passwords.

constexpr const char* kProgramSetup = "Program Setup";
constexpr const char* kInternetSetup = "Program Setup\\Internet Setup";
constexpr const char* kSensorSetup = "Sensor Setup";
constexpr const char* kEmailAlertSetup = "Email Alert Setup";
constexpr const char* kPageAlertSetup = "Page Alert Setup";
constexpr const char* kInternetUpdateSetup = "Internet Update Setup";
constexpr const char* kDeviceSetup = "Device Setup";
constexpr const char* kLogging = "Logging";
constexpr const char* kMqttSetup = "MQTT Setup";

// The passwords: where each is kept in the settings tree and in the preferences file. The key
// is also the secret's name in the secret store.
struct Password {
    const char* key;
    const char* treeSection;
    const char* fileSection;
    std::string Preferences::*field;
};
const Password kPasswords[] = {
    {"SMTPUserPassword", kProgramSetup, kEmailAlertSetup, &Preferences::SMTPUserPassword},
    {"pw", kInternetSetup, kInternetUpdateSetup, &Preferences::pw},
    {"MqttPassword", kProgramSetup, kMqttSetup, &Preferences::MqttPassword},
};

const Password* FindPassword(const std::string& key) {
    for (const Password& password : kPasswords) {
        if (key == password.key) {
            return &password;
        }
    }
    return nullptr;
}

// What a settings-tree read gives for a value that is not there at all.
const std::string kAbsent("\x01");

// How one preference travels to and from its stored text.
struct Binding {
    std::string key;
    std::function<std::string(const Preferences&)> get;
    std::function<void(Preferences&, const std::string&, const std::string&)> set;  // text, default
};

Binding Text(std::string key, std::string Preferences::*field) {
    return {
        std::move(key), [field](const Preferences& p) { return p.*field; },
        [field](Preferences& p, const std::string& text, const std::string&) { p.*field = text; }};
}

Binding Switch(std::string key, bool Preferences::*field, bool trueFalse = false) {
    return {std::move(key),
            [field, trueFalse](const Preferences& p) {
                return trueFalse ? TrueFalse(p.*field) : OneZero(p.*field);
            },
            [field](Preferences& p, const std::string& text, const std::string& def) {
                p.*field = ToBoolean(text, ToBoolean(def));
            }};
}

Binding AlertSwitch(std::string prefix, std::array<bool, 10> Preferences::*field, int family) {
    return {prefix + std::to_string(family),
            [field, family](const Preferences& p) { return OneZero((p.*field)[family]); },
            [field, family](Preferences& p, const std::string& text, const std::string& def) {
                (p.*field)[family] = ToBoolean(text, ToBoolean(def));
            }};
}

Binding ReadingUnit() {
    return {
        "MinOrSecs",
        [](const Preferences& p) {
            return std::string(
                !p.MinOrSecs.empty() && (p.MinOrSecs[0] == 'S' || p.MinOrSecs[0] == 's') ? "Sec"
                                                                                         : "Min");
        },
        [](Preferences& p, const std::string& text, const std::string&) { p.MinOrSecs = text; }};
}

struct Stored {
    const char* section;
    Binding binding;
    std::string defaultValue;
};

void AddAlertSwitches(std::vector<Stored>& table, const char* section) {
    for (const char* prefix : {"chkPageAlert", "chkEmailAlert", "chkOnScreenAlert"}) {
        auto field = std::string(prefix) == "chkPageAlert"    ? &Preferences::chkPageAlert
                     : std::string(prefix) == "chkEmailAlert" ? &Preferences::chkEmailAlert
                                                              : &Preferences::chkOnScreenAlert;
        for (int family : kAlertFamilies) {
            table.push_back({section, AlertSwitch(prefix, field, family), "0"});
        }
    }
}

// The settings-tree keys that the setup window saves as a set, with their start-up defaults.
// The four temperature and humidity thresholds are handled apart (first-run values).
std::vector<Stored> SettingsTreeTable(const std::string& logdirDefault) {
    using P = Preferences;
    const char* ps = kProgramSetup;
    const char* is = kInternetSetup;
    std::vector<Stored> t = {
        {ps, Switch("AutoConnect", &P::AutoConnect), "0"},
        {ps, Text("ForC", &P::ForC), ""},
        {ps, Text("XMaxThresh", &P::XMaxThresh), "1"},
        {ps, Text("XMinThresh", &P::XMinThresh), "-1"},
        {ps, Text("YMaxThresh", &P::YMaxThresh), "1"},
        {ps, Text("YMinThresh", &P::YMinThresh), "-1"},
        {ps, Switch("CheckRange", &P::CheckRange), "1"},
        {ps, Text("MaxDistanceThresh", &P::MaxDistanceThresh), "100"},
        {ps, Text("MinDistanceThresh", &P::MinDistanceThresh), "30"},
        {ps, Text("TempHysteresis", &P::TempHysteresis), "0"},
        {ps, Text("HumidHysteresis", &P::HumidHysteresis), "0"},
        {ps, Text("TiltHysteresis", &P::TiltHysteresis), "0"},
        {ps, Text("DistanceHysteresis", &P::DistanceHysteresis), "0"},
        {ps, Text("ReadingInterval", &P::ReadingInterval), "30"},
        {ps, ReadingUnit(), "Min"},
        {ps, Text("BinaryInterval", &P::BinaryInterval), "500"},
        {ps, Text("PrefaceFiles", &P::PrefaceFiles), "_"},
        {ps, Text("logdir", &P::logdir), logdirDefault},
        {ps, Text("MaxFileSize", &P::MaxFileSize), "1000"},
        {ps, Text("HDDTotalAmount", &P::HDDTotalAmount), "10000"},
        {ps, Switch("CloseFileAfterWrite", &P::CloseFileAfterWrite), "0"},
        {ps, Switch("chkLocalMonitoring", &P::chkLocalMonitoring), "0"},
        {ps, Switch("chkUseAlerts", &P::chkUseAlerts), "0"},
        {ps, Switch("chkAlwaysSendAlert", &P::chkAlwaysSendAlert), "0"},
        {ps, Switch("chkEmailOnProx", &P::chkEmailOnProx), "0"},
        {ps, Switch("chkPageOnProx", &P::chkPageOnProx), "0"},
        {ps, Switch("chkOnScreenProx", &P::chkOnScreenOnProx), "0"},
        {ps, Text("AlertRepeatSeconds", &P::AlertRepeatSeconds), "60"},
        {ps, Text("EscalateAfter", &P::EscalateAfter), "0"},
        {ps, Text("EscalationEmail", &P::EscalationEmail), ""},
        {ps, Text("EscalationNumToCall", &P::EscalationNumToCall), " "},
        // "9" is what a never-saved value reads as; any non-zero value selects SMTP.
        {ps, Switch("optUseSMTP", &P::optUseSMTP), "9"},
        {ps, Text("EmailAddress", &P::EmailAddress), ""},
        {ps, Text("CCEmailAddress", &P::CCEmailAddress), ""},
        {ps, Switch("IncludeTimeDate", &P::IncludeTimeDate), "1"},
        {ps, Switch("IncludeReading", &P::IncludeReading), "1"},
        {ps, Switch("IncludeName", &P::IncludeName), "1"},
        {ps, Switch("IncludeInSubject", &P::IncludeInSubject), "1"},
        {ps, Text("SMTPHostServer", &P::SMTPHostServer), ""},
        {ps, Text("SMTPUserName", &P::SMTPUserName), ""},
        {ps, Text("SMTPUserPassword", &P::SMTPUserPassword), ""},
        {ps, Text("SMTPFromEmailAddress", &P::SMTPFromEmailAddress), ""},
        {ps, Switch("chkAuthenticationReq", &P::chkAuthenticationReq), "0"},
        {ps, Text("SMTPCAFile", &P::SMTPCAFile), ""},
        {ps, Text("SMTPTimeoutSeconds", &P::SMTPTimeoutSeconds), "30"},
        {ps, Text("NumToCall", &P::NumToCall), " "},
        {ps, Text("NumToSend", &P::NumToSend), " "},
        {ps, Text("NumToSendPhone", &P::NumToSendPhone), " "},
        {ps, Switch("optionNumeric", &P::optionNumeric), "0"},
        {ps, Switch("optionPhone", &P::optionPhone), "0"},
        {ps, Text("IndexForModem", &P::IndexForModem), "1"},
        {ps, Text("ModemInitString", &P::ModemInitString), ""},
        {ps, Switch("optSysCommandDisabled", &P::optSysCommandDisabled), "0"},
        {ps, Switch("optLogoutOnProximity", &P::optLogoutOnProximity), "0"},
        {ps, Switch("optSystemLock", &P::optSystemLock), "0"},
        {ps, Switch("optRunCommand", &P::optRunCommand), "0"},
        {ps, Text("ProximityRunCommand", &P::ProximityRunCommand), "Path not set"},
        {ps, Text("ProximityRunCommandApproach", &P::ProximityRunCommandApproach), "Path not set"},
        {ps, Text("DelayEventAway", &P::DelayEventAway), "0"},
        {ps, Text("DelayEventUp", &P::DelayEventUp), "0"},
        {ps, Text("ProxEventCmbSubIndex99", &P::ProxEventCmbSubIndex99), "1"},
        {ps, Text("ProxEventCmbSubIndex98", &P::ProxEventCmbSubIndex98), "1"},
        {ps, Switch("chkProximSnapCam", &P::chkProximSnapCam), ""},
        {ps, Text("cmbProximNumber", &P::cmbProximNumber), ""},
        {ps, Switch("chkPlaceInStartup", &P::chkPlaceInStartup), "0"},
        {ps, Switch("chkSendToSummary", &P::chkSendToSummary), "0"},
        {ps, Switch("MqttEnabled", &P::MqttEnabled), "0"},
        {ps, Text("MqttServer", &P::MqttServer), ""},
        {ps, Text("MqttPort", &P::MqttPort), "1883"},
        {ps, Switch("MqttTls", &P::MqttTls), "0"},
        {ps, Text("MqttCAFile", &P::MqttCAFile), ""},
        {ps, Text("MqttUser", &P::MqttUser), ""},
        {ps, Text("MqttPassword", &P::MqttPassword), ""},
        {ps, Text("MqttTopicPrefix", &P::MqttTopicPrefix), "vigiltron"},
        {ps, Switch("MqttDiscovery", &P::MqttDiscovery), "1"},
        {is, Text("ServerName", &P::ServerName), ""},
        {is, Text("UserName", &P::UserName), ""},
        {is, Text("RemoteDirectory", &P::RemoteDirectory), ""},
        {is, Text("pw", &P::pw), ""},
        {is, Text("InternetInterval", &P::InternetInterval), "10"},
        {is, Switch("SeeMessages", &P::SeeMessages), "0"},
        {is, Switch("optStayConnected", &P::optStayConnected, true), "0"},
        {is, Switch("optConnectBeforeSend", &P::optConnectBeforeSend, true), "0"},
        {is, Text("txtTitleForUpdatePage", &P::txtTitleForUpdatePage), "Location#1"},
        {is, Text("txtXMLDirectory", &P::txtXMLDirectory), "C:\\"},
        {is, Switch("UseDirectory", &P::UseDirectory), "0"},
        {is, Switch("AutoStartIUE", &P::AutoStartIUE), "0"},
    };
    AddAlertSwitches(t, ps);
    return t;
}

// Every key of the preferences file with the file's own defaults, which differ from the
// settings tree's in places (thresholds, delays, e-mail options).
std::vector<Stored> PrefsFileTable(const std::string& logdirDefault) {
    using P = Preferences;
    const char* ss = kSensorSetup;
    const char* es = kEmailAlertSetup;
    const char* pg = kPageAlertSetup;
    const char* iu = kInternetUpdateSetup;
    const char* ms = kMqttSetup;
    std::vector<Stored> t = {
        {ss, Text("XMaxThresh", &P::XMaxThresh), "1"},
        {ss, Text("XMinThresh", &P::XMinThresh), "0"},
        {ss, Text("YMaxThresh", &P::YMaxThresh), "1"},
        {ss, Text("YMinThresh", &P::YMinThresh), "0"},
        {ss, Switch("CheckRange", &P::CheckRange), "0"},
        {ss, Text("MinDistanceThresh", &P::MinDistanceThresh), "30"},
        {ss, Text("MaxDistanceThresh", &P::MaxDistanceThresh), "100"},
        {ss, Text("TempHysteresis", &P::TempHysteresis), "0"},
        {ss, Text("HumidHysteresis", &P::HumidHysteresis), "0"},
        {ss, Text("TiltHysteresis", &P::TiltHysteresis), "0"},
        {ss, Text("DistanceHysteresis", &P::DistanceHysteresis), "0"},
        {ss, Text("EscalateAfter", &P::EscalateAfter), "0"},
        {ss, Text("ReadingInterval", &P::ReadingInterval), "30"},
        {ss, Text("BinaryInterval", &P::BinaryInterval), "500"},
    };
    AddAlertSwitches(t, ss);
    std::vector<Stored> rest = {
        {ss, Text("ProxEventCmbSubIndex99", &P::ProxEventCmbSubIndex99), "1"},
        {ss, Text("ProxEventCmbSubIndex98", &P::ProxEventCmbSubIndex98), "0"},
        {ss, Text("HDDTotalAmount", &P::HDDTotalAmount), "1000"},
        {ss, Text("MaxFileSize", &P::MaxFileSize), "1000"},
        {ss, Switch("optUseSMTP", &P::optUseSMTP, true), "1"},
        {ss, Text("TempMax", &P::TempMax), "80"},
        {ss, Text("TempMin", &P::TempMin), "40"},
        {ss, Text("HumidMax", &P::HumidMax), "60"},
        {ss, Text("HumidMin", &P::HumidMin), "20"},
        // A file without a log directory logs to the default one (the Windows edition's "0"
        // would have sent the logs to a folder named "0" below whatever the working folder was).
        {ss, Text("logdir", &P::logdir), logdirDefault},
        {ss, Switch("AutoConnect", &P::AutoConnect), "0"},
        {ss, Switch("chkAlwaysSendAlert", &P::chkAlwaysSendAlert), "0"},
        {ss, Switch("AutoConnectPrefs", &P::AutoConnectPrefs), "0"},
        {ss, Switch("chkLocalMonitoring", &P::chkLocalMonitoring), "0"},
        {ss, Switch("chkPlaceInStartup", &P::chkPlaceInStartup), ""},
        {ss, Switch("chkUseAlerts", &P::chkUseAlerts), "0"},
        {ss, Switch("chkPageOnProx", &P::chkPageOnProx), "0"},
        {ss, Switch("chkEmailOnProx", &P::chkEmailOnProx), "0"},
        {ss, Switch("chkOnScreenOnProx", &P::chkOnScreenOnProx), "0"},
        {ss, Text("PrefaceFiles", &P::PrefaceFiles), "_"},
        {ss, ReadingUnit(), "Min"},
        {ss, Text("ForC", &P::ForC), "F"},
        {ss, Text("DelayEventAway", &P::DelayEventAway), "10"},
        {ss, Text("DelayEventUp", &P::DelayEventUp), "5"},
        {ss, Switch("optSysCommandDisabled", &P::optSysCommandDisabled), ""},
        {ss, Switch("optLogoutOnProximity", &P::optLogoutOnProximity), ""},
        {ss, Switch("optSystemLock", &P::optSystemLock), ""},
        {ss, Switch("optRunCommand", &P::optRunCommand), ""},
        {ss, Text("ProximityRunCommand", &P::ProximityRunCommand), "Path not set"},
        {ss, Text("ProximityRunCommandApproach", &P::ProximityRunCommandApproach), "Path not set"},
        {es, Switch("chkAuthenticationReq", &P::chkAuthenticationReq), "0"},
        {es, Text("EmailAddress", &P::EmailAddress), " "},
        {es, Text("CCEmailAddress", &P::CCEmailAddress), " "},
        {es, Switch("IncludeTimeDate", &P::IncludeTimeDate), "0"},
        {es, Switch("IncludeReading", &P::IncludeReading), "0"},
        {es, Switch("IncludeName", &P::IncludeName), "0"},
        {es, Switch("IncludeInSubject", &P::IncludeInSubject), "0"},
        {es, Text("SMTPHostServer", &P::SMTPHostServer), " "},
        {es, Text("SMTPUserName", &P::SMTPUserName), " "},
        {es, Text("SMTPUserPassword", &P::SMTPUserPassword), ""},
        {es, Text("SMTPFromEmailAddress", &P::SMTPFromEmailAddress), ""},
        {es, Text("EscalationEmail", &P::EscalationEmail), ""},
        {pg, Text("NumToCall", &P::NumToCall), " "},
        {pg, Text("NumToSend", &P::NumToSend), " "},
        {pg, Text("EscalationNumToCall", &P::EscalationNumToCall), " "},
        {iu, Text("RemoteDirectory", &P::RemoteDirectory), " "},
        {iu, Text("ServerName", &P::ServerName), " "},
        {iu, Text("UserName", &P::UserName), " "},
        {iu, Text("InternetInterval", &P::InternetInterval), "10"},
        {iu, Text("pw", &P::pw), ""},
        {iu, Switch("SeeMessages", &P::SeeMessages), "0"},
        {iu, Switch("optStayConnected", &P::optStayConnected, true), "0"},
        {iu, Switch("optConnectBeforeSend", &P::optConnectBeforeSend, true), "0"},
        {iu, Text("txtTitleForUpdatePage", &P::txtTitleForUpdatePage), " "},
        {iu, Text("txtXMLDirectory", &P::txtXMLDirectory), "C:\\"},
        {iu, Switch("UseDirectory", &P::UseDirectory), "0"},
        {ms, Switch("MqttEnabled", &P::MqttEnabled), "0"},
        {ms, Text("MqttServer", &P::MqttServer), ""},
        {ms, Text("MqttPort", &P::MqttPort), "1883"},
        {ms, Switch("MqttTls", &P::MqttTls), "0"},
        {ms, Text("MqttCAFile", &P::MqttCAFile), ""},
        {ms, Text("MqttUser", &P::MqttUser), ""},
        {ms, Text("MqttPassword", &P::MqttPassword), ""},
        {ms, Text("MqttTopicPrefix", &P::MqttTopicPrefix), "vigiltron"},
        {ms, Switch("MqttDiscovery", &P::MqttDiscovery), "1"},
    };
    t.insert(t.end(), std::make_move_iterator(rest.begin()), std::make_move_iterator(rest.end()));
    return t;
}

std::string ProxSection(int slot) {
    return std::string(kProgramSetup) + "\\Prox" + std::to_string(slot);
}

std::string DeviceFileSection(int n) {
    return std::string(kDeviceSetup) + "\\" + std::to_string(n);
}

bool IsCameraType(const std::string& type) {
    return IsCamera(KindFromDeviceType(type));
}

}  // namespace

ConfigStore::ConfigStore(SettingsTree& settings, const MachineSettings& machine,
                         TextFileStore& files, Dialogs& dialogs, const Clock& clock,
                         DeviceModel& devices, std::string applicationFolder,
                         std::string configDirectory, SecretStore* secrets)
    : settings_(settings),
      machine_(machine),
      files_(files),
      dialogs_(dialogs),
      clock_(clock),
      devices_(devices),
      applicationFolder_(std::move(applicationFolder)),
      configDirectory_(std::move(configDirectory)),
      secrets_(secrets) {}

std::string ConfigStore::ReadMachineValue(const std::string& name) const {
    try {
        const std::string value = machine_.Read(name);
        return value.substr(0, value.find('\0'));
    } catch (...) {
        return "";
    }
}

// ---- Preferences file ----

std::string ConfigStore::PrefsFilePath() const {
    return ResolveProfilePath(prefsFileName_, configDirectory_);
}

void ConfigStore::SetPrefsFileName(const std::string& name) {
    prefsFileName_ = name.empty() ? std::string(kDefaultPrefsFile) : name;
}

void ConfigStore::UsePrefsFileFromMachine() {
    SetPrefsFileName(ReadMachineValue("INIPath"));
}

std::optional<ProfileFile> ConfigStore::ReadPrefsFile(std::string& error) const {
    const TextFileStore::ReadResult read = files_.ReadFile(PrefsFilePath());
    switch (read.status) {
        case TextFileStore::ReadStatus::Ok:
            return ProfileFile::Parse(read.contents);
        case TextFileStore::ReadStatus::Missing:
            return ProfileFile();
        case TextFileStore::ReadStatus::Failed:
            break;
    }
    error = read.error.empty() ? "cannot read " + PrefsFilePath() : read.error;
    return std::nullopt;
}

bool ConfigStore::WritePrefsFile(ProfileFile file, std::string& error) {
    // Whatever the write is for, a clear password the secret store already holds goes.
    for (const Password& password : kPasswords) {
        const std::string clear = file.GetString(password.fileSection, password.key, "");
        if (!clear.empty() && StoreHolds(password.key, clear)) {
            file.SetString(password.fileSection, password.key, "");
        }
    }
    return files_.WriteAtomically(PrefsFilePath(), file.Serialize(), error);
}

std::string ConfigStore::ReadPrefsFileValue(const std::string& section, const std::string& key,
                                            const std::string& defaultValue) const {
    std::string error;
    const std::optional<ProfileFile> file = ReadPrefsFile(error);
    return file ? file->GetString(section, key, defaultValue)
                : ProfileFile().GetString(section, key, defaultValue);
}

bool ConfigStore::WritePrefsFileValue(const std::string& section, const std::string& key,
                                      const std::string& value) {
    std::string error;
    std::optional<ProfileFile> file = ReadPrefsFile(error);
    if (!file) {
        return false;
    }
    file->SetString(section, key, value);
    return WritePrefsFile(*file, error);
}

// ---- Preferences ----

bool ConfigStore::LoadPrefsRegistry(Preferences& prefs) {
    try {
        Preferences loaded = prefs;
        const std::string tempMax = settings_.GetSetting(kProgramSetup, "TempMax");
        if (tempMax.empty()) {
            loaded.TempMax = "80";
            loaded.TempMin = "40";
            loaded.HumidMax = "70";
            loaded.HumidMin = "20";
        } else {
            loaded.TempMax = tempMax;
            loaded.TempMin = settings_.GetSetting(kProgramSetup, "TempMin");
            loaded.HumidMax = settings_.GetSetting(kProgramSetup, "HumidMax");
            loaded.HumidMin = settings_.GetSetting(kProgramSetup, "HumidMin");
        }
        loaded.SavedState = settings_.GetSetting(kProgramSetup, "SavedState", "Error");
        loaded.TotalDevices = settings_.GetSetting(kProgramSetup, "TotalDevices", "0");
        loaded.TotalCameras = settings_.GetSetting(kProgramSetup, "TotalCameras");
        for (const Stored& s : SettingsTreeTable(DefaultLogDirectory(applicationFolder_))) {
            s.binding.set(loaded, settings_.GetSetting(s.section, s.binding.key, s.defaultValue),
                          s.defaultValue);
        }
        for (const Password& password : kPasswords) {
            RecallPassword(password.key, loaded.*password.field);
        }
        prefs = std::move(loaded);
        return true;
    } catch (...) {
        return false;
    }
}

bool ConfigStore::SavePrefsRegistry(const Preferences& prefs) {
    try {
        // Only changed values are written: each write reaches the disk at once, and the whole
        // set is saved on every OK of the setup window.
        auto save = [this](const char* section, const std::string& key, const std::string& value) {
            if (settings_.GetSetting(section, key, kAbsent) != value) {
                settings_.SaveSetting(section, key, value);
            }
        };
        save(kProgramSetup, "TempMax", prefs.TempMax);
        save(kProgramSetup, "TempMin", prefs.TempMin);
        save(kProgramSetup, "HumidMax", prefs.HumidMax);
        save(kProgramSetup, "HumidMin", prefs.HumidMin);
        for (const Stored& s : SettingsTreeTable(DefaultLogDirectory(applicationFolder_))) {
            if (IsPasswordKey(s.binding.key)) {
                SavePassword(s.binding.key, s.binding.get(prefs));
            } else {
                save(s.section, s.binding.key, s.binding.get(prefs));
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

void ConfigStore::LoadProxSections(Preferences& prefs) {
    for (int slot = 1; slot <= 4; ++slot) {
        const std::string section = ProxSection(slot);
        ProxSlotSettings& p = prefs.prox[slot];
        p.chkCamMon = ToBoolean(settings_.GetSetting(section, "chkCamMon", "0"));
        p.chkCamUseProx = ToBoolean(settings_.GetSetting(section, "chkCamUseProx", "0"));
        p.chkProxSnapCam = ToBoolean(settings_.GetSetting(section, "chkProxSnapCam", "0"));
        p.cmbProximNumber = settings_.GetSetting(section, "cmbProximNumber", " ");
    }
    const CameraSettings defaults;
    for (int camera = 1; camera <= 4; ++camera) {
        const std::string section = CameraSection(camera);
        CameraSettings& c = prefs.cameras[std::size_t(camera)];
        c.CaptureToAVI = ToBoolean(settings_.GetSetting(section, "CaptureToAVI", "0"));
        c.AutoDisconnect = ToBoolean(settings_.GetSetting(section, "AutoDisconnect", "0"));
        c.AutoDisconnectInterval = settings_.GetSetting(section, "AutoDisconnectInterval",
                                                        defaults.AutoDisconnectInterval);
        c.FPS = settings_.GetSetting(section, "FPS", defaults.FPS);
        c.Resolution = settings_.GetSetting(section, "Resolution", defaults.Resolution);
    }
}

void ConfigStore::SaveProxSections(const Preferences& prefs) {
    for (int slot = 1; slot <= 4; ++slot) {
        const std::string section = ProxSection(slot);
        const ProxSlotSettings& p = prefs.prox[slot];
        settings_.SaveSetting(section, "chkCamMon", OneZero(p.chkCamMon));
        settings_.SaveSetting(section, "chkCamUseProx", OneZero(p.chkCamUseProx));
        settings_.SaveSetting(section, "chkProxSnapCam", OneZero(p.chkProxSnapCam));
        settings_.SaveSetting(section, "cmbProximNumber", p.cmbProximNumber);
    }
    for (int camera = 1; camera <= 4; ++camera) {
        const std::string section = CameraSection(camera);
        const CameraSettings& c = prefs.cameras[std::size_t(camera)];
        settings_.SaveSetting(section, "CaptureToAVI", OneZero(c.CaptureToAVI));
        settings_.SaveSetting(section, "AutoDisconnect", OneZero(c.AutoDisconnect));
        settings_.SaveSetting(section, "AutoDisconnectInterval", c.AutoDisconnectInterval);
        settings_.SaveSetting(section, "FPS", c.FPS);
        settings_.SaveSetting(section, "Resolution", c.Resolution);
    }
}

bool ConfigStore::LoadPrefsINI(Preferences& prefs) {
    try {
        std::string error;
        const std::optional<ProfileFile> file = ReadPrefsFile(error);
        if (!file) {
            return false;
        }
        Preferences loaded = prefs;
        for (const Stored& s : PrefsFileTable(DefaultLogDirectory(applicationFolder_))) {
            s.binding.set(loaded, file->GetString(s.section, s.binding.key, s.defaultValue),
                          s.defaultValue);
        }
        for (const Password& password : kPasswords) {
            RecallPassword(password.key, loaded.*password.field);
        }
        prefs = std::move(loaded);
        return true;
    } catch (...) {
        return false;
    }
}

bool ConfigStore::SavePrefsINI(const Preferences& prefs) {
    try {
        std::string error;
        std::optional<ProfileFile> file = ReadPrefsFile(error);
        if (!file) {
            return false;
        }
        for (const Stored& s : PrefsFileTable(DefaultLogDirectory(applicationFolder_))) {
            std::string value = s.binding.get(prefs);
            if (const Password* password = FindPassword(s.binding.key);
                password != nullptr && KeepSecret(password->key, value)) {
                // Moved: a clear copy the settings tree still holds goes as well.
                if (!value.empty() &&
                    settings_.GetSetting(password->treeSection, password->key) == value) {
                    settings_.SaveSetting(password->treeSection, password->key, "");
                }
                value.clear();
            }
            file->SetString(s.section, s.binding.key, value);
        }
        return WritePrefsFile(*file, error);
    } catch (...) {
        return false;
    }
}

bool ConfigStore::SavePreferencesToFile(const Preferences& prefs) {
    UsePrefsFileFromMachine();
    if (SavePrefsINI(prefs)) {
        return true;
    }
    dialogs_.ShowMessage("Error when saving preferences to file");
    return false;
}

void ConfigStore::RegistryCleanOut() {
    try {
        for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
            settings_.DeleteSetting("\\PortConfig\\Devices\\" + std::to_string(n));
        }
        settings_.DeleteSetting("\\PortConfig\\Devices");
        settings_.DeleteSetting("\\PortConfig");
        for (int slot = 1; slot <= 4; ++slot) {
            settings_.DeleteSetting("\\Program Setup\\Prox" + std::to_string(slot));
        }
        settings_.DeleteSetting("\\Program Setup");
        dialogs_.ShowMessage(
            "Success.  You must exit the program and restart.\n"
            "You will be prompted to re-enter your sensor setup information.");
    } catch (...) {
        dialogs_.ShowMessage("Error in RegistryCleanOut");
    }
}

// ---- Device list ----

void ConfigStore::ClearDeviceList() {
    devices_.ClearEntries();
    devices_.ClearDeviceTables();
}

void ConfigStore::TakeLoadedSlots() {
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        if (!devices_.IsFree(n)) {
            devices_.TakeSlot(n);
        }
    }
}

bool ConfigStore::LoadDeviceRegistry() {
    try {
        ClearDeviceList();
        const std::string total = settings_.GetSetting("Program Setup\\", "TotalDevices", "99");
        if (total == "99") {
            return true;  // no device list was ever saved
        }
        int count = LeadingWholeNumber(total);
        if (count < 0) {
            settings_.SaveSetting("Program Setup\\", "TotalDevices", "0");
            return true;
        }
        count = std::min(count, DeviceModel::kLastIndex);
        for (int n = DeviceModel::kFirstIndex; n <= count; ++n) {
            const std::string section = DeviceModel::DeviceSection(n) + "\\";
            DeviceRecord record;
            record.deviceType = settings_.GetSetting(section, "DeviceType");
            if (record.deviceType.empty()) {
                continue;
            }
            const DeviceKind kind = KindFromDeviceType(record.deviceType);
            if (record.deviceType != kTypeCamera) {
                record.tabLogging = ToBoolean(settings_.GetSetting(section, "TabLogging"));
                record.fileLogging = ToBoolean(settings_.GetSetting(section, "FileLogging"));
            }
            if (kind == DeviceKind::Accelerometer) {
                record.startInBump = ToBoolean(settings_.GetSetting(section, "StartInBump", "0"));
            } else if (kind == DeviceKind::Distance) {
                record.startInProx = ToBoolean(settings_.GetSetting(section, "StartInProx", "0"));
            }
            record.subIndex = settings_.GetSetting(section, "SubIndex");
            record.deviceName = settings_.GetSetting(section, "DeviceName");
            if (record.deviceType.find("Combo") != std::string::npos &&
                Trim(record.subIndex).size() == 1) {
                // A record of an older layout: the whole stored list is unusable.
                for (int i = DeviceModel::kFirstIndex; i <= DeviceModel::kLastIndex; ++i) {
                    settings_.DeleteSetting(DeviceModel::DeviceSection(i));
                }
                settings_.SaveSetting("Program Setup\\", "TotalDevices", "0");
                ClearDeviceList();
                dialogs_.ShowMessage("Could not load saved preferences.");
                return false;
            }
            if (IsCameraType(record.deviceType)) {
                const std::string driver = settings_.GetSetting(section, "CamDriverIndex");
                record.camDriverIndex =
                    driver.empty() ? DeviceModel::kCameraFree : LeadingWholeNumber(driver);
                record.driverName = settings_.GetSetting(section, "DriverName");
                record.usedByDriver = settings_.GetSetting(section, "UsedByDriver");
            } else {
                record.port = LeadingWholeNumber(settings_.GetSetting(section, "Port"));
                record.calibrateOnConnect =
                    ToBoolean(settings_.GetSetting(section, "CalibrateOnConnect"));
                record.proxSens = settings_.GetSetting(section, "ProxSens");
            }
            devices_.SetEntry(n, record);
        }
        const bool sendToSummary =
            ToBoolean(settings_.GetSetting("Program Setup\\", "chkSendToSummary", "0"));
        for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
            DeviceRecord* entry = devices_.Entry(n);
            if (entry != nullptr && IsCameraType(entry->deviceType)) {
                entry->sendToSummary = sendToSummary;
            }
        }
        devices_.CreateSetupArray();
        TakeLoadedSlots();
        return true;
    } catch (...) {
        ClearDeviceList();
        dialogs_.ShowMessage("Could not load saved preferences.");
        return false;
    }
}

bool ConfigStore::LoadDeviceINI() {
    try {
        ClearDeviceList();
        std::string error;
        const std::optional<ProfileFile> file = ReadPrefsFile(error);
        if (!file) {
            dialogs_.ShowMessage("Error In LoadDeviceINI: " + error);
            return false;
        }
        const std::string total = file->GetString(kDeviceSetup, "TotalDevices", "0");
        if (total == "0") {
            dialogs_.ShowMessage("TotalDevs = 0");
            return true;
        }
        int count = LeadingWholeNumber(total);
        if (count < 0) {
            dialogs_.ShowMessage("Error In LoadDeviceINI: the device count " + total +
                                 " is negative");
            return false;
        }
        count = std::min(count, DeviceModel::kLastIndex);
        for (int n = DeviceModel::kFirstIndex; n <= count; ++n) {
            const std::string section = DeviceFileSection(n);
            DeviceRecord record;
            record.deviceType = file->GetString(section, "DeviceType", " ");
            if (record.deviceType.empty()) {
                dialogs_.ShowMessage("No device type or device to load. Exiting Sub");
                ClearDeviceList();
                return false;
            }
            const DeviceKind kind = KindFromDeviceType(record.deviceType);
            record.subIndex = file->GetString(section, "SubIndex", "0");
            if (record.deviceType.find("Combo") != std::string::npos &&
                record.subIndex.size() == 1) {
                dialogs_.ShowMessage(
                    "SubIndex is only one digit. Should be two digits for a Combo Device.");
                dialogs_.ShowMessage("Device loading has stopped.");
                ClearDeviceList();
                return false;
            }
            if (record.deviceType != kTypeCamera) {
                // Unattended runs keep their readings in the log files, not on the tabs.
                record.tabLogging = false;
                record.fileLogging = true;
            }
            record.deviceName = file->GetString(section, "DeviceName", "");
            record.port = LeadingWholeNumber(file->GetString(section, "Port", "1"));
            if (kind == DeviceKind::Accelerometer || kind == DeviceKind::Distance) {
                record.calibrateOnConnect =
                    ToBoolean(file->GetString(section, "CalibrateOnConnect", "0"));
                record.startInBump = ToBoolean(file->GetString(section, "StartInBump", "0"));
                record.startInProx = ToBoolean(file->GetString(section, "StartInProx", "0"));
            }
            if (IsCamera(kind)) {
                // The file holds no camera drivers: those stay in the settings tree.
                record.port = 0;
                const std::string tree = DeviceModel::DeviceSection(n);
                const std::string driver = settings_.GetSetting(tree, "CamDriverIndex");
                record.camDriverIndex =
                    driver.empty() ? DeviceModel::kCameraFree : LeadingWholeNumber(driver);
                record.driverName = settings_.GetSetting(tree, "DriverName");
            }
            devices_.SetEntry(n, record);
        }
        devices_.CreateSetupArray();
        TakeLoadedSlots();
        return true;
    } catch (const std::exception& e) {
        ClearDeviceList();
        dialogs_.ShowMessage(std::string("Error In LoadDeviceINI: ") + e.what());
        return false;
    } catch (...) {
        ClearDeviceList();
        dialogs_.ShowMessage("Error In LoadDeviceINI: unknown error");
        return false;
    }
}

bool ConfigStore::SaveDeviceINI(int n) {
    std::string error;
    try {
        const DeviceRecord* entry = devices_.Entry(n);
        if (entry == nullptr) {
            error = "no setup index " + std::to_string(n);
        } else if (std::optional<ProfileFile> file = ReadPrefsFile(error)) {
            const std::string section = DeviceFileSection(n);
            file->SetString(section, "DeviceType", entry->deviceType);
            file->SetString(section, "DeviceName", entry->deviceName);
            file->SetString(section, "Port", std::to_string(entry->port));
            file->SetString(section, "SubIndex", entry->subIndex);
            file->SetString(section, "TabLogging", OneZero(entry->tabLogging));
            file->SetString(section, "FileLogging", OneZero(entry->fileLogging));
            const DeviceKind kind = KindFromDeviceType(entry->deviceType);
            if (kind == DeviceKind::Accelerometer || kind == DeviceKind::Distance) {
                file->SetString(section, "CalibrateOnConnect", OneZero(entry->calibrateOnConnect));
                file->SetString(section, "StartInBump", OneZero(entry->startInBump));
                file->SetString(section, "StartInProx", OneZero(entry->startInProx));
            }
            if (WritePrefsFile(*file, error)) {
                return true;
            }
        }
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown error";
    }
    dialogs_.ShowMessage("SaveDeviceINI error: " + error);
    return false;
}

bool ConfigStore::LoadConfig(bool bRunAsService, const std::string& strTotDevices,
                             Preferences& prefs) {
    try {
        std::string count = strTotDevices;
        if (!bRunAsService) {
            count = settings_.GetSetting("Program Setup\\", "TotalDevices", "0");
        }
        bool loaded = true;
        if (count == "0") {
            dialogs_.ShowMessage("No devices to load into setup");
        } else {
            loaded = bRunAsService ? LoadDeviceINI() : LoadDeviceRegistry();
        }
        LoadProxSections(prefs);
        return loaded;
    } catch (...) {
        dialogs_.ShowMessage("There was an error in cmdLoadConfig");
        return false;
    }
}

// ---- Passwords ----

bool ConfigStore::IsPasswordKey(const std::string& key) {
    return FindPassword(key) != nullptr;
}

bool ConfigStore::KeepSecret(const std::string& key, const std::string& value) {
    try {
        if (secrets_ == nullptr || !secrets_->Available()) {
            return false;
        }
        const auto known = kept_.find(key);
        if (known != kept_.end() && known->second == value) {
            return true;
        }
        std::string error;
        // A password emptied by the user must not come back from the store at the next start.
        if (!(value.empty() ? secrets_->Remove(key, error) : secrets_->Write(key, value, error))) {
            return false;
        }
        kept_[key] = value;
        return true;
    } catch (...) {
        return false;
    }
}

bool ConfigStore::StoreHolds(const std::string& key, const std::string& value) {
    try {
        if (secrets_ == nullptr || !secrets_->Available()) {
            return false;
        }
        auto known = kept_.find(key);
        if (known == kept_.end()) {
            const SecretStore::ReadResult read = secrets_->Read(key);
            if (!read.error.empty()) {
                return false;
            }
            known = kept_.emplace(key, read.value.value_or("")).first;
        }
        return known->second == value;
    } catch (...) {
        return false;
    }
}

void ConfigStore::RecallPassword(const std::string& key, std::string& password) {
    // A clear value is newer than the store's: it is removed whenever the store takes one.
    if (!password.empty() || secrets_ == nullptr) {
        return;
    }
    try {
        if (!secrets_->Available()) {
            return;
        }
        const SecretStore::ReadResult read = secrets_->Read(key);
        if (read.error.empty()) {
            password = read.value.value_or("");
            kept_[key] = password;
        }
    } catch (...) {
        // The password stays unknown; saving one later still works.
    }
}

void ConfigStore::SavePassword(const std::string& key, const std::string& value) {
    const Password* password = FindPassword(key);
    if (password == nullptr) {
        return;
    }
    const std::string clear = KeepSecret(key, value) ? "" : value;
    if (settings_.GetSetting(password->treeSection, key, kAbsent) != clear) {
        settings_.SaveSetting(password->treeSection, key, clear);
    }
}

void ConfigStore::MoveClearPasswords() {
    try {
        for (const Password& password : kPasswords) {
            const std::string clear = settings_.GetSetting(password.treeSection, password.key);
            if (!clear.empty() && KeepSecret(password.key, clear)) {
                settings_.SaveSetting(password.treeSection, password.key, "");
            }
        }
    } catch (...) {
        // What could not be moved stays where it is and moves with the next save.
    }
}

std::string ConfigStore::PasswordStorage() {
    try {
        return secrets_ != nullptr ? secrets_->Where() : SecretStore::kInSettingsFile;
    } catch (...) {
        return SecretStore::kInSettingsFile;
    }
}

// ---- Error journal ----

bool ConfigStore::AddJournalEntry(const std::string& code, const std::string& value) {
    try {
        std::string error;
        std::optional<ProfileFile> file = ReadPrefsFile(error);
        if (!file) {
            return false;
        }
        file->SetString(kLogging, clock_.LongTime(clock_.Now()) + code, value);
        return WritePrefsFile(*file, error);
    } catch (...) {
        return false;
    }
}

}  // namespace vigiltron
