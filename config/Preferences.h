#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vigiltron {

// The suffixes of the per-family alert switches ("chkOnScreenAlert1", ...): the kind codes of
// temperature, humidity, water, accelerometer and distance, and 0 for bump events.
inline constexpr std::array<int, 6> kAlertFamilies = {1, 2, 6, 8, 9, 0};

// Camera coupling of camera number 1..4 ("Program Setup\Prox1" .. "Prox4"): "Monitor Only"
// (the camera shows its picture and never captures), "Proximity Activated" with the slot number
// of the proximity or distance sensor it follows, and "Snap picture" on that sensor's events.
struct ProxSlotSettings {
    bool chkCamMon = false;
    bool chkCamUseProx = false;
    bool chkProxSnapCam = false;
    std::string cmbProximNumber = " ";

    friend bool operator==(const ProxSlotSettings&, const ProxSlotSettings&) = default;
};

// How camera number 1..4 records ("Program Setup\Camera1" .. "Camera4").
struct CameraSettings {
    bool CaptureToAVI = false;    // "Capture to AVI": a clip on a proximity event
    bool AutoDisconnect = false;  // "Auto Disconnect": the clip lasts AutoDisconnectInterval
    std::string AutoDisconnectInterval = "4000";  // milliseconds
    std::string FPS = "10";                       // "FPS:" pictures per second, 1..30
    std::string Resolution = "640x480";           // "Resolution Change": the live picture's size

    friend bool operator==(const CameraSettings&, const CameraSettings&) = default;
};

inline std::string CameraSection(int camera) {
    return "Program Setup\\Camera" + std::to_string(camera);
}

// The program-wide preferences as the setup window holds them. Field names are the stored key
// names; texts stay as entered, check boxes and option buttons are booleans. The member defaults
// are what start-up uses when the settings tree holds nothing; the log directory depends on the
// application folder, so use Defaults() for a complete set.
struct Preferences {
    // ---- "Program Setup" ----
    std::string SavedState = "Error";  // "1" when placed in the system start-up list
    bool AutoConnect = false;
    std::string TotalDevices = "0";
    std::string TotalCameras;
    std::string ForC;  // "F", "C", or empty: no unit selected

    // Thresholds, as entered. A first run (no stored TempMax) shows 80/40 and 70/20.
    std::string TempMax = "80";
    std::string TempMin = "40";
    std::string HumidMax = "70";
    std::string HumidMin = "20";
    std::string XMaxThresh = "1";
    std::string XMinThresh = "-1";
    std::string YMaxThresh = "1";
    std::string YMinThresh = "-1";
    bool CheckRange = true;
    std::string MaxDistanceThresh = "100";
    std::string MinDistanceThresh = "30";
    // Deadbands: a reading that raised an alarm past a limit is back to normal only once it is
    // this far inside the limit again ("0": at the limit itself).
    std::string TempHysteresis = "0";
    std::string HumidHysteresis = "0";
    std::string TiltHysteresis = "0";
    std::string DistanceHysteresis = "0";

    std::string ReadingInterval = "30";
    std::string MinOrSecs = "Min";  // "Min" or "Sec"
    std::string BinaryInterval = "500";

    // Logging.
    std::string PrefaceFiles = "_";
    std::string logdir;  // application folder + "/logfiles"
    std::string MaxFileSize = "1000";
    std::string HDDTotalAmount = "10000";
    bool CloseFileAfterWrite = false;

    // Alerts. The per-family arrays are indexed by the key's suffix (see kAlertFamilies).
    bool chkLocalMonitoring = false;  // "Disable All Alerts"
    bool chkUseAlerts = false;        // "Local Audible Alert"
    bool chkAlwaysSendAlert = false;
    std::array<bool, 10> chkOnScreenAlert{};
    std::array<bool, 10> chkEmailAlert{};
    std::array<bool, 10> chkPageAlert{};
    bool chkEmailOnProx = false;
    bool chkPageOnProx = false;
    bool chkOnScreenOnProx = false;  // "chkOnScreenProx" in the settings tree
    // The shortest time, in seconds, between two e-mail or page alarms of one sensor and kind
    // (repeats in between are held back and counted); "0" holds nothing back.
    std::string AlertRepeatSeconds = "60";
    // Escalation: an alarm nobody acknowledged within this many minutes goes again to the
    // second recipient and the second pager number ("0": never).
    std::string EscalateAfter = "0";
    std::string EscalationEmail;
    std::string EscalationNumToCall = " ";

