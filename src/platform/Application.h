// The application object: its title, and the one place where escaping exceptions are shown.
#pragma once

#include <QApplication>
#include <exception>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // An exception that escapes an event handler is shown in the standard exception box and
    // the event counts as handled; it never crosses the event loop.
    bool notify(QObject* receiver, QEvent* event) override;

    // The application's standard exception box: caption the application title, the message,
    // the error icon, OK. Works for Exception, std::exception and (empty message) anything else.
    static void ShowException(const std::exception_ptr& error);
};

// The application title shown in captions and the about box.
extern const char* const ApplicationTitle;
