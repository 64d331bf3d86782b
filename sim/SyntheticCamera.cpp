#include "sim/SyntheticCamera.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/NewFile.h"

namespace vigiltron {

struct SyntheticCameraSlot {
    int number = 0;
    SyntheticCameraOptions options;
    bool unplugged = false;
    std::set<SyntheticCamera*> open;
};

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1080;
// The bars scroll by one frame width in this time.
constexpr long long kScrollPeriodMs = 4000;
// AVI 1.0 keeps sizes in 32 bits and many readers stop at 1 GiB; a clip stays below that.
constexpr std::uint64_t kMaxAviBytes = 1'000'000'000;
// When the loop falls behind, at most this many missed frames are repeated in a clip.
constexpr int kMaxRepeatedFrames = 50;

// A 5x7 font for the stamp: seven rows per glyph, bit 4 is the leftmost column.
const std::array<std::uint8_t, 7>& Glyph(char c) {
    static const std::array<std::array<std::uint8_t, 7>, 10> kDigits{{
        {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
        {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
        {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
        {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
        {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
        {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
        {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
        {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
        {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
        {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    }};
    static const std::array<std::uint8_t, 7> kColon{0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00};
    static const std::array<std::uint8_t, 7> kDash{0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00};
    static const std::array<std::uint8_t, 7> kDot{0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C};
    static const std::array<std::uint8_t, 7> kBlank{};
    if (c >= '0' && c <= '9') {
        return kDigits[static_cast<std::size_t>(c - '0')];
    }
    return c == ':' ? kColon : c == '-' ? kDash : c == '.' ? kDot : kBlank;
}

void Put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void PutFourCc(std::string& out, const char (&code)[5]) {
    out.append(code, 4);
}

// BITMAPINFOHEADER for a bottom-up 24-bit BI_RGB picture.
void PutBitmapInfoHeader(std::string& out, const CameraFrame& frame) {
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(frame.width));
    Put32(out, static_cast<std::uint32_t>(frame.height));  // positive: rows run bottom-up
    Put16(out, 1);                                         // planes
    Put16(out, 24);                                        // bits per pixel
    Put32(out, 0);                                         // BI_RGB
    Put32(out, static_cast<std::uint32_t>(frame.pixels.size()));
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
}

bool ValidSize(int width, int height) {
    return width >= kMinSide && height >= kMinSide && width <= kMaxWidth && height <= kMaxHeight;
}

std::string TwoDigits(long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", value);
    return text;
}

}  // namespace

CameraFrame RenderSyntheticFrame(int width, int height, Milliseconds elapsed,
                                 const std::string& stamp) {
    // 75% colour bars: white, yellow, cyan, green, magenta, red, blue, black (as R, G, B).
    static const std::uint8_t kBars[8][3] = {
        {191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
        {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {16, 16, 16},
    };
    CameraFrame frame;
    frame.width = width;
    frame.height = height;
    const std::size_t stride = static_cast<std::size_t>(frame.Stride());
    frame.pixels.assign(stride * static_cast<std::size_t>(height), 0);

    const long long phase = elapsed.count() % kScrollPeriodMs;
    const long long shift = phase * width / kScrollPeriodMs;
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < width; ++x) {
        const long long bar = (x + shift) % width * 8 / width;
        const auto& rgb = kBars[bar];
        row[static_cast<std::size_t>(x) * 3 + 0] = rgb[2];
        row[static_cast<std::size_t>(x) * 3 + 1] = rgb[1];
        row[static_cast<std::size_t>(x) * 3 + 2] = rgb[0];
    }
    for (int y = 0; y < height; ++y) {
        std::copy(row.begin(), row.end(), frame.pixels.begin() + static_cast<long>(y * stride));
    }

    // The stamp: white glyphs on a black box, larger on larger frames.
    const int scale = std::max(1, height / 120);
    const int margin = 2 * scale;
    const int boxRight = std::min(width, margin * 2 + static_cast<int>(stamp.size()) * 6 * scale);
    const int boxBottom = std::min(height, margin * 2 + 7 * scale);
    const auto set = [&](int x, int y, std::uint8_t value) {
        const std::size_t at =
            static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
        frame.pixels[at] = frame.pixels[at + 1] = frame.pixels[at + 2] = value;
    };
    for (int y = 0; y < boxBottom; ++y) {
        for (int x = 0; x < boxRight; ++x) {
            set(x, y, 0);
        }
    }
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        const auto& glyph = Glyph(stamp[i]);
        const int left = margin + static_cast<int>(i) * 6 * scale;
        for (int gy = 0; gy < 7 * scale; ++gy) {
            for (int gx = 0; gx < 5 * scale; ++gx) {
                const int x = left + gx;
                const int y = margin + gy;
                if (x < width && y < height && (glyph[gy / scale] >> (4 - gx / scale) & 1)) {
                    set(x, y, 255);
                }
            }
        }
    }
    return frame;
}

// Appends the frames of one clip to an AVI 1.0 file as they come. The fields that depend on the
// frame count are written as zero first and patched by Finish, which also adds the index.
class SyntheticCamera::AviWriter {
public:
    static std::unique_ptr<AviWriter> Create(const std::string& path, const CameraFrame& first,
                                             int fps, std::string& error) {
        error = RefuseExistingFile(path);
        if (!error.empty()) {
            return nullptr;
        }
        std::unique_ptr<AviWriter> writer(new AviWriter(path, first, fps));
        if (!writer->file_) {
            error = "Cannot create the file " + path + ".";
            return nullptr;
        }
        writer->WriteHeader(first);
        writer->Append(first, 1);
        if (!writer->error_.empty()) {
            error = writer->error_;
            writer->file_.close();
            RemoveFileQuietly(path);
            return nullptr;
        }
        return writer;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Adds `count` copies of `frame` (more than one when frames were missed). Once writing has
    // failed nothing more is written; Finish reports the failure.
    void Append(const CameraFrame& frame, int count) {
        for (int i = 0; i < count && error_.empty(); ++i) {
            if (BytesWith(frames_ + 1) > kMaxAviBytes) {
                cutShort_ = true;
                return;
            }
            std::string chunk;
            PutFourCc(chunk, "00db");
            Put32(chunk, frameBytes_);
            file_.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            file_.write(reinterpret_cast<const char*>(frame.pixels.data()),
                        static_cast<std::streamsize>(frame.pixels.size()));
            if (!file_) {
                error_ = "Writing the clip " + path_ + " failed.";
                return;
            }
            ++frames_;
        }
    }

    // Adds the index and patches the counts and sizes; returns why the clip is not complete, or
    // an empty text.
    std::string Finish() {
        if (error_.empty()) {
            std::string index;
            PutFourCc(index, "idx1");
            Put32(index, 16 * frames_);
            for (std::uint32_t i = 0; i < frames_; ++i) {
                PutFourCc(index, "00db");
                Put32(index, 0x10);  // AVIIF_KEYFRAME: every frame stands alone
                Put32(index, 4 + i * (8 + frameBytes_));  // from the 'movi' code
                Put32(index, frameBytes_);
            }
            file_.write(index.data(), static_cast<std::streamsize>(index.size()));
            const std::uint32_t movi = 4 + frames_ * (8 + frameBytes_);
            Patch(kRiffSizeAt, static_cast<std::uint32_t>(BytesWith(frames_) - 8));
            Patch(kTotalFramesAt, frames_);
            Patch(kStreamLengthAt, frames_);
            Patch(kMoviSizeAt, movi);
            file_.flush();
            if (!file_) {
                error_ = "Writing the clip " + path_ + " failed.";
            }
        }
        file_.close();
        if (error_.empty() && file_.fail()) {
            error_ = "Writing the clip " + path_ + " failed.";
        }
        if (error_.empty() && cutShort_) {
            return "The clip " + path_ + " was cut short at the size limit of the AVI format.";
        }
        return error_;
    }

private:
    // Where the header fields that Finish patches sit.
    static constexpr std::streamoff kRiffSizeAt = 4;
    static constexpr std::streamoff kTotalFramesAt = 48;    // 'avih' dwTotalFrames
    static constexpr std::streamoff kStreamLengthAt = 140;  // 'strh' dwLength
    static constexpr std::streamoff kMoviSizeAt = 216;
    static constexpr std::uint64_t kHeaderBytes = 224;  // up to the first frame chunk

    AviWriter(const std::string& path, const CameraFrame& first, int fps)
        : path_(path),
          width_(first.width),
          height_(first.height),
          fps_(fps),
          frameBytes_(static_cast<std::uint32_t>(first.pixels.size())),
          file_(path, std::ios::binary | std::ios::out | std::ios::trunc) {}

    // The whole file's size with `frames` frames and their index.
    std::uint64_t BytesWith(std::uint64_t frames) const {
        return kHeaderBytes + frames * (8 + frameBytes_) + 8 + 16 * frames;
    }

    void WriteHeader(const CameraFrame& first) {
        const auto w = static_cast<std::uint32_t>(width_);
        const auto h = static_cast<std::uint32_t>(height_);
        const auto rate = static_cast<std::uint32_t>(fps_);
        std::string out;
        PutFourCc(out, "RIFF");
        Put32(out, 0);  // patched
        PutFourCc(out, "AVI ");
        PutFourCc(out, "LIST");
        Put32(out, 192);
        PutFourCc(out, "hdrl");

        PutFourCc(out, "avih");
        Put32(out, 56);
        Put32(out, 1'000'000 / rate);          // microseconds per frame
        Put32(out, (frameBytes_ + 8) * rate);  // max bytes per second
        Put32(out, 0);                         // padding granularity
        Put32(out, 0x10);                      // AVIF_HASINDEX
        Put32(out, 0);                         // total frames, patched
        Put32(out, 0);                         // initial frames
        Put32(out, 1);                         // streams
        Put32(out, frameBytes_ + 8);           // suggested buffer size
        Put32(out, w);
        Put32(out, h);
        for (int i = 0; i < 4; ++i) {
            Put32(out, 0);
        }

        PutFourCc(out, "LIST");
        Put32(out, 116);
        PutFourCc(out, "strl");
        PutFourCc(out, "strh");
        Put32(out, 56);
        PutFourCc(out, "vids");
        PutFourCc(out, "DIB ");
        Put32(out, 0);  // flags
        Put16(out, 0);  // priority
        Put16(out, 0);  // language
        Put32(out, 0);  // initial frames
        Put32(out, 1);  // scale
        Put32(out, rate);
        Put32(out, 0);  // start
        Put32(out, 0);  // length in frames, patched
        Put32(out, frameBytes_ + 8);
        Put32(out, 0xFFFFFFFF);  // quality: default
        Put32(out, 0);           // sample size: varies per frame
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, static_cast<std::uint16_t>(w));
        Put16(out, static_cast<std::uint16_t>(h));
        PutFourCc(out, "strf");
        Put32(out, 40);
        PutBitmapInfoHeader(out, first);

        PutFourCc(out, "LIST");
        Put32(out, 0);  // patched
        PutFourCc(out, "movi");
        file_.write(out.data(), static_cast<std::streamsize>(out.size()));
        if (!file_) {
            error_ = "Writing the clip " + path_ + " failed.";
        }
    }

    void Patch(std::streamoff at, std::uint32_t value) {
        std::string bytes;
        Put32(bytes, value);
        file_.seekp(at);
        file_.write(bytes.data(), 4);
    }

    std::string path_;
    int width_;
    int height_;
    int fps_;
    std::uint32_t frameBytes_;
    std::ofstream file_;
    std::uint32_t frames_ = 0;
    bool cutShort_ = false;
    std::string error_;
};

SyntheticCamera::SyntheticCamera(EventLoop& loop, const Clock* clock, int number,
                                 SyntheticCameraOptions options)
    : loop_(loop),
      clock_(clock),
      number_(number),
      options_(options),
      width_(options.width),
      height_(options.height) {
    options_.fps = std::clamp(options_.fps, 1, 60);
    if (!ValidSize(width_, height_)) {
        width_ = 320;
        height_ = 240;
    }
}

SyntheticCamera::~SyntheticCamera() {
    if (clip_) {
        FinishClip();
    }
    if (timer_ != 0) {
        loop_.CancelTimer(timer_);
    }
    if (slot_) {
        slot_->open.erase(this);
    }
}

void SyntheticCamera::SetCaptureSize(int width, int height) {
    if (ValidSize(width, height)) {
        width_ = width;
        height_ = height;
    }
}

void SyntheticCamera::SetFrameRate(int fps) {
    // The clip's header holds its rate: a change waits for the clip to end.
    if (clip_ || fps < 1 || fps > 60 || fps == options_.fps) {
        return;
    }
    options_.fps = fps;
    if (timer_ != 0) {
        loop_.CancelTimer(timer_);
        timer_ = 0;
        UpdateTimer();
    }
}

void SyntheticCamera::StartPreview() {
    if (!Lost()) {
        previewing_ = true;
        UpdateTimer();
    }
}

void SyntheticCamera::StopPreview() {
    previewing_ = false;
    UpdateTimer();
}

const CameraFrame& SyntheticCamera::CurrentFrame() {
    // Without running frames the camera still sees: the picture is taken now.
    if (timer_ == 0 || frame_.width != width_ || frame_.height != height_) {
        frame_ = RenderSyntheticFrame(width_, height_, loop_.Elapsed(), Stamp());
    }
    return frame_;
}

bool SyntheticCamera::GrabFrame(CameraFrame& frame) {
    if (Lost()) {
        return false;
    }
    frame = CurrentFrame();
    return true;
}

bool SyntheticCamera::SaveStill(const std::string& path, std::string& error) {
    if (Lost()) {
        error = lostText_;
        return false;
    }
    error = RefuseExistingFile(path);
    if (!error.empty()) {
        return false;
    }
    const CameraFrame& frame = CurrentFrame();
    std::string header;
    header += "BM";
    Put32(header, static_cast<std::uint32_t>(14 + 40 + frame.pixels.size()));
    Put32(header, 0);   // reserved
    Put32(header, 54);  // pixels follow the two headers
    PutBitmapInfoHeader(header, frame);
    std::ofstream file(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!file) {
        error = "Cannot create the file " + path + ".";
        return false;
    }
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
    file.write(reinterpret_cast<const char*>(frame.pixels.data()),
               static_cast<std::streamsize>(frame.pixels.size()));
    file.close();
    if (file.fail()) {
        RemoveFileQuietly(path);
        error = "Writing the picture " + path + " failed.";
        return false;
    }
    return true;
}

bool SyntheticCamera::StartClip(const std::string& path, std::string& error) {
    if (Lost()) {
        error = lostText_;
        return false;
    }
    if (clip_) {
        error = "A clip is already being recorded.";
        return false;
    }
    const CameraFrame first = RenderSyntheticFrame(width_, height_, loop_.Elapsed(), Stamp());
    clip_ = AviWriter::Create(path, first, options_.fps, error);
    if (!clip_) {
        return false;
    }
    frame_ = first;
    UpdateTimer();
    return true;
}

void SyntheticCamera::StopClip(std::function<void(const std::string& error)> done) {
    std::string error;
    if (clip_) {
        error = FinishClip();
        UpdateTimer();
    } else {
        error = Lost() ? lostText_ : "No clip is being recorded.";
    }
    if (done) {
        loop_.Post([done = std::move(done), error] { done(error); });
    }
}

void SyntheticCamera::Unplug() {
    if (Lost()) {
        return;
    }
    lostText_ = "Synthetic camera " + std::to_string(number_) + " was unplugged.";
    std::string error = lostText_;
    if (clip_) {
        const std::string clipError = FinishClip();
        if (!clipError.empty()) {
            error += " " + clipError;
        }
    }
    previewing_ = false;
    UpdateTimer();
    // A copy: the handler may well destroy this camera.
    const auto lost = onLost;
    if (lost) {
        lost(error);
    }
}

void SyntheticCamera::UpdateTimer() {
    const bool wanted = !Lost() && (previewing_ || clip_ != nullptr);
    if (wanted && timer_ == 0) {
        framesStart_ = loop_.Elapsed();
        frameIndex_ = 0;
        ScheduleTick();
    } else if (!wanted && timer_ != 0) {
        loop_.CancelTimer(timer_);
        timer_ = 0;
    }
}

void SyntheticCamera::ScheduleTick() {
    // Due times count from when frames started, so a clip's frame rate does not drift with
    // late timers.
    ++frameIndex_;
    const Milliseconds due = framesStart_ + Milliseconds(frameIndex_ * 1000 / options_.fps);
    const Milliseconds delay = std::max(Milliseconds(0), due - loop_.Elapsed());
    timer_ = loop_.StartTimer(delay, [this] { Tick(); });
}

void SyntheticCamera::Tick() {
    timer_ = 0;
    const Milliseconds now = loop_.Elapsed();
    // Frames whose time has passed since the last one; a late loop repeats the picture in the
    // clip so that the clip lasts as long as the recording did.
    int count = 1;
    while (count < kMaxRepeatedFrames &&
           framesStart_ + Milliseconds((frameIndex_ + 1) * 1000 / options_.fps) <= now) {
        ++frameIndex_;
        ++count;
    }
    const std::string stamp = Stamp();
    frame_ = RenderSyntheticFrame(width_, height_, now, stamp);
    if (clip_) {
        if (clip_->Width() == width_ && clip_->Height() == height_) {
            clip_->Append(frame_, count);
        } else {
            clip_->Append(RenderSyntheticFrame(clip_->Width(), clip_->Height(), now, stamp), count);
        }
    }
    ScheduleTick();
}

std::string SyntheticCamera::Stamp() const {
    if (clock_ != nullptr) {
        const LocalDateTime t = clock_->Now();
        return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " +
               TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second) + "." +
               std::to_string(t.millisecond / 100);
    }
    const long long seconds = loop_.Elapsed().count() / 1000;
    return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" +
           TwoDigits(seconds % 60) + "." + std::to_string(loop_.Elapsed().count() / 100 % 10);
}

std::string SyntheticCamera::FinishClip() {
    std::string error = clip_->Finish();
    clip_.reset();
    return error;
}

SyntheticCameraBackend::SyntheticCameraBackend(EventLoop& loop, const Clock* clock)
    : loop_(loop), clock_(clock) {}

SyntheticCameraBackend::~SyntheticCameraBackend() {
    // Cameras still open outlive the back-end; they just stop reporting to it.
    for (auto& [number, slot] : slots_) {
        for (SyntheticCamera* camera : slot->open) {
            camera->slot_.reset();
        }
    }
}

void SyntheticCameraBackend::Add(int number, SyntheticCameraOptions options) {
    if (number < 1 || number > 4) {
        return;
    }
    auto& slot = slots_[number];
    if (!slot) {
        slot = std::make_shared<SyntheticCameraSlot>();
        slot->number = number;
    }
    slot->options = options;
}

void SyntheticCameraBackend::Unplug(int number) {
    const auto it = slots_.find(number);
    if (it == slots_.end()) {
        return;
    }
    const std::shared_ptr<SyntheticCameraSlot> slot = it->second;
    slot->unplugged = true;
    const std::vector<SyntheticCamera*> open(slot->open.begin(), slot->open.end());
    for (SyntheticCamera* camera : open) {
        // An earlier camera's onLost may have closed this one.
        if (slot->open.count(camera)) {
            camera->Unplug();
        }
    }
}

void SyntheticCameraBackend::Plug(int number) {
    const auto it = slots_.find(number);
    if (it != slots_.end()) {
        it->second->unplugged = false;
    }
}

std::vector<CameraDeviceInfo> SyntheticCameraBackend::Devices() const {
    std::vector<CameraDeviceInfo> devices;
    for (const auto& [number, slot] : slots_) {
        if (!slot->unplugged) {
            devices.push_back({"synthetic:" + std::to_string(number),
                               "Synthetic camera " + std::to_string(number)});
        }
    }
    return devices;
}

std::unique_ptr<CameraDevice> SyntheticCameraBackend::Open(int index, std::string& error) {
    int position = 0;
    for (const auto& [number, slot] : slots_) {
        if (slot->unplugged) {
            continue;
        }
        if (position++ == index) {
            auto camera = std::make_unique<SyntheticCamera>(loop_, clock_, number, slot->options);
            camera->slot_ = slot;
            slot->open.insert(camera.get());
            return camera;
        }
    }
    error = "There is no camera " + std::to_string(index) + " to open.";
    return nullptr;
}

std::vector<SyntheticCamera*> SyntheticCameraBackend::OpenDevices(int number) const {
    const auto it = slots_.find(number);
    if (it == slots_.end()) {
        return {};
    }
    return {it->second->open.begin(), it->second->open.end()};
}

}  // namespace vigiltron
