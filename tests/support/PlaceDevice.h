#pragma once

#include <string>

#include "core/DeviceKind.h"
#include "core/DeviceModel.h"

namespace vigiltron {

// Puts a configured device into the model as a loaded device list would: entry n and, for a
// combined sensor, its temperature half at n + 1 (same record, no port of its own); the kinds
// are rebuilt and the device takes its slot.
inline void PlaceDevice(DeviceModel& model, int n, DeviceRecord record) {
    const bool combined = record.deviceType == kTypeComboHumidity;
    model.SetEntry(n, record);
    if (combined) {
        record.deviceType = kTypeComboTemperature;
        record.port = 0;
        model.SetEntry(n + 1, record);
    }
    model.CreateSetupArray();
    model.TakeSlot(n);
}

}  // namespace vigiltron
