#include "common/Application.h"

#include <QFileInfo>
#include <QSettings>

#include "common/Pubs.h"

using namespace Qt::StringLiterals;

namespace vaskord {

QString applicationTitle(const QString& executableFileName) {
    const QString name = executableFileName.section(u'.', 0, 0);
    if (name.isEmpty()) {
        return name;
    }
    return name.left(1) + name.mid(1).toLower();
}

QString errorBoxText(const QString& message) {
    if (message.isEmpty() || message.back() <= u'.') {
        return message;
    }
    // The program's own messages are Chinese sentences; a full-width end mark
    // closes them as a "." would, and a "." behind it would read as a stray dot.
    static constexpr char16_t kFullWidthEnds[] = u"。！？";
    if (QStringView(kFullWidthEnds).contains(message.back())) {
        return message;
    }
    return message + u'.';
}

namespace {

QString currentTitle() {
    return applicationTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

}  // namespace

void showException(const std::exception& error) {
    if (dynamic_cast<const Abort*>(&error) != nullptr) {
        return;
    }
    showMessageBox(currentTitle(), errorBoxText(QString::fromUtf8(error.what())),
                   MbOk | MbIconError);
}

void showUnknownException() {
    showMessageBox(currentTitle(), errorBoxText(u"程序出现了未知错误"_s), MbOk | MbIconError);
}

void runHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        showException(error);
    } catch (...) {
        showUnknownException();
    }
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // The toolkit's file dialogs keep their last folder, history and view in
    // the user's settings file and read it back at the next run. This program
    // keeps nothing between runs, so its settings go where no file can be made:
    // nothing is written under the home folder and nothing is read from it.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, u"/dev/null"_s);
    }
}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runHandler([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace vaskord
