#include "sensors/DeviceSetup.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>

#include "alerts/ProximityActions.h"
#include "config/ConfigStore.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/Journal.h"
#include "core/LooseText.h"
#include "core/SensorConnections.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

constexpr const char* kProgramSetup = "Program Setup";
constexpr const char* kNameBlank = "Device name cannot be blank";
constexpr const char* kNoSlot = "CurSubIndex = 0 Condition. Please manually add devices.";
constexpr const char* kTwoSlots = "There must be two consecutive slots open to add this sensor.";
constexpr const char* kOneV2 = "Only one Vigiltron/V2 camera can be used at this time.";

// The kind a type of the add window stands for; the combined sensor is offered under a text of
// its own that no stored record carries.
DeviceKind KindOfOfferedType(const std::string& type) {
    return type == kTypeComboOffered ? DeviceKind::Combined : KindFromDeviceType(type);
}

std::string DeviceFileSection(int n) {
    return "Device Setup\\" + std::to_string(n);
}

}  // namespace

DeviceSetup::DeviceSetup(Services services) : s_(services) {}

const std::vector<std::string>& DeviceSetup::TypeList() {
    static const std::vector<std::string> kTypes = {
        kTypeAccelerometer, kTypeDistance,  kTypeTemperature, kTypeHumidity, kTypeComboOffered,
        kTypeWater,         kTypeProximity, kTypeCamera,      kTypeCameraV2};
    return kTypes;
}

std::string DeviceSetup::DefaultName(const std::string& type, int n) {
    const std::string index = std::to_string(n);
    switch (KindOfOfferedType(type)) {
        case DeviceKind::Temperature:
            return "Vigiltron/T0" + index;
        case DeviceKind::Humidity:
            return "Vigiltron/H0" + index;
        case DeviceKind::Proximity:
            return "Vigiltron/P0" + index;
        case DeviceKind::Water:
            return "Vigiltron/W0" + index;
        case DeviceKind::Combined:
            return "Vigiltron/TH0" + index;
        case DeviceKind::Accelerometer:
            return "Vigiltron/A0" + index;
        case DeviceKind::Distance:
            return "Vigiltron/D0" + index;
        case DeviceKind::Camera:
            return "Vigiltron/V 00" + index;
        case DeviceKind::CameraV2:
            return "Vigiltron/V2 00" + index;
        default:
            return "";
    }
}

bool DeviceSetup::OpenAddWindow(bool duringStartup) {
    DeviceSetupView& v = s_.view.deviceSetup;
    v.typeList = TypeList();
    v.selectedType = kDropDownToSelect;
    v.comPortVisible = false;
    v.bumpOptionsVisible = false;
    v.proximityOptionVisible = false;
    v.driverListVisible = false;
    v.addWindowVisible = true;
    try {
        if (LeadingWholeNumber(s_.settings.GetSetting(kProgramSetup, "TotalCameras", "0")) < 1) {
            s_.settings.SaveSetting(kProgramSetup, "TotalCameras", "1");
            s_.prefs.TotalCameras = "1";
        }
    } catch (const std::exception&) {
        // The count is repaired again the next time the window opens.
    }
    s_.view.Changed();
    if (duringStartup) {
        return false;
    }
    return s_.dialogs.AskYesNo(
        "Do you want to auto-detect your Vigiltron devices?\n  (VigiltronV camera devices cannot "
        "be detected.)",
        "Vigiltron Device Detection");
}

bool DeviceSetup::SelectType(const std::string& type) {
    DeviceSetupView& v = s_.view.deviceSetup;
    const auto clear = [&] {
        v.selectedType = kDropDownToSelect;
        v.comPortVisible = false;
        v.bumpOptionsVisible = false;
        v.proximityOptionVisible = false;
        v.driverListVisible = false;
        s_.view.Changed();
        return false;
    };
    if (std::find(TypeList().begin(), TypeList().end(), type) == TypeList().end()) {
        return clear();
    }
    const DeviceKind kind = KindOfOfferedType(type);
    if (kind == DeviceKind::CameraV2 && EntryOfType(kTypeCameraV2) != 0) {
        s_.dialogs.ShowMessage(kOneV2);
        return clear();
    }
    v.selectedType = type;
    v.targetIndex = s_.model.FindFirstAvailable(kind == DeviceKind::Combined);
    const bool found = DeviceModel::IsValidIndex(v.targetIndex);
    v.nameBox = found ? DefaultName(type, v.targetIndex) : "";
    v.comPortVisible = !IsCamera(kind);
    v.bumpOptionsVisible = kind == DeviceKind::Accelerometer;
    v.proximityOptionVisible = kind == DeviceKind::Distance;
    v.driverListVisible = IsCamera(kind);
    if (IsCamera(kind)) {
        v.cameraDrivers = cameraDriverList ? cameraDriverList() : std::vector<std::string>{};
        v.selectedDriver = v.cameraDrivers.empty() ? -1 : 0;
    }
    s_.view.Changed();
    return found;
}

