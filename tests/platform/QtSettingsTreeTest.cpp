#include "platform/QtSettingsTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "config/ConfigStore.h"
#include "config/MemoryTextFileStore.h"
#include "core/Clock.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "platform/FileStore.h"
#include "platform/QtMachineSettings.h"
#include "sim/MemorySecretStore.h"

namespace vigiltron {
namespace {

class SilentDialogs : public Dialogs {
public:
    void ShowMessage(const std::string& text, MessageIcon, bool, const std::string&) override {
        shown.push_back(text);
    }
    bool AskYesNo(const std::string&, const std::string&, bool defaultYes) override {
        return defaultYes;
    }
    std::optional<std::string> AskText(const std::string&, const std::string&,
                                       const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> ChooseDirectory(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::vector<std::string> shown;
};

class FixedClock : public Clock {
public:
    LocalDateTime Now() const override { return {2026, 1, 2, 3, 4, 5, 0}; }
    std::string ShortDate(const LocalDateTime& when) const override { return UsShortDate(when); }
    std::string LongTime(const LocalDateTime& when) const override { return UsLongTime(when); }
};

class QtSettingsTreeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name = QStringLiteral("settings.ini")) const {
        return dir_.filePath(name);
    }
    QByteArray FileBytes() const {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir_;
};

TEST_F(QtSettingsTreeTest, TrailingBackslashNamesTheSameSection) {
    {
        QtSettingsTree tree(Path());
        tree.SaveSetting("Program Setup\\", "TempMax", "85");
        tree.SaveSetting("Program Setup\\Internet Setup", "pw", "secret");
        EXPECT_EQ(tree.GetSetting("Program Setup", "TempMax"), "85");
        EXPECT_EQ(tree.GetSetting("Program Setup\\Internet Setup\\", "pw"), "secret");
    }
    QtSettingsTree reopened(Path());
    EXPECT_EQ(reopened.GetSetting("Program Setup", "TempMax"), "85");
    EXPECT_EQ(reopened.GetSetting("Program Setup\\", "TempMax"), "85");
    EXPECT_EQ(reopened.GetSetting("Program Setup\\Internet Setup\\", "pw"), "secret");
    EXPECT_EQ(reopened.GetSetting("Program Setup", "Missing", "dflt"), "dflt");
    EXPECT_EQ(reopened.GetSetting("No Section\\", "TempMax", "dflt"), "dflt");
}

TEST_F(QtSettingsTreeTest, EverySaveIsOnDiskAtOnce) {
    QtSettingsTree tree(Path());
    tree.SaveSetting("Program Setup", "TempMax", "85");
    EXPECT_TRUE(FileBytes().contains("TempMax=85"));
    tree.DeleteSetting("Program Setup");
    EXPECT_FALSE(FileBytes().contains("TempMax"));
    EXPECT_TRUE(tree.Ok());
}

TEST_F(QtSettingsTreeTest, DeleteTakesSubSectionsButNotNamesThatMerelyStartAlike) {
    QtSettingsTree tree(Path());
    tree.SaveSetting("PortConfig\\Devices\\1\\", "DeviceType", "Vigiltron/T (Temperature)");
    tree.SaveSetting("PortConfig\\Devices\\10\\", "DeviceType", "Vigiltron/W (Water)");
    tree.SaveSetting("Program Setup", "TempMax", "80");
    tree.SaveSetting("Program Setup\\Prox1", "chkCamMon", "1");

    tree.DeleteSetting("PortConfig\\Devices\\1\\");
    EXPECT_EQ(tree.GetSetting("PortConfig\\Devices\\1", "DeviceType", "gone"), "gone");
    EXPECT_EQ(tree.GetSetting("PortConfig\\Devices\\10", "DeviceType"), "Vigiltron/W (Water)");

    tree.DeleteSetting("Program Setup\\");
    EXPECT_EQ(tree.GetSetting("Program Setup\\Prox1", "chkCamMon", "gone"), "gone");
    EXPECT_EQ(tree.GetSetting("Program Setup", "TempMax", "gone"), "gone");

    // An empty name removes only top-level values, never the whole tree.
    tree.SaveSetting("", "Loose", "1");
    tree.DeleteSetting("");
    EXPECT_EQ(tree.GetSetting("", "Loose", "gone"), "gone");
    EXPECT_EQ(tree.GetSetting("PortConfig\\Devices\\10", "DeviceType"), "Vigiltron/W (Water)");
}

TEST_F(QtSettingsTreeTest, AwkwardValuesComeBackAsSaved) {
    const std::vector<std::string> values = {
        "C:\\",
        " leading and trailing ",
        "a, b, c",
        "@home",
        "x=y;z # not a comment",
        "\"quoted\"",
        "Grüße ✓",
        "",
        "True",
        std::string(500, 'w'),
    };
    {
        QtSettingsTree tree(Path());
        for (size_t i = 0; i < values.size(); ++i) {
            tree.SaveSetting("Program Setup", "k" + std::to_string(i), values[i]);
        }
    }
    QtSettingsTree reopened(Path());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(reopened.GetSetting("Program Setup", "k" + std::to_string(i), "missing"),
                  values[i])
            << i;
    }
}

TEST_F(QtSettingsTreeTest, DefaultFilesAreNamedForTheApplication) {
    // Both scopes pointed into the temporary folder: the user's own files are never touched.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Path(QStringLiteral("user")));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope,
                       Path(QStringLiteral("system")));
    {
        QtSettingsTree tree;
        tree.SaveSetting("Program Setup", "AutoConnect", "1");
        EXPECT_EQ(tree.FileName(), Path(QStringLiteral("user/Vigiltron/Vigiltron Manager.ini")));
    }
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("user/Vigiltron/Vigiltron Manager.ini"))));
    {
        QSettings admin(Path(QStringLiteral("system/Vigiltron/Vigiltron Manager.ini")),
                        QSettings::IniFormat);
        admin.setValue(QStringLiteral("Autologout"), QStringLiteral("1"));
    }
    const QtMachineSettings machine;
    EXPECT_EQ(machine.Read("Autologout"), "1");
}

