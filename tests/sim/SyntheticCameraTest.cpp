#include "sim/SyntheticCamera.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "sim/Scenario.h"
#include "sim/ScenarioRunner.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono_literals::operator""ms;
using testing::HasSubstr;

namespace fs = std::filesystem;

class SyntheticCameraTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vigiltron-camera-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        backend_.Add(1, {});
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string File(const std::string& name) const { return (dir_ / name).string(); }

    std::unique_ptr<CameraDevice> OpenFirst() {
        std::string error;
        auto camera = backend_.Open(0, error);
        EXPECT_NE(camera, nullptr) << error;
        return camera;
    }

    // Stops the clip and lets the loop deliver the completion; returns its error text.
    std::optional<std::string> Stop(CameraDevice& camera) {
        std::optional<std::string> result;
        camera.StopClip([&](const std::string& error) { result = error; });
        EXPECT_FALSE(result.has_value()) << "the completion runs from the loop, not inside";
        loop_.ProcessPendingEvents();
        return result;
    }

    static std::string Run(const std::string& command) {
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return output;
        }
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, n);
        }
        pclose(pipe);
        return output;
    }

    // What ffprobe makes of a file: "codec_type=video", "width=160", "duration=4.000000", ...
    static std::string Probe(const std::string& path) {
        return Run(
            "ffprobe -v error -show_entries format=duration:stream=codec_type,width,height "
            "-of default=nw=1 '" +
            path + "' 2>&1");
    }

    static double Duration(const std::string& probe) {
        const auto at = probe.find("duration=");
        return at == std::string::npos ? -1.0 : std::stod(probe.substr(at + 9));
    }

    // The first picture of an image or video as ffmpeg decodes it: top-down RGB rows.
    static std::string DecodeFirstFrame(const std::string& path) {
        return Run("ffmpeg -v error -i '" + path +
                   "' -frames:v 1 -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
    }

    static std::vector<unsigned char> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
               static_cast<std::uint32_t>(b[at + 3]) << 24;
    }
    static std::uint16_t U16(const std::vector<unsigned char>& b, std::size_t at) {
        return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
    }
    static std::string Code(const std::vector<unsigned char>& b, std::size_t at) {
        return std::string(b.begin() + static_cast<long>(at),
                           b.begin() + static_cast<long>(at) + 4);
    }

    // Checks that the picture is upright: the stamp's black box is at the top left and the
    // colour bars fill the bottom row.
    static void ExpectUpright(const std::string& rgb, int width, int height) {
        ASSERT_EQ(rgb.size(), static_cast<std::size_t>(width * height * 3));
        const auto pixel = [&](int x, int y) {
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            return (static_cast<unsigned char>(rgb[at]) + static_cast<unsigned char>(rgb[at + 1]) +
                    static_cast<unsigned char>(rgb[at + 2]));
        };
        EXPECT_EQ(pixel(0, 0), 0) << "top left is the stamp's black box";
        EXPECT_GT(pixel(0, height - 1) + pixel(width / 2, height - 1), 100) << "bars at the bottom";
    }

    VirtualEventLoop loop_;
    SyntheticCameraBackend backend_{loop_};
    fs::path dir_;
};

