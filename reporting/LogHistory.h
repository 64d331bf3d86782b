#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "reporting/LogFileSystem.h"

namespace vigiltron {

// One line of a sensor's log files, read back.
struct HistoryPoint {
    enum class Kind {
        Reading,  // a polled reading, a distance or an accelerometer line that holds a number
        Event,    // proximity "Event - On"/"Off", water "* WET *"/"DRY", accelerometer "BUMP"
        Note,     // a line without a value ("Sensor disconnected: port lost", "No Object", a failed
                  // poll): the readings have a gap here
    };
    LocalDateTime when;  // to the second, as the file has it
    Kind kind = Kind::Reading;
    double value = 0;                  // Reading: the number (accelerometer: the X axis)
    std::optional<double> secondAxis;  // Reading of an accelerometer: the Y axis
    bool on = false;                   // Event: On, WET or BUMP
    std::string text;                  // Event and Note: the text after the time ("* WET *")
};

// What a sensor's log files hold for a time range.
struct History {
    std::vector<HistoryPoint> points;  // oldest first
    // Lines after a file's header that could not be read (a malformed or foreign line, a date
    // in another locale's form): skipped, and counted so the chart can say so.
    std::size_t skippedLines = 0;
    std::vector<std::string> files;  // the sensor's files that were read, oldest first
    std::string error;               // set when reading broke off; the points read so far stay
};

enum class HistoryRange { LastHour, Last24Hours, Last7Days, All };

// Reads a sensor's history back from the log files that LogFiles wrote: every rotation and every
// " (Continued)" file, in time order.
class LogHistory {
public:
    explicit LogHistory(const LogFileSystem& files) : files_(files) {}

    // The points of the sensor named `deviceName` in `directory`, for `range` counted back from
    // `now` (both ends included; All also keeps points after `now`). A file is the sensor's when
    // its name is a GetDateTime stamp (with a "-N" copy number for files started in the same
    // second) followed by `suffix` ("", "_Humid" or "_Temp") and ".txt", and its first line is
    // the device name, alone or followed by " (Continued)". Files in subdirectories are not.
    History Read(const std::string& directory, const std::string& deviceName,
                 const std::string& suffix, HistoryRange range, const LocalDateTime& now) const;

private:
    const LogFileSystem& files_;
};

}  // namespace vigiltron
