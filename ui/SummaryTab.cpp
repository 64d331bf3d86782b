#include "ui/SummaryTab.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ViewStyle.h"

namespace vigiltron {

namespace {

QLabel* NewLabel(QWidget* parent, const QString& objectName) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    return label;
}

void SetTextIfChanged(QLabel& label, const std::string& text) {
    const QString wanted = QString::fromStdString(text);
    if (label.text() != wanted) {
        label.setText(wanted);
    }
}

}  // namespace

SummaryTab::SummaryTab(const ViewModel& view, std::function<void()> connectAll,
                       std::function<void(int)> toggleConnect, QWidget* parent)
    : QWidget(parent),
      view_(view),
      connectAll_(std::move(connectAll)),
      toggleConnect_(std::move(toggleConnect)) {
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    outer->addLayout(grid);

    for (int n = 1; n <= 10; ++n) {
        Row& row = rows_[std::size_t(n)];
        const QString suffix = QString::number(n);
        row.name = NewLabel(this, QStringLiteral("name") + suffix);
        row.reading = NewLabel(this, QStringLiteral("reading") + suffix);
        row.unit = NewLabel(this, QStringLiteral("unit") + suffix);
        row.status = NewLabel(this, QStringLiteral("status") + suffix);
        row.picture = NewLabel(this, QStringLiteral("picture") + suffix);
        row.reading->setAlignment(Qt::AlignCenter);
        row.reading->setMinimumWidth(70);
        row.reading->setMargin(2);

        // The pop-up menu opens from the row's name and reading.
        for (QLabel* label : {row.name, row.reading}) {
            label->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(
                label, &QWidget::customContextMenuRequested, this,
                [this, n, label](const QPoint& pos) { ShowRowMenu(n, label->mapToGlobal(pos)); });
        }

        const int line = n - 1;
        grid->addWidget(row.name, line, 0);
        grid->addWidget(row.reading, line, 1);
        grid->addWidget(row.unit, line, 2);
        grid->addWidget(row.status, line, 3);
        grid->addWidget(row.picture, line, 4);
    }
    grid->setColumnStretch(3, 1);
    outer->addStretch(1);

    connectAllButton_ = new QPushButton(QStringLiteral("Connect All"), this);
    connectAllButton_->setObjectName(QStringLiteral("connectAllButton"));
    connect(connectAllButton_, &QPushButton::clicked, this, [this] {
        if (connectAll_) {
            connectAll_();
        }
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(connectAllButton_);
    outer->addLayout(buttons);

    Render();
}

SummaryTab::~SummaryTab() = default;

void SummaryTab::Render() {
    for (int n = 1; n <= 10; ++n) {
        RenderRow(rows_[std::size_t(n)], view_.Row(n));
    }
    connectAllButton_->setEnabled(view_.connectAllEnabled);
}

void SummaryTab::RenderRow(Row& row, const SummaryRow& data) {
    for (QLabel* label : {row.name, row.reading, row.unit, row.status, row.picture}) {
        label->setHidden(!data.visible);
    }
    SetTextIfChanged(*row.name, data.name);

    SetTextIfChanged(*row.reading, data.reading);
    SetTextColour(*row.reading, data.readingColour);
    SetPointSize(*row.reading, data.readingFontSize);
    row.reading->setFrameShape(data.readingBorder ? QFrame::Box : QFrame::NoFrame);

    SetTextIfChanged(*row.unit, data.unit);
    SetPointSize(*row.unit, data.unitFontSize);
    if (data.visible) {
        row.unit->setHidden(!data.unitVisible);
    }

    SetTextIfChanged(*row.status, data.status);
    SetTextColour(*row.status, data.statusColour);
    SetPointSize(*row.status, data.statusFontSize);
    if (data.visible) {
        row.status->setHidden(!data.statusVisible);
    }

    if (!row.pictureDrawn || row.shownPicture != data.picture) {
        row.picture->setPixmap(StatusPicture(data.picture));
        row.picture->setToolTip(QString::fromStdString(data.picture));
        row.shownPicture = data.picture;
        row.pictureDrawn = true;
    }
}

std::unique_ptr<QMenu> SummaryTab::BuildRowMenu(int setupIndex) {
    if (setupIndex < 1 || setupIndex > 10) {
        return nullptr;
    }
    const EntryCommands& commands = view_.Commands(setupIndex);
    auto menu = std::make_unique<QMenu>(this);

    QAction* connectItem = menu->addAction(commands.connectCaption == "Disconnect"
                                               ? QStringLiteral("Disconnect This Sensor")
                                               : QStringLiteral("Connect This Sensor"));
    connectItem->setObjectName(QStringLiteral("connectThisSensor"));
    // The temperature half of a combined sensor has no connect command of its own.
    connectItem->setEnabled(commands.connectVisible);
    connect(connectItem, &QAction::triggered, this, [this, setupIndex] {
        if (toggleConnect_) {
            toggleConnect_(setupIndex);
        }
    });

    QAction* allItem = menu->addAction(QStringLiteral("Connect All"));
    allItem->setObjectName(QStringLiteral("connectAll"));
    allItem->setEnabled(view_.connectAllEnabled);
    connect(allItem, &QAction::triggered, this, [this] {
        if (connectAll_) {
            connectAll_();
        }
    });
    return menu;
}

void SummaryTab::ShowRowMenu(int setupIndex, const QPoint& globalPos) {
    std::unique_ptr<QMenu> menu = BuildRowMenu(setupIndex);
    if (menu) {
        menu->exec(globalPos);
    }
}

const SummaryTab::Row* SummaryTab::RowAt(int setupIndex) const {
    if (setupIndex < 1 || setupIndex > 10) {
        return nullptr;
    }
    return &rows_[std::size_t(setupIndex)];
}

QLabel* SummaryTab::NameLabel(int setupIndex) const {
    const Row* row = RowAt(setupIndex);
    return row ? row->name : nullptr;
}

QLabel* SummaryTab::ReadingLabel(int setupIndex) const {
    const Row* row = RowAt(setupIndex);
    return row ? row->reading : nullptr;
}

QLabel* SummaryTab::UnitLabel(int setupIndex) const {
    const Row* row = RowAt(setupIndex);
    return row ? row->unit : nullptr;
}

QLabel* SummaryTab::StatusLabel(int setupIndex) const {
    const Row* row = RowAt(setupIndex);
    return row ? row->status : nullptr;
}

QLabel* SummaryTab::PictureLabel(int setupIndex) const {
    const Row* row = RowAt(setupIndex);
    return row ? row->picture : nullptr;
}

}  // namespace vigiltron
