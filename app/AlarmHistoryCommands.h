#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "reporting/AlarmHistory.h"

namespace vigiltron {

// What the "Alarm history" window asks of the program. An empty function does nothing (an empty
// `read` shows an empty history).
struct AlarmHistoryCommands {
    // The records that pass a filter, with the count of damaged lines and any read error.
    std::function<AlarmHistoryRead(const AlarmHistoryFilter&)> read;
    // "Export...": the records the window shows; the program asks where and reports the outcome.
    std::function<void(const std::vector<AlarmRecord>&)> exportRecords;
    // How many records have been added so far; the open window reads again when it grows.
    std::function<std::uint64_t()> changes;
    // "Close" and the title bar's close (the window hides itself as well).
    std::function<void()> close;
};

// The commands over the program's alarm history.
inline AlarmHistoryCommands AlarmHistoryCommandsFor(AlarmHistory& history) {
    AlarmHistoryCommands commands;
    commands.read = [&history](const AlarmHistoryFilter& filter) { return history.Read(filter); };
    commands.exportRecords = [&history](const std::vector<AlarmRecord>& records) {
        history.Export(records);
    };
    commands.changes = [&history] { return history.AppendCount(); };
    return commands;
}

}  // namespace vigiltron
