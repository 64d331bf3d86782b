// Runs the real program's configure operations as a user would from a shell, each into its own
// configuration folder, and then the program itself on what they stored.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/ProgramRun.h"

#include <string>

namespace {

using vigiltron::testing_support::RunProgram;
using vigiltron::testing_support::RunResult;
using vigiltron::testing_support::WriteFile;

// A registry editor's export: UTF-16LE with its byte-order mark and CR LF line ends.
QByteArray RegistryExport(const QString& text) {
    QString crlf = text;
    crlf.replace("\n", "\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : crlf) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

const char* const kKey =
    "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager";

TEST(ConfigureCommandTest, ImportedWindowsSettingsAreListedAndRunAsTheyWere) {
    QTemporaryDir dir;
    const QString config = dir.filePath("config");
    const QString key = kKey;
    const QString reg = WriteFile(
        dir, "office.reg",
        RegistryExport("Windows Registry Editor Version 5.00\n\n" + key + "\\Program Setup]\n" +
                       "\"TotalDevices\"=\"3\"\n\"AutoConnect\"=\"1\"\n\"ReadingInterval\"=\"1\"\n"
                       "\"SMTPHostServer\"=\"mail.example.com\"\n"
                       "\"SMTPUserPassword\"=\"s3cret\"\n\n" +
                       key + "\\PortConfig\\Devices\\1]\n" +
                       "\"DeviceType\"=\"Vigiltron/T (Temperature)\"\n"
                       "\"DeviceName\"=\"Server room\"\n\"Port\"=\"3\"\n\"SubIndex\"=\"1\"\n"
                       "\"TabLogging\"=\"1\"\n\"FileLogging\"=\"0\"\n\n" +
                       key + "\\PortConfig\\Devices\\2]\n" +
                       "\"DeviceType\"=\"Vigiltron/W (Water)\"\n\"DeviceName\"=\"Basement\"\n"
                       "\"Port\"=\"4\"\n\"SubIndex\"=\"1\"\n\n" +
                       key + "\\PortConfig\\Devices\\3]\n" +
                       "\"DeviceType\"=\"Vigiltron/D (Distance)\"\n\"DeviceName\"=\"Door\"\n"
                       "\"Port\"=\"5\"\n\"SubIndex\"=\"1\"\n\"StartInProx\"=\"1\"\n"
                       "\"LastSeen\"=hex:00,01,\\\n  02,03\n\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vigiltron Manager]\n"
                       "\"INIPath\"=\"C:\\\\vigiltron.ini\"\n"));

    const RunResult import = RunProgram({"--import-settings", reg, "--config-dir", config});
    ASSERT_EQ(import.exitCode, 0) << import.err << import.out;
    EXPECT_TRUE(Has(import.out, "20 values imported, 2 skipped")) << import.out;
    EXPECT_TRUE(Has(import.out, "skipped line 30: \"LastSeen\": binary value (hex)")) << import.out;

    const RunResult list = RunProgram({"--list", "--config-dir", config});
    ASSERT_EQ(list.exitCode, 0) << list.err << list.out;
    EXPECT_TRUE(Has(list.out,
                    "1: temperature \"Server room\", COM3 (/dev/ttyS2), slot 1, tab "
                    "logging on, file logging off\n"))
        << list.out;
    EXPECT_TRUE(Has(list.out, "2: water \"Basement\", COM4 (/dev/ttyS3), slot 1")) << list.out;
    EXPECT_TRUE(Has(list.out,
                    "3: distance \"Door\", COM5 (/dev/ttyS4), slot 1, tab logging off, "
                    "file logging off, starts in proximity mode\n"))
        << list.out;
    EXPECT_TRUE(Has(list.out, "\nSMTPHostServer=mail.example.com\n")) << list.out;
    EXPECT_TRUE(Has(list.out, "\nSMTPUserPassword=********\n")) << list.out;
    EXPECT_FALSE(Has(list.out, "s3cret"));
    EXPECT_FALSE(Has(list.out, "connect:")) << list.out;

    const QString scenario = WriteFile(dir, "office.scenario",
                                       "sensor COM3 temperature value=71\n"
                                       "sensor COM4 water wet=no\n"
                                       "sensor COM5 distance distance=250\n");
    const RunResult simulatedList =
        RunProgram({"--list", "--simulate", scenario, "--config-dir", config});
    EXPECT_TRUE(Has(simulatedList.out, "COM3 (simulated temperature sensor)")) << simulatedList.out;
    EXPECT_TRUE(Has(simulatedList.out, "COM5 (simulated distance sensor)")) << simulatedList.out;

    const RunResult run = RunProgram(
        {"--headless", "--simulate", scenario, "--virtual-time", "120", "--config-dir", config});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_TRUE(Has(run.out, "connect: 1 Server room connected on COM3")) << run.out;
    EXPECT_TRUE(Has(run.out, "connect: 2 Basement connected on COM4")) << run.out;
    EXPECT_TRUE(Has(run.out, "connect: 3 Door connected on COM5")) << run.out;
    EXPECT_TRUE(Has(run.out, "reading: 1 Server room 71 F")) << run.out;
}

TEST(ConfigureCommandTest, AnImportThatCannotBeDoneIsRefusedAndStoresNothing) {
    QTemporaryDir dir;
    const QString config = dir.filePath("config");
    const QString settings = config + "/Vigiltron Manager.ini";

    const RunResult garbage =
        RunProgram({"--import-settings", WriteFile(dir, "notes.reg", "TempMax=80\r\n"),
                    "--config-dir", config});
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_TRUE(Has(garbage.out, "This is not a registry export")) << garbage.out;

    const RunResult otherKey =
        RunProgram({"--import-settings",
                    WriteFile(dir, "other.reg",
                              RegistryExport("Windows Registry Editor Version 5.00\n\n"
                                             "[HKEY_CURRENT_USER\\Software\\Other Program\\Setup]\n"
                                             "\"TempMax\"=\"80\"\n")),
                    "--config-dir", config});
    EXPECT_EQ(otherKey.exitCode, 1);
    EXPECT_TRUE(Has(otherKey.out, "Nothing was imported")) << otherKey.out;

    const RunResult missing =
        RunProgram({"--import-settings", dir.filePath("absent.reg"), "--config-dir", config});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(Has(missing.out, "no such file")) << missing.out;

    EXPECT_FALSE(QFile::exists(settings));
}

// A service user sets up a machine from a shell: finds the sensors, adds them, changes the unit,
// removes one; each step is stored where the next one and the program find it.
TEST(ConfigureCommandTest, SensorsAreFoundAddedConvertedAndRemovedFromTheShell) {
    QTemporaryDir dir;
    const QString config = dir.filePath("config");
    const QString scenario = WriteFile(dir, "room.scenario",
                                       "sensor COM3 temperature value=72.5\n"
                                       "sensor COM17 combined temperature=68 humidity=40\n");
    const QStringList sim = {"--simulate", scenario, "--config-dir", config};

    const RunResult scan = RunProgram(sim + QStringList{"--scan", "--all-ports"});
    ASSERT_EQ(scan.exitCode, 0) << scan.out << scan.err;
    EXPECT_TRUE(Has(scan.out, "\nCOM3: Vigiltron/T")) << scan.out;
    EXPECT_TRUE(Has(scan.out, "\n(COM17): Vigiltron/H")) << scan.out;

    const RunResult added = RunProgram(sim + QStringList{"--add-found", "--all-ports"});
    ASSERT_EQ(added.exitCode, 0) << added.out << added.err;
    const RunResult list = RunProgram({"--config-dir", config, "--list"});
    EXPECT_TRUE(Has(list.out, "1: temperature \"TempSensor000\", COM3")) << list.out;
    EXPECT_TRUE(Has(list.out, "2: combined (humidity half)")) << list.out;
    EXPECT_TRUE(Has(list.out, "3: combined (temperature half)")) << list.out;
    QFile ini(config + "/vigiltron.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("TotalDevices=3"));

    const RunResult celsius = RunProgram({"--config-dir", config, "--set", "ForC=C"});
    EXPECT_EQ(celsius.exitCode, 0) << celsius.out;
    const RunResult converted = RunProgram({"--config-dir", config, "--list"});
    EXPECT_TRUE(Has(converted.out, "\nTempMax=26.7\n")) << converted.out;
    EXPECT_TRUE(Has(converted.out, "\nTempMin=4.4\n")) << converted.out;
    const RunResult zero = RunProgram({"--config-dir", config, "--set", "ReadingInterval=0"});
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_TRUE(Has(zero.out, "Reading Interval cannot be 0!")) << zero.out;

    const RunResult removed = RunProgram({"--config-dir", config, "--remove", "2"});
    EXPECT_EQ(removed.exitCode, 0) << removed.out;
    const RunResult after = RunProgram({"--config-dir", config, "--list"});
    EXPECT_TRUE(Has(after.out, "1: temperature")) << after.out;
    EXPECT_FALSE(Has(after.out, "combined")) << after.out;
}

}  // namespace
