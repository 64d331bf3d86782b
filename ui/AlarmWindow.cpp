#include "ui/AlarmWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Forward.h"

namespace vigiltron {

namespace {

// Alarm texts break their lines with a CR.
QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

}  // namespace

AlarmWindow::AlarmWindow(ViewModel& view, AlarmWindowCommands commands, QWidget* parent)
    : ViewDialog(view, commands.continueClicked, parent), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("alarmWindow"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    // The title bar's close and Escape stop the sound and discard the texts, like "Continue".

    firstLine_ = new QLabel(this);
    firstLine_->setObjectName(QStringLiteral("alarmFirstLine"));
    secondLine_ = new QLabel(this);
    secondLine_->setObjectName(QStringLiteral("alarmSecondLine"));
    for (QLabel* label : {firstLine_, secondLine_}) {
        label->setAlignment(Qt::AlignCenter);
        QFont font = label->font();
        font.setPointSize(14);
        font.setBold(true);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        label->setPalette(palette);
    }

    continueButton_ = new QPushButton(QStringLiteral("Continue"), this);
    continueButton_->setObjectName(QStringLiteral("alarmContinue"));
    continueButton_->setDefault(true);
    disableAllButton_ = new QPushButton(QStringLiteral("Disable All Alarms"), this);
    disableAllButton_->setObjectName(QStringLiteral("alarmDisableAll"));
    connect(continueButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.continueClicked); });
    connect(disableAllButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.disableAllClicked); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(continueButton_);
    buttons->addWidget(disableAllButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(firstLine_);
    layout->addWidget(secondLine_);
    layout->addLayout(buttons);

    resize(380, 160);
    Refresh();
}

void AlarmWindow::Render(bool /*opening*/) {
    const AlarmWindowView& alarm = view_.alarm;
    const QString title = QString::fromStdString(alarm.title);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    firstLine_->setText(DisplayText(alarm.firstLine));
    firstLine_->setVisible(alarm.firstLineVisible);
    secondLine_->setText(DisplayText(alarm.secondLine));
    secondLine_->setVisible(alarm.secondLineVisible);
}

}  // namespace vigiltron
