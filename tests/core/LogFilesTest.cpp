#include "reporting/LogFiles.h"

#include <gtest/gtest.h>

#include "support/PlaceDevice.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "reporting/LogLines.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// A log directory of its own for every test, even when several test programs run at once.
fs::path FreshDirectory(const std::string& tag) {
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() /
                         ("vigiltron-logs-" + tag + "-" + std::to_string(random()) + "-" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A file system in memory whose writes and creations can be made to fail.
// A polled reading of entry n as the sensors hand it over.
Reading Polled(const std::string& text, int n, DeviceKind kind, const std::string& unit = "") {
    Reading reading;
    reading.setupIndex = n;
    reading.kind = kind;
    reading.text = text;
    reading.unit = unit;
    return reading;
}

class FakeFiles : public LogFileSystem {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> dirs;
    std::string failure;  // when set, every write and creation fails with this text

    struct Handle : LogFileHandle {
        Handle(FakeFiles& owner, std::string path) : owner(owner), path(std::move(path)) {}
        std::string Write(std::string_view data) override {
            if (!owner.failure.empty()) {
                return owner.failure;
            }
            owner.files[path] += data;
            return "";
        }
        FakeFiles& owner;
        std::string path;
    };

    bool IsDirectory(const std::string& path) const override { return dirs.count(path) > 0; }
    bool Exists(const std::string& path) const override {
        return files.count(path) > 0 || dirs.count(path) > 0;
    }
    std::string CreateDirectories(const std::string& path) override {
        if (!failure.empty()) {
            return failure;
        }
        dirs.insert(path);
        return "";
    }
    Opened Open(const std::string& path, OpenMode mode) override {
        Opened result;
        if (dirs.count(fs::path(path).parent_path().string()) == 0) {
            result.error = "No such file or directory";
        } else if (mode == OpenMode::CreateNew && files.count(path) > 0) {
            result.exists = true;
            result.error = "File exists";
        } else if (!failure.empty()) {
            result.error = failure;
        } else {
            files[path];
            result.file = std::make_unique<Handle>(*this, path);
        }
        return result;
    }
    std::optional<std::uint64_t> FileSize(const std::string& path) const override {
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional<std::uint64_t>(it->second.size());
    }
    // Walks the files that were there when the walk began, with their sizes when they are seen.
    struct Walker : DirectoryWalk {
        const FakeFiles& owner;
        std::vector<std::string> paths;
        std::size_t next = 0;
        explicit Walker(const FakeFiles& owner) : owner(owner) {}
        bool Next(std::string& path, std::uint64_t& size) override {
            for (; next < paths.size(); ++next) {
                const auto it = owner.files.find(paths[next]);
                if (it != owner.files.end()) {
                    path = paths[next++];
                    size = it->second.size();
                    return true;
                }
            }
            return false;
        }
    };
    std::unique_ptr<DirectoryWalk> Walk(const std::string& directory) const override {
        auto walk = std::make_unique<Walker>(*this);
        for (const auto& entry : files) {
            if (entry.first.rfind(directory + "/", 0) == 0) {
                walk->paths.push_back(entry.first);
            }
        }
        return walk;
    }
};

class LogFilesTest : public ::testing::Test {
protected:
    LogFilesTest() {
        dir = FreshDirectory("files");
        prefs.logdir = dir.string();
        logs.defaultLogDirectory = (dir / "default").string();
    }
    ~LogFilesTest() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }

    void AddEntry(int n, const char* type, const std::string& subIndex, const std::string& name,
                  bool fileLogging = true, bool tabLogging = true) {
        DeviceRecord record;
        record.deviceType = type;
        record.deviceName = name;
        record.port = n + 2;
        record.subIndex = subIndex;
        record.fileLogging = fileLogging;
        record.tabLogging = tabLogging;
        PlaceDevice(model, n, record);
    }

    std::vector<std::string> LogFileNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.is_regular_file()) {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Logs readings until entry n's file is exactly `target` bytes long. Returns the readings.
    std::vector<std::string> FillTo(int n, std::uint64_t target) {
        std::vector<std::string> readings;
        const std::string path = logs.CurrentFile(n);
        // Every line is "12/7/2026,4:05:09 PM, " (22), the reading, CR LF.
        while (readings.size() < 100) {
            const std::uint64_t size = fs::file_size(path);
            if (size >= target) {
                EXPECT_EQ(size, target);
                return readings;
            }
            const std::uint64_t remaining = target - size;
            if (remaining < 25) {
                ADD_FAILURE() << "no line fits the last " << remaining << " bytes";
                return readings;
            }
            const std::uint64_t readingLength = remaining > 74 ? 50 - 24 : remaining - 24;
            std::string reading = "r" + std::to_string(readings.size());
            reading.resize(readingLength, '.');
            EXPECT_TRUE(logs.FileTabLogging(Polled(reading, n, DeviceKind::Temperature)));
            readings.push_back(reading);
        }
        ADD_FAILURE() << "the file never reached " << target << " bytes";
        return readings;
    }

    // The reading lines of all log files in the directory, in file-name order, headers dropped.
    std::vector<std::string> AllReadings() const {
        std::vector<std::string> readings;
        for (const std::string& name : LogFileNames()) {
            std::istringstream in(ReadAll(dir / name));
            std::string line;
            while (std::getline(in, line)) {
                const auto comma = line.find("PM, ");
                if (comma != std::string::npos) {
                    readings.push_back(line.substr(comma + 4, line.size() - comma - 5));
                }
            }
        }
        return readings;
    }

    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0}};
    ScriptedDialogs dialogs;
    MemorySettingsTree tree;
    DeviceModel model{dialogs, tree};
    ViewModel view;
    fs::path dir;
    Preferences prefs;
    LogFiles logs{LogFiles::Services{loop, clock, dialogs, model, view, tree, prefs}};
};

