#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "config/Preferences.h"
#include "core/DeviceKind.h"
#include "reporting/LogHistory.h"

namespace vigiltron {

class DeviceModel;

struct SeriesPoint {
    LocalDateTime when;
    double value = 0;
};

// A threshold drawn as a horizontal line: "Max", "Min", "X Max", ...
struct HistoryLimit {
    std::string name;
    double value = 0;
};

// A stretch of time the readings were outside the thresholds.
struct AlarmPeriod {
    LocalDateTime from;
    LocalDateTime to;
};

// One sensor's history as a chart draws it: plain series, limits and alarm periods.
struct HistorySeries {
    std::string title;                    // the device name, and the half of a combined sensor
    std::string valueName;                // "Temperature", "Humidity", "X", "Distance", ...
    std::vector<SeriesPoint> readings;    // the readings (accelerometer: the X axis)
    std::vector<SeriesPoint> secondAxis;  // accelerometer: the Y axis; empty otherwise
    std::vector<SeriesPoint> onOff;       // events as a step: 1 on, 0 off
    std::vector<HistoryLimit> limits;
    std::vector<AlarmPeriod> alarms;
    std::size_t skippedLines = 0;
    std::string error;  // reading the files broke off; what was read is kept

    // "N readings, M lines could not be read", plus the error when there is one.
    std::string StatusText() const;
};

// The thresholds of `kind` (Temperature, Humidity, Accelerometer or Distance; a combined
// sensor's halves give Humidity and Temperature) as the alarm rules read them. Other kinds have
// none.
std::vector<HistoryLimit> HistoryLimitsOf(DeviceKind kind, const Preferences& prefs);

// Turns a read history into chart series. An alarm period is a run of readings outside the
// limits (a value above a "Max" or below a "Min"; accelerometer: X or Y outside its own); it
// lasts from its first such reading until the next reading back inside, or the note that ends
// the readings (a disconnection), or its last reading when nothing follows.
HistorySeries MakeHistorySeries(const History& history, DeviceKind kind, const Preferences& prefs);

// Reads entry n's history from `directory` for `range` and turns it into series: the device's
// name and file suffix ("_Humid" for a combined sensor's lead, "_Temp" for its temperature half)
// come from the model, the thresholds from the preferences.
HistorySeries ReadSensorHistory(const LogFileSystem& files, const std::string& directory,
                                const DeviceModel& model, const Preferences& prefs, int n,
                                HistoryRange range, const LocalDateTime& now);

}  // namespace vigiltron
