// The status page as its readers get it: the document written to real files, read back by an XML
// parser, and shown by a browser through a web server with the shipped stylesheet.
#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "config/MemorySettingsTree.h"
#include "platform/FileStore.h"
#include "reporting/StatusReport.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

// A name with every markup character and a Latin-1 letter, and one with letters beyond Latin-1.
const std::string kAwkwardName = "A<B & \"C\" \xC3\xA9";
const std::string kWideName =
    "K\xC3\xBC"
    "che \xE2\x9C\x93 \xCE\xA9";

// What an XML parser reads from a document: its title and the text of every <name>, in order.
struct ParsedDocument {
    QString error;  // empty when the document is well-formed
    QString title;
    QStringList names;
};

ParsedDocument Parse(const QString& path) {
    ParsedDocument parsed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        parsed.error = "cannot open " + path;
        return parsed;
    }
    // Read from the device, so the parser decodes the bytes by the declared encoding.
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (reader.name() == QLatin1String("TxtTitle")) {
            parsed.title = reader.readElementText();
        } else if (reader.name() == QLatin1String("name")) {
            parsed.names << reader.readElementText();
        }
    }
    if (reader.hasError()) {
        parsed.error = reader.errorString();
    }
    return parsed;
}

class StatusPageTest : public ::testing::Test {
protected:
    StatusPageTest() {
        EXPECT_TRUE(dir.isValid());
        EXPECT_TRUE(QDir(dir.path()).mkpath("www"));
        prefs.UseDirectory = true;
        prefs.txtXMLDirectory = Www().toStdString();
        prefs.txtTitleForUpdatePage = "Server room";
        store.SetNewFilesShared(true);
        Sensor(1, "Vigiltron/T (Temperature)", kAwkwardName, "72.5", "OK").unit = "F";
        Sensor(2, "Vigiltron/P (Proximity)", kWideName, "OFF", "");
    }

    QString Www() const { return dir.filePath("www"); }

    SummaryRow& Sensor(int n, const std::string& type, const std::string& name,
                       const std::string& reading, const std::string& status) {
        DeviceRecord record;
        record.deviceType = type;
        record.deviceName = name;
        record.subIndex = "1";
        model.SetEntry(n, record);
        SummaryRow& row = view.Row(n);
        row.visible = true;
        row.name = name;
        row.reading = reading;
        row.status = status;
        return row;
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    MemorySettingsTree settings;
    DeviceModel model{dialogs, settings};
    ViewModel view;
    VirtualEventLoop loop;
    VirtualClock clock{loop, LocalDateTime{2026, 12, 7, 16, 5, 9}};
    FileStore store;
    Preferences prefs = Preferences::Defaults(dir.path().toStdString());
    StatusReport report{{prefs, view, model, clock, store, dir.path().toStdString()}};
};

TEST_F(StatusPageTest, LocalDocumentIsWellFormedReadableAndReplacedWhole) {
    report.keepHistory = false;  // every update replaces the same file
    const std::string path = report.BuildXML();
    ASSERT_EQ(path, Www().toStdString() + "/vtman.xml") << report.LastError();

    ParsedDocument first = Parse(QString::fromStdString(path));
    EXPECT_TRUE(first.error.isEmpty()) << first.error.toStdString();
    EXPECT_EQ(first.title, "Server room");
    const QStringList expectedNames = {QString::fromStdString(kAwkwardName),
                                       QString::fromStdString(kWideName), " ",
                                       "(Updated every 10 minutes)"};
    EXPECT_EQ(first.names, expectedNames);

    // A web server running as another user must be able to read the page.
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    // While the next document is being put in place, readers still find the whole previous one.
    prefs.txtTitleForUpdatePage = "Server room 2";
    ParsedDocument duringReplace;
    store.SetBeforeReplaceHook([&] { duringReplace = Parse(QString::fromStdString(path)); });
    ASSERT_EQ(report.BuildXML(), path) << report.LastError();
    EXPECT_TRUE(duringReplace.error.isEmpty()) << duringReplace.error.toStdString();
    EXPECT_EQ(duringReplace.title, "Server room");
    EXPECT_EQ(duringReplace.names, expectedNames);
    EXPECT_EQ(Parse(QString::fromStdString(path)).title, "Server room 2");
    EXPECT_EQ(QDir(Www()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("vtman.xml")});  // no temporary file left behind
}

// Width and height from a PNG's header; {0, 0} when the bytes are not a PNG.
std::pair<quint32, quint32> PngSize(const QByteArray& png) {
    if (png.size() < 24 || !png.startsWith("\x89PNG\r\n\x1a\n") || png.mid(12, 4) != "IHDR") {
        return {0, 0};
    }
    auto word = [&](int at) {
        quint32 value = 0;
        for (int k = 0; k < 4; ++k) {
            value = (value << 8) | static_cast<unsigned char>(png[at + k]);
        }
        return value;
    };
    return {word(16), word(20)};
}

TEST_F(StatusPageTest, BrowserShowsTheSensorTable) {
    if (QStandardPaths::findExecutable("chromium").isEmpty()) {
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps installs it)";
    }
    ASSERT_FALSE(report.BuildXML().empty()) << report.LastError();  // vtman0.xml
    ASSERT_TRUE(QFile::copy(VIGILTRON_SOURCE_RESOURCES "/vtman.xsl", Www() + "/vtman.xsl"));

    // The picture stays beside the test program for a look; the rendered HTML is checked here.
    const QString picture = QDir::current().filePath("status-page.png");
    const QString dom = dir.filePath("status-page.html");
    QProcess render;
    render.setProcessChannelMode(QProcess::MergedChannels);
    render.start("bash",
                 {VIGILTRON_TEST_DATA "/scripts/render-status-page", Www(), picture, dom});
    ASSERT_TRUE(render.waitForFinished(100000)) << "the rendering did not end within 100 s";
    ASSERT_EQ(render.exitCode(), 0) << render.readAll().toStdString();

    QFile png(picture);
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_EQ(PngSize(png.readAll()), std::make_pair(quint32(1024), quint32(768)));

    QFile html(dom);
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(page.contains("<table id=\"sensors\">")) << page.toStdString();
    EXPECT_TRUE(page.contains("<h1>Server room</h1>"));
    EXPECT_TRUE(page.contains("Updated: 12/7/2026 @ 4:05:09 PM (Updated every 10 minutes)"));
    // One row per sensor, coloured by its state; the blank and update entries are not rows.
    EXPECT_EQ(page.count("<tr class=\"state-"), 2) << page.toStdString();
    auto rowOf = [&page](const char* state, const std::string& name) {
        const QRegularExpression row(
            "<tr class=\"state-" + QString(state) + "\">\\s*<td class=\"name\"[^>]*>" +
            QRegularExpression::escape(QString::fromStdString(name)) + "</td>");
        return page.contains(row);
    };
    // As the browser serialises text: markup characters escaped, the rest as UTF-8.
    EXPECT_TRUE(rowOf("ok", "A&lt;B &amp; \"C\" \xC3\xA9")) << page.toStdString();
    EXPECT_TRUE(rowOf("off", kWideName)) << page.toStdString();
}

}  // namespace
}  // namespace vigiltron
