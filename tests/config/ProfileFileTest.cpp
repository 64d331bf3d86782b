#include "config/ProfileFile.h"

#include <gtest/gtest.h>

namespace vigiltron {
namespace {

// A preferences file as the Windows edition leaves it: byte-order mark, CR LF, comments, blank
// lines, backslashes in section names and loose spacing.
const std::string kWindowsFile =
    "\xEF\xBB\xBF; Vigiltron preferences\r\n"
    "[Sensor Setup]\r\n"
    "TempMax=85\r\n"
    "  tempmin = 35  \r\n"
    "ProximityRunCommand=\"C:\\Program Files\\lock.exe\"\r\n"
    "\r\n"
    "[Device Setup]\r\n"
    "TotalDevices=2\r\n"
    "\r\n"
    "[Device Setup\\1]\r\n"
    "DeviceType=Vigiltron/T (Temperature)\r\n"
    "DeviceName=\r\n"
    "; a note about device 1\r\n"
    "[Logging]\r\n"
    "4:05:09 PM:010=FormLoadError\r\n";

TEST(ProfileFileTest, ReadsWindowsLayoutWithItsLookupRules) {
    const ProfileFile file = ProfileFile::Parse(kWindowsFile);

    EXPECT_EQ(file.GetString("Sensor Setup", "TempMax", "80"), "85");
    // Names compare without case; blanks around names and values do not count.
    EXPECT_EQ(file.GetString("SENSOR SETUP", "TempMin", "40"), "35");
    EXPECT_EQ(file.GetString("device setup\\1", "devicetype", " "), "Vigiltron/T (Temperature)");
    // Enclosing quotes are not part of the value.
    EXPECT_EQ(file.GetString("Sensor Setup", "ProximityRunCommand", "Path not set"),
              "C:\\Program Files\\lock.exe");
    // A key present with an empty value is not missing.
    EXPECT_EQ(file.GetString("Device Setup\\1", "DeviceName", "x"), "");
    EXPECT_EQ(file.GetString("Logging", "4:05:09 PM:010", ""), "FormLoadError");
    // The first section line is not swallowed by the byte-order mark.
    EXPECT_TRUE(file.HasSection("Sensor Setup"));
    // Comments are neither keys nor values.
    EXPECT_FALSE(file.Find("Device Setup\\1", "; a note about device 1").has_value());
}

TEST(ProfileFileTest, MissingValuesGiveTheDefaultWithoutTrailingBlanks) {
    const ProfileFile file = ProfileFile::Parse(kWindowsFile);
    EXPECT_EQ(file.GetString("Sensor Setup", "HumidMax", "60"), "60");
    EXPECT_EQ(file.GetString("No Such Section", "TempMax", "80"), "80");
    // A default of one blank arrives as nothing, which is what makes an unwritten device type
    // read as empty.
    EXPECT_EQ(file.GetString("Device Setup\\7", "DeviceType", " "), "");
    EXPECT_EQ(file.GetString("Device Setup\\7", "x", " a "), " a");
    // A section line is not a key of the section above it.
    EXPECT_FALSE(file.Find("Sensor Setup", "[Device Setup]").has_value());
}

TEST(ProfileFileTest, ReadsLfOnlyFilesAndWritesCrLf) {
    ProfileFile file = ProfileFile::Parse("[A]\nx=1\n\n[B]\ny=2");
    EXPECT_EQ(file.GetString("A", "x", ""), "1");
    EXPECT_EQ(file.GetString("B", "y", ""), "2");
    file.SetString("B", "z", "3");
    EXPECT_EQ(file.Serialize(), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\nz=3\r\n");
}

TEST(ProfileFileTest, WritingOneKeyKeepsEveryOtherLine) {
    ProfileFile file = ProfileFile::Parse(kWindowsFile);
    file.SetString("sensor setup", "TEMPMAX", "90");  // replaced in place, file's own spelling
    file.SetString("Device Setup\\1", "Port", "4");   // added after the section's last entry
    file.SetString("Device Setup\\2", "DeviceType", "Vigiltron/W (Water)");  // new section

    const std::string expected =
        "\xEF\xBB\xBF; Vigiltron preferences\r\n"
        "[Sensor Setup]\r\n"
        "TempMax=90\r\n"
        "  tempmin = 35  \r\n"
        "ProximityRunCommand=\"C:\\Program Files\\lock.exe\"\r\n"
        "\r\n"
        "[Device Setup]\r\n"
        "TotalDevices=2\r\n"
        "\r\n"
        "[Device Setup\\1]\r\n"
        "DeviceType=Vigiltron/T (Temperature)\r\n"
        "DeviceName=\r\n"
        "Port=4\r\n"
        "; a note about device 1\r\n"
        "[Logging]\r\n"
        "4:05:09 PM:010=FormLoadError\r\n"
        "\r\n"
        "[Device Setup\\2]\r\n"
        "DeviceType=Vigiltron/W (Water)\r\n";
    EXPECT_EQ(file.Serialize(), expected);
}

TEST(ProfileFileTest, ValuesThatReadingWouldAlterSurviveARoundTrip) {
    const std::string values[] = {
        " ",                                     // the pager's "nothing entered"
        "  padded  ",                            // surrounding blanks
        "\"/opt/x y/run\" \"--now\"",            // quotes at both ends that are not one pair
        "'single'",                              // a value that is itself quoted
        "a=b;c",                                 // separators inside a value
        std::string(300, 'v') + "@example.com",  // long values arrive whole
    };
    ProfileFile file;
    for (size_t i = 0; i < std::size(values); ++i) {
        file.SetString("S", "k" + std::to_string(i), values[i]);
    }
    const ProfileFile reread = ProfileFile::Parse(file.Serialize());
    for (size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(reread.GetString("S", "k" + std::to_string(i), "?"), values[i]) << i;
    }
}

TEST(ProfileFileTest, ALineBreakInAValueCannotInjectSectionsOrKeys) {
    ProfileFile file;
    file.SetString("Email Alert Setup", "EmailAddress",
                   "me@x.org\r\n[Device Setup]\nTotalDevices=9");
    const ProfileFile reread = ProfileFile::Parse(file.Serialize());
    EXPECT_FALSE(reread.HasSection("Device Setup"));
    EXPECT_EQ(reread.GetString("Email Alert Setup", "EmailAddress", ""),
              "me@x.org  [Device Setup] TotalDevices=9");
}

TEST(ProfileFileTest, FirstOccurrenceWinsAndEntriesListEachKeyOnce) {
    const ProfileFile file = ProfileFile::Parse("[L]\na=1\nA=2\nb=3\n[l]\na=4\nc=5\n");
    EXPECT_EQ(file.GetString("L", "a", ""), "1");
    EXPECT_EQ(file.GetString("L", "c", "none"), "none");
    const auto entries = file.Entries("L");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>("a", "1")));
    EXPECT_EQ(entries[1], (std::pair<std::string, std::string>("b", "3")));
}

TEST(ProfileFileTest, RemovesKeysAndSections) {
    ProfileFile file = ProfileFile::Parse("[A]\nx=1\ny=2\n[B]\nz=3\n");
    EXPECT_TRUE(file.RemoveKey("a", "X"));
    EXPECT_FALSE(file.RemoveKey("A", "x"));
    EXPECT_TRUE(file.RemoveSection("B"));
    EXPECT_EQ(file.Serialize(), "[A]\r\ny=2\r\n");
}

TEST(ProfileFileTest, BareNamesResolveToTheConfigurationFolder) {
    EXPECT_EQ(ResolveProfilePath("vigiltron.ini", "/home/u/.config/Vigiltron"),
              "/home/u/.config/Vigiltron/vigiltron.ini");
    EXPECT_EQ(ResolveProfilePath("vigiltron.ini", "/cfg/"), "/cfg/vigiltron.ini");
    EXPECT_EQ(ResolveProfilePath("/srv/prefs.ini", "/cfg"), "/srv/prefs.ini");
    EXPECT_EQ(ResolveProfilePath("C:\\WINDOWS\\vigiltron.ini", "/cfg"),
              "C:\\WINDOWS\\vigiltron.ini");
    EXPECT_EQ(ResolveProfilePath("sub/p.ini", "/cfg"), "/cfg/sub/p.ini");
}

}  // namespace
}  // namespace vigiltron
