// The player's entry. A projector (a movie appended) reads no command line: the main window's
// creation runs the whole start-up (extract the embedded movie, load it, size the window,
// play). The bare player plays the movie file named as its first argument, if any.

#include "MainFrm.h"
#include "OrvaneApplication.h"
#include "swf/render/DeviceFace.h"

#include <QIcon>
#include <QStringList>

#include <exception>
#include <memory>

int main(int argc, char** argv) {
    swf::render::prepareDeviceFonts(); // before the font library starts
    orvane::OrvaneApplication app(argc, argv);
    orvane::OrvaneApplication::setOrganizationName(QStringLiteral("Orvane"));
    orvane::OrvaneApplication::setApplicationName(QStringLiteral("Orvane"));
    orvane::OrvaneApplication::setTitle(QStringLiteral("Orvane 1.0"));
    QIcon icon(QStringLiteral(":/orvane/orvane-32.png"));
    icon.addFile(QStringLiteral(":/orvane/orvane-48.png"));
    orvane::OrvaneApplication::setWindowIcon(icon);

    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1)
        orvane::TMainForm::commandLineFile = args.at(1);

    std::unique_ptr<orvane::TMainForm> mainForm;
    try {
        mainForm = std::make_unique<orvane::TMainForm>();
    } catch (const std::exception& error) {
        // Without its main window the program cannot run: say why and end.
        orvane::OrvaneApplication::showError(QString::fromLocal8Bit(error.what()));
        return 1;
    }
    mainForm->show();
    return app.exec();
}
