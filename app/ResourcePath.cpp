#include "app/ResourcePath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdlib>

namespace vigiltron {

std::string ResourcePath(const std::string& name) {
    if (const char* override = std::getenv("VIGILTRON_RESOURCES");
        override != nullptr && *override != '\0') {
        return std::string(override) + "/" + name;
    }
    const QString installed = QCoreApplication::applicationDirPath() +
                              "/../share/vigiltron-manager/" + QString::fromStdString(name);
    if (QFileInfo::exists(installed)) {
        return installed.toStdString();
    }
    return std::string(VIGILTRON_SOURCE_RESOURCES) + "/" + name;
}

std::string StatusPageStylesheet(const std::string& applicationFolder) {
    const std::string own = applicationFolder + "/vtman.xsl";
    return QFileInfo::exists(QString::fromStdString(own)) ? own : ResourcePath("vtman.xsl");
}

}  // namespace vigiltron
