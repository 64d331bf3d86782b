#include "app/Program.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>

#include "app/AlarmControl.h"
#include "app/ConfigureCommand.h"
#include "app/ContactWindowsWiring.h"
#include "app/DesktopFrontEnd.h"
#include "app/DesktopModule.h"
#include "app/DeviceWindowsWiring.h"
#include "app/Engine.h"
#include "app/HeadlessJournal.h"
#include "app/MainWindowWiring.h"
#include "app/ResourcePath.h"
#include "app/SetupWindowWiring.h"
#include "app/ViewJournal.h"
#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "config/ProfileFile.h"
#include "platform/ControlSocket.h"
#include "platform/ControlSocketServer.h"
#include "platform/CurlFtpClient.h"
#include "platform/CurlSmtpClient.h"
#include "platform/FileStore.h"
#include "platform/KeychainSecretStore.h"
#include "platform/LinuxSystemActions.h"
#include "platform/MosquittoMqttClient.h"
#include "platform/PortMap.h"
#include "platform/QtEventLoop.h"
#include "platform/QtMachineSettings.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsTree.h"
#include "platform/SendmailTransport.h"
#include "platform/SerialByIdDirectory.h"
#include "sim/Scenario.h"
#include "sim/ScenarioRunner.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/VirtualEventLoop.h"

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
        sections.push_back(CameraSection(n));
    }
    for (const auto& section : sections) {
        for (const auto& [key, value] : file.Entries(section)) {
            tree.SaveSetting(section, key, value);
        }
    }
}

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t terminationRequested = 0;

