#include "app/ConfigureCommand.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "alerts/UnconfiguredTransports.h"
#include "app/AlarmControl.h"
#include "app/Engine.h"
#include "app/HeadlessJournal.h"
#include "app/ResourcePath.h"
#include "config/MemoryTextFileStore.h"
#include "config/ProfileFile.h"
#include "config/RegistryImport.h"
#include "platform/ControlSocket.h"
#include "platform/ControlSocketClient.h"
#include "platform/CurlFtpClient.h"
#include "platform/CurlSmtpClient.h"
#include "platform/FileStore.h"
#include "platform/KeychainSecretStore.h"
#include "platform/LinuxSystemActions.h"
#include "platform/PortMap.h"
#include "platform/QtEventLoop.h"
#include "platform/QtMachineSettings.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsTree.h"
#include "platform/SendmailTransport.h"
#include "reporting/AlarmHistory.h"
#include "sim/Scenario.h"
#include "sim/ScenarioRunner.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {

namespace {

// A settings export is a few kilobytes; anything near this is not one, and is not read whole.
constexpr qint64 kLargestSettingsExport = 8 * 1024 * 1024;

// Takes down what is saved, in order, and holds nothing: every read gives the default. Saving the
// preferences into it gives every key with the text the store would write.
class RecordingSettingsTree : public SettingsTree {
public:
    std::string GetSetting(const std::string&, const std::string&,
                           const std::string& defaultValue) const override {
        return defaultValue;
    }
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override {
        saved.emplace_back(section, key, value);
    }
    void DeleteSetting(const std::string&) override {}

    std::vector<std::tuple<std::string, std::string, std::string>> saved;
};

// A listing on a terminal or in a log never repeats a password, wherever it is kept.
std::string Shown(const std::string& key, const std::string& value) {
    if (ConfigStore::IsPasswordKey(key) && !value.empty()) {
        return "********";
    }
    return value;
}

// The kind of an entry in the words of --add, with the half of a combined sensor.
std::string KindWord(const DeviceRecord& r) {
    switch (KindFromDeviceType(r.deviceType)) {
        case DeviceKind::Temperature:
            return "temperature";
        case DeviceKind::Humidity:
            return "humidity";
        case DeviceKind::Proximity:
            return "proximity";
        case DeviceKind::Water:
            return "water";
        case DeviceKind::Combined:
            return r.deviceType == kTypeComboTemperature ? "combined (temperature half)"
                                                         : "combined (humidity half)";
        case DeviceKind::Accelerometer:
            return "accelerometer";
        case DeviceKind::Distance:
            return "distance";
        case DeviceKind::MotionCamera:
        case DeviceKind::Camera:
        case DeviceKind::CameraV2:
            return "camera";
        case DeviceKind::Empty:
        case DeviceKind::NotConnected:
            break;
    }
    return "unknown device type \"" + r.deviceType + "\"";
}

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

}  // namespace

ConfigureCommand::ConfigureCommand(Engine& engine, const CommandLine& cmd,
                                   const ProgramPaths& paths, const ScenarioRunner* scenario,
                                   std::ostream& out)
    : engine_(engine), cmd_(cmd), paths_(paths), scenario_(scenario), out_(out) {}

int ConfigureCommand::Run() {
    switch (cmd_.configure.operation) {
        case ConfigureOperation::List:
            return List();
        case ConfigureOperation::ImportSettings:
            return ImportSettings();
        case ConfigureOperation::History:
            return History();
        default:
            return RunEngineOperation(cmd_.configure);
    }
}

// ==== Operations on the device list and the preferences ====
// Each runs the same engine operation as the setup window, on the stored configuration; the
// operation's own messages are printed as they come. 0 when done, 1 when refused.

namespace {

// The add window's type text of a KIND word of the command line.
std::string TypeOfKind(const std::string& kind) {
    if (kind == "temperature")
        return kTypeTemperature;
    if (kind == "humidity")
        return kTypeHumidity;
    if (kind == "combined")
        return kTypeComboOffered;
    if (kind == "proximity")
        return kTypeProximity;
    if (kind == "water")
        return kTypeWater;
    if (kind == "accelerometer")
        return kTypeAccelerometer;
    if (kind == "distance")
        return kTypeDistance;
    return {};
}

}  // namespace

