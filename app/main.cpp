#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

#include "app/Mainfrm.h"
#include "app/Startup.h"
#include "common/Application.h"
#include "core/StandardStreams.h"
#include "data/USysset.h"

int main(int argc, char** argv) {
    vaskord::openClosedStandardStreams();
    // Checked before the application object exists: without an X server the
    // toolkit would abort with a message about plugins, not about the display.
    const QString noDisplay = vaskord::missingDisplayMessage(
        qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"));
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "%s\n", noDisplay.toLocal8Bit().constData());
        return 2;
    }

    vaskord::Application app(argc, argv);
    vaskord::chooseOperatorLocale();
    // Every text the operator reads is Chinese, the toolkit's own dialogs too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    // The installed menu entry and icon, so the desktop shows the window with them.
    QGuiApplication::setDesktopFileName(QStringLiteral("vaskord"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vaskord")));

    vaskord::data::Tsysset sysset;
    vaskord::TfrmMain frmMain(sysset.conDB);
    frmMain.show();
    return QApplication::exec();
}