void OnTerminationSignal(int) {
    terminationRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Ends the Qt loop cleanly on Ctrl+C or a service stop, so every port and file is closed. (A
// virtual-time run looks at `terminationRequested` instead: its loop never waits on the pipe.)
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

// A new folder for one demo run, named after the process; empty when none can be made. Only a
// folder made here is removed at the end, so one that is already there (left by a crashed run,
// or put there by someone else) is never taken over: the run gets a unique name instead.
std::string MakeDemoFolder() {
    const QString named = QDir::tempPath() + "/vigiltron-demo-" + QString::number(::getpid());
    if (QDir().mkdir(named, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return named.toStdString();
    }
    QTemporaryDir unique(named + "-XXXXXX");
    if (!unique.isValid()) {
        return {};
    }
    unique.setAutoRemove(false);
    return unique.path().toStdString();
}

// Removes the demo's folder when the run ends, by any way short of a crash: the end of the
// virtual time, the window's Exit, or a termination signal (which ends the loop).
class TemporaryFolderRemoval {
public:
    explicit TemporaryFolderRemoval(std::string path) : path_(std::move(path)) {}
    ~TemporaryFolderRemoval() {
        if (!path_.empty() && !QDir(QString::fromStdString(path_)).removeRecursively()) {
            std::cerr << "vigiltron-manager: could not remove the demo files in " << path_ << "\n";
        }
    }
    TemporaryFolderRemoval(const TemporaryFolderRemoval&) = delete;
    TemporaryFolderRemoval& operator=(const TemporaryFolderRemoval&) = delete;

private:
    std::string path_;
};

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
        // The demo keeps its logs apart from the user's, in a folder that goes when it ends.
        paths.temporaryFolder = MakeDemoFolder();
        paths.applicationFolder =
            !paths.temporaryFolder.empty()
                ? paths.temporaryFolder
                : (QDir::tempPath() + "/vigiltron-demo-" + QString::number(::getpid()))
                      .toStdString();
        paths.configDirectory = paths.applicationFolder;
    }
    QDir().mkpath(QString::fromStdString(paths.configDirectory));
    QDir().mkpath(QString::fromStdString(paths.applicationFolder));
    return paths;
}

int RunProgram(const CommandLine& cmd, int argc, char** argv) {
    // A configure operation changes or shows the configuration and exits: no window, no sensors.
    if (cmd.configure.operation != ConfigureOperation::None) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setOrganizationName("Vigiltron");
        QCoreApplication::setApplicationName("Vigiltron Manager");
        return RunConfigureCommand(cmd, ResolvePaths(cmd));
    }
    // A windowed run needs the desktop module before anything else: it makes the application
    // object. Headless runs never load it, nor the Widgets, Gui and Multimedia it brings.
    std::unique_ptr<DesktopFrontEnd> desktop;
    if (!cmd.headless) {
        const std::string modulePath = DesktopModulePath(argc > 0 ? argv[0] : nullptr);
        LoadedDesktop loaded = LoadDesktopFrontEnd(modulePath);
        if (!loaded.frontEnd) {
            std::cerr << "vigiltron-manager: cannot load the windows from " << modulePath << ": "
                      << loaded.error << "\n"
                      << "Run with --headless to use the program without windows.\n";
            return 1;
        }
        desktop = std::move(loaded.frontEnd);
    }
    std::unique_ptr<QCoreApplication> app = desktop
                                                ? desktop->MakeApplication(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName("Vigiltron");
    QCoreApplication::setApplicationName("Vigiltron Manager");
    QuitOnTerminationSignals(*app);

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
    // Declared before everything that writes there, so it goes after all of it.
    const TemporaryFolderRemoval removeDemoFiles(paths.temporaryFolder);
    if (!cmd.headless && !paths.temporaryFolder.empty()) {
        // Headless runs say it in the journal's first lines.
        std::cerr << ("vigiltron-manager: demo files in " + paths.temporaryFolder +
                      " (removed at exit; --config-dir DIR keeps them)\n");
    }

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
    if (desktop) {
        journal = std::make_unique<NullJournal>();
        dialogs = desktop->MakeDialogs();
    } else {
        journal = std::make_unique<StreamJournal>(std::cout, *clock);
        dialogs = std::make_unique<HeadlessDialogs>(*journal);
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
        runner = std::make_unique<ScenarioRunner>(*loop, *simulated, clock.get());
        runner->Start(*scenario);
        journal->Record("status",
                        "simulated sensors attached: " + std::to_string(scenario->sensors.size()));
        ports = std::move(simulated);
    } else {
        ports = std::make_unique<QtSerialPortFactory>(PortMap::FromSettings(*settings));
    }

    // The demo's settings live in memory and must never reach the user's keyring.
    std::unique_ptr<SecretStore> secrets;
    if (!cmd.demo) {
        secrets = std::make_unique<KeychainSecretStore>(
            *journal, cmd.configDir ? paths.configDirectory : std::string());
    }
    FileStore files;
    // Without a keyring the preferences file holds the passwords: it is then the user's alone.
    files.SetOwnerOnly([&secrets] { return !secrets || !secrets->Available(); });
    // The status page is for a web server running as another user to read.
    FileStore publishedFiles;
    publishedFiles.SetNewFilesShared(true);
    LinuxSystemActions system;
    // Headless runs are silent: nobody is there to hear the alarm.
    std::unique_ptr<SoundPlayer> sound;
    if (desktop) {
        sound = desktop->MakeSoundPlayer(ResourcePath("alert.wav"));
    } else {
        sound = std::make_unique<SilentSoundPlayer>();
    }
    // A simulated run has no USB serial devices to look up by serial number.
    SerialByIdDirectory serialDevices;
    // Mail goes out on a worker thread. The Qt loop takes its results from any thread; the
    // virtual-time loop cannot, so its once-a-second watch below collects them.
    CurlSmtpClient smtpClient(
        virtualLoop ? CurlSmtpClient::Post()
                    : [&loop](std::function<void()> work) { loop->Post(std::move(work)); });
    SendmailTransport systemMail;
    // The remote-monitoring uploads work the same way as the mail.
    CurlFtpClient ftpClient(
        virtualLoop ? CurlFtpClient::Post()
                    : [&loop](std::function<void()> work) { loop->Post(std::move(work)); });
    // And so does the MQTT broker connection; the engine decides whether to use it.
    MosquittoMqttClient mqttClient(
        virtualLoop ? MosquittoMqttClient::Post()
                    : [&loop](std::function<void()> work) { loop->Post(std::move(work)); });
    // Cameras: a simulated run has only its synthetic ones; the USB cameras come with the
    // windows' libraries, which a headless run does not load.
    std::unique_ptr<CameraBackend> usbCameras;
    CameraBackend* cameraBackend = nullptr;
    if (runner) {
        cameraBackend = &runner->Cameras();
    } else if (desktop) {
        usbCameras = desktop->MakeCameraBackend(*loop);
        cameraBackend = usbCameras.get();
    }
    Engine engine(EngineServices{*loop,
                                 *clock,
                                 *dialogs,
                                 *journal,
                                 *ports,
                                 *settings,
                                 *machine,
                                 files,
                                 system,
                                 *sound,
                                 smtpClient,
                                 systemMail,
                                 paths.applicationFolder,
                                 paths.configDirectory,
                                 scenario ? nullptr : &serialDevices,
                                 secrets.get(),
                                 &ftpClient,
                                 &publishedFiles,
                                 cameraBackend,
                                 cameraBackend ? "No video capture devices found"
                                               : "USB cameras are shown by the windowed program; "
                                                 "a headless run does not open them.",
                                 &mqttClient});

    engine.help.helpFile = ResourcePath("README.TXT");
    engine.ftp.stylesheetFile = StatusPageStylesheet(paths.applicationFolder);

    // `--ack` and `--snooze` of another process reach this run through its control socket.
    ControlSocketServer control([&engine, user = CurrentUserName()](const std::string& line) {
        return CarryOutAlarmControl(engine, line, user).Line();
    });
    if (const std::string why = control.Listen(ControlSocketPath(paths.configDirectory));
        !why.empty()) {
        journal->Record("status", "--ack and --snooze cannot reach this run: " + why);
    } else if (!virtualLoop) {
        control.ServeFromEventLoop();
    }

    std::unique_ptr<ViewJournal> viewJournal;
    if (cmd.headless) {
        viewJournal = std::make_unique<ViewJournal>(engine.view, *journal, *loop);
    }

    std::unique_ptr<DesktopWindows> windows;
    if (desktop) {
        engine.view.trayAvailable = desktop->TrayAvailable();
        DesktopCommands commands;
        commands.main = MainWindowCommandsFor(engine, *clock);
        commands.devices = DeviceWindowsCommandsFor(engine);
        commands.main.addDevice = commands.devices.openAddWindow;
        commands.contacts = ContactWindowsCommandsFor(engine);
        commands.main.openEmailSetup = commands.contacts.openEmailSetup;
        commands.main.openPagingSetup = commands.contacts.openPagingSetup;
        commands.main.openRemoteMonitoring = commands.contacts.openRemoteMonitoring;
        commands.setup = SetupWindowCommandsFor(engine);
        commands.setup.addDevice = commands.devices.openAddWindow;
        commands.setup.openEmailSetup = commands.contacts.openEmailSetup;
        commands.setup.openPagingSetup = commands.contacts.openPagingSetup;
        commands.setup.openRemoteMonitoring = commands.contacts.openRemoteMonitoring;
        commands.setup.placeInTray = [&engine](bool on) {
            on ? void(engine.shell.mnuPlaceInSysTray_Click())
               : engine.shell.mnuTakeOutOfSysTray_Click();
        };
        if (cmd.screenshotDirectory) {
            commands.screenshotDirectory = *cmd.screenshotDirectory;
            commands.setPreference = [&engine](const std::string& key, const std::string& value) {
                engine.setupPreferences.SetPreference(key, value);
            };
            commands.openAddWindowQuietly = [&engine] { engine.deviceSetup.OpenAddWindow(true); };
            commands.publishStatusPage = [&engine](const std::string& directory) {
                // For the picture only: the user's own publishing settings are put back.
                QDir().mkpath(QString::fromStdString(directory));
                const Preferences kept = engine.prefs;
                engine.prefs.UseDirectory = true;
                engine.prefs.txtXMLDirectory = directory;
                engine.ftp.PublishNow();
                engine.prefs.UseDirectory = kept.UseDirectory;
                engine.prefs.txtXMLDirectory = kept.txtXMLDirectory;
            };
        }
        commands.alarmContinue = [&engine] { engine.alerts.Continue(); };
        commands.alarmDisableAll = [&engine] { engine.alerts.DisableAllAlarms(); };
        commands.alarmAcknowledge = AlarmWindowAcknowledgeFor(engine);
        commands.alarmSnooze = AlarmWindowSnoozeFor(engine);
        windows = desktop->ShowWindows(engine.view, engine.prefs, *dialogs, std::move(commands));
    }

    journal->Record("status", "starting; settings in " + paths.configDirectory + ", files in " +
                                  paths.applicationFolder);
    // Start-up runs once the loop is running, as the main window's load does.
    loop->Post([&engine, &cmd] {
        engine.startup.Run(SwitchesOf(cmd));
        engine.LoadSetupWindow();
    });

    int exitCode = 0;
    if (virtualLoop) {
        // The virtual loop never waits on the signal pipe, so it looks for a termination signal
        // (and takes in the mail, upload and broker outcomes and the control socket's requests)
        // once a simulated second and then ends as the end of its time would.
        TimerId watch = 0;
        std::function<void()> watchForSignals = [&] {
            smtpClient.DeliverFinished();
            ftpClient.DeliverFinished();
            mqttClient.DeliverFinished();
            control.Poll();
            if (terminationRequested) {
                virtualLoop->Stop();
            } else {
                watch = virtualLoop->StartTimer(std::chrono::seconds(1), watchForSignals);
            }
        };
        watchForSignals();
        virtualLoop->RunFor(Milliseconds(std::llround(*cmd.virtualTimeSeconds * 1000.0)));
        virtualLoop->CancelTimer(watch);  // shut-down may still run the loop
    } else {
        exitCode = app->exec();
    }
    engine.startup.ShutDown();
    return exitCode;
}

}  // namespace vigiltron
