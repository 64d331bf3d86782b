// The setup window's publishing page over the real engine: what the user types and ticks reaches
// the preference rules by its stored key, and the page shows the rules' outcome and the state of
// the broker connection.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include <gtest/gtest.h>

#include "app/EngineTestRig.h"
#include "app/SetupWindowWiring.h"
#include "ui/SetupPublishingPage.h"
#include "ui/SetupWindow.h"

namespace vigiltron {
namespace {

using namespace std::chrono_literals;

void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

void TypeInto(QLineEdit* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClicks(box, text);
}

class SetupPublishingPageTest : public ::testing::Test, public EngineTestRig {
protected:
    SetupPublishingPageTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 9, 0, 0, 0}) {}

    std::string Stored(const std::string& key) {
        return settings.GetSetting("Program Setup", key, "?");
    }
};

TEST_F(SetupPublishingPageTest, BoxesAndSwitchesReachTheRulesAndTheConnectionIsShown) {
    Engine& e = Start();
    e.LoadSetupWindow();
    SetupWindow window(e.view, e.prefs, SetupWindowCommandsFor(e));
    e.view.setupWindowVisible = true;
    e.view.Changed();
    Pump();
    window.activateWindow();
    window.Tabs()->setCurrentIndex(static_cast<int>(SetupWindow::Page::Publishing));
    Pump();
    EXPECT_EQ(window.Tabs()->tabText(window.Tabs()->count() - 1), "Publishing");
    SetupPublishingPage& page = *window.PublishingPage();
    EXPECT_EQ(page.Box("MqttPort")->text(), "1883");
    EXPECT_EQ(page.Box("MqttTopicPrefix")->text(), "vigiltron");
    EXPECT_TRUE(page.Switch("MqttDiscovery")->isChecked());
    EXPECT_FALSE(page.Switch("MqttEnabled")->isChecked());
    EXPECT_EQ(page.Box("MqttPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(page.StatusLine()->text(), "Publishing is off");

    TypeInto(page.Box("MqttServer"), "broker.lan");
    EXPECT_EQ(Stored("MqttServer"), "broker.lan");
    // A port out of range is taken back when the box is left.
    TypeInto(page.Box("MqttPort"), "99999");
    QTest::mouseClick(page.Box("MqttUser"), Qt::LeftButton);
    Pump();
    EXPECT_EQ(page.Box("MqttPort")->text(), "1883");
    EXPECT_EQ(e.prefs.MqttPort, "1883");
    TypeInto(page.Box("MqttPassword"), "s3cret");
    QTest::mouseClick(page.Box("MqttUser"), Qt::LeftButton);
    EXPECT_EQ(e.prefs.MqttPassword, "s3cret");
    EXPECT_EQ(Stored("MqttPassword"), "s3cret");  // no keyring in this run

    QTest::mouseClick(page.Switch("MqttEnabled"), Qt::LeftButton, {},
                      QPoint(8, page.Switch("MqttEnabled")->height() / 2));
    EXPECT_EQ(Stored("MqttEnabled"), "1");
    EXPECT_TRUE(e.mqtt.Publishing());
    // This run has no MQTT transport: the page says why nothing connects.
    loop.RunFor(1s);
    Pump();
    EXPECT_EQ(page.StatusLine()->text(), "Not connected: no MQTT transport in this run");
}

}  // namespace
}  // namespace vigiltron