    // E-mail.
    bool optUseSMTP = true;  // true: SMTP; false: MAPI (the system's mail client)
    std::string EmailAddress;
    std::string CCEmailAddress;
    bool IncludeTimeDate = true;
    bool IncludeReading = true;
    bool IncludeName = true;
    bool IncludeInSubject = true;
    std::string SMTPHostServer;
    std::string SMTPUserName;
    std::string SMTPUserPassword;
    std::string SMTPFromEmailAddress;
    bool chkAuthenticationReq = false;
    // A private certificate authority the SMTP server's certificate is checked against; empty:
    // the system's trusted authorities.
    std::string SMTPCAFile;
    // How long, in seconds, each step of sending a mail may take before it is given up.
    std::string SMTPTimeoutSeconds = "30";

    // Pager.
    std::string NumToCall = " ";
    std::string NumToSend = " ";
    std::string NumToSendPhone = " ";
    bool optionNumeric = false;
    bool optionPhone = false;
    std::string IndexForModem = "1";
    std::string ModemInitString;

    // Proximity actions: at most one of the four options is selected.
    bool optSysCommandDisabled = false;
    bool optLogoutOnProximity = false;
    bool optSystemLock = false;
    bool optRunCommand = false;
    std::string ProximityRunCommand = "Path not set";
    std::string ProximityRunCommandApproach = "Path not set";
    std::string DelayEventAway = "0";
    std::string DelayEventUp = "0";
    std::string ProxEventCmbSubIndex99 = "1";
    std::string ProxEventCmbSubIndex98 = "1";

    // Cameras and start-up.
    bool chkProximSnapCam = false;
    std::string cmbProximNumber;
    bool chkPlaceInStartup = false;
    bool chkSendToSummary = false;
    // Kept in the preferences file only.
    bool AutoConnectPrefs = false;

    // Publishing to an MQTT broker: readings, events, alarms and the sensors' availability, with
    // Home Assistant discovery. The password is kept like the other passwords.
    bool MqttEnabled = false;
    std::string MqttServer;
    std::string MqttPort = "1883";
    bool MqttTls = false;  // the server's certificate is always verified
    // A private certificate authority the broker's certificate is checked against; empty: the
    // system's trusted authorities.
    std::string MqttCAFile;
    std::string MqttUser;
    std::string MqttPassword;
    // The first level of every topic; never empty, no wildcards, no leading or trailing '/'.
    std::string MqttTopicPrefix = "vigiltron";
    bool MqttDiscovery = true;

    // ---- "Program Setup\Internet Setup" ----
    std::string ServerName;
    std::string UserName;
    std::string RemoteDirectory;
    std::string pw;
    std::string InternetInterval = "10";
    bool SeeMessages = false;
    bool optStayConnected = false;
    bool optConnectBeforeSend = false;
    std::string txtTitleForUpdatePage = "Location#1";
    std::string txtXMLDirectory = "C:\\";
    bool UseDirectory = false;
    bool AutoStartIUE = false;

    // ---- "Program Setup\Prox1" .. "Prox4", indexed 1..4 (0 unused) ----
    std::array<ProxSlotSettings, 5> prox{};
    // ---- "Program Setup\Camera1" .. "Camera4", indexed 1..4 (0 unused) ----
    std::array<CameraSettings, 5> cameras{};

    // Start-up defaults, with the log directory below `applicationFolder`.
    static Preferences Defaults(const std::string& applicationFolder);

    friend bool operator==(const Preferences&, const Preferences&) = default;
};

// The usual Boolean conversion of stored texts: "True"/"False" in any letter case, or a number
// (non-zero is true). Anything else, the empty text included, gives `fallback`.
bool ToBoolean(std::string_view text, bool fallback = false);
// "1"/"0", the form of check boxes and most switches.
inline std::string OneZero(bool value) {
    return value ? "1" : "0";
}
// "True"/"False", the form of a few option buttons.
inline std::string TrueFalse(bool value) {
    return value ? "True" : "False";
}

// The log directory used when none is stored.
std::string DefaultLogDirectory(const std::string& applicationFolder);

}  // namespace vigiltron