constexpr const char* kHeader = "Server room\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n";

TEST(LogLinesTest, FileAndScreenTexts) {
    VirtualEventLoop loop;
    VirtualClock afternoon{loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0}};
    EXPECT_EQ(GetDateTimeStamp(afternoon.Now()), "12072026_040509");
    EXPECT_EQ(GetDateTimeStamp(LocalDateTime{2027, 1, 2, 0, 0, 7, 0}), "01022027_120007");
    EXPECT_EQ(ScreenTime(afternoon.Now()), "04:05 PM");
    EXPECT_EQ(ScreenTime(LocalDateTime{2026, 12, 7, 0, 7, 0, 0}), "12:07 AM");
    EXPECT_EQ(ScreenTime(LocalDateTime{2026, 12, 7, 12, 30, 0, 0}), "12:30 PM");
    EXPECT_EQ(ScreenDate(afternoon.Now()), "12-07-2026");

    EXPECT_EQ(ReadingFileLine(afternoon, "72.5"), "12/7/2026,4:05:09 PM, 72.5");
    EXPECT_EQ(ReceivedFileLine(afternoon, "0.12 -0.40"), "12/7/2026,4:05:09 PM: 0.12 -0.40");
    EXPECT_EQ(ProximityFileLine(afternoon, true), "12/7/2026 4:05:09 PM, Event - On");
    EXPECT_EQ(ProximityFileLine(afternoon, false), "12/7/2026 4:05:09 PM, Event - Off");
    EXPECT_EQ(DistanceProximityFileLine(afternoon, true), "12/7/20264:05:09 PM, Event - On");
    EXPECT_EQ(WaterFileLine(afternoon, true), "12/7/2026,4:05:09 PM, * WET * ");
    EXPECT_EQ(WaterFileLine(afternoon, false), "12/7/2026,4:05:09 PM, DRY");
    EXPECT_EQ(BumpFileLine(afternoon), "12/7/2026,4:05:09 PM- BUMP");

    EXPECT_EQ(ReadingScreenLine(afternoon, "72.5", "F"), "04:05 PM- 72.5F");
    EXPECT_EQ(DashScreenLine(afternoon, "<Reset>"), "04:05 PM- <Reset>");
    EXPECT_EQ(ColonScreenLine(afternoon, "25cm"), "04:05 PM: 25cm");
    EXPECT_EQ(NoteScreenLine(afternoon, " Set To Bump Mode"), "04:05 PM Set To Bump Mode");
}

