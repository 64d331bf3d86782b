#include "app/Engine.h"

namespace vigiltron {

Engine::Engine(EngineServices s)
    : services(s),
      prefs(Preferences::Defaults(s.applicationFolder)),
      model(s.dialogs, s.settings),
      logFiles(LogFiles::Services{s.loop, s.clock, s.dialogs, model, view, s.settings, prefs}),
      config(s.settings, s.machine, s.files, s.dialogs, s.clock, model, s.applicationFolder,
             s.configDirectory),
      alerts(AlertDispatcher::Services{prefs,
                                       view,
                                       model,
                                       s.dialogs,
                                       s.journal,
                                       s.clock,
                                       s.settings,
                                       s.sound,
                                       systemMail,
                                       smtp,
                                       pager,
                                       [this] { ApplyPreferences(); },
                                       {}}),
      evaluator(ThresholdEvaluator::Services{
          prefs, view, model, alerts,
          [this](const std::string& code, const std::string& value) {
              config.AddJournalEntry(code, value);
          },
          [this] { return view.mainWindowPlacement == ViewModel::WindowPlacement::Tray; }}),
      proximity(
          ProximityActions::Services{prefs, s.settings, s.dialogs, s.loop, s.system, model, view},
          ProximityActions::Hooks{
              [this](DeviceKind kind) { evaluator.ProximityAlert(kind); },
              {},
              [this](int n) {
                  for (PortGroup group : {PortGroup::Proximity, PortGroup::Distance}) {
                      if (const SerialPort* port = link.Port(n, group); port && port->IsOpen()) {
                          return port->DSRHolding();
                      }
                  }
                  return false;
              }}),
      readings(ReadingPipeline::Services{s.clock, s.journal, model, view, prefs, evaluator,
                                         proximity, logFiles}),
      link(SensorLink::Services{s.loop, s.dialogs, s.journal, s.ports, model, view, prefs, readings,
                                logFiles,
                                [this](const std::string& code, const std::string& value) {
                                    config.AddJournalEntry(code, value);
                                },
                                [this](int n) {
                                    model.DeleteEntry(n);
                                    model.DeleteStoredDevice(n);
                                },
                                &alerts}),
      lineState(LineStateSensors::Services{s.loop, s.clock, s.dialogs, model, view, prefs, link,
                                           evaluator, proximity, readings}),
      streaming(StreamingSensors::Services{s.loop, s.clock, s.dialogs, s.journal, model, view,
                                           prefs, s.settings, link, proximity, logFiles, readings}),
      startup(Startup::Services{s.dialogs, s.journal, s.settings, config, model, view, link,
                                s.system, prefs, s.applicationFolder,
                                [this] { ApplyPreferences(); }}) {
    logFiles.defaultLogDirectory = DefaultLogDirectory(s.applicationFolder);
    logFiles.saveLogDirectory = [this](const std::string& directory) {
        services.settings.SaveSetting("Program Setup", "logdir", directory);
    };
    logFiles.sensorTimer = [this](int n, DeviceKind kind) -> Timer* {
        switch (kind) {
            case DeviceKind::Temperature:
            case DeviceKind::Humidity:
            case DeviceKind::Combined:
                return link.PollingTimer(n);
            case DeviceKind::Water:
                return lineState.WaterTimer(n);
            default:
                return nullptr;
        }
    };
    link.startEventSensor = [this](int n, DeviceKind kind) {
        if (kind == DeviceKind::Accelerometer || kind == DeviceKind::Distance) {
            streaming.Start(n, kind);
        } else {
            lineState.Start(n, kind);
        }
    };
    link.resetEventSensor = [this](int n, DeviceKind kind) {
        if (kind == DeviceKind::Accelerometer || kind == DeviceKind::Distance) {
            streaming.Reset(n, kind);
        } else {
            lineState.Reset(n, kind);
        }
    };
    logFiles.portOpen = [this](int n) {
        for (PortGroup group : {PortGroup::Polled, PortGroup::Water, PortGroup::Proximity,
                                PortGroup::Accelerometer, PortGroup::Distance}) {
            if (const SerialPort* port = link.Port(n, group); port && port->IsOpen()) {
                return true;
            }
        }
        // The temperature half of a combined sensor logs through its lead's port.
        return model.IsComboTemperatureHalf(n) && link.Port(n - 1, PortGroup::Polled) &&
               link.Port(n - 1, PortGroup::Polled)->IsOpen();
    };
    logFiles.openDirectory = [this](const std::string& directory) {
        std::string error;
        services.system.OpenWithAssociation(directory, error);
    };
    ApplyPreferences();
}

void Engine::ApplyPreferences() {
    proximity.ApplyDelayIntervals();
}

}  // namespace vigiltron
