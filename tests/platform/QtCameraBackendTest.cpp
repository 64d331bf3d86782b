#include "platform/QtCameraBackend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QCameraDevice>
#include <QMediaDevices>
#include <QMediaFormat>
#include <algorithm>

#include "platform/QtCameraDevice.h"
#include "platform/QtEventLoop.h"

namespace vigiltron {
namespace {

// No camera is needed: the list must be Qt's own, and numbers outside it are refused in words.
TEST(QtCameraBackendTest, OffersQtsVideoInputsAndRefusesNumbersOutsideThem) {
    QtEventLoop loop;
    QtCameraBackend backend(loop);
    const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
    const std::vector<CameraDeviceInfo> devices = backend.Devices();
    ASSERT_EQ(devices.size(), static_cast<std::size_t>(inputs.size()));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].id, inputs[qsizetype(i)].id().toStdString());
        EXPECT_EQ(devices[i].description, inputs[qsizetype(i)].description().toStdString());
    }
    for (const int index : {-1, static_cast<int>(inputs.size())}) {
        std::string error;
        EXPECT_EQ(backend.Open(index, error), nullptr) << index;
        EXPECT_EQ(error, "There is no video capture device number " + std::to_string(index) + ".");
    }
}

// Which codecs Qt can put into AVI, asked the other way round (per codec, which containers).
// QMediaFormat::isSupported cannot tell: it wants an audio codec, and clips have none.
TEST(QtCameraBackendTest, ClipsAreAviWheneverQtCanEncodeItAndRefusedInWordsOtherwise) {
    std::vector<QMediaFormat::VideoCodec> aviCodecs;
    for (int c = 0; c <= int(QMediaFormat::VideoCodec::LastVideoCodec); ++c) {
        QMediaFormat probe;
        probe.setVideoCodec(QMediaFormat::VideoCodec(c));
        if (probe.supportedFileFormats(QMediaFormat::Encode).contains(QMediaFormat::AVI)) {
            aviCodecs.push_back(QMediaFormat::VideoCodec(c));
        }
    }
    QMediaFormat format;
    std::string error;
    const bool available = QtCameraDevice::ChooseClipFormat(format, error);
    ASSERT_EQ(available, !aviCodecs.empty()) << error;
    if (!available) {
        EXPECT_THAT(error, ::testing::StartsWith("This system cannot record AVI clips: "));
        return;
    }
    EXPECT_EQ(format.fileFormat(), QMediaFormat::AVI);
    EXPECT_NE(std::find(aviCodecs.begin(), aviCodecs.end(), format.videoCodec()), aviCodecs.end());
    if (std::count(aviCodecs.begin(), aviCodecs.end(), QMediaFormat::VideoCodec::MotionJPEG)) {
        EXPECT_EQ(format.videoCodec(), QMediaFormat::VideoCodec::MotionJPEG);
    }
}

}  // namespace
}  // namespace vigiltron
