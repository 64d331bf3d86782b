#include "ui/SetupIntervalsPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "ui/SetupWindowBoxEvents.h"

namespace vigiltron {

SetupIntervalsPage::SetupIntervalsPage(SetupWindowCommands commands,
                                       std::function<void()> commandDone, QWidget* parent)
    : SetupPage(std::move(commands), std::move(commandDone), parent) {
    auto* intervals = new QGroupBox(QStringLiteral("Reading interval"), this);
    auto* grid = new QGridLayout(intervals);

    readingInterval_ = NewTextBox("ReadingInterval", intervals);
    readingInterval_->setAccessibleName(QStringLiteral("Reading interval"));
    readingInterval_->setMaximumWidth(
        readingInterval_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    // The interval is set with the slider: a click in its box hands the focus over.
    SetupWindowBoxEvents::OnPress(*readingInterval_,
                                  [this] { Run(commands_.readingIntervalClick); });

    auto* units = new QWidget(intervals);
    auto* unitLayout = new QHBoxLayout(units);
    unitLayout->setContentsMargins(0, 0, 0, 0);
    minutes_ = new QRadioButton(QStringLiteral("&Minute(s)"), units);
    minutes_->setObjectName(QStringLiteral("optMinutes"));
    seconds_ = new QRadioButton(QStringLiteral("Se&conds"), units);
    seconds_->setObjectName(QStringLiteral("optSeconds"));
    for (QRadioButton* unit : {minutes_, seconds_}) {
        unitLayout->addWidget(unit);
        connect(unit, &QRadioButton::clicked, this,
                [this, unit] { Run(commands_.chooseIntervalUnit, unit == seconds_); });
    }
    unitLayout->addStretch(1);

    slider_ = new QSlider(Qt::Horizontal, intervals);
    slider_->setObjectName(QStringLiteral("intervalSlider"));
    slider_->setAccessibleName(QStringLiteral("Reading interval"));
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setTickInterval(5);
    slider_->setPageStep(5);
    // Dragging shows the value in the box; letting go applies it.
    connect(slider_, &QSlider::sliderMoved, this,
            [this](int value) { Run(commands_.sliderScroll, value); });
    connect(slider_, &QSlider::sliderReleased, this,
            [this] { Run(commands_.sliderChange, slider_->value()); });
    // Keys, the wheel and clicks beside the handle change the value at once.
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (slider_->isSliderDown()) {
            return;
        }
        Run(commands_.sliderChange, value);
    });

    set_ = new QPushButton(QStringLiteral("&Set"), intervals);
    set_->setObjectName(QStringLiteral("cmdSet"));
    connect(set_, &QPushButton::clicked, this, [this] { Run(commands_.applyIntervals); });

    binaryInterval_ = NewTextBox("BinaryInterval", intervals);
    binaryInterval_->setMaximumWidth(readingInterval_->maximumWidth());
    SetupWindowBoxEvents::OnPress(*binaryInterval_, [this] { Run(commands_.binaryIntervalClick); });

    // The binary interval is filled in before "Set" applies both.
    setTabOrder(slider_, binaryInterval_);
    setTabOrder(binaryInterval_, set_);

    auto* intervalLabel = new QLabel(QStringLiteral("Reading &interval:"), intervals);
    intervalLabel->setBuddy(slider_);
    auto* binaryLabel = new QLabel(QStringLiteral("&Binary interval (milliseconds):"), intervals);
    binaryLabel->setBuddy(binaryInterval_);
    grid->addWidget(intervalLabel, 0, 0);
    grid->addWidget(readingInterval_, 0, 1);
    grid->addWidget(units, 0, 2);
    grid->addWidget(slider_, 1, 0, 1, 3);
    grid->addWidget(binaryLabel, 2, 0);
    grid->addWidget(binaryInterval_, 2, 1);
    grid->addWidget(set_, 2, 2, Qt::AlignRight);
    grid->setColumnStretch(2, 1);

    auto* startup = new QGroupBox(QStringLiteral("Start-up"), this);
    auto* startupLayout = new QVBoxLayout(startup);
    autoConnect_ = NewTickBox(QStringLiteral("&Auto connect devices on program startup"),
                              "AutoConnect", startup);
    placeInStartup_ = new QCheckBox(QStringLiteral("&Place in System Startup"), startup);
    placeInStartup_->setObjectName(QStringLiteral("chkPlaceInStartup"));
    tray_ = new QCheckBox(QStringLiteral("Manager running in S&ystray"), startup);
    tray_->setObjectName(QStringLiteral("inTray"));
    connect(placeInStartup_, &QCheckBox::clicked, this,
            [this](bool on) { Run(commands_.placeInStartup, on); });
    connect(tray_, &QCheckBox::clicked, this, [this](bool on) { Run(commands_.placeInTray, on); });
    for (QCheckBox* box : {autoConnect_, placeInStartup_, tray_}) {
        startupLayout->addWidget(box);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intervals);
    layout->addWidget(startup);
    layout->addStretch(1);
}

void SetupIntervalsPage::Render(const ViewModel& view, const Preferences& prefs) {
    const SetupPreferencesView& v = view.setupPreferences;
    ShowText(*readingInterval_, prefs.ReadingInterval);
    readingInterval_->setEnabled(v.intervalBoxEnabled);
    ShowChecked(*minutes_, prefs.MinOrSecs != "Sec");
    ShowChecked(*seconds_, prefs.MinOrSecs == "Sec");
    {
        // The rules move the slider; that is no user's change.
        const QSignalBlocker quiet(slider_);
        if (slider_->minimum() != v.sliderMin || slider_->maximum() != v.sliderMax) {
            slider_->setRange(v.sliderMin, v.sliderMax);
        }
        if (!slider_->isSliderDown() && slider_->value() != v.sliderValue) {
            slider_->setValue(v.sliderValue);
        }
    }
    set_->setEnabled(v.setEnabled);
    ShowText(*binaryInterval_, prefs.BinaryInterval);

    ShowChecked(*autoConnect_, prefs.AutoConnect);
    ShowChecked(*placeInStartup_, view.placedInStartup);
    ShowChecked(*tray_, view.inTray);
    tray_->setEnabled(view.trayAvailable);
}

}  // namespace vigiltron
