#include "sensors/SetupPreferences.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <optional>

#include "config/ConfigStore.h"
#include "config/Preferences.h"
#include "config/Startup.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/LooseText.h"
#include "core/ReadingValue.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/MqttPublisher.h"
#include "sensors/LineStateSensors.h"
#include "sensors/SensorLink.h"

namespace vigiltron {

namespace {

constexpr const char* kProgramSetup = "Program Setup";
using Focus = SetupPreferencesView::Focus;

// A number as a text box holds it: blanks around it and a leading "+" allowed, nothing else.
std::optional<double> Numeric(const std::string& text) {
    std::string_view trimmed = Trim(text);
    if (!trimmed.empty() && trimmed.front() == '+') {
        trimmed.remove_prefix(1);
    }
    if (trimmed.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [stop, error] = std::from_chars(trimmed.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// A switch value of the command line: "1"/"0", "True"/"False" or any number.
std::optional<bool> SwitchValue(const std::string& text) {
    const bool asTrue = ToBoolean(text, true);
    if (asTrue != ToBoolean(text, false)) {
        return std::nullopt;
    }
    return asTrue;
}

// Whole numbers round halves to even, as the interval's other readers do.
long long WholeNumber(double value) {
    return std::llround(std::nearbyint(value));
}

// "TabLogging3" -> 3; 0 when `key` is not `prefix` followed by a setup index.
int IndexAfter(const std::string& key, const std::string& prefix) {
    if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) {
        return 0;
    }
    int n = 0;
    const char* begin = key.data() + prefix.size();
    const char* end = key.data() + key.size();
    const auto [stop, error] = std::from_chars(begin, end, n);
    return error == std::errc() && stop == end && DeviceModel::IsValidIndex(n) ? n : 0;
}

bool IsTemperatureOrHumidityThreshold(const std::string& key) {
    return key == "TempMax" || key == "TempMin" || key == "HumidMax" || key == "HumidMin";
}

// What a non-numeric temperature or humidity threshold is reset to when its box is left.
const char* ThresholdReset(const std::string& key) {
    return key == "TempMax" ? "80" : key == "TempMin" ? "30" : key == "HumidMax" ? "70" : "20";
}

// Boxes saved as soon as they change.
bool SavedOnChange(const std::string& key) {
    static const char* const kKeys[] = {
        "TempMax",           "TempMin",        "HumidMax",     "HumidMin",    "XMaxThresh",
        "XMinThresh",        "YMaxThresh",     "YMinThresh",   "MaxFileSize", "MaxDistanceThresh",
        "MinDistanceThresh", "HDDTotalAmount", "PrefaceFiles", "logdir",
    };
    // The mail settings and the alert pacing have no box of their own: they are set from the
    // command line only.
    return std::find(std::begin(kKeys), std::end(kKeys), key) != std::end(kKeys) ||
           key == "SMTPCAFile" || key == "SMTPTimeoutSeconds" || key == "AlertRepeatSeconds" ||
           key == "MqttServer" || key == "MqttCAFile" || key == "MqttUser";
}

// The alarm-handling boxes (deadbands and escalation), with their stored defaults. They are
// checked, and saved, when they are left; a value that does not fit goes back to the stored one.
const char* AlarmHandlingDefault(const std::string& key) {
    static const std::pair<const char*, const char*> kKeys[] = {
        {"TempHysteresis", "0"},      {"HumidHysteresis", "0"}, {"TiltHysteresis", "0"},
        {"DistanceHysteresis", "0"},  {"EscalateAfter", "0"},   {"EscalationEmail", ""},
        {"EscalationNumToCall", " "},
    };
    for (const auto& [name, value] : kKeys) {
        if (key == name) {
            return value;
        }
    }
    return nullptr;
}

// The longest escalation delay: a week, in minutes.
constexpr double kLongestEscalationMinutes = 7 * 24 * 60;

bool FitsAlarmHandlingBox(const std::string& key, const std::string& text) {
    const std::string_view trimmed = Trim(text);
    if (key == "EscalationEmail") {
        // One address or none; nothing that could end a mail header line.
        return trimmed.empty() ||
               (trimmed.find('@') != std::string_view::npos &&
                trimmed.find_first_of(" \t\r\n,;<>\"") == std::string_view::npos);
    }
    if (key == "EscalationNumToCall") {
        // Dial characters only: the number goes into the modem's dial command.
        return trimmed.find_first_not_of("0123456789*#,+-() ") == std::string_view::npos;
    }
    const std::optional<double> value = Numeric(text);
    if (key == "EscalateAfter") {
        return value && *value == std::floor(*value) && *value >= 0 &&
               *value <= kLongestEscalationMinutes;
    }
    return value && *value >= 0;
}

// The publishing page's boxes that are checked, and saved, when they are left.
bool CheckedOnLeave(const std::string& key) {
    return key == "MqttPort" || key == "MqttTopicPrefix" || key == "MqttPassword";
}

std::optional<ProximityActions::Action> ActionOfKey(const std::string& key) {
    using A = ProximityActions::Action;
    const std::pair<const char*, A> options[] = {{"optSysCommandDisabled", A::Disabled},
                                                 {"optSystemLock", A::SystemLock},
                                                 {"optLogoutOnProximity", A::LogOff},
                                                 {"optRunCommand", A::RunCommand}};
    for (const auto& [name, action] : options) {
        if (key == name) {
            return action;
        }
    }
    return std::nullopt;
}

std::optional<ProximityActions::Direction> DelayDirection(const std::string& key) {
    if (key == "DelayEventAway") {
        return ProximityActions::kWalkAway;
    }
    if (key == "DelayEventUp") {
        return ProximityActions::kWalkUp;
    }
    return std::nullopt;
}

}  // namespace

double RoundingDP(double dblNumber, int numDP) {
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    const double scale = kPowersOfTen[std::clamp(numDP, 0, 9)];
    return std::floor(dblNumber * scale + 0.5) / scale;
}

SetupPreferences::SetupPreferences(Services services) : s_(std::move(services)) {
    Preferences& p = s_.prefs;
    const std::pair<const char*, std::string*> texts[] = {
        {"TempMax", &p.TempMax},
        {"TempMin", &p.TempMin},
        {"HumidMax", &p.HumidMax},
        {"HumidMin", &p.HumidMin},
        {"XMaxThresh", &p.XMaxThresh},
        {"XMinThresh", &p.XMinThresh},
        {"YMaxThresh", &p.YMaxThresh},
        {"YMinThresh", &p.YMinThresh},
        {"MaxDistanceThresh", &p.MaxDistanceThresh},
        {"MinDistanceThresh", &p.MinDistanceThresh},
        {"TempHysteresis", &p.TempHysteresis},
        {"HumidHysteresis", &p.HumidHysteresis},
        {"TiltHysteresis", &p.TiltHysteresis},
        {"DistanceHysteresis", &p.DistanceHysteresis},
        {"EscalateAfter", &p.EscalateAfter},
        {"EscalationEmail", &p.EscalationEmail},
        {"EscalationNumToCall", &p.EscalationNumToCall},
        {"ForC", &p.ForC},
        {"ReadingInterval", &p.ReadingInterval},
        {"MinOrSecs", &p.MinOrSecs},
        {"BinaryInterval", &p.BinaryInterval},
        {"MaxFileSize", &p.MaxFileSize},
        {"HDDTotalAmount", &p.HDDTotalAmount},
        {"PrefaceFiles", &p.PrefaceFiles},
        {"logdir", &p.logdir},
        {"DelayEventAway", &p.DelayEventAway},
        {"DelayEventUp", &p.DelayEventUp},
        {"ProximityRunCommand", &p.ProximityRunCommand},
        {"ProximityRunCommandApproach", &p.ProximityRunCommandApproach},
        {"ProxEventCmbSubIndex99", &p.ProxEventCmbSubIndex99},
        {"AlertRepeatSeconds", &p.AlertRepeatSeconds},
        {"SMTPCAFile", &p.SMTPCAFile},
        {"SMTPTimeoutSeconds", &p.SMTPTimeoutSeconds},
        {"MqttServer", &p.MqttServer},
        {"MqttPort", &p.MqttPort},
        {"MqttCAFile", &p.MqttCAFile},
        {"MqttUser", &p.MqttUser},
        {"MqttPassword", &p.MqttPassword},
        {"MqttTopicPrefix", &p.MqttTopicPrefix},
    };
    for (const auto& [key, text] : texts) {
        keys_.push_back({key, text, nullptr, {}, {}});
    }
    const std::pair<const char*, bool*> flags[] = {
        {"CheckRange", &p.CheckRange},
        {"chkOnScreenProx", &p.chkOnScreenOnProx},
        {"chkEmailOnProx", &p.chkEmailOnProx},
        {"chkPageOnProx", &p.chkPageOnProx},
        {"chkAlwaysSendAlert", &p.chkAlwaysSendAlert},
        {"chkLocalMonitoring", &p.chkLocalMonitoring},
        {"chkUseAlerts", &p.chkUseAlerts},
        {"CloseFileAfterWrite", &p.CloseFileAfterWrite},
        {"AutoConnect", &p.AutoConnect},
        {"optSysCommandDisabled", &p.optSysCommandDisabled},
        {"optSystemLock", &p.optSystemLock},
        {"optLogoutOnProximity", &p.optLogoutOnProximity},
        {"optRunCommand", &p.optRunCommand},
        {"MqttEnabled", &p.MqttEnabled},
        {"MqttTls", &p.MqttTls},
        {"MqttDiscovery", &p.MqttDiscovery},
    };
    for (const auto& [key, flag] : flags) {
        keys_.push_back({key, nullptr, flag, {}, {}});
    }
    for (int family : kAlertFamilies) {
        const std::string suffix = std::to_string(family);
        keys_.push_back(
            {"chkOnScreenAlert" + suffix, nullptr, &p.chkOnScreenAlert[family], {}, {}});
        keys_.push_back({"chkEmailAlert" + suffix, nullptr, &p.chkEmailAlert[family], {}, {}});
        keys_.push_back({"chkPageAlert" + suffix, nullptr, &p.chkPageAlert[family], {}, {}});
    }
    for (int c = 1; c <= 4; ++c) {
        const std::string n = std::to_string(c);
        ProxSlotSettings& coupling = p.prox[std::size_t(c)];
        CameraSettings& camera = p.cameras[std::size_t(c)];
        const std::string prox = "Program Setup\\Prox" + n;
        keys_.push_back({"chkCamMon" + n, nullptr, &coupling.chkCamMon, prox, "chkCamMon"});
        keys_.push_back(
            {"chkCamUseProx" + n, nullptr, &coupling.chkCamUseProx, prox, "chkCamUseProx"});
        keys_.push_back(
            {"chkProxSnapCam" + n, nullptr, &coupling.chkProxSnapCam, prox, "chkProxSnapCam"});
        keys_.push_back(
            {"cmbProximNumber" + n, &coupling.cmbProximNumber, nullptr, prox, "cmbProximNumber"});
        const std::string section = CameraSection(c);
        keys_.push_back(
            {"CaptureToAVI" + n, nullptr, &camera.CaptureToAVI, section, "CaptureToAVI"});
        keys_.push_back(
            {"AutoDisconnect" + n, nullptr, &camera.AutoDisconnect, section, "AutoDisconnect"});
        keys_.push_back({"AutoDisconnectInterval" + n, &camera.AutoDisconnectInterval, nullptr,
                         section, "AutoDisconnectInterval"});
        keys_.push_back({"FPS" + n, &camera.FPS, nullptr, section, "FPS"});
    }
    // The limit shown at start-up is 1000 kilobytes whatever is stored; a change of a
    // file-logging option puts the stored size in force.
    s_.logFiles.SetSizeLimitInForce(1000 * 1024);
}

const SetupPreferences::Key* SetupPreferences::Find(const std::string& name) const {
    for (const Key& key : keys_) {
        if (key.name == name) {
            return &key;
        }
    }
    return nullptr;
}

void SetupPreferences::Save(const std::string& key, const std::string& value) {
    const Key* found = Find(key);
    if (found != nullptr && !found->section.empty()) {
        s_.settings.SaveSetting(found->section, found->storedName, value);
    } else {
        s_.settings.SaveSetting(kProgramSetup, key, value);
    }
}

void SetupPreferences::CheckCameraBox(const std::string& key, std::string& text) {
    const CameraSettings defaults;
    const std::string wanted(Trim(text));
    int value = 0;
    const auto [end, error] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), value);
    const bool whole =
        !wanted.empty() && error == std::errc() && end == wanted.data() + wanted.size();
    const int fpsCamera = IndexAfter(key, "FPS");
    if (IndexAfter(key, "cmbProximNumber")) {
        text = whole && value >= 1 && value <= 4 ? wanted : " ";  // a sensor slot, or none
    } else if (fpsCamera) {
        text = whole && value >= 1 && value <= 30 ? wanted : defaults.FPS;
    } else {
        // Half a second to ten minutes of clip.
        text = whole && value >= 500 && value <= 600000 ? wanted : defaults.AutoDisconnectInterval;
    }
    Save(key, text);
    if (fpsCamera && cameraPictureChanged) {
        cameraPictureChanged(fpsCamera);
    }
}

void SetupPreferences::LeavePublishingBox(const std::string& key, std::string& text) {
    if (key == "MqttPassword") {
        s_.config.SavePassword(key, text);
    } else {
        const bool usable = key == "MqttPort" ? MqttPublisher::IsUsablePort(text)
                                              : MqttPublisher::IsUsableTopicPrefix(text);
        if (!usable) {
            text = s_.settings.GetSetting(kProgramSetup, key,
                                          key == "MqttPort" ? "1883" : "vigiltron");
            return;
        }
        Save(key, text);
    }
    if (publishingChanged) {
        publishingChanged();
    }
}

void SetupPreferences::Refresh() {
    SetupPreferencesView& v = s_.view.setupPreferences;
    const bool seconds = s_.prefs.MinOrSecs == "Sec";
    v.sliderMin = seconds ? 8 : 1;
    v.sliderMax = seconds ? kSecondsSliderMax : kMinutesSliderMax;
    v.sliderValue = int(std::clamp<long long>(WholeNumber(LeadingNumber(s_.prefs.ReadingInterval)),
                                              v.sliderMin, v.sliderMax));
    s_.view.Changed();
}

void SetupPreferences::Load() {
    // The publishing page tells where its password is kept, as the e-mail window does.
    s_.view.contactSetup.passwordStorage = s_.config.PasswordStorage();
    Refresh();
}

// ---- Intervals ----

bool SetupPreferences::cmdSet_Click() {
    Preferences& p = s_.prefs;
    SetupPreferencesView& v = s_.view.setupPreferences;
    const std::optional<double> binary = Numeric(p.BinaryInterval);
    if (!binary) {
        s_.dialogs.ShowMessage("This interval must be an integer");
        v.focus = Focus::BinaryInterval;
        Refresh();
        return false;
    }
    bool accepted = true;
    try {
        long long binaryMs = WholeNumber(*binary);
        p.ReadingInterval = PlainDecimal(LeadingNumber(p.ReadingInterval));
        const double interval = LeadingNumber(p.ReadingInterval);
        // Intervals no timer can keep: a negative one never fires, and a seconds period of a
        // minute or more is taken for minute mode by the polling tick and never reads.
        const bool tooLong = p.MinOrSecs == "Sec" && std::llround(interval * 850.0) >= 60000;
        if (binaryMs < 1 || binaryMs > kMaxBinaryInterval || interval < 0 || tooLong) {
            p.ReadingInterval = "30";
            p.BinaryInterval = "500";
            binaryMs = 500;
            accepted = false;
        }
        // Every polling timer; a blank or "0" interval becomes 30 minutes there.
        s_.link.ApplyReadingInterval();
        // Proximity sensors report by line-change events and have no timer of their own; the
        // water polls take the binary interval, and a running one starts its new period now.
        for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
            if (Timer* water = s_.lineState.WaterTimer(n)) {
                water->SetInterval(Milliseconds(binaryMs));
            }
        }
    } catch (const std::exception&) {
        p.ReadingInterval = "30";
        p.BinaryInterval = "500";
        accepted = false;
    }
    v.setEnabled = false;
    v.intervalBoxEnabled = false;
    Save("MinOrSecs", p.MinOrSecs == "Sec" ? "Sec" : "Min");
    Save("BinaryInterval", p.BinaryInterval);
    // The interval in force is the one kept: a repaired or rewritten one too.
    Save("ReadingInterval", p.ReadingInterval);
    Refresh();
    return accepted;
}

