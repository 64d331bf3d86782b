#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/SystemActions.h"

namespace vigiltron {

// Desktop-session actions on Linux.
// - Start at log-on: an XDG autostart entry ("vigiltron-manager.desktop" in the autostart
//   folder), which every freedesktop session honours.
// - Lock: "loginctl lock-session", naming $XDG_SESSION_ID when set (loginctl otherwise locks the
//   caller's own session).
// - Forced log-off: "loginctl terminate-session $XDG_SESSION_ID" ends this session and every
//   process in it without asking. Without a session id (started outside a login session) the
//   whole user is terminated instead: "loginctl terminate-user $USER" (the numeric user id when
//   $USER is unset).
// - Launch as a program: the command line is split by SplitCommandLine and started detached.
// - Open by association: "xdg-open" with the path or address, started detached.
class LinuxSystemActions : public SystemActions {
public:
    // A process to start. `detached` ones are left running; the others are waited for (a
    // bounded wait) and must end with exit code 0.
    struct Process {
        std::string program;
        std::vector<std::string> arguments;
        bool detached = false;

        friend bool operator==(const Process&, const Process&) = default;
    };
    // Starts a process; false (with `error`) when it could not be started or failed.
    using ProcessRunner = std::function<bool(const Process&, std::string& error)>;
    // Whether a path names an existing regular file.
    using FileTest = std::function<bool(const std::string&)>;

    // `autostartFolder` empty: $XDG_CONFIG_HOME/autostart (or ~/.config/autostart).
    // `command` is what the entry runs; empty: this program's own path.
    // `runner` empty: real processes (RunProcess). Tests give a recorder so that nothing is
    // locked, logged off or started.
    explicit LinuxSystemActions(std::string autostartFolder = "", std::string command = "",
                                ProcessRunner runner = {});

    bool PlaceInStartup(std::string& error) override;
    bool RemoveFromStartup(std::string& error) override;
    bool IsPlacedInStartup() const override;
    bool LockWorkstation(std::string& error) override;
    bool ForceLogOff(std::string& error) override;
    bool LaunchProgram(const std::string& commandLine, std::string& error) override;
    bool OpenWithAssociation(const std::string& pathOrUrl, std::string& error) override;

    std::string EntryPath() const;

    // loginctl's arguments for a lock and for a forced log-off of the given session or user.
    static std::vector<std::string> LockArguments(const std::string& sessionId);
    static std::vector<std::string> LogOffArguments(const std::string& sessionId,
                                                    const std::string& user);

    // Splits a command line into the program (first element) and its arguments:
    // - blanks and tabs separate words; a double-quoted part belongs to one word and loses its
    //   quotes ("" gives an empty word); backslashes are ordinary characters, so Windows-style
    //   paths survive;
    // - an unquoted program path may contain blanks, as a file chosen by browsing often does:
    //   the shortest run of leading words that names an existing file (`isFile`) is the program;
    //   when none does, the first word is (a name looked up on PATH).
    // An empty or blank line gives no words.
    static std::vector<std::string> SplitCommandLine(const std::string& commandLine,
                                                     const FileTest& isFile = {});

    // The real process starter.
    static bool RunProcess(const Process& process, std::string& error);

private:
    std::string folder_;
    std::string command_;
    ProcessRunner runner_;
};

}  // namespace vigiltron
