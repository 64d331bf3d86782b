#include "ui/SetupCamerasPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/SetupWindowBoxEvents.h"

namespace vigiltron {

namespace {

// The proximity number box offers no sensor (" ") or a slot 1..4 of the Proximity or Distance
// tab.
const QStringList kProximityNumbers = {QStringLiteral(" "), QStringLiteral("1"),
                                       QStringLiteral("2"), QStringLiteral("3"),
                                       QStringLiteral("4")};

std::string Keyed(const char* key, int camera) {
    return key + std::to_string(camera);
}

// A box as wide as a few digits, so the row stays compact.
void FitDigits(QLineEdit& box, int digits) {
    box.setMaximumWidth(box.fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) +
                        16);
}

}  // namespace

SetupCamerasPage::SetupCamerasPage(SetupWindowCommands commands, std::function<void()> commandDone,
                                   QWidget* parent)
    : SetupPage(std::move(commands), std::move(commandDone), parent) {
    auto* layout = new QVBoxLayout(this);
    noCameras_ =
        new QLabel(QStringLiteral("No cameras are set up. Add one with Add Device..."), this);
    noCameras_->setObjectName(QStringLiteral("noCamerasNote"));
    noCameras_->setWordWrap(true);
    layout->addWidget(noCameras_);
    for (int c = 1; c <= 4; ++c) {
        BuildRow(c, this);
        layout->addWidget(rows_[std::size_t(c)].group);
    }
    layout->addStretch(1);
}

QLineEdit* SetupCamerasPage::NewCheckedBox(const std::string& key, const QString& accessibleName,
                                           QWidget* owner) {
    QLineEdit* box = NewTextBox(key, owner);
    box->setAccessibleName(accessibleName);
    SetupWindowBoxEvents::OnLeave(*box, [this, key] { Run(commands_.leaveBox, key); });
    return box;
}

void SetupCamerasPage::BuildRow(int camera, QWidget* owner) {
    CameraRow& row = rows_[std::size_t(camera)];
    row.group = new QGroupBox(owner);
    row.group->setObjectName(QStringLiteral("camera%1").arg(camera));
    QGroupBox* group = row.group;

    // Created in the order the keyboard visits them. The same captions repeat for each camera;
    // a repeated mnemonic moves through them in turn.
    row.monitorOnly =
        NewTickBox(QStringLiteral("&Monitor Only"), Keyed("chkCamMon", camera), group);
    row.proximityActivated =
        NewTickBox(QStringLiteral("&Proximity Activated"), Keyed("chkCamUseProx", camera), group);
    row.proximityNumber = new QComboBox(group);
    const std::string numberKey = Keyed("cmbProximNumber", camera);
    row.proximityNumber->setObjectName(QString::fromStdString(numberKey));
    row.proximityNumber->addItems(kProximityNumbers);
    row.proximityNumber->setAccessibleName(QStringLiteral("Proximity sensor number"));
    connect(row.proximityNumber, &QComboBox::activated, this, [this, numberKey, &row](int index) {
        Run(commands_.changeText, numberKey, row.proximityNumber->itemText(index).toStdString());
    });
    row.snapPicture =
        NewTickBox(QStringLiteral("S&nap picture"), Keyed("chkProxSnapCam", camera), group);
    row.captureToAvi =
        NewTickBox(QStringLiteral("&Capture to AVI"), Keyed("CaptureToAVI", camera), group);
    row.autoDisconnect =
        NewTickBox(QStringLiteral("&Auto Disconnect"), Keyed("AutoDisconnect", camera), group);
    row.interval = NewCheckedBox(Keyed("AutoDisconnectInterval", camera),
                                 QStringLiteral("Auto Disconnect interval (ms)"), group);
    FitDigits(*row.interval, 6);
    row.fps = NewCheckedBox(Keyed("FPS", camera), QStringLiteral("FPS"), group);
    FitDigits(*row.fps, 3);
    auto* fpsLabel = new QLabel(QStringLiteral("&FPS:"), group);
    fpsLabel->setBuddy(row.fps);
    row.sendToSummary =
        NewTickBox(QStringLiteral("Send to S&ummary"), Keyed("chkSendToSummary", camera), group);

    auto* grid = new QGridLayout(group);
    grid->addWidget(row.monitorOnly, 0, 0);
    grid->addWidget(row.proximityActivated, 0, 1);
    grid->addWidget(row.proximityNumber, 0, 2);
    grid->addWidget(row.snapPicture, 0, 3);
    grid->addWidget(row.captureToAvi, 1, 0);
    grid->addWidget(row.autoDisconnect, 1, 1);
    auto* interval = new QHBoxLayout;
    interval->addWidget(row.interval);
    interval->addWidget(new QLabel(QStringLiteral("ms"), group));
    interval->addStretch(1);
    grid->addLayout(interval, 1, 2);
    auto* fps = new QHBoxLayout;
    fps->addWidget(fpsLabel);
    fps->addWidget(row.fps);
    fps->addStretch(1);
    grid->addLayout(fps, 1, 3);
    grid->addWidget(row.sendToSummary, 2, 0);
    grid->setColumnStretch(3, 1);
}

