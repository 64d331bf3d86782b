#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <string>

#include "core/ViewModel.h"

class QWidget;

namespace vigiltron {

QColor ToQColor(TextColour colour);

// Sets the colour a label or other widget draws its text in.
void SetTextColour(QWidget& widget, TextColour colour);

// Sets the point size of a widget's font; sizes below 1 leave the font alone.
void SetPointSize(QWidget& widget, int pointSize);

// The picture shown for a status picture name. "reddot.gif" is drawn here, so the window needs no
// image files; any other name is looked up in the program's resource folder. An unknown or empty
// name gives a null pixmap.
QPixmap StatusPicture(const std::string& name);

// The program's icon, drawn in its normal colours or as the alert image the tray shows after an
// alarm.
QIcon ProgramIcon(bool alert = false);

}  // namespace vigiltron