bool DeviceSetup::AddFromWindow() {
    const DeviceSetupView& v = s_.view.deviceSetup;
    DeviceRequest request;
    request.type = v.selectedType;
    request.name = v.nameBox;
    request.port = v.comPort;
    request.startInBump = v.startInBump;
    request.calibrateOnConnect = v.calibrateOnConnect;
    request.startInProx = v.startInProx;
    // "No video capture devices found" is listed but is no device.
    const std::string identity =
        cameraDriverIdentity && v.selectedDriver >= 0 ? cameraDriverIdentity(v.selectedDriver) : "";
    if (!identity.empty() && std::size_t(v.selectedDriver) < v.cameraDrivers.size()) {
        request.driverName = v.cameraDrivers[std::size_t(v.selectedDriver)];
        request.camDriverIndex = v.selectedDriver;
        request.usedByDriver = identity;
    }
    return AddDevice(request);
}

int DeviceSetup::EntryOfType(const std::string& type) const {
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        if (s_.model.Entry(n)->deviceType == type) {
            return n;
        }
    }
    return 0;
}

int DeviceSetup::EntryUsingPort(int comNumber, int except) const {
    const int exceptLead = DeviceModel::IsValidIndex(except) ? s_.model.LeadIndexOf(except) : 0;
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        const DeviceRecord& e = *s_.model.Entry(n);
        const int lead = s_.model.LeadIndexOf(n);
        if (s_.model.IsFree(n) || lead == exceptLead ||
            IsCamera(KindFromDeviceType(e.deviceType))) {
            continue;
        }
        if (e.port == comNumber) {
            return lead;
        }
    }
    return 0;
}

bool DeviceSetup::CheckRequest(const DeviceRequest& request, DeviceKind kind) {
    DeviceSetupView& v = s_.view.deviceSetup;
    if (Trim(request.name).empty()) {
        s_.dialogs.ShowMessage(kNameBlank);
        v.addWindowVisible = true;
        v.nameBoxFocused = true;
        s_.view.Changed();
        return false;
    }
    if (IsCamera(kind)) {
        if (request.driverName.empty() || request.camDriverIndex < 0) {
            s_.dialogs.ShowMessage("No Vigiltron/V camera drivers found for this camera.");
            return false;
        }
        if (kind == DeviceKind::CameraV2 && EntryOfType(kTypeCameraV2) != 0) {
            s_.dialogs.ShowMessage(kOneV2);
            return false;
        }
        return true;
    }
    if (request.port < 1 || request.port > kMaxComNumber) {
        s_.dialogs.ShowMessage("Please choose a COM port from 1 to " +
                               std::to_string(kMaxComNumber) + ".");
        return false;
    }
    // Two entries on one port would fight over it at every connection.
    if (const int other = EntryUsingPort(request.port)) {
        s_.dialogs.ShowMessage("COM" + std::to_string(request.port) + " is already used by " +
                               s_.model.Entry(other)->deviceName + ".");
        return false;
    }
    return true;
}

int DeviceSetup::FindTarget(bool isCombo) {
    // The model tells about a combined sensor that only fits at the last index itself.
    const bool toldByModel = isCombo && s_.model.IsFree(DeviceModel::kLastIndex);
    const int target = s_.model.FindFirstAvailable(isCombo);
    if (DeviceModel::IsValidIndex(target)) {
        return target;
    }
    bool anyFree = false;
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        anyFree = anyFree || s_.model.IsFree(n);
    }
    if (!anyFree) {
        s_.dialogs.ShowMessage(
            "All ten device entries are in use. Please delete a device before adding another.");
    } else if (!toldByModel) {
        s_.dialogs.ShowMessage(kTwoSlots);  // free entries, but no two next to each other
    }
    return DeviceModel::kNoFreeIndex;
}

