#pragma once

#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>

#include "alerts/UnconfiguredTransports.h"
#include "app/Engine.h"
#include "config/MachineSettings.h"
#include "config/MemorySettingsTree.h"
#include "config/MemoryTextFileStore.h"
#include "sim/RecordingJournal.h"
#include "sim/RecordingSystemActions.h"
#include "sim/ScriptedDialogs.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/VirtualEventLoop.h"
#include "support/RecordingSmtpClient.h"

namespace vigiltron {

// The whole engine on virtual time, simulated ports, in-memory settings and a recording fake for
// the desktop session; the writable folder is a temporary one.
class EngineTestRig {
public:
    explicit EngineTestRig(LocalDateTime start) : clock(loop, start) {}

    // Stores a device record the way the setup window does.
    void SaveDevice(int n, const std::string& type, int port, const std::string& name,
                    bool logging = false) {
        const std::string section = "PortConfig\\Devices\\" + std::to_string(n);
        settings.SaveSetting(section, "DeviceType", type);
        settings.SaveSetting(section, "DeviceName", name);
        settings.SaveSetting(section, "Port", std::to_string(port));
        settings.SaveSetting(section, "SubIndex", "1");
        if (logging) {
            settings.SaveSetting(section, "TabLogging", "1");
            settings.SaveSetting(section, "FileLogging", "1");
        }
        settings.SaveSetting("Program Setup", "TotalDevices", std::to_string(n));
    }

    // Builds a fresh engine and runs its start-up; `beforeRun` may set hooks first.
    Engine& Start(const StartupSwitches& switches = {},
                  const std::function<void(Engine&)>& beforeRun = nullptr) {
        engine = std::make_unique<Engine>(
            EngineServices{loop, clock, dialogs, journal, ports, settings, machine, files, system,
                           sound, smtpClient, systemMail, folder.path().toStdString(), "/cfg",
                           nullptr, secrets, nullptr, nullptr, cameraBackend});
        if (beforeRun) {
            beforeRun(*engine);
        }
        engine->startup.Run(switches);
        return *engine;
    }

    QTemporaryDir folder;
    VirtualEventLoop loop;
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingJournal journal;
    SimulatedPortFactory ports{loop};
    MemorySettingsTree settings;
    FixedMachineSettings machine;
    MemoryTextFileStore files;  // the preferences file lives at "/cfg/vigiltron.ini"
    RecordingSystemActions system;
    SilentSoundPlayer sound;
    RecordingSmtpClient smtpClient;
    UnconfiguredMailTransport systemMail;
    SecretStore* secrets = nullptr;          // none: the passwords stay in the settings
    CameraBackend* cameraBackend = nullptr;  // none: no capture devices
    std::unique_ptr<Engine> engine;
};

}  // namespace vigiltron
