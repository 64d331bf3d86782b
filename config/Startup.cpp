#include "config/Startup.h"

#include <cmath>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "config/ConfigStore.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/Journal.h"
#include "core/SensorConnections.h"
#include "core/SettingsTree.h"
#include "core/SystemActions.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace fs = std::filesystem;

namespace {
constexpr const char* kProgramSetup = "Program Setup";
}  // namespace

Startup::Startup(Services services) : s_(std::move(services)) {}

bool Startup::Run(const StartupSwitches& switches) {
    ViewModel& view = s_.view;
    try {
        view.mainTitle = "Vigiltron Manager";
        if (s_.config.ReadMachineValue("Autologout") == "1") {
            EnterAutoLogoutMode();
            return true;
        }
        startupMarker_ = "1";
        s_.prefs.MaxFileSize = "1000";

        const std::string savedState = s_.settings.GetSetting(kProgramSetup, "SavedState", "Error");
        startedWithSystem_ = savedState == "1";
        view.removeFromStartupVisible = startedWithSystem_;
        view.placedInStartup =
            s_.settings.GetSetting(kProgramSetup, "chkPlaceInStartup", "0") == "1";
        if (startedWithSystem_) {
            s_.prefs.AutoConnect = true;
            s_.settings.SaveSetting(kProgramSetup, "AutoConnect", "1");
        }
        loading_ = true;

        // The writable folders the program relies on.
        s_.prefs.logdir = DefaultLogDirectory(s_.applicationFolder);
        std::error_code ec;
        fs::create_directories(s_.prefs.logdir, ec);
        fs::create_directories(fs::path(s_.applicationFolder) / "capturefiles", ec);

        autoDetect_ = switches.autoDetect;
        view.regCleanMenuVisible = switches.regClean;
        if (startCameras) {
            startCameras(switches.noCams);
        }
        view.mainWindowPlacement = switches.minimize ? ViewModel::WindowPlacement::Minimised
                                                     : ViewModel::WindowPlacement::Centred;

        s_.model.ClearDeviceTables();
        for (int n = 1; n <= 10; ++n) {
            view.Commands(n).connectEnabled = false;
            view.Row(n).visible = false;
        }
        LoadFirstPreferences();
    } catch (const std::exception&) {
        s_.config.AddJournalEntry(":010", "FormLoadError");
        loading_ = false;
        return false;
    }

    try {
        const std::string deviceCount = LoadPreferences(switches.vtService);
        if (s_.preferencesChanged) {
            s_.preferencesChanged();
        }
        // Every entry's polling period follows the stored interval from the start.
        s_.link.ApplyReadingInterval();
        if (startPublishing) {
            startPublishing();
        }

        if (deviceCount != "0") {
            if (switches.service) {
                s_.config.LoadConfig(true, deviceCount, s_.prefs);
                ShowLoadedDevices();
                s_.prefs.AutoConnect = true;
                MoveToTray();
                ConnectEverything();
            } else {
                s_.config.LoadConfig(false, "", s_.prefs);
                ShowLoadedDevices();
                startupMarker_ = "0";
                s_.prefs.AutoConnect =
                    s_.settings.GetSetting(kProgramSetup, "AutoConnect", "0") == "1";
                if (s_.prefs.AutoConnect) {
                    ConnectEverything();
                    if (startedWithSystem_) {
                        MoveToTray();
                        view.mainWindowHidden = true;
                    }
                }
            }
            if (s_.settings.GetSetting("Program Setup\\Internet Setup", "AutoStartIUE", "0") ==
                "1") {
                if (s_.dialogs.AskYesNo("Do you wish to start Remote Monitoring?",
                                        "Remote Monitoring") &&
                    startRemoteMonitoring) {
                    startRemoteMonitoring();
                }
            }
            loading_ = false;
        } else {
            view.setupFirstRun = true;
            s_.link.ApplyReadingInterval();
            loading_ = false;
            const bool yes = s_.dialogs.AskYesNo(
                "Would you like to auto detect and set up your devices now?\n"
                "     (VigiltronV and VigiltronV2 camera devices cannot be detected.)",
                "Vigiltron Manager");
            if (yes && startDeviceScan) {
                startDeviceScan();
            }
        }
    } catch (const std::exception&) {
        s_.config.AddJournalEntry(":020", "AutoOpenPrefError");
        view.setupWindowVisible = true;
        loading_ = false;
    }
    view.Changed();
    return true;
}