TEST_F(LogFilesTest, PolledReadingGoesToTheViewAndIsOnDiskWhenTheCallReturns) {
    AddEntry(1, kTypeTemperature, "3", "Server room");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    EXPECT_EQ(fs::path(logs.CurrentFile(1)).filename().string(), "12072026_040509.txt");

    EXPECT_TRUE(logs.FileTabLogging(Polled("72.5", 1, DeviceKind::Temperature, "F")));
    // The file stays open between lines, yet the line is already readable by others.
    EXPECT_EQ(ReadAll(logs.CurrentFile(1)),
              std::string(kHeader) + "12/7/2026,4:05:09 PM, 72.5\r\n");
    ASSERT_EQ(view.Slot(Tab::Temperature, 3).log.size(), 1u);
    EXPECT_EQ(view.Slot(Tab::Temperature, 3).log.front(), "04:05 PM- 72.5F");

    loop.RunFor(Milliseconds(60000));
    logs.FileTabLogging(Polled("73", 1, DeviceKind::Temperature, "F"));
    EXPECT_EQ(view.Slot(Tab::Temperature, 3).log.front(), "04:06 PM- 73F");  // newest on top
    EXPECT_EQ(view.Slot(Tab::Temperature, 3).log.back(), "04:05 PM- 72.5F");
}

TEST_F(LogFilesTest, CombinedAccelerometerAndDistanceReadings) {
    AddEntry(1, kTypeComboHumidity, "24", "Lab");
    AddEntry(3, kTypeAccelerometer, "1", "Rack");
    AddEntry(4, kTypeDistance, "2", "Door");
    ASSERT_EQ(logs.OpenFirstFile(1, "Lab", "_Humid"), "");
    ASSERT_EQ(logs.OpenFirstFile(2, "Lab", "_Temp"), "");
    ASSERT_EQ(logs.OpenFirstFile(3, "Rack", ""), "");
    // Entry 4 gets its first file from the first line: file logging was switched on later.

    EXPECT_TRUE(logs.FileTabLogging(Polled("45", 1, DeviceKind::Humidity)));
    EXPECT_TRUE(logs.FileTabLogging(Polled("21.5", 2, DeviceKind::Temperature, "C")));
    EXPECT_TRUE(logs.FileTabLogging(Polled("0.12 -0.40", 3, DeviceKind::Accelerometer)));
    EXPECT_TRUE(logs.FileTabLogging(Polled("25cm", 4, DeviceKind::Distance)));

    const std::string head = "\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n";
    EXPECT_EQ(fs::path(logs.CurrentFile(1)).filename().string(), "12072026_040509_Humid.txt");
    EXPECT_EQ(fs::path(logs.CurrentFile(2)).filename().string(), "12072026_040509_Temp.txt");
    EXPECT_EQ(ReadAll(logs.CurrentFile(1)), "Lab" + head + "12/7/2026,4:05:09 PM, 45\r\n");
    EXPECT_EQ(ReadAll(logs.CurrentFile(2)), "Lab" + head + "12/7/2026,4:05:09 PM, 21.5\r\n");
    EXPECT_EQ(ReadAll(logs.CurrentFile(3)), "Rack" + head + "12/7/2026,4:05:09 PM: 0.12 -0.40\r\n");
    EXPECT_EQ(ReadAll(logs.CurrentFile(4)), "Door" + head + "12/7/2026,4:05:09 PM, 25cm\r\n");

    EXPECT_EQ(view.Slot(Tab::Humidity, 4).log.front(), "04:05 PM- 45");
    EXPECT_EQ(view.Slot(Tab::Temperature, 2).log.front(), "04:05 PM- 21.5C");
    EXPECT_EQ(view.Slot(Tab::Accelerometer, 1).log.front(), "04:05 PM: 0.12 -0.40");
    EXPECT_EQ(view.Slot(Tab::Distance, 2).log.front(), "04:05 PM- 25cm");
}

