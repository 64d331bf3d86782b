#include "app/Engine.h"

#include <filesystem>
#include <system_error>

#include "app/AlarmControl.h"

namespace vigiltron {

namespace {

// The host name the kernel goes by, for the topics of the publisher.
std::string MachineName(const EngineServices& s) {
    if (!s.hostName.empty()) {
        return s.hostName;
    }
    for (const char* path : {"/proc/sys/kernel/hostname", "/etc/hostname"}) {
        const TextFileStore::ReadResult read = s.files.ReadFile(path);
        if (read.status != TextFileStore::ReadStatus::Ok) {
            continue;
        }
        std::string name = read.contents.substr(0, read.contents.find_first_of("\r\n"));
        if (!name.empty()) {
            return name;
        }
    }
    return "localhost";
}

}  // namespace

Engine::Engine(EngineServices s)
    : services(s),
      prefs(Preferences::Defaults(s.applicationFolder)),
      model(s.dialogs, s.settings),
      logFiles(LogFiles::Services{s.loop, s.clock, s.dialogs, model, view, s.settings, prefs}),
      config(s.settings, s.machine, s.files, s.dialogs, s.clock, model, s.applicationFolder,
             s.configDirectory, s.secrets),
      smtp(SmtpMailer::Services{
          prefs, view, model, s.dialogs, s.journal, s.clock, s.settings, s.files, s.smtpClient,
          s.applicationFolder,
          [this](const std::string& text) { contactSetup.AddEmailStatus(text); },
          [this](int kind, int slot, const std::string& text) {
              alerts.MailOutcome(kind, slot, text);
          }}),
      pager(ModemPager::Services{s.loop, s.ports, s.dialogs, s.journal, prefs, view,
                                 [this] { return contactSetup.ModemComNumber(); }}),
      alerts(AlertDispatcher::Services{prefs,
                                       view,
                                       model,
                                       s.dialogs,
                                       s.journal,
                                       s.clock,
                                       s.settings,
                                       s.sound,
                                       s.systemMail,
                                       smtp,
                                       pager,
                                       [this] { ApplyPreferences(); },
                                       {}}),
      evaluator(
          ThresholdEvaluator::Services{prefs, view, model, alerts,
                                       [this](const std::string& code, const std::string& value) {
                                           config.AddJournalEntry(code, value);
                                       },
                                       [this] { return view.inTray; }}),
      proximity(
          ProximityActions::Services{prefs, s.settings, s.dialogs, s.loop, s.system, model, view},
          ProximityActions::Hooks{[this](DeviceKind kind) { evaluator.ProximityAlert(kind); },
                                  [this](int n) { cameras.CaptureOnProximity(n); },
                                  [this](int n) { return link.PresenceLine(n); }}),
      readings(ReadingPipeline::Services{s.clock, s.journal, model, view, prefs, evaluator,
                                         proximity, logFiles}),
      link(SensorLink::Services{s.loop, s.dialogs, s.journal, s.ports, model, view, prefs, readings,
                                logFiles,
                                [this](const std::string& code, const std::string& value) {
                                    config.AddJournalEntry(code, value);
                                },
                                [this](int n) { deviceSetup.DeleteDevice(n); }, &alerts}),
      lineState(LineStateSensors::Services{s.loop, s.clock, s.dialogs, model, view, prefs, link,
                                           evaluator, proximity, readings}),
      streaming(StreamingSensors::Services{s.loop, s.clock, s.dialogs, s.journal, model, view,
                                           prefs, s.settings, link, proximity, logFiles, readings}),
      startup(Startup::Services{s.dialogs, s.journal, s.settings, config, model, view, link,
                                s.system, prefs, s.applicationFolder,
                                [this] { ApplyPreferences(); }}),
      setupPreferences(SetupPreferences::Services{prefs, view, s.dialogs, s.settings, config, model,
                                                  link, lineState, logFiles, proximity,
                                                  [this] { return startup.Loading(); }}),
      deviceSetup(DeviceSetup::Services{model, view, s.dialogs, s.journal, s.settings, config,
                                        prefs, link, proximity}),
      portScan(PortScan::Services{s.loop, s.dialogs, s.journal, s.ports, s.settings, model, view,
                                  deviceSetup,
                                  s.serialDevices ? *s.serialDevices : noSerialDevices}),
      help(HelpCommands::Services{view, s.dialogs, s.files, VIGILTRON_VERSION,
                                  VIGILTRON_BUILD_DATE}),
      contactSetup(ContactSetup::Services{
          prefs, view, s.dialogs, s.settings,
          // The modem's own open port stays in its list.
          [this](int n) { return pager.IsOpenOn(n) || portScan.COMAvailable(n); },
          [this](const std::string& key, const std::string& value) {
              config.SavePassword(key, value);
          },
          [this] { return config.PasswordStorage(); }}),
      shell(ShellCommands::Services{view, s.dialogs, s.system, s.applicationFolder}),
      statusReport(StatusReport::Services{prefs, view, model, s.clock,
                                          s.publishedFiles ? *s.publishedFiles : s.files,
                                          s.applicationFolder}),
      noFtpClient(s.loop),
      ftp(FtpUpdateEngine::Services{
          s.loop, s.clock, s.dialogs, s.journal, prefs, view, s.settings,
          s.publishedFiles ? *s.publishedFiles : s.files, s.ftpClient ? *s.ftpClient : noFtpClient,
          [this] { return statusReport.BuildXML(); },
          [this] { return statusReport.CurrentDocumentName(); }, s.applicationFolder,
          [](const std::string& path, std::string& error) {
              std::error_code failure;
              std::filesystem::create_directories(path, failure);
              error = failure.message();
              return !failure;
          },
          [this] { return statusReport.XmlDirectory(); }}),
      noCameras(s.noCameraReason),
      cameras(CameraManager::Services{s.loop, s.clock, s.dialogs, s.journal, model, view, prefs,
                                      s.settings, s.cameraBackend ? *s.cameraBackend : noCameras,
                                      s.applicationFolder}),
      noMqttClient(s.loop),
      mqtt(MqttPublisher::Services{prefs, model, view, s.journal,
                                   s.mqttClient ? *s.mqttClient : noMqttClient, MachineName(s),
                                   [this](int n) { return link.IsLost(n); }}) {
    logFiles.defaultLogDirectory = DefaultLogDirectory(s.applicationFolder);
    alerts.pacing.now = [this] { return services.loop.Elapsed(); };
    // Acknowledge, snooze and escalation: their timers, their record, and who acted.
    alerts.timers = &s.loop;
    alerts.history = &alarmHistory;
    alerts.userName = [] { return CurrentUserName(); };
    alerts.rearmAlarms = [this](int n) { evaluator.Rearm(model.EffectiveKind(n)); };
    logFiles.saveLogDirectory = [this](const std::string& directory) {
        services.settings.SaveSetting("Program Setup", "logdir", directory);
    };
    link.AttachEventSensors(lineState, streaming);
    // A first run's "auto detect and set up your devices now?" runs the port scan.
    startup.startDeviceScan = [this] { portScan.MakeComPortList2(); };
    logFiles.sensorTimer = [this](int n, DeviceKind kind) { return link.ReadingTimer(n, kind); };
    logFiles.portOpen = [this](int n) { return link.IsPortOpen(n); };
    logFiles.openDirectory = [this](const std::string& directory) { shell.OpenFolder(directory); };
    startup.moveToTray = [this] { shell.mnuPlaceInSysTray_Click(); };
    startup.startRemoteMonitoring = [this] { ftp.StartInternetUpdateEngine(); };
    WireCameras();
    WirePublishing();
    ApplyPreferences();
}

void Engine::WirePublishing() {
    readings.taken = [this](const Reading& reading) { mqtt.ReadingTaken(reading); };
    link.connectionChanged = [this](int n) { mqtt.SensorConnectionChanged(n); };
    alerts.alertAnnounced = [this](int n, const std::string& text, bool) { mqtt.Alert(n, text); };
    setupPreferences.publishingChanged = [this] { mqtt.ApplySettings(); };
    startup.startPublishing = [this] { mqtt.Start(); };
    startup.stopPublishing = [this] { mqtt.Stop(); };
}

void Engine::WireCameras() {
    link.connectCamera = [this](int n) {
        if (camerasSkipped_ && startup.Loading()) {
            services.journal.Record("camera", std::to_string(n) + " not started (/nocams)");
            return;
        }
        cameras.ConnectCam(model.SlotOf(n), n);
    };
    link.disconnectCamera = [this](int n) { cameras.DisconnectCam(model.SlotOf(n), n); };
    startup.startCameras = [this](bool noCams) {
        camerasSkipped_ = noCams;
        if (noCams) {
            services.journal.Record("camera", "camera start-up skipped (/nocams)");
        } else {
            cameras.CheckCamDrivers();
        }
    };
    startup.releaseCameras = [this] { cameras.ReleaseAll(); };
    deviceSetup.cameraDriverList = [this] { return cameras.DriverList(); };
    deviceSetup.cameraDriverIdentity = [this](int index) { return cameras.DriverIdentity(index); };
    deviceSetup.camerasChanged = [this] { cameras.ShowCameraNames(); };
    setupPreferences.sendToSummary = [this](int camera, bool checked) {
        return cameras.SendToSummary(camera, checked);
    };
    setupPreferences.cameraPictureChanged = [this](int camera) {
        cameras.ApplyPictureSettings(camera);
    };
}

void Engine::LoadSetupWindow() {
    setupPreferences.Load();
    cameras.ShowCameraNames();
    // The device rows of the loaded setup; devices added later show themselves.
    deviceSetup.ShowEntryRows();
    if (view.setupFirstRun && startup.AutoDetectRequested()) {
        portScan.GetBySerial();
    }
}

void Engine::ApplyPreferences() {
    proximity.ApplyDelayIntervals();
}

}  // namespace vigiltron
