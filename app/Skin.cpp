#include "app/Skin.h"

#include <QFont>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace vaskord {

QString office2007BlueStyleSheet() {
    return uR"(
QWidget { font-family: "宋体"; font-size: 12px; }
QWidget#frmMain { background: #bfdbff; }
QDialog { background: #dfebfb; }
QLineEdit#edt1, QLineEdit#edtSongNo, QLineEdit#edtSongName, QLineEdit#edtSingerName {
    font-family: "MS Sans Serif";
    font-size: 15px;
}
QFrame#pnl1, QFrame#pnl2 {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e3efff, stop:1 #c4ddff);
    border: 1px solid #8db2e3;
}
QGroupBox {
    border: 1px solid #8db2e3;
    border-radius: 3px;
    margin-top: 7px;
    color: #15428b;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }
QLabel { color: #15428b; background: transparent; }
QPushButton {
    color: #15428b;
    border: 1px solid #8db2e3;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #ffffff, stop:0.45 #e3efff, stop:0.5 #c4ddff, stop:1 #d6e8ff);
    padding: 2px 4px;
}
QPushButton:hover {
    border-color: #ffbd69;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #fffde5, stop:0.45 #ffe8a7, stop:0.5 #ffd86b, stop:1 #ffe69e);
}
QPushButton:pressed {
    border-color: #c28a30;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #fbd3a1, stop:0.45 #fab666, stop:0.5 #f89b32, stop:1 #fbb85f);
}
QPushButton:focus { border-color: #3b6fb6; }
QLineEdit, QPlainTextEdit, QTreeWidget {
    border: 1px solid #a3bde3;
    background: #ffffff;
    selection-background-color: #3d80df;
}
QLineEdit:focus, QPlainTextEdit:focus { border-color: #3b6fb6; }
QToolButton#btnDropDown:hover { background: #ffe8a7; }
QToolButton#btnDropDown {
    border: none;
    border-left: 1px solid #a3bde3;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f4f8fe, stop:1 #cfe0f7);
}
QLineEdit:read-only { background: #f3f7fd; }
QTreeWidget { alternate-background-color: #f3f7fd; }
QTreeWidget::item:selected { background: #c2dcfd; color: #000000; }
QHeaderView::section {
    color: #15428b;
    border: none;
    border-right: 1px solid #9ebae2;
    border-bottom: 1px solid #9ebae2;
    padding: 2px 4px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f9fcfd, stop:1 #d3e3f8);
}
QCalendarWidget QWidget#qt_calendar_navigationbar { background: #c4ddff; }
)"_s;
}

void installFontSubstitutes() {
    const QStringList cjk = {u"AR PL UMing CN"_s, u"AR PL UMing TW"_s};
    QFont::insertSubstitutions(u"宋体"_s, cjk);
    QFont::insertSubstitutions(u"SimSun"_s, cjk);
    QFont::insertSubstitutions(u"MS Sans Serif"_s, QStringList{u"DejaVu Sans"_s} + cjk);
}

}  // namespace vaskord
