#pragma once

#include <QCameraDevice>
#include <QImage>
#include <QVideoFrame>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/CameraDevice.h"
#include "core/EventLoop.h"

class QCamera;
class QMediaCaptureSession;
class QMediaDevices;
class QMediaFormat;
class QMediaRecorder;
class QObject;
class QTimer;
class QVideoSink;

namespace vigiltron {

// One USB camera through Qt Multimedia: the camera feeds a video sink (the live picture and
// stills) and, while a clip runs, a recorder writing an .avi file. Qt reports asynchronously;
// every call here returns at once and results reach the engine through `loop`, which must
// outlive the device.
class QtCameraDevice : public CameraDevice {
public:
    // How long a recorder may take to close its file before the clip is given up.
    static constexpr Milliseconds kClipFinishTimeout{10000};

    QtCameraDevice(EventLoop& loop, const QCameraDevice& device);
    // A clip still being recorded is stopped so that its file is closed properly; the recorder
    // finishes on its own after the device has gone, and pending StopClip callbacks are dropped
    // (their owner is going away too).
    ~QtCameraDevice() override;
    QtCameraDevice(const QtCameraDevice&) = delete;
    QtCameraDevice& operator=(const QtCameraDevice&) = delete;

    // The camera mode nearest to the size (preferring one that reaches the rate) is taken. A clip
    // keeps the mode it started with; a change asked for meanwhile applies after it.
    void SetCaptureSize(int width, int height) override;
    void SetFrameRate(int fps) override;
    void StartPreview() override;
    // The camera keeps running while a clip records.
    void StopPreview() override;
    bool SaveStill(const std::string& path, std::string& error) override;
    bool StartClip(const std::string& path, std::string& error) override;
    void StopClip(std::function<void(const std::string& error)> done) override;
    // From StartClip until the clip is complete, even when the recorder failed meanwhile: the
    // engine still calls StopClip, which then reports why.
    bool Recording() const override { return clipOpen_; }
    bool GrabFrame(CameraFrame& frame) override;

    // The camera went away or failed (or could not be opened at all); every operation then fails
    // with LostText().
    bool Lost() const { return !lostText_.empty(); }
    const std::string& LostText() const { return lostText_; }

    // The format clips are written in: AVI, with Motion JPEG when Qt can encode it, otherwise
    // another video codec Qt can put into AVI. False with the reason when this system cannot
    // write AVI video at all.
    static bool ChooseClipFormat(QMediaFormat& format, std::string& error);

private:
    void OnFrame(const QVideoFrame& frame);
    void OnRecorderStopped();
    void OnRecorderError(const QString& text);
    void ApplyCameraFormat();
    // The latest picture, converted when first asked for; null before the first frame.
    QImage LatestImage();
    // Asks the recorder to close the file; EndClip follows when it has (or after the timeout).
    void BeginStoppingClip();
    void EndClip();
    void Lose(const std::string& text);
    void ReportLost(const std::string& clipError);

    EventLoop& loop_;
    QCameraDevice device_;
    std::string description_;

    // Parent of the capture objects. Normally destroyed with the device; at destruction during
    // a clip it stays behind until the recorder has closed the file.
    std::unique_ptr<QObject> parts_;
    QMediaCaptureSession* session_ = nullptr;
    QCamera* camera_ = nullptr;
    QVideoSink* sink_ = nullptr;
    QMediaRecorder* recorder_ = nullptr;

    int width_ = 640;
    int height_ = 480;
    int fps_ = 15;
    bool formatPending_ = false;  // asked for during a clip
    bool previewing_ = false;

    QVideoFrame latestFrame_;  // not converted yet
    QImage latestImage_;

    // A clip is open from StartClip until its file is complete (or given up).
    bool clipOpen_ = false;
    bool recorderStopped_ = false;  // the recorder has stopped (or failed) for this clip
    bool stopping_ = false;         // waiting for the recorder to close the file
    std::string clipPath_;
    std::string clipError_;
    std::vector<std::function<void(const std::string&)>> clipDone_;
    std::string discardPath_;  // written in the wrong container: removed once the recorder stops

    std::string lostText_;
    bool lostPending_ = false;  // onLost waits for the clip to be closed
    // Posted onLost calls check this so that they never reach a destroyed device.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // Receiver of every Qt signal handled here, with the watcher of plugged devices and the clip
    // timer as children. Declared last so that it goes first: nothing reaches a dying device.
    std::unique_ptr<QObject> context_;
    QMediaDevices* devices_ = nullptr;
    QTimer* stopTimer_ = nullptr;
};

}  // namespace vigiltron