std::string Startup::LoadPreferences(bool vtService) {
    s_.config.SetPrefsFileName(ConfigStore::kDefaultPrefsFile);
    std::string deviceCount;
    if (vtService) {
        s_.config.UsePrefsFileFromMachine();
        s_.config.LoadPrefsINI(s_.prefs);
        deviceCount = s_.config.ReadPrefsFileValue("Device Setup", "TotalDevices", "00");
    } else {
        s_.config.LoadPrefsRegistry(s_.prefs);
        deviceCount = s_.settings.GetSetting(kProgramSetup, "TotalDevices", "0");
    }
    // The log directory is a per-user preference; keep it unless none is stored.
    if (s_.prefs.logdir.empty()) {
        s_.prefs.logdir = DefaultLogDirectory(s_.applicationFolder);
    }
    return deviceCount;
}

bool Startup::LoadWithoutConnecting(const StartupSwitches& switches) {
    try {
        s_.model.ClearDeviceTables();
        LoadFirstPreferences();
        const std::string deviceCount = LoadPreferences(switches.vtService);
        if (deviceCount == "0") {
            return true;  // nothing configured yet
        }
        return switches.service ? s_.config.LoadConfig(true, deviceCount, s_.prefs)
                                : s_.config.LoadConfig(false, "", s_.prefs);
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("There was an error in cmdLoadConfig");
        return false;
    }
}

void Startup::LoadFirstPreferences() {
    Preferences& prefs = s_.prefs;
    const std::string tempMax = s_.settings.GetSetting(kProgramSetup, "TempMax");
    if (!tempMax.empty()) {
        prefs.EmailAddress = s_.settings.GetSetting(kProgramSetup, "EmailAddress");
        prefs.CCEmailAddress = s_.settings.GetSetting(kProgramSetup, "CCEmailAddress");
        prefs.optUseSMTP = s_.settings.GetSetting(kProgramSetup, "optUseSMTP", "1") != "0";
        prefs.TempMax = tempMax;
        prefs.TempMin = s_.settings.GetSetting(kProgramSetup, "TempMin");
        prefs.HumidMax = s_.settings.GetSetting(kProgramSetup, "HumidMax");
        prefs.HumidMin = s_.settings.GetSetting(kProgramSetup, "HumidMin");
    } else {
        prefs.TempMax = "80";
        prefs.TempMin = "40";
        prefs.HumidMax = "70";
        prefs.HumidMin = "20";
    }
    prefs.NumToCall = s_.settings.GetSetting(kProgramSetup, "NumToCall", " ");
    const std::string unit = s_.settings.GetSetting(kProgramSetup, "ForC");
    if (unit == "C" || unit == "F") {
        prefs.ForC = unit;
    }
}

void Startup::ShowLoadedDevices() {
    for (int n = 1; n <= 10; ++n) {
        const DeviceRecord* record = s_.model.Entry(n);
        if (!record || record->kind == DeviceKind::Empty) {
            continue;
        }
        s_.link.ShowOnTab(n);
        EntryCommands& commands = s_.view.Commands(n);
        // The temperature half of a combined sensor has no connect command of its own.
        commands.connectVisible = !s_.model.IsComboTemperatureHalf(n);
        commands.connectEnabled = commands.connectVisible;
        commands.connectCaption = "Connect";
        s_.view.Row(n).name = record->deviceName;
        s_.view.Row(n).visible = true;
    }
    s_.view.Changed();
}

void Startup::MoveToTray() {
    s_.view.mainWindowPlacement = ViewModel::WindowPlacement::Tray;
    if (moveToTray) {
        moveToTray();
    }
}

void Startup::ConnectEverything() {
    s_.view.setupWindowVisible = true;
    s_.link.cmdConnectAll_Click();
    s_.view.setupWindowVisible = false;
}

