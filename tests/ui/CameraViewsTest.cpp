// The camera views of the main window (Video tab, the Summary tab's camera) and the setup
// window's Cameras page, over a hand-made view model: what the view model says is shown, the
// pictures drawn are the camera's frames the right way up, views nobody sees ask for no frames,
// and the user's edits reach the commands under the stored keys.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ui/CameraView.h"
#include "ui/MainWindow.h"
#include "ui/SetupCamerasPage.h"
#include "ui/SetupWindow.h"
#include "ui/SummaryTab.h"

namespace vigiltron {
namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

// A 5 x 4 frame as cameras deliver it: bottom row first, BGR, rows padded to 16 bytes. The lower
// half of the picture is red, the upper half green; the padding holds rubbish.
CameraFrame RedBelowGreen() {
    CameraFrame frame;
    frame.width = 5;
    frame.height = 4;
    frame.pixels.assign(std::size_t(frame.Stride() * frame.height), 0xAB);
    for (int row = 0; row < frame.height; ++row) {
        const bool lowerHalf = row < 2;
        for (int x = 0; x < frame.width; ++x) {
            std::uint8_t* bgr = &frame.pixels[std::size_t(row * frame.Stride() + x * 3)];
            bgr[0] = 0;
            bgr[1] = lowerHalf ? 0 : 255;
            bgr[2] = lowerHalf ? 255 : 0;
        }
    }
    return frame;
}

// The colour drawn a quarter of the picture's height above (-1) or below (+1) its centre.
QColor PictureColour(CameraViewWidget& view, int side) {
    const QRect area = view.PictureArea();
    QRect drawn(QPoint(), QSize(5, 4).scaled(area.size(), Qt::KeepAspectRatio));
    drawn.moveCenter(area.center());
    const QImage shot = view.grab().toImage();
    return shot.pixelColor(drawn.center().x(), drawn.center().y() + side * drawn.height() / 4);
}

bool IsRed(const QColor& c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}
bool IsGreen(const QColor& c) {
    return c.green() > 200 && c.red() < 60 && c.blue() < 60;
}

class CameraViewsTest : public ::testing::Test {
protected:
    // Camera 1 live on the Video tab; camera 2 sent to the Summary tab; 3 and 4 not attached.
    void ShowTwoCameras() {
        CameraViewData& c = view.cameras;
        c.views[0] = CameraView{"Back Door", true, 2};
        c.views[1] = CameraView{"Lobby", true, 1};
        c.views[2] = CameraView{"Camera in Summary Tab", false, 2};
        c.views[3] = CameraView{"Camera 3 Not Attached", false, 0};
        c.views[4] = CameraView{"Camera 4 Not Attached", false, 0};
        c.surveillanceFrameVisible = false;
        c.summaryCameraCaption = "Back Door";
        c.summaryCameraCaptionVisible = true;
        c.noCamerasNoticeVisible = false;
        c.savePictureEnabled = true;
        view.Changed();
        Pump();
    }

    int GrabsOf(int camera) const { return int(std::count(grabs.begin(), grabs.end(), camera)); }

