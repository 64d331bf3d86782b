#include "ui/ScanListWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/Forward.h"

namespace vigiltron {

ScanListWindow::ScanListWindow(ViewModel& view, DeviceWindowsCommands commands, QWidget* parent)
    : ViewDialog(view, commands.closeScanList, parent), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("scanListWindow"));
    setWindowTitle(QStringLiteral("Build Sensor List"));
    BuildLayout();

    connect(allPorts_, &QCheckBox::toggled, this,
            [this](bool all) { Forward(commands_.setScanAllPorts, all); });
    connect(scan_, &QPushButton::clicked, this, [this] { Forward(commands_.scan); });
    connect(stop_, &QPushButton::clicked, this, [this] { Forward(commands_.stopScan); });
    connect(addSelected_, &QPushButton::clicked, this, [this] { AddSelected(); });
    // "Close" is Escape's and the title bar's close.
    connect(close_, &QPushButton::clicked, this, &ScanListWindow::reject);
    Refresh();
}

void ScanListWindow::BuildLayout() {
    allPorts_ = new QCheckBox(QStringLiteral("Scan Com1 - Com&256"), this);
    allPorts_->setObjectName(QStringLiteral("scanAllPorts"));
    rangeCaption_ = new QLabel(this);
    rangeCaption_->setObjectName(QStringLiteral("scanRange"));
    auto* range = new QHBoxLayout;
    range->addWidget(allPorts_);
    range->addWidget(rangeCaption_);
    range->addStretch();

    lines_ = new QListWidget(this);
    lines_->setObjectName(QStringLiteral("scanLines"));
    lines_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* linesLabel = new QLabel(QStringLiteral("Sensors &found:"), this);
    linesLabel->setBuddy(lines_);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("scanProgress"));
    progress_->setFormat(QStringLiteral("%v / %m ports"));

    scan_ = new QPushButton(QStringLiteral("&Scan"), this);
    scan_->setObjectName(QStringLiteral("scan"));
    stop_ = new QPushButton(QStringLiteral("S&top"), this);
    stop_->setObjectName(QStringLiteral("stopScan"));
    addSelected_ = new QPushButton(QStringLiteral("&Add selected to Sensor Setup"), this);
    addSelected_->setObjectName(QStringLiteral("addSelected"));
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    close_->setObjectName(QStringLiteral("closeScanList"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(scan_);
    buttons->addWidget(stop_);
    buttons->addStretch();
    buttons->addWidget(addSelected_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(linesLabel);
    layout->addWidget(lines_, 1);
    layout->addWidget(progress_);
    layout->addLayout(buttons);

    QWidget* order[] = {allPorts_, scan_, stop_, lines_, addSelected_, close_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    resize(sizeHint().expandedTo(
        QSize(fontMetrics().averageCharWidth() * 50, fontMetrics().height() * 20)));
}

void ScanListWindow::Render(bool opening) {
    const DeviceSetupView& v = view_.deviceSetup;
    const QSignalBlocker blockAllPorts(allPorts_);

    allPorts_->setChecked(v.scanAllPorts);
    allPorts_->setEnabled(!v.scanning);
    rangeCaption_->setText(QString::fromStdString(v.scanRangeCaption));

    bool same = lines_->count() == int(v.scanLines.size());
    for (int i = 0; same && i < lines_->count(); ++i) {
        same = lines_->item(i)->text() == QString::fromStdString(v.scanLines[std::size_t(i)]);
    }
    if (!same) {
        lines_->clear();
        for (const std::string& line : v.scanLines) {
            lines_->addItem(QString::fromStdString(line));
        }
    }

    progress_->setRange(0, std::max(1, v.scanPortsTotal));
    progress_->setValue(std::clamp(v.scanPortsDone, 0, std::max(1, v.scanPortsTotal)));
    progress_->setVisible(v.scanning);
    scan_->setEnabled(!v.busy);
    stop_->setEnabled(v.scanning);
    addSelected_->setEnabled(!v.scanning);

    if (opening && screen() != nullptr) {
        move(screen()->availableGeometry().topLeft());
    }
}

void ScanListWindow::AddSelected() {
    if (!commands_.addSelected) {
        return;
    }
    // In list order, whatever order the user picked them in.
    std::vector<std::string> selected;
    for (int i = 0; i < lines_->count(); ++i) {
        if (lines_->item(i)->isSelected()) {
            selected.push_back(lines_->item(i)->text().toStdString());
        }
    }
    commands_.addSelected(selected);
}

}  // namespace vigiltron