void Startup::EnterAutoLogoutMode() {
    autoLogout_ = true;
    ViewModel& view = s_.view;
    s_.prefs.AutoConnect = true;
    MoveToTray();
    view.mainWindowHidden = true;

    s_.model.ClearDeviceTables();
    s_.model.ClearEntries();
    DeviceRecord record;
    record.deviceType = kTypeDistance;
    record.deviceName = "Vigiltron/D";
    record.port = int(std::strtol(s_.config.ReadMachineValue("Port").c_str(), nullptr, 10));
    record.subIndex = "1";
    record.startInProx = true;
    s_.model.SetEntry(1, record);
    s_.prefs.BinaryInterval = std::to_string(
        std::lround(std::strtod(s_.config.ReadMachineValue("BinaryInterval").c_str(), nullptr)));
    const std::string forceLogOff = s_.config.ReadMachineValue("ForceLogOff");
    if (forceLogOff == "1") {
        s_.prefs.optLogoutOnProximity = true;
    } else if (forceLogOff == "0") {
        s_.prefs.optLogoutOnProximity = false;
    }
    s_.model.CreateSetupArray();
    s_.model.TakeSlot(1);
    for (Tab tab : kAllTabs) {
        view.TabAt(tab).visible = tab == Tab::Distance;
    }
    if (s_.preferencesChanged) {
        s_.preferencesChanged();
    }
    ShowLoadedDevices();
    ConnectEverything();
}

void Startup::PlaceInSystemStartup(bool ticked) {
    // The box shows, and the settings keep, where the program really is: a failed change leaves
    // it as it was and says why.
    std::string error;
    bool placed = ticked;
    if (ticked) {
        if (s_.system.PlaceInStartup(error)) {
            s_.settings.SaveSetting(kProgramSetup, "SavedState", "1");
        } else {
            placed = false;
            s_.dialogs.ShowMessage("The program could not be placed in the system start-up: " +
                                   error);
        }
    } else if (s_.system.RemoveFromStartup(error)) {
        s_.settings.SaveSetting(kProgramSetup, "SavedState", "0");
    } else {
        placed = s_.system.IsPlacedInStartup();
        s_.dialogs.ShowMessage("Error removing from registry. " + error);
    }
    s_.prefs.chkPlaceInStartup = placed;
    s_.settings.SaveSetting(kProgramSetup, "chkPlaceInStartup", placed ? "1" : "0");
    s_.view.placedInStartup = placed;
    s_.view.removeFromStartupVisible = placed;
    s_.view.Changed();
}

void Startup::RemoveFromStartup() {
    std::string error;
    if (!s_.system.RemoveFromStartup(error)) {
        s_.dialogs.ShowMessage("Error removing from registry.");
        return;
    }
    s_.prefs.AutoConnect = false;
    s_.settings.SaveSetting(kProgramSetup, "SavedState", "0");
    s_.prefs.chkPlaceInStartup = false;
    s_.settings.SaveSetting(kProgramSetup, "chkPlaceInStartup", "0");
    s_.view.placedInStartup = false;
    s_.view.removeFromStartupVisible = false;
    s_.view.Changed();
}

void Startup::RegistryCleanOut() {
    s_.config.RegistryCleanOut();
}

void Startup::SavePreferencesToFile() {
    s_.config.SavePreferencesToFile(s_.prefs);
}

bool Startup::ConfirmExit() {
    if (!s_.dialogs.AskYesNo("Are you sure you want to exit?", "Vigiltron Manager Exit")) {
        return false;
    }
    s_.view.exitRequested = true;
    s_.view.Changed();
    return true;
}

void Startup::ShutDown() {
    if (releaseCameras) {
        releaseCameras();
    }
    for (int n = 1; n <= 10; ++n) {
        const DeviceRecord* record = s_.model.Entry(n);
        if (record && record->IsConnected()) {
            s_.link.cmdDisconnectSensor_Click(n);
        }
    }
    s_.link.CloseAllPorts();
    // After the sensors, so their going off is published before "offline".
    if (stopPublishing) {
        stopPublishing();
    }
    s_.journal.Record("status", "shut down");
}

}  // namespace vigiltron
