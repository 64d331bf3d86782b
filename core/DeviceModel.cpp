#include "core/DeviceModel.h"

#include <algorithm>
#include <charconv>

#include "core/Dialogs.h"
#include "core/LooseText.h"
#include "core/SettingsTree.h"

namespace vigiltron {

namespace {

// A slot or camera number 1..4 taken from a whole sub-index text; 0 for anything else.
int SingleSlot(std::string_view subIndex) {
    subIndex = Trim(subIndex, " ");
    int value = 0;
    const auto end = subIndex.data() + subIndex.size();
    const auto result = std::from_chars(subIndex.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) {
        return 0;
    }
    return SlotTable::IsValidSlot(value) ? value : 0;
}

// The two slots of a combined sensor's sub-index ("12": Temperature 1, Humidity 2); a text that
// is not exactly two slot digits gives 0 for both.
std::pair<int, int> ComboSlots(std::string_view subIndex) {
    subIndex = Trim(subIndex, " ");
    if (subIndex.size() != 2) {
        return {0, 0};
    }
    const int t = subIndex[0] - '0';
    const int h = subIndex[1] - '0';
    if (!SlotTable::IsValidSlot(t) || !SlotTable::IsValidSlot(h)) {
        return {0, 0};
    }
    return {t, h};
}

}  // namespace

DeviceModel::DeviceModel(Dialogs& dialogs, SettingsTree& settings)
    : dialogs_(dialogs), settings_(settings) {
    cameraTable_.fill(kCameraFree);
}

std::string DeviceModel::DeviceSection(int n) {
    return "PortConfig\\Devices\\" + std::to_string(n);
}

const DeviceRecord* DeviceModel::Entry(int n) const {
    return IsValidIndex(n) ? &entries_[n] : nullptr;
}

DeviceRecord* DeviceModel::Entry(int n) {
    return IsValidIndex(n) ? &entries_[n] : nullptr;
}

bool DeviceModel::SetEntry(int n, const DeviceRecord& record) {
    if (!IsValidIndex(n)) {
        return false;
    }
    entries_[n] = record;
    return true;
}

void DeviceModel::ClearEntries() {
    entries_.fill(DeviceRecord{});
}

DeviceKind DeviceModel::KindOf(int n) const {
    return IsValidIndex(n) ? entries_[n].kind : DeviceKind::Empty;
}

DeviceKind DeviceModel::EffectiveKind(int n) const {
    if (!IsValidIndex(n)) {
        return DeviceKind::Empty;
    }
    const DeviceRecord& e = entries_[n];
    return e.kind == DeviceKind::NotConnected ? KindFromDeviceType(e.deviceType) : e.kind;
}

bool DeviceModel::IsFree(int n) const {
    // An entry with a type but no kind (a "with Motion Det" camera) still holds a stored record,
    // so it is never handed out again.
    return IsValidIndex(n) && entries_[n].kind == DeviceKind::Empty &&
           entries_[n].deviceType.empty();
}

// The kind that decides where entry n is shown. Camera texts the kind table does not carry
// ("with Motion Det") still hold their camera number.
DeviceKind DeviceModel::SlotKind(int n) const {
    const DeviceKind kind = EffectiveKind(n);
    if (kind != DeviceKind::Empty || !IsValidIndex(n)) {
        return kind;
    }
    const DeviceKind byType = KindFromDeviceType(entries_[n].deviceType);
    return IsCamera(byType) ? byType : DeviceKind::Empty;
}

void DeviceModel::CreateSetupArray() {
    try {
        for (int i = kFirstIndex; i <= kLastIndex; ++i) {
            entries_[i].kind = DeviceKind::Empty;
        }
        for (int i = kFirstIndex; i <= kLastIndex; ++i) {
            const std::string& type = entries_[i].deviceType;
            if (type.empty()) {
                continue;
            }
            DeviceRecord& e = entries_[i];
            if (type == kTypeTemperature) {
                e.kind = DeviceKind::Temperature;
            } else if (type == kTypeHumidity) {
                e.kind = DeviceKind::Humidity;
            } else if (type == kTypeProximity) {
                e.kind = DeviceKind::Proximity;
            } else if (type == kTypeCamera) {
                e.kind = DeviceKind::Camera;
            } else if (type == kTypeWater) {
                e.kind = DeviceKind::Water;
            } else if (type == kTypeComboHumidity) {
                // The temperature half after it matches no text below and keeps this 7. A lead
                // at the last index has no second entry to mark.
                e.kind = DeviceKind::Combined;
                if (i < kLastIndex) {
                    entries_[i + 1].kind = DeviceKind::Combined;
                }
            } else if (type == kTypeAccelerometer) {
                e.kind = DeviceKind::Accelerometer;
            } else if (type == kTypeDistance) {
                e.kind = DeviceKind::Distance;
            } else if (type == kTypeCameraV2) {
                e.kind = DeviceKind::CameraV2;
            }
        }
    } catch (...) {
        dialogs_.ShowMessage("Error in CreateSetupArray");
    }
}

void DeviceModel::ClearDeviceTables() {
    try {
        for (DeviceRecord& e : entries_) {
            e.connectedKind = DeviceKind::Empty;
            e.bumpMode = false;
            e.proximityMode = false;
        }
        for (SlotTable& table : tables_) {
            table.Clear();
        }
        cameraTable_.fill(kCameraFree);
    } catch (...) {
        dialogs_.ShowMessage("There was an error while clearing the arrays");
    }
}

bool DeviceModel::CameraNumberHeldByEntry(int cameraNumber, int except) const {
    for (int i = kFirstIndex; i <= kLastIndex; ++i) {
        if (i != except && IsCamera(SlotKind(i)) &&
            SingleSlot(entries_[i].subIndex) == cameraNumber) {
            return true;
        }
    }
    return false;
}

std::string DeviceModel::FindFreeSlot(DeviceKind kind) {
    if (kind == DeviceKind::Combined) {
        const SlotTable& t = Table(Tab::Temperature);
        const SlotTable& h = Table(Tab::Humidity);
        if (t.IsFull() || h.IsFull()) {
            dialogs_.ShowMessage(FullTabMessage(kind));
            return "5";
        }
        if (t.LowestFree() == 0 || h.LowestFree() == 0) {
            return "5";
        }
        return std::to_string(t.LowestFree()) + std::to_string(h.LowestFree());
    }
    if (IsCamera(kind)) {
        // A camera without a driver reads 99 in the table, yet its number stays in use.
        for (int c = 1; c <= kCameraNumbers; ++c) {
            if (cameraTable_[c] == kCameraFree && !CameraNumberHeldByEntry(c, 0)) {
                return std::to_string(c);
            }
        }
        return {};
    }
    const std::optional<Tab> tab = TabOfKind(kind);
    if (!tab) {
        return "0";
    }
    const SlotTable& table = Table(*tab);
    if (table.IsFull()) {
        dialogs_.ShowMessage(FullTabMessage(kind));
        return "5";
    }
    const int slot = table.LowestFree();
    return slot == 0 ? "5" : std::to_string(slot);
}

int DeviceModel::FindFirstAvailable(bool isCombo) {
    for (int n = kFirstIndex; n <= kLastIndex; ++n) {
        if (!IsFree(n)) {
            continue;
        }
        if (!isCombo) {
            return n;
        }
        if (n == kLastIndex) {
            // A combined sensor here would spill into an eleventh entry: nothing is found.
            dialogs_.ShowMessage("There must be two consecutive slots open to add this sensor.");
            return kNoFreeIndex;
        }
        if (IsFree(n + 1)) {
            return n;
        }
    }
    return kNoFreeIndex;
}

std::string DeviceModel::ListSubIndexes(DeviceKind kind) const {
    std::string list;
    for (int i = kFirstIndex; i <= kLastIndex; ++i) {
        const DeviceKind k = EffectiveKind(i);
        if (k == kind || k == DeviceKind::Distance) {
            list += std::to_string(LeadingWholeNumber(entries_[i].subIndex, " "));
        }
    }
    return list;
}

bool DeviceModel::AnyDeviceAfterFirst() const {
    for (int i = kFirstIndex + 1; i <= kLastIndex; ++i) {
        if (!IsFree(i)) {
            return true;
        }
    }
    return false;
}

bool DeviceModel::IsComboTemperatureHalf(int n) const {
    if (!IsValidIndex(n) || n == kFirstIndex) {
        return false;
    }
    const DeviceRecord& e = entries_[n];
    const bool comboHalf =
        EffectiveKind(n) == DeviceKind::Combined || e.deviceType == kTypeComboTemperature;
    return comboHalf && e.deviceType != kTypeComboHumidity &&
           entries_[n - 1].deviceType == kTypeComboHumidity;
}

int DeviceModel::LeadIndexOf(int n) const {
    return IsComboTemperatureHalf(n) ? n - 1 : n;
}

int DeviceModel::ComboPartnerOf(int lead) const {
    return lead < kLastIndex && IsComboTemperatureHalf(lead + 1) ? lead + 1 : 0;
}

bool DeviceModel::TakeSlot(int n) {
    if (!IsValidIndex(n)) {
        return false;
    }
    const int lead = LeadIndexOf(n);
    const DeviceKind kind = SlotKind(lead);
    const DeviceRecord& e = entries_[lead];

    if (kind == DeviceKind::Combined) {
        const auto [t, h] = ComboSlots(e.subIndex);
        if (t == 0) {
            return false;
        }
        const int partner = ComboPartnerOf(lead);
        const int tempOwner = partner != 0 ? partner : lead;
        SlotTable& temps = Table(Tab::Temperature);
        SlotTable& hums = Table(Tab::Humidity);
        // Check both before taking either, so a conflict leaves both tabs as they were.
        if ((temps.IsTaken(t) && temps.Owner(t) != tempOwner) ||
            (hums.IsTaken(h) && hums.Owner(h) != lead)) {
            return false;
        }
        temps.Take(t, tempOwner);
        hums.Take(h, lead);
        return true;
    }
    if (IsCamera(kind)) {
        const int camera = SingleSlot(e.subIndex);
        if (camera == 0 || CameraNumberHeldByEntry(camera, lead)) {
            return false;
        }
        cameraTable_[camera] = e.camDriverIndex;
        return true;
    }
    const std::optional<Tab> tab = TabOfKind(kind);
    if (!tab) {
        return false;
    }
    return Table(*tab).Take(SingleSlot(e.subIndex), lead);
}

bool DeviceModel::ReleaseSlot(int n) {
    if (!IsValidIndex(n)) {
        return false;
    }
    const int lead = LeadIndexOf(n);
    const DeviceKind kind = SlotKind(lead);
    if (kind == DeviceKind::Empty) {
        return false;
    }
    DeviceRecord& e = entries_[lead];
    // Only slots this entry really fills are freed, so a stale sub-index cannot free another
    // device's slot.
    if (kind == DeviceKind::Combined) {
        const int partner = ComboPartnerOf(lead);
        const auto [t, h] = ComboSlots(e.subIndex);
        SlotTable& temps = Table(Tab::Temperature);
        if (temps.Owner(t) == lead || (partner != 0 && temps.Owner(t) == partner)) {
            temps.Release(t);
        }
        if (Table(Tab::Humidity).Owner(h) == lead) {
            Table(Tab::Humidity).Release(h);
        }
        if (partner != 0) {
            entries_[partner].kind = DeviceKind::Empty;
            entries_[partner].subIndex = "0";
        }
    } else if (IsCamera(kind)) {
        const int camera = SingleSlot(e.subIndex);
        if (camera != 0 && !CameraNumberHeldByEntry(camera, lead)) {
            cameraTable_[camera] = kCameraFree;
        }
    } else if (const std::optional<Tab> tab = TabOfKind(kind)) {
        const int slot = SingleSlot(e.subIndex);
        if (Table(*tab).Owner(slot) == lead) {
            Table(*tab).Release(slot);
        }
    }
    e.kind = DeviceKind::Empty;
    e.subIndex = "0";
    return true;
}

bool DeviceModel::DeleteEntry(int n) {
    if (!IsValidIndex(n)) {
        return false;
    }
    const int lead = LeadIndexOf(n);
    if (IsFree(lead)) {
        return false;
    }
    const int partner = ComboPartnerOf(lead);
    const bool camera = IsCamera(SlotKind(lead));
    ReleaseSlot(lead);
    entries_[lead] = DeviceRecord{};
    if (partner != 0) {
        entries_[partner] = DeviceRecord{};
    }
    try {
        if (camera) {
            LowerStoredCameraCount();
        }
        if (lead == kFirstIndex && !AnyDeviceAfterFirst()) {
            settings_.SaveSetting("Program Setup", "TotalDevices", "0");
        }
    } catch (...) {
        dialogs_.ShowMessage("Error in DeleteEntry");
    }
    return true;
}

void DeviceModel::LowerStoredCameraCount() {
    const int stored =
        LeadingWholeNumber(settings_.GetSetting("Program Setup", "TotalCameras", "0"), " ");
    settings_.SaveSetting("Program Setup", "TotalCameras", std::to_string(std::max(0, stored - 1)));
}

void DeviceModel::DeleteStoredDevice(int n) {
    try {
        settings_.DeleteSetting(n > 0 ? DeviceSection(n) : std::string("PortConfig\\Devices"));
    } catch (...) {
        dialogs_.ShowMessage("Error in DeleteStoredDevice");
    }
}

void DeviceModel::MarkConnected(int n) {
    if (!IsValidIndex(n)) {
        return;
    }
    const int lead = LeadIndexOf(n);
    const DeviceKind kind = SlotKind(lead);
    if (kind == DeviceKind::Empty) {
        return;
    }
    entries_[lead].kind = kind;  // a later successful connect undoes a NotConnected mark
    entries_[lead].connectedKind = kind;
    if (const int partner = ComboPartnerOf(lead); kind == DeviceKind::Combined && partner != 0) {
        entries_[partner].connectedKind = DeviceKind::Combined;
    }
}

void DeviceModel::MarkDisconnected(int n) {
    if (!IsValidIndex(n)) {
        return;
    }
    const int lead = LeadIndexOf(n);
    entries_[lead].connectedKind = DeviceKind::Empty;
    if (const int partner = ComboPartnerOf(lead); partner != 0) {
        entries_[partner].connectedKind = DeviceKind::Empty;
    }
}

void DeviceModel::MarkConnectFailed(int n) {
    if (!IsValidIndex(n) || IsFree(n)) {
        return;
    }
    entries_[n].connectedKind = DeviceKind::Empty;
    entries_[n].kind = DeviceKind::NotConnected;
}

int DeviceModel::TabCount(Tab tab) const {
    return Table(tab).Count();
}

bool DeviceModel::IsSlotTaken(Tab tab, int slot) const {
    return Table(tab).IsTaken(slot);
}

int DeviceModel::SetupIndexInSlot(Tab tab, int slot) const {
    return Table(tab).Owner(slot);
}

int DeviceModel::SlotOf(int n, Tab tab) const {
    if (!IsValidIndex(n)) {
        return 0;
    }
    const DeviceKind kind = SlotKind(n);
    if (kind == DeviceKind::Combined) {
        const auto [t, h] = ComboSlots(entries_[n].subIndex);
        return tab == Tab::Temperature ? t : tab == Tab::Humidity ? h : 0;
    }
    return TabOfKind(kind) == tab ? SingleSlot(entries_[n].subIndex) : 0;
}

int DeviceModel::SlotOf(int n) const {
    if (!IsValidIndex(n)) {
        return 0;
    }
    const DeviceKind kind = SlotKind(n);
    if (kind == DeviceKind::Combined) {
        return SlotOf(n, IsComboTemperatureHalf(n) ? Tab::Temperature : Tab::Humidity);
    }
    if (IsCamera(kind)) {
        return SingleSlot(entries_[n].subIndex);
    }
    const std::optional<Tab> tab = TabOfKind(kind);
    return tab ? SlotOf(n, *tab) : 0;
}

int DeviceModel::CameraDriver(int cameraNumber) const {
    return cameraNumber >= 1 && cameraNumber <= kCameraNumbers ? cameraTable_[cameraNumber]
                                                               : kCameraFree;
}

void DeviceModel::SetCameraDriver(int cameraNumber, int driverIndex) {
    if (cameraNumber >= 1 && cameraNumber <= kCameraNumbers) {
        cameraTable_[cameraNumber] = driverIndex;
    }
}

bool DeviceModel::AnyCameraConfigured() const {
    for (int i = kFirstIndex; i <= kLastIndex; ++i) {
        if (IsCamera(SlotKind(i))) {
            return true;
        }
    }
    return false;
}

int DeviceModel::CameraEntry(int cameraNumber) const {
    if (cameraNumber < 1 || cameraNumber > kCameraNumbers) {
        return 0;
    }
    for (int n = kFirstIndex; n <= kLastIndex; ++n) {
        if (IsCamera(SlotKind(n)) && SingleSlot(entries_[n].subIndex) == cameraNumber) {
            return n;
        }
    }
    return 0;
}

}  // namespace vigiltron
