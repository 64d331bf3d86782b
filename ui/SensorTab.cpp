#include "ui/SensorTab.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Forward.h"
#include "ui/ViewStyle.h"

namespace vigiltron {

namespace {

QString JoinLines(const std::deque<std::string>& lines) {
    QStringList joined;
    joined.reserve(qsizetype(lines.size()));
    for (const std::string& line : lines) {
        joined.append(QString::fromStdString(line));
    }
    return joined.join(QLatin1Char('\n'));
}

}  // namespace

SensorTab::SensorTab(const ViewModel& view, Tab tab, const MainWindowCommands& commands,
                     QWidget* parent)
    : QWidget(parent), view_(view), tab_(tab), commands_(commands) {
    setObjectName(QString::fromStdString(TabName(tab)));
    auto* outer = new QVBoxLayout(this);

    notice_ = new QLabel(QString::fromStdString(EmptyTabNotice(tab)), this);
    notice_->setObjectName(QStringLiteral("emptyNotice"));
    notice_->setAlignment(Qt::AlignCenter);
    SetPointSize(*notice_, 14);
    outer->addWidget(notice_);
    if (tab_ == Tab::Proximity) {
        proximityEvents_ = new QPushButton(QStringLiteral("Set &Proximity Events"), this);
        proximityEvents_->setObjectName(QStringLiteral("setProximityEvents"));
        connect(proximityEvents_, &QPushButton::clicked, this,
                [this] { Forward(commands_.setProximityNotifications); });
        outer->addWidget(proximityEvents_, 0, Qt::AlignLeft);
    }

    auto* grid = new QGridLayout;
    outer->addLayout(grid, 1);
    for (int s = 1; s <= 4; ++s) {
        SlotWidgets& w = slots_[std::size_t(s)];
        const QString suffix = QString::number(s);
        w.panel = new QGroupBox(this);
        w.panel->setObjectName(QStringLiteral("slot") + suffix);
        auto* panelLayout = new QVBoxLayout(w.panel);

        if (HasHighLow()) {
            auto* highLow = new QHBoxLayout;
            w.highestCaption = new QLabel(QStringLiteral("Highest:"), w.panel);
            w.highest = new QLabel(w.panel);
            w.highest->setObjectName(QStringLiteral("highest") + suffix);
            SetTextColour(*w.highest, TextColour::Red);
            w.lowestCaption = new QLabel(QStringLiteral("Lowest:"), w.panel);
            w.lowest = new QLabel(w.panel);
            w.lowest->setObjectName(QStringLiteral("lowest") + suffix);
            SetTextColour(*w.lowest, TextColour::Blue);
            w.reset = new QPushButton(QStringLiteral("Reset"), w.panel);
            w.reset->setObjectName(QStringLiteral("reset") + suffix);
            connect(w.reset, &QPushButton::clicked, this,
                    [this, s] { Forward(commands_.clearHighLow, tab_, s); });
            highLow->addWidget(w.highestCaption);
            highLow->addWidget(w.highest);
            highLow->addSpacing(12);
            highLow->addWidget(w.lowestCaption);
            highLow->addWidget(w.lowest);
            highLow->addStretch(1);
            highLow->addWidget(w.reset);
            panelLayout->addLayout(highLow);
        }

        if (tab_ == Tab::Accelerometer || tab_ == Tab::Distance) {
            auto* row = new QHBoxLayout;
            const bool accelerometer = tab_ == Tab::Accelerometer;
            const std::pair<SlotButton, QString> buttons[] = {
                {SlotButton::Mode, QString()},
                {SlotButton::Sensitivity, QStringLiteral("Sensitivity")},
                {accelerometer ? SlotButton::Calibrate : SlotButton::DPlus,
                 accelerometer ? QStringLiteral("Calibrate") : QStringLiteral("D+<CR>")}};
            for (const auto& [which, caption] : buttons) {
                auto* button = new QPushButton(caption, w.panel);
                connect(button, &QPushButton::clicked, this, [this, s, which = which] {
                    Forward(commands_.slotButton, tab_, s, which);
                });
                w.buttons[std::size_t(which)] = button;
                row->addWidget(button);
            }
            row->addStretch(1);
            panelLayout->addLayout(row);
        }

        w.log = new QPlainTextEdit(w.panel);
        w.log->setObjectName(QStringLiteral("log") + suffix);
        w.log->setReadOnly(true);
        w.log->setLineWrapMode(QPlainTextEdit::NoWrap);
        panelLayout->addWidget(w.log, 1);
        w.clearLog = new QPushButton(QStringLiteral("Clear Local Log"), w.panel);
        w.clearLog->setObjectName(QStringLiteral("clearLog") + suffix);
        connect(w.clearLog, &QPushButton::clicked, this,
                [this, s] { Forward(commands_.clearLocalLog, tab_, s); });
        // The chart of the sensor bound to the slot, read back from its log files.
        w.history = new QPushButton(QStringLiteral("History"), w.panel);
        w.history->setObjectName(QStringLiteral("history") + suffix);
        connect(w.history, &QPushButton::clicked, this,
                [this, s] { Forward(commands_.showHistory, view_.Slot(tab_, s).setupIndex); });
        auto* logButtons = new QHBoxLayout;
        logButtons->addWidget(w.history);
        logButtons->addStretch(1);
        logButtons->addWidget(w.clearLog);
        panelLayout->addLayout(logButtons);

        grid->addWidget(w.panel, (s - 1) / 2, (s - 1) % 2);
    }

    Render();
}

SensorTab::~SensorTab() = default;

bool SensorTab::HasHighLow() const {
    return tab_ == Tab::Temperature || tab_ == Tab::Humidity;
}

void SensorTab::Render() {
    const TabView& data = view_.TabAt(tab_);
    notice_->setHidden(!data.emptyNoticeVisible || notice_->text().isEmpty());
    for (int s = 1; s <= 4; ++s) {
        RenderSlot(slots_[std::size_t(s)], view_.Slot(tab_, s));
    }
}

void SensorTab::RenderSlot(SlotWidgets& w, const TabSlotView& data) {
    w.panel->setHidden(!data.visible);
    const QString caption = QString::fromStdString(data.caption);
    if (w.panel->title() != caption) {
        w.panel->setTitle(caption);
    }
    if (w.highest) {
        for (QLabel* part : {w.highestCaption, w.highest, w.lowestCaption, w.lowest}) {
            part->setHidden(!data.highLowVisible);
        }
        w.highest->setText(QString::fromStdString(data.highest));
        w.lowest->setText(QString::fromStdString(data.lowest));
    }
    if (QPushButton* mode = w.buttons[std::size_t(SlotButton::Mode)]) {
        mode->setText(QString::fromStdString(data.modeCaption));
    }
    if (w.shownLog != data.log) {
        // Newest line first, so the view starts at the top.
        w.log->setPlainText(JoinLines(data.log));
        w.shownLog = data.log;
    }
}

const SensorTab::SlotWidgets* SensorTab::SlotAt(int slot) const {
    if (slot < 1 || slot > 4) {
        return nullptr;
    }
    return &slots_[std::size_t(slot)];
}

QGroupBox* SensorTab::SlotPanel(int slot) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->panel : nullptr;
}

QLabel* SensorTab::HighestLabel(int slot) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->highest : nullptr;
}

QLabel* SensorTab::LowestLabel(int slot) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->lowest : nullptr;
}

QPushButton* SensorTab::SlotButtonOf(int slot, SlotButton button) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->buttons[std::size_t(button)] : nullptr;
}

QPushButton* SensorTab::ClearLogButton(int slot) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->clearLog : nullptr;
}

QPushButton* SensorTab::ResetButton(int slot) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->reset : nullptr;
}

QPushButton* SensorTab::HistoryButton(int slot) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->history : nullptr;
}

QPlainTextEdit* SensorTab::LogView(int slot) const {
    const SlotWidgets* w = SlotAt(slot);
    return w ? w->log : nullptr;
}

}  // namespace vigiltron
