#pragma once

namespace vigiltron {

// What the add window, the scan list and the setup window's device rows show, as plain data.
struct DeviceSetupView {};

}  // namespace vigiltron