TEST_F(LogFilesTest, SwitchesPortAndCloseAfterWrite) {
    AddEntry(1, kTypeTemperature, "1", "Server room", /*fileLogging=*/false, /*tabLogging=*/true);
    AddEntry(2, kTypeHumidity, "1", "Cellar", /*fileLogging=*/true, /*tabLogging=*/false);
    AddEntry(3, kTypeHumidity, "2", "Attic");
    bool port3Open = false;
    logs.portOpen = [&](int n) { return n != 3 || port3Open; };
    prefs.CloseFileAfterWrite = true;
    ASSERT_EQ(logs.OpenFirstFile(2, "Cellar", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(3, "Attic", ""), "");
    const auto before = LogFileNames();

    logs.FileTabLogging(Polled("70", 1, DeviceKind::Temperature));
    logs.FileTabLogging(Polled("40", 2, DeviceKind::Humidity));
    logs.FileTabLogging(Polled("41", 2, DeviceKind::Humidity));
    logs.FileTabLogging(Polled("50", 3, DeviceKind::Humidity));  // port closed: on screen only

    EXPECT_EQ(LogFileNames(), before);  // no file for entry 1
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).log.size(), 1u);
    EXPECT_TRUE(view.Slot(Tab::Humidity, 1).log.empty());
    EXPECT_EQ(ReadAll(logs.CurrentFile(2)),
              "Cellar\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
              "12/7/2026,4:05:09 PM, 40\r\n12/7/2026,4:05:09 PM, 41\r\n");
    EXPECT_EQ(ReadAll(logs.CurrentFile(3)).find("50"), std::string::npos);
    EXPECT_EQ(view.Slot(Tab::Humidity, 2).log.front(), "04:05 PM- 50");
    port3Open = true;
    logs.FileTabLogging(Polled("51", 3, DeviceKind::Humidity));
    EXPECT_NE(ReadAll(logs.CurrentFile(3)).find("PM, 51\r\n"), std::string::npos);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(LogFilesTest, OnScreenViewsAtTheirLineLimit) {
    AddEntry(1, kTypeTemperature, "1", "Server room", false, true);
    auto& polled = view.Slot(Tab::Temperature, 1).log;
    polled.assign(1999, "old");
    logs.FileTabLogging(Polled("70", 1, DeviceKind::Temperature));
    EXPECT_EQ(polled.size(), 2000u);
    logs.FileTabLogging(Polled("71", 1, DeviceKind::Temperature));
    EXPECT_EQ(polled, std::deque<std::string>{"12-07-2026"});

    auto& events = view.Slot(Tab::Water, 2).log;
    events.assign(1999, "old");
    logs.AddEventScreenLine(Tab::Water, 2, "04:05 PM- * WET *");
    EXPECT_EQ(events.size(), 2000u);
    logs.AddEventScreenLine(Tab::Water, 2, "04:05 PM- <Dry>");
    EXPECT_TRUE(events.empty());  // emptied, and the line dropped

    auto& distance = view.Slot(Tab::Distance, 3).log;
    distance.assign(2000, "old");
    logs.AddDistanceScreenLine(3, "04:05 PM: 25cm");
    EXPECT_EQ(distance.size(), 2001u);
    logs.AddDistanceScreenLine(3, "04:05 PM: 26cm");
    EXPECT_EQ(distance, std::deque<std::string>{"04:05 PM: 26cm"});

    logs.ClearLocalLog(Tab::Distance, 3);
    EXPECT_TRUE(distance.empty());
}

TEST_F(LogFilesTest, EventLinesFollowTheSwitchesAndTheChecks) {
    AddEntry(5, kTypeWater, "1", "Basement");
    prefs.MaxFileSize = "0";  // every line fills the file
    ASSERT_EQ(logs.OpenFirstFile(5, "Basement", ""), "");
    const std::string first = logs.CurrentFile(5);
    EXPECT_TRUE(logs.WriteEventLine(5, DeviceKind::Water, WaterFileLine(clock, true)));
    EXPECT_EQ(ReadAll(first),
              "Basement\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
              "12/7/2026,4:05:09 PM, * WET * \r\n");
    EXPECT_NE(logs.CurrentFile(5), first);  // rotated after the line
    model.Entry(5)->fileLogging = false;
    EXPECT_FALSE(logs.WriteEventLine(5, DeviceKind::Water, WaterFileLine(clock, false)));
}

