#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DeviceWindowsWiring.h"
#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"
#include "ui/AddDeviceWindow.h"
#include "ui/ScanListWindow.h"

namespace vigiltron {
namespace {

// Lets queued work (the windows' coalesced renders) run, without waiting on the clock.
void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

// Starts the engine with nothing configured, declining the first run's offer to scan.
Engine& StartWithoutDevices(EngineTestRig& rig) {
    rig.dialogs.QueueYesNo(false);
    return rig.Start();
}

// The real engine on virtual time and simulated ports, driven through the two windows.
class DeviceWindowsTest : public ::testing::Test {
protected:
    DeviceWindowsTest()
        : engine(StartWithoutDevices(rig)),
          commands(DeviceWindowsCommandsFor(engine)),
          addWindow(std::make_unique<AddDeviceWindow>(engine.view, commands)),
          scanList(std::make_unique<ScanListWindow>(engine.view, commands)) {
        rig.dialogs.Clear();
        Pump();
    }

    void OpenAddWindow() {
        rig.dialogs.QueueYesNo(false);  // no port scan now
        commands.openAddWindow();
        Pump();
    }
    void Attach(int com, SensorKind kind) {
        rig.ports.Attach(com, std::make_shared<SimulatedSensor>(rig.loop, kind));
    }
    void Click(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        Pump();
    }
    // Replaces the text of a line edit or spin box the way a user does.
    static void Retype(QWidget* box, const QString& text) {
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
        Pump();
    }
    std::string Stored(int n, const std::string& key) const {
        return rig.settings.GetSetting("PortConfig\\Devices\\" + std::to_string(n), key, "<none>");
    }
    static std::vector<std::string> Texts(const QListWidget* list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list->count(); ++i) {
            texts.push_back(list->item(i)->text().toStdString());
        }
        return texts;
    }

