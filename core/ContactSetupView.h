#pragma once

namespace vigiltron {

// What the e-mail, paging and remote-monitoring setup windows show beyond the preferences
// themselves, as plain data.
struct ContactSetupView {
    bool emailWindowVisible = false;
    bool pagingWindowVisible = false;
    bool remoteMonitoringWindowVisible = false;
};

}  // namespace vigiltron
