#pragma once

namespace vigiltron {

// What the setup window's preference pages show (intervals, slider, enabled buttons, focus), as
// plain data.
struct SetupPreferencesView {};

}  // namespace vigiltron
