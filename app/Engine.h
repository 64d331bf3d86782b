#pragma once

#include <memory>
#include <string>

#include "alerts/AlertDispatcher.h"
#include "alerts/ContactSetup.h"
#include "alerts/ModemPager.h"
#include "alerts/ProximityActions.h"
#include "alerts/SmtpClient.h"
#include "alerts/SmtpMailer.h"
#include "alerts/SoundPlayer.h"
#include "alerts/ThresholdEvaluator.h"
#include "alerts/UnconfiguredTransports.h"
#include "camera/CameraManager.h"
#include "camera/NoCameraBackend.h"
#include "config/ConfigStore.h"
#include "config/MachineSettings.h"
#include "config/Preferences.h"
#include "config/Startup.h"
#include "config/TextFileStore.h"
#include "core/Clock.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Journal.h"
#include "core/SecretStore.h"
#include "core/SerialDeviceDirectory.h"
#include "core/SerialPort.h"
#include "core/SettingsTree.h"
#include "core/SystemActions.h"
#include "core/ViewModel.h"
#include "reporting/AlarmHistory.h"
#include "reporting/FtpClient.h"
#include "reporting/FtpUpdateEngine.h"
#include "reporting/LogFiles.h"
#include "reporting/MqttClient.h"
#include "reporting/MqttPublisher.h"
#include "reporting/StatusReport.h"
#include "reporting/UnconfiguredFtpClient.h"
#include "reporting/UnconfiguredMqttClient.h"
#include "sensors/DeviceSetup.h"
#include "sensors/LineStateSensors.h"
#include "sensors/PortScan.h"
#include "sensors/ReadingPipeline.h"
#include "sensors/SensorLink.h"
#include "sensors/SetupPreferences.h"
#include "sensors/StreamingSensors.h"
#include "shell/HelpCommands.h"
#include "shell/ShellCommands.h"
#include "sim/MemorySerialDeviceDirectory.h"

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
    SoundPlayer& sound;
    // The two e-mail routes: the SMTP client and the system's mail command.
    SmtpClient& smtpClient;
    MailTransport& systemMail;
    std::string applicationFolder;
    std::string configDirectory;
    // Where the serial-number lookup finds devices by serial; null: none (a simulated run).
    SerialDeviceDirectory* serialDevices = nullptr;
    // The desktop keyring the two passwords are kept in; null: none (they stay in the settings).
    SecretStore* secrets = nullptr;
    // The FTP transport of remote monitoring; null: none (every command fails).
    FtpClient* ftpClient = nullptr;
    // Files that others read (the status page a web server serves): created readable by all.
    // Null: `files`.
    TextFileStore* publishedFiles = nullptr;
    // The cameras (USB or synthetic); null: none, `noCameraReason` says why when one is opened.
    CameraBackend* cameraBackend = nullptr;
    std::string noCameraReason = "No video capture devices found";
    // The MQTT broker connection of the publisher; null: none (nothing is ever published).
    MqttClient* mqttClient = nullptr;
    // This machine's name in the published topics; empty: the kernel's host name, read through
    // `files` ("localhost" when it cannot be read).
    std::string hostName = "";
};

// Every part of the engine, wired together once. The windows and the headless journal observe
// `view`; commands go to `link`, `startup`, `alerts` and `logFiles`.
class Engine {
public:
    explicit Engine(EngineServices services);

    // Copies the preferences into the parts that keep their own working copy.
    void ApplyPreferences();
    // The setup window is ready after start-up: its pages show the preferences and its rows the
    // loaded devices, and on a first run with "/autodetect" the serial-number lookup starts.
    void LoadSetupWindow();

    EngineServices services;
    ViewModel view;
    Preferences prefs;
    DeviceModel model;
    LogFiles logFiles;
    // "alarms.csv" in the log directory in force: alarms, notices, acknowledgements, snoozes.
    AlarmHistory alarmHistory{
        {services.clock, services.dialogs, [this] { return logFiles.LogDirectory(); }}};
    ConfigStore config;
    // The SMTP route, and the e-mail window's test mail and log file.
    SmtpMailer smtp;
    // Pages and caller-ID calls through the modem; the paging window's connection and tests.
    ModemPager pager;
    AlertDispatcher alerts;
    ThresholdEvaluator evaluator;
    // Before the sensors: its hooks read the link's ports only when a change comes.
    ProximityActions proximity;
    ReadingPipeline readings;
    SensorLink link;
    LineStateSensors lineState;
    // Declared after `link`: it takes its handlers off the link's ports when destroyed.
    StreamingSensors streaming;
    Startup startup;
    // The setup window's preference rules, for the window and the command line.
    SetupPreferences setupPreferences;
    // Adding, renaming, moving and deleting devices; finding them on the ports.
    MemorySerialDeviceDirectory noSerialDevices;
    DeviceSetup deviceSetup;
    PortScan portScan;
    // The Help menu; the program sets the help file it reads.
    HelpCommands help;
    // The e-mail, paging and remote-monitoring setup windows' rules.
    ContactSetup contactSetup;
    // The tray, the folder commands and the notices of the File and Setup menus.
    ShellCommands shell;
    // The status page (XML) that remote monitoring publishes.
    StatusReport statusReport;
    // Remote monitoring: the scheduled upload of the status page, and the window's FTP commands.
    UnconfiguredFtpClient noFtpClient;
    FtpUpdateEngine ftp;
    // The cameras: live views, stills and clips, on demand and on proximity events.
    NoCameraBackend noCameras;
    CameraManager cameras;
    // Readings, events, alarms and availability to the MQTT broker, with Home Assistant
    // discovery.
    UnconfiguredMqttClient noMqttClient;
    MqttPublisher mqtt;

private:
    void WireCameras();
    void WirePublishing();

    // "/nocams": the cameras are left alone while start-up connects the devices.
    bool camerasSkipped_ = false;
};

}  // namespace vigiltron
