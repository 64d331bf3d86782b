#include "sensors/SetupPreferences.h"

#include <gtest/gtest.h>

#include "sensors/SensorRig.h"

#include <filesystem>
#include <memory>

#include "reporting/StdLogFileSystem.h"
#include "sim/SimulatedSensor.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;
using Focus = SetupPreferencesView::Focus;

// The real file system, counting the log files held open.
class CountingFiles : public LogFileSystem {
public:
    int open = 0;

    struct Handle : LogFileHandle {
        Handle(CountingFiles& owner, std::unique_ptr<LogFileHandle> file)
            : owner(owner), file(std::move(file)) {
            ++owner.open;
        }
        ~Handle() override { --owner.open; }
        std::string Write(std::string_view data) override { return file->Write(data); }
        CountingFiles& owner;
        std::unique_ptr<LogFileHandle> file;
    };

    bool IsDirectory(const std::string& path) const override { return real.IsDirectory(path); }
    bool Exists(const std::string& path) const override { return real.Exists(path); }
    std::string CreateDirectories(const std::string& path) override {
        return real.CreateDirectories(path);
    }
    Opened Open(const std::string& path, OpenMode mode) override {
        Opened opened = real.Open(path, mode);
        if (opened.file) {
            opened.file = std::make_unique<Handle>(*this, std::move(opened.file));
        }
        return opened;
    }
    std::optional<std::uint64_t> FileSize(const std::string& path) const override {
        return real.FileSize(path);
    }
    std::unique_ptr<DirectoryWalk> Walk(const std::string& directory) const override {
        return real.Walk(directory);
    }

private:
    StdLogFileSystem real;
};

// The counting file system must exist before the rig's log files use it.
struct CountingFilesHolder {
    CountingFiles logSystem;
};

class SetupPreferencesTest : public ::testing::Test,
                             protected CountingFilesHolder,
                             protected SensorRig {
protected:
    SetupPreferencesTest() : SensorRig(&logSystem) {}

    std::shared_ptr<SimulatedSensor> AddDevice(int n, const char* type, SensorKind simKind,
                                               int com) {
        DeviceRecord record;
        record.deviceType = type;
        record.deviceName = "Sensor " + std::to_string(n);
        record.port = com;
        record.subIndex = "1";
        model.SetEntry(n, record);
        model.CreateSetupArray();
        model.TakeSlot(n);
        auto sensor = std::make_shared<SimulatedSensor>(loop, simKind);
        ports.Attach(com, sensor);
        return sensor;
    }

    std::string Stored(const std::string& key) const {
        return settings.GetSetting("Program Setup", key, "<missing>");
    }

    Reading Temperature(int n, const std::string& text) const {
        Reading reading;
        reading.setupIndex = n;
        reading.kind = DeviceKind::Temperature;
        reading.text = text;
        reading.unit = "F";
        return reading;
    }
};

