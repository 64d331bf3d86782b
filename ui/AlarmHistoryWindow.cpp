#include "ui/AlarmHistoryWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <utility>

#include "ui/Forward.h"

namespace vigiltron {

namespace {

// Item data of the sensor list: the setup index (-1 for every sensor) and the device name.
constexpr int kEntryRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString SensorCaption(int entry, const std::string& name) {
    return QString::number(entry) + " " + Text(SingleLine(name));
}

}  // namespace

AlarmHistoryWindow::AlarmHistoryWindow(ViewModel& view, AlarmHistoryCommands commands,
                                       QWidget* parent)
    : ViewDialog(
          view, [this] { CloseWindow(); }, parent),
      commands_(std::move(commands)) {
    setObjectName(QStringLiteral("alarmHistoryWindow"));
    setWindowTitle(QStringLiteral("Alarm history"));

    // Created in reading order, which is also the tab order.
    auto* filters = new QHBoxLayout;
    auto addFilter = [&](const QString& caption, const char* name) {
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromUtf8(name));
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        filters->addWidget(label);
        filters->addWidget(box);
        return box;
    };
    sensor_ = addFilter(QStringLiteral("&Sensor:"), "alarmHistorySensor");
    kind_ = addFilter(QStringLiteral("&Kind:"), "alarmHistoryKind");
    period_ = addFilter(QStringLiteral("&Period:"), "alarmHistoryPeriod");
    filters->addStretch();
    sensor_->addItem(QStringLiteral("All sensors"), -1);
    kind_->addItem(QStringLiteral("All kinds"), QString());
    for (const auto& [caption, hours] : {std::pair{"Last 24 hours", 24},
                                         {"Last 7 days", 7 * 24},
                                         {"Last 30 days", 30 * 24},
                                         {"All", 0}}) {
        period_->addItem(QString::fromUtf8(caption), hours);
    }
    period_->setCurrentIndex(1);

    table_ = new QTableWidget(0, 7, this);
    table_->setObjectName(QStringLiteral("alarmHistoryTable"));
    table_->setHorizontalHeaderLabels(
        {"Time", "Sensor", "Kind", "Event", "Text", "User", "Comment"});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->verticalHeader()->setVisible(false);
    QHeaderView* header = table_->horizontalHeader();
    for (int column : {0, 1, 2, 3, 5}) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    header->setSectionResizeMode(4, QHeaderView::Stretch);
    header->setSectionResizeMode(6, QHeaderView::Stretch);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("alarmHistoryStatus"));
    exportButton_ = new QPushButton(QStringLiteral("&Export..."), this);
    exportButton_->setObjectName(QStringLiteral("alarmHistoryExport"));
    // Enter in the table must not open the file dialog.
    exportButton_->setAutoDefault(false);
    closeButton_ = new QPushButton(QStringLiteral("&Close"), this);
    closeButton_->setObjectName(QStringLiteral("alarmHistoryClose"));
    closeButton_->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(exportButton_);
    bottom->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(table_, 1);
    layout->addLayout(bottom);

    connect(sensor_, &QComboBox::currentIndexChanged, this, [this] { ShowRows(); });
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] { ShowRows(); });
    connect(period_, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(exportButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.exportRecords, shown_); });
    connect(closeButton_, &QPushButton::clicked, this, [this] { CloseWindow(); });

    // Fits a 1024x768 screen with room for the main window's frame.
    resize(900, 480);
    Refresh();
}

void AlarmHistoryWindow::Open() {
    if (open_) {
        raise();
        activateWindow();
        return;
    }
    open_ = true;
    Refresh();
}

void AlarmHistoryWindow::CloseWindow() {
    open_ = false;
    Forward(commands_.close);
    Refresh();
}

void AlarmHistoryWindow::Render(bool opening) {
    // The view model changes with every reading; the history is read again only when it grew.
    if (opening || (open_ && commands_.changes && commands_.changes() != changesShown_)) {
        Reload();
    }
}

