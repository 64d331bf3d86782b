#include "reporting/FtpUpdateEngine.h"

#include <exception>
#include <optional>
#include <utility>

#include "config/Preferences.h"
#include "config/TextFileStore.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Journal.h"
#include "core/LooseText.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"
#include "reporting/FtpClient.h"

namespace vigiltron {

namespace {

constexpr const char* kInternetSetup = "Program Setup\\Internet Setup";
constexpr const char* kCrLf = "\r\n";
constexpr const char* kDefaultDocument = "vtman.xml";
// What a wait adds to its timer's period, so the timer (not the wait) ends it.
constexpr Milliseconds kWaitMargin{1000};

std::string ShownFlag(bool value) {
    return value ? "True" : "False";
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The digit of "vtman3.xml"; empty for a document without one.
std::string DocumentNumber(const std::string& name) {
    const std::string stem = name.substr(0, name.rfind('.'));
    const auto first = stem.find_first_of("0123456789");
    return first == std::string::npos ? std::string() : stem.substr(first);
}

// An entry typed for a remote or local directory: a line break would end the FTP command early
// and let the rest of the entry through as a command of its own.
bool ValidDirectoryEntry(const std::string& entry) {
    if (Trim(entry).empty()) {
        return false;
    }
    for (char c : entry) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    return true;
}

// A log file name as typed, kept inside the application folder: any folder part is dropped.
std::string LogFileName(const std::string& answer) {
    std::string name(Trim(BaseName(answer)));
    if (name.empty() || name == "." || name == ".." || !ValidDirectoryEntry(name)) {
        return "vtman";
    }
    return name;
}

}  // namespace

FtpUpdateEngine::FtpUpdateEngine(Services services)
    : stylesheetFile(services.applicationFolder + "/vtman.xsl"),
      s_(std::move(services)),
      updateTimer_(s_.loop),
      operationTimer_(s_.loop),
      commandTimer_(s_.loop) {
    updateTimer_.SetInterval(kUpdatePeriod);
    updateTimer_.SetCallback([this] {
        // A tick that comes while an update is still under way waits for the next one.
        if (!inUpdateStep_) {
            UpdateTimerTick();
        }
    });
    operationTimer_.SetInterval(kOperationPeriod);
    operationTimer_.SetCallback([this] {
        OperationTimedOut_ = true;
        operationTimer_.SetEnabled(false);
    });
    commandTimer_.SetInterval(kCommandPeriod);
    commandTimer_.SetCallback([this] {
        bTimeExpired_ = true;
        commandTimer_.SetEnabled(false);
    });
    s_.client.SetStateHandler([this](int state) { StateChanged(state); });
    ShowButtons();
}

FtpUpdateEngine::~FtpUpdateEngine() {
    s_.client.SetStateHandler(nullptr);
}

// ==== Message log ====

void FtpUpdateEngine::Log(const std::string& text) {
    if (!text.empty() && text.front() == ' ') {
        LogTimed(text);
        return;
    }
    s_.view.contactSetup.ftp.log.push_back(text);
    s_.journal.Record("ftp", text);
    s_.view.Changed();
}

void FtpUpdateEngine::LogTimed(const std::string& text) {
    const std::string line = s_.clock.LongTime(s_.clock.Now()) + text;
    s_.view.contactSetup.ftp.log.push_back(line);
    s_.journal.Record("ftp", line);
    s_.view.Changed();
}

void FtpUpdateEngine::EmptyLogAtLimit() {
    auto& ftp = s_.view.contactSetup.ftp;
    if (ftp.log.size() >= kLogLimit) {
        ftp.log.clear();
        ++ftp.logClears;
        s_.view.Changed();
    }
}

void FtpUpdateEngine::PrintList() {
    try {
        const std::optional<std::string> answer = s_.dialogs.AskText(
            "Please enter a file name for the FTP log (will have an .FTP extension)", kAppTitle,
            "vtman");
        if (!answer) {
            return;
        }
        const std::string path = s_.applicationFolder + "/" + LogFileName(*answer) + ".ftp";
        const LocalDateTime now = s_.clock.Now();
        std::string contents =
            s_.clock.ShortDate(now) + " " + s_.clock.LongTime(now) + "FTP LOG" + kCrLf;
        for (const std::string& line : s_.view.contactSetup.ftp.log) {
            contents += line + kCrLf;
        }
        std::string error;
        if (!s_.files.WriteAtomically(path, contents, error)) {
            s_.dialogs.ShowMessage("The FTP log " + path + " could not be saved: " + error);
            return;
        }
        s_.dialogs.ShowMessage("FTP log saved in " + path);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in PrintList: ") + failure.what());
    }
}

// ==== Helpers ====

bool FtpUpdateEngine::StoredLocally() const {
    return s_.prefs.UseDirectory;
}

bool FtpUpdateEngine::DoNotStayConnected() const {
    return !s_.prefs.optStayConnected;
}

int FtpUpdateEngine::Interval() const {
    const int minutes = LeadingWholeNumber(s_.prefs.InternetInterval);
    return minutes > 0 ? minutes : kDefaultInterval;
}

void FtpUpdateEngine::SaveAutoStart(bool on) {
    s_.prefs.AutoStartIUE = on;
    s_.settings.SaveSetting(kInternetSetup, "AutoStartIUE", on ? "1" : "0");
}

void FtpUpdateEngine::ShowButtons() {
    auto& ftp = s_.view.contactSetup.ftp;
    ftp.updateCaption = UpdateRunning_ ? "Stop FTP Update" : "Start FTP Update";
    ftp.updateRunning = UpdateRunning_;
    // A locally stored document needs no login or test transfer before it can start.
    ftp.updateEnabled = startEnabled_ || UpdateRunning_ || StoredLocally();
    ftp.commandsEnabled = bLoggedIn_;
    s_.view.Changed();
}

void FtpUpdateEngine::WaitIdleOr(const bool& flag, Milliseconds bound) {
    s_.loop.WaitUntil(bound, [this, &flag] { return flag || !s_.client.StillExecuting(); });
}

void FtpUpdateEngine::StartOperationTimer(Milliseconds period) {
    OperationTimedOut_ = false;
    operationTimer_.SetInterval(period);
    operationTimer_.SetEnabled(true);
}

void FtpUpdateEngine::StopOperationTimer() {
    operationTimer_.SetEnabled(false);
}

void FtpUpdateEngine::StartCommandTimer(Milliseconds period) {
    bTimeExpired_ = false;
    commandTimer_.SetInterval(period);
    commandTimer_.SetEnabled(true);
}

void FtpUpdateEngine::StopCommandTimer() {
    commandTimer_.SetEnabled(false);
}

// ==== State notifications ====

void FtpUpdateEngine::StateChanged(int state) {
    try {
        auto& ftp = s_.view.contactSetup.ftp;
        switch (state) {
            case FtpClient::kNoEvents:
                LastState_ = "No Events";
                LogTimed("No Events");
                break;
            case FtpClient::kResolvingHost:
                LastState_ = "Resolving Host";
                LogTimed(" Resolving Host...");
                break;
            case FtpClient::kHostResolved:
                LastState_ = "Host Resolved";
                LogTimed(" Host Resolved");
                break;
            case FtpClient::kConnecting:
                LastState_ = "Connecting";
                LogTimed(" Connecting...");
                break;
            case FtpClient::kConnected:
                LastState_ = "Connected";
                LogTimed(" CONNECTED");
                bLoggedIn_ = true;
                break;
            case FtpClient::kResponseReceived:
                LastState_ = "Response Received";
                break;
            case FtpClient::kDisconnecting:
                LastState_ = "Disconnecting";
                LogTimed(" Disconnecting...");
                break;
            case FtpClient::kDisconnected:
                LastState_ = "Disconnected";
                LogTimed(" DISCONNECTED");
                bLoggedIn_ = false;
                ftp.loginEnabled = true;
                ftp.logoutEnabled = false;
                break;
            case FtpClient::kError:
                if (sendOutcome_ == SendOutcome::Pending) {
                    sendOutcome_ = SendOutcome::Failed;
                }
                RecoverFromError();
                break;
            case FtpClient::kResponseCompleted: {
                LastState_ = "Response Completed";
                LogTimed(" Command Completed");
                if (sendOutcome_ == SendOutcome::Pending) {
                    sendOutcome_ = SendOutcome::Delivered;
                }
                // A login stays connected until the send it was made for has been issued.
                if (!s_.prefs.optStayConnected && UpdateRunning_ && !LoginPending_) {
                    cmdLogoutFTP_Click();
                }
                std::string response;
                for (std::string chunk = s_.client.GetChunk(1024); !chunk.empty();
                     chunk = s_.client.GetChunk(1024)) {
                    response += chunk;
                }
                if (!response.empty()) {
                    Log(response);
                }
                break;
            }
            default:
                break;
        }
        ShowButtons();
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in StateChanged: ") + failure.what());
    }
}

void FtpUpdateEngine::RecoverFromError() {
    const std::string text = s_.client.ResponseText();
    // A missing remote directory (or file) is the user's to put right, not a broken connection.
    if (Contains(text, "does not exist")) {
        return;
    }
    Log("LastState= " + LastState_);
    // A connection that never came up has nothing to recover; the caller's own time-out reports it.
    if (LastState_ == "Connecting") {
        return;
    }
    // The recovery logs out and in again, and those commands may fail too: their errors are
    // logged, never recovered from inside the recovery.
    if (recovering_) {
        return;
    }
    recovering_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{recovering_};

    s_.client.Cancel();
    updateTimer_.SetEnabled(false);
    LogTimed(" Error: " + std::to_string(s_.client.ResponseCode()));
    LogTimed(" (" + text + ")");
    LogTimed(" Attempting to log back on...");
    LastState_ = "Error";

    if (Contains(text, "unrecoverable")) {
        if (UpdateRunning_) {
            StopUpdate();
        }
        cmdLogoutFTP_Click();
        s_.dialogs.ShowMessage("Urecoverable. Logging out and stopping update.");
        return;
    }

    cmdLogoutFTP_Click();
    StartOperationTimer(kOperationPeriod);
    WaitIdleOr(OperationTimedOut_, kOperationPeriod + kWaitMargin);
    if (s_.client.StillExecuting()) {
        LogTimed(" StateChange:Logout Timeout");
        s_.client.Cancel();
    }
    cmdLoginFTP_Click();
    StartOperationTimer(kOperationPeriod);
    WaitIdleOr(OperationTimedOut_, kOperationPeriod + kWaitMargin);
    if (s_.client.StillExecuting()) {
        LogTimed(" StateChange:Login Timeout");
        s_.client.Cancel();
        StopOperationTimer();
        return;
    }
    StopOperationTimer();

    if (UpdateRunning_) {
        s_.view.contactSetup.ftp.updateCaption = "Stop FTP Update";
        LogTimed(" Recovering: Cal Interval Update");
        updateTimer_.SetEnabled(true);
        ForceUpdate_ = true;
        UpdateTimerTick();
        if (DoNotStayConnected()) {
            cmdLogoutFTP_Click();
        }
    }
    ShowButtons();
}

// ==== Login and logout ====

void FtpUpdateEngine::cmdLoginFTP_Click() {
    if (StoredLocally()) {
        return;
    }
    try {
        Preferences& p = s_.prefs;
        if (Trim(p.UserName).empty() || p.pw.empty()) {
            s_.dialogs.ShowMessage("You must first fill out the FTP login information.");
            s_.view.contactSetup.focus = ContactSetupView::Focus::FtpServerName;
            ++s_.view.contactSetup.focusRequests;
            s_.view.Changed();
            return;
        }
        const BusyPointer busy(s_.view);
        LoginPending_ = true;
        LastCommand_ = "PWD";
        LogTimed(" FTP login attempt");
        s_.client.Cancel();
        FtpSession session;
        session.server = p.ServerName;
        session.user = std::string(Trim(p.UserName));
        session.password = p.pw;
        session.requestTimeoutSeconds = 20;
        s_.client.SetSession(session);
        if (!UpdateRunning_) {
            s_.client.Execute("PWD");
        }

        s_.loop.Pause(Milliseconds(1500));
        StartOperationTimer(kLoginOperationPeriod);
        WaitIdleOr(OperationTimedOut_, kLoginOperationPeriod + kWaitMargin);
        if (OperationTimedOut_) {
            LogTimed(" Login Timeout");
        }
        operationTimer_.SetInterval(kOperationPeriod);
        StopOperationTimer();

        s_.loop.Pause(Milliseconds(1500));
        LastCommand_ = "CD";
        s_.client.Execute("CD " + p.RemoteDirectory);
        // The operation timer's period bounds the directory change as it bounds the login.
        const bool never = false;
        WaitIdleOr(never, kOperationPeriod);
        if (!s_.client.StillExecuting() && s_.client.ResponseCode() == FtpClient::kExtendedError) {
            Log("Directory doesn't exist.");
            ++s_.view.contactSetup.ftp.remoteDirectoryBlankRequests;
        }
        LastCommand_ = "LS";
        if (!s_.client.StillExecuting()) {
            s_.client.Execute("LS ");
        }

        auto& ftp = s_.view.contactSetup.ftp;
        ftp.loginEnabled = false;
        ftp.logoutEnabled = true;
        ftp.testTransferEnabled = true;
        ftp.connectionChoiceEnabled = false;
        ShowButtons();
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in cmdLoginFTP_Click: ") + failure.what());
    }
}

void FtpUpdateEngine::cmdLogoutFTP_Click() {
    auto& ftp = s_.view.contactSetup.ftp;
    try {
        LogTimed(" FTP logout attempt");
        s_.client.Execute("QUIT");
        ftp.loginEnabled = true;
        ftp.connectionChoiceEnabled = true;
    } catch (const std::exception&) {
        s_.client.Cancel();
        ftp.loginEnabled = true;
        ftp.logoutEnabled = true;
        ftp.testTransferEnabled = true;
        ftp.connectionChoiceEnabled = true;
    }
    ShowButtons();
}

// ==== Start and stop ====

void FtpUpdateEngine::cmdStartUpdate_Click() {
    try {
        if (UpdateRunning_) {
            StopUpdate();
        } else {
            StartUpdate();
        }
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in cmdStartUpdate_Click: ") + failure.what());
    }
}

void FtpUpdateEngine::StartInternetUpdateEngine() {
    cmdLoginFTP_Click();
    s_.loop.Pause(Milliseconds(3000));
    startEnabled_ = true;
    if (!UpdateRunning_) {
        cmdStartUpdate_Click();
    }
    ShowButtons();
}

void FtpUpdateEngine::CopyStylesheetToLocalDirectory() {
    Log("Copying over XSL file...");
    std::string directory = s_.xmlDirectory ? s_.xmlDirectory() : std::string();
    if (directory.empty()) {
        const std::string stored(Trim(s_.prefs.txtXMLDirectory));
        // "C:\" and other Windows paths come from the Windows edition's settings.
        const bool windowsPath =
            stored.find('\\') != std::string::npos || (stored.size() > 1 && stored[1] == ':');
        directory = stored.empty() || windowsPath ? s_.applicationFolder + "/www"
                    : stored.front() == '/'       ? stored
                                                  : s_.applicationFolder + "/" + stored;
    }
    std::string made;
    if (s_.makeDirectory) {
        s_.makeDirectory(directory, made);
    }
    const TextFileStore::ReadResult read = s_.files.ReadFile(stylesheetFile);
    std::string error = read.error.empty() ? "it cannot be read" : read.error;
    if (read.status == TextFileStore::ReadStatus::Ok &&
        s_.files.WriteAtomically(directory + "/vtman.xsl", read.contents, error)) {
        return;
    }
    Log("The stylesheet " + stylesheetFile + " could not be copied to " + directory + ": " + error);
}

void FtpUpdateEngine::StartUpdate() {
    if (StoredLocally()) {
        CopyStylesheetToLocalDirectory();
    }
    updateTimer_.SetEnabled(true);
    UpdateRunning_ = true;
    s_.view.mainTitle = "Vigiltron Manager (Internet update in progress)";
    ForceUpdate_ = true;
    ShowButtons();
    // The first document goes out at once, not an interval later.
    UpdateTimerTick();
    SaveAutoStart(true);
    ShowButtons();
}

void FtpUpdateEngine::StopUpdate() {
    updateTimer_.SetEnabled(false);
    UpdateRunning_ = false;
    s_.view.mainTitle = "Vigiltron Manager";
    ForceUpdate_ = false;
    OperationTimedOut_ = false;
    SaveAutoStart(false);
    ShowButtons();
}

// ==== The update ====

void FtpUpdateEngine::UpdateTimerTick() {
    try {
        EmptyLogAtLimit();
        // Counting up to the interval (not merely to a different value) keeps the schedule going
        // when the interval is shortened below the minutes already counted.
        if (MinuteCount_ < Interval() && !ForceUpdate_) {
            ++MinuteCount_;
            return;
        }
        LogTimed(" <<Update Timer>>");
        StartOperationTimer(kOperationPeriod);
        UpdateStep();
        MinuteCount_ = 1;
        ForceUpdate_ = false;
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in UpdateTimer: ") + failure.what());
    }
}

void FtpUpdateEngine::UpdateStep() {
    if (inUpdateStep_) {
        return;
    }
    inUpdateStep_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{inUpdateStep_};

    EmptyLogAtLimit();
    if (!StoredLocally() && DoNotStayConnected() && !ForceUpdate_) {
        cmdLoginFTP_Click();
    }
    const std::string written = s_.buildXml ? s_.buildXml() : std::string();
    std::string name = written.empty() ? std::string() : BaseName(written);
    if (name.empty() && s_.currentDocumentName) {
        name = s_.currentDocumentName();
    }
    if (name.empty()) {
        name = kDefaultDocument;
    }
    const std::string localPath = written.empty() ? s_.applicationFolder + "/" + name : written;

    if (StoredLocally()) {
        LogTimed(" BuildXML: Updating local file " + DocumentNumber(name));
        s_.loop.Pause(Milliseconds(1700));
        sendOutcome_ = written.empty() ? SendOutcome::Failed : SendOutcome::Delivered;
        return;
    }

    StartOperationTimer(kOperationPeriod);
    WaitIdleOr(OperationTimedOut_, kOperationPeriod + kWaitMargin);
    if (OperationTimedOut_ && s_.client.StillExecuting()) {
        LogTimed(" BuildXML: TimeOut");
        s_.client.Cancel();
    }
    StopOperationTimer();
    LogTimed(" bLoggedIn = " + ShownFlag(bLoggedIn_));

    if (bLoggedIn_ && !s_.client.StillExecuting()) {
        LastCommand_ = "SEND";
        LogTimed(" BuildXML: Updating file " + DocumentNumber(name));
        SendDocument(localPath, name);
        return;
    }
    s_.loop.Pause(Milliseconds(1500));
    if (bLoggedIn_ && !s_.client.StillExecuting()) {
        // The second try sends the document just written, as the first would have: a fixed
        // "vtman.xml" exists only when the writer keeps no history, and sending a file that is
        // not there would only fail and start the error recovery.
        SendDocument(localPath, name);
    } else {
        LogTimed(" Not sending update");
        LogTimed(" Logged in = " + ShownFlag(bLoggedIn_));
        LogTimed(" LastState = " + LastState_);
    }
}

void FtpUpdateEngine::SendDocument(const std::string& localPath, const std::string& name) {
    sendOutcome_ = SendOutcome::Pending;
    s_.client.Execute("SEND " + localPath + " " + name);
    LoginPending_ = false;
}

bool FtpUpdateEngine::PublishNow() {
    try {
        sendOutcome_ = SendOutcome::None;
        if (!StoredLocally() && !bLoggedIn_) {
            cmdLoginFTP_Click();
        }
        // Logged in already: the update step must not log in a second time.
        ForceUpdate_ = true;
        UpdateStep();
        ForceUpdate_ = false;
        if (StoredLocally()) {
            // The page needs its stylesheet beside it to render.
            if (sendOutcome_ == SendOutcome::Delivered) {
                CopyStylesheetToLocalDirectory();
            }
            return sendOutcome_ == SendOutcome::Delivered;
        }
        StartOperationTimer(kOperationPeriod);
        s_.loop.WaitUntil(kOperationPeriod + kWaitMargin, [this] {
            return OperationTimedOut_ || sendOutcome_ != SendOutcome::Pending;
        });
        StopOperationTimer();
        const bool delivered = sendOutcome_ == SendOutcome::Delivered;
        cmdLogoutFTP_Click();
        const bool never = false;
        WaitIdleOr(never, kOperationPeriod);
        return delivered;
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in PublishNow: ") + failure.what());
        return false;
    }
}

// ==== Test transfer and manual commands ====

void FtpUpdateEngine::cmdTestTransfer_Click() {
    if (commandTimer_.Enabled()) {
        return;
    }
    try {
        EmptyLogAtLimit();
        if (s_.prefs.SeeMessages) {
            Log("");
            Log("Path for VTMAN.XSL file = " + FolderOf(stylesheetFile));
        }
        s_.loop.Pause(Milliseconds(1000));
        s_.client.Execute("SEND " + stylesheetFile + " vtman.xsl");
        StartCommandTimer(kCommandPeriod);
        WaitIdleOr(bTimeExpired_, kCommandPeriod + kWaitMargin);
        // A transfer that has not finished has not succeeded, whatever an earlier command left
        // in the response code.
        const bool timedOut = bTimeExpired_ && s_.client.StillExecuting();
        if (bTimeExpired_) {
            s_.dialogs.ShowMessage("Timeout.  Remote system not responding");
            Log("");
            Log("REMOTE TIMEOUT");
            bTimeExpired_ = false;
        }
        StopCommandTimer();
        const int code = s_.client.ResponseCode();
        Log("Response from SEND = :" + std::to_string(code));
        if (code == 0 && !timedOut) {
            LogTimed(" Test transfer complete");
            startEnabled_ = true;
            ShowButtons();
        } else {
            s_.dialogs.ShowMessage("Test transfer not complete. Please try again.");
        }
    } catch (const std::exception& failure) {
        StopCommandTimer();
        s_.dialogs.ShowMessage(std::string("Error in cmdTestTransfer_Click: ") + failure.what());
    }
}

void FtpUpdateEngine::RunGuardedCommand(const std::string& command, Milliseconds period) {
    s_.client.Execute(command);
    StartCommandTimer(period);
    WaitIdleOr(bTimeExpired_, period + kWaitMargin);
    if (bTimeExpired_) {
        Log("REMOTE TIMEOUT");
        bTimeExpired_ = false;
    }
    StopCommandTimer();
}

void FtpUpdateEngine::ChangeDirectory() {
    if (!bLoggedIn_ || commandTimer_.Enabled()) {
        return;
    }
    try {
        EmptyLogAtLimit();
        const std::optional<std::string> entry =
            s_.dialogs.AskText("Please enter the directory to change to");
        if (!entry) {
            return;
        }
        if (!ValidDirectoryEntry(*entry)) {
            s_.dialogs.ShowMessage("The directory is not valid");
            return;
        }
        const std::string directory(Trim(*entry));
        RunGuardedCommand(directory == "/" ? "CD /" : "CD " + directory, kCommandPeriod);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in ChangeDirectory: ") + failure.what());
    }
}

void FtpUpdateEngine::DirectoryListing() {
    if (!bLoggedIn_ || commandTimer_.Enabled()) {
        return;
    }
    EmptyLogAtLimit();
    Log("DIR");
    Log("Directory Listing: ");
    RunGuardedCommand("LS -l", kCommandPeriod);
}

void FtpUpdateEngine::ListContents() {
    if (!bLoggedIn_ || commandTimer_.Enabled()) {
        return;
    }
    EmptyLogAtLimit();
    Log("LS");
    Log("Directory Contents: ");
    RunGuardedCommand("LS ", kCommandPeriod);
}

void FtpUpdateEngine::MakeDirectory() {
    if (!bLoggedIn_ || commandTimer_.Enabled()) {
        return;
    }
    try {
        EmptyLogAtLimit();
        const std::optional<std::string> entry =
            s_.dialogs.AskText("Please enter the directory to be added");
        if (!entry) {
            return;
        }
        if (!ValidDirectoryEntry(*entry)) {
            s_.dialogs.ShowMessage("The directory is not valid");
            return;
        }
        if (s_.client.StillExecuting()) {
            s_.dialogs.ShowMessage("Still executing!");
            return;
        }
        s_.client.Execute("MKDIR ./" + std::string(Trim(*entry)));
        Log("Starting timer...");
        StartCommandTimer(kMkdirCommandPeriod);
        WaitIdleOr(bTimeExpired_, kMkdirCommandPeriod + kWaitMargin);
        if (bTimeExpired_) {
            Log("REMOTE TIMEOUT");
            bTimeExpired_ = false;
        }
        Log("Stoping timer...");
        StopCommandTimer();
    } catch (const std::exception& failure) {
        StopCommandTimer();
        s_.dialogs.ShowMessage(std::string("Error in MakeDirectory: ") + failure.what());
    }
}

void FtpUpdateEngine::CancelCommand() {
    LogTimed(" Cancel Attempt");
    s_.client.Cancel();
}

void FtpUpdateEngine::MakeLocalXmlDirectory() {
    try {
        const std::optional<std::string> entry = s_.dialogs.AskText(
            "Please enter the full path of the directory name to create:", "XML Save Directory");
        if (!entry || Trim(*entry).empty()) {
            return;
        }
        if (!ValidDirectoryEntry(*entry)) {
            s_.dialogs.ShowMessage("The directory is not valid");
            return;
        }
        const std::string path(Trim(*entry));
        std::string error = "no way to create directories in this run";
        if (!s_.makeDirectory || !s_.makeDirectory(path, error)) {
            s_.dialogs.ShowMessage("The directory " + path + " could not be created: " + error);
        }
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in MakeLocalXmlDirectory: ") + failure.what());
    }
}

}  // namespace vigiltron