bool SetupPreferences::ChooseIntervalUnit(bool seconds) {
    Preferences& p = s_.prefs;
    SetupPreferencesView& v = s_.view.setupPreferences;
    p.MinOrSecs = seconds ? "Sec" : "Min";
    if (seconds) {
        const std::string stored =
            Trim(p.ReadingInterval).empty()
                ? s_.settings.GetSetting(kProgramSetup, "ReadingInterval", "15")
                : p.ReadingInterval;
        const double interval = LeadingNumber(stored);
        if (interval > 0 && interval < 8) {
            p.ReadingInterval = "8";
            v.focus = Focus::Slider;
        }
    }
    v.setEnabled = true;
    return cmdSet_Click();
}

void SetupPreferences::SliderScroll(int value) {
    s_.prefs.ReadingInterval = std::to_string(value);
    s_.view.setupPreferences.setEnabled = true;
    Refresh();
}

bool SetupPreferences::SliderChange(int value) {
    s_.prefs.ReadingInterval = std::to_string(value);
    Save("ReadingInterval", s_.prefs.ReadingInterval);
    return cmdSet_Click();
}

void SetupPreferences::BinaryIntervalClick() {
    s_.view.setupPreferences.setEnabled = true;
    s_.view.Changed();
}

void SetupPreferences::ReadingIntervalClick() {
    s_.view.setupPreferences.focus = Focus::Slider;
    s_.view.Changed();
}

