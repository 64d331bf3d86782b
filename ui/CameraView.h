#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "core/CameraDevice.h"
#include "core/CameraViewData.h"

class QLabel;

namespace vigiltron {

// One place showing a camera's live picture: its caption above and the picture below, scaled to
// fit without distortion. While the view is on screen and its camera is attached it asks for the
// latest frame about ten times a second; hidden or without a camera it asks for nothing, so a
// view nobody looks at costs no work. Without a camera it shows an empty dark box.
//
// (Named "widget" because CameraView is the view model's description of the place.)
class CameraViewWidget : public QWidget {
    Q_OBJECT
public:
    // Copies camera `camera`'s latest picture into `frame`; false while there is none.
    using GrabFrame = std::function<bool(int camera, CameraFrame& frame)>;

    explicit CameraViewWidget(GrabFrame grab, QWidget* parent = nullptr);
    ~CameraViewWidget() override;

    // Shows what the view model says of this place.
    void Render(const CameraView& data);
    // The Summary tab shows the camera's name above the view itself.
    void SetCaptionShown(bool shown);

    QLabel* Caption() const { return caption_; }
    // Whether the picture is being refreshed now.
    bool Live() const { return timer_.isActive(); }
    // Where the picture is drawn, in the widget's coordinates.
    QRect PictureArea() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void UpdateTimer();
    void GrabNow();

    GrabFrame grab_;
    QLabel* caption_ = nullptr;
    QTimer timer_;
    CameraView data_;
    bool shown_ = false;  // on screen (between a show and a hide event)
    CameraFrame frame_;   // reused between grabs
    QImage picture_;      // the last frame, top row first
};

}  // namespace vigiltron
