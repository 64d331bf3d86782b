// The keyring adapter against a real Secret Service (GNOME Keyring on a private session bus, so
// the user's own keyring is never touched) and against a session bus that is not there. Each case
// runs in a child process of this test program: the D-Bus and keyring libraries pick their bus
// once per process.
#include "platform/KeychainSecretStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "sim/RecordingJournal.h"

namespace vigiltron {
namespace {

constexpr const char* kCaseVariable = "VIGILTRON_KEYRING_CASE";

// Inside a private session with an unlocked keyring.
void RoundTrip() {
    RecordingJournal journal;
    KeychainSecretStore mine(journal, "/home/one/config");
    KeychainSecretStore other(journal, "/home/two/config");
    ASSERT_TRUE(mine.Available());
    EXPECT_EQ(mine.Where(), "Passwords are kept in the desktop keyring.");
    std::string error;
    EXPECT_FALSE(mine.Read("pw").value.has_value());
    ASSERT_TRUE(mine.Write("pw", "ftp s3cret \xC3\xBC", error)) << error;
    ASSERT_TRUE(other.Write("pw", "other", error)) << error;
    ASSERT_TRUE(mine.Write("SMTPUserPassword", "smtp", error)) << error;
    // Separate configurations keep separate passwords.
    EXPECT_EQ(mine.Read("pw").value.value_or("<none>"), "ftp s3cret \xC3\xBC");
    EXPECT_EQ(other.Read("pw").value.value_or("<none>"), "other");
    ASSERT_TRUE(mine.Write("pw", "changed", error)) << error;
    EXPECT_EQ(mine.Read("pw").value.value_or("<none>"), "changed");

    ASSERT_TRUE(mine.Remove("pw", error)) << error;
    EXPECT_FALSE(mine.Read("pw").value.has_value());
    EXPECT_TRUE(mine.Remove("pw", error)) << "removing what is not there: " << error;
    EXPECT_EQ(mine.Read("SMTPUserPassword").value.value_or("<none>"), "smtp");
    EXPECT_EQ(other.Read("pw").value.value_or("<none>"), "other");
    EXPECT_TRUE(journal.lines.empty());
}

// With a session bus address that leads nowhere.
void NoKeyring() {
    RecordingJournal journal;
    KeychainSecretStore store(journal);
    EXPECT_FALSE(store.Available());
    EXPECT_EQ(store.Where(),
              "No desktop keyring: passwords are kept in the settings file, readable only by you.");
    std::string error;
    EXPECT_FALSE(store.Write("pw", "ftp-secret", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(store.Remove("pw", error));
    const SecretStore::ReadResult read = store.Read("pw");
    EXPECT_FALSE(read.value.has_value());
    EXPECT_FALSE(read.error.empty());
    ASSERT_EQ(journal.lines.size(), 1u) << "said once";
    EXPECT_NE(journal.lines[0].second.find("passwords are kept in the settings file"),
              std::string::npos)
        << journal.lines[0].second;
}

struct ChildRun {
    bool finished = false;
    int exitCode = -1;
    std::string output;
};

// Runs this very test in a child process, as `program args...`, with the case to run.
ChildRun RunChild(const QString& program, QStringList args, QProcessEnvironment environment,
                  const char* which) {
    environment.insert(kCaseVariable, which);
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program, args);
    ChildRun run;
    run.finished = child.waitForFinished(60000);
    if (!run.finished) {
        child.kill();
        child.waitForFinished();
    }
    run.exitCode = child.exitCode();
    run.output = child.readAll().toStdString();
    return run;
}

TEST(KeychainSecretStoreTest, RealKeyringAndNone) {
    const QByteArray which = qgetenv(kCaseVariable);
    if (which == "round-trip") {
        RoundTrip();
        return;
    }
    if (which == "none") {
        NoKeyring();
        return;
    }

    const QString self = QCoreApplication::applicationFilePath();
    const QString filter = "--gtest_filter=KeychainSecretStoreTest.RealKeyringAndNone";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    ASSERT_TRUE(QDir().mkpath(home.filePath("run")));
    QFile::setPermissions(home.filePath("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert("XDG_RUNTIME_DIR", home.filePath("run"));

    QProcessEnvironment noBus = environment;
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));
    const ChildRun none = RunChild(self, {filter}, noBus, "none");
    ASSERT_TRUE(none.finished) << none.output;
    EXPECT_EQ(none.exitCode, 0) << none.output;
    EXPECT_NE(none.output.find("[  PASSED  ] 1 test"), std::string::npos) << none.output;

    const QString session = QStandardPaths::findExecutable("dbus-run-session");
    const QString keyring = QStandardPaths::findExecutable("gnome-keyring-daemon");
    if (session.isEmpty() || keyring.isEmpty()) {
        GTEST_SKIP() << "needs dbus-run-session and gnome-keyring-daemon for the real keyring";
    }
    // A fresh keyring, unlocked with a password given on its input, on a bus of its own that
    // goes away (with the keyring daemon) when the child ends.
    const ChildRun real =
        RunChild(session,
                 {"--", "sh", "-c",
                  "printf test | \"$1\" --unlock --components=secrets --daemonize >/dev/null && "
                  "exec \"$0\" \"$2\"",
                  self, keyring, filter},
                 environment, "round-trip");
    ASSERT_TRUE(real.finished) << real.output;
    EXPECT_EQ(real.exitCode, 0) << real.output;
    EXPECT_NE(real.output.find("[  PASSED  ] 1 test"), std::string::npos) << real.output;
}

}  // namespace
}  // namespace vigiltron
