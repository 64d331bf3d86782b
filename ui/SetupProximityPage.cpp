#include "ui/SetupProximityPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/SetupWindowBoxEvents.h"

namespace vigiltron {

namespace {

using Action = ProximityActions::Action;
using Direction = ProximityActions::Direction;

constexpr Action kActions[] = {Action::Disabled, Action::SystemLock, Action::LogOff,
                               Action::RunCommand};

}  // namespace

SetupProximityPage::SetupProximityPage(SetupWindowCommands commands,
                                       std::function<void()> commandDone, QWidget* parent)
    : SetupPage(std::move(commands), std::move(commandDone), parent) {
    auto* actionGroup = new QGroupBox(QStringLiteral("When somebody walks up or away"), this);
    auto* actionLayout = new QVBoxLayout(actionGroup);
    const QString captions[] = {
        QStringLiteral("&Disabled (No system events triggered)"),
        QStringLiteral("&Lock system when triggered"),
        QStringLiteral("&Force Log off when triggered"),
        QStringLiteral("&Run Commands (scripts, screensavers, executables):"),
    };
    const char* keys[] = {"optSysCommandDisabled", "optSystemLock", "optLogoutOnProximity",
                          "optRunCommand"};
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        auto* option = new QRadioButton(captions[i], actionGroup);
        option->setObjectName(QString::fromLatin1(keys[i]));
        connect(option, &QRadioButton::clicked, this,
                [this, action = kActions[i]] { Run(commands_.chooseProximityAction, action); });
        actionLayout->addWidget(option);
        actions_[i] = option;
    }

    auto* commandGroup = new QGroupBox(QStringLiteral("Commands"), this);
    auto* grid = new QGridLayout(commandGroup);
    struct DirectionCaptions {
        QString command;
        QString browse;
        QString delay;
        const char* commandKey;
        const char* delayKey;
    };
    const DirectionCaptions directions[] = {
        {QStringLiteral("Walk-away command:"), QStringLiteral("&Browse..."),
         QStringLiteral("Walk-away d&elay (seconds):"), "ProximityRunCommand", "DelayEventAway"},
        {QStringLiteral("Walk-up command:"), QStringLiteral("Bro&wse..."),
         QStringLiteral("Walk-up dela&y (seconds):"), "ProximityRunCommandApproach",
         "DelayEventUp"},
    };
    for (const Direction direction : {ProximityActions::kWalkAway, ProximityActions::kWalkUp}) {
        const DirectionCaptions& c = directions[direction];
        const int line = direction * 2;
        // The command is chosen with "Browse..." only, so it is never half typed.
        auto* command = new QLineEdit(commandGroup);
        command->setObjectName(QString::fromLatin1(c.commandKey));
        command->setReadOnly(true);
        command->setAccessibleName(c.command);
        auto* browse = new QPushButton(c.browse, commandGroup);
        browse->setObjectName(QStringLiteral("browse") + QString::fromLatin1(c.commandKey));
        connect(browse, &QPushButton::clicked, this,
                [this, direction] { Run(commands_.browseProximityCommand, direction); });
        QLineEdit* delay = NewTextBox(c.delayKey, commandGroup);
        delay->setMaximumWidth(delay->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                               16);
        const std::string delayKey = c.delayKey;
        // The delay is checked when the user leaves its box.
        SetupWindowBoxEvents::OnLeave(*delay,
                                      [this, delayKey] { Run(commands_.leaveBox, delayKey); });
        auto* delayLabel = new QLabel(c.delay, commandGroup);
        delayLabel->setBuddy(delay);

        grid->addWidget(new QLabel(c.command, commandGroup), line, 0);
        grid->addWidget(command, line, 1);
        grid->addWidget(browse, line, 2);
        grid->addWidget(delayLabel, line + 1, 0);
        grid->addWidget(delay, line + 1, 1, Qt::AlignLeft);
        commandBoxes_[direction] = command;
        browse_[direction] = browse;
        delay_[direction] = delay;
    }
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(actionGroup);
    layout->addWidget(commandGroup);
    layout->addStretch(1);
}

QRadioButton* SetupProximityPage::ActionOption(ProximityActions::Action action) const {
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        if (kActions[i] == action) {
            return actions_[i];
        }
    }
    return nullptr;
}

void SetupProximityPage::Render(const Preferences& prefs) {
    const bool selected[] = {prefs.optSysCommandDisabled, prefs.optSystemLock,
                             prefs.optLogoutOnProximity, prefs.optRunCommand};
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        ShowChecked(*actions_[i], selected[i]);
    }
    ShowText(*commandBoxes_[ProximityActions::kWalkAway], prefs.ProximityRunCommand);
    ShowText(*commandBoxes_[ProximityActions::kWalkUp], prefs.ProximityRunCommandApproach);
    ShowText(*delay_[ProximityActions::kWalkAway], prefs.DelayEventAway);
    ShowText(*delay_[ProximityActions::kWalkUp], prefs.DelayEventUp);
}

}  // namespace vigiltron
