#include "reporting/HistorySeries.h"

#include <optional>

#include "core/DeviceModel.h"
#include "core/ReadingValue.h"

namespace vigiltron {

std::string HistorySeries::StatusText() const {
    std::string text = std::to_string(readings.size()) + " readings, " +
                       std::to_string(skippedLines) + " lines could not be read";
    if (!error.empty()) {
        text += " (" + error + ")";
    }
    return text;
}

std::vector<HistoryLimit> HistoryLimitsOf(DeviceKind kind, const Preferences& prefs) {
    // Read as the alarm rules read them, so the chart's lines are where the alarms fire.
    auto pair = [](const std::string& max, const std::string& min, const std::string& prefix) {
        return std::vector<HistoryLimit>{{prefix + "Max", LeadingNumber(max)},
                                         {prefix + "Min", LeadingNumber(min)}};
    };
    switch (kind) {
        case DeviceKind::Temperature:
            return pair(prefs.TempMax, prefs.TempMin, "");
        case DeviceKind::Humidity:
            return pair(prefs.HumidMax, prefs.HumidMin, "");
        case DeviceKind::Distance:
            return pair(prefs.MaxDistanceThresh, prefs.MinDistanceThresh, "");
        case DeviceKind::Accelerometer: {
            std::vector<HistoryLimit> limits = pair(prefs.XMaxThresh, prefs.XMinThresh, "X ");
            for (HistoryLimit& limit : pair(prefs.YMaxThresh, prefs.YMinThresh, "Y ")) {
                limits.push_back(limit);
            }
            return limits;
        }
        default:
            return {};
    }
}

namespace {

bool Outside(double value, const std::vector<HistoryLimit>& limits, const std::string& prefix) {
    for (const HistoryLimit& limit : limits) {
        if (limit.name == prefix + "Max" && value > limit.value) {
            return true;
        }
        if (limit.name == prefix + "Min" && value < limit.value) {
            return true;
        }
    }
    return false;
}

std::string ValueName(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Temperature:
            return "Temperature";
        case DeviceKind::Humidity:
            return "Humidity";
        case DeviceKind::Distance:
            return "Distance";
        case DeviceKind::Accelerometer:
            return "X";
        default:
            return "Reading";
    }
}

}  // namespace

HistorySeries MakeHistorySeries(const History& history, DeviceKind kind, const Preferences& prefs) {
    HistorySeries series;
    series.valueName = ValueName(kind);
    series.limits = HistoryLimitsOf(kind, prefs);
    series.skippedLines = history.skippedLines;
    series.error = history.error;
    const bool accelerometer = kind == DeviceKind::Accelerometer;
    const std::string firstAxis = accelerometer ? "X " : "";

    std::optional<LocalDateTime> alarmStart;
    LocalDateTime lastOutside;
    auto endAlarm = [&](const LocalDateTime& to) {
        if (alarmStart) {
            series.alarms.push_back({*alarmStart, to});
            alarmStart.reset();
        }
    };
    double onOffLevel = 0;
    for (const HistoryPoint& point : history.points) {
        switch (point.kind) {
            case HistoryPoint::Kind::Reading: {
                series.readings.push_back({point.when, point.value});
                bool outside = Outside(point.value, series.limits, firstAxis);
                if (accelerometer && point.secondAxis) {
                    series.secondAxis.push_back({point.when, *point.secondAxis});
                    outside = outside || Outside(*point.secondAxis, series.limits, "Y ");
                }
                if (outside) {
                    if (!alarmStart) {
                        alarmStart = point.when;
                    }
                    lastOutside = point.when;
                } else {
                    endAlarm(point.when);
                }
                break;
            }
            case HistoryPoint::Kind::Note:
                // The readings stop here (a disconnection, a failed poll).
                endAlarm(point.when);
                break;
            case HistoryPoint::Kind::Event: {
                // A step: the level holds until the event changes it. A bump has no "off" line,
                // so it is a pulse.
                series.onOff.push_back({point.when, onOffLevel});
                const double level = point.on ? 1 : 0;
                series.onOff.push_back({point.when, level});
                onOffLevel = point.text == "BUMP" ? 0 : level;
                if (point.text == "BUMP") {
                    series.onOff.push_back({point.when, 0});
                }
                break;
            }
        }
    }
    endAlarm(lastOutside);
    return series;
}

HistorySeries ReadSensorHistory(const LogFileSystem& files, const std::string& directory,
                                const DeviceModel& model, const Preferences& prefs, int n,
                                HistoryRange range, const LocalDateTime& now) {
    const DeviceRecord* record = model.Entry(n);
    if (record == nullptr) {
        return {};
    }
    DeviceKind kind = model.EffectiveKind(n);
    std::string suffix;
    std::string half;
    if (kind == DeviceKind::Combined) {
        const bool temperature = model.IsComboTemperatureHalf(n);
        kind = temperature ? DeviceKind::Temperature : DeviceKind::Humidity;
        suffix = temperature ? "_Temp" : "_Humid";
        half = temperature ? " (Temperature)" : " (Humidity)";
    }
    const History history =
        LogHistory(files).Read(directory, record->deviceName, suffix, range, now);
    HistorySeries series = MakeHistorySeries(history, kind, prefs);
    series.title = record->deviceName + half;
    return series;
}

}  // namespace vigiltron
