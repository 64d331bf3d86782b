#include "ui/ViewStyle.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace vigiltron {

QColor ToQColor(TextColour colour) {
    switch (colour) {
        case TextColour::Red:
            return QColor(Qt::red);
        case TextColour::Blue:
            return QColor(Qt::blue);
        case TextColour::Green:
            return QColor(Qt::darkGreen);
        case TextColour::Grey:
            return QColor(Qt::gray);
        case TextColour::Black:
            break;
    }
    return QColor(Qt::black);
}

void SetTextColour(QWidget& widget, TextColour colour) {
    const QColor wanted = ToQColor(colour);
    if (widget.palette().color(QPalette::WindowText) == wanted) {
        return;
    }
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, wanted);
    palette.setColor(QPalette::Text, wanted);
    widget.setPalette(palette);
}

void SetPointSize(QWidget& widget, int pointSize) {
    if (pointSize < 1 || widget.font().pointSize() == pointSize) {
        return;
    }
    QFont font = widget.font();
    font.setPointSize(pointSize);
    widget.setFont(font);
}

namespace {

QPixmap RedDot() {
    constexpr int kSize = 16;
    QPixmap dot(kSize, kSize);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(128, 0, 0), 1));
    painter.setBrush(QColor(Qt::red));
    painter.drawEllipse(QRectF(2.5, 2.5, kSize - 5, kSize - 5));
    return dot;
}

}  // namespace

QPixmap StatusPicture(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name == "reddot.gif") {
        return RedDot();
    }
#ifdef VIGILTRON_SOURCE_RESOURCES
    // Only a bare file name is looked up, never a path that could leave the resource folder.
    const QString file = QString::fromStdString(name);
    if (QFileInfo(file).fileName() == file) {
        QPixmap picture(QDir(QStringLiteral(VIGILTRON_SOURCE_RESOURCES)).filePath(file));
        if (!picture.isNull()) {
            return picture;
        }
    }
#endif
    return {};
}

}  // namespace vigiltron