void SetupCamerasPage::Render(const ViewModel& view, const Preferences& prefs) {
    bool anyCamera = false;
    for (int c = 1; c <= 4; ++c) {
        const auto i = std::size_t(c);
        CameraRow& row = rows_[i];
        const std::string& name = view.cameras.names[i];
        row.group->setVisible(!name.empty());
        if (name.empty()) {
            continue;
        }
        anyCamera = true;
        const QString title =
            QStringLiteral("Camera %1: %2").arg(c).arg(QString::fromStdString(name));
        if (row.group->title() != title) {
            row.group->setTitle(title);
        }
        const ProxSlotSettings& prox = prefs.prox[i];
        const CameraSettings& settings = prefs.cameras[i];
        ShowChecked(*row.monitorOnly, prox.chkCamMon);
        ShowChecked(*row.proximityActivated, prox.chkCamUseProx);
        ShowChecked(*row.snapPicture, prox.chkProxSnapCam);
        {
            // A number the box does not offer (a hand-edited file) shows as no choice.
            const QSignalBlocker quiet(row.proximityNumber);
            row.proximityNumber->setCurrentIndex(
                row.proximityNumber->findText(QString::fromStdString(prox.cmbProximNumber)));
        }
        ShowChecked(*row.captureToAvi, settings.CaptureToAVI);
        ShowChecked(*row.autoDisconnect, settings.AutoDisconnect);
        ShowText(*row.interval, settings.AutoDisconnectInterval);
        ShowText(*row.fps, settings.FPS);
        // The engine may have refused the tick (another camera holds the Summary tab).
        ShowChecked(*row.sendToSummary, view.cameras.sendToSummary[i]);
    }
    noCameras_->setVisible(!anyCamera);
}

const SetupCamerasPage::CameraRow* SetupCamerasPage::RowOf(int camera) const {
    return camera >= 1 && camera <= 4 ? &rows_[std::size_t(camera)] : nullptr;
}

QGroupBox* SetupCamerasPage::CameraGroup(int camera) const {
    const CameraRow* row = RowOf(camera);
    return row ? row->group : nullptr;
}

QCheckBox* SetupCamerasPage::Switch(const std::string& key, int camera) const {
    const CameraRow* row = RowOf(camera);
    if (row == nullptr) {
        return nullptr;
    }
    const std::pair<const char*, QCheckBox*> switches[] = {
        {"chkCamMon", row->monitorOnly},         {"chkCamUseProx", row->proximityActivated},
        {"chkProxSnapCam", row->snapPicture},    {"CaptureToAVI", row->captureToAvi},
        {"AutoDisconnect", row->autoDisconnect}, {"chkSendToSummary", row->sendToSummary},
    };
    for (const auto& [name, box] : switches) {
        if (key == name) {
            return box;
        }
    }
    return nullptr;
}

QComboBox* SetupCamerasPage::ProximityNumberBox(int camera) const {
    const CameraRow* row = RowOf(camera);
    return row ? row->proximityNumber : nullptr;
}

QLineEdit* SetupCamerasPage::IntervalBox(int camera) const {
    const CameraRow* row = RowOf(camera);
    return row ? row->interval : nullptr;
}

QLineEdit* SetupCamerasPage::FpsBox(int camera) const {
    const CameraRow* row = RowOf(camera);
    return row ? row->fps : nullptr;
}

}  // namespace vigiltron
