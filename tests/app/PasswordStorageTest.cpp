// Where the SMTP and FTP passwords are kept: in the desktop keyring when there is one, otherwise
// in the settings; never in the journal, the messages or a listing.
#include <QFile>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/ConfigureCommand.h"
#include "app/EngineTestRig.h"
#include "sim/MemorySecretStore.h"

namespace vigiltron {
namespace {

constexpr const char* kProgramSetup = "Program Setup";
constexpr const char* kInternetSetup = "Program Setup\\Internet Setup";
constexpr const char* kPrefsFile = "/cfg/vigiltron.ini";

class PasswordStorageTest : public ::testing::Test, public EngineTestRig {
protected:
    PasswordStorageTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 9, 0, 0, 0}) {
        secrets = &keyring;
    }

    // A start with nothing configured: the question about detecting devices is answered No.
    Engine& StartQuietly(bool vtService = false) {
        dialogs.QueueYesNo(false);
        StartupSwitches switches;
        switches.vtService = vtService;
        return Start(switches);
    }

    static RemoteMonitoringSettings Remote(const std::string& pw) {
        RemoteMonitoringSettings remote;
        remote.ServerName = "ftp.example.com";
        remote.pw = pw;
        remote.InternetInterval = "10";
        return remote;
    }

    // No journal line and no message box repeats any of `passwords`.
    void ExpectNothingShows(std::initializer_list<const char*> passwords) const {
        for (const char* password : passwords) {
            for (const auto& [category, text] : journal.lines) {
                EXPECT_EQ(text.find(password), std::string::npos) << category << ": " << text;
            }
            for (const auto& shown : dialogs.History()) {
                EXPECT_EQ(shown.text.find(password), std::string::npos) << shown.text;
            }
        }
    }

    MemorySecretStore keyring;
};

TEST_F(PasswordStorageTest, WithAKeyringPasswordsMoveThereOnTheFirstSaveAndStayNowhereElse) {
    // An existing installation: both passwords in clear in the settings and in the preferences
    // file; the keyring still holds an older FTP password from a run whose save was lost.
    settings.SaveSetting(kProgramSetup, "SMTPUserPassword", "smtp-clear");
    settings.SaveSetting(kInternetSetup, "pw", "ftp-clear");
    files.Put(kPrefsFile,
              "[Email Alert Setup]\r\nSMTPUserPassword=smtp-clear\r\n"
              "[Internet Update Setup]\r\npw=ftp-clear\r\n");
    keyring.Put("pw", "ftp-older");

    Engine& e = StartQuietly();
    EXPECT_EQ(e.prefs.SMTPUserPassword, "smtp-clear");
    EXPECT_EQ(e.prefs.pw, "ftp-clear");  // the clear value is the newer one
    EXPECT_EQ(keyring.Writes(), 0);      // reading moves nothing

    e.contactSetup.OpenEmailWindow();
    EXPECT_EQ(e.view.contactSetup.passwordStorage, "Passwords are kept in the desktop keyring.");
    EmailSettings mail;
    mail.SMTPHostServer = "mail.example.com";
    mail.SMTPUserPassword = "smtp-new";
    e.contactSetup.SaveEmailSettings(mail);
    EXPECT_EQ(keyring.Get("SMTPUserPassword"), "smtp-new");
    EXPECT_EQ(settings.GetSetting(kProgramSetup, "SMTPUserPassword"), "");
    EXPECT_EQ(settings.GetSetting(kProgramSetup, "SMTPHostServer"), "mail.example.com");

    // The setup window's OK saves the whole set: the FTP password moves with it.
    e.setupPreferences.cmdOK_Click();
    EXPECT_EQ(keyring.Get("pw"), "ftp-clear");
    EXPECT_EQ(settings.GetSetting(kInternetSetup, "pw"), "");

    // "Save Preferences to file" writes every other preference but no password.
    ASSERT_TRUE(e.config.SavePreferencesToFile(e.prefs));
    const std::string file = files.Contents(kPrefsFile);
    EXPECT_NE(file.find("ServerName="), std::string::npos) << file;
    EXPECT_EQ(file.find("smtp-"), std::string::npos) << file;
    EXPECT_EQ(file.find("ftp-clear"), std::string::npos) << file;

    // The next runs, from the settings or as a service from the file, find them in the keyring.
    for (const bool vtService : {false, true}) {
        const Engine& next = StartQuietly(vtService);
        EXPECT_EQ(next.prefs.SMTPUserPassword, "smtp-new") << vtService;
        EXPECT_EQ(next.prefs.pw, "ftp-clear") << vtService;
    }

    // A password the user empties leaves the keyring too, or the next start would bring it back.
    const int writes = keyring.Writes();
    ASSERT_TRUE(engine->contactSetup.SaveRemoteMonitoring(Remote("")));
    EXPECT_FALSE(keyring.Has("pw"));
    EXPECT_EQ(StartQuietly().prefs.pw, "");
    // An unchanged password is not written to the keyring again.
    engine->setupPreferences.cmdOK_Click();
    EXPECT_EQ(keyring.Writes(), writes);

    ExpectNothingShows({"smtp-", "ftp-"});
}

