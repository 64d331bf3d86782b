#pragma once

#include <array>
#include <string>

namespace vigiltron {

// One place where a camera's live picture is shown: the Summary tab's view (0) or one of the
// Video tab's four views (1..4).
struct CameraView {
    // The camera's name, "Camera in Summary Tab" when its picture went to the Summary tab, or
    // "Camera N Not Attached".
    std::string caption;
    bool attached = false;  // a camera is selected on this view and shows its live picture
    int cameraNumber = 0;   // the camera shown here; 0 when none

    friend bool operator==(const CameraView&, const CameraView&) = default;
};

// Everything the windows show about cameras.
struct CameraViewData {
    std::array<CameraView, 5> views{};  // 0 = Summary tab, 1..4 = Video tab
    // The Summary tab's "Video Surveillance" frame, shown while no camera is on the Summary tab.
    bool surveillanceFrameVisible = true;
    // The name of the camera on the Summary tab, shown above its picture.
    std::string summaryCameraCaption;
    bool summaryCameraCaptionVisible = false;
    // "No Vigiltron/V cameras present." on the Video tab.
    bool noCamerasNoticeVisible = true;
    // The view last brought to the front (0..4).
    int frontView = 0;
    // Per camera number (1..4; 0 unused): the name of the setup entry holding that number, empty
    // when no entry does (the setup window shows option rows only for named cameras), and the
    // state of its "Send to Summary" check box.
    std::array<std::string, 5> names{};
    std::array<bool, 5> sendToSummary{};
    // "Save Picture": there is a live camera on the Summary tab.
    bool savePictureEnabled = false;

    friend bool operator==(const CameraViewData&, const CameraViewData&) = default;
};

}  // namespace vigiltron
