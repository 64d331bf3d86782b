#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/DeviceKind.h"

namespace vigiltron {

class ConfigStore;
class DeviceModel;
class Dialogs;
class Journal;
class ProximityActions;
class SensorConnections;
class SettingsTree;
class ViewModel;
struct Preferences;

// A device to add: what the add window holds, or what a scan line or a serial-number lookup hands
// over.
struct DeviceRequest {
    std::string type;  // one of DeviceSetup::TypeList()
    std::string name;
    int port = 0;                     // COM number; unused for cameras
    bool startInBump = false;         // accelerometer
    bool calibrateOnConnect = false;  // accelerometer
    bool startInProx = false;         // distance
    // Cameras: the capture device chosen (empty: none available) and its identity.
    std::string driverName;
    int camDriverIndex = -1;
    std::string usedByDriver;
};

// Adding, renaming, moving and deleting devices of the setup: the add window's rules, the stored
// records in the settings tree and the preferences file, the device counts, and what the tabs,
// the Summary and the setup window show. Adding never connects.
class DeviceSetup {
public:
    struct Services {
        DeviceModel& model;
        ViewModel& view;
        Dialogs& dialogs;
        Journal& journal;
        SettingsTree& settings;
        ConfigStore& config;
        Preferences& prefs;
        SensorConnections& link;
        ProximityActions& proximity;
    };

    // COM numbers a device may use (the classic control's limit).
    static constexpr int kMaxComNumber = 256;

    explicit DeviceSetup(Services services);

    // The add window's device types, in the order it lists them.
    static const std::vector<std::string>& TypeList();
    // The name a new device of `type` gets when it takes setup index n: "Vigiltron/T03",
    // "Vigiltron/TH03" for a combined sensor, "Vigiltron/V 003" for a camera. Empty for other
    // texts.
    static std::string DefaultName(const std::string& type, int n);

    // Opens the add window: the type list, the stored camera count raised to at least 1 and,
    // outside start-up, the question whether to detect the devices. True when the user wants the
    // port scan run now.
    bool OpenAddWindow(bool duringStartup);
    // A type chosen in the add window: its target setup index, default name, port chooser and
    // options. False (and the choice cleared) when it is refused.
    bool SelectType(const std::string& type);
    // The add window's OK: adds what the window holds.
    bool AddFromWindow();
    // Adds a device at the first free setup index (a combined sensor at the first free pair) and
    // on the first free slot of its tab, stores it in both stores and shows it. False, after a
    // message, when it is refused; nothing is stored then.
    bool AddDevice(const DeviceRequest& request);

    // "Please enter a new device name": asks, then renames. False when cancelled or refused.
    bool RenameDevice(int n);
    // Saves the new name of entry n (both halves of a combined sensor) and shows it on the tab,
    // the Summary and the setup window.
    bool RenameDevice(int n, const std::string& name);
    // A double click on the entry's device type: shows or hides its COM number box (sensors only;
    // a combined sensor's box belongs to its lead).
    void ToggleComBox(int n);
    // Moves sensor entry n to COM `comNumber` (saved as its `Port`). Refused for cameras, for a
    // connected sensor, for a number outside 1..256 and for a port another entry uses.
    bool MoveDevice(int n, int comNumber);
    // The setup window's delete command: releases the entry's slot(s), hides it everywhere, lowers
    // the stored counts and deletes its stored record(s). A connected device is refused (it must
    // be disconnected first). False when there is nothing to delete or it was refused.
    bool DeleteDevice(int n);

    // Fills the setup window's device rows from the setup array (after the configuration loads).
    void ShowEntryRows();

    // The entry (other than `except` and its combined partner) whose sensor uses COM
    // `comNumber`; 0 when none.
    int EntryUsingPort(int comNumber, int except = 0) const;

    // The camera rules: the add window's capture-device list, the identity of a device in it
    // (empty: not a device), and a camera entry that was added, renamed or deleted.
    std::function<std::vector<std::string>()> cameraDriverList;
    std::function<std::string(int driverIndex)> cameraDriverIdentity;
    std::function<void()> camerasChanged;

private:
    bool CheckRequest(const DeviceRequest& request, DeviceKind kind);
    // The setup index for a new device, or 11 after telling the user why there is none.
    int FindTarget(bool isCombo);
    void TickEmailAlert(DeviceKind kind);
    // Writes entry n's record to the settings tree and the preferences file; false when the
    // file's copy failed (the user has been told).
    bool StoreRecord(int n);
    void ShowAdded(int n, int partner);
    void HideDeleted(int n, int partner, DeviceKind kind);
    void SaveTotalDevices(int change, bool reportFileError);
    void SaveTotalCameras();
    int EntryOfType(const std::string& type) const;
    void ShowEntryRow(int n);
    int HighestIndexInUse() const;

    Services s_;
};

}  // namespace vigiltron