// ---- Temperature unit ----

void SetupPreferences::ConvertThreshold(std::string& text, const char* key, bool toCelsius) {
    // An empty or non-numeric box has nothing to convert.
    if (!Numeric(text)) {
        return;
    }
    const float value = float(RoundingDP(LeadingNumber(text), 5));
    const float converted = toCelsius ? (value - 32.0f) * 5.0f / 9.0f : value * 9.0f / 5.0f + 32.0f;
    text = PlainDecimal(RoundingDP(double(converted), 1));
    Save(key, text);
}

void SetupPreferences::ChooseTemperatureUnit(bool celsius) {
    Preferences& p = s_.prefs;
    const std::string before = p.ForC.empty() ? "F" : p.ForC;
    p.ForC = celsius ? "C" : "F";
    if (s_.loading && s_.loading()) {
        Refresh();  // start-up shows the stored unit: nothing to convert or save
        return;
    }
    // Saved with the converted thresholds, so the stored values and their unit always agree.
    Save("ForC", p.ForC);
    if (p.ForC != before) {
        ConvertThreshold(p.TempMax, "TempMax", celsius);
        ConvertThreshold(p.TempMin, "TempMin", celsius);
        s_.link.ConvertHighLow(!celsius);
    }
    Refresh();
}

// ---- Boxes and switches ----

