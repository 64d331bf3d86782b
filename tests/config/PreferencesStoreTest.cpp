#include <gtest/gtest.h>

#include "ConfigStoreTestSupport.h"
#include "config/ProfileFile.h"

namespace vigiltron {
namespace {

// Every field set to a value that differs from both stores' defaults.
Preferences Unusual() {
    Preferences p = Preferences::Defaults("/app");
    p.SavedState = "1";
    p.AutoConnect = true;
    p.TotalDevices = "3";
    p.TotalCameras = "1";
    p.ForC = "C";
    p.TempMax = "26.7";
    p.TempMin = "4.4";
    p.HumidMax = "71";
    p.HumidMin = "21";
    p.XMaxThresh = "2";
    p.XMinThresh = "-2";
    p.YMaxThresh = "3";
    p.YMinThresh = "-3";
    p.CheckRange = false;
    p.MaxDistanceThresh = "101";
    p.MinDistanceThresh = "31";
    p.ReadingInterval = "12345";
    p.MinOrSecs = "Sec";
    p.BinaryInterval = "750";
    p.PrefaceFiles = "cap_";
    p.logdir = "/var/log/vigiltron";
    p.MaxFileSize = "2048";
    p.HDDTotalAmount = "50000";
    p.CloseFileAfterWrite = true;
    p.chkLocalMonitoring = true;
    p.chkUseAlerts = true;
    p.chkAlwaysSendAlert = true;
    for (int family : kAlertFamilies) {
        p.chkOnScreenAlert[family] = family % 2 == 0;
        p.chkEmailAlert[family] = family % 2 == 1;
        p.chkPageAlert[family] = family > 5;
    }
    p.chkEmailOnProx = true;
    p.chkPageOnProx = true;
    p.chkOnScreenOnProx = true;
    p.optUseSMTP = false;
    p.EmailAddress = "facilities.night-shift.alerts@very-long-domain.example.org";
    p.CCEmailAddress = "cc@example.org";
    p.IncludeTimeDate = false;
    p.IncludeReading = false;
    p.IncludeName = false;
    p.IncludeInSubject = false;
    p.SMTPHostServer = "smtp.mail.very-long-provider-name.example.com";
    p.SMTPUserName = "alerts";
    p.SMTPUserPassword = "s3cret password";
    p.SMTPFromEmailAddress = "vigiltron@example.org";
    p.chkAuthenticationReq = true;
    p.NumToCall = "5551234";
    p.NumToSend = "911";
    p.NumToSendPhone = "5559876";
    p.optionNumeric = true;
    p.optionPhone = true;
    p.IndexForModem = "3";
    p.ModemInitString = "ATZ";
    p.optSysCommandDisabled = false;
    p.optLogoutOnProximity = false;
    p.optSystemLock = false;
    p.optRunCommand = true;
    p.ProximityRunCommand = "\"/opt/my tools/away\" \"--lock\"";
    p.ProximityRunCommandApproach = "/usr/bin/approach";
    p.DelayEventAway = "15";
    p.DelayEventUp = "7";
    p.ProxEventCmbSubIndex99 = "2";
    p.ProxEventCmbSubIndex98 = "3";
    p.chkProximSnapCam = true;
    p.cmbProximNumber = "2";
    p.chkPlaceInStartup = true;
    p.chkSendToSummary = true;
    p.AutoConnectPrefs = true;
    p.ServerName = "ftp.monitoring.very-long-host-name.example.net";
    p.UserName = "uploader";
    p.RemoteDirectory = "vigiltron/site-a";
    p.pw = "longer than four";
    p.InternetInterval = "25";
    p.SeeMessages = true;
    p.optStayConnected = true;
    p.optConnectBeforeSend = false;
    p.txtTitleForUpdatePage = "Server room";
    p.txtXMLDirectory = "/srv/www";
    p.UseDirectory = true;
    p.AutoStartIUE = true;
    for (int slot = 1; slot <= 4; ++slot) {
        p.prox[slot] = {slot % 2 == 0, slot > 2, slot != 3, std::to_string(slot)};
    }
    return p;
}

TEST(PreferencesStoreTest, FirstRunReadsTheSettingsTreeDefaults) {
    ConfigStoreRig rig;
    Preferences p;
    ASSERT_TRUE(rig.store.LoadPrefsRegistry(p));

    EXPECT_EQ(p.TempMax, "80");
    EXPECT_EQ(p.TempMin, "40");
    EXPECT_EQ(p.HumidMax, "70");
    EXPECT_EQ(p.HumidMin, "20");
    EXPECT_EQ(p.XMinThresh, "-1");
    EXPECT_EQ(p.YMinThresh, "-1");
    EXPECT_TRUE(p.CheckRange);
    EXPECT_EQ(p.DelayEventAway, "0");
    EXPECT_EQ(p.DelayEventUp, "0");
    EXPECT_TRUE(p.optUseSMTP);  // never saved reads as "9": SMTP
    EXPECT_EQ(p.SavedState, "Error");
    EXPECT_EQ(p.ReadingInterval, "30");
    EXPECT_EQ(p.MinOrSecs, "Min");
    EXPECT_EQ(p.logdir, "/app/logfiles");
    EXPECT_EQ(p.HDDTotalAmount, "10000");
    EXPECT_EQ(p.NumToCall, " ");
    EXPECT_EQ(p.ProximityRunCommand, "Path not set");
    EXPECT_EQ(p.ProxEventCmbSubIndex98, "1");
    EXPECT_EQ(p.txtTitleForUpdatePage, "Location#1");
    EXPECT_EQ(p.txtXMLDirectory, "C:\\");
    EXPECT_TRUE(p.IncludeTimeDate);
    EXPECT_EQ(p.ForC, "");
    // The member defaults are the same start-up set.
    EXPECT_EQ(p, Preferences::Defaults("/app"));
}

TEST(PreferencesStoreTest, StoredThresholdsReplaceTheFirstRunValuesTogether) {
    ConfigStoreRig rig;
    rig.tree.SaveSetting("Program Setup\\", "TempMax", "90");
    Preferences p;
    ASSERT_TRUE(rig.store.LoadPrefsRegistry(p));
    EXPECT_EQ(p.TempMax, "90");
    EXPECT_EQ(p.TempMin, "");  // stored set in use: no first-run value mixed in
    EXPECT_EQ(p.HumidMax, "");

    rig.tree.SaveSetting("Program Setup", "optUseSMTP", "0");
    rig.tree.SaveSetting("Program Setup", "optStayConnected", "True");
    rig.tree.SaveSetting("Program Setup\\Internet Setup\\", "optConnectBeforeSend", "True");
    ASSERT_TRUE(rig.store.LoadPrefsRegistry(p));
    EXPECT_FALSE(p.optUseSMTP);
    EXPECT_TRUE(p.optConnectBeforeSend);
}

TEST(PreferencesStoreTest, EveryPreferenceSurvivesTheSettingsTree) {
    ConfigStoreRig rig;
    const Preferences saved = Unusual();
    ASSERT_TRUE(rig.store.SavePrefsRegistry(saved));
    rig.store.SaveProxSections(saved);

    Preferences loaded = Preferences::Defaults("/app");
    ASSERT_TRUE(rig.store.LoadPrefsRegistry(loaded));
    rig.store.LoadProxSections(loaded);

    // The device and camera counts and the start-up placement have owners of their own.
    Preferences expected = saved;
    expected.SavedState = "Error";
    expected.TotalDevices = "0";
    expected.TotalCameras = "";
    expected.AutoConnectPrefs = false;  // a key of the preferences file only
    EXPECT_EQ(loaded, expected);

    // Stored forms other code and the Windows edition read.
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "chkOnScreenProx"), "1");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "optUseSMTP"), "0");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "MinOrSecs"), "Sec");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup\\Internet Setup", "optStayConnected"), "True");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup\\Internet Setup", "optConnectBeforeSend"),
              "False");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "chkPageAlert8"), "1");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "chkPageAlert2"), "0");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup\\Prox3", "chkProxSnapCam"), "0");
}

