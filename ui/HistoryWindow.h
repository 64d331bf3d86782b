#pragma once

#include <QWidget>
#include <functional>

#include "reporting/HistorySeries.h"

class QChart;
class QChartView;
class QLabel;

namespace vigiltron {

// One sensor's history as a chart: its readings, its thresholds as lines, its alarm periods
// shaded, its on/off events as a step, and the range buttons. It draws what `read` answers and
// asks again when the user picks another range; the rules live in the engine.
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    using Reader = std::function<HistorySeries(HistoryRange)>;

    explicit HistoryWindow(Reader read, QWidget* parent = nullptr);

    // Reads and draws `range` (the window opens on the last 24 hours).
    void ShowRange(HistoryRange range);
    QChart* Chart() const;
    QString StatusText() const;

private:
    void Draw(const HistorySeries& series);

    Reader read_;
    QChartView* view_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace vigiltron