int ConfigureCommand::RunEngineOperation(const ConfigureRequest& request) {
    if (!Load()) {
        return 1;
    }
    bool done = false;
    switch (request.operation) {
        case ConfigureOperation::Scan:
            for (const std::string& line : engine_.portScan.MakeComPortList2(request.allPorts)) {
                out_ << line << "\n";
            }
            return 0;
        case ConfigureOperation::Add: {
            DeviceRequest add;
            add.type = TypeOfKind(request.kind);
            add.name = request.name;
            add.port = request.comNumber;
            add.startInBump = request.bump;
            add.calibrateOnConnect = request.calibrate;
            add.startInProx = request.proximityMode;
            done = engine_.deviceSetup.AddDevice(add);
            break;
        }
        case ConfigureOperation::AddFound: {
            const std::vector<std::string> found =
                engine_.portScan.MakeComPortList2(request.allPorts);
            for (const std::string& line : found) {
                out_ << line << "\n";
            }
            done = engine_.portScan.AddSelectedToSetup(found);
            if (!done) {
                out_ << "No sensor was added.\n";
            }
            break;
        }
        case ConfigureOperation::Rename:
            done = engine_.deviceSetup.RenameDevice(request.setupIndex, request.name);
            break;
        case ConfigureOperation::Move:
            done = engine_.deviceSetup.MoveDevice(request.setupIndex, request.comNumber);
            break;
        case ConfigureOperation::Remove:
            done = engine_.deviceSetup.DeleteDevice(request.setupIndex);
            break;
        case ConfigureOperation::Set:
            // Each value through the window's own rules, in the order given; the first one
            // refused stops the rest, and what was accepted before it stays saved.
            done = true;
            for (const auto& [key, value] : request.settings) {
                if (!engine_.setupPreferences.SetPreference(key, value)) {
                    done = false;
                    break;
                }
                out_ << key << "=" << Shown(key, value) << ": set\n";
            }
            break;
        case ConfigureOperation::TestMail:
            done = SendTestMail();
            break;
        case ConfigureOperation::TestPage: {
            const PageResult page = engine_.pager.NumericPagerTest();
            out_ << "page " << (page.sent ? "sent" : "not sent")
                 << (page.description.empty() ? "" : ": " + page.description) << "\n";
            done = page.sent;
            break;
        }
        case ConfigureOperation::PublishNow:
            done = PublishNow();
            break;
        case ConfigureOperation::None:
        case ConfigureOperation::List:
        case ConfigureOperation::ImportSettings:
        case ConfigureOperation::History:
        case ConfigureOperation::Acknowledge:
        case ConfigureOperation::Snooze:
            break;
    }
    return done ? 0 : 1;
}

bool ConfigureCommand::SendTestMail() {
    if (!engine_.prefs.optUseSMTP) {
        // The mail command answers at once: its result is the outcome.
        const bool sent = engine_.alerts.SendMail("Test MAPI Email", 0, 1, 1, false);
        out_ << (sent ? "Test email handed to the mail command.\n"
                      : "Test email not sent.  Please be sure you have the server address and "
                        "login information (if needed) completed.\n");
        return sent;
    }
    std::optional<bool> sent;
    engine_.smtp.testFinished = [&sent](bool delivered) { sent = delivered; };
    engine_.smtp.TestSmtpEmail(engine_.prefs.SMTPHostServer);
    // The server's own time-out ends the attempt; the extra margin covers connecting.
    const long long seconds =
        std::max(1LL, std::strtoll(engine_.prefs.SMTPTimeoutSeconds.c_str(), nullptr, 10));
    engine_.services.loop.WaitUntil(std::chrono::seconds(seconds * 3 + 5),
                                    [&sent] { return sent.has_value(); });
    engine_.smtp.testFinished = nullptr;
    for (const std::string& line : engine_.view.contactSetup.emailStatus) {
        out_ << line << "\n";
    }
    if (!sent) {
        out_ << "Mail not sent: no answer in time\n";
    }
    return sent.value_or(false);
}

bool ConfigureCommand::PublishNow() {
    const bool delivered = engine_.ftp.PublishNow();
    out_ << (delivered ? "Status page delivered.\n" : "Status page not delivered.\n");
    return delivered;
}

bool ConfigureCommand::Load() {
    StartupSwitches switches;
    switches.vtService = cmd_.vtService;
    switches.service = cmd_.service;
    return engine_.startup.LoadWithoutConnecting(switches);
}