bool SetupPreferences::ChangeText(const std::string& key, const std::string& text) {
    const Key* found = Find(key);
    if (found == nullptr || found->text == nullptr || key == "ForC" || key == "MinOrSecs" ||
        key == "ProximityRunCommand" || key == "ProximityRunCommandApproach" ||
        key == "ProxEventCmbSubIndex99") {
        return false;  // options and lists, not boxes
    }
    *found->text = text;
    if (SavedOnChange(key)) {
        Save(key, text);
    }
    if (key == "BinaryInterval" || key == "ReadingInterval") {
        s_.view.setupPreferences.setEnabled = true;
    }
    Refresh();
    return true;
}

void SetupPreferences::LeaveBox(const std::string& key) {
    if (IsTemperatureOrHumidityThreshold(key)) {
        std::string& text = *Find(key)->text;
        if (!Numeric(text)) {
            text = ThresholdReset(key);
            Save(key, text);
        }
    } else if (const auto direction = DelayDirection(key)) {
        std::string& text = *Find(key)->text;
        text = s_.proximity.ValidateDelay(*direction, text);
    } else if (const char* stored = AlarmHandlingDefault(key)) {
        std::string& text = *Find(key)->text;
        if (FitsAlarmHandlingBox(key, text)) {
            Save(key, text);
        } else {
            text = s_.settings.GetSetting(kProgramSetup, key, stored);
        }
    } else if (CheckedOnLeave(key)) {
        LeavePublishingBox(key, *Find(key)->text);
    } else if (key.starts_with("Mqtt") && Find(key) != nullptr) {
        if (publishingChanged) {
            publishingChanged();
        }
    } else if (const Key* found = Find(key); found && found->text && !found->section.empty()) {
        CheckCameraBox(key, *found->text);
    }
    Refresh();
}

