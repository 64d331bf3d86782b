#include "config/RegistryImport.h"

#include <gtest/gtest.h>

#include <string>

#include "ConfigStoreTestSupport.h"

namespace vigiltron {
namespace {

using Reason = RegistryImport::Skipped::Reason;

// What the registry editor writes for "Windows Registry Editor Version 5.00": UTF-16LE with a
// byte-order mark.
std::string Utf16LeFile(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += char(unit & 0xFF);
        bytes += char(unit >> 8);
    }
    return bytes;
}

std::string Report(const RegistryImport::Report& report) {
    std::string text;
    for (const auto& line : report.Lines()) {
        text += line + "\n";
    }
    return text;
}

TEST(RegistryImportTest, UnicodeExportBringsTheDevicesAndTheMailSettingsOver) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager]\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        u"Program Setup]\r\n"
        u"\"TotalDevices\"=\"3\"\r\n"
        u"\"SMTPHostServer\"=\"mail.example.com\"\r\n"
        u"\"SMTPUserName\"=\"Jürgen\"\r\n"
        u"\"SMTPUserPassword\"=\"p\\\"w\\\\1\"\r\n"
        u"\"EmailAddress\"=\"ops@example.com\"\r\n"
        u"\"optUseSMTP\"=\"1\"\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        u"PortConfig\\Devices\\1]\r\n"
        u"\"DeviceType\"=\"Vigiltron/T (Temperature)\"\r\n"
        u"\"DeviceName\"=\"Serverraum 🌡\"\r\n"
        u"\"Port\"=\"3\"\r\n"
        u"\"SubIndex\"=\"1\"\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        u"PortConfig\\Devices\\2]\r\n"
        u"\"DeviceType\"=\"Vigiltron/W (Water)\"\r\n"
        u"\"DeviceName\"=\"Basement\"\r\n"
        u"\"Port\"=\"4\"\r\n"
        u"\"SubIndex\"=\"1\"\r\n"
        u"\"Attempts\"=dword:0000000a\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        u"PortConfig\\Devices\\3]\r\n"
        u"\"DeviceType\"=\"Vigiltron/P (Proximity)\"\r\n"
        u"\"DeviceName\"=\"Front door\"\r\n"
        u"\"Port\"=\"5\"\r\n"
        u"\"SubIndex\"=\"1\"\r\n"
        u"\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vigiltron Manager]\r\n"
        u"\"INIPath\"=\"C:\\\\Windows\\\\vigiltron.ini\"\r\n"
        u"\r\n";
    ConfigStoreRig rig;
    const RegistryImport::Report report = RegistryImport::Import(Utf16LeFile(text), rig.tree);
    ASSERT_FALSE(report.Refused()) << report.refusal;
    EXPECT_EQ(report.header, "Windows Registry Editor Version 5.00");
    EXPECT_EQ(report.imported.size(), 18u) << Report(report);

    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "SMTPHostServer"), "mail.example.com");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "SMTPUserName"), "J\xC3\xBCrgen");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "SMTPUserPassword"), "p\"w\\1");
    EXPECT_EQ(rig.tree.GetSetting("PortConfig\\Devices\\1", "DeviceName"),
              "Serverraum \xF0\x9F\x8C\xA1");
    EXPECT_EQ(rig.tree.GetSetting("PortConfig\\Devices\\2", "Attempts", "absent"), "absent");
    // The machine-wide key is not the user's tree: nothing of it lands anywhere.
    EXPECT_EQ(rig.tree.GetSetting("SOFTWARE\\Vigiltron Manager", "INIPath", "absent"), "absent");
    EXPECT_EQ(rig.tree.GetSetting("", "INIPath", "absent"), "absent");

    ASSERT_EQ(report.skipped.size(), 2u) << Report(report);
    EXPECT_EQ(report.skipped[0].reason, Reason::NotAString);
    EXPECT_EQ(report.skipped[0].line, 24);
    EXPECT_EQ(report.skipped[1].reason, Reason::OutsideProgramKey);
    const std::string lines = Report(report);
    EXPECT_NE(lines.find("18 values imported, 2 skipped"), std::string::npos) << lines;
    EXPECT_NE(lines.find("imported line 21: PortConfig\\Devices\\2\\DeviceName"), std::string::npos)
        << lines;
    EXPECT_NE(lines.find("\"Attempts\": dword value; the program keeps only strings"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vigiltron Manager]: outside the "
                         "program's key (1 value below it left out)"),
              std::string::npos)
        << lines;
    // The report names what was imported, never the values (passwords are among them).
    EXPECT_EQ(lines.find("p\"w"), std::string::npos) << lines;

    // The imported tree is one the program loads as it stands.
    Preferences prefs = Preferences::Defaults("/app");
    ASSERT_TRUE(rig.store.LoadConfig(false, "", prefs));
    ASSERT_NE(rig.devices.Entry(3), nullptr);
    EXPECT_EQ(rig.devices.KindOf(1), DeviceKind::Temperature);
    EXPECT_EQ(rig.devices.KindOf(2), DeviceKind::Water);
    EXPECT_EQ(rig.devices.Entry(3)->deviceName, "Front door");
    EXPECT_EQ(rig.devices.Entry(3)->port, 5);
}

