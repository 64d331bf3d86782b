#pragma once

#include <string>
#include <vector>

#include "core/SystemActions.h"

namespace vigiltron {

// A SystemActions fake that does nothing but write down every call, in order, as one line each:
// "place in startup", "remove from startup", "lock", "log off", "launch <command line>",
// "open <path>". Each action can be made to fail with `failureText` as its error.
class RecordingSystemActions : public SystemActions {
public:
    bool PlaceInStartup(std::string& error) override;
    bool RemoveFromStartup(std::string& error) override;
    bool IsPlacedInStartup() const override { return placed_; }
    bool LockWorkstation(std::string& error) override;
    bool ForceLogOff(std::string& error) override;
    bool LaunchProgram(const std::string& commandLine, std::string& error) override;
    bool OpenWithAssociation(const std::string& pathOrUrl, std::string& error) override;

    const std::vector<std::string>& Calls() const { return calls_; }
    // How many calls were exactly `line`.
    int Count(const std::string& line) const;
    void Clear() { calls_.clear(); }

    // Failures to act out; the call is still recorded.
    bool failPlaceInStartup = false;
    bool failRemoveFromStartup = false;
    bool failLock = false;
    bool failLogOff = false;
    bool failLaunch = false;
    bool failOpen = false;
    std::string failureText = "refused";

private:
    bool Record(const std::string& line, bool fail, std::string& error);

    std::vector<std::string> calls_;
    bool placed_ = false;
};

}  // namespace vigiltron