TEST_F(LogFilesTest, FileOfExactlyTheLimitIsKeptOneByteMoreRotates) {
    prefs.MaxFileSize = "1";
    AddEntry(1, kTypeTemperature, "1", "Server room");
    AddEntry(2, kTypeTemperature, "2", "Server room");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(2, "Server room", ""), "");
    const std::string first1 = logs.CurrentFile(1);
    const std::string first2 = logs.CurrentFile(2);

    std::vector<std::string> written = FillTo(1, 1024);
    EXPECT_EQ(logs.CurrentFile(1), first1);
    EXPECT_EQ(fs::file_size(first1), 1024u);

    FillTo(2, 1025);
    EXPECT_NE(logs.CurrentFile(2), first2);
    EXPECT_EQ(fs::file_size(first2), 1025u);  // the line that crossed the limit stayed there
    EXPECT_EQ(ReadAll(logs.CurrentFile(2)),
              "Server room (Continued)\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n");

    // Entry 1's next line crosses its limit: it stays in the old file and the next one starts
    // the new file, so no line is lost.
    for (const char* reading : {"crossing", "after"}) {
        EXPECT_TRUE(logs.FileTabLogging(Polled(reading, 1, DeviceKind::Temperature)));
        written.push_back(reading);
    }
    const std::string current1 = logs.CurrentFile(1);
    EXPECT_NE(current1, first1);
    EXPECT_EQ(ReadAll(current1),
              "Server room (Continued)\r\nLog file started: 12/7/2026,"
              "4:05:09 PM\r\n\r\n12/7/2026,4:05:09 PM, after\r\n");
    std::string all1 = ReadAll(first1) + ReadAll(current1);
    for (const std::string& reading : written) {
        EXPECT_NE(all1.find("PM, " + reading + "\r\n"), std::string::npos) << reading;
    }
}

TEST_F(LogFilesTest, RotationsWithinOneSecondKeepEveryFileAndLine) {
    prefs.MaxFileSize = "0";
    AddEntry(1, kTypeTemperature, "1", "Server room");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    std::vector<std::string> readings;
    for (int i = 0; i < 4; ++i) {
        readings.push_back(std::to_string(70 + i));
        EXPECT_TRUE(logs.FileTabLogging(Polled(readings.back(), 1, DeviceKind::Temperature)));
    }
    EXPECT_EQ(LogFileNames(),
              (std::vector<std::string>{"12072026_040509-2.txt", "12072026_040509-3.txt",
                                        "12072026_040509-4.txt", "12072026_040509-5.txt",
                                        "12072026_040509.txt"}));
    // Every line once, in order (the first file sorts last by name).
    std::vector<std::string> found = AllReadings();
    std::rotate(found.begin(), found.end() - 1, found.end());
    EXPECT_EQ(found, readings);
}

TEST_F(LogFilesTest, RotationRestartsTheSensorTimerAndRotatesBothCombinedFiles) {
    prefs.MaxFileSize = "0";
    AddEntry(3, kTypeComboHumidity, "11", "Lab");
    ASSERT_EQ(logs.OpenFirstFile(3, "Lab", "_Humid"), "");
    ASSERT_EQ(logs.OpenFirstFile(4, "Lab", "_Temp"), "");
    Timer polling(loop);
    int ticks = 0;
    polling.SetCallback([&] { ++ticks; });
    polling.SetInterval(Milliseconds(10000));
    polling.SetEnabled(true);
    std::vector<std::pair<int, DeviceKind>> asked;
    logs.sensorTimer = [&](int n, DeviceKind kind) {
        asked.emplace_back(n, kind);
        return &polling;
    };

    loop.RunFor(Milliseconds(7000));
    // Only the temperature file crosses the limit here; both files of the sensor move on.
    const std::string humid = logs.CurrentFile(3);
    const std::string temp = logs.CurrentFile(4);
    logs.CheckFileSize(DeviceKind::Combined, 4);
    EXPECT_NE(logs.CurrentFile(3), humid);
    EXPECT_NE(logs.CurrentFile(4), temp);
    EXPECT_EQ(fs::path(logs.CurrentFile(4)).filename().string(), "12072026_040516_Temp.txt");
    EXPECT_EQ(ReadAll(logs.CurrentFile(3)).substr(0, 17), "Lab (Continued)\r\n");
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), std::make_pair(3, DeviceKind::Combined));

    // Stopped and started again at 7 s: the tick due at 10 s moved to 17 s.
    EXPECT_TRUE(polling.Enabled());
    loop.RunFor(Milliseconds(3500));
    EXPECT_EQ(ticks, 0);
    loop.RunFor(Milliseconds(7000));
    EXPECT_EQ(ticks, 1);

    // A timer that was not running is not started by a rotation.
    polling.SetEnabled(false);
    logs.CheckFileSize(DeviceKind::Combined, 3);
    EXPECT_FALSE(polling.Enabled());
}

