// Drives the accelerometer and distance line handling with arbitrary input: bytes through a
// simulated serial port (split anywhere, junk, floods), the handlers' bytes-in entry points, the
// mode, sensitivity and calibration commands, ports that vanish, error events, and the reading
// value rule. After every step the stream state must stay bounded, and at the end a good line
// must be handled normally.
//
// Input: one flags byte (bit 0 distance sensor, bit 1 start in the event mode, bit 2 alerts
// disabled), then steps of one header byte (operation in the top three bits, chunk length - 1 in
// the low five) followed by the chunk.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "alerts/AlertDispatcher.h"
#include "alerts/ProximityActions.h"
#include "alerts/SoundPlayer.h"
#include "alerts/ThresholdEvaluator.h"
#include "alerts/UnconfiguredTransports.h"
#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/Journal.h"
#include "core/LineFramer.h"
#include "core/ReadingValue.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "sensors/ReadingPipeline.h"
#include "sensors/SensorLink.h"
#include "sensors/StreamingSensors.h"
#include "sim/RecordingSystemActions.h"
#include "sim/ScriptedDialogs.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSensor.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

// Stops the run with a crash report when an invariant does not hold.
void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class FuzzSensor : public SimulatedSensor {
public:
    using SimulatedSensor::SimulatedSensor;
    void Push(std::string bytes) { Send(std::move(bytes), Milliseconds(0)); }
};

class SilentSound : public SoundPlayer {
public:
    void Play(bool) override {}
    void Stop() override {}
};

constexpr int kEntry = 4;
constexpr int kCom = 7;

struct Rig {
    explicit Rig(std::uint8_t flags)
        : distance((flags & 1) != 0),
          kind(distance ? DeviceKind::Distance : DeviceKind::Accelerometer) {
        prefs.chkLocalMonitoring = (flags & 4) != 0;
        for (int family : kAlertFamilies) {
            prefs.chkOnScreenAlert[std::size_t(family)] = true;
            prefs.chkEmailAlert[std::size_t(family)] = true;
            prefs.chkPageAlert[std::size_t(family)] = true;
        }
        prefs.chkOnScreenOnProx = true;
        DeviceRecord record;
        record.deviceType = distance ? kTypeDistance : kTypeAccelerometer;
        record.deviceName = "Fuzzed";
        record.port = kCom;
        record.subIndex = "1";
        record.tabLogging = true;
        record.startInBump = !distance && (flags & 2) != 0;
        record.startInProx = distance && (flags & 2) != 0;
        model.SetEntry(kEntry, record);
        model.CreateSetupArray();
        model.TakeSlot(kEntry);
        view.Commands(kEntry).connectEnabled = true;
        sensor = std::make_shared<FuzzSensor>(
            loop, distance ? SensorKind::Distance : SensorKind::Accelerometer);
        sensor->SetStreamInterval(Milliseconds(3600000));  // only the fuzzer's bytes arrive
        ports.Attach(kCom, sensor);
        link.AttachEventSensors(streaming, streaming);
        link.ConnectSensor(kEntry);
    }

    Tab tab() const { return distance ? Tab::Distance : Tab::Accelerometer; }
    SerialPort* Port() {
        return link.Port(kEntry, distance ? PortGroup::Distance : PortGroup::Accelerometer);
    }
    bool EventMode() const {
        const DeviceRecord* r = model.Entry(kEntry);
        return distance ? r->proximityMode : r->bumpMode;
    }

    const bool distance;
    const DeviceKind kind;
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 8, 9, 5, 7, 0}};
    ScriptedDialogs dialogs;
    NullJournal journal;
    Preferences prefs;
    ViewModel view;
    MemorySettingsTree settings;
    DeviceModel model{dialogs, settings};
    SilentSound sound;
    UnconfiguredMailTransport mail;
    UnconfiguredSmtpMailer smtp;
    UnconfiguredPager pager;
    AlertDispatcher alerts{AlertDispatcher::Services{
        prefs, view, model, dialogs, journal, clock, settings, sound, mail, smtp, pager, {}, {}}};
    ThresholdEvaluator evaluator{
        ThresholdEvaluator::Services{prefs, view, model, alerts, {}, [] { return false; }}};
    SimulatedPortFactory ports{loop};
    LogFiles logFiles{LogFiles::Services{loop, clock, dialogs, model, view, settings, prefs}};
    RecordingSystemActions system;
    ProximityActions actions{
        ProximityActions::Services{prefs, settings, dialogs, loop, system, model, view}, {}};
    ReadingPipeline readings{ReadingPipeline::Services{clock, journal, model, view, prefs,
                                                       evaluator, actions, logFiles}};
    SensorLink link{SensorLink::Services{loop, dialogs, journal, ports, model, view, prefs,
                                         readings, logFiles, nullptr, nullptr}};
    StreamingSensors streaming{StreamingSensors::Services{loop, clock, dialogs, journal, model,
                                                          view, prefs, settings, link, actions,
                                                          logFiles, readings}};
    std::shared_ptr<FuzzSensor> sensor;
};

void CheckReadingValue(std::string_view text, std::size_t count) {
    const double number = LeadingNumber(text);
    const std::string plain = PlainDecimal(number);
    Require(!plain.empty());
    Require(plain.find_first_of("eE") == std::string::npos);
    const std::string value = ReadingValue(text, count);
    Require(!value.empty());
    Require(value.find_first_of("eE") == std::string::npos);
    if (std::isfinite(number)) {
        // A plain decimal reads back as the number it was made from.
        Require(LeadingNumber(plain) == number || number == 0.0);
    }
}