TEST_F(SyntheticCameraTest, AFourSecondClipIsAPlayableVideoWithConsistentHeaders) {
    auto camera = OpenFirst();
    ASSERT_NE(camera, nullptr);
    camera->StartPreview();
    loop_.RunFor(1500ms);
    // The engine shrinks the picture to 160x120 for a clip.
    camera->SetCaptureSize(160, 120);
    std::string error;
    const std::string clip = File("clip.avi");
    ASSERT_TRUE(camera->StartClip(clip, error)) << error;
    EXPECT_TRUE(camera->Recording());
    loop_.RunFor(4000ms);
    const auto stopped = Stop(*camera);
    ASSERT_TRUE(stopped.has_value());
    EXPECT_EQ(*stopped, "");
    EXPECT_FALSE(camera->Recording());

    const std::string probe = Probe(clip);
    EXPECT_THAT(probe, HasSubstr("codec_type=video"));
    EXPECT_THAT(probe, HasSubstr("width=160"));
    EXPECT_THAT(probe, HasSubstr("height=120"));
    EXPECT_GE(Duration(probe), 3.5) << probe;
    EXPECT_LE(Duration(probe), 4.5) << probe;
    ExpectUpright(DecodeFirstFrame(clip), 160, 120);

    // The fields patched at the end agree with each other and with the file.
    const auto b = Bytes(clip);
    ASSERT_GT(b.size(), 224u);
    EXPECT_EQ(Code(b, 0), "RIFF");
    EXPECT_EQ(U32(b, 4), b.size() - 8);
    EXPECT_EQ(U32(b, 32), 100'000u) << "microseconds per frame at 10 fps";
    const std::uint32_t frames = U32(b, 48);
    EXPECT_GE(frames, 40u);
    EXPECT_LE(frames, 41u);
    EXPECT_EQ(U32(b, 140), frames) << "stream length";
    const std::uint32_t frameBytes = 160 * 3 * 120;
    EXPECT_EQ(Code(b, 212), "LIST");
    EXPECT_EQ(U32(b, 216), 4 + frames * (8 + frameBytes));
    const std::size_t index = 220 + U32(b, 216);
    ASSERT_EQ(index + 8 + 16 * frames, b.size());
    EXPECT_EQ(Code(b, index), "idx1");
    EXPECT_EQ(U32(b, index + 4), 16 * frames);
    EXPECT_EQ(U32(b, index + 8 + 16 * (frames - 1) + 8), 4 + (frames - 1) * (8 + frameBytes));

    // The camera never replaces a file, and a second stop says there is nothing to stop.
    EXPECT_FALSE(camera->StartClip(clip, error));
    EXPECT_THAT(error, HasSubstr("already exists"));
    EXPECT_EQ(Bytes(clip), b);
    EXPECT_NE(Stop(*camera).value_or(""), "");
}

TEST_F(SyntheticCameraTest, StillsAreBitmapsOfAMovingPicture) {
    auto camera = OpenFirst();
    ASSERT_NE(camera, nullptr);
    camera->StartPreview();
    loop_.RunFor(1000ms);
    std::string error;
    ASSERT_TRUE(camera->SaveStill(File("a.bmp"), error)) << error;
    loop_.RunFor(1000ms);
    ASSERT_TRUE(camera->SaveStill(File("b.bmp"), error)) << error;
    // An odd width needs padded rows.
    camera->SetCaptureSize(161, 121);
    ASSERT_TRUE(camera->SaveStill(File("odd.bmp"), error)) << error;

    const auto a = Bytes(File("a.bmp"));
    const auto b = Bytes(File("b.bmp"));
    const auto odd = Bytes(File("odd.bmp"));
    for (const auto* bmp : {&a, &b}) {
        ASSERT_EQ(bmp->size(), 54u + 320 * 3 * 240);
        EXPECT_EQ((*bmp)[0], 'B');
        EXPECT_EQ((*bmp)[1], 'M');
        EXPECT_EQ(U32(*bmp, 2), bmp->size());
        EXPECT_EQ(U32(*bmp, 10), 54u);
        EXPECT_EQ(U32(*bmp, 14), 40u);
        EXPECT_EQ(U32(*bmp, 18), 320u);
        EXPECT_EQ(U32(*bmp, 22), 240u);
        EXPECT_EQ(U16(*bmp, 26), 1);
        EXPECT_EQ(U16(*bmp, 28), 24);
        EXPECT_EQ(U32(*bmp, 30), 0u);
    }
    EXPECT_NE(a, b) << "the pattern moves with time";
    ASSERT_EQ(odd.size(), 54u + 484 * 121);
    EXPECT_EQ(U32(odd, 34), 484u * 121);

    const std::string probe = Probe(File("odd.bmp"));
    EXPECT_THAT(probe, HasSubstr("width=161"));
    EXPECT_THAT(probe, HasSubstr("height=121"));
    ExpectUpright(DecodeFirstFrame(File("odd.bmp")), 161, 121);

    EXPECT_FALSE(camera->SaveStill(File("a.bmp"), error));
    EXPECT_THAT(error, HasSubstr("already exists"));
    EXPECT_EQ(Bytes(File("a.bmp")), a);
    EXPECT_FALSE(camera->SaveStill(File("missing-folder/c.bmp"), error));
    EXPECT_FALSE(fs::exists(File("missing-folder/c.bmp")));
}

TEST_F(SyntheticCameraTest, UnpluggingDuringAClipClosesItCleanlyAndReportsTheLoss) {
    backend_.Add(2, {});
    auto camera = OpenFirst();
    ASSERT_NE(camera, nullptr);
    std::vector<std::string> lost;
    camera->onLost = [&](const std::string& error) {
        EXPECT_FALSE(camera->Recording()) << "the clip is closed before onLost runs";
        lost.push_back(error);
    };
    camera->SetCaptureSize(160, 120);
    std::string error;
    const std::string clip = File("cut.avi");
    ASSERT_TRUE(camera->StartClip(clip, error)) << error;
    loop_.RunFor(1500ms);
    backend_.Unplug(1);

    ASSERT_EQ(lost.size(), 1u);
    EXPECT_THAT(lost[0], HasSubstr("unplugged"));
    const std::string probe = Probe(clip);
    EXPECT_THAT(probe, HasSubstr("codec_type=video"));
    EXPECT_GE(Duration(probe), 1.0) << probe;
    EXPECT_LE(Duration(probe), 2.0) << probe;

    // Gone from the list and no longer working; plugged back in it can be opened again.
    ASSERT_EQ(backend_.Devices().size(), 1u);
    EXPECT_EQ(backend_.Devices()[0].description, "Synthetic camera 2");
    EXPECT_FALSE(camera->StartClip(File("after.avi"), error));
    EXPECT_FALSE(camera->SaveStill(File("after.bmp"), error));
    EXPECT_THAT(Stop(*camera).value_or(""), HasSubstr("unplugged"));
    backend_.Unplug(1);
    EXPECT_EQ(lost.size(), 1u) << "reported once";
    backend_.Plug(1);
    ASSERT_EQ(backend_.Devices().size(), 2u);
    EXPECT_EQ(backend_.Devices()[0].description, "Synthetic camera 1");
    auto again = OpenFirst();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->SaveStill(File("after.bmp"), error)) << error;
}