TEST_F(LogFilesTest, QuotaCountsOwnWritesExactlyAndStopsFileLoggingEverywhere) {
    prefs.HDDTotalAmount = "1";
    {
        std::ofstream other(dir / "notes.txt", std::ios::binary);
        other << std::string(500, 'x');
    }
    fs::create_directories(dir / "sub");
    {
        std::ofstream other(dir / "sub" / "old.txt", std::ios::binary);
        other << std::string(100, 'y');
    }
    AddEntry(1, kTypeTemperature, "1", "Server room");
    AddEntry(2, kTypeHumidity, "1", "Cellar");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(2, "Cellar", ""), "");

    auto directoryBytes = [&] {
        std::uintmax_t total = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            total += entry.is_regular_file() ? entry.file_size() : 0;
        }
        return total;
    };
    // The clock stands still, so only the program's own count can notice the limit.
    int lines = 0;
    while (model.Entry(1)->fileLogging && lines < 100) {
        EXPECT_LE(directoryBytes(), 1024u) << "quota missed after " << lines << " lines";
        logs.FileTabLogging(
            Polled("72.5", 1 + lines % 2,
                   (1 + lines % 2 == 1 ? DeviceKind::Temperature : DeviceKind::Humidity)));
        ++lines;
    }
    EXPECT_GT(directoryBytes(), 1024u);
    EXPECT_EQ(view.mainTitle, " * WARNING * File Logging stopped because it hit the size limit.");
    for (int n = 1; n <= 10; ++n) {
        EXPECT_FALSE(model.Entry(n)->fileLogging) << n;
        EXPECT_EQ(tree.GetSetting("PortConfig\\Devices\\" + std::to_string(n), "FileLogging"), "0")
            << n;
    }
    const auto bytes = directoryBytes();
    EXPECT_TRUE(
        logs.FileTabLogging(Polled("99", 1, DeviceKind::Temperature)));  // on screen only now
    EXPECT_EQ(directoryBytes(), bytes);
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).log.front(), "04:05 PM- 99");
}

TEST_F(LogFilesTest, QuotaSeesFilesOthersAddWithinSeconds) {
    prefs.HDDTotalAmount = "2";
    AddEntry(1, kTypeTemperature, "1", "Server room");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    logs.FileTabLogging(Polled("70", 1, DeviceKind::Temperature));
    {
        std::ofstream other(dir / "big.bin", std::ios::binary);
        other << std::string(4096, 'z');
    }
    loop.RunFor(DiskQuota::kRescanPeriod);
    logs.FileTabLogging(
        Polled("71", 1, DeviceKind::Temperature));  // starts a new walk of the directory
    EXPECT_TRUE(model.Entry(1)->fileLogging);
    loop.RunFor(Milliseconds(1));
    logs.FileTabLogging(Polled("72", 1, DeviceKind::Temperature));
    EXPECT_FALSE(model.Entry(1)->fileLogging);
    EXPECT_EQ(view.mainTitle, " * WARNING * File Logging stopped because it hit the size limit.");
}

TEST(DiskQuotaTest, OwnWritesAreExactAndOthersFilesAreSeenByTheNextWalk) {
    VirtualEventLoop loop;
    FakeFiles files;
    files.dirs = {"/logs", "/other"};
    files.files["/logs/a.txt"] = std::string(100, 'a');
    files.files["/logs/sub/b.txt"] = std::string(50, 'b');
    files.files["/other/c.txt"] = std::string(7, 'c');
    DiskQuota quota(loop, files);
    auto write = [&](const std::string& path, std::size_t bytes) {
        files.files[path] += std::string(bytes, 'w');
        quota.NoteWritten("/logs", path, bytes);
    };

    EXPECT_EQ(quota.DirectoryBytes("/logs"), 150u);  // the first question walks at once
    write("/logs/a.txt", 20);
    quota.NoteWritten("/other", "/other/c.txt", 1000);  // not in the directory counted
    files.files["/logs/d.txt"] = "ddd";                 // someone else's file: seen later
    EXPECT_EQ(quota.DirectoryBytes("/logs"), 170u);
    EXPECT_EQ(quota.Walks(), 1u);

    loop.RunFor(DiskQuota::kRescanPeriod);
    EXPECT_EQ(quota.DirectoryBytes("/logs"), 170u);  // a new walk has begun in the background
    write("/logs/a.txt", 5);                         // before the walk reaches the file
    write("/logs/new.txt", 9);                       // a file the walk will not see
    EXPECT_EQ(quota.DirectoryBytes("/logs"), 184u);
    loop.RunFor(Milliseconds(1));
    EXPECT_EQ(quota.Walks(), 2u);
    EXPECT_EQ(quota.DirectoryBytes("/logs"), 187u);  // everything, each byte once
    EXPECT_EQ(quota.DirectoryBytes("/logs"), files.TotalSize("/logs"));

    EXPECT_EQ(quota.DirectoryBytes("/other"), 7u);  // another directory is walked at once
    EXPECT_EQ(quota.Walks(), 3u);
}

