#include "app/Program.h"

#include <unistd.h>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <csignal>
#include <iostream>
#include <memory>
#include <optional>

#include "app/Engine.h"
#include "app/HeadlessJournal.h"
#include "app/ViewJournal.h"
#include "config/MemorySettingsTree.h"
#include "config/ProfileFile.h"
#include "platform/FileStore.h"
#include "platform/LinuxSystemActions.h"
#include "platform/PortMap.h"
#include "platform/QtEventLoop.h"
#include "platform/QtMachineSettings.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsTree.h"
#include "platform/QtSoundPlayer.h"
#include "sim/Scenario.h"
#include "sim/ScenarioRunner.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/VirtualEventLoop.h"

#ifdef VIGILTRON_WITH_UI
#include "ui/AlarmWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"
#endif

namespace vigiltron {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The settings of the shipped demo, read into memory so the user's own are never touched.
void LoadDemoSettings(MemorySettingsTree& tree, const std::string& path) {
    FileStore files;
    const auto read = files.ReadFile(path);
    const ProfileFile file = ProfileFile::Parse(read.contents);
    std::vector<std::string> sections = {"Program Setup", "Program Setup\\Internet Setup"};
    for (int n = 1; n <= 10; ++n) {
        sections.push_back("PortConfig\\Devices\\" + std::to_string(n));
    }
    for (int n = 1; n <= 4; ++n) {
        sections.push_back("Program Setup\\Prox" + std::to_string(n));
    }
    for (const auto& section : sections) {
        for (const auto& [key, value] : file.Entries(section)) {
            tree.SaveSetting(section, key, value);
        }
    }
}

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Ends the Qt loop cleanly on Ctrl+C or a service stop, so every port and file is closed.
void QuitOnTerminationSignals(QCoreApplication& app) {
    if (::pipe(signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.quit(); });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StartupSwitches SwitchesOf(const CommandLine& cmd) {
    StartupSwitches s;
    s.autoDetect = cmd.autoDetect;
    s.regClean = cmd.regClean;
    s.noCams = cmd.noCams;
    s.minimize = cmd.minimize;
    s.vtService = cmd.vtService;
    s.service = cmd.service;
    return s;
}

}  // namespace

ProgramPaths ResolvePaths(const CommandLine& cmd) {
    ProgramPaths paths;
    if (cmd.configDir) {
        const QString dir = QDir(QString::fromStdString(*cmd.configDir)).absolutePath();
        paths.configDirectory = dir.toStdString();
        paths.applicationFolder = dir.toStdString();
        paths.settingsFile = (dir + "/Vigiltron Manager.ini").toStdString();
        paths.machineSettingsFile = (dir + "/machine.ini").toStdString();
    } else {
        paths.configDirectory =
            (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Vigiltron")
                .toStdString();
        paths.settingsFile = paths.configDirectory + "/Vigiltron Manager.ini";
        const std::string home = Env("VIGILTRON_HOME");
        paths.applicationFolder =
            !home.empty() ? home
                          : (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             "/vigiltron-manager")
                                .toStdString();
    }
    if (cmd.demo && !cmd.configDir) {
        // The demo keeps its logs apart from the user's.
        paths.applicationFolder =
            (QDir::tempPath() + "/vigiltron-demo-" + QString::number(::getpid())).toStdString();
        paths.configDirectory = paths.applicationFolder;
    }
    QDir().mkpath(QString::fromStdString(paths.configDirectory));
    QDir().mkpath(QString::fromStdString(paths.applicationFolder));
    return paths;
}

std::string ResourcePath(const std::string& name) {
    const std::string override = Env("VIGILTRON_RESOURCES");
    if (!override.empty()) {
        return override + "/" + name;
    }
    const QString installed = QCoreApplication::applicationDirPath() +
                              "/../share/vigiltron-manager/" + QString::fromStdString(name);
    if (QFileInfo::exists(installed)) {
        return installed.toStdString();
    }
    return std::string(VIGILTRON_SOURCE_RESOURCES) + "/" + name;
}

int RunProgram(const CommandLine& cmd, int argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
#ifdef VIGILTRON_WITH_UI
    if (!cmd.headless) {
        app = std::make_unique<QApplication>(argc, argv);
    }
#endif
    if (!app) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setOrganizationName("Vigiltron");
    QCoreApplication::setApplicationName("Vigiltron Manager");

    // Hardware-free runs: read the scenario first, so a bad file stops the program before
    // anything is attached or started.
    std::optional<Scenario> scenario;
    if (cmd.simulateFile || cmd.demo) {
        const std::string path =
            cmd.simulateFile ? *cmd.simulateFile : ResourcePath("demo/demo.scenario");
        ScenarioParseResult parsed = LoadScenarioFile(path);
        if (!parsed.Ok()) {
            std::cerr << "vigiltron-manager: " << parsed.error << "\n";
            return 2;
        }
        scenario = std::move(parsed.scenario);
    }

    const ProgramPaths paths = ResolvePaths(cmd);

    std::unique_ptr<EventLoop> loop;
    std::unique_ptr<Clock> clock;
    VirtualEventLoop* virtualLoop = nullptr;
    if (cmd.virtualTimeSeconds) {
        auto owned = std::make_unique<VirtualEventLoop>();
        virtualLoop = owned.get();
        clock = std::make_unique<VirtualClock>(*owned, SystemClock().Now());
        loop = std::move(owned);
    } else {
        loop = std::make_unique<QtEventLoop>();
        clock = std::make_unique<SystemClock>();
    }

    std::unique_ptr<Journal> journal;
    std::unique_ptr<Dialogs> dialogs;
    if (cmd.headless) {
        journal = std::make_unique<StreamJournal>(std::cout, *clock);
        dialogs = std::make_unique<HeadlessDialogs>(*journal);
    } else {
        journal = std::make_unique<NullJournal>();
#ifdef VIGILTRON_WITH_UI
        dialogs = std::make_unique<QtDialogs>();
#else
        dialogs = std::make_unique<HeadlessDialogs>(*journal);
#endif
    }

    std::unique_ptr<SettingsTree> settings;
    if (cmd.demo) {
        auto memory = std::make_unique<MemorySettingsTree>();
        LoadDemoSettings(*memory, ResourcePath("demo/settings.ini"));
        settings = std::move(memory);
    } else {
        settings = std::make_unique<QtSettingsTree>(QString::fromStdString(paths.settingsFile));
    }
    std::unique_ptr<MachineSettings> machine;
    if (cmd.demo) {
        machine = std::make_unique<FixedMachineSettings>();
    } else if (!paths.machineSettingsFile.empty()) {
        machine =
            std::make_unique<QtMachineSettings>(QString::fromStdString(paths.machineSettingsFile));
    } else {
        machine = std::make_unique<QtMachineSettings>();
    }

    std::unique_ptr<SerialPortFactory> ports;
    std::unique_ptr<ScenarioRunner> runner;
    if (scenario) {
        auto simulated = std::make_unique<SimulatedPortFactory>(*loop);
        runner = std::make_unique<ScenarioRunner>(*loop, *simulated);
        runner->Start(*scenario);
        journal->Record("status",
                        "simulated sensors attached: " + std::to_string(scenario->sensors.size()));
        ports = std::move(simulated);
    } else {
        ports = std::make_unique<QtSerialPortFactory>(PortMap::FromSettings(*settings));
    }

    FileStore files;
    LinuxSystemActions system;
    // Headless runs are silent: nobody is there to hear the alarm.
    std::unique_ptr<SoundPlayer> sound;
    if (cmd.headless) {
        sound = std::make_unique<SilentSoundPlayer>();
    } else {
        sound = std::make_unique<QtSoundPlayer>(QString::fromStdString(ResourcePath("alert.wav")));
    }
    Engine engine(EngineServices{*loop, *clock, *dialogs, *journal, *ports, *settings, *machine,
                                 files, system, *sound, paths.applicationFolder,
                                 paths.configDirectory});

    std::unique_ptr<ViewJournal> viewJournal;
    if (cmd.headless) {
        viewJournal = std::make_unique<ViewJournal>(engine.view, *journal, *loop);
    }

#ifdef VIGILTRON_WITH_UI
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<AlarmWindow> alarmWindow;
    if (!cmd.headless) {
        MainWindowCommands commands;
        commands.connectAll = [&engine] { engine.link.cmdConnectAll_Click(); };
        commands.toggleConnect = [&engine](int n) { engine.link.cmdConnectSensor_Click(n); };
        commands.clearHighLow = [&engine](Tab tab, int slot) {
            engine.link.ClearHighLow(tab, slot);
        };
        commands.exitRequested = [&engine] {
            if (engine.startup.ConfirmExit()) {
                QCoreApplication::quit();
            }
        };
        commands.clearLocalLog = [&engine](Tab tab, int slot) {
            engine.logFiles.ClearLocalLog(tab, slot);
        };
        commands.slotButton = [&engine](Tab tab, int slot, SlotButton button) {
            StreamingSensors& sensors = engine.streaming;
            const bool accelerometer = tab == Tab::Accelerometer;
            switch (button) {
                case SlotButton::Mode:
                    accelerometer ? sensors.cmdSetToBump_Click(slot)
                                  : sensors.cmdSetToProximityMode_Click(slot);
                    break;
                case SlotButton::Sensitivity:
                    accelerometer ? sensors.cmdSetBumpSens_Click(slot)
                                  : sensors.cmdSensD_Click(slot);
                    break;
                case SlotButton::Calibrate:
                    sensors.cmdCalibrate_Click(slot);
                    break;
                case SlotButton::DPlus:
                    sensors.cmdDPlus_Click(slot);
                    break;
            }
        };
        commands.setLogFileDirectory = [&engine] { engine.logFiles.SetLogFileDirectory(); };
        commands.openLogFiles = [&engine] { engine.logFiles.OpenLogFiles(); };
        commands.savePreferencesToFile = [&engine] { engine.startup.SavePreferencesToFile(); };
        commands.placeInStartup = [&engine](bool on) { engine.startup.PlaceInSystemStartup(on); };
        commands.removeFromStartup = [&engine] { engine.startup.RemoveFromStartup(); };
        commands.registryCleanOut = [&engine] { engine.startup.RegistryCleanOut(); };
        window = std::make_unique<MainWindow>(engine.view, commands);
        static_cast<QtDialogs*>(dialogs.get())->SetParentWindow(window.get());
        window->show();
        alarmWindow = std::make_unique<AlarmWindow>(
            engine.view,
            AlarmWindowCommands{[&engine] { engine.alerts.Continue(); },
                                [&engine] { engine.alerts.DisableAllAlarms(); }},
            window.get());
        // Start-up decides where the window goes: centred, minimised, or (until the tray icon
        // exists) minimised in place of the tray.
        engine.view.Subscribe([&engine, w = window.get(), placed = false]() mutable {
            if (!placed && engine.view.mainWindowPlacement != ViewModel::WindowPlacement::Centred) {
                placed = true;  // once: the user may restore the window afterwards
                w->showMinimized();
            }
        });
    }
#endif

    journal->Record("status", "starting; settings in " + paths.configDirectory + ", files in " +
                                  paths.applicationFolder);
    // Start-up runs once the loop is running, as the main window's load does.
    loop->Post([&engine, &cmd] { engine.startup.Run(SwitchesOf(cmd)); });

    int exitCode = 0;
    if (virtualLoop) {
        virtualLoop->RunFor(Milliseconds(std::llround(*cmd.virtualTimeSeconds * 1000.0)));
    } else {
        QuitOnTerminationSignals(*app);
        exitCode = app->exec();
    }
    engine.startup.ShutDown();
    return exitCode;
}

}  // namespace vigiltron