int ConfigureCommand::ImportSettings() {
    const std::string& path = cmd_.configure.file;
    const QFileInfo file(QString::fromStdString(path));
    if (!file.isFile()) {
        out_ << "Cannot import " << path << ": no such file\n";
        return 1;
    }
    if (file.size() > kLargestSettingsExport) {
        out_ << "Cannot import " << path << ": at " << file.size()
             << " bytes it is far too large for a settings export\n";
        return 1;
    }
    // The settings are saved by writing a new file beside the old one and renaming it; without
    // that right every value would be "saved" and lost.
    const QFileInfo settingsFile(QString::fromStdString(paths_.settingsFile));
    const QFileInfo settingsFolder(settingsFile.absolutePath());
    if (!settingsFolder.isWritable() || (settingsFile.exists() && !settingsFile.isWritable())) {
        out_ << "Cannot import into " << paths_.settingsFile << ": it cannot be written\n";
        return 1;
    }
    const TextFileStore::ReadResult read = engine_.services.files.ReadFile(path);
    if (read.status != TextFileStore::ReadStatus::Ok) {
        out_ << "Cannot import " << path << ": "
             << (read.error.empty() ? "the file cannot be read" : read.error) << "\n";
        return 1;
    }
    const RegistryImport::Report report =
        RegistryImport::Import(read.contents, engine_.services.settings);
    for (const std::string& line : report.Lines()) {
        out_ << line << "\n";
    }
    if (report.Refused()) {
        return 1;
    }
    if (report.imported.empty()) {
        out_ << "Nothing was imported: the file holds no string values under "
             << RegistryImport::kProgramKey << "\n";
        return 1;
    }
    out_ << "Settings saved in " << paths_.settingsFile << "\n";
    // The import is the first save of the passwords it brought: they go where passwords are kept.
    if (std::any_of(
            report.imported.begin(), report.imported.end(),
            [](const RegistryImport::Imported& v) { return ConfigStore::IsPasswordKey(v.name); })) {
        engine_.config.MoveClearPasswords();
        out_ << engine_.config.PasswordStorage() << "\n";
    }
    return 0;
}

int ConfigureCommand::List() {
    const bool loaded = Load();
    if (loaded) {
        ListDevices();
    } else {
        out_ << "Devices: the device list could not be loaded\n";
    }
    ListPreferences();
    return loaded ? 0 : 1;
}

int ConfigureCommand::History() {
    // Only the log directory matters here; a device list that cannot be loaded has been
    // reported and does not hide the history.
    Load();
    const Clock& clock = engine_.services.clock;
    AlarmHistory history(AlarmHistory::Services{
        clock, engine_.services.dialogs, [this] { return engine_.logFiles.LogDirectory(); }});
    AlarmHistoryFilter filter;
    if (!cmd_.configure.since.empty()) {
        filter.since = ParseHistoryTime(cmd_.configure.since, clock.Now());
    }
    const AlarmHistoryRead read = history.Read(filter);
    if (!read.error.empty()) {
        out_ << "Cannot read the alarm history: " << read.error << "\n";
        return 1;
    }
    for (const AlarmRecord& record : read.records) {
        out_ << ReadableAlarmLine(record) << "\n";
    }
    if (read.records.empty()) {
        std::string since;
        if (filter.since) {
            std::string at = IsoLocalTime(*filter.since);
            at[10] = ' ';
            since = " since " + at;
        }
        out_ << "No alarms recorded" << since << " in " << history.FilePath() << "\n";
    }
    if (read.damagedLines > 0) {
        out_ << read.damagedLines << (read.damagedLines == 1 ? " damaged line" : " damaged lines")
             << " of " << history.FilePath() << " skipped\n";
    }
    return 0;
}

std::string ConfigureCommand::PortTarget(int comNumber) const {
    if (scenario_ != nullptr) {
        const auto sensor = scenario_->Sensor(comNumber);
        return sensor ? "simulated " + std::string(SensorKindName(sensor->Kind())) + " sensor"
                      : "no simulated sensor";
    }
    const std::string path = PortMap::FromSettings(engine_.services.settings).DevicePath(comNumber);
    return path.empty() ? "no such port" : path;
}