TEST(DiskQuotaTest, LargeDirectoryIsWalkedInSlices) {
    VirtualEventLoop loop;
    FakeFiles files;
    files.dirs = {"/logs"};
    for (int i = 0; i < 1000; ++i) {
        files.files["/logs/f" + std::to_string(1000 + i)] = "x";
    }
    DiskQuota quota(loop, files);
    EXPECT_EQ(quota.DirectoryBytes("/logs"), 1000u);
    loop.RunFor(DiskQuota::kRescanPeriod);
    files.files["/logs/f0000"] = std::string(24, 'y');
    quota.DirectoryBytes("/logs");
    loop.ProcessPendingEvents();  // one slice only: the walk is not over yet
    EXPECT_EQ(quota.Walks(), 1u);
    loop.RunFor(Milliseconds(1));
    EXPECT_EQ(quota.Walks(), 2u);
    EXPECT_EQ(quota.DirectoryBytes("/logs"), 1024u);
}

TEST_F(LogFilesTest, FullDeviceIsReportedOnceAndLoggingResumes) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    prefs.CloseFileAfterWrite = true;
    AddEntry(1, kTypeTemperature, "1", "Server room");
    AddEntry(2, kTypeHumidity, "1", "Cellar");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    ASSERT_EQ(logs.OpenFirstFile(2, "Cellar", ""), "");
    const std::string full = logs.CurrentFile(1);
    fs::remove(full);
    fs::create_symlink("/dev/full", full);

    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(
            logs.FileTabLogging(Polled("7" + std::to_string(i), 1, DeviceKind::Temperature)));
        EXPECT_TRUE(logs.FileTabLogging(Polled("4" + std::to_string(i), 2, DeviceKind::Humidity)));
    }
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0],
              "Error Description = Cannot write the log file " + full +
                  ": No space left on device. Readings and alerts go on; file logging resumes by "
                  "itself as soon as the log files can be written again.");
    EXPECT_TRUE(logs.InTrouble());
    EXPECT_EQ(view.Slot(Tab::Temperature, 1).log.size(), 3u);  // monitoring went on
    EXPECT_EQ(ReadAll(logs.CurrentFile(2)),
              "Cellar\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
              "12/7/2026,4:05:09 PM, 40\r\n12/7/2026,4:05:09 PM, 41\r\n"
              "12/7/2026,4:05:09 PM, 42\r\n");

    fs::remove(full);
    EXPECT_TRUE(logs.FileTabLogging(Polled("80", 1, DeviceKind::Temperature)));
    EXPECT_FALSE(logs.InTrouble());
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_EQ(dialogs.Messages()[1],
              "File logging has resumed: the log files can be written again. 3 log line(s) "
              "could not be written meanwhile.");
    EXPECT_EQ(ReadAll(logs.CurrentFile(1)),
              "Server room (Continued)\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
              "12/7/2026,4:05:09 PM, 80\r\n");
}

TEST_F(LogFilesTest, VanishedDirectoryIsReportedOnceAndNothingIsWrittenIntoNowhere) {
    AddEntry(1, kTypeTemperature, "1", "Server room");
    ASSERT_EQ(logs.OpenFirstFile(1, "Server room", ""), "");
    logs.FileTabLogging(Polled("70", 1, DeviceKind::Temperature));
    const std::string kept = ReadAll(logs.CurrentFile(1));
    const fs::path aside = dir.string() + "-aside";
    fs::rename(dir, aside);  // the file stays open while its directory goes away

    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(logs.FileTabLogging(Polled("71", 1, DeviceKind::Temperature)));
    }
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("Path not found"), std::string::npos);
    EXPECT_EQ(ReadAll(aside / fs::path(logs.CurrentFile(1)).filename()), kept);

    fs::create_directories(dir);
    loop.RunFor(Milliseconds(2000));
    EXPECT_TRUE(logs.FileTabLogging(Polled("72", 1, DeviceKind::Temperature)));
    EXPECT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_EQ(ReadAll(logs.CurrentFile(1)),
              "Server room (Continued)\r\nLog file started: 12/7/2026,4:05:11 PM\r\n\r\n"
              "12/7/2026,4:05:11 PM, 72\r\n");
    fs::remove_all(aside);
}

