#include "ui/AddDeviceWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/Forward.h"

namespace vigiltron {

namespace {

constexpr int kLowestCom = 1;
constexpr int kHighestCom = 256;

// Replaces a combo box's items only when they differ, so an open list or the user's place in it
// survives renders that change nothing.
void SetItems(QComboBox& box, const QStringList& items) {
    bool same = box.count() == items.size();
    for (int i = 0; same && i < items.size(); ++i) {
        same = box.itemText(i) == items[i];
    }
    if (!same) {
        box.clear();
        box.addItems(items);
    }
}

}  // namespace

AddDeviceWindow::AddDeviceWindow(ViewModel& view, DeviceWindowsCommands commands, QWidget* parent)
    : ViewDialog(view, commands.cancel, parent), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("addDeviceWindow"));
    setWindowTitle(QStringLiteral("Add Device (Sensor or Camera)"));
    BuildLayout();

    connect(typeBox_, &QComboBox::activated, this, [this](int index) {
        Forward(commands_.selectType, typeBox_->itemText(index).toStdString());
    });
    connect(nameBox_, &QLineEdit::textEdited, this,
            [this](const QString& text) { Forward(commands_.setName, text.toStdString()); });
    connect(comPort_, &QSpinBox::valueChanged, this,
            [this](int com) { Forward(commands_.setComPort, com); });
    for (const auto& [box, command] : {std::pair{startInBump_, &commands_.setStartInBump},
                                       std::pair{calibrate_, &commands_.setCalibrateOnConnect},
                                       std::pair{startInProx_, &commands_.setStartInProx}}) {
        connect(box, &QCheckBox::toggled, this,
                [command = command](bool on) { Forward(*command, on); });
    }
    connect(driverBox_, &QComboBox::activated, this,
            [this](int index) { Forward(commands_.selectDriver, index); });
    connect(identify_, &QPushButton::clicked, this, [this] { Forward(commands_.identify); });
    connect(scanPorts_, &QPushButton::clicked, this, [this] { Forward(commands_.openScanList); });
    connect(ok_, &QPushButton::clicked, this, [this] {
        // A refused OK may ask for the name again: that request gets the focus anew.
        nameFocusGiven_ = false;
        Forward(commands_.ok);
    });
    // "Cancel" is Escape's and the title bar's close: all three cancel the addition.
    connect(cancel_, &QPushButton::clicked, this, &AddDeviceWindow::reject);
    Refresh();
}