TEST(PreferencesStoreTest, AnEmptyPreferencesFileGivesTheFileDefaults) {
    ConfigStoreRig rig;
    Preferences p = Preferences::Defaults("/app");
    ASSERT_TRUE(rig.store.LoadPrefsINI(p));

    EXPECT_EQ(p.TempMax, "80");
    EXPECT_EQ(p.TempMin, "40");
    EXPECT_EQ(p.HumidMax, "60");
    EXPECT_EQ(p.HumidMin, "20");
    EXPECT_EQ(p.XMinThresh, "0");
    EXPECT_EQ(p.YMinThresh, "0");
    EXPECT_FALSE(p.CheckRange);
    EXPECT_EQ(p.DelayEventAway, "10");
    EXPECT_EQ(p.DelayEventUp, "5");
    EXPECT_EQ(p.ForC, "F");
    EXPECT_EQ(p.HDDTotalAmount, "1000");
    EXPECT_EQ(p.ProxEventCmbSubIndex98, "0");
    EXPECT_TRUE(p.optUseSMTP);
    EXPECT_FALSE(p.IncludeTimeDate);
    // Defaults of one blank read as nothing, as the Windows functions give them.
    EXPECT_EQ(p.EmailAddress, "");
    EXPECT_EQ(p.NumToCall, "");
    EXPECT_EQ(p.txtTitleForUpdatePage, "");
    EXPECT_EQ(p.txtXMLDirectory, "C:\\");
    EXPECT_EQ(p.logdir, "/app/logfiles");
    // Reading creates nothing.
    EXPECT_FALSE(rig.files.Has(ConfigStoreRig::kPrefsPath));
}