TEST_F(SetupPreferencesTest, SetAppliesBothIntervalsToTheRunningTimers) {
    auto sensor = AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3);
    link.ConnectSensor(1);
    ASSERT_TRUE(link.PollingTimer(1)->Enabled());
    EXPECT_EQ(link.PollingTimer(1)->Interval(), Milliseconds(60000));

    // 10 seconds poll every 8500 ms, at once for the running timer; the water polls take the
    // binary interval.
    EXPECT_TRUE(setupPreferences.SetPreference("MinOrSecs", "Sec"));
    EXPECT_TRUE(setupPreferences.SetPreference("BinaryInterval", "250"));
    EXPECT_TRUE(setupPreferences.SetPreference("ReadingInterval", "010"));
    EXPECT_EQ(prefs.ReadingInterval, "10");  // written back in plain form
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(link.PollingTimer(n)->Interval(), Milliseconds(8500)) << n;
        EXPECT_EQ(lineState.WaterTimer(n)->Interval(), Milliseconds(250)) << n;
    }
    sensor->ClearCommands();
    loop.RunFor(Milliseconds(3 * 8500 + 1000));
    const auto& polled = sensor->Commands();
    ASSERT_EQ(polled.size(), 3u);
    EXPECT_EQ(polled[1].at - polled[0].at, Milliseconds(8500));
    EXPECT_EQ(polled[2].at - polled[1].at, Milliseconds(8500));
    EXPECT_EQ(Stored("MinOrSecs"), "Sec");
    EXPECT_EQ(Stored("BinaryInterval"), "250");
    EXPECT_EQ(Stored("ReadingInterval"), "10");
    EXPECT_FALSE(view.setupPreferences.setEnabled);
    EXPECT_EQ(view.setupPreferences.sliderMin, 8);
    EXPECT_EQ(view.setupPreferences.sliderValue, 10);

    // A non-numeric binary interval stops "Set" before anything changes.
    setupPreferences.ChangeText("BinaryInterval", "fast");
    EXPECT_TRUE(view.setupPreferences.setEnabled);
    EXPECT_FALSE(setupPreferences.cmdSet_Click());
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"This interval must be an integer"});
    EXPECT_EQ(view.setupPreferences.focus, Focus::BinaryInterval);
    EXPECT_EQ(lineState.WaterTimer(4)->Interval(), Milliseconds(250));
    EXPECT_EQ(Stored("BinaryInterval"), "250");
    // From the command line the old value stays.
    EXPECT_FALSE(setupPreferences.SetPreference("BinaryInterval", "-"));
    EXPECT_EQ(prefs.BinaryInterval, "fast");
    setupPreferences.ChangeText("BinaryInterval", "300");

    // An interval no timer can keep puts "30" and "500" back; a blank one gives 30 minutes.
    dialogs.Clear();
    EXPECT_FALSE(setupPreferences.SetPreference("ReadingInterval", "100"));
    EXPECT_EQ(prefs.ReadingInterval, "30");
    EXPECT_EQ(prefs.BinaryInterval, "500");
    EXPECT_EQ(link.PollingTimer(1)->Interval(), Milliseconds(25500));
    EXPECT_EQ(lineState.WaterTimer(1)->Interval(), Milliseconds(500));
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"Invalid value for ReadingInterval: \"100\""});
    setupPreferences.ChangeText("ReadingInterval", " ");
    EXPECT_TRUE(setupPreferences.cmdSet_Click());
    EXPECT_EQ(prefs.ReadingInterval, "30");
    EXPECT_EQ(Stored("MinOrSecs"), "Min");
    EXPECT_EQ(link.PollingTimer(1)->Interval(), Milliseconds(60000));
    EXPECT_EQ(link.MinuteTarget(1), 30);

    // The command line refuses 0 with the message connecting would give, and changes nothing.
    dialogs.Clear();
    EXPECT_FALSE(setupPreferences.SetPreference("ReadingInterval", "0"));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Reading Interval cannot be 0!"});
    EXPECT_EQ(prefs.ReadingInterval, "30");
}

TEST_F(SetupPreferencesTest, IntervalUnitAndSliderBounds) {
    EXPECT_TRUE(setupPreferences.SetPreference("ReadingInterval", "5"));
    EXPECT_EQ(link.MinuteTarget(2), 5);
    EXPECT_EQ(view.setupPreferences.sliderMin, 1);

    // Seconds with 5 gives 8, with the slider focused.
    EXPECT_TRUE(setupPreferences.ChooseIntervalUnit(true));
    EXPECT_EQ(prefs.ReadingInterval, "8");
    EXPECT_EQ(view.setupPreferences.sliderMin, 8);
    EXPECT_EQ(view.setupPreferences.focus, Focus::Slider);
    EXPECT_EQ(link.PollingTimer(2)->Interval(), Milliseconds(6800));
    EXPECT_EQ(Stored("ReadingInterval"), "8");

    // Dragging only shows the value; letting go applies it.
    setupPreferences.SliderScroll(20);
    EXPECT_EQ(prefs.ReadingInterval, "20");
    EXPECT_TRUE(view.setupPreferences.setEnabled);
    EXPECT_EQ(link.PollingTimer(2)->Interval(), Milliseconds(6800));
    EXPECT_TRUE(setupPreferences.SliderChange(20));
    EXPECT_EQ(link.PollingTimer(2)->Interval(), Milliseconds(17000));

    // Back to minutes: bound 1, the interval kept.
    EXPECT_TRUE(setupPreferences.SetPreference("MinOrSecs", "Min"));
    EXPECT_EQ(view.setupPreferences.sliderMin, 1);
    EXPECT_EQ(link.MinuteTarget(2), 20);
    EXPECT_FALSE(setupPreferences.SetPreference("MinOrSecs", "Hours"));
}