bool SetupPreferences::EmailRecipientMissing() const {
    const std::string_view address = Trim(s_.prefs.EmailAddress);
    return address.empty() || address == kExampleEmailAddress;
}

void SetupPreferences::FollowOnScreenAlerts() {
    Preferences& p = s_.prefs;
    bool any = false;
    for (int family : kAlertFamilies) {
        any = any || p.chkOnScreenAlert[family];
    }
    if (p.chkUseAlerts != any) {
        p.chkUseAlerts = any;
        Save("chkUseAlerts", OneZero(any));
    }
}

void SetupPreferences::CloseOpenLogFiles() {
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        const DeviceRecord* record = s_.model.Entry(n);
        if (record == nullptr || !record->fileLogging) {
            continue;
        }
        s_.logFiles.CloseFile(n);
        // A combined sensor's temperature file is kept under the next index.
        if (const int partner = s_.model.ComboPartnerOf(n)) {
            s_.logFiles.CloseFile(partner);
        }
    }
}

bool SetupPreferences::Tick(const std::string& key, bool ticked) {
    if (const int camera = IndexAfter(key, "chkSendToSummary")) {
        return sendToSummary && camera <= 4 ? sendToSummary(camera, ticked) == ticked : false;
    }
    const Key* found = Find(key);
    if (found == nullptr || found->flag == nullptr) {
        return false;
    }
    Preferences& p = s_.prefs;
    if (const auto action = ActionOfKey(key)) {
        // Options of one group: ticking one selects it; the selected one is left by choosing
        // another.
        if (ticked) {
            s_.proximity.ChooseAction(*action);
        }
        Refresh();
        return ticked || !*found->flag;
    }
    if (ticked && key == "chkOnScreenAlert1" &&
        (Trim(p.TempMax).empty() || Trim(p.TempMin).empty())) {
        s_.dialogs.ShowMessage("Please input a Max and Min temperature value first");
        return false;
    }
    if (ticked && key == "chkOnScreenAlert2" &&
        (Trim(p.HumidMax).empty() || Trim(p.HumidMin).empty())) {
        s_.dialogs.ShowMessage("Please input a Max and Min humidity value first");
        return false;
    }
    *found->flag = ticked;
    Save(key, OneZero(ticked));
    if (key.starts_with("chkOnScreenAlert")) {
        FollowOnScreenAlerts();
    } else if (ticked && (key.starts_with("chkEmailAlert") || key == "chkEmailOnProx") &&
               EmailRecipientMissing()) {
        // The switch stays on: it takes effect once the address is filled in.
        s_.dialogs.ShowMessage(
            "You must fill in the appropriate information before being able to send an Email "
            "Alert.");
    } else if (ticked && key == "CloseFileAfterWrite") {
        CloseOpenLogFiles();
    } else if (key.starts_with("Mqtt") && publishingChanged) {
        publishingChanged();
    }
    Refresh();
    return true;
}

