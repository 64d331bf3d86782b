#include "ui/SummaryTab.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/CameraView.h"
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

// Runs a command the program may have left empty.
template <typename Command, typename... Args>
void Run(const Command& command, Args... args) {
    if (command) {
        command(args...);
    }
}

}  // namespace

SummaryTab::SummaryTab(const ViewModel& view, MainWindowCommands commands, QWidget* parent)
    : QWidget(parent), view_(view), commands_(std::move(commands)) {
    auto* outer = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns, 1);
    auto* rowsColumn = new QVBoxLayout;
    columns->addLayout(rowsColumn, 3);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    rowsColumn->addLayout(grid);

    for (int n = 1; n <= 10; ++n) {
        Row& row = rows_[std::size_t(n)];
        const QString suffix = QString::number(n);
        row.name = NewLabel(this, QStringLiteral("name") + suffix);
        row.reading = NewLabel(this, QStringLiteral("reading") + suffix);
        row.unit = NewLabel(this, QStringLiteral("unit") + suffix);
        row.status = NewLabel(this, QStringLiteral("status") + suffix);
        row.note = NewLabel(this, QStringLiteral("note") + suffix);
        // The note qualifies the status: in the window's own font, set apart in italics.
        QFont noteFont = row.note->font();
        noteFont.setItalic(true);
        row.note->setFont(noteFont);
        row.picture = NewLabel(this, QStringLiteral("picture") + suffix);
        row.reading->setAlignment(Qt::AlignCenter);
        row.reading->setMinimumWidth(70);
        row.reading->setMargin(2);

        // The pop-up menu opens from the row's name and reading; the name takes the keyboard
        // focus so the menu key reaches a row too.
        row.name->setFocusPolicy(Qt::StrongFocus);
        row.name->installEventFilter(this);
        row.reading->installEventFilter(this);

        const int line = n - 1;
        grid->addWidget(row.name, line, 0);
        grid->addWidget(row.reading, line, 1);
        grid->addWidget(row.unit, line, 2);
        grid->addWidget(row.status, line, 3);
        grid->addWidget(row.note, line, 4);
        grid->addWidget(row.picture, line, 5);
    }
    grid->setColumnStretch(4, 1);
    rowsColumn->addStretch(1);
    columns->addWidget(BuildCameraColumn(), 2);

    connectAllButton_ = new QPushButton(QStringLiteral("Connect All"), this);
    connectAllButton_->setObjectName(QStringLiteral("connectAllButton"));
    connect(connectAllButton_, &QPushButton::clicked, this, [this] { Run(commands_.connectAll); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(connectAllButton_);
    outer->addLayout(buttons);

    Render();
}

SummaryTab::~SummaryTab() = default;

QWidget* SummaryTab::BuildCameraColumn() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    surveillance_ = new QGroupBox(QStringLiteral("Video Surveillance"), column);
    surveillance_->setObjectName(QStringLiteral("surveillanceFrame"));
    auto* explanation = new QLabel(
        QStringLiteral("A camera sent to the Summary tab shows its live picture here. Tick "
                       "\"Send to Summary\" for a camera on the Cameras page of Sensor Setup."),
        surveillance_);
    explanation->setWordWrap(true);
    auto* surveillanceLayout = new QVBoxLayout(surveillance_);
    surveillanceLayout->addWidget(explanation);
    surveillanceLayout->addStretch(1);
    layout->addWidget(surveillance_, 1);

    cameraPanel_ = new QWidget(column);
    auto* panelLayout = new QVBoxLayout(cameraPanel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    cameraCaption_ = new QLabel(cameraPanel_);
    cameraCaption_->setObjectName(QStringLiteral("summaryCameraCaption"));
    cameraCaption_->setAlignment(Qt::AlignHCenter);
    panelLayout->addWidget(cameraCaption_);
    camera_ = new CameraViewWidget(commands_.grabCameraFrame, cameraPanel_);
    camera_->setObjectName(QStringLiteral("summaryCameraView"));
    // The camera's name is shown above the picture by the caption of the tab.
    camera_->SetCaptionShown(false);
    panelLayout->addWidget(camera_, 1);
    // Alt+S belongs to the Setup menu.
    savePicture_ = new QPushButton(QStringLiteral("Save &Picture"), cameraPanel_);
    savePicture_->setObjectName(QStringLiteral("savePicture"));
    connect(savePicture_, &QPushButton::clicked, this, [this] { Run(commands_.savePicture); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(savePicture_);
    panelLayout->addLayout(buttons);
    layout->addWidget(cameraPanel_, 1);
    return column;
}

void SummaryTab::Render() {
    for (int n = 1; n <= 10; ++n) {
        RenderRow(rows_[std::size_t(n)], view_.Row(n));
    }
    connectAllButton_->setEnabled(view_.connectAllEnabled);
    RenderCamera();
}

void SummaryTab::RenderCamera() {
    const CameraViewData& cameras = view_.cameras;
    surveillance_->setVisible(cameras.surveillanceFrameVisible);
    // A hidden view stops asking for pictures.
    cameraPanel_->setVisible(!cameras.surveillanceFrameVisible);
    SetTextIfChanged(*cameraCaption_, cameras.summaryCameraCaption);
    cameraCaption_->setVisible(cameras.summaryCameraCaptionVisible);
    camera_->Render(cameras.views[0]);
    savePicture_->setEnabled(cameras.savePictureEnabled);
}

void SummaryTab::RenderRow(Row& row, const SummaryRow& data) {
    for (QLabel* label : {row.name, row.reading, row.unit, row.status, row.note, row.picture}) {
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

    // A note on the row's alerts, such as "snoozed until 14:30".
    SetTextIfChanged(*row.note, data.note);
    if (data.visible) {
        row.note->setHidden(data.note.empty());
    }

    if (!row.pictureDrawn || row.shownPicture != data.picture) {
        row.picture->setPixmap(StatusPicture(data.picture));
        row.picture->setToolTip(QString::fromStdString(data.picture));
        row.shownPicture = data.picture;
        row.pictureDrawn = true;
    }
}

std::unique_ptr<QMenu> SummaryTab::BuildRowMenu(int setupIndex) {
    Run(commands_.summaryMenu, setupIndex);
    const SummaryMenuView& data = view_.summaryMenu;
    if (data.setupIndex != setupIndex || data.items.empty()) {
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    const MainWindowCommands& c = commands_;
    const int n = setupIndex;
    for (const SummaryMenuEntry& entry : data.items) {
        QAction* action = menu->addAction(QString::fromStdString(entry.caption));
        action->setVisible(entry.visible);
        action->setEnabled(entry.enabled);
        connect(action, &QAction::triggered, this, [&c, n, item = entry.item] {
            switch (item) {
                case SummaryMenuItem::ConnectSensor:
                    Run(c.toggleConnect, n);
                    break;
                case SummaryMenuItem::ConnectAll:
                    Run(c.connectAll);
                    break;
                case SummaryMenuItem::RenameSensor:
                    Run(c.renameSensor, n);
                    break;
                case SummaryMenuItem::SetThresholds:
                    Run(c.setThresholds);
                    break;
                case SummaryMenuItem::SetProximityNotifications:
                    Run(c.setProximityNotifications);
                    break;
                case SummaryMenuItem::ProximityMode:
                    Run(c.proximityModeMenu, n);
                    break;
                case SummaryMenuItem::Calibrate:
                    Run(c.calibrateMenu, n);
                    break;
                case SummaryMenuItem::BumpMode:
                    Run(c.bumpModeMenu, n);
                    break;
                case SummaryMenuItem::SetSensitivity:
                    Run(c.sensitivityMenu, n);
                    break;
                case SummaryMenuItem::History:
                    Run(c.showHistory, n);
                    break;
                case SummaryMenuItem::SnoozeQuarterHour:
                case SummaryMenuItem::SnoozeHour:
                case SummaryMenuItem::SnoozeEightHours:
                case SummaryMenuItem::SnoozeUntilNormal:
                case SummaryMenuItem::EndSnooze:
                    Run(c.snoozeMenu, n, item);
                    break;
            }
        });
    }
    return menu;
}

QMenu* SummaryTab::OpenRowMenu() const {
    return rowMenu_ && rowMenu_->isVisible() ? rowMenu_.get() : nullptr;
}

bool SummaryTab::eventFilter(QObject* watched, QEvent* event) {
    int n = 1;
    while (n <= 10 && watched != rows_[std::size_t(n)].name &&
           watched != rows_[std::size_t(n)].reading) {
        ++n;
    }
    if (n > 10) {
        return QWidget::eventFilter(watched, event);
    }
    auto* label = static_cast<QLabel*>(watched);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() != Qt::RightButton) {
                return false;
            }
            ShowRowMenu(n, press->globalPosition().toPoint());
            return true;
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool shiftF10 =
                key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
            if (key->key() != Qt::Key_Menu && !shiftF10) {
                return false;
            }
            ShowRowMenu(n, label->mapToGlobal(label->rect().bottomLeft()));
            return true;
        }
        case QEvent::ContextMenu:
            // The press and the keys above open the menu already; the context-menu event the
            // platform makes of them would open it a second time.
            return true;
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // A focused row shows it by its underlined name.
            QFont font = label->font();
            font.setUnderline(event->type() == QEvent::FocusIn);
            label->setFont(font);
            return false;
        }
        default:
            return false;
    }
}

void SummaryTab::ShowRowMenu(int setupIndex, const QPoint& globalPos) {
    std::unique_ptr<QMenu> menu = BuildRowMenu(setupIndex);
    if (!menu) {
        return;
    }
    // The previous menu may be the one whose item is still running: it goes once control
    // returns to the event loop.
    if (rowMenu_) {
        rowMenu_.release()->deleteLater();
    }
    rowMenu_ = std::move(menu);
    rowMenu_->popup(globalPos);
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

QLabel* SummaryTab::NoteLabel(int setupIndex) const {
    const Row* row = RowAt(setupIndex);
    return row ? row->note : nullptr;
}

QLabel* SummaryTab::PictureLabel(int setupIndex) const {
    const Row* row = RowAt(setupIndex);
    return row ? row->picture : nullptr;
}

}  // namespace vigiltron