void Command(Rig& rig, std::string_view chunk) {
    const int selector = static_cast<unsigned char>(chunk[0]) % 8;
    const std::string answer(chunk.substr(1));
    switch (selector) {
        case 0:
            rig.distance ? rig.streaming.cmdSetToProximityMode_Click(1)
                         : rig.streaming.cmdSetToBump_Click(1);
            break;
        case 1:
            rig.distance ? rig.streaming.mnuPopupSetProximityMode_Click(kEntry)
                         : rig.streaming.mnuPopUpSetToBinaryMode_Click(kEntry);
            break;
        case 2:
            rig.dialogs.QueueText(answer);
            rig.streaming.mnuPopupSetSensitivity_Click(kEntry);
            break;
        case 3:
            rig.dialogs.QueueText(answer);
            rig.distance ? rig.streaming.cmdSensD_Click(1) : rig.streaming.cmdSetBumpSens_Click(1);
            break;
        case 4:
            rig.distance ? rig.streaming.cmdDPlus_Click(1) : rig.streaming.cmdCalibrate_Click(1);
            break;
        case 5:
            rig.streaming.RestartStreaming(kEntry);
            break;
        case 6:  // the cable is pulled in the middle of whatever is arriving, then put back
            rig.sensor->SetUnplugged(true);
            rig.loop.RunFor(Milliseconds(1));
            rig.link.cmdConnectSensor_Click(kEntry);  // "Disconnect"
            rig.sensor->SetUnplugged(false);
            rig.link.cmdConnectSensor_Click(kEntry);  // "Connect"
            break;
        default: {
            static constexpr CommEvent kEvents[] = {CommEvent::Framing,    CommEvent::Overrun,
                                                    CommEvent::RxOverflow, CommEvent::RxParity,
                                                    CommEvent::TxFull,     CommEvent::Break,
                                                    CommEvent::CdChange,   CommEvent::DsrChange};
            const std::size_t which = chunk.size() > 1 ? static_cast<unsigned char>(chunk[1]) : 0;
            rig.sensor->InjectEvent(kEvents[which % std::size(kEvents)]);
            rig.loop.RunFor(Milliseconds(1));
            break;
        }
    }
}

void LineEvent(Rig& rig, std::string_view chunk) {
    const unsigned value = static_cast<unsigned char>(chunk[0]);
    switch (value % 4) {
        case 0:
            rig.sensor->Bump();
            break;
        case 1:
            rig.sensor->SetDistance(std::nullopt);
            break;
        case 2:
            rig.sensor->SetDistance(double(value));
            break;
        default:
            break;
    }
    rig.loop.RunFor(Milliseconds(value * 5));
}

void CheckBounded(Rig& rig, std::size_t steps) {
    Require(rig.streaming.PendingBytes(kEntry) <= 2 * LineFramer::kMaxLine);
    Require(rig.streaming.QueuedLines(kEntry) == 0);
    Require(!rig.streaming.CommandUnderWay(kEntry));
    Require(rig.view.busyDepth == 0);
    // Views hold at most 2000 lines, plus one note per command step.
    Require(rig.view.Slot(rig.tab(), 1).log.size() <= 2002 + 4 * steps);
}

}  // namespace
}  // namespace vigiltron

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vigiltron;
    if (size == 0) {
        return 0;
    }
    Rig rig(data[0]);
    std::size_t at = 1;
    std::size_t steps = 0;
    while (at < size) {
        const std::uint8_t header = data[at++];
        const std::size_t length = std::min<std::size_t>((header & 31u) + 1, size - at);
        if (length == 0) {
            break;
        }
        const std::string_view chunk(reinterpret_cast<const char*>(data + at), length);
        at += length;
        ++steps;
        switch (header >> 5) {
            case 0:
            case 1:
            case 2:
                rig.sensor->Push(std::string(chunk));
                rig.loop.RunFor(Milliseconds(header & 3u));
                break;
            case 3: {  // a flood: the chunk again and again, up to 2048 bytes
                std::string flood;
                for (unsigned i = static_cast<unsigned char>(chunk[0]) % 64 + 1; i > 0; --i) {
                    flood += chunk;
                }
                rig.sensor->Push(std::move(flood));
                rig.loop.RunFor(Milliseconds(1));
                break;
            }
            case 4:
                rig.distance ? rig.streaming.DistanceBytes(kEntry, chunk)
                             : rig.streaming.AccelerometerBytes(kEntry, chunk);
                break;
            case 5:
                CheckReadingValue(chunk, static_cast<unsigned char>(chunk[0]) % 16);
                CheckReadingValue(chunk, chunk.size());
                break;
            case 6:
                Command(rig, chunk);
                break;
            default:
                LineEvent(rig, chunk);
                break;
        }
        CheckBounded(rig, steps);
    }

    // Whatever came before, the next good line of a streaming sensor is handled normally.
    SerialPort* port = rig.Port();
    if (port != nullptr && port->IsOpen() && !rig.EventMode()) {
        const std::string good = rig.distance ? "77cm" : "+0.500g -0.250g ";
        // The line is first-in first-out: these queue up behind any reply still on its way.
        rig.sensor->Push("\r");  // ends a line of junk (and meets a drain that is still due)
        rig.loop.RunFor(Milliseconds(100));
        rig.sensor->Push("\r" + good + "\r");
        rig.loop.RunFor(Milliseconds(100));
        Require(rig.view.Row(kEntry).reading == good);
    }
    return 0;
}
