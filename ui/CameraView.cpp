#include "ui/CameraView.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <cstddef>

namespace vigiltron {

namespace {

constexpr int kRefreshMs = 100;  // about ten pictures a second
// The smallest picture a camera delivers (the size clips are recorded in).
constexpr QSize kSmallestPicture(160, 120);
constexpr QSize kUsualPicture(320, 240);
// Frames larger than this are taken for garbage rather than drawn.
constexpr int kLargestSide = 8192;

// The frame as an image with its top row first, or a null image when the frame's size and its
// pixel data do not agree.
QImage ToImage(const CameraFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 || frame.width > kLargestSide ||
        frame.height > kLargestSide ||
        frame.pixels.size() < std::size_t(frame.Stride()) * std::size_t(frame.height)) {
        return {};
    }
    const QImage bottomUp(frame.pixels.data(), frame.width, frame.height, frame.Stride(),
                          QImage::Format_BGR888);
    // Mirroring makes a deep copy, so the frame's buffer can be reused for the next grab.
    return bottomUp.mirrored(false, true);
}

}  // namespace

CameraViewWidget::CameraViewWidget(GrabFrame grab, QWidget* parent)
    : QWidget(parent), grab_(std::move(grab)) {
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("cameraCaption"));
    caption_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption_);
    layout->addStretch(1);  // the picture's room, painted by this widget
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &CameraViewWidget::GrabNow);
}

CameraViewWidget::~CameraViewWidget() = default;

void CameraViewWidget::Render(const CameraView& data) {
    const QString caption = QString::fromStdString(data.caption);
    if (caption_->text() != caption) {
        caption_->setText(caption);
        setAccessibleName(caption);
    }
    if (data == data_) {
        return;
    }
    // A picture of another camera, or of one that went away, must not linger.
    if (!data.attached || data.cameraNumber != data_.cameraNumber) {
        picture_ = QImage();
        update();
    }
    data_ = data;
    UpdateTimer();
}

void CameraViewWidget::SetCaptionShown(bool shown) {
    caption_->setVisible(shown);
}

QRect CameraViewWidget::PictureArea() const {
    QRect area = rect();
    if (caption_->isVisibleTo(this)) {
        area.setTop(caption_->geometry().bottom() + 1 + layout()->spacing());
    }
    return area;
}

QSize CameraViewWidget::sizeHint() const {
    return kUsualPicture + QSize(0, caption_->sizeHint().height());
}

QSize CameraViewWidget::minimumSizeHint() const {
    return kSmallestPicture + QSize(0, caption_->sizeHint().height());
}

void CameraViewWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = PictureArea();
    painter.fillRect(area, data_.attached ? Qt::black : Qt::darkGray);
    if (picture_.isNull() || area.isEmpty()) {
        return;
    }
    QRect target(QPoint(), picture_.size().scaled(area.size(), Qt::KeepAspectRatio));
    target.moveCenter(area.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

void CameraViewWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    shown_ = true;
    UpdateTimer();
}

void CameraViewWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Also a minimised window: its views are not looked at either.
    shown_ = false;
    UpdateTimer();
}

void CameraViewWidget::UpdateTimer() {
    const bool wanted = shown_ && data_.attached && data_.cameraNumber > 0 && grab_;
    if (wanted == timer_.isActive()) {
        return;
    }
    if (wanted) {
        timer_.start();
        GrabNow();  // the picture appears at once, not a tick later
    } else {
        timer_.stop();
    }
}

void CameraViewWidget::GrabNow() {
    if (!grab_ || !grab_(data_.cameraNumber, frame_)) {
        return;  // no new picture yet: the last one stays
    }
    QImage picture = ToImage(frame_);
    if (!picture.isNull()) {
        picture_ = std::move(picture);
        update(PictureArea());
    }
}

}  // namespace vigiltron