TEST(PreferencesStoreTest, WindowsPreferencesFileReadsWithDefaultsForTheRest) {
    ConfigStoreRig rig;
    rig.files.Put(ConfigStoreRig::kPrefsPath,
                  "\xEF\xBB\xBF[Sensor Setup]\r\n"
                  "TempMax=95\r\n"
                  "optUseSMTP=False\r\n"
                  "MinOrSecs=Sec\r\n"
                  "chkEmailAlert6=1\r\n"
                  "ReadingInterval=12345\r\n"
                  "\r\n"
                  "; mail\r\n"
                  "[Email Alert Setup]\r\n"
                  "EmailAddress=facilities.night-shift.alerts@example.org\r\n"
                  "[Internet Update Setup]\r\n"
                  "pw=hunter2hunter2\r\n"
                  "optStayConnected=True\r\n"
                  "optConnectBeforeSend=0\r\n"
                  "ServerName= ftp.example.org \r\n");
    Preferences p = Preferences::Defaults("/app");
    ASSERT_TRUE(rig.store.LoadPrefsINI(p));

    EXPECT_EQ(p.TempMax, "95");
    EXPECT_EQ(p.TempMin, "40");
    EXPECT_EQ(p.HumidMax, "60");
    EXPECT_FALSE(p.optUseSMTP);
    EXPECT_EQ(p.MinOrSecs, "Sec");
    EXPECT_TRUE(p.chkEmailAlert[6]);
    EXPECT_FALSE(p.chkEmailAlert[1]);
    // Long values arrive whole: no cut at the old read buffers (4 digits, 31 or 4 characters).
    EXPECT_EQ(p.ReadingInterval, "12345");
    EXPECT_EQ(p.EmailAddress, "facilities.night-shift.alerts@example.org");
    EXPECT_EQ(p.pw, "hunter2hunter2");
    EXPECT_TRUE(p.optStayConnected);
    EXPECT_FALSE(p.optConnectBeforeSend);
    EXPECT_EQ(p.ServerName, "ftp.example.org");
    EXPECT_EQ(p.DelayEventAway, "10");
}

TEST(PreferencesStoreTest, EveryFilePreferenceSurvivesThePreferencesFile) {
    ConfigStoreRig rig;
    const Preferences saved = Unusual();
    ASSERT_TRUE(rig.store.SavePrefsINI(saved));

    Preferences loaded = Preferences::Defaults("/app");
    ASSERT_TRUE(rig.store.LoadPrefsINI(loaded));

    // Preferences the file does not carry keep their start-up values.
    const Preferences defaults = Preferences::Defaults("/app");
    Preferences expected = saved;
    expected.SavedState = defaults.SavedState;
    expected.TotalDevices = defaults.TotalDevices;
    expected.TotalCameras = defaults.TotalCameras;
    expected.CloseFileAfterWrite = defaults.CloseFileAfterWrite;
    expected.NumToSendPhone = defaults.NumToSendPhone;
    expected.optionNumeric = defaults.optionNumeric;
    expected.optionPhone = defaults.optionPhone;
    expected.IndexForModem = defaults.IndexForModem;
    expected.ModemInitString = defaults.ModemInitString;
    expected.chkProximSnapCam = defaults.chkProximSnapCam;
    expected.cmbProximNumber = defaults.cmbProximNumber;
    expected.chkSendToSummary = defaults.chkSendToSummary;
    expected.AutoStartIUE = defaults.AutoStartIUE;
    expected.prox = defaults.prox;
    EXPECT_EQ(loaded, expected);

    const ProfileFile file = ProfileFile::Parse(rig.PrefsFile());
    EXPECT_EQ(file.Find("Sensor Setup", "optUseSMTP"), "False");
    EXPECT_EQ(file.Find("Internet Update Setup", "optStayConnected"), "True");
    EXPECT_EQ(file.Find("Internet Update Setup", "optConnectBeforeSend"), "False");
    EXPECT_EQ(file.Find("Sensor Setup", "MinOrSecs"), "Sec");
    EXPECT_EQ(file.Find("Sensor Setup", "optRunCommand"), "1");
    EXPECT_EQ(file.Find("Sensor Setup", "optSystemLock"), "0");
    EXPECT_EQ(file.Find("Sensor Setup", "chkOnScreenOnProx"), "1");
    const std::string text = rig.PrefsFile();
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << "bare line feed at " << at;
    }
}

