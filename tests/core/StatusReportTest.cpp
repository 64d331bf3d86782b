#include "reporting/StatusReport.h"

#include <gtest/gtest.h>

#include "config/MemorySettingsTree.h"
#include "config/MemoryTextFileStore.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

constexpr const char* kApp = "/home/ann/.local/share/vigiltron";

// The document's opening and closing lines with the default title and interval, at 4:05:09 PM
// on 7 December 2026.
constexpr const char* kHead =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
    "<?xml-stylesheet type=\"text/xsl\" href=\"vtman.xsl\"?>\r\n"
    "<vigiltron>\r\n"
    "<title>\r\n"
    "<TxtTitle>Location#1</TxtTitle>\r\n"
    "</title>\r\n";
constexpr const char* kTail =
    "<sensor>\r\n<type> </type>\r\n<name> </name>\r\n<status> </status>\r\n"
    "<current> </current>\r\n</sensor>\r\n"
    "<sensor>\r\n<type>Updated: 12/7/2026 @ 4:05:09 PM</type>\r\n"
    "<name>(Updated every 10 minutes)</name>\r\n<status> </status>\r\n"
    "<current> </current>\r\n</sensor>\r\n"
    "</vigiltron>\r\n";

class StatusReportTest : public ::testing::Test {
protected:
    StatusReportTest() { files.AddDirectory(kApp); }

    // Entry n with a shown Summary row.
    SummaryRow& Sensor(int n, const std::string& type, const std::string& name,
                       const std::string& reading, const std::string& status,
                       const std::string& subIndex = "1") {
        DeviceRecord record;
        record.deviceType = type;
        record.deviceName = name;
        record.subIndex = subIndex;
        model.SetEntry(n, record);
        SummaryRow& row = view.Row(n);
        row.visible = true;
        row.name = name;
        row.reading = reading;
        row.status = status;
        return row;
    }

    ScriptedDialogs dialogs;
    MemorySettingsTree settings;
    DeviceModel model{dialogs, settings};
    ViewModel view;
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9}};
    MemoryTextFileStore files;
    Preferences prefs = Preferences::Defaults(kApp);
    StatusReport report{{prefs, view, model, clock, files, kApp}};
};

TEST_F(StatusReportTest, ListsTheShownSummaryRowsThenTheBlankAndUpdateEntries) {
    // Nothing configured: the title, the blank entry and the update entry only.
    EXPECT_EQ(report.DocumentText(), std::string(kHead) + kTail);

    Sensor(1, "Vigiltron/T (Temperature)", "Freezer", "72.5", "OK").unit = "F";
    Sensor(2, "Vigiltron/P (Proximity)", "Door", "OFF", "");  // not connected
    Sensor(3, "Vigiltron/P (Proximity)", "Desk", "", "OK");
    Sensor(4, "Vigiltron/H (Humidity)", "Cellar", "", "");
    // A combined sensor: Temperature slot 2, Humidity slot 1.
    Sensor(5, "Combo Sensor (Humidity)", "Lab", "45", "OK", "21");
    Sensor(6, "Combo Sensor (Temperature)", "Lab", "70.1", "NOT OK", "21").unit = "F";
    view.Slot(Tab::Humidity, 1).highest = "48";
    view.Slot(Tab::Humidity, 1).lowest = "41";
    view.Slot(Tab::Temperature, 2).highest = "75.2";
    view.Slot(Tab::Temperature, 2).lowest = "68";
    view.Slot(Tab::Temperature, 1).highest = "99";  // another sensor's slot: never shown here
    // The first hidden row ends the list, whatever follows it.
    Sensor(8, "Vigiltron/W (Water)", "Basement", " ", "OK");
    view.Row(7).visible = false;

    EXPECT_EQ(report.DocumentText(),
              std::string(kHead) +
                  "<sensor>\r\n<type>Vigiltron/T (Temperature)</type>\r\n<name>Freezer</name>\r\n"
                  "<status>OK</status>\r\n<current>72.5F</current>\r\n</sensor>\r\n"
                  "<sensor>\r\n<type>Vigiltron/P (Proximity)</type>\r\n<name>Door</name>\r\n"
                  "<status></status>\r\n<current>OFF</current>\r\n<high>-</high>\r\n"
                  "<low>-</low>\r\n</sensor>\r\n"
                  "<sensor>\r\n<type>Vigiltron/P (Proximity)</type>\r\n<name>Desk</name>\r\n"
                  "<status>OK</status>\r\n<current>Not Present</current>\r\n</sensor>\r\n"
                  "<sensor>\r\n<type>Vigiltron/H (Humidity)</type>\r\n<name>Cellar</name>\r\n"
                  "<status></status>\r\n<current>n/a</current>\r\n</sensor>\r\n"
                  "<sensor>\r\n<type>Combo Sensor (Humidity)</type>\r\n<name>Lab</name>\r\n"
                  "<status>OK</status>\r\n<current>45</current>\r\n<high>48</high>\r\n"
                  "<low>41</low>\r\n</sensor>\r\n"
                  "<sensor>\r\n<type>Combo Sensor (Temperature)</type>\r\n<name>Lab</name>\r\n"
                  "<status>NOT OK</status>\r\n<current>70.1F</current>\r\n<high>75.2</high>\r\n"
                  "<low>68</low>\r\n</sensor>\r\n" +
                  kTail);

    // A disconnected combined sensor has no highest and lowest values to show.
    view.Row(5).reading = "OFF";
    EXPECT_NE(report.DocumentText().find("<current>OFF</current>\r\n<high>-</high>\r\n"
                                         "<low>-</low>\r\n</sensor>\r\n<sensor>\r\n"
                                         "<type>Combo Sensor (Temperature)</type>"),
              std::string::npos);
}