void ConfigureCommand::ListDevices() {
    const DeviceModel& model = engine_.model;
    out_ << "Devices (from "
         << (cmd_.service ? engine_.config.PrefsFilePath() : "the settings tree") << "):\n";
    int listed = 0;
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        const DeviceRecord* r = model.Entry(n);
        if (r == nullptr || (r->deviceType.empty() && r->kind == DeviceKind::Empty)) {
            continue;
        }
        ++listed;
        const DeviceKind kind = KindFromDeviceType(r->deviceType);
        std::string line =
            "  " + std::to_string(n) + ": " + KindWord(*r) + " \"" + r->deviceName + "\"";
        if (IsCamera(kind)) {
            line += ", camera " + r->subIndex;
            if (!r->driverName.empty()) {
                line += ", driver \"" + r->driverName + "\"";
            }
        } else {
            line += ", COM" + std::to_string(r->port) + " (" + PortTarget(r->port) + ")";
            const int slot = model.SlotOf(n);
            line += slot > 0 ? ", slot " + std::to_string(slot) : ", no slot";
            line +=
                ", tab logging " + OnOff(r->tabLogging) + ", file logging " + OnOff(r->fileLogging);
            if (kind == DeviceKind::Accelerometer) {
                line += std::string(r->startInBump ? ", starts in bump mode" : "") +
                        (r->calibrateOnConnect ? ", calibrates on connection" : "");
            } else if (kind == DeviceKind::Distance && r->startInProx) {
                line += ", starts in proximity mode";
            }
        }
        out_ << line << "\n";
    }
    if (listed == 0) {
        out_ << "  none\n";
    }
}

void ConfigureCommand::ListPreferences() {
    // The preferences in force, written out by the store's own save into a store that keeps
    // nothing: the same keys and texts a save would write.
    RecordingSettingsTree recorder;
    FixedMachineSettings noMachine;
    MemoryTextFileStore scratchFiles;
    Dialogs& dialogs = engine_.services.dialogs;
    DeviceModel scratchModel(dialogs, recorder);
    ConfigStore scratch(recorder, noMachine, scratchFiles, dialogs, engine_.services.clock,
                        scratchModel, engine_.services.applicationFolder, "/");
    const Preferences& prefs = engine_.prefs;

    if (cmd_.vtService) {
        out_ << "Preferences (from " << engine_.config.PrefsFilePath() << "):\n";
        if (!scratch.SavePrefsINI(prefs)) {
            out_ << "  cannot be shown\n";
            return;
        }
        const ProfileFile file = ProfileFile::Parse(scratchFiles.Contents(scratch.PrefsFilePath()));
        for (const char* section : {"Sensor Setup", "Email Alert Setup", "Page Alert Setup",
                                    "Internet Update Setup", "MQTT Setup"}) {
            out_ << "[" << section << "]\n";
            for (const auto& [key, value] : file.Entries(section)) {
                out_ << key << "=" << Shown(key, value) << "\n";
            }
        }
        return;
    }

    out_ << "Preferences (from the settings tree):\n";
    scratch.SavePrefsRegistry(prefs);
    scratch.SaveProxSections(prefs);
    // Grouped by section, sections in the order the store first writes them.
    std::vector<std::string> sections;
    for (const auto& [section, key, value] : recorder.saved) {
        if (std::find(sections.begin(), sections.end(), section) == sections.end()) {
            sections.push_back(section);
        }
    }
    for (const std::string& section : sections) {
        out_ << "[" << section << "]\n";
        for (const auto& [s, key, value] : recorder.saved) {
            if (s == section) {
                out_ << key << "=" << Shown(key, value) << "\n";
            }
        }
    }
}

int SendToRunningProgram(const ConfigureRequest& request, const ProgramPaths& paths,
                         std::ostream& out) {
    AlarmControlRequest control;
    control.entry = request.setupIndex;
    if (request.operation == ConfigureOperation::Snooze) {
        control.action = AlarmControlRequest::Action::Snooze;
        // Checked with the command line.
        control.snooze = ParseSnoozeDuration(request.snoozeUntil).value_or(SnoozeChoice{});
    } else {
        control.comment = request.comment;
    }
    // Long enough for a program busy with a reading or a mail; a page (16 seconds and more)
    // may outlast it, and the call then says so.
    const ControlSocketReply reply = ControlSocketClient::Send(
        ControlSocketPath(paths.configDirectory), control.Line(), std::chrono::seconds(10));
    switch (reply.outcome) {
        case ControlSocketReply::Outcome::NobodyListening:
            out << "No running Vigiltron Manager for " << paths.configDirectory << "\n";
            return 2;
        case ControlSocketReply::Outcome::Failed:
            out << reply.text << "\n";
            return 1;
        case ControlSocketReply::Outcome::Answered:
            break;
    }
    const AlarmControlAnswer answer = AlarmControlAnswer::Parse(reply.text);
    out << answer.text << "\n";
    return answer.done ? 0 : 1;
}

