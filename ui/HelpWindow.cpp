#include "ui/HelpWindow.h"

#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/ViewModel.h"

namespace vigiltron {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("helpWindow"));
    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(this);
    QFont bold = heading_->font();
    bold.setBold(true);
    heading_->setFont(bold);
    layout->addWidget(heading_);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    // The help text is laid out in columns for a fixed-width font.
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(text_);
    resize(640, 480);
}

void HelpWindow::Render(const HelpWindowView& help) {
    const QString heading = QString::fromStdString(help.heading);
    if (windowTitle() != heading) {
        setWindowTitle(heading);
        heading_->setText(heading);
    }
    const QString text = QString::fromStdString(help.text);
    if (text_->toPlainText() != text) {
        text_->setPlainText(text);
    }
}

}  // namespace vigiltron