bool DeviceSetup::AddDevice(const DeviceRequest& request) {
    DeviceSetupView& v = s_.view.deviceSetup;
    try {
        if (request.type.empty() || request.type == kDropDownToSelect) {
            return false;
        }
        if (std::find(TypeList().begin(), TypeList().end(), request.type) == TypeList().end()) {
            s_.dialogs.ShowMessage("Please select a device type.");
            return false;
        }
        const DeviceKind kind = KindOfOfferedType(request.type);
        if (!CheckRequest(request, kind)) {
            return false;
        }
        const bool combo = kind == DeviceKind::Combined;
        const int n = FindTarget(combo);
        if (!DeviceModel::IsValidIndex(n)) {
            return false;
        }
        const std::string slot = s_.model.FindFreeSlot(kind);
        if (slot == "5") {
            return false;  // the tab's own message has told why
        }
        if (slot.empty() || slot == "0") {
            s_.dialogs.ShowMessage(kNoSlot);
            v.addWindowVisible = false;
            s_.view.Changed();
            return false;
        }

        DeviceRecord record;
        record.deviceType = combo ? kTypeComboHumidity : request.type;
        record.kind = kind;
        record.subIndex = slot;
        record.deviceName = std::string(Trim(request.name));
        if (IsCamera(kind)) {
            record.driverName = request.driverName;
            record.camDriverIndex = request.camDriverIndex;
            record.usedByDriver = request.usedByDriver;
        } else {
            record.port = request.port;
        }
        if (kind == DeviceKind::Accelerometer) {
            record.startInBump = request.startInBump;
            record.calibrateOnConnect = request.calibrateOnConnect;
        } else if (kind == DeviceKind::Distance) {
            record.startInProx = request.startInProx;
        }
        const int partner = combo ? n + 1 : 0;
        s_.model.SetEntry(n, record);
        if (partner != 0) {
            record.deviceType = kTypeComboTemperature;
            s_.model.SetEntry(partner, record);
        }
        if (!s_.model.TakeSlot(n)) {
            s_.model.SetEntry(n, DeviceRecord{});
            if (partner != 0) {
                s_.model.SetEntry(partner, DeviceRecord{});
            }
            s_.dialogs.ShowMessage(kNoSlot);
            v.addWindowVisible = false;
            s_.view.Changed();
            return false;
        }

        TickEmailAlert(kind);
        bool fileSaved = StoreRecord(n);
        if (partner != 0) {
            fileSaved = StoreRecord(partner) && fileSaved;
        }
        ShowAdded(n, partner);
        SaveTotalDevices(partner != 0 ? 2 : 1, fileSaved);
        if (IsCamera(kind)) {
            SaveTotalCameras();
            if (camerasChanged) {
                camerasChanged();
            }
        }
        v.nameBox.clear();
        v.nameBoxFocused = false;
        v.addWindowVisible = false;
        s_.view.Changed();
        s_.journal.Record("setup", "added " + std::to_string(n) + " " + record.deviceName + " (" +
                                       request.type + ")");
        return true;
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error when adding the device: ") + failure.what());
        return false;
    }
}

void DeviceSetup::TickEmailAlert(DeviceKind kind) {
    std::vector<int> boxes;
    switch (kind) {
        case DeviceKind::Combined:
            boxes = {1, 2};
            break;
        case DeviceKind::Temperature:
        case DeviceKind::Humidity:
        case DeviceKind::Proximity:
        case DeviceKind::Water:
        case DeviceKind::Accelerometer:
        case DeviceKind::Distance:
            boxes = {KindCode(kind)};
            break;
        default:
            return;  // cameras raise no alarms
    }
    for (int box : boxes) {
        s_.prefs.chkEmailAlert[std::size_t(box)] = true;
        s_.settings.SaveSetting(kProgramSetup, "chkEmailAlert" + std::to_string(box), "1");
    }
}

