#include "app/DesktopModule.h"

#include <dlfcn.h>
#include <QFileInfo>
#include <QString>

namespace vigiltron {

namespace {

std::string LoaderError(const char* fallback) {
    const char* text = ::dlerror();
    return text ? text : fallback;
}

}  // namespace

std::string DesktopModulePath(const char* argv0) {
    // The kernel names the program's file even when it was started through a link or from PATH.
    QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (program.isEmpty() && argv0 != nullptr) {
        program = QFileInfo(QString::fromLocal8Bit(argv0)).absoluteFilePath();
    }
    return (QFileInfo(program).absolutePath() + QStringLiteral("/" VIGILTRON_DESKTOP_MODULE))
        .toStdString();
}

LoadedDesktop LoadDesktopFrontEnd(const std::string& path) {
    LoadedDesktop loaded;
    // Every symbol is bound now, so a module that does not fit this program is refused here
    // instead of stopping the program halfway through a run.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        loaded.error = LoaderError("cannot be loaded");
        return loaded;
    }
    void* entry = ::dlsym(module, kDesktopEntryPoint);
    if (entry == nullptr) {
        loaded.error = LoaderError("has no entry point");
        ::dlclose(module);
        return loaded;
    }
    loaded.frontEnd.reset(reinterpret_cast<CreateDesktopFrontEnd>(entry)());
    if (!loaded.frontEnd) {
        loaded.error = "the module made no front-end";
    }
    return loaded;
}

}  // namespace vigiltron
