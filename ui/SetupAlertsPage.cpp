#include "ui/SetupAlertsPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/SetupWindowBoxEvents.h"
#include "ui/ViewStyle.h"

namespace vigiltron {

namespace {

// The alert families in the order the grid lists them, with the suffix of their switches.
struct Family {
    const char* caption;
    int suffix;
};
constexpr Family kFamilies[] = {{"Temperature", 1},   {"Humidity", 2}, {"Water", 6},
                                {"Accelerometer", 8}, {"Distance", 9}, {"Bump", 0}};

}  // namespace

SetupAlertsPage::SetupAlertsPage(SetupWindowCommands commands, std::function<void()> commandDone,
                                 QWidget* parent)
    : SetupPage(std::move(commands), std::move(commandDone), parent) {
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(BuildThresholds(), 1);
    layout->addWidget(BuildAlerts(), 1);
}

QWidget* SetupAlertsPage::BuildThresholds() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* temperature = new QGroupBox(QStringLiteral("Temperature"), column);
    auto* temperatureGrid = new QGridLayout(temperature);
    QLineEdit* tempMax =
        AddBox(*temperatureGrid, 0, QStringLiteral("Ma&ximum:"), "TempMax", &Preferences::TempMax);
    // Each family's deadband sits beside its first limit, and comes next in the tab order;
    // Alt+A steps from one deadband to the next.
    AddDeadband(*temperatureGrid, "TempHysteresis", &Preferences::TempHysteresis,
                QStringLiteral("Temperature deadband"));
    QLineEdit* tempMin =
        AddBox(*temperatureGrid, 1, QStringLiteral("Mi&nimum:"), "TempMin", &Preferences::TempMin);
    celsius_ = new QRadioButton(QStringLiteral("&Celsius"), temperature);
    celsius_->setObjectName(QStringLiteral("optCelsius"));
    fahrenheit_ = new QRadioButton(QStringLiteral("&Fahrenheit"), temperature);
    fahrenheit_->setObjectName(QStringLiteral("optFahrenheit"));
    for (QRadioButton* unit : {celsius_, fahrenheit_}) {
        connect(unit, &QRadioButton::clicked, this,
                [this, unit] { Run(commands_.chooseTemperatureUnit, unit == celsius_); });
    }
    auto* units = new QHBoxLayout;
    units->addWidget(celsius_);
    units->addWidget(fahrenheit_);
    units->addStretch(1);
    temperatureGrid->addLayout(units, 2, 0, 1, 4);
    layout->addWidget(temperature);

    auto* humidity = new QGroupBox(QStringLiteral("Humidity"), column);
    auto* humidityGrid = new QGridLayout(humidity);
    QLineEdit* humidMax =
        AddBox(*humidityGrid, 0, QStringLiteral("Maximu&m:"), "HumidMax", &Preferences::HumidMax);
    AddDeadband(*humidityGrid, "HumidHysteresis", &Preferences::HumidHysteresis,
                QStringLiteral("Humidity deadband"));
    QLineEdit* humidMin =
        AddBox(*humidityGrid, 1, QStringLiteral("M&inimum:"), "HumidMin", &Preferences::HumidMin);
    layout->addWidget(humidity);

    // Maximum thresholds in red, minimum thresholds in blue.
    for (QLineEdit* box : {tempMax, humidMax}) {
        SetTextColour(*box, TextColour::Red);
    }
    for (QLineEdit* box : {tempMin, humidMin}) {
        SetTextColour(*box, TextColour::Blue);
    }

    auto* accelerometer = new QGroupBox(QStringLiteral("Accelerometer"), column);
    auto* accelerometerGrid = new QGridLayout(accelerometer);
    AddBox(*accelerometerGrid, 0, QStringLiteral("X-axis &upper limit:"), "XMaxThresh",
           &Preferences::XMaxThresh);
    AddDeadband(*accelerometerGrid, "TiltHysteresis", &Preferences::TiltHysteresis,
                QStringLiteral("Tilt deadband"));
    AddBox(*accelerometerGrid, 1, QStringLiteral("X-axis lo&wer limit:"), "XMinThresh",
           &Preferences::XMinThresh);
    AddBox(*accelerometerGrid, 2, QStringLiteral("&Y-axis upper limit:"), "YMaxThresh",
           &Preferences::YMaxThresh);
    AddBox(*accelerometerGrid, 3, QStringLiteral("Y-axis lower limi&t:"), "YMinThresh",
           &Preferences::YMinThresh);
    layout->addWidget(accelerometer);