bool DeviceSetup::StoreRecord(int n) {
    const DeviceRecord& e = *s_.model.Entry(n);
    const DeviceKind kind = KindFromDeviceType(e.deviceType);
    const std::string section = DeviceModel::DeviceSection(n);
    // Whatever an earlier device left at this index must not mix with the new record.
    s_.settings.DeleteSetting(section);
    auto save = [&](const char* key, const std::string& value) {
        s_.settings.SaveSetting(section, key, value);
    };
    if (!IsCamera(kind)) {
        save("Port", std::to_string(e.port));
    }
    save("SubIndex", e.subIndex);
    save("TabLogging", "0");
    save("FileLogging", "0");
    if (kind == DeviceKind::Accelerometer) {
        save("CalibrateOnConnect", OneZero(e.calibrateOnConnect));
        save("StartInBump", OneZero(e.startInBump));
        save("StartInProx", OneZero(e.startInProx));
    } else if (kind == DeviceKind::Distance) {
        save("StartInProx", OneZero(e.startInProx));
        save("StartInBump", OneZero(e.startInBump));
    }
    save("DeviceType", e.deviceType);
    save("DeviceName", e.deviceName);
    if (IsCamera(kind)) {
        save("DriverName", e.driverName);
        save("CamDriverIndex", std::to_string(e.camDriverIndex));
        save("UsedByDriver", e.usedByDriver);
    }
    return s_.config.SaveDeviceINI(n);
}

void DeviceSetup::ShowEntryRow(int n) {
    const DeviceRecord& e = *s_.model.Entry(n);
    DeviceSetupView::EntryRow& row = s_.view.deviceSetup.entries[std::size_t(n)];
    row.visible = true;
    row.deviceType = e.deviceType;
    row.deviceName = e.deviceName;
    row.port = IsCamera(KindFromDeviceType(e.deviceType)) ? "" : std::to_string(e.port);
    row.tabLogging = e.tabLogging;
    row.fileLogging = e.fileLogging;
}

void DeviceSetup::ShowEntryRows() {
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        if (s_.model.IsFree(n)) {
            s_.view.deviceSetup.entries[std::size_t(n)] = DeviceSetupView::EntryRow{};
        } else {
            ShowEntryRow(n);
        }
    }
    s_.view.Changed();
}

void DeviceSetup::ShowAdded(int n, int partner) {
    DeviceRecord& lead = *s_.model.Entry(n);
    if (!IsCamera(lead.kind)) {
        // A new sensor lists its readings on its tab and in its log file from the first
        // connection: its two logging boxes are ticked, and a ticked box saves itself.
        for (int index : {n, partner}) {
            if (DeviceRecord* record = index != 0 ? s_.model.Entry(index) : nullptr) {
                record->tabLogging = true;
                record->fileLogging = true;
                s_.settings.SaveSetting(DeviceModel::DeviceSection(index), "TabLogging", "1");
                s_.settings.SaveSetting(DeviceModel::DeviceSection(index), "FileLogging", "1");
                s_.config.SaveDeviceINI(index);
            }
        }
    }
    s_.link.ShowOnTab(n);
    for (int index : {n, partner}) {
        if (index == 0) {
            continue;
        }
        SummaryRow& row = s_.view.Row(index);
        row = SummaryRow{};
        row.name = lead.deviceName;
        row.visible = true;
        EntryCommands& commands = s_.view.Commands(index);
        commands = EntryCommands{};
        // The temperature half of a combined sensor has no commands of its own.
        commands.connectVisible = index == n;
        commands.connectEnabled = index == n;
        commands.deleteEnabled = index == n;
        ShowEntryRow(index);
    }
}

void DeviceSetup::HideDeleted(int n, int partner, DeviceKind kind) {
    for (Tab tab : kAllTabs) {
        bool touched =
            TabOfKind(kind) == tab ||
            (kind == DeviceKind::Combined && (tab == Tab::Temperature || tab == Tab::Humidity));
        for (int slot = 1; slot <= 4; ++slot) {
            TabSlotView& view = s_.view.Slot(tab, slot);
            if (view.visible &&
                (view.setupIndex == n || (partner != 0 && view.setupIndex == partner))) {
                view = TabSlotView{};
                touched = true;
            }
        }
        if (touched && s_.model.IsTabEmpty(tab)) {
            s_.view.TabAt(tab).emptyNoticeVisible = true;
        }
    }
    for (int index : {n, partner}) {
        if (index == 0) {
            continue;
        }
        s_.view.Row(index) = SummaryRow{};
        EntryCommands& commands = s_.view.Commands(index);
        commands = EntryCommands{};
        commands.connectVisible = false;
        commands.deleteEnabled = false;
        s_.view.deviceSetup.entries[std::size_t(index)] = DeviceSetupView::EntryRow{};
    }
}