TEST_F(SetupPreferencesTest, TemperatureUnitConvertsThresholdsAndHighLowOnce) {
    AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3);
    view.Slot(Tab::Temperature, 1).highest = "80";
    view.Slot(Tab::Temperature, 1).lowest = "40";
    prefs.ForC = "F";
    prefs.TempMax = "80";
    prefs.TempMin = "40";

    EXPECT_TRUE(setupPreferences.SetPreference("ForC", "C"));
    EXPECT_EQ(prefs.TempMax, "26.7");
    EXPECT_EQ(prefs.TempMin, "4.4");
    EXPECT_EQ(Stored("TempMax"), "26.7");
    EXPECT_EQ(Stored("TempMin"), "4.4");
    EXPECT_EQ(Stored("ForC"), "C");
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).highest, "26.67");
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).lowest, "4.44");

    // Selecting the unit in force again converts nothing.
    setupPreferences.ChooseTemperatureUnit(true);
    EXPECT_EQ(prefs.TempMax, "26.7");

    setupPreferences.ChooseTemperatureUnit(false);
    EXPECT_EQ(prefs.TempMax, "80.1");
    EXPECT_EQ(prefs.TempMin, "39.9");
    EXPECT_EQ(Stored("ForC"), "F");

    // Start-up selecting the stored unit converts and saves nothing.
    loading = true;
    setupPreferences.ChooseTemperatureUnit(true);
    EXPECT_EQ(prefs.ForC, "C");
    EXPECT_EQ(prefs.TempMax, "80.1");
    EXPECT_EQ(Stored("ForC"), "F");
    EXPECT_FALSE(setupPreferences.SetPreference("ForC", "K"));
}

TEST_F(SetupPreferencesTest, ThresholdAndAlertBoxes) {
    // Saved at once; a non-numeric temperature or humidity box is reset silently on leaving.
    setupPreferences.ChangeText("TempMin", "");
    EXPECT_EQ(Stored("TempMin"), "");
    setupPreferences.LeaveBox("TempMin");
    EXPECT_EQ(prefs.TempMin, "30");
    EXPECT_EQ(Stored("TempMin"), "30");
    setupPreferences.ChangeText("HumidMax", "wet");
    setupPreferences.LeaveBox("HumidMax");
    EXPECT_EQ(Stored("HumidMax"), "70");
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_TRUE(setupPreferences.SetPreference("XMaxThresh", "2.5"));
    EXPECT_EQ(Stored("XMaxThresh"), "2.5");
    EXPECT_FALSE(setupPreferences.SetPreference("TempMax", "hot"));
    EXPECT_EQ(Stored("TempMax"), "80");

    // On-screen alarms need both thresholds, and the audible alert follows them.
    setupPreferences.ChangeText("TempMax", "");
    EXPECT_FALSE(setupPreferences.Tick("chkOnScreenAlert1", true));
    EXPECT_FALSE(prefs.chkOnScreenAlert[1]);
    EXPECT_EQ(dialogs.Messages().back(), "Please input a Max and Min temperature value first");
    setupPreferences.ChangeText("HumidMin", " ");
    EXPECT_FALSE(setupPreferences.SetPreference("chkOnScreenAlert2", "1"));
    EXPECT_EQ(dialogs.Messages().back(), "Please input a Max and Min humidity value first");
    setupPreferences.ChangeText("TempMax", "85");
    EXPECT_TRUE(setupPreferences.SetPreference("chkOnScreenAlert1", "1"));
    EXPECT_TRUE(setupPreferences.Tick("chkOnScreenAlert6", true));
    EXPECT_EQ(Stored("chkOnScreenAlert1"), "1");
    EXPECT_EQ(Stored("chkUseAlerts"), "1");
    setupPreferences.Tick("chkOnScreenAlert1", false);
    EXPECT_TRUE(prefs.chkUseAlerts);  // the water alarm is still on screen
    setupPreferences.Tick("chkOnScreenAlert6", false);
    EXPECT_EQ(Stored("chkUseAlerts"), "0");

    // E-mail without a recipient: told, and saved all the same.
    dialogs.Clear();
    EXPECT_TRUE(setupPreferences.SetPreference("chkEmailAlert9", "True"));
    EXPECT_EQ(Stored("chkEmailAlert9"), "1");
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{"You must fill in the appropriate information before being "
                                       "able to send an Email Alert."});
    prefs.EmailAddress = "ops@example.org";
    dialogs.Clear();
    EXPECT_TRUE(setupPreferences.SetPreference("chkEmailAlert1", "1"));
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_FALSE(setupPreferences.SetPreference("chkPageAlert1", "maybe"));
}