TEST_F(StatusReportTest, EscapesTextsAndWritesThemInLatin1) {
    prefs.txtTitleForUpdatePage = "R&D <lab>";
    prefs.InternetInterval = "5'";
    // UTF-8 as the settings hold it: e-acute, the euro sign, a character beyond the BMP, a C1
    // control, a line break and a stray Latin-1 byte from an old preferences file.
    Sensor(1, "Vigiltron/T (Temperature)", "A<B & \"C\" \xC3\xA9", "1", "OK");
    Sensor(2, "Vigiltron/T (Temperature)",
           "\xE2\x82\xAC \xF0\x9D\x84\x9E \xC2\x85 a\r\nb caf\xE9 \xC3", "2", "OK");

    const std::string text = report.DocumentText();
    EXPECT_NE(text.find("<TxtTitle>R&amp;D &lt;lab&gt;</TxtTitle>\r\n"), std::string::npos);
    EXPECT_NE(text.find("<name>A&lt;B &amp; &quot;C&quot; \xE9</name>\r\n"), std::string::npos);
    EXPECT_NE(text.find("<name>&#8364; &#119070; &#133; a  b caf\xE9 \xC3</name>\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("<name>(Updated every 5&apos; minutes)</name>"), std::string::npos);
    EXPECT_EQ(text.find("\xC3\xA9"), std::string::npos) << "UTF-8 left in a Latin-1 document";
}

TEST_F(StatusReportTest, RotatesTheDocumentNamesAndResolvesTheDirectory) {
    const std::string app = kApp;
    EXPECT_EQ(report.CurrentDocumentName(), "vtman0.xml");
    for (int update = 0; update < 11; ++update) {
        const std::string expected = "vtman" + std::to_string(update % 10) + ".xml";
        EXPECT_EQ(report.BuildXML(), app + "/" + expected) << "update " << update + 1;
        EXPECT_EQ(report.CurrentDocumentName(), expected);
        EXPECT_TRUE(report.LastError().empty());
    }
    for (int number = 0; number < 10; ++number) {
        EXPECT_TRUE(files.Has(app + "/vtman" + std::to_string(number) + ".xml"));
    }
    EXPECT_EQ(files.Contents(app + "/vtman0.xml"), report.DocumentText());

    // Keep History off: one name, and the rotation holds still.
    report.keepHistory = false;
    EXPECT_EQ(report.BuildXML(), app + "/vtman.xml");
    EXPECT_EQ(report.XmlFileNumber, 0);

    // A local directory, as typed; relative ones lie below the application folder.
    prefs.UseDirectory = true;
    prefs.txtXMLDirectory = "/srv/www/status/";
    files.AddDirectory("/srv/www/status");
    EXPECT_EQ(report.BuildXML(), "/srv/www/status/vtman.xml");
    prefs.txtXMLDirectory = "web";
    EXPECT_EQ(report.XmlDirectory(), app + "/web");

    // The Windows default (or no directory at all) means the application folder's "www"; a
    // directory that is not there is a failure with its reason, not a file somewhere else.
    for (const char* windows : {"C:\\", "", "D:\\inetpub\\wwwroot", "\\\\server\\share"}) {
        prefs.txtXMLDirectory = windows;
        EXPECT_EQ(report.XmlDirectory(), app + "/www") << windows;
    }
    EXPECT_EQ(report.BuildXML(), "");
    EXPECT_NE(report.LastError().find(app + "/www"), std::string::npos) << report.LastError();
    files.AddDirectory(app + "/www");
    EXPECT_EQ(report.BuildXML(), app + "/www/vtman.xml");
    EXPECT_TRUE(report.LastError().empty());

    files.FailWrites(true);
    EXPECT_EQ(report.BuildXML(), "");
    EXPECT_EQ(report.LastError(), "Disk full");
}

}  // namespace
}  // namespace vigiltron
