#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "alerts/AlertDispatcher.h"
#include "alerts/ProximityActions.h"
#include "alerts/ThresholdEvaluator.h"
#include "alerts/UnconfiguredTransports.h"
#include "config/ConfigStore.h"
#include "config/MachineSettings.h"
#include "config/MemorySettingsTree.h"
#include "config/MemoryTextFileStore.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "reporting/LogFiles.h"
#include "sensors/DeviceSetup.h"
#include "sensors/LineStateSensors.h"
#include "sensors/PortScan.h"
#include "sensors/ReadingPipeline.h"
#include "sensors/SensorLink.h"
#include "sensors/SetupPreferences.h"
#include "sim/MemorySerialDeviceDirectory.h"
#include "sim/RecordingSystemActions.h"
#include "sim/ScriptedDialogs.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {

// The sensor layer wired as the program wires it — link, line-state sensors, reading pipeline,
// device setup, port scan and preference rules over simulated ports, in-memory stores and a
// fresh log directory — without the streaming sensors and the start-up. `logSystem` replaces
// the real file system under the log files when given.
struct SensorRig {
    explicit SensorRig(LogFileSystem* logSystem = nullptr) : logSystem_(logSystem) {
        const auto* test = ::testing::UnitTest::GetInstance();
        logDir = std::filesystem::temp_directory_path() /
                 ("vigiltron-rig-" + std::to_string(test->random_seed()) + "-" +
                  test->current_test_info()->name());
        std::filesystem::remove_all(logDir);
        std::filesystem::create_directories(logDir);
        prefs.logdir = logDir.string();
        logFiles.defaultLogDirectory = logDir.string();
        link.AttachEventSensors(lineState, lineState);
        link.ApplyReadingInterval();
    }
    ~SensorRig() { std::filesystem::remove_all(logDir); }
    SensorRig(const SensorRig&) = delete;
    SensorRig& operator=(const SensorRig&) = delete;

private:
    LogFileSystem* logSystem_;

public:
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0}};
    ScriptedDialogs dialogs;
    NullJournal journal;
    SimulatedPortFactory ports{loop};
    MemorySettingsTree settings;
    FixedMachineSettings machine;
    MemoryTextFileStore files;  // the preferences file is "/cfg/vigiltron.ini"
    DeviceModel model{dialogs, settings};
    ViewModel view;
    Preferences prefs = Preferences::Defaults("/unused");
    ConfigStore config{settings, machine, files, dialogs, clock, model, "/app", "/cfg"};
    SilentSoundPlayer sound;
    UnconfiguredMailTransport systemMail;
    UnconfiguredSmtpMailer smtp;
    UnconfiguredPager pager;
    AlertDispatcher alerts{AlertDispatcher::Services{prefs,
                                                     view,
                                                     model,
                                                     dialogs,
                                                     journal,
                                                     clock,
                                                     settings,
                                                     sound,
                                                     systemMail,
                                                     smtp,
                                                     pager,
                                                     {},
                                                     {}}};
    ThresholdEvaluator evaluator{
        ThresholdEvaluator::Services{prefs, view, model, alerts, {}, [] { return false; }}};
    std::filesystem::path logDir;
    LogFiles logFiles{
        LogFiles::Services{loop, clock, dialogs, model, view, settings, prefs, logSystem_}};
    RecordingSystemActions system;
    ProximityActions proximity{
        ProximityActions::Services{prefs, settings, dialogs, loop, system, model, view}, {}};
    ReadingPipeline readings{ReadingPipeline::Services{clock, journal, model, view, prefs,
                                                       evaluator, proximity, logFiles}};
    SensorLink link{SensorLink::Services{loop, dialogs, journal, ports, model, view, prefs,
                                         readings, logFiles, nullptr,
                                         [this](int n) { deviceSetup.DeleteDevice(n); }}};
    LineStateSensors lineState{LineStateSensors::Services{loop, clock, dialogs, model, view, prefs,
                                                          link, evaluator, proximity, readings}};
    DeviceSetup deviceSetup{DeviceSetup::Services{model, view, dialogs, journal, settings, config,
                                                  prefs, link, proximity}};
    MemorySerialDeviceDirectory byId;
    PortScan portScan{PortScan::Services{loop, dialogs, journal, ports, settings, model, view,
                                         deviceSetup, byId}};
    bool loading = false;
    SetupPreferences setupPreferences{
        SetupPreferences::Services{prefs, view, dialogs, settings, config, model, link, lineState,
                                   logFiles, proximity, [this] { return loading; }}};
};

}  // namespace vigiltron