int DeviceSetup::HighestIndexInUse() const {
    for (int n = DeviceModel::kLastIndex; n >= DeviceModel::kFirstIndex; --n) {
        if (!s_.model.IsFree(n)) {
            return n;
        }
    }
    return 0;
}

void DeviceSetup::SaveTotalDevices(int change, bool reportFileError) {
    const int stored =
        LeadingWholeNumber(s_.settings.GetSetting(kProgramSetup, "TotalDevices", "0"));
    // Both loaders read the records 1..TotalDevices, so the count never drops below the highest
    // index still in use: a gap left by a deletion must not hide the records after it.
    const int highest = HighestIndexInUse();
    const int count =
        highest == 0 ? 0 : std::clamp(stored + change, highest, int(DeviceModel::kLastIndex));
    const std::string text = std::to_string(count);
    s_.prefs.TotalDevices = text;
    s_.settings.SaveSetting(kProgramSetup, "TotalDevices", text);
    if (!s_.config.WritePrefsFileValue("Device Setup", "TotalDevices", text) && reportFileError) {
        s_.dialogs.ShowMessage("SaveDeviceINI error: the device count could not be written to " +
                               s_.config.PrefsFilePath());
    }
}

void DeviceSetup::SaveTotalCameras() {
    int cameras = 0;
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        cameras += IsCamera(KindFromDeviceType(s_.model.Entry(n)->deviceType)) ? 1 : 0;
    }
    s_.prefs.TotalCameras = std::to_string(cameras);
    s_.settings.SaveSetting(kProgramSetup, "TotalCameras", s_.prefs.TotalCameras);
}

bool DeviceSetup::DeleteDevice(int n) {
    try {
        if (!DeviceModel::IsValidIndex(n) || s_.model.IsFree(s_.model.LeadIndexOf(n))) {
            s_.dialogs.ShowMessage("There is no device at setup index " + std::to_string(n) + ".");
            return false;
        }
        const int lead = s_.model.LeadIndexOf(n);
        const int partner = s_.model.ComboPartnerOf(lead);
        const DeviceRecord& record = *s_.model.Entry(lead);
        if (record.IsConnected() || (partner != 0 && s_.model.Entry(partner)->IsConnected())) {
            s_.dialogs.ShowMessage("Please disconnect " + record.deviceName +
                                   " before deleting it.");
            return false;
        }
        const std::string name = record.deviceName;
        const DeviceKind kind = KindFromDeviceType(record.deviceType);
        // Releases the slot(s), empties the entry (both halves) and lowers the stored camera
        // count for a camera.
        s_.model.DeleteEntry(lead);
        s_.model.DeleteStoredDevice(lead);
        if (partner != 0) {
            s_.model.DeleteStoredDevice(partner);
        }
        HideDeleted(lead, partner, kind);
        SaveTotalDevices(partner != 0 ? -2 : -1, true);
        if (IsCamera(kind)) {
            s_.prefs.TotalCameras = s_.settings.GetSetting(kProgramSetup, "TotalCameras", "0");
        }
        s_.proximity.CheckIfNoDevices(kind);
        s_.view.Changed();
        s_.journal.Record("setup", "deleted " + std::to_string(lead) + " " + name);
        if (camerasChanged) {
            camerasChanged();
        }
        return true;
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error when deleting the device: ") + failure.what());
        return false;
    }
}

bool DeviceSetup::RenameDevice(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    if (record == nullptr || s_.model.IsFree(s_.model.LeadIndexOf(n))) {
        return false;
    }
    const std::optional<std::string> name =
        s_.dialogs.AskText("Please enter a new device name", kAppTitle,
                           s_.model.Entry(s_.model.LeadIndexOf(n))->deviceName);
    return name && RenameDevice(n, *name);
}

