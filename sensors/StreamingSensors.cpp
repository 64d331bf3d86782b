#include "sensors/StreamingSensors.h"

#include "alerts/ProximityActions.h"

#include "core/DeviceModel.h"
#include "core/ViewModel.h"

namespace vigiltron {

StreamingSensors::StreamingSensors(Services services)
    : s_(services), accelerometer_(services), distance_(services) {}

StreamSensor* StreamingSensors::OfKind(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Accelerometer:
            return &accelerometer_;
        case DeviceKind::Distance:
            return &distance_;
        default:
            return nullptr;
    }
}

// ---- Connection ----

void StreamingSensors::Start(int n, DeviceKind kind) {
    if (StreamSensor* sensor = OfKind(kind)) {
        sensor->Start(n);
    }
}

void StreamingSensors::Reset(int n, DeviceKind kind) {
    if (kind == DeviceKind::Distance) {
        // In proximity mode it may have started a walk-up or walk-away action.
        s_.actions.CancelDelaysOf(n);
    }
    if (StreamSensor* sensor = OfKind(kind)) {
        sensor->Reset(n);
    } else if (DeviceModel::IsValidIndex(n)) {
        s_.view.Commands(n).streaming = EntryCommands::StreamingModeView{};
        s_.view.Changed();
    }
}

// ---- Port events ----

void StreamingSensors::MSCommA_OnComm(int n, CommEvent event) {
    accelerometer_.OnPortEvent(n, event);
}

void StreamingSensors::MSCommD_OnComm(int n, CommEvent event) {
    distance_.OnPortEvent(n, event);
}

void StreamingSensors::AccelerometerBytes(int n, std::string_view bytes) {
    accelerometer_.Bytes(n, bytes);
}

void StreamingSensors::DistanceBytes(int n, std::string_view bytes) {
    distance_.Bytes(n, bytes);
}

// ---- Modes ----

void StreamingSensors::cmdSetToBump_Click(int slot) {
    accelerometer_.cmdSetToBump_Click(slot);
}

void StreamingSensors::mnuPopUpSetToBinaryMode_Click(int n) {
    accelerometer_.mnuPopUpSetToBinaryMode_Click(n);
}

void StreamingSensors::StartInBumpMode(int n) {
    accelerometer_.StartInEventMode(n);
}

void StreamingSensors::cmdSetToProximityMode_Click(int slot) {
    distance_.cmdSetToProximityMode_Click(slot);
}

void StreamingSensors::mnuPopupSetProximityMode_Click(int n) {
    distance_.mnuPopupSetProximityMode_Click(n);
}

void StreamingSensors::StartInProximityMode(int n) {
    distance_.StartInEventMode(n);
}

// ---- Sensitivity, calibration, restart ----

void StreamingSensors::cmdSetBumpSens_Click(int slot) {
    accelerometer_.TabSensitivity(slot);
}

void StreamingSensors::cmdSensD_Click(int slot) {
    distance_.TabSensitivity(slot);
}

void StreamingSensors::mnuPopupSetSensitivity_Click(int n) {
    if (StreamSensor* sensor = OfKind(s_.model.EffectiveKind(n))) {
        sensor->MenuSensitivity(n);
    }
}

void StreamingSensors::cmdCalibrate_Click(int slot) {
    accelerometer_.cmdCalibrate_Click(slot);
}

void StreamingSensors::mnuPopupCalibrate_Click(int n) {
    accelerometer_.mnuPopupCalibrate_Click(n);
}

void StreamingSensors::CalibrateOnConnection(int n) {
    accelerometer_.CalibrateOnConnection(n);
}

void StreamingSensors::RestartStreaming(int n) {
    if (StreamSensor* sensor = OfKind(s_.model.EffectiveKind(n))) {
        sensor->RestartStreaming(n);
    }
}

void StreamingSensors::cmdDPlus_Click(int slot) {
    distance_.cmdDPlus_Click(slot);
}

// ---- State ----

const std::string& StreamingSensors::LastDistanceText(int n) const {
    return distance_.LastDistanceText(n);
}

const std::string& StreamingSensors::ObjectChanged(int slot) const {
    return distance_.ObjectChanged(slot);
}

std::size_t StreamingSensors::PendingBytes(int n) const {
    return accelerometer_.PendingBytes(n) + distance_.PendingBytes(n);
}

std::size_t StreamingSensors::QueuedLines(int n) const {
    return accelerometer_.QueuedLines(n) + distance_.QueuedLines(n);
}

bool StreamingSensors::CommandUnderWay(int n) const {
    return accelerometer_.CommandUnderWay(n) || distance_.CommandUnderWay(n);
}

void StreamingSensors::SlotButton_Click(Tab tab, int slot, SlotButton button) {
    const bool accelerometer = tab == Tab::Accelerometer;
    switch (button) {
        case SlotButton::Mode:
            accelerometer ? cmdSetToBump_Click(slot) : cmdSetToProximityMode_Click(slot);
            break;
        case SlotButton::Sensitivity:
            accelerometer ? cmdSetBumpSens_Click(slot) : cmdSensD_Click(slot);
            break;
        case SlotButton::Calibrate:
            cmdCalibrate_Click(slot);
            break;
        case SlotButton::DPlus:
            cmdDPlus_Click(slot);
            break;
    }
}

}  // namespace vigiltron