bool SetupPreferences::SetLogging(int n, bool on, bool file) {
    DeviceRecord* record = s_.model.Entry(n);
    if (record == nullptr || record->deviceType.empty()) {
        return false;
    }
    // The halves of a combined sensor share their switches.
    const int lead = s_.model.LeadIndexOf(n);
    for (const int index : {lead, s_.model.ComboPartnerOf(lead)}) {
        DeviceRecord* entry = s_.model.Entry(index);
        if (entry == nullptr) {
            continue;
        }
        (file ? entry->fileLogging : entry->tabLogging) = on;
        s_.settings.SaveSetting(DeviceModel::DeviceSection(index),
                                file ? "FileLogging" : "TabLogging", OneZero(on));
    }
    if (file) {
        s_.logFiles.FileLoggingOptionChanged();
    }
    Refresh();
    return true;
}

bool SetupPreferences::SetTabLogging(int n, bool on) {
    return SetLogging(n, on, false);
}

bool SetupPreferences::SetFileLogging(int n, bool on) {
    return SetLogging(n, on, true);
}

bool SetupPreferences::CheckLogSize() {
    // A size below one kilobyte would start a new file for every line.
    const std::optional<double> size = Numeric(s_.prefs.MaxFileSize);
    if (size && *size >= 1) {
        return true;
    }
    s_.dialogs.ShowMessage("This value must be an integer");
    s_.prefs.MaxFileSize = "1000";
    Save("MaxFileSize", s_.prefs.MaxFileSize);
    s_.view.setupPreferences.focus = Focus::MaxFileSize;
    Refresh();
    return false;
}

