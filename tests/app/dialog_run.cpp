// Opens the window and both of its dialogs, as an operator would at a first
// run, cancels each and closes the window. The window test runs it with a
// scratch home folder to see what is left behind there. Prints the caption of
// each dialog it cancelled, one a line.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/Mainfrm.h"
#include "common/Application.h"
#include "common/Pubs.h"
#include "data/USysset.h"

int main(int argc, char** argv) {
    vaskord::Application app(argc, argv);
    // Cancelling the library dialog at start opens an empty path: answer the error box.
    vaskord::setMessageBoxFunction([](const QString&, const QString&, int) { return 1; });

    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            std::printf("%s\n", dialog->windowTitle().toUtf8().constData());
            dialog->reject();
        }
    });
    canceller.start(20);

    vaskord::data::Tsysset sysset;
    vaskord::TfrmMain frmMain(sysset.conDB);
    frmMain.show();
    frmMain.btnSelectDB->click();
    frmMain.btnAdd->click();
    frmMain.btnClose->click();
    return 0;
}
