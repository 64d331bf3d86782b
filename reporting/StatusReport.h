#pragma once

#include <string>

#include "config/Preferences.h"
#include "config/TextFileStore.h"
#include "core/Clock.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"

namespace vigiltron {

// The XML status document of the remote monitoring: every sensor shown on the Summary tab with
// its type, name, status and current reading, then a blank entry and the time of the update.
// The stylesheet "vtman.xsl" beside it turns it into a web page.
//
// The bytes are ISO-8859-1, as the document declares; texts are escaped and characters outside
// that set are written as numeric references, so any device name gives a well-formed document.
// Lines end with CR LF. The file is replaced atomically: a web server reading it at any moment
// sees the previous document or the new one, never part of one.
class StatusReport {
public:
    struct Services {
        // `txtTitleForUpdatePage`, `InternetInterval`, `UseDirectory`, `txtXMLDirectory`.
        const Preferences& prefs;
        const ViewModel& view;     // the Summary rows and the tab slots' highest and lowest values
        const DeviceModel& model;  // device type texts and combined sensors' sub-indexes
        const Clock& clock;
        TextFileStore& files;
        std::string applicationFolder;
    };

    explicit StatusReport(Services services);

    // "Keep History": the documents rotate through "vtman0.xml" .. "vtman9.xml". Off, every
    // update rewrites "vtman.xml". Not stored; on at every start.
    bool keepHistory = true;
    // The digit of the last document name; -1 before the first document of the run.
    int XmlFileNumber = -1;

    // Writes the next document. Returns the full path written, or an empty text when the
    // document could not be written (the reason is then in LastError(); any earlier file of that
    // name is left whole).
    std::string BuildXML();

    // The name of the document the last BuildXML wrote, or tried to ("vtman3.xml"; a failed
    // update still moves the rotation on), or "vtman.xml" with Keep History off. Before the first
    // document: the name the first one takes.
    std::string CurrentDocumentName() const;

    // Where the documents go: the application folder, or with `UseDirectory` the local directory
    // `txtXMLDirectory`. A relative local directory lies below the application folder. An empty
    // one, or a Windows path (the default "C:\" or one brought over from a Windows
    // installation), means the application folder's "www" directory.
    std::string XmlDirectory() const;

    // The whole document as it would be written now, bytes and line ends included.
    std::string DocumentText() const;

    // Why the last BuildXML failed; empty after a success.
    const std::string& LastError() const { return lastError_; }

private:
    std::string SensorEntry(int n) const;

    Services s_;
    std::string lastError_;
};

}  // namespace vigiltron