TEST(PreferencesStoreTest, TrueFalseOptionsAcceptTheUsualBooleanTexts) {
    EXPECT_TRUE(ToBoolean("True"));
    EXPECT_TRUE(ToBoolean("TRUE"));
    EXPECT_FALSE(ToBoolean("False", true));
    EXPECT_TRUE(ToBoolean("1"));
    EXPECT_FALSE(ToBoolean("0", true));
    EXPECT_TRUE(ToBoolean("-1"));
    EXPECT_TRUE(ToBoolean("9"));
    EXPECT_TRUE(ToBoolean(" 1 "));
    EXPECT_FALSE(ToBoolean("Error"));
    EXPECT_TRUE(ToBoolean("", true));
    EXPECT_TRUE(ToBoolean("yes please", true));

    ConfigStoreRig rig;
    rig.files.Put(ConfigStoreRig::kPrefsPath,
                  "[Sensor Setup]\r\noptUseSMTP=0\r\n"
                  "[Internet Update Setup]\r\noptStayConnected=1\r\n"
                  "optConnectBeforeSend=false\r\n");
    Preferences p;
    ASSERT_TRUE(rig.store.LoadPrefsINI(p));
    EXPECT_FALSE(p.optUseSMTP);
    EXPECT_TRUE(p.optStayConnected);
    EXPECT_FALSE(p.optConnectBeforeSend);
}

TEST(PreferencesStoreTest, SavingPreferencesKeepsTheJournalAndTheDeviceList) {
    ConfigStoreRig rig;
    rig.files.Put(ConfigStoreRig::kPrefsPath,
                  "[Device Setup]\r\nTotalDevices=1\r\n"
                  "[Device Setup\\1]\r\nDeviceType=Vigiltron/T (Temperature)\r\n"
                  "[Logging]\r\n9:00:00 AM:010=FormLoadError\r\n"
                  "[Sensor Setup]\r\nTempMax=99\r\nSomethingElse=kept\r\n");
    ASSERT_TRUE(rig.store.SavePrefsINI(Preferences::Defaults("/app")));
    const ProfileFile file = ProfileFile::Parse(rig.PrefsFile());
    EXPECT_EQ(file.Find("Device Setup", "TotalDevices"), "1");
    EXPECT_EQ(file.Find("Device Setup\\1", "DeviceType"), "Vigiltron/T (Temperature)");
    EXPECT_EQ(file.Find("Logging", "9:00:00 AM:010"), "FormLoadError");
    EXPECT_EQ(file.Find("Sensor Setup", "TempMax"), "80");
    EXPECT_EQ(file.Find("Sensor Setup", "SomethingElse"), "kept");
}

TEST(PreferencesStoreTest, AnUnreadablePreferencesFileIsNeverOverwritten) {
    ConfigStoreRig rig;
    rig.files.Put(ConfigStoreRig::kPrefsPath, "[Sensor Setup]\r\nTempMax=99\r\n");
    rig.files.MakeUnreadable(ConfigStoreRig::kPrefsPath);

    Preferences p = Preferences::Defaults("/app");
    p.TempMax = "55";
    EXPECT_FALSE(rig.store.LoadPrefsINI(p));
    EXPECT_EQ(p.TempMax, "55");
    EXPECT_FALSE(rig.store.SavePrefsINI(p));
    EXPECT_FALSE(rig.store.AddJournalEntry(":020", "AutoOpenPrefError"));
    EXPECT_EQ(rig.files.Writes(), 0);
    EXPECT_EQ(rig.PrefsFile(), "[Sensor Setup]\r\nTempMax=99\r\n");
}

