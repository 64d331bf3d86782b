#include "sim/RecordingSystemActions.h"

#include <algorithm>

namespace vigiltron {

bool RecordingSystemActions::Record(const std::string& line, bool fail, std::string& error) {
    calls_.push_back(line);
    if (fail) {
        error = failureText;
        return false;
    }
    return true;
}

bool RecordingSystemActions::PlaceInStartup(std::string& error) {
    if (!Record("place in startup", failPlaceInStartup, error)) {
        return false;
    }
    placed_ = true;
    return true;
}

bool RecordingSystemActions::RemoveFromStartup(std::string& error) {
    if (!Record("remove from startup", failRemoveFromStartup, error)) {
        return false;
    }
    placed_ = false;
    return true;
}

bool RecordingSystemActions::LockWorkstation(std::string& error) {
    return Record("lock", failLock, error);
}

bool RecordingSystemActions::ForceLogOff(std::string& error) {
    return Record("log off", failLogOff, error);
}

bool RecordingSystemActions::LaunchProgram(const std::string& commandLine, std::string& error) {
    return Record("launch " + commandLine, failLaunch, error);
}

bool RecordingSystemActions::OpenWithAssociation(const std::string& pathOrUrl, std::string& error) {
    return Record("open " + pathOrUrl, failOpen, error);
}

int RecordingSystemActions::Count(const std::string& line) const {
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), line));
}

}  // namespace vigiltron