    EngineTestRig rig{LocalDateTime{2026, 12, 7, 16, 5, 9, 0}};
    Engine& engine;
    DeviceWindowsCommands commands;
    // Declared after the engine: they go first.
    std::unique_ptr<AddDeviceWindow> addWindow;
    std::unique_ptr<ScanListWindow> scanList;
};

TEST_F(DeviceWindowsTest, AddingThroughTheWindowShowsTheDeviceAndCancelHidesTheWindow) {
    EXPECT_FALSE(addWindow->isVisible());
    OpenAddWindow();
    ASSERT_TRUE(addWindow->isVisible());
    EXPECT_EQ(addWindow->windowTitle(), "Add Device (Sensor or Camera)");
    QComboBox* type = addWindow->TypeBox();
    ASSERT_EQ(type->count(), 10);
    EXPECT_EQ(type->currentText(), "<drop down to select>");
    EXPECT_EQ(type->itemText(1), "Vigiltron/A (2-Axis Accelerometer)");
    EXPECT_FALSE(addWindow->ComPortBox()->isVisible());

    // The first type by keyboard: the accelerometer, with its options and default name.
    QTest::keyClick(type, Qt::Key_Down);
    Pump();
    EXPECT_EQ(engine.view.deviceSetup.selectedType, "Vigiltron/A (2-Axis Accelerometer)");
    EXPECT_EQ(addWindow->NameBox()->text(), "Vigiltron/A01");
    EXPECT_TRUE(addWindow->ComPortBox()->isVisible());
    EXPECT_TRUE(addWindow->StartInBumpBox()->isVisible());
    EXPECT_TRUE(addWindow->CalibrateBox()->isVisible());
    EXPECT_FALSE(addWindow->StartInProxBox()->isVisible());
    EXPECT_FALSE(addWindow->DriverBox()->isVisible());
    EXPECT_FALSE(addWindow->NoRoomNotice()->isVisible());
    QTest::mouseClick(addWindow->StartInBumpBox(), Qt::LeftButton);
    Retype(addWindow->ComPortBox(), "4");

    // A blank name is refused; the window stays and hands the focus to the name box.
    Retype(addWindow->NameBox(), "");
    Click(addWindow->OkButton());
    EXPECT_EQ(rig.dialogs.Messages(), std::vector<std::string>{"Device name cannot be blank"});
    EXPECT_TRUE(addWindow->isVisible());
    EXPECT_EQ(addWindow->focusWidget(), addWindow->NameBox());
    EXPECT_FALSE(engine.view.Row(1).visible);

    Retype(addWindow->NameBox(), "Shaker");
    Click(addWindow->OkButton());
    EXPECT_FALSE(addWindow->isVisible());
    EXPECT_TRUE(engine.view.Row(1).visible);
    EXPECT_EQ(engine.view.Row(1).name, "Shaker");
    EXPECT_TRUE(engine.view.deviceSetup.entries[1].visible);
    EXPECT_EQ(engine.view.deviceSetup.entries[1].deviceName, "Shaker");
    EXPECT_EQ(Stored(1, "Port"), "4");
    EXPECT_EQ(Stored(1, "StartInBump"), "1");
    EXPECT_EQ(Stored(1, "CalibrateOnConnect"), "0");

    // Opened again: a fresh choice. "Cancel", Escape and the title bar close it, adding nothing.
    for (int way = 0; way < 3; ++way) {
        OpenAddWindow();
        ASSERT_TRUE(addWindow->isVisible()) << way;
        EXPECT_EQ(type->currentText(), "<drop down to select>") << way;
        if (way == 0) {
            Click(addWindow->CancelButton());
        } else if (way == 1) {
            QTest::keyClick(addWindow.get(), Qt::Key_Escape);
        } else {
            addWindow->close();
        }
        Pump();
        EXPECT_FALSE(addWindow->isVisible()) << way;
        EXPECT_FALSE(engine.view.deviceSetup.addWindowVisible) << way;
    }
    EXPECT_FALSE(engine.view.Row(2).visible);
}

TEST_F(DeviceWindowsTest, ScanShowsProgressListsTheSensorsAndAddsTheSelection) {
    Attach(3, SensorKind::Temperature);
    Attach(17, SensorKind::Combined);
    Attach(20, SensorKind::Proximity);

    // Answering yes when the add window opens scans COM1 - COM16 at once.
    rig.dialogs.QueueYesNo(true);
    commands.openAddWindow();
    Pump();
    EXPECT_TRUE(addWindow->isVisible());
    ASSERT_TRUE(scanList->isVisible());
    EXPECT_EQ(scanList->windowTitle(), "Build Sensor List");
    EXPECT_EQ(scanList->RangeCaption()->text(), "(Com1 - Com16 only)");
    EXPECT_EQ(Texts(scanList->Lines()), std::vector<std::string>{"COM3: Vigiltron/T v2.1"});
    Click(scanList->CloseButton());
    EXPECT_FALSE(scanList->isVisible());

    // "Scan Ports..." opens the list again; the whole range is scanned from there. Part way
    // through, the window shows the progress and offers "Stop".
    Click(addWindow->ScanPortsButton());
    ASSERT_TRUE(scanList->isVisible());
    QTest::mouseClick(scanList->AllPortsBox(), Qt::LeftButton);
    Pump();
    EXPECT_EQ(scanList->RangeCaption()->text(), "(Com1 - Com255)");
    struct {
        bool progressShown = false;
        int done = -1;
        bool stopEnabled = false;
        bool scanEnabled = true;
        bool addEnabled = true;
    } during;
    rig.loop.StartTimer(Milliseconds(100), [&] {
        Pump();  // the renders a real wait would let through
        during = {scanList->Progress()->isVisible(), scanList->Progress()->value(),
                  scanList->StopButton()->isEnabled(), scanList->ScanButton()->isEnabled(),
                  scanList->AddSelectedButton()->isEnabled()};
    });
    Click(scanList->ScanButton());
    EXPECT_TRUE(during.progressShown);
    EXPECT_GT(during.done, 0);
    EXPECT_LT(during.done, 256);
    EXPECT_TRUE(during.stopEnabled);
    EXPECT_FALSE(during.scanEnabled);
    EXPECT_FALSE(during.addEnabled);

    const std::vector<std::string> found = {"COM3: Vigiltron/T v2.1", "(COM17): Vigiltron/H v2.1",
                                            "(COM20): Vigiltron/P v2.1"};
    ASSERT_EQ(Texts(scanList->Lines()), found);
    EXPECT_EQ(scanList->Progress()->maximum(), 256);
    EXPECT_EQ(scanList->Progress()->value(), 256);
    EXPECT_FALSE(scanList->Progress()->isVisible());
    EXPECT_FALSE(scanList->StopButton()->isEnabled());

    // The last line picked first: still added in list order, so the first line gets entry 1.
    scanList->Lines()->item(2)->setSelected(true);
    scanList->Lines()->item(0)->setSelected(true);
    Click(scanList->AddSelectedButton());
    EXPECT_TRUE(engine.view.Row(1).visible);
    EXPECT_EQ(engine.view.Row(1).name, "TempSensor000");
    EXPECT_EQ(Stored(1, "Port"), "3");
    EXPECT_TRUE(engine.view.Row(2).visible);
    EXPECT_EQ(engine.view.Row(2).name, "ProxSensor002");
    EXPECT_EQ(Stored(2, "Port"), "20");
    EXPECT_TRUE(engine.view.deviceSetup.entries[2].visible);
    EXPECT_FALSE(engine.view.Row(3).visible);  // the combined sensor was not picked

    // "Stop" during a scan: it ends after the port being asked and lists what it found.
    rig.loop.StartTimer(Milliseconds(100), [&] {
        Pump();
        QTest::mouseClick(scanList->StopButton(), Qt::LeftButton);
    });
    Click(scanList->ScanButton());
    EXPECT_EQ(Texts(scanList->Lines()), std::vector<std::string>{found[0]});
    EXPECT_LT(scanList->Progress()->value(), 256);
    EXPECT_TRUE(scanList->ScanButton()->isEnabled());

    QTest::keyClick(scanList.get(), Qt::Key_Escape);
    Pump();
    EXPECT_FALSE(scanList->isVisible());
    EXPECT_FALSE(engine.view.deviceSetup.scanListVisible);
}

}  // namespace
}  // namespace vigiltron