TEST(PreferencesStoreTest, PreferencesFileNameComesFromTheMachineSettings) {
    ConfigStoreRig rig;
    EXPECT_EQ(rig.store.PrefsFilePath(), "/cfg/vigiltron.ini");

    rig.store.UsePrefsFileFromMachine();  // no INIPath
    EXPECT_EQ(rig.store.PrefsFileName(), "vigiltron.ini");

    rig.machine.Set("INIPath", std::string("/srv/site.ini\0garbage", 21));
    rig.store.UsePrefsFileFromMachine();
    EXPECT_EQ(rig.store.PrefsFilePath(), "/srv/site.ini");
    EXPECT_TRUE(rig.store.WritePrefsFileValue("Device Setup", "TotalDevices", "2"));
    EXPECT_TRUE(rig.files.Has("/srv/site.ini"));

    rig.machine.Set("INIPath", "");
    rig.store.UsePrefsFileFromMachine();
    EXPECT_EQ(rig.store.PrefsFilePath(), "/cfg/vigiltron.ini");
}

TEST(PreferencesStoreTest, ServiceModeDeviceCountReadsWithItsOwnDefault) {
    ConfigStoreRig rig;
    EXPECT_EQ(rig.store.ReadPrefsFileValue("Device Setup", "TotalDevices", "00"), "00");
    ASSERT_TRUE(rig.store.WritePrefsFileValue("Device Setup", "TotalDevices", "12345"));
    EXPECT_EQ(rig.store.ReadPrefsFileValue("Device Setup", "TotalDevices", "00"), "12345");
}

TEST(PreferencesStoreTest, JournalEntriesAreKeyedByTimeOfDayAndCode) {
    ConfigStoreRig rig;
    rig.files.Put(ConfigStoreRig::kPrefsPath, "[Sensor Setup]\r\nTempMax=85\r\n");
    ASSERT_TRUE(rig.store.AddJournalEntry(":020", "AutoOpenPrefError"));
    rig.loop.RunFor(Milliseconds(61'000));
    ASSERT_TRUE(rig.store.AddJournalEntry(":334", "cmdConnectSensor Error: port busy"));

    const ProfileFile file = ProfileFile::Parse(rig.PrefsFile());
    const auto entries = file.Entries("Logging");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0],
              (std::pair<std::string, std::string>("4:05:09 PM:020", "AutoOpenPrefError")));
    EXPECT_EQ(entries[1], (std::pair<std::string, std::string>(
                              "4:06:10 PM:334", "cmdConnectSensor Error: port busy")));
    EXPECT_EQ(file.Find("Sensor Setup", "TempMax"), "85");
}

TEST(PreferencesStoreTest, SaveToFileMenuUsesTheMachineFileAndReportsFailure) {
    ConfigStoreRig rig;
    rig.machine.Set("INIPath", "/srv/site.ini");
    ASSERT_TRUE(rig.store.SavePreferencesToFile(Preferences::Defaults("/app")));
    EXPECT_EQ(
        ProfileFile::Parse(rig.files.Contents("/srv/site.ini")).Find("Sensor Setup", "TempMax"),
        "80");
    EXPECT_TRUE(rig.dialogs.Messages().empty());

    rig.files.FailWrites(true);
    EXPECT_FALSE(rig.store.SavePreferencesToFile(Preferences::Defaults("/app")));
    EXPECT_EQ(rig.dialogs.Messages(),
              std::vector<std::string>{"Error when saving preferences to file"});
}

TEST(PreferencesStoreTest, CleanOutEmptiesTheSettingsTreeOfTheProgramsSections) {
    ConfigStoreRig rig;
    rig.tree.SaveSetting("PortConfig\\Devices\\3\\", "DeviceType", "Vigiltron/W (Water)");
    rig.tree.SaveSetting("PortConfig", "Stray", "1");
    rig.tree.SaveSetting("Program Setup\\Prox4", "chkCamMon", "1");
    rig.tree.SaveSetting("Program Setup\\Internet Setup", "pw", "x");
    rig.tree.SaveSetting("Program Setup", "TempMax", "85");
    rig.tree.SaveSetting("Port Map", "COM5", "/dev/ttyUSB0");

    rig.store.RegistryCleanOut();

    EXPECT_FALSE(rig.tree.HasSection("PortConfig\\Devices\\3"));
    EXPECT_FALSE(rig.tree.HasSection("PortConfig"));
    EXPECT_FALSE(rig.tree.HasSection("Program Setup\\Prox4"));
    EXPECT_FALSE(rig.tree.HasSection("Program Setup"));
    EXPECT_FALSE(rig.tree.HasSection("Program Setup\\Internet Setup"));
    EXPECT_EQ(rig.tree.GetSetting("Port Map", "COM5"), "/dev/ttyUSB0");
    EXPECT_EQ(rig.dialogs.Messages(),
              std::vector<std::string>{
                  "Success.  You must exit the program and restart.\n"
                  "You will be prompted to re-enter your sensor setup information."});
}

}  // namespace
}  // namespace vigiltron