void AlarmHistoryWindow::Reload() {
    AlarmHistoryFilter filter;
    filter.lastHours = period_->currentData().toInt();
    changesShown_ = commands_.changes ? commands_.changes() : 0;
    read_ = commands_.read ? commands_.read(filter) : AlarmHistoryRead{};
    FillFilterLists();
    ShowRows();
}

void AlarmHistoryWindow::FillFilterLists() {
    // The lists offer what the period holds; a choice made before stays offered and chosen.
    const int chosenEntry = sensor_->currentData(kEntryRole).toInt();
    const std::string chosenName = sensor_->currentData(kNameRole).toString().toStdString();
    const QString chosenKind = kind_->currentData().toString();
    std::set<std::pair<int, std::string>> sensors;
    std::set<std::string> kinds;
    for (const AlarmRecord& record : read_.records) {
        sensors.emplace(record.entry, record.sensor);
        kinds.insert(record.kind);
    }
    if (chosenEntry >= 0) {
        sensors.emplace(chosenEntry, chosenName);
    }
    if (!chosenKind.isEmpty()) {
        kinds.insert(chosenKind.toStdString());
    }

    const QSignalBlocker sensorBlock(sensor_);
    const QSignalBlocker kindBlock(kind_);
    sensor_->clear();
    sensor_->addItem(QStringLiteral("All sensors"), -1);
    for (const auto& [entry, name] : sensors) {
        sensor_->addItem(SensorCaption(entry, name), entry);
        sensor_->setItemData(sensor_->count() - 1, Text(name), kNameRole);
        if (entry == chosenEntry && name == chosenName) {
            sensor_->setCurrentIndex(sensor_->count() - 1);
        }
    }
    kind_->clear();
    kind_->addItem(QStringLiteral("All kinds"), QString());
    for (const std::string& kind : kinds) {
        kind_->addItem(Text(kind), Text(kind));
        if (Text(kind) == chosenKind) {
            kind_->setCurrentIndex(kind_->count() - 1);
        }
    }
}

void AlarmHistoryWindow::ShowRows() {
    AlarmHistoryFilter filter;
    if (const int entry = sensor_->currentData(kEntryRole).toInt(); entry >= 0) {
        filter.entry = entry;
        filter.sensor = sensor_->currentData(kNameRole).toString().toStdString();
    }
    filter.kind = kind_->currentData().toString().toStdString();
    shown_.clear();
    for (auto it = read_.records.rbegin(); it != read_.records.rend(); ++it) {
        if (filter.Matches(*it)) {
            shown_.push_back(*it);
        }
    }

    table_->setRowCount(int(shown_.size()));
    for (int row = 0; row < int(shown_.size()); ++row) {
        const AlarmRecord& r = shown_[std::size_t(row)];
        QString time = Text(IsoLocalTime(r.time));
        time[10] = QLatin1Char(' ');
        const QString cells[] = {time,
                                 SensorCaption(r.entry, r.sensor),
                                 Text(SingleLine(r.kind)),
                                 Text(AlarmEventText(r.event)),
                                 Text(SingleLine(r.text)),
                                 Text(SingleLine(r.user)),
                                 Text(SingleLine(r.comment))};
        for (int column = 0; column < 7; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            // The whole text, line breaks and all, when the cell is too narrow.
            if (column >= 4) {
                item->setToolTip(Text(column == 4 ? r.text : column == 5 ? r.user : r.comment));
            }
            table_->setItem(row, column, item);
        }
    }

    QString status;
    if (!read_.error.empty()) {
        status = QStringLiteral("The alarm history cannot be read: ") + Text(read_.error);
    } else {
        status = QString::number(shown_.size()) +
                 (shown_.size() == 1 ? QStringLiteral(" record") : QStringLiteral(" records"));
        if (read_.damagedLines > 0) {
            status += QStringLiteral("; ") + QString::number(read_.damagedLines) +
                      (read_.damagedLines == 1 ? QStringLiteral(" damaged line skipped")
                                               : QStringLiteral(" damaged lines skipped"));
        }
    }
    status_->setText(status);
    exportButton_->setEnabled(!shown_.empty());
}

}  // namespace vigiltron