void SetupPreferences::ChooseProximityAction(ProximityActions::Action action) {
    s_.proximity.ChooseAction(action);
    Refresh();
}

void SetupPreferences::BrowseProximityCommand(ProximityActions::Direction direction) {
    s_.proximity.BrowseCommand(direction);
    if (s_.proximity.okButtonFocusRequested) {
        s_.proximity.okButtonFocusRequested = false;
        s_.view.setupPreferences.focus = Focus::ProximityOk;
    }
    Refresh();
}

// ---- OK ----

bool SetupPreferences::cmdOK_Click() {
    bool saved = false;
    try {
        saved = s_.config.SavePrefsRegistry(s_.prefs);
        s_.config.SaveProxSections(s_.prefs);
    } catch (const std::exception&) {
        saved = false;
    }
    if (!saved) {
        s_.dialogs.ShowMessage("Error in cmdOK_Click: the preferences could not be saved.");
    }
    const bool sizeAccepted = CheckLogSize();
    return saved && sizeAccepted;
}

// ---- Command line ----

bool SetupPreferences::Refuse(const std::string& key, const std::string& value) {
    s_.dialogs.ShowMessage("Invalid value for " + key + ": \"" + value + "\"");
    Refresh();
    return false;
}

bool SetupPreferences::SetPreference(const std::string& key, const std::string& value) {
    try {
        for (const bool file : {false, true}) {
            if (const int n = IndexAfter(key, file ? "FileLogging" : "TabLogging")) {
                const std::optional<bool> on = SwitchValue(value);
                if (!on || !SetLogging(n, *on, file)) {
                    return Refuse(key, value);
                }
                return true;
            }
        }
        if (IndexAfter(key, "chkSendToSummary")) {
            const std::optional<bool> ticked = SwitchValue(value);
            return ticked && Tick(key, *ticked);  // a refusal has said why
        }
        const Key* found = Find(key);
        if (found == nullptr) {
            s_.dialogs.ShowMessage("Unknown setting: " + key);
            return false;
        }
        if (found->flag != nullptr) {
            const std::optional<bool> ticked = SwitchValue(value);
            if (!ticked) {
                return Refuse(key, value);
            }
            const bool refusedWithMessage =
                *ticked && (key == "chkOnScreenAlert1" || key == "chkOnScreenAlert2");
            if (!Tick(key, *ticked)) {
                // The on-screen alarms say why themselves.
                return refusedWithMessage ? false : Refuse(key, value);
            }
            return true;
        }
        std::string& text = *found->text;
        const std::string wanted(Trim(value));
        if (key == "ForC") {
            if (wanted != "C" && wanted != "F" && wanted != "Celsius" && wanted != "Fahrenheit") {
                return Refuse(key, value);
            }
            ChooseTemperatureUnit(wanted[0] == 'C');
            return true;
        }
        if (key == "MinOrSecs") {
            if (wanted != "Min" && wanted != "Sec" && wanted != "Minute(s)" &&
                wanted != "Seconds") {
                return Refuse(key, value);
            }
            return ChooseIntervalUnit(wanted[0] == 'S') || Refuse(key, value);
        }
        if (key == "ReadingInterval") {
            // The window's slider cannot reach 0; the message is the one connecting would show.
            if (WholeNumber(LeadingNumber(value)) == 0) {
                s_.dialogs.ShowMessage("Reading Interval cannot be 0!", MessageIcon::None, true);
                return false;
            }
            text = value;
            return cmdSet_Click() || Refuse(key, value);
        }
        if (key == "BinaryInterval") {
            const std::string before = text;
            text = value;
            if (!Numeric(value)) {
                cmdSet_Click();  // says "This interval must be an integer"
                text = before;
                Refresh();
                return false;
            }
            return cmdSet_Click() || Refuse(key, value);
        }
        if (key == "ProximityRunCommand" || key == "ProximityRunCommandApproach") {
            s_.proximity.SetCommand(key == "ProximityRunCommand" ? ProximityActions::kWalkAway
                                                                 : ProximityActions::kWalkUp,
                                    value);
            Refresh();
            return true;
        }
        if (key == "ProxEventCmbSubIndex99") {
            const std::optional<double> slot = Numeric(value);
            if (!slot || *slot != std::floor(*slot) || *slot < 1 || *slot > 4) {
                return Refuse(key, value);
            }
            s_.proximity.SelectLogOffSensor(int(*slot));
            Refresh();
            return true;
        }
        if (key == "MaxFileSize") {
            ChangeText(key, value);
            return CheckLogSize();  // says "This value must be an integer" itself
        }
        if (const auto direction = DelayDirection(key)) {
            ChangeText(key, value);
            LeaveBox(key);
            if (text == wanted) {
                return true;
            }
            // An out-of-range number with a command set has had the window's message.
            const std::optional<double> seconds = Numeric(value);
            const bool told = seconds && (*seconds < 1 || *seconds > 60) &&
                              (*direction == ProximityActions::kWalkAway
                                   ? s_.prefs.ProximityRunCommand
                                   : s_.prefs.ProximityRunCommandApproach) != "Path not set";
            return told ? false : Refuse(key, value);
        }
        ChangeText(key, value);
        LeaveBox(key);
        return text == value || Refuse(key, value);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage("Error in SetPreference " + key + ": " + failure.what());
        return false;
    }
}

std::vector<std::pair<std::string, std::string>> SetupPreferences::PreferencesInForce() const {
    std::vector<std::pair<std::string, std::string>> list;
    for (const Key& key : keys_) {
        list.emplace_back(key.name, key.text ? *key.text : OneZero(*key.flag));
    }
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        const DeviceRecord* record = s_.model.Entry(n);
        if (record == nullptr || record->deviceType.empty()) {
            continue;
        }
        list.emplace_back("TabLogging" + std::to_string(n), OneZero(record->tabLogging));
        list.emplace_back("FileLogging" + std::to_string(n), OneZero(record->fileLogging));
    }
    return list;
}

}  // namespace vigiltron
