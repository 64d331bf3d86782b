#pragma once

#include <functional>
#include <string>

#include "alerts/ContactSetup.h"

namespace vigiltron {

// What the e-mail setup window asks of the program. An empty function does nothing.
struct EmailWindowCommands {
    // The title bar's close (and Escape).
    std::function<void()> close;
    std::function<void(bool)> chooseMailRoute;  // true: SMTP; false: the system's mail client
    std::function<void(bool)> setAuthenticationRequired;
    std::function<void(const EmailSettings&)> save;  // "&OK"
    // "Test SMTP Email Alert", with the server box's text (saved as the server first).
    std::function<void(const std::string& server)> testSmtpEmail;
    std::function<void()> createLogFile;  // "Create Log File"
    std::function<void()> clearLog;       // "Clear Log"
};

// What the "Paging Setup" window asks of the program. An empty function does nothing.
struct PagingWindowCommands {
    // The title bar's close (and Escape).
    std::function<void()> close;
    std::function<void(PageRoute)> choosePageRoute;
    // A port chosen in the modem list, by its 1-based position.
    std::function<void(int)> selectModemPort;
    std::function<void(const PagingSettings&)> save;  // "&Ok"
    std::function<void()> setInitString;              // "Set Init String"
    std::function<void()> toggleConnection;           // "Open Connection" / "Close port"
    std::function<void()> numericPagerTest;           // "&Numeric Pager Test"
    std::function<void()> phoneCallTest;              // "&Phone Call Paging Test"
};

// What the remote-monitoring window asks of the program. An empty function does nothing.
struct RemoteMonitoringWindowCommands {
    // The title bar's close (and Escape).
    std::function<void()> close;
    std::function<void(const RemoteMonitoringSettings&)> save;  // "&OK"
    // The FTP update engine's buttons.
    // "Login": with what the window shows, saved first (the window stays open).
    std::function<void(const RemoteMonitoringSettings&)> login;
    std::function<void()> logout;              // "Logout"
    std::function<void()> startStopUpdate;     // "Start FTP Update" / "Stop FTP Update"
    std::function<void()> testTransfer;        // "Test Transfer (XSL file)"
    std::function<void()> changeDirectory;     // "CD"
    std::function<void()> directoryListing;    // "DIR"
    std::function<void()> listContents;        // "LS"
    std::function<void()> makeDirectory;       // "MKDIR"
    std::function<void()> cancel;              // "Cancel"
    std::function<void()> makeLocalDirectory;  // "Local XML directory"
    std::function<void()> saveLog;             // "&Save Log"
};

// The three contact setup windows' commands, and the menu commands that open them.
struct ContactWindowsCommands {
    std::function<void()> openEmailSetup;
    std::function<void()> openPagingSetup;
    std::function<void()> openRemoteMonitoring;
    EmailWindowCommands email;
    PagingWindowCommands paging;
    RemoteMonitoringWindowCommands remoteMonitoring;
};

}  // namespace vigiltron
