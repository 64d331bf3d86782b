#pragma once

namespace vigiltron {

// What the setup window's preference pages show (intervals, slider, enabled buttons, focus), as
// plain data. The boxes' texts are the preferences themselves; only what the preferences do not
// hold is kept here.
struct SetupPreferencesView {
    // The control a rule has just moved the focus to; the window gives it the focus and may
    // reset this to None.
    enum class Focus {
        None,
        BinaryInterval,  // after "This interval must be an integer"
        Slider,          // after a click in the reading interval box, or an interval raised to 8
        MaxFileSize,     // after "This value must be an integer"
        ProximityOk,     // the proximity page's OK, after a command was chosen
    };

    // The reading interval slider: its bounds follow the interval unit (1 for minutes, 8 for
    // seconds); the value is the interval, held within the bounds.
    int sliderMin = 1;
    int sliderMax = 60;
    int sliderValue = 30;
    // "Set" and the reading interval box: disabled once the intervals are applied, until the
    // next change.
    bool setEnabled = false;
    bool intervalBoxEnabled = false;
    Focus focus = Focus::None;

    friend bool operator==(const SetupPreferencesView&, const SetupPreferencesView&) = default;
};

}  // namespace vigiltron