// A REGEDIT4 export as older Windows versions write it: ANSI (Windows-1252), with escapes, a
// long binary value running on over lines, and some things an import cannot take.
TEST(RegistryImportTest, AnsiExportWithEscapesContinuedLinesAndLinesLeftOut) {
    const std::string file =
        "REGEDIT4\r\n"                       // 1
        "\r\n"                               // 2
        "; exported from the office PC\r\n"  // 3
        "\"Orphan\"=\"1\"\r\n"               // 4
        "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        "Program Setup]\r\n"                              // 5
        "\"logdir\"=\"C:\\\\Vigiltron\\\\logs\\\\\"\r\n"  // 6
        "\"Blob\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,"
        "\\\r\n"                                                                      // 7
        "  17,18,19,1a,\\\r\n"                                                        // 8
        "  1b,1c\r\n"                                                                 // 9
        "\"ProximityRunCommand\"=\"\\\"C:\\\\Program Files\\\\lock.exe\\\" /q\"\r\n"  // 10
        "\"txtTitleForUpdatePage\"=\"Caf\xE9 \x80 5\"\r\n"                            // 11
        "\"NumToCall\"=\"555-0100\r\n"                                                // 12
        "\"ModemInitString\"=\"AT\\Q3\"\r\n"                                          // 13
        "@=\"\"\r\n"                                                                  // 14
        "\"Path\"=hex(2):25,00,54,00,\\\r\n"                                          // 15
        "  45,00,00,00\r\n"                                                           // 16
        "\"Odd\\\\Name\"=\"x\"\r\n"                                                   // 17
        "\"ForC\"=\"C\"   \r\n"                                                       // 18
        "[-HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        "Camera Setup]\r\n"          // 19
        "\"MonitorOnly\"=\"1\"\r\n"  // 20
        "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        "Program Setup\\Internet Setup]\r\n"      // 21
        "\"ServerName\"=\"ftp.example.com\"\r\n"  // 22
        "\"pw\"=-\r\n"                            // 23
        "SMTPUserPassword=s3cret\r\n"             // 24
        "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager\\"
        "PortConfig\r\n"               // 25
        "\"TotalDevices\"=\"9\"\r\n";  // 26
    ConfigStoreRig rig;
    const RegistryImport::Report report = RegistryImport::Import(file, rig.tree);
    ASSERT_FALSE(report.Refused()) << report.refusal;
    const std::string lines = Report(report);

    // A value that ends in a backslash is a whole value, not a line running on.
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "logdir"), "C:\\Vigiltron\\logs\\");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "ProximityRunCommand"),
              "\"C:\\Program Files\\lock.exe\" /q");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "txtTitleForUpdatePage"),
              "Caf\xC3\xA9 \xE2\x82\xAC 5");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "ForC"), "C");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup\\Internet Setup", "ServerName"),
              "ftp.example.com");
    EXPECT_EQ(report.imported.size(), 5u) << lines;

    // Nothing else reached the tree: not the broken lines, not the values under keys left out.
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "NumToCall", "absent"), "absent");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "ModemInitString", "absent"), "absent");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup", "Orphan", "absent"), "absent");
    EXPECT_EQ(rig.tree.GetSetting("Camera Setup", "MonitorOnly", "absent"), "absent");
    EXPECT_EQ(rig.tree.GetSetting("Program Setup\\Internet Setup", "TotalDevices", "absent"),
              "absent");
    EXPECT_FALSE(rig.tree.HasSection("PortConfig"));

    const struct {
        int line;
        Reason reason;
    } expected[] = {
        {4, Reason::NoKey},         {7, Reason::NotAString},    {12, Reason::Malformed},
        {13, Reason::Malformed},    {14, Reason::DefaultValue}, {15, Reason::NotAString},
        {17, Reason::UnusableName}, {19, Reason::Deletion},     {23, Reason::Deletion},
        {24, Reason::Malformed},    {25, Reason::Malformed}};
    ASSERT_EQ(report.skipped.size(), std::size(expected)) << lines;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(report.skipped[i].line, expected[i].line) << lines;
        EXPECT_EQ(report.skipped[i].reason, expected[i].reason) << lines;
    }
    EXPECT_EQ(report.Count(Reason::Malformed), 4);
    EXPECT_NE(lines.find("5 values imported, 11 skipped (4 malformed lines)"), std::string::npos)
        << lines;
    EXPECT_NE(lines.find("skipped line 15: \"Path\": expandable string (hex(2)); the program keeps "
                         "only strings"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("skipped line 12: \"NumToCall\": malformed: the value has no closing "
                         "quote"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("Camera Setup]: a deletion; an import only adds values (1 value below "
                         "it left out)"),
              std::string::npos)
        << lines;
    // A broken line is shown up to its "=": what follows may be a password.
    EXPECT_NE(lines.find("skipped line 24: SMTPUserPassword=...: malformed"), std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("s3cret"), std::string::npos) << lines;
}

TEST(RegistryImportTest, AFileThatIsNoRegistryExportIsRefusedAndNothingIsWritten) {
    std::string binary;
    for (int i = 0; i < 512; ++i) {
        binary += char((i * 7919) & 0xFF);
    }
    const std::string notExports[] = {
        "",
        binary,
        "[Program Setup]\r\nTempMax=80\r\n",  // an INI file
        // A 5.00 export re-saved as UTF-16 big-endian.
        std::string("\xFE\xFF\0W\0i\0n", 8),
        // UTF-16LE without its byte-order mark.
        std::string("W\0i\0n\0d\0o\0w\0s\0", 14),
        "REGEDIT5\r\n[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron "
        "Manager\\Program Setup]\r\n\"TempMax\"=\"80\"\r\n",
    };
    for (const std::string& bytes : notExports) {
        MemorySettingsTree tree;
        const RegistryImport::Report report = RegistryImport::Import(bytes, tree);
        EXPECT_TRUE(report.Refused()) << bytes;
        EXPECT_TRUE(report.imported.empty());
        EXPECT_FALSE(tree.HasSection("Program Setup"));
        ASSERT_EQ(report.Lines().size(), 1u);
        EXPECT_NE(report.Lines()[0].find("Nothing was imported."), std::string::npos);
    }
}

}  // namespace
}  // namespace vigiltron
