#include "sensors/PresenceChange.h"

#include <string>

#include "alerts/ProximityActions.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/Reading.h"
#include "core/ViewModel.h"
#include "sensors/ReadingPipeline.h"

namespace vigiltron {

void PresenceChange::operator()(int n, DeviceKind kind, bool present, const char* handler) const {
    actions.StartDelays(present, n);
    Reading reading;
    reading.setupIndex = n;
    reading.kind = kind;
    reading.change = present ? Reading::Change::Present : Reading::Change::Absent;
    readings.Take(reading);

    std::string error;
    const bool ended = actions.RunImmediateActions(present, error);
    if (!error.empty()) {
        // A lock that did not happen must not pass unnoticed.
        dialogs.ShowMessage(handler + error);
    }
    if (ended) {
        return;  // the session is being locked or ended: nothing more to show
    }
    const Tab tab = kind == DeviceKind::Distance ? Tab::Distance : Tab::Proximity;
    actions.LinkedCameraEvent(model.SlotOf(n, tab), kind);
    view.Row(n).reading = present ? "Event" : " ";
    view.Changed();
}

}  // namespace vigiltron