    ViewModel view;
    Preferences prefs;
    std::vector<int> grabs;
};

TEST_F(CameraViewsTest, MainWindowShowsLivePicturesOnlyWhereTheyAreSeen) {
    int pictures = 0;
    int resolutionChanges = 0;
    MainWindowCommands commands;
    commands.grabCameraFrame = [this](int camera, CameraFrame& frame) {
        grabs.push_back(camera);
        frame = RedBelowGreen();
        return true;
    };
    commands.savePicture = [&] { ++pictures; };
    commands.changeResolution = [&] { ++resolutionChanges; };
    MainWindow window(view, std::move(commands));
    window.show();
    Pump();
    SummaryTab& summary = *window.Summary();

    // No camera yet: the notice, the surveillance frame, and nobody asks for frames.
    window.Tabs()->setCurrentWidget(window.VideoTab());
    EXPECT_FALSE(window.NoCamerasNotice()->isHidden());
    EXPECT_EQ(window.NoCamerasNotice()->text(), "No Vigiltron/V cameras present.");
    EXPECT_TRUE(window.CameraGrid()->isHidden());
    window.Tabs()->setCurrentWidget(&summary);
    EXPECT_TRUE(summary.SurveillanceFrame()->isVisible());
    EXPECT_EQ(summary.SurveillanceFrame()->title(), "Video Surveillance");
    EXPECT_TRUE(grabs.empty());

    // The Summary tab in front: its camera is live, the Video tab's are not.
    ShowTwoCameras();
    EXPECT_FALSE(summary.SurveillanceFrame()->isVisible());
    EXPECT_TRUE(summary.CameraCaption()->isVisible());
    EXPECT_EQ(summary.CameraCaption()->text(), "Back Door");
    ASSERT_TRUE(summary.CameraPicture()->Live());
    EXPECT_GE(GrabsOf(2), 1);
    EXPECT_EQ(GrabsOf(1), 0) << "the hidden Video tab asked for frames";
    EXPECT_FALSE(window.VideoView(1)->Live());
    EXPECT_TRUE(IsGreen(PictureColour(*summary.CameraPicture(), -1)));
    ASSERT_TRUE(summary.SavePictureButton()->isEnabled());
    QTest::mouseClick(summary.SavePictureButton(), Qt::LeftButton);
    EXPECT_EQ(pictures, 1);
    EXPECT_LE(window.minimumSizeHint().width(), 1024);
    EXPECT_LE(window.minimumSizeHint().height(), 768);

    // The Video tab in front: the grid with its captions; the attached view draws the frame
    // upright in its own colours, the Summary's camera stops.
    window.Tabs()->setCurrentWidget(window.VideoTab());
    Pump();
    EXPECT_TRUE(window.NoCamerasNotice()->isHidden());
    EXPECT_TRUE(window.CameraGrid()->isVisible());
    const char* captions[] = {"", "Lobby", "Camera in Summary Tab", "Camera 3 Not Attached",
                              "Camera 4 Not Attached"};
    for (int v = 1; v <= 4; ++v) {
        EXPECT_EQ(window.VideoView(v)->Caption()->text(), captions[v]) << "view " << v;
        EXPECT_EQ(window.VideoView(v)->Live(), v == 1) << "view " << v;
    }
    EXPECT_FALSE(summary.CameraPicture()->Live());
    EXPECT_GE(GrabsOf(1), 1);
    EXPECT_EQ(GrabsOf(3) + GrabsOf(4) + GrabsOf(0), 0);
    CameraViewWidget& lobby = *window.VideoView(1);
    EXPECT_TRUE(IsGreen(PictureColour(lobby, -1)));
    EXPECT_TRUE(IsRed(PictureColour(lobby, +1)));
    QTest::mouseClick(window.ResolutionChangeButton(), Qt::LeftButton);
    EXPECT_EQ(resolutionChanges, 1);

    // A camera that goes away stops and leaves no stale picture behind.
    view.cameras.views[1] = CameraView{"Camera 1 Not Attached", false, 0};
    view.Changed();
    Pump();
    EXPECT_FALSE(lobby.Live());
    EXPECT_FALSE(IsGreen(PictureColour(lobby, -1)));
    EXPECT_FALSE(IsRed(PictureColour(lobby, +1)));

    // A hidden window asks for nothing, however often it renders.
    view.cameras.views[1] = CameraView{"Lobby", true, 1};
    view.Changed();
    Pump();
    ASSERT_TRUE(lobby.Live());
    window.hide();
    const std::size_t grabsBefore = grabs.size();
    view.Changed();
    Pump();
    EXPECT_FALSE(lobby.Live());
    EXPECT_FALSE(summary.CameraPicture()->Live());
    EXPECT_EQ(grabs.size(), grabsBefore);
    window.show();
    Pump();

    // The front view turns the tab when it changes, and only then.
    window.Tabs()->setCurrentWidget(&summary);
    view.cameras.frontView = 3;
    view.Changed();
    Pump();
    EXPECT_EQ(window.Tabs()->currentWidget(), window.VideoTab());
    window.Tabs()->setCurrentWidget(&summary);
    view.Changed();
    Pump();
    EXPECT_EQ(window.Tabs()->currentWidget(), &summary) << "the user's tab was taken away";
}

TEST_F(CameraViewsTest, CameraFrameWithoutEnoughPixelsIsNotDrawn) {
    CameraViewWidget widget([](int, CameraFrame& frame) {
        frame = RedBelowGreen();
        frame.pixels.resize(frame.pixels.size() - 1);  // one byte short of the last row
        return true;
    });
    widget.resize(200, 180);
    widget.Render(CameraView{"Lobby", true, 1});
    widget.show();
    Pump();
    ASSERT_TRUE(widget.Live());
    EXPECT_FALSE(IsGreen(PictureColour(widget, -1)));
    EXPECT_FALSE(IsRed(PictureColour(widget, +1)));
}

TEST_F(CameraViewsTest, CamerasPageForwardsEditsUnderTheStoredKeys) {
    std::vector<std::pair<std::string, bool>> ticks;
    std::vector<std::pair<std::string, std::string>> texts;
    std::vector<std::string> left;
    SetupWindowCommands commands;
    // A small stand-in for the preference rules: what is typed and "Capture to AVI" are kept;
    // the Summary tab is already held, so camera 2 may not take it.
    commands.tick = [&](const std::string& key, bool ticked) {
        ticks.emplace_back(key, ticked);
        if (key == "CaptureToAVI1") {
            prefs.cameras[1].CaptureToAVI = ticked;
        }
    };
    commands.changeText = [&](const std::string& key, const std::string& text) {
        texts.emplace_back(key, text);
        if (key == "FPS1") {
            prefs.cameras[1].FPS = text;
        } else if (key == "AutoDisconnectInterval2") {
            prefs.cameras[2].AutoDisconnectInterval = text;
        } else if (key == "cmbProximNumber1") {
            prefs.prox[1].cmbProximNumber = text;
        }
    };
    commands.leaveBox = [&](const std::string& key) { left.push_back(key); };

    prefs.prox[1].chkCamMon = true;
    prefs.prox[1].cmbProximNumber = "2";
    prefs.cameras[1].FPS = "15";
    prefs.cameras[2].AutoDisconnect = true;
    view.cameras.names[1] = "Lobby";
    view.cameras.names[2] = "Back Door";
    view.cameras.sendToSummary[1] = true;
    SetupWindow window(view, prefs, std::move(commands));
    view.setupWindowVisible = true;
    view.Changed();
    Pump();
    window.activateWindow();

    // Pages added later come after it, so the others keep their places.
    ASSERT_GE(window.Tabs()->count(), 6);
    EXPECT_EQ(window.Tabs()->tabText(2), "Devices");
    EXPECT_EQ(window.Tabs()->tabText(5), "Cameras");
    window.Tabs()->setCurrentIndex(int(SetupWindow::Page::Cameras));
    Pump();
    SetupCamerasPage& page = *window.CamerasPage();

    EXPECT_TRUE(page.NoCamerasNote()->isHidden());
    EXPECT_TRUE(page.CameraGroup(1)->isVisible());
    EXPECT_TRUE(page.CameraGroup(2)->isVisible());
    EXPECT_TRUE(page.CameraGroup(3)->isHidden());
    EXPECT_TRUE(page.CameraGroup(4)->isHidden());
    EXPECT_EQ(page.Switch("chkCamMon", 1)->text(), "&Monitor Only");
    EXPECT_TRUE(page.Switch("chkCamMon", 1)->isChecked());
    EXPECT_FALSE(page.Switch("chkCamMon", 2)->isChecked());
    EXPECT_TRUE(page.Switch("AutoDisconnect", 2)->isChecked());
    EXPECT_TRUE(page.Switch("chkSendToSummary", 1)->isChecked());
    EXPECT_EQ(page.ProximityNumberBox(1)->currentText(), "2");
    EXPECT_EQ(page.ProximityNumberBox(2)->currentText(), " ");
    EXPECT_EQ(page.FpsBox(1)->text(), "15");
    EXPECT_EQ(page.IntervalBox(1)->text(), "4000");

    QCheckBox* capture = page.Switch("CaptureToAVI", 1);
    QTest::mouseClick(capture, Qt::LeftButton, {}, QPoint(8, capture->height() / 2));
    QCheckBox* summary2 = page.Switch("chkSendToSummary", 2);
    QTest::mouseClick(summary2, Qt::LeftButton, {}, QPoint(8, summary2->height() / 2));
    Pump();
    const std::vector<std::pair<std::string, bool>> wantTicks = {{"CaptureToAVI1", true},
                                                                 {"chkSendToSummary2", true}};
    EXPECT_EQ(ticks, wantTicks);
    EXPECT_TRUE(capture->isChecked());
    EXPECT_FALSE(summary2->isChecked()) << "a refused tick must show undone";

    // Typing goes out as the box's text; leaving the box has it checked.
    QLineEdit* fps = page.FpsBox(1);
    QTest::mouseClick(fps, Qt::LeftButton);
    fps->selectAll();
    QTest::keyClicks(fps, "20");
    QTest::mouseClick(page.IntervalBox(2), Qt::LeftButton);
    QTest::keyClick(page.IntervalBox(2), Qt::Key_End);
    QTest::keyClick(page.IntervalBox(2), Qt::Key_5);
    page.ProximityNumberBox(1)->setFocus();
    QTest::keyClick(page.ProximityNumberBox(1), Qt::Key_Down);
    Pump();
    const std::vector<std::pair<std::string, std::string>> wantTexts = {
        {"FPS1", "2"},
        {"FPS1", "20"},
        {"AutoDisconnectInterval2", "40005"},
        {"cmbProximNumber1", "3"}};
    EXPECT_EQ(texts, wantTexts);
    const std::vector<std::string> wantLeft = {"FPS1", "AutoDisconnectInterval2"};
    EXPECT_EQ(left, wantLeft);

    // Without named cameras the page says how to add one.
    view.cameras.names = {};
    view.Changed();
    Pump();
    EXPECT_FALSE(page.NoCamerasNote()->isHidden());
    EXPECT_TRUE(page.CameraGroup(1)->isHidden());
    EXPECT_TRUE(page.CameraGroup(2)->isHidden());
}

}  // namespace
}  // namespace vigiltron