TEST(SyntheticCameraScenarioTest, CameraStatementsAttachCamerasAndReportMistakesWithTheirLine) {
    const auto result = ParseScenario(
        "sensor COM3 temperature\ncamera 1 synthetic\ncamera 3 synthetic fps=5 size=160x120 # "
        "lab\n",
        "lab.scenario");
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.scenario->cameras.size(), 2u);
    const ScenarioCamera& first = result.scenario->cameras[0];
    const ScenarioCamera& third = result.scenario->cameras[1];
    EXPECT_EQ(first.number, 1);
    EXPECT_EQ(first.line, 2);
    EXPECT_EQ(first.options, (SyntheticCameraOptions{10, 320, 240}));
    EXPECT_EQ(third.number, 3);
    EXPECT_EQ(third.line, 3);
    EXPECT_EQ(third.options, (SyntheticCameraOptions{5, 160, 120}));

    VirtualEventLoop loop;
    SimulatedPortFactory factory(loop);
    ScenarioRunner runner(loop, factory);
    runner.Start(*result.scenario);
    const auto devices = runner.Cameras().Devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].description, "Synthetic camera 1");
    EXPECT_EQ(devices[1].description, "Synthetic camera 3");

    const std::pair<const char*, const char*> mistakes[] = {
        {"camera 1 synthetic\ncamera 5 synthetic", "x.scenario:2: bad camera number '5'"},
        {"camera 0 synthetic", "x.scenario:1: bad camera number '0'"},
        {"camera 2 synthetic\n\ncamera 2 synthetic",
         "x.scenario:3: camera 2 is already declared (line 1)"},
        {"camera 1", "x.scenario:1: missing camera kind"},
        {"camera 1 usb", "x.scenario:1: unknown camera kind 'usb'"},
        {"camera 1 synthetic fps=0", "x.scenario:1: bad value for fps: '0'"},
        {"camera 1 synthetic fps=", "x.scenario:1: bad value for fps: ''"},
        {"camera 1 synthetic size=320", "x.scenario:1: bad value for size: '320'"},
        {"camera 1 synthetic size=320x99999", "x.scenario:1: bad value for size"},
        {"camera 1 synthetic colour=red", "x.scenario:1: unknown camera setting 'colour=red'"},
    };
    for (const auto& [text, expected] : mistakes) {
        const auto bad = ParseScenario(text, "x.scenario");
        EXPECT_FALSE(bad.Ok()) << text;
        EXPECT_THAT(bad.error, HasSubstr(expected)) << text;
    }
}

}  // namespace
}  // namespace vigiltron