TEST(LogFilesFakeTest, ReadOnlyMediaIsReportedOnceAndEarlierLinesStay) {
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0}};
    ScriptedDialogs dialogs;
    MemorySettingsTree tree;
    DeviceModel model{dialogs, tree};
    ViewModel view;
    FakeFiles files;
    files.dirs.insert("/logs");
    Preferences prefs;
    prefs.logdir = "/logs";
    LogFiles logs{LogFiles::Services{loop, clock, dialogs, model, view, tree, prefs, &files}};
    DeviceRecord record;
    record.deviceType = kTypeHumidity;
    record.deviceName = "Cellar";
    record.subIndex = "1";
    record.fileLogging = true;
    model.SetEntry(1, record);
    model.CreateSetupArray();
    ASSERT_EQ(logs.OpenFirstFile(1, "Cellar", ""), "");
    const std::string path = logs.CurrentFile(1);
    EXPECT_TRUE(logs.FileTabLogging(Polled("40", 1, DeviceKind::Humidity)));

    files.failure = "Read-only file system";
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(logs.FileTabLogging(Polled("41", 1, DeviceKind::Humidity)));
    }
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find(path + ": Read-only file system"), std::string::npos);

    files.failure.clear();
    EXPECT_TRUE(logs.FileTabLogging(Polled("42", 1, DeviceKind::Humidity)));
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_NE(dialogs.Messages()[1].find("5 log line(s)"), std::string::npos);
    EXPECT_EQ(files.files[path],
              "Cellar\r\nLog file started: 12/7/2026,4:05:09 PM\r\n\r\n"
              "12/7/2026,4:05:09 PM, 40\r\n12/7/2026,4:05:09 PM, 42\r\n");
}

TEST_F(LogFilesTest, MissingDirectoryAtConnection) {
    prefs.logdir = (dir / "missing").string();
    AddEntry(1, kTypeTemperature, "1", "Server room");
    EXPECT_EQ(logs.OpenFirstFile(1, "Server room", ""), "Path not found");
    EXPECT_EQ(logs.CurrentFile(1), "");
}

TEST_F(LogFilesTest, SetAndOpenTheLogDirectory) {
    std::vector<std::string> saved;
    logs.saveLogDirectory = [&](const std::string& d) { saved.push_back(d); };
    std::string opened;
    logs.openDirectory = [&](const std::string& d) { opened = d; };

    const std::string chosen = (dir / "new" / "logs").string();
    dialogs.QueueText(chosen);
    logs.SetLogFileDirectory();
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text, "Please enter the full path name including drive letter:");
    EXPECT_EQ(dialogs.History()[0].title, "Log file directory");
    EXPECT_TRUE(fs::is_directory(chosen));
    EXPECT_EQ(logs.LogDirectory(), chosen);
    logs.OpenLogFiles();
    EXPECT_EQ(opened, chosen);

    dialogs.QueueText("   ");  // blank: the default
    logs.SetLogFileDirectory();
    EXPECT_EQ(logs.LogDirectory(), logs.defaultLogDirectory);
    EXPECT_TRUE(fs::is_directory(logs.defaultLogDirectory));

    prefs.logdir = chosen;
    logs.SetLogFileDirectory();  // cancelled: default for this run, not saved
    EXPECT_EQ(logs.LogDirectory(), logs.defaultLogDirectory);
    EXPECT_EQ(saved, (std::vector<std::string>{chosen, logs.defaultLogDirectory}));

    { std::ofstream blocker(dir / "file", std::ios::binary); }
    dialogs.QueueText((dir / "file" / "logs").string());
    logs.SetLogFileDirectory();
    ASSERT_FALSE(dialogs.Messages().empty());
    EXPECT_EQ(dialogs.Messages().back().rfind("Error setting directory. ", 0), 0u);
    EXPECT_EQ(logs.LogDirectory(), logs.defaultLogDirectory);
    EXPECT_EQ(saved.back(), logs.defaultLogDirectory);
    EXPECT_EQ(saved.size(), 3u);
}

}  // namespace
}  // namespace vigiltron
