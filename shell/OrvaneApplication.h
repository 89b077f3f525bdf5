#pragma once
// The player's application object: holds the application title and is the one place where
// an error that escapes an event handler is shown to the user.

#include <QApplication>
#include <QString>

#include <functional>

namespace orvane {

class OrvaneApplication : public QApplication {
    Q_OBJECT
public:
    OrvaneApplication(int& argc, char** argv);
    ~OrvaneApplication() override;

    // The title used for the main window's caption and for error boxes ("Orvane 1.0").
    static QString title();
    static void setTitle(const QString& title);

    // Shows an escaped error: a message box with the text, an error icon and OK, titled
    // with the application title. Tests may replace it.
    static void showError(const QString& text);
    static std::function<void(const QString&)> errorReporter;

    // Delivers every event; an exception from a handler is shown and the loop goes on.
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace orvane
