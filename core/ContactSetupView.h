#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vigiltron {

// What the e-mail, paging and remote-monitoring setup windows show beyond the preferences
// themselves, as plain data. The boxes' texts are the preferences; passwords never pass through
// here.
struct ContactSetupView {
    // The control a rule has just asked to have the focus. A window gives it the focus once for
    // each new request (`focusRequests` counts them), so nothing here has to be reset.
    enum class Focus {
        None,
        SmtpUserName,      // authentication was switched on
        NumberToCall,      // the paging OK was refused for want of a number
        InternetInterval,  // the remote-monitoring OK was refused for a bad interval
        FtpServerName,     // an FTP login was refused for want of an account
    };

    bool emailWindowVisible = false;
    bool pagingWindowVisible = false;
    bool remoteMonitoringWindowVisible = false;

    // Under the password boxes of the e-mail and remote-monitoring windows: where passwords are
    // kept (the desktop keyring, or the settings file).
    std::string passwordStorage;

    // E-mail window: the user name and password boxes (and their labels) are usable only while
    // the server requires authentication.
    bool emailCredentialsEnabled = false;
    // `EmailStatusList`: the mail component's progress texts, oldest first, at most 1000. Lines
    // are only ever appended, or all removed at once; `emailStatusClears` counts the removals so
    // a window can append just the new lines.
    std::vector<std::string> emailStatus;
    std::uint64_t emailStatusClears = 0;

    // Paging window: the COM numbers a modem can be opened on (1..19, ascending) and the
    // position (1-based) of the selected one, 0 when the list is empty.
    std::vector<int> modemPorts;
    int modemPortPosition = 0;
    // The modem connection toggle: "Open Connection" or "Close port".
    std::string modemConnectCaption = "Open Connection";

    // Remote-monitoring window: the FTP update engine's buttons and message log.
    struct FtpUpdateView {
        // The message log, oldest first. Lines are only ever appended, or all removed at once
        // (`logClears` counts the removals).
        std::vector<std::string> log;
        std::uint64_t logClears = 0;
        // The start/stop button: "Start FTP Update" or "Stop FTP Update".
        std::string updateCaption = "Start FTP Update";
        bool updateEnabled = false;
        // `UpdateRunning`, shown as "On" or "Off".
        bool updateRunning = false;
        bool loginEnabled = true;
        bool logoutEnabled = false;
        bool testTransferEnabled = false;
        // CD, DIR, LS and MKDIR need a connection.
        bool commandsEnabled = false;
        // "Stay connected" / "Do not stay connected" cannot change while logged in.
        bool connectionChoiceEnabled = true;
        // The login found no such remote directory: the window blanks its box once per request.
        int remoteDirectoryBlankRequests = 0;
    };
    FtpUpdateView ftp;

    Focus focus = Focus::None;
    int focusRequests = 0;
};

}  // namespace vigiltron
