#pragma once

#include <array>
#include <string>

#include "core/DeviceKind.h"
#include "core/SlotTable.h"

namespace vigiltron {

class Dialogs;
class SettingsTree;

// One configured device: what its stored record holds plus the connection state that is not
// stored. Polling state lives with the poller, keyed by the same setup index.
struct DeviceRecord {
    std::string deviceType;  // one of the kType... texts; empty for an unused entry
    DeviceKind kind = DeviceKind::Empty;
    // Slot 1..4 on the kind's tab, the camera number, or for a combined sensor two digits
    // (Temperature slot, then Humidity slot); "0" while unused.
    std::string subIndex = "0";
    std::string deviceName;
    int port = 0;  // COM port number; 0 = none (cameras)
    bool tabLogging = false;
    bool fileLogging = false;
    bool startInBump = false;         // accelerometer
    bool startInProx = false;         // distance
    bool calibrateOnConnect = false;  // accelerometer
    std::string proxSens;             // "1".."9" as entered, or empty
    // Cameras only.
    std::string driverName;
    int camDriverIndex = 99;  // 99 = no driver
    std::string usedByDriver;
    bool monitorOnly = false;
    bool sendToSummary = false;

    // Not stored.
    DeviceKind connectedKind = DeviceKind::Empty;  // Empty while not connected
    bool bumpMode = false;                         // accelerometer in bump (event) mode
    bool proximityMode = false;                    // distance sensor in proximity (event) mode

    bool IsConnected() const { return connectedKind != DeviceKind::Empty; }
};

// The ten setup entries with the slot tables of the six sensor tabs and the camera tables.
// Setup indexes run 1..10; every operation ignores any other index instead of failing.
class DeviceModel {
public:
    static constexpr int kFirstIndex = 1;
    static constexpr int kLastIndex = 10;
    // What FindFirstAvailable answers when no entry can be used.
    static constexpr int kNoFreeIndex = 11;
    static constexpr int kCameraNumbers = 4;
    // Value of a free camera number, and of an empty proximity-camera link.
    static constexpr int kCameraFree = 99;

    DeviceModel(Dialogs& dialogs, SettingsTree& settings);

    static bool IsValidIndex(int n) { return n >= kFirstIndex && n <= kLastIndex; }
    // "PortConfig\Devices\" followed by the setup index: where entry n is stored.
    static std::string DeviceSection(int n);

    // Entry n, or nullptr outside 1..10.
    const DeviceRecord* Entry(int n) const;
    DeviceRecord* Entry(int n);
    // Replaces entry n (slot tables untouched; call TakeSlot afterwards). False outside 1..10.
    bool SetEntry(int n, const DeviceRecord& record);
    // Empties all ten entries.
    void ClearEntries();

    // The kind held for entry n (Empty outside 1..10); may be NotConnected after a failed connect.
    DeviceKind KindOf(int n) const;
    // The kind entry n really has: its kind, or the one its type names while marked NotConnected.
    DeviceKind EffectiveKind(int n) const;
    // Whether a new device may be placed at n: no kind and no device type.
    bool IsFree(int n) const;

    // Rebuilds every entry's kind from its device type.
    void CreateSetupArray();
    // Resets the runtime state of every entry, every slot table and both camera tables.
    void ClearDeviceTables();

    // The sub-index a new device of `kind` would take: "1".."4", "5" when the tab is full (after
    // the tab's message); cameras: "1".."4" or "" when all are used; combined: two digits
    // (Temperature slot, Humidity slot) or "5" when either tab is full. Other kinds: "0".
    std::string FindFreeSlot(DeviceKind kind);
    // The lowest free setup index (for a combined sensor: with a free index after it), or 11.
    int FindFirstAvailable(bool isCombo);
    // Sub-indexes, in setup-index order, of every entry of `kind` or of kind Distance.
    std::string ListSubIndexes(DeviceKind kind) const;
    // Whether any of entries 2..10 holds a device.
    bool AnyDeviceAfterFirst() const;

    // Puts entry n on its tab (or both tabs, or the camera table) from its kind and sub-index.
    // Either half of a combined sensor may be given. False when the sub-index is unusable or the
    // slot belongs to another entry; nothing is changed then.
    bool TakeSlot(int n);
    // Frees the slot(s) of entry n and makes it (both halves of a combined sensor) kind Empty
    // with sub-index "0". The record's other fields are kept.
    bool ReleaseSlot(int n);
    // The user's delete: releases the slot(s), empties the entry (both halves of a combined
    // sensor), lowers the stored camera count for a camera, and stores a device count of "0"
    // when entry 1 goes and nothing else remains. Stored records are left to DeleteStoredDevice.
    bool DeleteEntry(int n);
    // Deletes the stored record of entry n; n <= 0 deletes the whole stored device list.
    void DeleteStoredDevice(int n);

    // Connection state. A combined sensor's halves change together.
    void MarkConnected(int n);
    void MarkDisconnected(int n);
    // A connection that did not come up: not connected, kind NotConnected until the next
    // CreateSetupArray.
    void MarkConnectFailed(int n);

    // Combined sensors: whether n is the temperature half (n - 1 leads), and the lead of n.
    bool IsComboTemperatureHalf(int n) const;
    int LeadIndexOf(int n) const;
    // The temperature half (lead + 1) of a combined sensor led by `lead`; 0 when there is none.
    int ComboPartnerOf(int lead) const;

    // Tabs.
    int TabCount(Tab tab) const;
    bool IsTabEmpty(Tab tab) const { return TabCount(tab) == 0; }
    bool IsSlotTaken(Tab tab, int slot) const;
    // The setup index shown in a slot; 0 when free. A combined sensor's Temperature slot names
    // its temperature half (n + 1), its Humidity slot the lead (n).
    int SetupIndexInSlot(Tab tab, int slot) const;
    // Entry n's slot on `tab`, from its sub-index; 0 when it has none there.
    int SlotOf(int n, Tab tab) const;
    // The slot entry n shows: its tab slot, the humidity slot of a combined sensor's lead, the
    // temperature slot of its other half, or a camera's number. 0 when none.
    int SlotOf(int n) const;

    // Cameras. Camera numbers run 1..4.
    int CameraDriver(int cameraNumber) const;  // 99 when free or out of range
    void SetCameraDriver(int cameraNumber, int driverIndex);
    bool AnyCameraConfigured() const;
    // The setup index of the camera entry holding camera number `cameraNumber`; 0 when none.
    int CameraEntry(int cameraNumber) const;

private:
    SlotTable& Table(Tab tab) { return tables_[static_cast<int>(tab)]; }
    const SlotTable& Table(Tab tab) const { return tables_[static_cast<int>(tab)]; }
    DeviceKind SlotKind(int n) const;
    bool CameraNumberHeldByEntry(int cameraNumber, int except) const;
    void LowerStoredCameraCount();

    Dialogs& dialogs_;
    SettingsTree& settings_;
    std::array<DeviceRecord, kLastIndex + 1> entries_{};  // index 0 unused
    std::array<SlotTable, kTabCount> tables_{};
    std::array<int, kCameraNumbers + 1> cameraTable_{};  // index 0 unused
};

}  // namespace vigiltron
