#include "platform/QtCameraDevice.h"

#include <QCamera>
#include <QCameraFormat>
#include <QFile>
#include <QList>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaRecorder>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "core/NewFile.h"

namespace vigiltron {

namespace {

// The mode nearest in size; among equally near ones, one that reaches `fps` (29.97 counts as 30).
QCameraFormat NearestFormat(const QList<QCameraFormat>& formats, int width, int height, int fps) {
    QCameraFormat best;
    std::tuple<int, int> bestScore{0, 0};
    for (const QCameraFormat& format : formats) {
        const QSize size = format.resolution();
        const std::tuple<int, int> score{
            std::abs(size.width() - width) + std::abs(size.height() - height),
            format.maxFrameRate() + 0.5f >= float(fps) ? 0 : 1};
        if (best.isNull() || score < bestScore) {
            best = format;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace

QtCameraDevice::QtCameraDevice(EventLoop& loop, const QCameraDevice& device)
    : loop_(loop),
      device_(device),
      description_(device.description().toStdString()),
      parts_(std::make_unique<QObject>()),
      context_(std::make_unique<QObject>()) {
    session_ = new QMediaCaptureSession(parts_.get());
    camera_ = new QCamera(device_, parts_.get());
    sink_ = new QVideoSink(parts_.get());
    recorder_ = new QMediaRecorder(parts_.get());
    session_->setCamera(camera_);
    session_->setVideoSink(sink_);
    session_->setRecorder(recorder_);

    QObject* context = context_.get();
    // Frames may be announced on a streaming thread; the context queues them to this one.
    QObject::connect(sink_, &QVideoSink::videoFrameChanged, context,
                     [this](const QVideoFrame& frame) { OnFrame(frame); });
    QObject::connect(
        camera_, &QCamera::errorOccurred, context,
        [this](QCamera::Error error, const QString& text) {
            if (error != QCamera::NoError) {
                Lose("The camera " + description_ + " stopped working: " + text.toStdString());
            }
        });
    QObject::connect(recorder_, &QMediaRecorder::recorderStateChanged, context,
                     [this](QMediaRecorder::RecorderState state) {
                         if (state == QMediaRecorder::StoppedState) {
                             OnRecorderStopped();
                         }
                     });
    QObject::connect(recorder_, &QMediaRecorder::errorOccurred, context,
                     [this](QMediaRecorder::Error, const QString& text) { OnRecorderError(text); });

    devices_ = new QMediaDevices(context);
    QObject::connect(devices_, &QMediaDevices::videoInputsChanged, context, [this] {
        const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
        const bool present = std::any_of(inputs.begin(), inputs.end(), [this](const auto& input) {
            return input.id() == device_.id();
        });
        if (!present) {
            Lose("The camera " + description_ + " was disconnected.");
        }
    });

    stopTimer_ = new QTimer(context);
    stopTimer_->setSingleShot(true);
    QObject::connect(stopTimer_, &QTimer::timeout, context, [this] {
        if (clipOpen_ && stopping_) {
            clipError_ = "The clip " + clipPath_ + " could not be finished: the recorder did not " +
                         "close it within " + std::to_string(kClipFinishTimeout.count() / 1000) +
                         " seconds.";
            EndClip();
        }
    });

    if (camera_->error() != QCamera::NoError) {
        lostText_ = "The camera " + description_ +
                    " could not be opened: " + camera_->errorString().toStdString();
    }
}

QtCameraDevice::~QtCameraDevice() {
    alive_.reset();
    // Nothing that Qt reports from here on reaches this device.
    context_.reset();
    if (recorder_->recorderState() == QMediaRecorder::StoppedState) {
        return;  // the capture objects go with parts_
    }
    // Let the recorder close the file with the camera still feeding it, then clean up.
    QObject* parts = parts_.release();
    const auto finished = [parts] { parts->deleteLater(); };
    QObject::connect(recorder_, &QMediaRecorder::recorderStateChanged, parts,
                     [finished](QMediaRecorder::RecorderState state) {
                         if (state == QMediaRecorder::StoppedState) {
                             finished();
                         }
                     });
    QObject::connect(recorder_, &QMediaRecorder::errorOccurred, parts, finished);
    QTimer::singleShot(kClipFinishTimeout, parts, finished);
    recorder_->stop();
}

void QtCameraDevice::SetCaptureSize(int width, int height) {
    if (width > 0 && height > 0) {
        width_ = width;
        height_ = height;
        ApplyCameraFormat();
    }
}

void QtCameraDevice::SetFrameRate(int fps) {
    if (fps > 0) {
        fps_ = fps;
        ApplyCameraFormat();
    }
}

void QtCameraDevice::ApplyCameraFormat() {
    if (Lost()) {
        return;
    }
    if (clipOpen_) {
        formatPending_ = true;
        return;
    }
    formatPending_ = false;
    const QCameraFormat format = NearestFormat(device_.videoFormats(), width_, height_, fps_);
    if (!format.isNull() && format != camera_->cameraFormat()) {
        camera_->setCameraFormat(format);
    }
}

void QtCameraDevice::StartPreview() {
    if (Lost()) {
        return;
    }
    previewing_ = true;
    camera_->start();
}

void QtCameraDevice::StopPreview() {
    previewing_ = false;
    if (!clipOpen_) {
        camera_->stop();
    }
}

void QtCameraDevice::OnFrame(const QVideoFrame& frame) {
    // A stopping camera may hand over an empty frame; the last real picture stays.
    if (frame.isValid()) {
        latestFrame_ = frame;
    }
}

QImage QtCameraDevice::LatestImage() {
    if (latestFrame_.isValid()) {
        const QImage image = latestFrame_.toImage();
        latestFrame_ = QVideoFrame();  // hands the buffer back to the camera
        if (!image.isNull()) {
            latestImage_ = image;
        }
    }
    return latestImage_;
}

bool QtCameraDevice::GrabFrame(CameraFrame& frame) {
    if (Lost()) {
        return false;
    }
    const QImage image = LatestImage();
    if (image.isNull()) {
        return false;
    }
    // Bottom-up BGR rows padded to four bytes, as a device-independent bitmap has them.
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    frame.width = bgr.width();
    frame.height = bgr.height();
    const std::size_t stride = static_cast<std::size_t>(frame.Stride());
    const std::size_t rowBytes = static_cast<std::size_t>(frame.width) * 3;
    frame.pixels.assign(stride * static_cast<std::size_t>(frame.height), 0);
    for (int y = 0; y < frame.height; ++y) {
        std::memcpy(frame.pixels.data() + static_cast<std::size_t>(frame.height - 1 - y) * stride,
                    bgr.constScanLine(y), rowBytes);
    }
    return true;
}

bool QtCameraDevice::SaveStill(const std::string& path, std::string& error) {
    if (Lost()) {
        error = lostText_;
        return false;
    }
    error = RefuseExistingFile(path);
    if (!error.empty()) {
        return false;
    }
    const QImage image = LatestImage();
    if (image.isNull()) {
        error = "The camera has not delivered a picture yet.";
        return false;
    }
    QFile file(QString::fromStdString(path));
    // NewOnly: a file that appeared since the check above is not overwritten either.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = "Cannot create the file " + path + ": " + file.errorString().toStdString() + ".";
        return false;
    }
    const bool saved = image.convertToFormat(QImage::Format_RGB888).save(&file, "BMP");
    const bool flushed = saved && file.flush();
    const std::string reason =
        saved ? file.errorString().toStdString() : "the picture could not be encoded";
    file.close();
    if (!flushed) {
        RemoveFileQuietly(path);
        error = "Writing the picture " + path + " failed: " + reason + ".";
        return false;
    }
    return true;
}

bool QtCameraDevice::ChooseClipFormat(QMediaFormat& format, std::string& error) {
    // Asked per codec: QMediaFormat::isSupported also wants an audio codec, and clips have none.
    QMediaFormat avi(QMediaFormat::AVI);
    const QList<QMediaFormat::VideoCodec> codecs = avi.supportedVideoCodecs(QMediaFormat::Encode);
    if (codecs.isEmpty()) {
        error =
            "This system cannot record AVI clips: Qt Multimedia offers no video encoder for AVI "
            "files (GStreamer's avimux and a video encoder are needed, as in "
            "gstreamer1.0-plugins-good).";
        return false;
    }
    // Motion JPEG keeps every frame a picture of its own; otherwise any codec Qt puts into AVI.
    const bool motionJpeg = codecs.contains(QMediaFormat::VideoCodec::MotionJPEG);
    avi.setVideoCodec(motionJpeg ? QMediaFormat::VideoCodec::MotionJPEG : codecs.first());
    format = avi;
    return true;
}

bool QtCameraDevice::StartClip(const std::string& path, std::string& error) {
    if (Lost()) {
        error = lostText_;
        return false;
    }
    if (clipOpen_) {
        error = "A clip is already being recorded.";
        return false;
    }
    if (recorder_->recorderState() != QMediaRecorder::StoppedState) {
        error = "The previous clip is still being finished.";
        return false;
    }
    error = RefuseExistingFile(path);
    if (!error.empty()) {
        return false;
    }
    QMediaFormat format;
    if (!ChooseClipFormat(format, error)) {
        return false;
    }
    // The camera runs before the recorder is asked: a camera that fails at once is lost, not a
    // clip that failed.
    camera_->start();
    if (Lost()) {
        error = lostText_;
        return false;
    }
    recorder_->setMediaFormat(format);
    recorder_->setOutputLocation(QUrl::fromLocalFile(QString::fromStdString(path)));
    clipOpen_ = true;
    recorderStopped_ = false;
    stopping_ = false;
    clipPath_ = path;
    clipError_.clear();
    recorder_->record();

    if (!recorderStopped_ && recorder_->mediaFormat().fileFormat() != QMediaFormat::AVI) {
        // Never another container under an .avi name: whatever it wrote goes once it stops.
        clipError_ =
            "This system cannot record AVI clips: Qt Multimedia chose " +
            QMediaFormat::fileFormatName(recorder_->mediaFormat().fileFormat()).toStdString() +
            " instead.";
        discardPath_ = path;
        recorder_->stop();
        recorderStopped_ = true;
    }
    if (Lost()) {
        // The camera failed while the recorder started; the clip closes itself, then onLost.
        error = lostText_;
        return false;
    }
    if (recorderStopped_) {
        // Refused at once (the recorder may report its error while record() runs).
        error = clipError_.empty() ? "The clip " + path + " could not be started." : clipError_;
        clipOpen_ = false;
        recorderStopped_ = false;
        clipPath_.clear();
        clipError_.clear();
        if (!previewing_) {
            camera_->stop();
        }
        return false;
    }
    return true;
}

void QtCameraDevice::StopClip(std::function<void(const std::string& error)> done) {
    if (!clipOpen_) {
        if (done) {
            const std::string error = Lost() ? lostText_ : "No clip is being recorded.";
            loop_.Post([done = std::move(done), error] { done(error); });
        }
        return;
    }
    if (done) {
        clipDone_.push_back(std::move(done));
    }
    BeginStoppingClip();
}

void QtCameraDevice::BeginStoppingClip() {
    if (recorderStopped_) {
        EndClip();
        return;
    }
    if (stopping_) {
        return;
    }
    stopping_ = true;
    stopTimer_->start(kClipFinishTimeout);
    recorder_->stop();  // may report StoppedState before it returns
}

void QtCameraDevice::OnRecorderStopped() {
    if (!discardPath_.empty() && recorder_->recorderState() == QMediaRecorder::StoppedState) {
        RemoveFileQuietly(discardPath_);
        discardPath_.clear();
    }
    if (!clipOpen_) {
        return;
    }
    recorderStopped_ = true;
    if (stopping_) {
        EndClip();
    }
}

void QtCameraDevice::OnRecorderError(const QString& text) {
    if (!clipOpen_) {
        return;
    }
    if (clipError_.empty()) {
        clipError_ = "The clip " + clipPath_ + " could not be recorded: " + text.toStdString();
    }
    // A failed recorder writes no more; the clip ends with this error when it is stopped.
    OnRecorderStopped();
}

void QtCameraDevice::EndClip() {
    const std::string error = clipError_;
    clipOpen_ = false;
    recorderStopped_ = false;
    stopping_ = false;
    clipPath_.clear();
    clipError_.clear();
    stopTimer_->stop();
    const auto waiting = std::move(clipDone_);
    clipDone_.clear();

    if (!Lost()) {
        if (formatPending_) {
            ApplyCameraFormat();
        }
        if (!previewing_) {
            camera_->stop();
        }
    }
    for (const auto& done : waiting) {
        loop_.Post([done, error] { done(error); });
    }
    if (lostPending_) {
        lostPending_ = false;
        ReportLost(error);
    }
}

void QtCameraDevice::Lose(const std::string& text) {
    if (Lost()) {
        return;
    }
    lostText_ = text;
    if (clipOpen_) {
        // The clip is closed first, so that what was recorded stays playable.
        lostPending_ = true;
        BeginStoppingClip();
        return;
    }
    ReportLost("");
}

void QtCameraDevice::ReportLost(const std::string& clipError) {
    camera_->stop();
    latestFrame_ = QVideoFrame();
    latestImage_ = QImage();
    const std::string error = clipError.empty() ? lostText_ : lostText_ + " " + clipError;
    // Posted: Qt is still inside the signal, and the handler may well destroy this device.
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_), error] {
        if (alive.expired()) {
            return;
        }
        const auto lost = onLost;  // a copy, for the same reason
        if (lost) {
            lost(error);
        }
    });
}

}  // namespace vigiltron