    auto* distance = new QGroupBox(QStringLiteral("Distance"), column);
    auto* distanceGrid = new QGridLayout(distance);
    AddBox(*distanceGrid, 0, QStringLiteral("Minimum &distance:"), "MinDistanceThresh",
           &Preferences::MinDistanceThresh);
    AddDeadband(*distanceGrid, "DistanceHysteresis", &Preferences::DistanceHysteresis,
                QStringLiteral("Distance deadband"));
    AddBox(*distanceGrid, 1, QStringLiteral("Maximum di&stance:"), "MaxDistanceThresh",
           &Preferences::MaxDistanceThresh);
    QCheckBox* outOfRange = AddSwitch(QStringLiteral("Out of ran&ge alert"), "CheckRange",
                                      [](const Preferences& p) { return p.CheckRange; });
    distanceGrid->addWidget(outOfRange, 2, 0, 1, 4);
    layout->addWidget(distance);
    layout->addStretch(1);

    // Limits and deadbands are short numbers: narrow boxes leave the page room for both columns
    // side by side within a 1024x768 screen.
    for (const BoxOfKey& entry : boxes_) {
        QLineEdit* box = entry.box;
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) +
                             box->sizeHint().height());
    }
    return column;
}

QWidget* SetupAlertsPage::BuildAlerts() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* alerts = new QGroupBox(QStringLiteral("Alerts"), column);
    auto* grid = new QGridLayout(alerts);
    const QString channels[] = {QStringLiteral("On-Screen-Alarm"), QStringLiteral("Email-On-Alarm"),
                                QStringLiteral("Page-On-Alarm")};
    for (int c = 0; c < 3; ++c) {
        auto* header = new QLabel(channels[c], alerts);
        header->setAlignment(Qt::AlignCenter);
        grid->addWidget(header, 0, c + 1);
    }
    auto addFamily = [&](int row, const QString& caption, const std::string(&keys)[3],
                         const std::function<bool(const Preferences&)>(&ticked)[3]) {
        grid->addWidget(new QLabel(caption, alerts), row, 0);
        for (int c = 0; c < 3; ++c) {
            QCheckBox* box = AddSwitch(QString(), keys[c], ticked[c]);
            box->setAccessibleName(caption + QLatin1Char(' ') + channels[c]);
            box->setToolTip(box->accessibleName());
            grid->addWidget(box, row, c + 1, Qt::AlignCenter);
        }
    };
    int row = 1;
    for (const Family& family : kFamilies) {
        const std::size_t i = std::size_t(family.suffix);
        const std::string suffix = std::to_string(family.suffix);
        addFamily(row++, QString::fromLatin1(family.caption),
                  {"chkOnScreenAlert" + suffix, "chkEmailAlert" + suffix, "chkPageAlert" + suffix},
                  {[i](const Preferences& p) { return p.chkOnScreenAlert[i]; },
                   [i](const Preferences& p) { return p.chkEmailAlert[i]; },
                   [i](const Preferences& p) { return p.chkPageAlert[i]; }});
    }
    addFamily(row, QStringLiteral("Proximity"),
              {"chkOnScreenProx", "chkEmailOnProx", "chkPageOnProx"},
              {[](const Preferences& p) { return p.chkOnScreenOnProx; },
               [](const Preferences& p) { return p.chkEmailOnProx; },
               [](const Preferences& p) { return p.chkPageOnProx; }});
    layout->addWidget(alerts);

    QCheckBox* always = AddSwitch(
        QStringLiteral("&Keep sending alerts until reading is back to normal (unlimited number of "
                       "alerts)"),
        "chkAlwaysSendAlert", [](const Preferences& p) { return p.chkAlwaysSendAlert; });
    QCheckBox* disableAll = AddSwitch(QStringLiteral("Disa&ble All Alerts"), "chkLocalMonitoring",
                                      [](const Preferences& p) { return p.chkLocalMonitoring; });
    QCheckBox* audible = AddSwitch(QStringLiteral("&Local Audible Alert"), "chkUseAlerts",
                                   [](const Preferences& p) { return p.chkUseAlerts; });
    for (QCheckBox* box : {always, disableAll, audible}) {
        layout->addWidget(box);
    }

    layout->addWidget(BuildEscalation(column));

    emailSetup_ = new QPushButton(QStringLiteral("&E-mail Setup..."), column);
    emailSetup_->setObjectName(QStringLiteral("emailSetup"));
    pagingSetup_ = new QPushButton(QStringLiteral("&Paging Setup..."), column);
    pagingSetup_->setObjectName(QStringLiteral("pagingSetup"));
    connect(emailSetup_, &QPushButton::clicked, this, [this] { Run(commands_.openEmailSetup); });
    connect(pagingSetup_, &QPushButton::clicked, this, [this] { Run(commands_.openPagingSetup); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(emailSetup_);
    buttons->addWidget(pagingSetup_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return column;
}

QWidget* SetupAlertsPage::BuildEscalation(QWidget* column) {
    auto* escalation =
        new QGroupBox(QStringLiteral("Escalation of alarms nobody acknowledges"), column);
    auto* grid = new QGridLayout(escalation);
    AddBox(*grid, 0, QStringLiteral("Escalate after (minutes, 0 = ne&ver):"), "EscalateAfter",
           &Preferences::EscalateAfter);
    AddBox(*grid, 1, QStringLiteral("Second &recipient's e-mail:"), "EscalationEmail",
           &Preferences::EscalationEmail);
    AddBox(*grid, 2, QStringLiteral("Second pager/p&hone number:"), "EscalationNumToCall",
           &Preferences::EscalationNumToCall);
    return escalation;
}

void SetupAlertsPage::AddDeadband(QGridLayout& grid, const char* key,
                                  std::string Preferences::*text, const QString& name) {
    QLineEdit* box = AddBox(grid, 0, QStringLiteral("De&adband:"), key, text, 1);
    box->setAccessibleName(name);
}

QLineEdit* SetupAlertsPage::AddBox(QGridLayout& grid, int row, const QString& caption,
                                   const char* key, std::string Preferences::*text, int column) {
    QWidget* owner = grid.parentWidget();
    auto* label = new QLabel(caption, owner);
    QLineEdit* box = NewTextBox(key, owner);
    label->setBuddy(box);
    grid.addWidget(label, row, 2 * column);
    grid.addWidget(box, row, 2 * column + 1);
    // A non-numeric temperature or humidity threshold is reset when the user leaves its box.
    SetupWindowBoxEvents::OnLeave(
        *box, [this, name = std::string(key)] { Run(commands_.leaveBox, name); });
    boxes_.push_back({key, box, text});
    return box;
}

QCheckBox* SetupAlertsPage::AddSwitch(const QString& caption, const std::string& key,
                                      std::function<bool(const Preferences&)> ticked) {
    QCheckBox* box = NewTickBox(caption, key, this);
    switches_.push_back({key, box, std::move(ticked)});
    return box;
}

void SetupAlertsPage::Render(const Preferences& prefs) {
    for (const BoxOfKey& entry : boxes_) {
        ShowText(*entry.box, prefs.*entry.text);
    }
    for (const SwitchOfKey& entry : switches_) {
        ShowChecked(*entry.box, entry.ticked(prefs));
    }
    ShowChecked(*celsius_, prefs.ForC == "C");
    ShowChecked(*fahrenheit_, prefs.ForC == "F");
}

QLineEdit* SetupAlertsPage::Box(const std::string& key) const {
    for (const BoxOfKey& entry : boxes_) {
        if (entry.key == key) {
            return entry.box;
        }
    }
    return nullptr;
}

QCheckBox* SetupAlertsPage::Switch(const std::string& key) const {
    for (const SwitchOfKey& entry : switches_) {
        if (entry.key == key) {
            return entry.box;
        }
    }
    return nullptr;
}

}  // namespace vigiltron
