#include "ui/SetupDevicesPage.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/SetupWindowBoxEvents.h"

namespace vigiltron {

namespace {

void ShowLabelText(QLabel& label, const std::string& text) {
    const QString wanted = QString::fromStdString(text);
    if (label.text() != wanted) {
        label.setText(wanted);
    }
}

}  // namespace

SetupDevicesPage::SetupDevicesPage(SetupWindowCommands commands, std::function<void()> commandDone,
                                   QWidget* parent)
    : SetupPage(std::move(commands), std::move(commandDone), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    const QString headers[] = {QStringLiteral("Device type"), QStringLiteral("Device name"),
                               QStringLiteral("COM")};
    for (int c = 0; c < 3; ++c) {
        auto* header = new QLabel(headers[c], this);
        QFont font = header->font();
        font.setBold(true);
        header->setFont(font);
        grid->addWidget(header, 0, c);
    }
    for (int n = 1; n <= 10; ++n) {
        BuildRow(n, *grid);
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    noDevices_ = new QLabel(
        QStringLiteral("No devices are set up yet. Use \"Add Device...\" to add one."), this);
    noDevices_->setObjectName(QStringLiteral("noDevices"));
    noDevices_->setWordWrap(true);
    layout->addWidget(noDevices_);
    layout->addStretch(1);

    connectAll_ = new QPushButton(QStringLiteral("Connect &All"), this);
    connectAll_->setObjectName(QStringLiteral("connectAll"));
    addDevice_ = new QPushButton(QStringLiteral("A&dd Device..."), this);
    addDevice_->setObjectName(QStringLiteral("addDevice"));
    remoteMonitoring_ = new QPushButton(QStringLiteral("&Remote Monitoring..."), this);
    remoteMonitoring_->setObjectName(QStringLiteral("remoteMonitoring"));
    connect(connectAll_, &QPushButton::clicked, this, [this] { Run(commands_.connectAll); });
    connect(addDevice_, &QPushButton::clicked, this, [this] { Run(commands_.addDevice); });
    connect(remoteMonitoring_, &QPushButton::clicked, this,
            [this] { Run(commands_.openRemoteMonitoring); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(connectAll_);
    buttons->addWidget(addDevice_);
    buttons->addStretch(1);
    buttons->addWidget(remoteMonitoring_);
    layout->addLayout(buttons);
}

void SetupDevicesPage::BuildRow(int n, QGridLayout& grid) {
    EntryWidgets& row = rows_[std::size_t(n)];
    const QString suffix = QString::number(n);
    row.type = new QLabel(this);
    row.type->setObjectName(QStringLiteral("deviceType") + suffix);
    row.type->setToolTip(QStringLiteral("Double-click to show or hide the COM port"));
    row.name = new QLabel(this);
    row.name->setObjectName(QStringLiteral("deviceName") + suffix);
    row.name->setToolTip(QStringLiteral("Double-click to rename the device"));
    for (QLabel* label : {row.type, row.name}) {
        // Focusable, so the keyboard reaches the double-click commands too.
        label->setFocusPolicy(Qt::StrongFocus);
        label->installEventFilter(this);
    }
    row.port = new QLineEdit(this);
    row.port->setObjectName(QStringLiteral("port") + suffix);
    row.port->setAccessibleName(QStringLiteral("COM port"));
    row.port->setMaxLength(3);
    row.port->setMaximumWidth(row.port->fontMetrics().horizontalAdvance(QStringLiteral("0000")) +
                              16);
    connect(row.port, &QLineEdit::editingFinished, this, [this, n] { PortBoxLeft(n); });

    row.tabLogging = new QCheckBox(QStringLiteral("Tab logging"), this);
    row.tabLogging->setObjectName(QStringLiteral("TabLogging") + suffix);
    row.fileLogging = new QCheckBox(QStringLiteral("File logging"), this);
    row.fileLogging->setObjectName(QStringLiteral("FileLogging") + suffix);
    connect(row.tabLogging, &QCheckBox::clicked, this,
            [this, n](bool on) { Run(commands_.setTabLogging, n, on); });
    connect(row.fileLogging, &QCheckBox::clicked, this,
            [this, n](bool on) { Run(commands_.setFileLogging, n, on); });

    row.connect = new QPushButton(QStringLiteral("Connect"), this);
    row.connect->setObjectName(QStringLiteral("connect") + suffix);
    row.remove = new QPushButton(QStringLiteral("X"), this);
    row.remove->setObjectName(QStringLiteral("delete") + suffix);
    row.remove->setToolTip(QStringLiteral("Delete this device"));
    row.remove->setMaximumWidth(row.remove->fontMetrics().horizontalAdvance(QStringLiteral("XX")) +
                                24);
    connect(row.connect, &QPushButton::clicked, this,
            [this, n] { Run(commands_.toggleConnect, n); });
    connect(row.remove, &QPushButton::clicked, this, [this, n] { Run(commands_.deleteDevice, n); });

    const int line = n;
    grid.addWidget(row.type, line, 0);
    grid.addWidget(row.name, line, 1);
    grid.addWidget(row.port, line, 2);
    grid.addWidget(row.tabLogging, line, 3);
    grid.addWidget(row.fileLogging, line, 4);
    grid.addWidget(row.connect, line, 5);
    grid.addWidget(row.remove, line, 6);
}

const SetupDevicesPage::EntryWidgets& SetupDevicesPage::Row(int n) const {
    static const EntryWidgets kNone{};
    return n >= 1 && n <= 10 ? rows_[std::size_t(n)] : kNone;
}

void SetupDevicesPage::Render(const ViewModel& view) {
    bool anyShown = false;
    for (int n = 1; n <= 10; ++n) {
        const DeviceSetupView::EntryRow& data = view.deviceSetup.entries[std::size_t(n)];
        RenderRow(rows_[std::size_t(n)], data, view.Commands(n));
        // A box the user is typing in keeps the number until it is left.
        QLineEdit& port = *rows_[std::size_t(n)].port;
        if (!(port.hasFocus() && port.isModified())) {
            ShowText(port, data.port);
            port.setModified(false);
        }
        shownPorts_[std::size_t(n)] = data.port;
        anyShown = anyShown || data.visible;
    }
    noDevices_->setVisible(!anyShown);
    connectAll_->setEnabled(view.connectAllEnabled);
}

void SetupDevicesPage::RenderRow(EntryWidgets& row, const DeviceSetupView::EntryRow& data,
                                 const EntryCommands& commands) {
    ShowLabelText(*row.type, data.deviceType);
    ShowLabelText(*row.name, data.deviceName);
    row.type->setVisible(data.visible);
    row.name->setVisible(data.visible);
    row.port->setVisible(data.visible && data.comBoxVisible);
    // Cameras keep no log files.
    const bool logs = data.visible && !data.port.empty();
    row.tabLogging->setVisible(logs);
    row.fileLogging->setVisible(logs);
    ShowChecked(*row.tabLogging, data.tabLogging);
    ShowChecked(*row.fileLogging, data.fileLogging);

    // The temperature half of a combined sensor has no commands of its own.
    const bool commandsShown = data.visible && commands.connectVisible;
    const QString caption = QString::fromStdString(commands.connectCaption);
    if (row.connect->text() != caption) {
        row.connect->setText(caption);
    }
    row.connect->setVisible(commandsShown);
    row.connect->setEnabled(commands.connectEnabled);
    row.connect->setAccessibleName(caption + QLatin1Char(' ') + row.name->text());
    row.remove->setVisible(commandsShown);
    row.remove->setEnabled(commands.deleteEnabled);
    row.remove->setAccessibleName(QStringLiteral("Delete ") + row.name->text());
}

void SetupDevicesPage::PortBoxLeft(int n) {
    QLineEdit& box = *rows_[std::size_t(n)].port;
    box.setModified(false);
    const std::string typed = box.text().trimmed().toStdString();
    // Enter and then leaving the box both finish the edit: the port is moved once.
    if (typed == shownPorts_[std::size_t(n)]) {
        return;
    }
    bool number = false;
    const int comNumber = box.text().trimmed().toInt(&number);
    // The rules refuse anything but a free COM number and say why.
    Run(commands_.moveDevice, n, number ? comNumber : 0);
}

bool SetupDevicesPage::eventFilter(QObject* watched, QEvent* event) {
    for (int n = 1; n <= 10; ++n) {
        const EntryWidgets& row = rows_[std::size_t(n)];
        const bool onType = watched == row.type;
        if (!onType && watched != row.name) {
            continue;
        }
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            // A focused label shows it by its underlined text.
            auto* label = static_cast<QLabel*>(watched);
            QFont font = label->font();
            font.setUnderline(event->type() == QEvent::FocusIn);
            label->setFont(font);
            return false;
        }
        bool activated = event->type() == QEvent::MouseButtonDblClick;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            activated =
                onType ? (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
                       : key == Qt::Key_F2;
        }
        if (!activated) {
            return false;
        }
        Run(onType ? commands_.toggleComBox : commands_.renameDevice, n);
        if (onType && row.port->isVisible()) {
            row.port->setFocus(Qt::OtherFocusReason);
            row.port->selectAll();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vigiltron