TEST_F(SetupPreferencesTest, ProximityDelaysAndActions) {
    EXPECT_TRUE(setupPreferences.SetPreference("ProximityRunCommand", "/usr/local/bin/away.sh"));
    EXPECT_EQ(Stored("optRunCommand"), "1");
    EXPECT_EQ(Stored("ProximityRunCommand"), "/usr/local/bin/away.sh");

    for (const char* refused : {"61", "0"}) {
        dialogs.Clear();
        EXPECT_FALSE(setupPreferences.SetPreference("DelayEventAway", refused)) << refused;
        EXPECT_EQ(dialogs.Messages(),
                  std::vector<std::string>{"Delay has to be between 1 and 60 seconds."});
        EXPECT_EQ(prefs.DelayEventAway, "10");
        EXPECT_EQ(Stored("DelayEventAway"), "10");
    }
    EXPECT_TRUE(setupPreferences.SetPreference("DelayEventAway", "20"));
    EXPECT_EQ(proximity.DelayInterval(ProximityActions::kWalkAway), Milliseconds(20000));
    // No walk-up command: nothing to delay.
    EXPECT_FALSE(setupPreferences.SetPreference("DelayEventUp", "5"));
    EXPECT_EQ(prefs.DelayEventUp, "0");

    // The action options form one group: the selected one is left by choosing another.
    EXPECT_FALSE(setupPreferences.SetPreference("optRunCommand", "0"));
    EXPECT_TRUE(setupPreferences.SetPreference("optSystemLock", "1"));
    EXPECT_EQ(proximity.SelectedAction(), ProximityActions::Action::SystemLock);
    EXPECT_EQ(Stored("optRunCommand"), "0");

    dialogs.QueueFile("/usr/lib/savers/Ribbons.scr");
    setupPreferences.BrowseProximityCommand(ProximityActions::kWalkUp);
    EXPECT_EQ(prefs.ProximityRunCommandApproach, "/usr/lib/savers/Ribbons.scr /s");
    EXPECT_EQ(view.setupPreferences.focus, Focus::ProximityOk);
    EXPECT_FALSE(proximity.okButtonFocusRequested);
}

