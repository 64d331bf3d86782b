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

// The status pictures are drawn, not shipped: a dot in the colour of the row's state.
QPixmap Dot(QColor fill) {
    constexpr int kSize = 16;
    QPixmap dot(kSize, kSize);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(fill.darker(200), 1));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(2.5, 2.5, kSize - 5, kSize - 5));
    return dot;
}

}  // namespace

QPixmap StatusPicture(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name == "reddot.gif") {  // not connected
        return Dot(QColor(Qt::red));
    }
    if (name == "greendot.gif") {  // connected and in service
        return Dot(QColor(0, 170, 0));
    }
    if (name == "greydot.gif") {  // the port was lost; the program keeps trying
        return Dot(QColor(Qt::gray));
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

QIcon ProgramIcon(bool alert) {
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor fill = alert ? QColor(200, 30, 30) : QColor(20, 90, 160);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(size * 3 / 4);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter,
                         alert ? QStringLiteral("!") : QStringLiteral("V"));
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

}  // namespace vigiltron
