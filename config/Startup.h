#pragma once

#include <functional>
#include <string>

#include "config/Preferences.h"

namespace vigiltron {

class ConfigStore;
class DeviceModel;
class Dialogs;
class Journal;
class SensorConnections;
class SettingsTree;
class SystemActions;
class ViewModel;

// The switches of the command line that start-up acts on.
struct StartupSwitches {
    bool autoDetect = false;
    bool regClean = false;
    bool noCams = false;
    bool minimize = false;
    bool vtService = false;
    bool service = false;
};

// The program's entry and exit: the ordered start-up, the unattended modes, placing the program
// in the start-up list, the settings clean-out, saving the preferences file, and the exit.
class Startup {
public:
    struct Services {
        Dialogs& dialogs;
        Journal& journal;
        SettingsTree& settings;
        ConfigStore& config;
        DeviceModel& model;
        ViewModel& view;
        SensorConnections& link;
        SystemActions& system;
        Preferences& prefs;
        // The writable application folder (logs, captures).
        std::string applicationFolder;
        // Applies the preferences to the parts that keep their own copy (polling, logging).
        std::function<void()> preferencesChanged;
    };

    explicit Startup(Services services);

    // Runs the start-up sequence. False when it stopped on an error.
    bool Run(const StartupSwitches& switches);
    // Loads the preferences and the device list as Run does for these switches, but connects
    // nothing, asks nothing and leaves the windows alone: for the commands that change or show
    // the configuration. False when the device list could not be loaded (the user was told).
    bool LoadWithoutConnecting(const StartupSwitches& switches);

    bool Loading() const { return loading_; }
    bool StartedWithSystem() const { return startedWithSystem_; }
    bool AutoDetectRequested() const { return autoDetect_; }
    bool AutoLogoutMode() const { return autoLogout_; }

    // "Place in System Startup" ticked or unticked.
    void PlaceInSystemStartup(bool ticked);
    // The "remove from start-up" menu entry.
    void RemoveFromStartup();
    // The settings clean-out menu entry (visible with "/regclean").
    void RegistryCleanOut();
    // "Save Preferences to file".
    void SavePreferencesToFile();
    // The exit command: asks, and on Yes marks the program for closing.
    bool ConfirmExit();
    // The main window closing: releases what the program holds.
    void ShutDown();

    // Hooks for parts that come with their own features.
    std::function<void(bool noCams)> startCameras;
    std::function<void()> startDeviceScan;
    // Moves the program to the tray (unattended starts); without it only the placement is set.
    std::function<void()> moveToTray;
    std::function<void()> startRemoteMonitoring;
    std::function<void()> releaseCameras;
    // Publishing to the MQTT broker: started once the preferences are loaded (before the
    // sensors connect, so their first readings are kept), stopped at shut-down.
    std::function<void()> startPublishing;
    std::function<void()> stopPublishing;

private:
    void EnterAutoLogoutMode();
    void LoadFirstPreferences();
    // The preferences from the settings tree, or from the preferences file with "/vtservice";
    // answers the device count of the same store.
    std::string LoadPreferences(bool vtService);
    void ShowLoadedDevices();
    void MoveToTray();
    void ConnectEverything();

    Services s_;
    bool loading_ = false;
    bool startedWithSystem_ = false;
    bool autoDetect_ = false;
    bool autoLogout_ = false;
    std::string startupMarker_;
};

// The placeholder shown in an empty recipient field, so users see the expected form.
inline constexpr const char* kExampleEmailAddress = "name@example.com";

}  // namespace vigiltron