void AddDeviceWindow::BuildLayout() {
    typeBox_ = new QComboBox(this);
    typeBox_->setObjectName(QStringLiteral("deviceType"));
    typeBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    nameBox_ = new QLineEdit(this);
    nameBox_->setObjectName(QStringLiteral("deviceName"));

    comPortRow_ = new QWidget(this);
    comPort_ = new QSpinBox(comPortRow_);
    comPort_->setObjectName(QStringLiteral("comPort"));
    comPort_->setRange(kLowestCom, kHighestCom);
    comPort_->setPrefix(QStringLiteral("COM"));
    identify_ = new QPushButton(QStringLiteral("&Identify"), comPortRow_);
    identify_->setObjectName(QStringLiteral("identify"));
    auto* comLayout = new QHBoxLayout(comPortRow_);
    comLayout->setContentsMargins(0, 0, 0, 0);
    comLayout->addWidget(comPort_);
    comLayout->addWidget(identify_);
    comLayout->addStretch();

    startInBump_ = new QCheckBox(QStringLiteral("Start sensor in '&Bump' mode"), this);
    calibrate_ = new QCheckBox(QStringLiteral("Ca&librate sensor upon connection"), this);
    startInProx_ = new QCheckBox(QStringLiteral("Start sensor in pro&ximity mode"), this);
    driverBox_ = new QComboBox(this);
    driverBox_->setObjectName(QStringLiteral("captureDriver"));
    driverBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    noRoom_ = new QLabel(
        QStringLiteral("All ten device entries are in use, or there is no room for this type.\n"
                       "Please delete a device before adding another."),
        this);
    noRoom_->setObjectName(QStringLiteral("noRoom"));
    noRoom_->setWordWrap(true);

    form_ = new QFormLayout;
    auto addRow = [this](const QString& caption, QWidget* field, QWidget* buddy) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(buddy);
        form_->addRow(label, field);
    };
    addRow(QStringLiteral("Device &type:"), typeBox_, typeBox_);
    addRow(QStringLiteral("Device &name:"), nameBox_, nameBox_);
    addRow(QStringLiteral("COM &port:"), comPortRow_, comPort_);
    form_->addRow(startInBump_);
    form_->addRow(calibrate_);
    form_->addRow(startInProx_);
    addRow(QStringLiteral("Capture &driver:"), driverBox_, driverBox_);
    form_->addRow(noRoom_);

    scanPorts_ = new QPushButton(QStringLiteral("&Scan Ports..."), this);
    scanPorts_->setObjectName(QStringLiteral("scanPorts"));
    ok_ = new QPushButton(QStringLiteral("&OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(scanPorts_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    layout->addStretch();
    layout->addLayout(buttons);

    QWidget* order[] = {typeBox_,     nameBox_,   comPort_,   identify_, startInBump_, calibrate_,
                        startInProx_, driverBox_, scanPorts_, ok_,       cancel_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void AddDeviceWindow::Render(bool /*opening*/) {
    const DeviceSetupView& v = view_.deviceSetup;
    const QSignalBlocker blockType(typeBox_);
    const QSignalBlocker blockName(nameBox_);
    const QSignalBlocker blockCom(comPort_);
    const QSignalBlocker blockBump(startInBump_);
    const QSignalBlocker blockCalibrate(calibrate_);
    const QSignalBlocker blockProx(startInProx_);
    const QSignalBlocker blockDriver(driverBox_);

    QStringList types{QString::fromLatin1(kDropDownToSelect)};
    for (const std::string& type : v.typeList) {
        types << QString::fromStdString(type);
    }
    SetItems(*typeBox_, types);
    typeBox_->setCurrentIndex(
        std::max(0, typeBox_->findText(QString::fromStdString(v.selectedType), Qt::MatchExactly)));

    const QString name = QString::fromStdString(v.nameBox);
    if (nameBox_->text() != name) {
        nameBox_->setText(name);
    }
    comPort_->setValue(std::clamp(v.comPort, kLowestCom, kHighestCom));
    form_->setRowVisible(comPortRow_, v.comPortVisible);
    identify_->setEnabled(!v.busy);

    form_->setRowVisible(startInBump_, v.bumpOptionsVisible);
    form_->setRowVisible(calibrate_, v.bumpOptionsVisible);
    startInBump_->setChecked(v.startInBump);
    calibrate_->setChecked(v.calibrateOnConnect);
    form_->setRowVisible(startInProx_, v.proximityOptionVisible);
    startInProx_->setChecked(v.startInProx);

    QStringList drivers;
    for (const std::string& driver : v.cameraDrivers) {
        drivers << QString::fromStdString(driver);
    }
    SetItems(*driverBox_, drivers);
    driverBox_->setCurrentIndex(v.selectedDriver < drivers.size() ? v.selectedDriver : -1);
    form_->setRowVisible(driverBox_, v.driverListVisible);

    const bool typeChosen = v.selectedType != kDropDownToSelect;
    form_->setRowVisible(noRoom_, typeChosen && (v.targetIndex < 1 || v.targetIndex > 10));
}

void AddDeviceWindow::RenderFocus() {
    const DeviceSetupView& v = view_.deviceSetup;
    if (!v.nameBoxFocused) {
        nameFocusGiven_ = false;
    } else if (v.addWindowVisible && !nameFocusGiven_) {
        nameFocusGiven_ = true;
        nameBox_->setFocus(Qt::OtherFocusReason);
        nameBox_->selectAll();
    }
}

}  // namespace vigiltron
