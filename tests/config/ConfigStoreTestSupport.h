#pragma once

#include <string>

#include "config/ConfigStore.h"
#include "config/MachineSettings.h"
#include "config/MemorySettingsTree.h"
#include "config/MemoryTextFileStore.h"
#include "core/DeviceModel.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {

// Everything a ConfigStore talks to, in memory; the preferences file is "/cfg/vigiltron.ini".
struct ConfigStoreRig {
    static constexpr const char* kPrefsPath = "/cfg/vigiltron.ini";

    MemorySettingsTree tree;
    FixedMachineSettings machine;
    MemoryTextFileStore files;
    ScriptedDialogs dialogs;
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0}};
    DeviceModel devices{dialogs, tree};
    ConfigStore store{tree, machine, files, dialogs, clock, devices, "/app", "/cfg"};

    std::string PrefsFile() const { return files.Contents(kPrefsPath); }
};

}  // namespace vigiltron