int RunConfigureCommand(const CommandLine& cmd, const ProgramPaths& paths) {
    // Requests to a running program need nothing of the configuration but where it is.
    if (cmd.configure.operation == ConfigureOperation::Acknowledge ||
        cmd.configure.operation == ConfigureOperation::Snooze) {
        const int status = SendToRunningProgram(cmd.configure, paths, std::cout);
        std::cout.flush();
        return status;
    }
    // The scenario first: a bad file stops the command before anything is opened.
    std::optional<Scenario> scenario;
    if (cmd.simulateFile) {
        ScenarioParseResult parsed = LoadScenarioFile(*cmd.simulateFile);
        if (!parsed.Ok()) {
            std::cerr << "vigiltron-manager: " << parsed.error << "\n";
            return 2;
        }
        scenario = std::move(parsed.scenario);
    }

    // Simulated sensors answer on virtual time, so waiting for them costs no real time.
    std::unique_ptr<EventLoop> loop;
    std::unique_ptr<Clock> clock;
    if (scenario) {
        auto virtualLoop = std::make_unique<VirtualEventLoop>();
        clock = std::make_unique<VirtualClock>(*virtualLoop, SystemClock().Now());
        loop = std::move(virtualLoop);
    } else {
        loop = std::make_unique<QtEventLoop>();
        clock = std::make_unique<SystemClock>();
    }
    StreamJournal journal(std::cout, *clock);
    HeadlessDialogs dialogs(journal);

    QtSettingsTree settings(QString::fromStdString(paths.settingsFile));
    std::unique_ptr<MachineSettings> machine =
        paths.machineSettingsFile.empty() ? std::make_unique<QtMachineSettings>()
                                          : std::make_unique<QtMachineSettings>(
                                                QString::fromStdString(paths.machineSettingsFile));

    std::unique_ptr<SerialPortFactory> ports;
    std::unique_ptr<ScenarioRunner> runner;
    if (scenario) {
        auto simulated = std::make_unique<SimulatedPortFactory>(*loop);
        runner = std::make_unique<ScenarioRunner>(*loop, *simulated);
        runner->Start(*scenario);
        ports = std::move(simulated);
    } else {
        ports = std::make_unique<QtSerialPortFactory>(PortMap::FromSettings(settings));
    }

    // The demo's configuration is thrown away at the end: it must never reach the user's keyring.
    // --history needs only the log directory: no password, no asking to unlock a keyring.
    std::unique_ptr<SecretStore> secrets;
    if (!cmd.demo && cmd.configure.operation != ConfigureOperation::History) {
        secrets = std::make_unique<KeychainSecretStore>(
            journal, cmd.configDir ? paths.configDirectory : std::string());
    }
    FileStore files;
    // Without a keyring the preferences file holds the passwords: it is then the user's alone.
    files.SetOwnerOnly([&secrets] { return !secrets || !secrets->Available(); });
    // The status page is for a web server running as another user to read.
    FileStore publishedFiles;
    publishedFiles.SetNewFilesShared(true);
    LinuxSystemActions system;
    SilentSoundPlayer sound;
    // Only --test-mail sends anything. Simulated sensors run on virtual time, which a real
    // server's answer cannot keep up with: such runs mail nobody.
    UnconfiguredSmtpClient noSmtp(*loop);
    std::unique_ptr<CurlSmtpClient> curl;
    if (!scenario) {
        curl = std::make_unique<CurlSmtpClient>(
            [&loop](std::function<void()> work) { loop->Post(std::move(work)); });
    }
    SmtpClient& smtpClient = curl ? static_cast<SmtpClient&>(*curl) : noSmtp;
    SendmailTransport systemMail;
    // Only --publish-now uploads anything, and never on virtual time (as for the mail).
    std::unique_ptr<CurlFtpClient> ftp;
    if (!scenario) {
        ftp = std::make_unique<CurlFtpClient>(
            [&loop](std::function<void()> work) { loop->Post(std::move(work)); });
    }
    Engine engine(EngineServices{*loop, *clock, dialogs, journal, *ports, settings, *machine, files,
                                 system, sound, smtpClient, systemMail, paths.applicationFolder,
                                 paths.configDirectory, nullptr, secrets.get(), ftp.get(),
                                 &publishedFiles});
    engine.ftp.stylesheetFile = StatusPageStylesheet(paths.applicationFolder);
    const int status = ConfigureCommand(engine, cmd, paths, runner.get(), std::cout).Run();
    engine.link.CloseAllPorts();
    std::cout.flush();
    return status;
}

}  // namespace vigiltron
