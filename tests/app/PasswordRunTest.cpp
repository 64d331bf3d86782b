// The real program on a desktop session without a keyring: the passwords stay in the settings
// file, which only the user can read, and no journal line or file the run writes repeats them.
#include <sys/stat.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "app/ProgramRun.h"

namespace {

using vigiltron::testing_support::RunResult;
using vigiltron::testing_support::WriteFile;

constexpr const char* kSmtpPassword = "Smtp-Pa55word";

// Runs the program with a session bus address that leads nowhere, so no keyring can answer.
RunResult RunWithoutKeyring(const QTemporaryDir& dir, const QStringList& args) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-bus"));
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    return vigiltron::testing_support::RunProgram(args, 60000, environment);
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

TEST(PasswordRunTest, WithoutAKeyringNoJournalOrLogRepeatsAPasswordAndTheSettingsArePrivate) {
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath("Vigiltron Manager.ini");
    {
        // An existing installation: a logged temperature sensor whose alarm is mailed, with the
        // SMTP password in clear in a settings file everyone can read.
        QSettings settings(settingsFile, QSettings::IniFormat);
        settings.setValue("Program Setup/TotalDevices", "1");
        settings.setValue("Program Setup/AutoConnect", "1");
        settings.setValue("Program Setup/ReadingInterval", "1");
        settings.setValue("Program Setup/TempMax", "60");
        settings.setValue("Program Setup/chkEmailAlert1", "1");
        settings.setValue("Program Setup/chkOnScreenAlert1", "1");
        settings.setValue("Program Setup/EmailAddress", "ops@example.com");
        settings.setValue("Program Setup/SMTPHostServer", "127.0.0.1:1");
        settings.setValue("Program Setup/chkAuthenticationReq", "1");
        settings.setValue("Program Setup/SMTPUserName", "ops");
        settings.setValue("Program Setup/SMTPUserPassword", kSmtpPassword);
        settings.setValue("PortConfig/Devices/1/DeviceType", "Vigiltron/T (Temperature)");
        settings.setValue("PortConfig/Devices/1/DeviceName", "Probe");
        settings.setValue("PortConfig/Devices/1/Port", "1");
        settings.setValue("PortConfig/Devices/1/SubIndex", "1");
        settings.setValue("PortConfig/Devices/1/TabLogging", "1");
        settings.setValue("PortConfig/Devices/1/FileLogging", "1");
    }
    ASSERT_EQ(::chmod(settingsFile.toLocal8Bit().constData(), 0644), 0);
    const QString scenario = WriteFile(dir, "probe.scenario", "sensor COM1 temperature value=75\n");

    // A saved preference rewrites the settings file: from then on only the user can read it.
    const RunResult set =
        RunWithoutKeyring(dir, {"--set", "chkAlwaysSendAlert=1", "--config-dir", dir.path()});
    ASSERT_EQ(set.exitCode, 0) << set.err << set.out;
    struct stat info {};
    ASSERT_EQ(::stat(settingsFile.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const RunResult run =
        RunWithoutKeyring(dir, {"--headless", "--simulate", scenario, "--virtual-time", "600",
                                "--config-dir", dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    ASSERT_NE(run.out.find("reading: 1 Probe 75 F"), std::string::npos) << run.out;
    // Looking for the FTP password, which is not in the settings, finds no keyring: said once.
    EXPECT_EQ(Count(run.out, "passwords are kept in the settings file"), 1) << run.out;

    std::string everything = set.out + set.err + run.out + run.err;
    int filesRead = 0;
    for (QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        if (path == settingsFile) {
            continue;  // where the passwords belong when there is no keyring
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        everything += file.readAll().toStdString();
        ++filesRead;
    }
    EXPECT_GE(filesRead, 2);  // the scenario and at least the sensor's log file
    EXPECT_EQ(everything.find(kSmtpPassword), std::string::npos);
    // Still there for the mail and the upload to use.
    QSettings kept(settingsFile, QSettings::IniFormat);
    EXPECT_EQ(kept.value("Program Setup/SMTPUserPassword").toString(), kSmtpPassword);
}

}  // namespace
