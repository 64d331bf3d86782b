#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/EventLoop.h"
#include "core/Timer.h"

namespace vigiltron {

class Clock;
class Dialogs;
class FtpClient;
class Journal;
class SettingsTree;
class TextFileStore;
class ViewModel;
struct Preferences;

// The internet update engine: every `InternetInterval` minutes it writes the status document and
// sends it to the FTP server, logging in before each send ("Do not stay connected") or keeping
// one connection open ("Stay connected"); or it only stores the document in a local directory.
// It also runs the remote-monitoring window's test transfer, manual FTP commands and message log.
//
// Everything runs on the engine's thread. The waits below let other events run, and the FTP
// client's state notifications drive the rest; every wait is bounded by one of the three timers.
class FtpUpdateEngine {
public:
    struct Services {
        EventLoop& loop;
        Clock& clock;
        Dialogs& dialogs;
        Journal& journal;
        Preferences& prefs;
        ViewModel& view;
        SettingsTree& settings;
        TextFileStore& files;
        FtpClient& client;
        // Writes the status document; returns the path written, empty when it failed.
        std::function<std::string()> buildXml;
        // The name of the document the last build wrote ("vtman0.xml" ... "vtman9.xml").
        std::function<std::string()> currentDocumentName;
        std::string applicationFolder;
        // Creates a local directory (and its parents); false with the reason in `error`.
        std::function<bool(const std::string& path, std::string& error)> makeDirectory;
        // Where a locally stored document goes (the document writer's rule); when empty,
        // `txtXMLDirectory`, with an empty or Windows path meaning the application folder's
        // "www" directory.
        std::function<std::string()> xmlDirectory = {};
    };

    static constexpr Milliseconds kUpdatePeriod{60000};
    static constexpr Milliseconds kOperationPeriod{60000};
    static constexpr Milliseconds kLoginOperationPeriod{20000};
    static constexpr Milliseconds kCommandPeriod{9000};
    static constexpr Milliseconds kMkdirCommandPeriod{25000};
    // A message log holding this many lines is emptied before the next operation.
    static constexpr std::size_t kLogLimit = 2000;
    // What an unusable `InternetInterval` counts as.
    static constexpr int kDefaultInterval = 10;

    explicit FtpUpdateEngine(Services services);
    ~FtpUpdateEngine();
    FtpUpdateEngine(const FtpUpdateEngine&) = delete;
    FtpUpdateEngine& operator=(const FtpUpdateEngine&) = delete;

    // Start-up's "Do you wish to start Remote Monitoring?": log in, then start the update.
    void StartInternetUpdateEngine();
    // "Start FTP Update" / "Stop FTP Update".
    void cmdStartUpdate_Click();
    void cmdLoginFTP_Click();
    void cmdLogoutFTP_Click();
    // "Test Transfer (XSL file)": sends the stylesheet.
    void cmdTestTransfer_Click();

    // The manual commands of the window.
    void ChangeDirectory();
    void DirectoryListing();  // "LS -l"
    void ListContents();      // "LS "
    void MakeDirectory();
    void CancelCommand();
    void MakeLocalXmlDirectory();
    // "&Save Log": writes the message log to "<name>.ftp" in the application folder.
    void PrintList();

    // One update without the schedule, for the command line: logs in when needed, builds and
    // sends the document, logs out. True only when the server confirmed the upload (or, when the
    // document is only stored locally, when it was written).
    bool PublishNow();

    bool UpdateRunning() const { return UpdateRunning_; }
    bool LoggedIn() const { return bLoggedIn_; }
    const std::string& LastState() const { return LastState_; }

    // The stylesheet the test transfer and the local store copy; by default "vtman.xsl" in the
    // application folder.
    std::string stylesheetFile;

private:
    enum class SendOutcome { None, Pending, Delivered, Failed };

    void StateChanged(int state);
    void RecoverFromError();
    void UpdateTimerTick();
    void UpdateStep();
    void SendDocument(const std::string& localPath, const std::string& name);
    void StartUpdate();
    void StopUpdate();
    void CopyStylesheetToLocalDirectory();
    // Runs a manual command under the command timer.
    void RunGuardedCommand(const std::string& command, Milliseconds period);

    // Waits until the client is idle or `flag` is set, at most `bound`.
    void WaitIdleOr(const bool& flag, Milliseconds bound);
    void StartOperationTimer(Milliseconds period);
    void StopOperationTimer();
    void StartCommandTimer(Milliseconds period);
    void StopCommandTimer();

    // Adds a line to the message log (and the journal). Texts that begin with a blank are
    // stamped with the time of day, as are all state notifications.
    void Log(const std::string& text);
    void LogTimed(const std::string& text);
    void EmptyLogAtLimit();
    void ShowButtons();
    bool StoredLocally() const;
    bool DoNotStayConnected() const;
    int Interval() const;
    void SaveAutoStart(bool on);

    Services s_;
    Timer updateTimer_;
    Timer operationTimer_;
    Timer commandTimer_;

    std::string LastState_ = "No Events";
    bool bLoggedIn_ = false;
    std::string LastCommand_;
    bool UpdateRunning_ = false;
    bool ForceUpdate_ = false;
    bool LoginPending_ = false;
    int MinuteCount_ = 1;
    bool OperationTimedOut_ = false;
    bool bTimeExpired_ = false;

    bool startEnabled_ = false;
    bool inUpdateStep_ = false;
    bool recovering_ = false;
    SendOutcome sendOutcome_ = SendOutcome::None;
};

}  // namespace vigiltron