TEST_F(SetupPreferencesTest, LogSizeLimitAndLoggingOptions) {
    AddDevice(1, kTypeTemperature, SensorKind::Temperature, 3);
    AddDevice(2, kTypeHumidity, SensorKind::Humidity, 4);
    // 1000 kilobytes are in force from start-up whatever is stored, until a file-logging option
    // changes.
    EXPECT_TRUE(setupPreferences.SetPreference("MaxFileSize", "2000"));
    EXPECT_EQ(Stored("MaxFileSize"), "2000");
    EXPECT_EQ(logFiles.SizeLimitInForce(), 1024000.0);
    EXPECT_TRUE(setupPreferences.SetPreference("FileLogging1", "1"));
    EXPECT_EQ(logFiles.SizeLimitInForce(), 2048000.0);
    EXPECT_TRUE(model.Entry(1)->fileLogging);
    EXPECT_EQ(settings.GetSetting("PortConfig\\Devices\\1", "FileLogging"), "1");
    EXPECT_FALSE(setupPreferences.SetPreference("FileLogging7", "1"));  // no device there

    dialogs.Clear();
    EXPECT_FALSE(setupPreferences.SetPreference("MaxFileSize", "big"));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"This value must be an integer"});
    EXPECT_EQ(Stored("MaxFileSize"), "1000");
    EXPECT_EQ(view.setupPreferences.focus, Focus::MaxFileSize);

    // "Close log file after every write" closes the open files at once.
    setupPreferences.SetFileLogging(2, true);
    ASSERT_EQ(logFiles.OpenFirstFile(1, "Sensor 1", ""), "");
    ASSERT_EQ(logFiles.OpenFirstFile(2, "Sensor 2", ""), "");
    EXPECT_EQ(logSystem.open, 2);
    EXPECT_TRUE(setupPreferences.Tick("CloseFileAfterWrite", true));
    EXPECT_EQ(logSystem.open, 0);
    EXPECT_EQ(Stored("CloseFileAfterWrite"), "1");
    EXPECT_TRUE(logFiles.FileTabLogging(Temperature(1, "71")));
    EXPECT_EQ(logSystem.open, 0);

    // The quota stops file logging; after the user makes room, switching it back on logs again.
    EXPECT_TRUE(setupPreferences.SetPreference("HDDTotalAmount", "1"));
    for (int i = 0; i < 40 && model.Entry(1)->fileLogging; ++i) {
        logFiles.FileTabLogging(Temperature(1, "72.5 and some padding to fill the directory"));
    }
    ASSERT_FALSE(model.Entry(1)->fileLogging);
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(logDir)) {
        logs.push_back(entry.path());
    }
    for (const fs::path& log : logs) {
        fs::remove(log);
    }
    EXPECT_TRUE(setupPreferences.SetFileLogging(1, true));
    EXPECT_TRUE(logFiles.FileTabLogging(Temperature(1, "73")));
    EXPECT_TRUE(model.Entry(1)->fileLogging);
    EXPECT_TRUE(fs::exists(logFiles.CurrentFile(1)));
}

TEST_F(SetupPreferencesTest, OkSavesTheWholeSetAndTheCommandLineKnowsEveryKey) {
    prefs.YMinThresh = "-2";  // changed without its own save
    prefs.prox[3].chkCamMon = true;
    prefs.MaxFileSize = "-5";
    EXPECT_FALSE(setupPreferences.cmdOK_Click());
    EXPECT_EQ(Stored("YMinThresh"), "-2");
    EXPECT_EQ(settings.GetSetting("Program Setup\\Prox3", "chkCamMon"), "1");
    EXPECT_EQ(Stored("MaxFileSize"), "1000");
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"This value must be an integer"});
    EXPECT_TRUE(setupPreferences.cmdOK_Click());

    dialogs.Clear();
    EXPECT_FALSE(setupPreferences.SetPreference("Bogus", "1"));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Unknown setting: Bogus"});

    // Every listed key is accepted back with its own value.
    AddDevice(4, kTypeWater, SensorKind::Water, 6);
    prefs.ForC = "F";
    prefs.ProximityRunCommand = "/bin/away";
    prefs.optRunCommand = true;
    prefs.DelayEventAway = "10";
    const auto listed = setupPreferences.PreferencesInForce();
    EXPECT_EQ(listed.back(), (std::pair<std::string, std::string>("FileLogging4", "0")));
    dialogs.Clear();
    for (const auto& [key, value] : listed) {
        EXPECT_TRUE(setupPreferences.SetPreference(key, value)) << key << "=" << value;
    }
    EXPECT_EQ(setupPreferences.PreferencesInForce(), listed);
    EXPECT_TRUE(dialogs.Messages().empty());
}

}  // namespace
}  // namespace vigiltron
