#pragma once

#include <memory>
#include <string>

#include "config/ConfigStore.h"
#include "config/MachineSettings.h"
#include "config/Preferences.h"
#include "config/SettingsTree.h"
#include "config/Startup.h"
#include "config/TextFileStore.h"
#include "core/Clock.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Journal.h"
#include "core/SensorLink.h"
#include "core/SerialPort.h"
#include "core/SystemActions.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"

namespace vigiltron {

// The outside world as the engine sees it: real adapters or simulated ones.
struct EngineServices {
    EventLoop& loop;
    Clock& clock;
    Dialogs& dialogs;
    Journal& journal;
    SerialPortFactory& ports;
    SettingsTree& settings;
    MachineSettings& machine;
    TextFileStore& files;
    SystemActions& system;
    std::string applicationFolder;
    std::string configDirectory;
};

// Readings pass through here to threshold evaluation and logging.
class EngineReadings : public ReadingObserver {
public:
    void CheckTThresh(const std::string&, int, int, int, bool) override {}
    void CheckHThresh(const std::string&, int, int, int, bool) override {}
    void FileTabLogging(const std::string&, int, int, const std::string&) override {}
    void ClearTemperatureLatches() override {}
    void ClearHumidityLatches() override {}
};

// Every part of the engine, wired together once. The windows and the headless journal observe
// `view`; commands go to `link` and `startup`.
class Engine {
public:
    explicit Engine(EngineServices services);

    // Copies the preferences into the parts that keep their own working copy.
    void ApplyPreferences();

    EngineServices services;
    ViewModel view;
    Preferences prefs;
    DeviceModel model;
    LinkSettings linkSettings;
    LogFiles::Settings logSettings;
    LogFiles logFiles;
    ConfigStore config;
    EngineReadings readings;
    SensorLink link;
    Startup startup;
};

}  // namespace vigiltron
