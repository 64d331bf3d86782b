#include "alerts/ProximityActions.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/LooseText.h"
#include "core/SettingsTree.h"
#include "core/SystemActions.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

constexpr const char* kProgramSetup = "Program Setup";
constexpr const char* kPathNotSet = "Path not set";
constexpr const char* kDelayRangeMessage = "Delay has to be between 1 and 60 seconds.";
constexpr const char* kCommandFilter =
    "All files (*.*)|*.*|Shortcut (*.lnk)|*.lnk|Screen Savers (*.scr)|*.scr|Executable Files "
    "(*.exe)|*.exe|Batch Files (*.bat)|*.bat";

// A decimal number, blanks around it allowed; nothing for any other text.
std::optional<double> ParseNumber(const std::string& text) {
    const std::string trimmed(Trim(text));
    if (trimmed.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [ptr, ec] = std::from_chars(trimmed.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// A delay text in seconds as a timer interval; anything but a positive number gives none.
Milliseconds IntervalOf(const std::string& delay) {
    const auto seconds = ParseNumber(delay);
    if (!seconds || *seconds <= 0 || *seconds > 24 * 3600) {
        return Milliseconds(0);
    }
    return Milliseconds(std::llround(*seconds * 1000));
}

std::string ErrorText(const std::exception& e) {
    if (const auto* system = dynamic_cast<const std::system_error*>(&e)) {
        return std::to_string(system->code().value()) + " " + system->what();
    }
    return e.what();
}

}  // namespace

ProximityActions::ProximityActions(Services services, Hooks hooks)
    : s_(services), hooks_(std::move(hooks)) {
    for (Direction direction : {kWalkAway, kWalkUp}) {
        timers_[direction] = std::make_unique<Timer>(s_.loop);
        timers_[direction]->SetCallback([this, direction] { DelayTimerFired(direction); });
    }
}

ProximityActions::~ProximityActions() {
    if (logOffSettle_ != 0) {
        s_.loop.CancelTimer(logOffSettle_);
    }
}

const std::string& ProximityActions::Command(Direction direction) const {
    return direction == kWalkAway ? s_.prefs.ProximityRunCommand
                                  : s_.prefs.ProximityRunCommandApproach;
}

const std::string& ProximityActions::Delay(Direction direction) const {
    return direction == kWalkAway ? s_.prefs.DelayEventAway : s_.prefs.DelayEventUp;
}

bool ProximityActions::CommandSet(Direction direction) const {
    return Command(direction) != kPathNotSet;
}

void ProximityActions::Save(const std::string& key, const std::string& value) {
    s_.settings.SaveSetting(kProgramSetup, key, value);
}

// ---- Line changes ----

void ProximityActions::CancelDelaysOf(int setupIndex) {
    if (setupIndex == 0 || setupIndex != delaysStartedBy_) {
        return;  // another sensor's delays are its own
    }
    for (const Direction direction : {kWalkAway, kWalkUp}) {
        timers_[direction]->SetEnabled(false);
        pending_[direction] = false;
    }
    delaysStartedBy_ = 0;
}

void ProximityActions::StartDelays(bool present, int setupIndex) {
    delaysStartedBy_ = setupIndex;
    const Direction self = present ? kWalkUp : kWalkAway;
    const Direction other = present ? kWalkAway : kWalkUp;
    pending_[self] = true;
    // While the opposite delay still counts, this change only cancels it: the person was not
    // there (or away) long enough for either command.
    if (Delay(other) == "0" || !timers_[other]->Enabled()) {
        timers_[self]->SetInterval(IntervalOf(Delay(self)));
        timers_[self]->SetEnabled(true);
    }
    if (timers_[other]->Enabled()) {
        timers_[other]->SetEnabled(false);
        pending_[other] = false;
    }
}

void ProximityActions::NotifyChange(DeviceKind kind) {
    if (s_.prefs.optLogoutOnProximity) {
        ProximityEvent(0, kind);
    } else if (s_.prefs.chkOnScreenOnProx || s_.prefs.chkPageOnProx || s_.prefs.chkEmailOnProx) {
        ProximityEvent(99, kind);
    }
}

bool ProximityActions::RunImmediateActions(bool present, std::string& error) {
    if (!present) {
        if (s_.prefs.optSystemLock) {
            s_.system.LockWorkstation(error);
            return true;
        }
        if (s_.prefs.optLogoutOnProximity) {
            IssueLogOff();
            return true;
        }
    }
    const Direction direction = present ? kWalkUp : kWalkAway;
    if ((Delay(direction) == "0" || !pending_[direction]) && s_.prefs.optRunCommand &&
        CommandSet(direction)) {
        LaunchCommand(direction);
    }
    return false;
}

void ProximityActions::LinkedCameraEvent(int slot, DeviceKind kind) {
    if (!SlotTable::IsValidSlot(slot)) {
        return;
    }
    // Every camera that follows this sensor's slot number and is to react to it.
    for (int camera = 1; camera <= DeviceModel::kCameraNumbers; ++camera) {
        const ProxSlotSettings& coupling = s_.prefs.prox[std::size_t(camera)];
        if (!coupling.chkCamUseProx || coupling.chkCamMon ||
            Trim(coupling.cmbProximNumber) != std::to_string(slot)) {
            continue;
        }
        if (const int entry = s_.model.CameraEntry(camera); entry != 0) {
            ProximityEvent(entry, kind);
        }
    }
}

// ---- Dispatcher and log-off ----

void ProximityActions::ProximityEvent(int code, DeviceKind kind) {
    try {
        if (code == 0) {
            if (s_.prefs.optLogoutOnProximity) {
                LogOffCheck(kind);
            }
            return;
        }
        if (code == 99) {
            const bool anySwitch =
                s_.prefs.chkOnScreenOnProx || s_.prefs.chkPageOnProx || s_.prefs.chkEmailOnProx;
            if (anySwitch && !s_.prefs.chkLocalMonitoring && hooks_.proximityAlert) {
                hooks_.proximityAlert(kind);
            }
            return;
        }
        // Only a real setup index names a camera; anything else has nothing to capture.
        if (DeviceModel::IsValidIndex(code) && hooks_.captureOnProximity) {
            hooks_.captureOnProximity(code);
        }
    } catch (const std::exception& e) {
        s_.dialogs.ShowMessage(ErrorText(e));
    } catch (...) {
        s_.dialogs.ShowMessage("Unknown error");
    }
}

void ProximityActions::LogOffCheck(DeviceKind kind) {
    int setupIndex = 0;
    const int slot = static_cast<int>(ParseNumber(s_.prefs.ProxEventCmbSubIndex99).value_or(0));
    if (kind == DeviceKind::Proximity) {
        setupIndex = s_.model.SetupIndexInSlot(Tab::Proximity, slot);
    } else if (kind == DeviceKind::Distance) {
        setupIndex = s_.model.SetupIndexInSlot(Tab::Distance, slot);
    }
    // Without a sensor to read there is no telling whether somebody is still there; the handler's
    // own walk-away log-off still applies.
    if (setupIndex == 0 || !hooks_.presenceLine) {
        return;
    }
    if (hooks_.presenceLine(setupIndex) || logOffInProgress_) {
        return;
    }
    IssueLogOff();
}

void ProximityActions::IssueLogOff() {
    if (logOffInProgress_) {
        return;
    }
    logOffInProgress_ = true;
    if (!ForceLogOff()) {
        logOffInProgress_ = false;
        return;
    }
    // The session ends asynchronously; hold the flag so the rest of this change, and the next
    // ones, do not issue it again. Still running after the settle time means it did not happen.
    logOffSettle_ = s_.loop.StartTimer(kLogOffSettleTime, [this] {
        logOffSettle_ = 0;
        logOffInProgress_ = false;
    });
}

bool ProximityActions::ForceLogOff() {
    try {
        s_.prefs.SavedState = "1";
        Save("SavedState", "1");
        std::string error;
        if (!s_.system.PlaceInStartup(error)) {
            throw std::runtime_error(error);
        }
        if (!s_.system.ForceLogOff(error)) {
            throw std::runtime_error(error);
        }
        return true;
    } catch (...) {
        s_.dialogs.ShowMessage("Error in ForceLogOff");
        return false;
    }
}

// ---- Delay timers ----

void ProximityActions::ApplyDelayIntervals() {
    for (Direction direction : {kWalkAway, kWalkUp}) {
        timers_[direction]->SetInterval(IntervalOf(Delay(direction)));
    }
}

void ProximityActions::DelayTimerFired(Direction direction) {
    pending_[direction] = false;
    if (s_.prefs.optRunCommand && CommandSet(direction)) {
        LaunchCommand(direction);
    }
    timers_[direction]->SetEnabled(false);
}

void ProximityActions::LaunchCommand(Direction direction) {
    // A command that cannot be started fails silently, as a missing screen saver should not
    // interrupt monitoring.
    std::string error;
    if (launchAsProgram_[direction]) {
        s_.system.LaunchProgram(Command(direction), error);
    } else {
        s_.system.OpenWithAssociation(Command(direction), error);
    }
}

// ---- The proximity page ----

ProximityActions::Action ProximityActions::SelectedAction() const {
    if (s_.prefs.optSystemLock) {
        return Action::SystemLock;
    }
    if (s_.prefs.optLogoutOnProximity) {
        return Action::LogOff;
    }
    if (s_.prefs.optRunCommand) {
        return Action::RunCommand;
    }
    return Action::Disabled;
}

void ProximityActions::ChooseAction(Action action) {
    Preferences& p = s_.prefs;
    p.optSysCommandDisabled = action == Action::Disabled;
    p.optSystemLock = action == Action::SystemLock;
    p.optLogoutOnProximity = action == Action::LogOff;
    p.optRunCommand = action == Action::RunCommand;
    // All four are written so that the stored choice stays one of four after a restart.
    Save("optRunCommand", OneZero(p.optRunCommand));
    Save("optSysCommandDisabled", OneZero(p.optSysCommandDisabled));
    Save("optSystemLock", OneZero(p.optSystemLock));
    Save("optLogoutOnProximity", OneZero(p.optLogoutOnProximity));
    if (action == Action::LogOff) {
        try {
            RefillLogOffSensors();
        } catch (...) {
            s_.dialogs.ShowMessage("Logout on prox error");
        }
    }
}

void ProximityActions::RefillLogOffSensors() {
    logOffSlots_.clear();
    for (char c : s_.model.ListSubIndexes(DeviceKind::Proximity)) {
        if (c >= '1' && c <= '4') {
            logOffSlots_.push_back(c - '0');
        }
    }
}

void ProximityActions::SelectLogOffSensor(int slot) {
    s_.prefs.ProxEventCmbSubIndex99 = std::to_string(slot);
    Save("ProxEventCmbSubIndex99", s_.prefs.ProxEventCmbSubIndex99);
}

void ProximityActions::BrowseCommand(Direction direction) {
    try {
        const auto chosen = s_.dialogs.ChooseFile(
            direction == kWalkAway ? "Walk Away Event" : "Walk Up Event", kCommandFilter);
        if (!chosen || chosen->empty()) {
            return;
        }
        SetCommand(direction, *chosen);
        okButtonFocusRequested = true;
    } catch (const std::exception& e) {
        s_.dialogs.ShowMessage(e.what());
    }
}

void ProximityActions::SetCommand(Direction direction, const std::string& chosen) {
    std::string command = Trim(chosen).empty() ? std::string(kPathNotSet) : chosen;
    const bool unset = command == kPathNotSet;
    const bool screenSaver =
        command.find(".scr") != std::string::npos || command.find(".SCR") != std::string::npos;
    if (screenSaver) {
        // The screen saver's own switch to start running at once.
        command += " /s";
    }
    // Per direction: a document chosen for the other direction still opens by association.
    launchAsProgram_[direction] = screenSaver;
    if (direction == kWalkAway) {
        s_.prefs.ProximityRunCommand = command;
        Save("ProximityRunCommand", command);
    } else {
        s_.prefs.ProximityRunCommandApproach = command;
        Save("ProximityRunCommandApproach", command);
    }
    // Clearing a command leaves the chosen action alone.
    if (!unset) {
        ChooseAction(Action::RunCommand);
    }
}

std::string ProximityActions::ValidateDelay(Direction direction, const std::string& typed) {
    const std::string fallback = direction == kWalkAway ? "10" : "5";
    std::string& stored = direction == kWalkAway ? s_.prefs.DelayEventAway : s_.prefs.DelayEventUp;
    const char* key = direction == kWalkAway ? "DelayEventAway" : "DelayEventUp";
    std::string result;
    try {
        if (!CommandSet(direction)) {
            // No command, nothing to delay.
            result = "0";
        } else if (const auto seconds = ParseNumber(typed)) {
            if (*seconds >= 1 && *seconds <= 60) {
                result = std::string(Trim(typed));
            } else {
                s_.dialogs.ShowMessage(kDelayRangeMessage);
                result = fallback;
            }
        } else {
            result = fallback;
        }
        stored = result;
        Save(key, result);
        timers_[direction]->SetInterval(IntervalOf(result));
    } catch (...) {
        s_.dialogs.ShowMessage(kDelayRangeMessage);
        result = fallback;
        stored = result;
        timers_[direction]->SetInterval(IntervalOf(result));
    }
    return result;
}

// ---- Device removal ----

bool ProximityActions::AnyProximitySensor() const {
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        const DeviceKind kind = s_.model.EffectiveKind(n);
        if (kind == DeviceKind::Proximity) {
            return true;
        }
        const DeviceRecord* entry = s_.model.Entry(n);
        if (kind == DeviceKind::Distance && entry && (entry->proximityMode || entry->startInProx)) {
            return true;
        }
    }
    return false;
}

void ProximityActions::CheckIfNoDevices(DeviceKind kind) {
    if (kind != DeviceKind::Proximity && kind != DeviceKind::Distance) {
        return;
    }
    try {
        if (s_.model.IsTabEmpty(Tab::Proximity)) {
            s_.view.TabAt(Tab::Proximity).emptyNoticeVisible = true;
            s_.view.Changed();
        }
        if (AnyProximitySensor()) {
            return;
        }
        ChooseAction(Action::Disabled);
        Preferences& p = s_.prefs;
        p.DelayEventAway = "0";
        p.DelayEventUp = "0";
        p.ProximityRunCommand = kPathNotSet;
        p.ProximityRunCommandApproach = kPathNotSet;
        Save("ProximityRunCommand", kPathNotSet);
        Save("ProximityRunCommandApproach", kPathNotSet);
        Save("DelayEventAway", "0");
        Save("DelayEventUp", "0");
        for (Direction direction : {kWalkAway, kWalkUp}) {
            timers_[direction]->SetEnabled(false);
            timers_[direction]->SetInterval(Milliseconds(0));
            pending_[direction] = false;
            launchAsProgram_[direction] = false;
        }
    } catch (...) {
        s_.dialogs.ShowMessage("CheckIfNoDevices Error");
    }
}

}  // namespace vigiltron
