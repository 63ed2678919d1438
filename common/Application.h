#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

namespace vaskord {

// An exception that ends a handler without anything shown to the operator.
class Abort : public std::exception {
public:
    const char* what() const noexcept override { return "Abort"; }
};

// The application title: the executable's file name cut at its first ".",
// the first character kept and every later one in lower case.
QString applicationTitle(const QString& executableFileName);

// The text of the error box: the message with "." appended, unless it is
// empty or already ends in "." or in a character that sorts below it, or in
// a full-width sentence end (。！？).
QString errorBoxText(const QString& message);

// The default exception display: an error box captioned with the application
// title. An Abort shows nothing.
void showException(const std::exception& error);
void showUnknownException();

// Runs a handler; an exception that leaves it is shown by the default
// exception display and the program goes on idle and usable. Handlers are run
// through this so that no exception unwinds through the toolkit's own frames.
void runHandler(const std::function<void()>& handler);

// The application object: also catches what escapes an event handler that
// was not run through runHandler, and keeps the toolkit from storing settings
// of its own between runs.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace vaskord