bool DeviceSetup::RenameDevice(int n, const std::string& name) {
    try {
        if (!DeviceModel::IsValidIndex(n) || s_.model.IsFree(s_.model.LeadIndexOf(n))) {
            s_.dialogs.ShowMessage("There is no device at setup index " + std::to_string(n) + ".");
            return false;
        }
        const std::string trimmed(Trim(name));
        if (trimmed.empty()) {
            s_.dialogs.ShowMessage(kNameBlank);
            return false;
        }
        const int lead = s_.model.LeadIndexOf(n);
        const int partner = s_.model.ComboPartnerOf(lead);
        for (int index : {lead, partner}) {
            if (index == 0) {
                continue;
            }
            s_.model.Entry(index)->deviceName = trimmed;
            s_.settings.SaveSetting(DeviceModel::DeviceSection(index), "DeviceName", trimmed);
            // The preferences file's copy follows, where it holds this record.
            if (!s_.config.ReadPrefsFileValue(DeviceFileSection(index), "DeviceType", "").empty()) {
                s_.config.WritePrefsFileValue(DeviceFileSection(index), "DeviceName", trimmed);
            }
            s_.view.Row(index).name = trimmed;
            s_.view.deviceSetup.entries[std::size_t(index)].deviceName = trimmed;
        }
        s_.link.ShowOnTab(lead);
        s_.view.Changed();
        s_.journal.Record("setup", "renamed " + std::to_string(lead) + " " + trimmed);
        if (camerasChanged) {
            camerasChanged();
        }
        return true;
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error when renaming the device: ") + failure.what());
        return false;
    }
}

void DeviceSetup::ToggleComBox(int n) {
    if (!DeviceModel::IsValidIndex(n) || s_.model.IsFree(n) || s_.model.IsComboTemperatureHalf(n) ||
        IsCamera(KindFromDeviceType(s_.model.Entry(n)->deviceType))) {
        return;
    }
    bool& shown = s_.view.deviceSetup.entries[std::size_t(n)].comBoxVisible;
    shown = !shown;
    s_.view.Changed();
}

bool DeviceSetup::MoveDevice(int n, int comNumber) {
    try {
        if (!DeviceModel::IsValidIndex(n) || s_.model.IsFree(s_.model.LeadIndexOf(n))) {
            s_.dialogs.ShowMessage("There is no device at setup index " + std::to_string(n) + ".");
            return false;
        }
        const int lead = s_.model.LeadIndexOf(n);
        const int partner = s_.model.ComboPartnerOf(lead);
        DeviceRecord& record = *s_.model.Entry(lead);
        if (IsCamera(KindFromDeviceType(record.deviceType))) {
            s_.dialogs.ShowMessage("A camera has no COM port.");
            return false;
        }
        if (record.IsConnected()) {
            s_.dialogs.ShowMessage("Please disconnect " + record.deviceName +
                                   " before changing its COM port.");
            return false;
        }
        if (comNumber < 1 || comNumber > kMaxComNumber) {
            s_.dialogs.ShowMessage("Please choose a COM port from 1 to " +
                                   std::to_string(kMaxComNumber) + ".");
            return false;
        }
        if (const int other = EntryUsingPort(comNumber, lead)) {
            s_.dialogs.ShowMessage("COM" + std::to_string(comNumber) + " is already used by " +
                                   s_.model.Entry(other)->deviceName + ".");
            return false;
        }
        const std::string port = std::to_string(comNumber);
        for (int index : {lead, partner}) {
            if (index == 0) {
                continue;
            }
            s_.model.Entry(index)->port = comNumber;
            s_.settings.SaveSetting(DeviceModel::DeviceSection(index), "Port", port);
            if (!s_.config.ReadPrefsFileValue(DeviceFileSection(index), "DeviceType", "").empty()) {
                s_.config.WritePrefsFileValue(DeviceFileSection(index), "Port", port);
            }
            s_.view.deviceSetup.entries[std::size_t(index)].port = port;
        }
        s_.view.Changed();
        s_.journal.Record(
            "setup", "moved " + std::to_string(lead) + " " + record.deviceName + " to COM" + port);
        return true;
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error when changing the COM port: ") + failure.what());
        return false;
    }
}

}  // namespace vigiltron
