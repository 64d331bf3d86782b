#pragma once

#include <string>

namespace vigiltron {

// What the program asks of the desktop session. The Linux adapter uses an XDG autostart entry
// for the start at log-on and loginctl for lock and log-off; tests use a recording fake
// (sim/RecordingSystemActions.h). Every action answers false, with `error` filled in, when it
// could not be carried out; none of them waits for a started program to end.
class SystemActions {
public:
    virtual ~SystemActions() = default;
    // Makes the program start when the user logs on. False (with `error`) on failure.
    virtual bool PlaceInStartup(std::string& error) = 0;
    virtual bool RemoveFromStartup(std::string& error) = 0;
    virtual bool IsPlacedInStartup() const = 0;

    // The actions below have a default for desktops without the facility: they refuse.

    // Locks the user's session (the screen lock comes up).
    virtual bool LockWorkstation(std::string& error) {
        error = "locking the session is not available";
        return false;
    }
    // Ends the user's session with force: applications are not asked first.
    virtual bool ForceLogOff(std::string& error) {
        error = "logging off is not available";
        return false;
    }
    // Starts `commandLine` as a program with its arguments. How the line is split into program
    // and arguments is the adapter's to document.
    virtual bool LaunchProgram(const std::string& commandLine, std::string& error) {
        (void)commandLine;
        error = "starting programs is not available";
        return false;
    }
    // Opens a document, shortcut, folder or address with the program the desktop associates
    // with it.
    virtual bool OpenWithAssociation(const std::string& pathOrUrl, std::string& error) {
        (void)pathOrUrl;
        error = "opening files is not available";
        return false;
    }
};

}  // namespace vigiltron
