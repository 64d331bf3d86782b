#include "ui/AlarmWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
    acknowledgeButton_ = new QPushButton(QStringLiteral("&Acknowledge..."), this);
    acknowledgeButton_->setObjectName(QStringLiteral("alarmAcknowledge"));
    snoozeButton_ = new QPushButton(QStringLiteral("&Snooze"), this);
    snoozeButton_->setObjectName(QStringLiteral("alarmSnooze"));
    snoozeMenu_ = new QMenu(snoozeButton_);
    snoozeMenu_->setObjectName(QStringLiteral("alarmSnoozeMenu"));
    using std::chrono::minutes;
    for (const auto& [caption, duration] :
         {std::pair<const char*, std::optional<minutes>>{"&15 minutes", minutes(15)},
          {"&1 hour", minutes(60)},
          {"&8 hours", minutes(8 * 60)},
          {"Until &back to normal", std::nullopt}}) {
        QAction* action = snoozeMenu_->addAction(QString::fromUtf8(caption));
        connect(action, &QAction::triggered, this,
                [this, duration] { Forward(commands_.snoozeClicked, duration); });
    }
    snoozeButton_->setMenu(snoozeMenu_);
    disableAllButton_ = new QPushButton(QStringLiteral("Disable All Alarms"), this);
    disableAllButton_->setObjectName(QStringLiteral("alarmDisableAll"));
    for (QPushButton* button : {acknowledgeButton_, snoozeButton_, disableAllButton_}) {
        // Only "Continue" (or the comment's "OK") answers Enter.
        button->setAutoDefault(false);
    }
    connect(continueButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.continueClicked); });
    connect(acknowledgeButton_, &QPushButton::clicked, this, [this] { ShowCommentRow(true); });
    connect(disableAllButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.disableAllClicked); });

    // The comment of an acknowledgement is typed here rather than in a dialog of its own, so
    // the window stays the one place the alarm is handled.
    commentRow_ = new QWidget(this);
    commentRow_->setObjectName(QStringLiteral("alarmCommentRow"));
    auto* commentLabel = new QLabel(QStringLiteral("Co&mment (optional):"), commentRow_);
    commentBox_ = new QLineEdit(commentRow_);
    commentBox_->setObjectName(QStringLiteral("alarmComment"));
    commentBox_->setMaxLength(200);
    commentLabel->setBuddy(commentBox_);
    commentOk_ = new QPushButton(QStringLiteral("&OK"), commentRow_);
    commentOk_->setObjectName(QStringLiteral("alarmCommentOk"));
    commentOk_->setAutoDefault(false);
    commentCancel_ = new QPushButton(QStringLiteral("Ca&ncel"), commentRow_);
    commentCancel_->setObjectName(QStringLiteral("alarmCommentCancel"));
    commentCancel_->setAutoDefault(false);
    connect(commentOk_, &QPushButton::clicked, this, [this] { Acknowledge(); });
    connect(commentCancel_, &QPushButton::clicked, this, [this] { ShowCommentRow(false); });
    auto* commentLayout = new QHBoxLayout(commentRow_);
    commentLayout->setContentsMargins(0, 0, 0, 0);
    commentLayout->addWidget(commentLabel);
    commentLayout->addWidget(commentBox_, 1);
    commentLayout->addWidget(commentOk_);
    commentLayout->addWidget(commentCancel_);
    commentRow_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(continueButton_);
    buttons->addWidget(acknowledgeButton_);
    buttons->addWidget(snoozeButton_);
    buttons->addWidget(disableAllButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(firstLine_);
    layout->addWidget(secondLine_);
    layout->addLayout(buttons);
    layout->addWidget(commentRow_);

    resize(sizeHint().expandedTo(QSize(380, 160)));
    Refresh();
}

void AlarmWindow::ShowCommentRow(bool shown) {
    if (shown == commentRow_->isVisibleTo(this)) {
        return;
    }
    commentRow_->setVisible(shown);
    // Enter records the comment while the row is open, and means "Continue" otherwise.
    // (Both cleared first: only a button that becomes the default takes the dialog's main
    // default, which the focus leaving an auto-default button gives back later.)
    commentOk_->setDefault(false);
    continueButton_->setDefault(false);
    (shown ? commentOk_ : continueButton_)->setDefault(true);
    if (shown) {
        commentBox_->setFocus();
    } else {
        commentBox_->clear();
        acknowledgeButton_->setFocus();
    }
}

void AlarmWindow::Acknowledge() {
    const std::string comment = commentBox_->text().trimmed().toStdString();
    ShowCommentRow(false);
    Forward(commands_.acknowledgeClicked, comment);
}

void AlarmWindow::reject() {
    if (commentRow_->isVisibleTo(this)) {
        ShowCommentRow(false);
        return;
    }
    ViewDialog::reject();
}

void AlarmWindow::Render(bool opening) {
    const AlarmWindowView& alarm = view_.alarm;
    const QString title = QString::fromStdString(alarm.title);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    firstLine_->setText(DisplayText(alarm.firstLine));
    firstLine_->setVisible(alarm.firstLineVisible);
    secondLine_->setText(DisplayText(alarm.secondLine));
    secondLine_->setVisible(alarm.secondLineVisible);
    // Nothing left to acknowledge or snooze (an "OK" notice, or handled already): the comment
    // row goes with the buttons.
    acknowledgeButton_->setEnabled(alarm.acknowledgeEnabled);
    snoozeButton_->setEnabled(alarm.acknowledgeEnabled);
    if (!alarm.acknowledgeEnabled || opening) {
        ShowCommentRow(false);
    }
}

}  // namespace vigiltron
