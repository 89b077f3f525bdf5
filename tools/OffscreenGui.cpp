#include "OffscreenGui.h"

#include "swf/render/DeviceFace.h"

#include <QCoreApplication>

#include <cstdio>

namespace orvane::tool {

std::unique_ptr<QGuiApplication> makeGuiApplication() {
    if (QCoreApplication::instance())
        return nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    swf::render::prepareDeviceFonts(); // before the font library starts
    // Qt's warnings (a missing runtime directory, a damaged JPEG in the movie) are not the
    // tool's output; only its own failures go to stderr.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    static int argc = 1;
    static char name[] = "orvane-tool";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace orvane::tool
