#include "OrvaneApplication.h"

#include "about/AboutFrm.h"

#include <QMessageBox>

#include <exception>

namespace orvane {

namespace {
QString g_title = QStringLiteral("Orvane 1.0");
}

std::function<void(const QString&)> OrvaneApplication::errorReporter;

OrvaneApplication::OrvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

OrvaneApplication::~OrvaneApplication() {
    // The About box belongs to the application and goes with it, while widgets still can.
    delete AboutForm;
    AboutForm = nullptr;
}

QString OrvaneApplication::title() {
    return g_title;
}

void OrvaneApplication::setTitle(const QString& title) {
    g_title = title;
}

void OrvaneApplication::showError(const QString& text) {
    if (errorReporter) {
        errorReporter(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title(), text, QMessageBox::Ok);
    box.exec();
}

bool OrvaneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace orvane
