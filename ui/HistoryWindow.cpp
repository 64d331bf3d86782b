#include "ui/HistoryWindow.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace vigiltron {

namespace {

qreal Ms(const LocalDateTime& t) {
    return static_cast<qreal>(
        QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second))
            .toMSecsSinceEpoch());
}

QLineSeries* Line(const QString& name, const std::vector<SeriesPoint>& points) {
    auto* series = new QLineSeries;
    series->setName(name);
    for (const SeriesPoint& p : points) {
        series->append(Ms(p.when), p.value);
    }
    return series;
}

}  // namespace

HistoryWindow::HistoryWindow(Reader read, QWidget* parent)
    : QWidget(parent, Qt::Window), read_(std::move(read)) {
    setAttribute(Qt::WA_DeleteOnClose);
    resize(800, 500);
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, HistoryRange> ranges[] = {
        {"&1 hour", HistoryRange::LastHour},
        {"&24 hours", HistoryRange::Last24Hours},
        {"&7 days", HistoryRange::Last7Days},
        {"&All", HistoryRange::All},
    };
    for (const auto& [caption, range] : ranges) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        connect(button, &QPushButton::clicked, this, [this, range = range] { ShowRange(range); });
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    view_ = new QChartView(new QChart, this);
    view_->setObjectName(QStringLiteral("chart"));
    view_->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view_, 1);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);
    ShowRange(HistoryRange::Last24Hours);
}

QChart* HistoryWindow::Chart() const {
    return view_->chart();
}

QString HistoryWindow::StatusText() const {
    return status_->text();
}

void HistoryWindow::ShowRange(HistoryRange range) {
    Draw(read_ ? read_(range) : HistorySeries{});
}

void HistoryWindow::Draw(const HistorySeries& data) {
    auto* chart = new QChart;
    setWindowTitle(QStringLiteral("History - ") + QString::fromStdString(data.title));
    chart->setTitle(QString::fromStdString(data.title));

    // The axes span every point and every threshold, so the lines and the shading stay in view.
    qreal firstTime = 0, lastTime = 0, low = 0, high = 1;
    bool any = false;
    auto take = [&](const std::vector<SeriesPoint>& points, bool values) {
        for (const SeriesPoint& p : points) {
            const qreal t = Ms(p.when);
            firstTime = any ? std::min(firstTime, t) : t;
            lastTime = any ? std::max(lastTime, t) : t;
            if (values) {
                low = std::min(low, p.value);
                high = std::max(high, p.value);
            }
            any = true;
        }
    };
    take(data.readings, true);
    take(data.secondAxis, true);
    take(data.onOff, false);
    for (const HistoryLimit& limit : data.limits) {
        low = std::min(low, limit.value);
        high = std::max(high, limit.value);
    }
    const qreal margin = (high - low) * 0.05;
    low -= margin;
    high += margin;

    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(QStringLiteral("d/M hh:mm"));
    if (any) {
        timeAxis->setRange(
            QDateTime::fromMSecsSinceEpoch(qint64(firstTime)),
            QDateTime::fromMSecsSinceEpoch(qint64(std::max(lastTime, firstTime + 1000))));
    }
    auto* valueAxis = new QValueAxis;
    valueAxis->setRange(low, high);
    valueAxis->setTitleText(QString::fromStdString(data.valueName));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    auto attach = [&](QAbstractSeries* series, QAbstractAxis* yAxis) {
        chart->addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(yAxis);
    };

    for (const AlarmPeriod& period : data.alarms) {
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        // A period of one reading still gets a visible band.
        const qreal from = Ms(period.from);
        const qreal to = std::max(Ms(period.to), from + 30'000);
        upper->append(from, high);
        upper->append(to, high);
        lower->append(from, low);
        lower->append(to, low);
        auto* band = new QAreaSeries(upper, lower);
        band->setName(QStringLiteral("Alarm"));
        band->setColor(QColor(255, 0, 0, 50));
        band->setBorderColor(Qt::transparent);
        attach(band, valueAxis);
    }
    if (!data.readings.empty()) {
        const QString name = QString::fromStdString(data.valueName);
        attach(Line(name, data.readings), valueAxis);
    }
    if (!data.secondAxis.empty()) {
        attach(Line(QStringLiteral("Y"), data.secondAxis), valueAxis);
    }
    for (const HistoryLimit& limit : data.limits) {
        auto* line = new QLineSeries;
        line->setName(QString::fromStdString(limit.name));
        if (any) {
            line->append(firstTime, limit.value);
            line->append(lastTime, limit.value);
        }
        QPen pen(Qt::DashLine);
        pen.setColor(limit.name.find("Max") != std::string::npos ? Qt::red : Qt::blue);
        line->setPen(pen);
        attach(line, valueAxis);
    }
    if (!data.onOff.empty()) {
        // On/off has its own 0..1 scale, so it shows beside readings of any size.
        auto* onOffAxis = new QValueAxis;
        onOffAxis->setRange(-0.1, 1.1);
        onOffAxis->setTickCount(2);
        onOffAxis->setTitleText(QStringLiteral("On/Off"));
        chart->addAxis(onOffAxis, Qt::AlignRight);
        attach(Line(QStringLiteral("On/Off"), data.onOff), onOffAxis);
    }

    QChart* old = view_->chart();
    view_->setChart(chart);
    delete old;
    status_->setText(QString::fromStdString(data.StatusText()));
}

}  // namespace vigiltron