TEST_F(PasswordStorageTest, WithoutAKeyringPasswordsStayInTheSettingsAndTheWindowsSaySo) {
    keyring.SetAvailable(false);
    Engine& e = StartQuietly();
    e.contactSetup.OpenRemoteMonitoringWindow();
    EXPECT_EQ(e.view.contactSetup.passwordStorage,
              "No desktop keyring: passwords are kept in the settings file, readable only by you.");
    ASSERT_TRUE(e.contactSetup.SaveRemoteMonitoring(Remote("ftp-secret")));
    EXPECT_EQ(settings.GetSetting(kInternetSetup, "pw"), "ftp-secret");
    ASSERT_TRUE(e.config.SavePreferencesToFile(e.prefs));
    EXPECT_NE(files.Contents(kPrefsFile).find("pw=ftp-secret"), std::string::npos);

    // A keyring that answers but refuses the password: it is kept in clear rather than lost, and
    // the one saved while there was no keyring is still the one in force.
    keyring.SetAvailable(true);
    keyring.RefuseWrites(true);
    Engine& next = StartQuietly();
    EXPECT_EQ(next.prefs.pw, "ftp-secret");
    EmailSettings mail;
    mail.SMTPUserPassword = "smtp-secret";
    next.contactSetup.SaveEmailSettings(mail);
    EXPECT_EQ(settings.GetSetting(kProgramSetup, "SMTPUserPassword"), "smtp-secret");
    EXPECT_EQ(StartQuietly().prefs.SMTPUserPassword, "smtp-secret");

    ExpectNothingShows({"ftp-secret", "smtp-secret"});
}

TEST_F(PasswordStorageTest, ImportedPasswordsGoToTheKeyringAndListingsMaskThem) {
    Engine& e = StartQuietly();
    const std::string key =
        "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\";
    const std::string reg = "REGEDIT4\r\n\r\n" + key + "Program Setup]\r\n" +
                            "\"SMTPHostServer\"=\"mail.example.com\"\r\n"
                            "\"SMTPUserPassword\"=\"smtp-imported\"\r\n\r\n" +
                            key + "Program Setup\\Internet Setup]\r\n" +
                            "\"pw\"=\"ftp-imported\"\r\n";
    // The import looks at the real file, then reads it through the engine's file store.
    const std::string path = folder.filePath("office.reg").toStdString();
    QFile real(QString::fromStdString(path));
    ASSERT_TRUE(real.open(QIODevice::WriteOnly));
    real.write(reg.data(), qint64(reg.size()));
    real.close();
    files.Put(path, reg);

    ProgramPaths paths;
    paths.configDirectory = "/cfg";
    paths.applicationFolder = folder.path().toStdString();
    paths.settingsFile = folder.filePath("Vigiltron Manager.ini").toStdString();
    CommandLine cmd;
    cmd.configure.operation = ConfigureOperation::ImportSettings;
    cmd.configure.file = path;
    std::ostringstream imported;
    ASSERT_EQ(ConfigureCommand(e, cmd, paths, nullptr, imported).Run(), 0) << imported.str();
    EXPECT_NE(imported.str().find("Passwords are kept in the desktop keyring."), std::string::npos)
        << imported.str();
    EXPECT_EQ(keyring.Get("SMTPUserPassword"), "smtp-imported");
    EXPECT_EQ(keyring.Get("pw"), "ftp-imported");
    EXPECT_EQ(settings.GetSetting(kProgramSetup, "SMTPUserPassword"), "");
    EXPECT_EQ(settings.GetSetting(kInternetSetup, "pw"), "");
    EXPECT_EQ(settings.GetSetting(kProgramSetup, "SMTPHostServer"), "mail.example.com");

    // --list shows that they are set, never what they are, from the settings and from the file.
    for (const bool vtService : {false, true}) {
        cmd.configure.operation = ConfigureOperation::List;
        cmd.vtService = vtService;
        std::ostringstream listed;
        ConfigureCommand(e, cmd, paths, nullptr, listed).Run();
        EXPECT_NE(listed.str().find("\nSMTPUserPassword=********\n"), std::string::npos)
            << listed.str();
        EXPECT_NE(listed.str().find("\npw=********\n"), std::string::npos) << listed.str();
        EXPECT_EQ(listed.str().find("-imported"), std::string::npos) << listed.str();
    }
    ExpectNothingShows({"-imported"});
}

}  // namespace
}  // namespace vigiltron
