#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace vigiltron {

struct HelpWindowView;

// The help window: the heading as its title and above a read-only text. It only shows what the
// view model's `help` holds; the main window decides when it appears.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Renders the heading and text (kept as they are when unchanged, so a scrolled text stays).
    void Render(const HelpWindowView& help);

    QLabel* Heading() const { return heading_; }
    QPlainTextEdit* Text() const { return text_; }

private:
    QLabel* heading_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace vigiltron
