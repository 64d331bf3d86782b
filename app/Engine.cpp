#include "app/Engine.h"

namespace vigiltron {

Engine::Engine(EngineServices s)
    : services(s),
      prefs(Preferences::Defaults(s.applicationFolder)),
      model(s.dialogs, s.settings),
      logFiles(s.clock, s.dialogs, logSettings,
               [this](const std::string& directory) {
                   prefs.logdir = directory;
                   services.settings.SaveSetting("Program Setup", "logdir", directory);
               }),
      config(s.settings, s.machine, s.files, s.dialogs, s.clock, model, s.applicationFolder,
             s.configDirectory),
      link(SensorLink::Services{s.loop, s.dialogs, s.journal, s.ports, model, view, linkSettings,
                                readings, logFiles,
                                [this](const std::string& code, const std::string& value) {
                                    config.AddJournalEntry(code, value);
                                },
                                [this](int n) {
                                    model.DeleteEntry(n);
                                    model.DeleteStoredDevice(n);
                                },
                                [this] { return prefs.CloseFileAfterWrite; }}),
      startup(Startup::Services{s.dialogs, s.journal, s.settings, config, model, view, link,
                                s.system, prefs, s.applicationFolder,
                                [this] { ApplyPreferences(); }}) {
    logSettings.defaultLogDirectory = DefaultLogDirectory(s.applicationFolder);
    ApplyPreferences();
}

void Engine::ApplyPreferences() {
    linkSettings.readingInterval = prefs.ReadingInterval;
    linkSettings.intervalInMinutes = prefs.MinOrSecs != "Sec";
    linkSettings.unit = prefs.ForC == "C" ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
    linkSettings.alertsDisabled = prefs.chkLocalMonitoring;
    logSettings.logDirectory =
        prefs.logdir.empty() ? logSettings.defaultLogDirectory : prefs.logdir;
    logSettings.closeFileAfterWrite = prefs.CloseFileAfterWrite;
}

}  // namespace vigiltron