TEST_F(QtSettingsTreeTest, PreferencesSurviveTheRealTree) {
    SilentDialogs dialogs;
    FixedClock clock;
    FixedMachineSettings machine;
    MemoryTextFileStore files;
    Preferences saved = Preferences::Defaults("/app");
    saved.txtXMLDirectory = "C:\\www\\";
    saved.optStayConnected = true;
    saved.EmailAddress = "first.last@example.org, second@example.org";
    saved.ProximityRunCommand = "\"/opt/x y/away\" --now";
    saved.chkEmailAlert[9] = true;
    saved.optUseSMTP = false;
    {
        QtSettingsTree tree(Path());
        DeviceModel devices(dialogs, tree);
        ConfigStore store(tree, machine, files, dialogs, clock, devices, "/app", "/cfg");
        ASSERT_TRUE(store.SavePrefsRegistry(saved));
    }
    QtSettingsTree tree(Path());
    DeviceModel devices(dialogs, tree);
    ConfigStore store(tree, machine, files, dialogs, clock, devices, "/app", "/cfg");
    Preferences loaded;
    ASSERT_TRUE(store.LoadPrefsRegistry(loaded));
    EXPECT_EQ(loaded, saved);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(QtSettingsTreeTest, WithoutAKeyringTheFilesHoldingPasswordsAreTheUsersAlone) {
    auto mode = [](const QString& path) {
        struct stat info {};
        return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? (info.st_mode & 0777) : 0u;
    };
    auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    // Both files left by an earlier version, readable by everyone.
    const QString prefsFile = Path(QStringLiteral("vigiltron.ini"));
    for (const QString& path : {Path(), prefsFile}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Sensor Setup]\nTempMax=80\n");
        file.close();
        ASSERT_EQ(::chmod(path.toLocal8Bit().constData(), 0644), 0);
    }

    SilentDialogs dialogs;
    FixedClock clock;
    FixedMachineSettings machine;
    MemorySecretStore keyring;
    keyring.SetAvailable(false);
    FileStore files;
    files.SetOwnerOnly([&keyring] { return !keyring.Available(); });
    QtSettingsTree tree(Path());
    DeviceModel devices(dialogs, tree);
    ConfigStore store(tree, machine, files, dialogs, clock, devices, "/app",
                      dir_.path().toStdString(), &keyring);
    Preferences prefs = Preferences::Defaults("/app");
    prefs.SMTPUserPassword = "smtp-secret";
    prefs.pw = "ftp-secret";
    ASSERT_TRUE(store.SavePrefsRegistry(prefs));
    ASSERT_TRUE(store.SavePreferencesToFile(prefs));
    for (const QString& path : {Path(), prefsFile}) {
        EXPECT_EQ(mode(path), 0600u) << path.toStdString();
        EXPECT_TRUE(contents(path).contains("ftp-secret")) << path.toStdString();
    }

    // A new settings file is private from the start.
    QtSettingsTree fresh(Path(QStringLiteral("new/settings.ini")));
    fresh.SaveSetting("Program Setup\\Internet Setup", "pw", "ftp-secret");
    EXPECT_EQ(mode(Path(QStringLiteral("new/settings.ini"))), 0600u);
    EXPECT_TRUE(fresh.Ok());
}

TEST_F(QtSettingsTreeTest, MachineValuesAreReadOnlyStrings) {
    {
        QSettings admin(Path(QStringLiteral("machine.ini")), QSettings::IniFormat);
        admin.setValue(QStringLiteral("INIPath"), QStringLiteral("/srv/vigiltron.ini"));
        admin.setValue(QStringLiteral("Autologout"), QStringLiteral("1"));
        admin.setValue(QStringLiteral("Port"), QString(QStringLiteral("4")) + QChar(0) + "junk");
        admin.setValue(QStringLiteral("ForceLogOff"),
                       QStringList{QStringLiteral("a"), QStringLiteral("b")});
    }
    const QtMachineSettings machine(Path(QStringLiteral("machine.ini")));
    EXPECT_EQ(machine.Read("INIPath"), "/srv/vigiltron.ini");
    EXPECT_EQ(machine.Read("Autologout"), "1");
    EXPECT_EQ(machine.Read("Port"), "4");
    EXPECT_EQ(machine.Read("ForceLogOff"), "");  // not a string
    EXPECT_EQ(machine.Read("BinaryInterval"), "");
}

}  // namespace
}  // namespace vigiltron
