#include <unistd.h>

#include <QCheckBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "app/DateEdit.h"
#include "app/IntSpinEdit.h"
#include "app/Mainfrm.h"
#include "app/Startup.h"
#include "common/Application.h"
#include "common/ScreenCursor.h"
#include "data/USysset.h"
#include "tests/common/MessageBoxRecorder.h"

using namespace Qt::StringLiterals;
using vaskord::TfrmMain;
using vaskord::test::MessageBoxRecorder;

namespace {

const QString kFixtures = QStringLiteral(VASKORD_FIXTURES);

QStringList rowTexts(const QTreeWidgetItem* item) {
    QStringList cells;
    for (int column = 0; column < item->columnCount(); ++column) {
        cells << item->text(column);
    }
    return cells;
}

QStringList songCodes(const QTreeWidget* list) {
    QStringList codes;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        codes << list->topLevelItem(row)->text(0);
    }
    return codes;
}

// A window on a fresh connection, with the folder chooser answering from a list.
struct Window {
    vaskord::data::Tsysset sysset;
    TfrmMain frm{sysset.conDB};
    QStringList folderAnswers;

    Window() {
        frm.chooseSongFolder = [this] {
            return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
        };
    }
    void chooseLibrary(const QString& path) {
        frm.runLibraryDialog = [path](QFileDialog& dialog) { emit dialog.currentChanged(path); };
        frm.btnSelectDB->click();
    }
    void addFolder(const QString& folder) {
        folderAnswers << folder;
        frm.btnAdd->click();
    }
};

// A song folder with a Chinese name holding files for some songs of songs-edge.mdb.
struct SongFolder {
    QTemporaryDir dir;
    QString path = dir.filePath(u"歌曲"_s);
    explicit SongFolder(const QStringList& codes) {
        QDir().mkpath(path);
        for (const QString& code : codes) {
            QFile file(path + u'/' + code + u".mpg"_s);
            file.open(QIODevice::WriteOnly);
        }
    }
    QString file(const QString& code) const { return path + u'/' + code + u".mpg"_s; }
};

// A folder of libraries to browse: 甲.mdb and 乙.mdb, and a folder 旧 beside them.
struct LibraryFolder {
    QTemporaryDir dir;
    QString path = dir.filePath(u"曲库"_s);
    LibraryFolder() {
        QDir().mkpath(path + u"/旧"_s);
        QFile::copy(kFixtures + u"/songs-edge.mdb"_s, file(u"甲.mdb"_s));
        QFile::copy(kFixtures + u"/songs-edge.mdb"_s, file(u"乙.mdb"_s));
    }
    QString file(const QString& name) const { return name.isEmpty() ? name : path + u'/' + name; }
};

// Types text into a box key by key, as a keyboard or an input method gives it.
void typeInto(QWidget* box, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Does one step in the library dialog, as the operator would:
// "click NAME" clicks an entry of the folder shown, "up" goes up a folder with
// the keyboard, "type TEXT" types into the name box, "enter" presses Enter
// there, "open" presses the open button and "cancel" presses Escape.
void dialogStep(QFileDialog& dialog, const QString& folder, const QString& step) {
    auto* view = dialog.findChild<QAbstractItemView*>(u"treeView"_s);
    auto* nameBox = dialog.findChild<QLineEdit*>(u"fileNameEdit"_s);
    QVERIFY(view != nullptr && view->isVisible() && nameBox != nullptr);
    const QString verb = step.section(u' ', 0, 0);
    const QString argument = step.section(u' ', 1);
    if (verb == u"click"_s) {
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        QVERIFY(model != nullptr);
        const QModelIndex index = model->index(folder + u'/' + argument);
        QTRY_VERIFY(index.isValid() && view->visualRect(index).isValid());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        QTRY_COMPARE(view->currentIndex(), index);
    } else if (verb == u"up"_s) {
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Backspace);
    } else if (verb == u"type"_s) {
        nameBox->setFocus();
        QTRY_VERIFY(nameBox->hasFocus());
        nameBox->clear();
        typeInto(nameBox, QString(argument).replace(u"FOLDER"_s, folder));
    } else if (verb == u"enter"_s) {
        QTest::keyClick(nameBox, Qt::Key_Return);
    } else if (verb == u"open"_s) {
        auto* buttons = dialog.findChild<QDialogButtonBox*>(u"buttonBox"_s);
        QPushButton* open = buttons->button(QDialogButtonBox::Open);
        QTRY_VERIFY(open->isEnabled());
        // Typing may have left the completion list open; a click elsewhere
        // would only close it.
        if (QCompleter* completer = nameBox->completer(); completer->popup()->isVisible()) {
            QTest::keyClick(completer->popup(), Qt::Key_Escape);
        }
        QTest::mouseClick(open, Qt::LeftButton);
    } else if (verb == u"cancel"_s) {
        QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
    } else {
        QFAIL(qPrintable(u"unknown step "_s + step));
    }
}

// Presses 选择(&C) and goes through the library dialog step by step; a step
// that fails leaves the dialog, so the test goes on.
void runLibraryDialog(Window& w, const QString& folder, const QStringList& steps) {
    w.frm.runLibraryDialog = [](QFileDialog& dialog) { dialog.exec(); };
    w.frm.dlgOpen1->setDirectory(folder);
    QFileDialog* dialog = w.frm.dlgOpen1;
    QTimer::singleShot(0, dialog, [dialog, folder, steps] {
        [&] {
            QTRY_VERIFY(dialog->isActiveWindow());
            for (const QString& step : steps) {
                dialogStep(*dialog, QDir(dialog->directory()).absolutePath(), step);
                if (QTest::currentTestFailed()) {
                    return;
                }
            }
        }();
        QTRY_VERIFY(!dialog->isVisible() || (dialog->reject(), true));
    });
    w.frm.btnSelectDB->click();
}

// Songs of songs-edge.mdb numbered 1300…, request count below 100, in query
// order with their files: 13008 (-1), 13001 (0), 13005 (3), 13007 (99). Two
// more rows qualify without a file: 13004 and "13002 ".
const QStringList kListedCodes = {u"13008"_s, u"13001"_s, u"13005"_s, u"13007"_s};
const QString kListedSummary = u"符合条件的曲库记录数为:6,匹配歌曲文件的数量为:4"_s;

// Opens songs-edge.mdb, adds the folder, asks for the songs above and queries.
void queryEdgeLibrary(Window& w, const SongFolder& folder) {
    w.chooseLibrary(kFixtures + u"/songs-edge.mdb"_s);
    w.addFolder(folder.path);
    w.frm.edtCount->lineEdit()->setText(u"100"_s);
    w.frm.cbSongNo->setChecked(true);
    w.frm.edtSongNo->setText(u" 1300 "_s);
    w.frm.btnQuery->click();
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }
    void cleanup() {
        vaskord::setDefaultCursor();
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    }

    void components_data() {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");  // width or height -1: sized to its text
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const char* parent, QRect geometry,
                            const QString& text = {}) {
            QTest::newRow(name) << QString::fromLatin1(parent) << geometry << text;
        };
        row("pnl2", "frmMain", {1, -1, 296, 733});
        row("lbl5", "pnl2", {14, 14, -1, -1}, u"歌库文件:"_s);
        row("edt1", "pnl2", {80, 9, 187, 24});
        row("btnSelectDB", "pnl2", {174, 43, 90, 28}, u"选择(&C)"_s);
        row("lbl1", "pnl2", {14, 130, -1, -1}, u"歌曲路径:"_s);
        row("edtPath", "pnl2", {80, 107, 185, 263});
        row("btnClear", "pnl2", {82, 379, 80, 28}, u"清空"_s);
        row("btnAdd", "pnl2", {174, 379, 90, 28}, u"&添加(&A)"_s);
        row("pnl1", "frmMain", {298, 1, 824, 80});
        row("gb1", "pnl1", {0, 2, 265, 77}, u"必选条件"_s);
        row("lbl3", "gb1", {13, 34, -1, -1}, u"点播量<"_s);
        row("edtCount", "gb1", {61, 32, 57, -1});
        row("lbl2", "gb1", {128, 34, -1, -1}, u"歌曲文件数量"_s);
        row("edtShowCount", "gb1", {205, 32, 49, -1});
        row("gb2", "pnl1", {264, 2, 440, 77}, u"可选条件"_s);
        row("cbLimitDate", "gb2", {9, 19, 81, -1}, u"录入日期<"_s);
        row("dtDate", "gb2", {87, 18, 74, -1});
        row("cbSongNo", "gb2", {227, 19, 71, -1}, u"编号开头"_s);
        row("edtSongNo", "gb2", {298, 18, 129, 24});
        row("cbSongName", "gb2", {9, 43, 71, -1}, u"名称开头"_s);
        row("edtSongName", "gb2", {82, 42, 129, 24});
        row("cbSingerName", "gb2", {227, 43, 71, -1}, u"歌星姓名"_s);
        row("edtSingerName", "gb2", {298, 42, 129, 24});
        row("btnQuery", "pnl1", {725, 22, 84, 33}, u"Q.查询"_s);
        row("lvSong", "frmMain", {297, 80, 831, 609});
        row("btnSelectAll", "frmMain", {336, 697, 90, 28}, u"全选"_s);
        row("btnDeleteSong", "frmMain", {446, 697, 120, 28}, u"删除歌曲文件"_s);
        row("btnClose", "frmMain", {1015, 693, 84, 33}, u"关闭"_s);
    }
    void components() {
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        Window w;
        auto* widget = w.frm.findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->pos(), geometry.topLeft());
        if (geometry.width() >= 0) {
            QCOMPARE(widget->width(), geometry.width());
        }
        if (geometry.height() >= 0) {
            QCOMPARE(widget->height(), geometry.height());
        }
        if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            QCOMPARE(box->title(), text);
        } else if (!text.isEmpty()) {
            QCOMPARE(widget->property("text").toString(), text);
        }
    }

    // What the operator sees before touching anything.
    void defaults() {
        Window w;
        TfrmMain& f = w.frm;
        QCOMPARE(f.windowTitle(), u"Vaskord"_s);
        QCOMPARE(f.minimumSize(), QSize(1125, 734));
        QCOMPARE(f.maximumSize(), QSize(1125, 734));
        QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(f.pos(), QPoint(74, 96));

        QCOMPARE(f.edtCount->text(), u"1"_s);
        QCOMPARE(std::pair(f.edtCount->minimum(), f.edtCount->maximum()), std::pair(1, 100));
        QCOMPARE(f.edtShowCount->text(), u"100"_s);
        QCOMPARE(std::pair(f.edtShowCount->minimum(), f.edtShowCount->maximum()),
                 std::pair(1, 1000));
        QCOMPARE(f.dtDate->date(), QDate(2015, 1, 1));
        QCOMPARE(f.dtDate->text(), u"2015/1/1"_s);
        for (QCheckBox* box : {f.cbLimitDate, f.cbSongNo, f.cbSongName, f.cbSingerName}) {
            QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
        }
        QVERIFY(f.edt1->text().isEmpty());
        QVERIFY(f.edt1->isReadOnly());
        QCOMPARE(f.edtSongNo->maxLength(), 20);
        QCOMPARE(f.edtSongName->maxLength(), 50);
        QCOMPARE(f.edtSingerName->maxLength(), 50);
        QVERIFY(f.edtPath->toPlainText().isEmpty());
        QVERIFY(f.edtPath->isReadOnly());
        QCOMPARE(f.edtPath->lineWrapMode(), QPlainTextEdit::NoWrap);

        QCOMPARE(f.lvSong->topLevelItemCount(), 0);
        QVERIFY(!f.lvSong->rootIsDecorated());
        QVERIFY(!f.lvSong->header()->sectionsClickable());
        QCOMPARE(f.lvSong->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(f.lvSong->selectionBehavior(), QAbstractItemView::SelectRows);
        const QList<std::pair<QString, int>> columns = {
            {u"编号"_s, 100}, {u"歌曲名称"_s, 150}, {u"歌手1"_s, 80},    {u"歌手2"_s, 80},
            {u"版本"_s, 80},  {u"点播量"_s, 50},    {u"录入日期"_s, 80}, {u"歌曲路径"_s, 200}};
        QCOMPARE(f.lvSong->columnCount(), columns.size());
        for (int i = 0; i < columns.size(); ++i) {
            QCOMPARE(f.lvSong->headerItem()->text(i), columns[i].first);
            QCOMPARE(f.lvSong->columnWidth(i), columns[i].second);
        }

        for (QPushButton* b :
             {f.btnSelectDB, f.btnClear, f.btnAdd, f.btnSelectAll, f.btnDeleteSong}) {
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        }
        for (QPushButton* b :
             {f.btnQuery, f.btnSelectDB, f.btnAdd, f.btnDeleteSong, f.btnSelectAll, f.btnClose}) {
            QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
        }

        QCOMPARE(f.dlgOpen1->windowTitle(), u"原曲库路径"_s);
        QCOMPARE(f.dlgOpen1->nameFilters(), QStringList{u"access数据库 (*.mdb)"_s});
        QCOMPARE(f.dlgOpen1->defaultSuffix(), u"mdb"_s);
        QVERIFY(f.dlgOpen1->testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(f.songFolders().isEmpty());
    }

    void spinEditSettle_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown");
        QTest::newRow("in range") << u"42"_s << true << u"42"_s;
        QTest::newRow("empty takes the minimum") << u""_s << true << u"1"_s;
        QTest::newRow("below the range") << u"0"_s << true << u"1"_s;
        QTest::newRow("negative") << u"-5"_s << true << u"1"_s;
        QTest::newRow("above the range") << u"101"_s << true << u"100"_s;
        QTest::newRow("beyond any integer") << u"99999999999999999999"_s << true << u"100"_s;
        QTest::newRow("plus sign") << u"+7"_s << true << u"7"_s;
        QTest::newRow("exponent") << u"5e1"_s << true << u"50"_s;
        QTest::newRow("huge exponent") << u"1e999"_s << true << u"100"_s;
        QTest::newRow("fraction by exponent") << u"5e-1"_s << false << u"5e-1"_s;
        QTest::newRow("signs only") << u"--"_s << false << u"--"_s;
        QTest::newRow("letter only") << u"e"_s << false << u"e"_s;
        QTest::newRow("sign inside") << u"1-2"_s << false << u"1-2"_s;
    }
    void spinEditSettle() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QString, shown);
        vaskord::IntSpinEdit edit;
        edit.setRange(1, 100);
        edit.setValue(9);
        edit.lineEdit()->setText(typed);
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.text(), shown);
        QCOMPARE(edit.value(), accepted ? shown.toInt() : 9);
    }

    void spinEditTyping() {
        vaskord::IntSpinEdit edit;
        edit.setRange(1, 1000);
        edit.lineEdit()->clear();
        QTest::keyClicks(&edit, "1a2+ .b-eE3,");
        edit.lineEdit()->insert(u"１"_s);  // a full-width digit, as an input method gives it
        QCOMPARE(edit.text(), u"12+-eE3"_s);
    }

    void spinEditStep_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("up") << 1 << int(Qt::Key_Up) << 2;
        QTest::newRow("down stops at the minimum") << 1 << int(Qt::Key_Down) << 1;
        QTest::newRow("up stops at the maximum") << 100 << int(Qt::Key_Up) << 100;
        QTest::newRow("page up") << 1 << int(Qt::Key_PageUp) << 11;
        QTest::newRow("page up stops at the maximum") << 95 << int(Qt::Key_PageUp) << 100;
        QTest::newRow("page down stops at the minimum") << 5 << int(Qt::Key_PageDown) << 1;
    }
    void spinEditStep() {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, expected);
        vaskord::IntSpinEdit edit;
        edit.setRange(1, 100);
        edit.setValue(start);
        QTest::keyClick(&edit, Qt::Key(key));
        QCOMPARE(edit.value(), expected);
        QCOMPARE(edit.text(), QString::number(expected));
    }

    // Typed dates under locales whose short format has a four-digit year
    // (zh_CN "yyyy/M/d") or a two-digit one (en_US "M/d/yy", de_DE "dd.MM.yy").
    // A settled date shows a four-digit year, so leaving the box again keeps it.
    void dateEditSettle_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const char* locale, const QString& typed, QDate date,
                            const QString& shown) {
            QTest::newRow(name) << QString::fromLatin1(locale) << typed << date.isValid() << date
                                << shown;
        };
        row("zh_CN short format", "zh_CN", u"2016/2/29"_s, {2016, 2, 29}, u"2016/2/29"_s);
        row("zh_CN ISO", "zh_CN", u"2016-03-04"_s, {2016, 3, 4}, u"2016/3/4"_s);
        row("zh_CN 1930", "zh_CN", u"1930/6/1"_s, {1930, 6, 1}, u"1930/6/1"_s);
        row("zh_CN two-digit year", "zh_CN", u"16/2/29"_s, {2016, 2, 29}, u"2016/2/29"_s);
        row("en_US four-digit year", "en_US", u"1/2/2015"_s, {2015, 1, 2}, u"1/2/2015"_s);
        row("en_US two-digit year", "en_US", u"1/2/15"_s, {2015, 1, 2}, u"1/2/2015"_s);
        row("en_US 1930", "en_US", u"6/1/1930"_s, {1930, 6, 1}, u"6/1/1930"_s);
        row("en_US two-digit year 49", "en_US", u"12/31/49"_s, {2049, 12, 31}, u"12/31/2049"_s);
        row("en_US two-digit year 50", "en_US", u"1/1/50"_s, {1950, 1, 1}, u"1/1/1950"_s);
        row("en_US ISO", "en_US", u"2015-1-2"_s, {2015, 1, 2}, u"1/2/2015"_s);
        row("de_DE two-digit day and month", "de_DE", u"02.01.2015"_s, {2015, 1, 2},
            u"02.01.2015"_s);
        row("de_DE one-digit day and month", "de_DE", u"2.1.2015"_s, {2015, 1, 2}, u"02.01.2015"_s);
        row("de_DE two-digit year", "de_DE", u"2.1.15"_s, {2015, 1, 2}, u"02.01.2015"_s);
        row("de_DE 1930", "de_DE", u"01.06.1930"_s, {1930, 6, 1}, u"01.06.1930"_s);
        row("de_DE ISO", "de_DE", u"2015-01-02"_s, {2015, 1, 2}, u"02.01.2015"_s);
        // Refused: the text stays and so does the date.
        row("en_US day first", "en_US", u"13/1/2015"_s, {}, u"13/1/2015"_s);
        row("de_DE month first", "de_DE", u"1/13/2015"_s, {}, u"1/13/2015"_s);
        row("zh_CN no such day", "zh_CN", u"2015/2/30"_s, {}, u"2015/2/30"_s);
        row("zh_CN no date", "zh_CN", u"明天"_s, {}, u"明天"_s);
        row("en_US three-digit year", "en_US", u"1/2/201"_s, {}, u"1/2/201"_s);
        // Emptied: no date.
        QTest::newRow("zh_CN emptied") << u"zh_CN"_s << u""_s << true << QDate() << u""_s;
        QTest::newRow("en_US blanks only") << u"en_US"_s << u"  "_s << true << QDate() << u""_s;
    }
    void dateEditSettle() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QDate, date);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        vaskord::DateEdit edit;
        edit.setDate(QDate(2015, 1, 1));
        const QString startText = edit.text();
        edit.setText(typed);
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.settle(), accepted);
        QCOMPARE(edit.date(), accepted ? date : QDate(2015, 1, 1));
        QCOMPARE(edit.text(), shown);
        if (accepted) {
            // Leaving the box again changes nothing.
            QVERIFY(edit.settle());
            QCOMPARE(edit.date(), date);
            QCOMPARE(edit.text(), shown);
        }
        edit.setDate(QDate(2015, 1, 1));
        QCOMPARE(edit.text(), startText);
        QVERIFY(edit.settle());
        QCOMPARE(edit.date(), QDate(2015, 1, 1));
    }

    void dateEditClearButton() {
        vaskord::DateEdit edit;
        edit.setDate(QDate(2015, 1, 1));
        edit.showCalendar();
        QVERIFY(edit.calendarPopup()->isVisible());
        edit.calendarPopup()->findChild<QPushButton*>(u"btnClearDate"_s)->click();
        QVERIFY(!edit.calendarPopup()->isVisible());
        QVERIFY(edit.text().isEmpty());
        QVERIFY(edit.date().isNull());
    }

    // A box holding no number or no date keeps the focus when a button is
    // clicked, and the button's handler does not run on it.
    void refusedTextKeepsFocus_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("settled");
        QTest::newRow("threshold") << u"edtCount"_s << u"1e"_s << u"150"_s;
        QTest::newRow("result limit") << u"edtShowCount"_s << u"+-"_s << u""_s;
        QTest::newRow("date") << u"dtDate"_s << u"2015/13/1"_s << u"2015-2-3"_s;
    }
    void refusedTextKeepsFocus() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, settled);
        MessageBoxRecorder recorder;
        Window w;
        w.frm.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        auto* widget = w.frm.findChild<QWidget*>(box);
        QLineEdit* edit = qobject_cast<QLineEdit*>(widget);
        if (edit == nullptr) {
            edit = widget->findChild<QLineEdit*>();
        }
        widget->setFocus();
        edit->setText(typed);
        QTest::mouseClick(w.frm.btnQuery, Qt::LeftButton);
        QVERIFY(widget->hasFocus());
        QCOMPARE(edit->text(), typed);
        QVERIFY(recorder.boxes.isEmpty());

        edit->setText(settled);
        QTest::mouseClick(w.frm.btnQuery, Qt::LeftButton);
        QVERIFY(!widget->hasFocus());
        QCOMPARE(recorder.lastText(), u"请先选择歌库文件!"_s);
    }

    void missingDisplay_data() {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<bool>("refused");
        QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << true;
        QTest::newRow("X display") << QByteArray() << QByteArray(":0") << QByteArray() << false;
        QTest::newRow("Wayland session")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << false;
        QTest::newRow("xcb asked, no display")
            << QByteArray("xcb") << QByteArray() << QByteArray("wayland-0") << true;
        QTest::newRow("offscreen")
            << QByteArray("offscreen") << QByteArray() << QByteArray() << false;
    }
    void missingDisplay() {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(bool, refused);
        const QString message = vaskord::missingDisplayMessage(platform, display, wayland);
        QCOMPARE(!message.isEmpty(), refused);
        if (refused) {
            QVERIFY(message.contains(u"DISPLAY"_s));
            QVERIFY(message.contains(u"xvfb-run"_s));
        }
    }

    void songFolders() {
        Window w;
        SongFolder folder({});
        const QString upper = folder.path.toUpper();
        QVERIFY(upper != folder.path);
        w.addFolder(folder.path);
        // Letter case makes another folder on Linux.
        w.addFolder(upper);
        w.addFolder(folder.path);
        w.addFolder(u"/"_s);
        w.frm.btnAdd->click();  // cancelled: nothing changes
        QCOMPARE(w.frm.edtPath->toPlainText(), folder.path + u'\n' + upper + u"\n/"_s);
        w.frm.btnClear->click();
        QVERIFY(w.frm.edtPath->toPlainText().isEmpty());
    }

    // A folder that would name another folder is refused with a prompt and
    // never reaches the memo or the search list.
    void refusedFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("lineBreak") << u"/tmp\n歌曲"_s << u"控制字符"_s;
        QTest::newRow("relative") << u"歌曲"_s << u"完整路径"_s;
        QTest::newRow("notUtf8") << QFile::decodeName("/tmp/\xb8\xe8\xc7\xfa")
                                 << u"convmv -f gbk -t utf-8"_s;
    }
    void refusedFolder() {
        QFETCH(QString, folder);
        QFETCH(QString, prompt);
        MessageBoxRecorder recorder;
        Window w;
        SongFolder songs(kListedCodes);
        w.addFolder(songs.path);
        w.addFolder(folder);
        QCOMPARE(recorder.boxes.size(), 1);
        QVERIFY2(recorder.lastText().contains(prompt), qPrintable(recorder.lastText()));
        QCOMPARE(w.frm.edtPath->toPlainText(), songs.path);

        w.chooseLibrary(kFixtures + u"/songs-edge.mdb"_s);
        w.frm.edtCount->lineEdit()->setText(u"100"_s);
        w.frm.btnQuery->click();
        QCOMPARE(w.frm.songFolders(), QStringList{songs.path + u'/'});
    }

    void libraryChoice() {
        MessageBoxRecorder recorder;
        Window w;
        const QString edge = kFixtures + u"/songs-edge.mdb"_s;
        w.chooseLibrary(edge);
        QCOMPARE(w.frm.edt1->text(), edge);
        QVERIFY(recorder.boxes.isEmpty());
        QVERIFY(w.sysset.conDB.isOpen());
        QCOMPARE(
            w.sysset.conDB.connectionString(),
            QString::fromLatin1(vaskord::data::kBaseConnectionString) + u";Data Source="_s + edge);
        QCOMPARE(w.frm.qrySong.connection(), &w.sysset.conDB);
        QCOMPARE(w.frm.qryTmp.connection(), &w.sysset.conDB);

        // A missing file: the error box, the path stays and the window goes on.
        const QString missing = kFixtures + u"/没有这个曲库.mdb"_s;
        w.chooseLibrary(missing);
        QCOMPARE(recorder.boxes.size(), 1);
        QCOMPARE(recorder.boxes[0].flags, vaskord::MbOk | vaskord::MbIconError);
        QCOMPARE(w.frm.edt1->text(), missing);
        QVERIFY(!w.sysset.conDB.isOpen());
        QVERIFY(w.sysset.conDB.connectionString().endsWith(u";Data Source="_s + edge +
                                                           u";Data Source="_s + missing));
        w.frm.btnQuery->click();
        QCOMPARE(recorder.boxes.size(), 2);
        QCOMPARE(recorder.lastText(), u"请添加歌曲路径!"_s);
    }

    // The library dialog driven as the operator drives it. Cancelling keeps
    // the file last clicked in the list, or else the library in use; browsing
    // through folders never empties the library box; confirming opens the
    // file confirmed, typed or clicked.
    void libraryDialog_data() {
        QTest::addColumn<QString>("before");  // the library in use when the dialog opens
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("library");  // the library box afterwards
        QTest::addColumn<bool>("opened");
        const QString a = u"甲.mdb"_s;
        const QString b = u"乙.mdb"_s;
        QTest::newRow("file clicked, cancelled")
            << QString() << QStringList{u"click "_s + b, u"cancel"_s} << b << true;
        QTest::newRow("nothing chosen yet, cancelled")
            << QString() << QStringList{u"cancel"_s} << QString() << false;
        QTest::newRow("up a folder, cancelled")
            << a << QStringList{u"up"_s, u"cancel"_s} << a << true;
        QTest::newRow("folder clicked, cancelled")
            << a << QStringList{u"click 旧"_s, u"cancel"_s} << a << true;
        QTest::newRow("folder typed and entered, cancelled")
            << a << QStringList{u"type 旧"_s, u"enter"_s, u"cancel"_s} << a << true;
        QTest::newRow("folder path typed and entered, cancelled")
            << a << QStringList{u"type FOLDER/旧"_s, u"enter"_s, u"cancel"_s} << a << true;
        QTest::newRow("file clicked, then up a folder, cancelled")
            << a << QStringList{u"click "_s + b, u"up"_s, u"cancel"_s} << b << true;
        QTest::newRow("file clicked, opened")
            << a << QStringList{u"click "_s + b, u"open"_s} << b << true;
        QTest::newRow("name typed, entered")
            << a << QStringList{u"type "_s + b, u"enter"_s} << b << true;
        QTest::newRow("name typed without extension, entered")
            << a << QStringList{u"type 乙"_s, u"enter"_s} << b << true;
        QTest::newRow("file clicked, another typed, opened")
            << a << QStringList{u"click "_s + a, u"type "_s + b, u"open"_s} << b << true;
        QTest::newRow("missing file typed, entered")
            << a << QStringList{u"type 丙.mdb"_s, u"enter"_s} << u"丙.mdb"_s << false;
    }
    void libraryDialog() {
        QFETCH(QString, before);
        QFETCH(QStringList, steps);
        QFETCH(QString, library);
        QFETCH(bool, opened);
        MessageBoxRecorder recorder;
        LibraryFolder folder;
        Window w;
        if (!before.isEmpty()) {
            w.chooseLibrary(folder.file(before));
        }
        w.frm.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        runLibraryDialog(w, folder.path, steps);
        QVERIFY(!w.frm.dlgOpen1->isVisible());
        QCOMPARE(w.frm.edt1->text(), folder.file(library));
        QCOMPARE(w.sysset.conDB.isOpen(), opened);
        QCOMPARE(recorder.boxes.size(), opened ? 0 : 1);
        QVERIFY(
            w.sysset.conDB.connectionString().endsWith(u";Data Source="_s + folder.file(library)));
    }

    // The access keys the captions underline press their buttons.
    void accessKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("button");
        QTest::newRow("Alt+A adds a folder") << int(Qt::Key_A) << u"btnAdd"_s;
        QTest::newRow("Alt+C chooses the library") << int(Qt::Key_C) << u"btnSelectDB"_s;
    }
    void accessKeys() {
        QFETCH(int, key);
        QFETCH(QString, button);
        MessageBoxRecorder recorder;
        Window w;
        w.frm.runLibraryDialog = [](QFileDialog&) {};
        w.frm.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (QPushButton* b : w.frm.findChildren<QPushButton*>()) {
            spies.push_back(std::make_unique<QSignalSpy>(b, &QPushButton::clicked));
            spies.back()->setObjectName(b->objectName());
        }
        const auto pressed = [&spies] {
            QStringList names;
            for (const auto& spy : spies) {
                if (!spy->isEmpty()) {
                    names << spy->objectName();
                }
            }
            return names;
        };
        QTest::keyClick(&w.frm, Qt::Key(key), Qt::AltModifier);
        QTRY_COMPARE(pressed(), QStringList{button});
    }

    void query() {
        MessageBoxRecorder recorder;
        Window w;
        SongFolder folder(kListedCodes);
        queryEdgeLibrary(w, folder);

        QCOMPARE(songCodes(w.frm.lvSong), kListedCodes);
        QCOMPARE(rowTexts(w.frm.lvSong->topLevelItem(0)),
                 (QStringList{u"13008"_s, u"负数"_s, u"张三"_s, u""_s, u"MTV"_s, u"-1"_s,
                              u"2009/9/11"_s, folder.file(u"13008"_s)}));
        QCOMPARE(rowTexts(w.frm.lvSong->topLevelItem(1)),
                 (QStringList{u"13001"_s, u"无日期"_s, u"刘德华"_s, u""_s, u"MTV"_s, u"0"_s, u""_s,
                              folder.file(u"13001"_s)}));
        for (int row = 0; row < w.frm.lvSong->topLevelItemCount(); ++row) {
            QCOMPARE(w.frm.lvSong->topLevelItem(row)->checkState(0), Qt::Unchecked);
        }
        QCOMPARE(w.frm.windowTitle(), kListedSummary);
        QCOMPARE(recorder.boxes.size(), 1);
        QCOMPARE(recorder.boxes[0].caption, u"系统提示"_s);
        QCOMPARE(recorder.boxes[0].text, kListedSummary);
        QCOMPARE(recorder.boxes[0].flags, 64);
        QCOMPARE(w.frm.songFolders(), QStringList{folder.path + u'/'});
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        // The limit counts listed songs.
        w.frm.edtShowCount->lineEdit()->setText(u"2"_s);
        w.frm.btnQuery->click();
        QCOMPARE(songCodes(w.frm.lvSong), kListedCodes.mid(0, 2));
        QCOMPARE(w.frm.windowTitle(), u"符合条件的曲库记录数为:6,匹配歌曲文件的数量为:2"_s);
    }

    // Each input prompt stops the query with the previous list, caption and
    // cursor untouched.
    void queryPrompt_data() {
        QTest::addColumn<std::function<void(Window&)>>("change");
        QTest::addColumn<QString>("prompt");
        using Change = std::function<void(Window&)>;
        QTest::newRow("no library")
            << Change([](Window& w) { w.frm.edt1->clear(); }) << u"请先选择歌库文件!"_s;
        QTest::newRow("no folders")
            << Change([](Window& w) { w.frm.btnClear->click(); }) << u"请添加歌曲路径!"_s;
        QTest::newRow("date emptied, before the other criteria") << Change([](Window& w) {
            w.frm.cbLimitDate->setChecked(true);
            w.frm.dtDate->clear();
            w.frm.edtSongNo->setText(u" "_s);
        }) << u"选择了限制日期,日期不能为空!"_s;
        QTest::newRow("blank song number")
            << Change([](Window& w) { w.frm.edtSongNo->setText(u" \t "_s); })
            << u"歌曲编号不能为空!"_s;
        QTest::newRow("blank song name") << Change([](Window& w) {
            w.frm.cbSongName->setChecked(true);
            w.frm.edtSongName->setText(u"  "_s);
        }) << u"歌曲名称不能为空!"_s;
        QTest::newRow("blank singer") << Change([](Window& w) {
            w.frm.cbSingerName->setChecked(true);
            w.frm.edtSingerName->clear();
        }) << u"歌星姓名不能为空!"_s;
    }
    void queryPrompt() {
        QFETCH(std::function<void(Window&)>, change);
        QFETCH(QString, prompt);
        MessageBoxRecorder recorder;
        Window w;
        SongFolder folder(kListedCodes);
        queryEdgeLibrary(w, folder);
        QCOMPARE(w.frm.lvSong->topLevelItemCount(), 4);

        change(w);
        w.frm.btnQuery->click();
        QCOMPARE(recorder.boxes.size(), 2);
        QCOMPARE(recorder.lastText(), prompt);
        QCOMPARE(recorder.boxes.last().flags, 64);
        QCOMPARE(songCodes(w.frm.lvSong), kListedCodes);
        QCOMPARE(w.frm.windowTitle(), kListedSummary);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // A library without the song table: the error box, an empty list, the
    // caption at the querying text and the hand cursor left on, and the window
    // still works; the next query that ends normally brings the arrow back.
    void databaseError() {
        MessageBoxRecorder recorder;
        Window w;
        SongFolder folder(kListedCodes);
        queryEdgeLibrary(w, folder);
        QCOMPARE(w.frm.lvSong->topLevelItemCount(), 4);

        w.chooseLibrary(kFixtures + u"/real/testV1997.mdb"_s);
        w.frm.btnQuery->click();
        QCOMPARE(recorder.boxes.size(), 2);
        QCOMPARE(recorder.boxes.last().flags, vaskord::MbOk | vaskord::MbIconError);
        QVERIFY(recorder.boxes.last().text.contains(u"Ok_Song"_s, Qt::CaseInsensitive));
        QCOMPARE(recorder.boxes.last().caption,
                 vaskord::applicationTitle(
                     QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
        QCOMPARE(w.frm.lvSong->topLevelItemCount(), 0);
        QCOMPARE(w.frm.windowTitle(), u"请耐心等待,正在查询符合条件的曲库记录..."_s);
        QVERIFY(vaskord::handCursorShown());

        w.frm.btnQuery->click();  // fails again: the override cursor must not stack
        w.chooseLibrary(kFixtures + u"/songs-edge.mdb"_s);
        w.frm.btnQuery->click();
        QCOMPARE(songCodes(w.frm.lvSong), kListedCodes);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    // Space ticks the selected row, and again unticks it, however the row
    // was selected.
    void spaceTicks_data() {
        QTest::addColumn<std::function<void(QTreeWidget*)>>("select");
        QTest::addColumn<QList<int>>("ticked");
        using Select = std::function<void(QTreeWidget*)>;
        const auto clickCell = [](int row, int column) {
            return Select([row, column](QTreeWidget* list) {
                const QRect cell = list->visualRect(list->model()->index(row, column));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
            });
        };
        QTest::newRow("row clicked in its path column") << clickCell(1, 7) << QList<int>{1};
        QTest::newRow("row clicked in its song name") << clickCell(2, 1) << QList<int>{2};
        QTest::newRow("row reached with the arrow keys") << Select([](QTreeWidget* list) {
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_End);
        }) << QList<int>{3};
        QTest::newRow("nothing selected") << Select([](QTreeWidget*) {}) << QList<int>{};
    }
    void spaceTicks() {
        QFETCH(std::function<void(QTreeWidget*)>, select);
        QFETCH(QList<int>, ticked);
        MessageBoxRecorder recorder;
        Window w;
        SongFolder folder(kListedCodes);
        queryEdgeLibrary(w, folder);
        QTreeWidget* list = w.frm.lvSong;
        QCOMPARE(list->topLevelItemCount(), 4);
        w.frm.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        list->setFocus();
        const auto tickedRows = [list] {
            QList<int> rows;
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                if (list->topLevelItem(row)->checkState(0) == Qt::Checked) {
                    rows << row;
                }
            }
            return rows;
        };

        select(list);
        QCOMPARE(tickedRows(), QList<int>{});
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(tickedRows(), ticked);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(tickedRows(), QList<int>{});
    }

    void emptyListButtons() {
        MessageBoxRecorder recorder;
        Window w;
        w.frm.btnSelectAll->click();
        w.frm.btnDeleteSong->click();
        QCOMPARE(recorder.boxes.size(), 2);
        QCOMPARE(recorder.boxes[0].text, u"歌曲列表为空,不能选择!"_s);
        QCOMPARE(recorder.boxes[1].text, u"歌曲列表为空,不能删除!"_s);
        QCOMPARE(w.frm.windowTitle(), u"Vaskord"_s);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void deleteTicked() {
        MessageBoxRecorder recorder;
        bool handDuringPrompt = false;
        Window w;
        SongFolder folder(kListedCodes);
        queryEdgeLibrary(w, folder);
        QCOMPARE(songCodes(w.frm.lvSong), kListedCodes);

        // 13008 and 13005 deletable; 13007's file removed by someone else.
        for (int row : {0, 2, 3}) {
            w.frm.lvSong->topLevelItem(row)->setCheckState(0, Qt::Checked);
        }
        QVERIFY(QFile::remove(folder.file(u"13007"_s)));
        const auto previous = vaskord::setMessageBoxFunction(
            [&](const QString& caption, const QString& text, int flags) {
                handDuringPrompt = vaskord::handCursorShown();
                recorder.boxes.append({caption, text, flags});
                return int(vaskord::IdOk);
            });
        w.frm.btnDeleteSong->click();
        vaskord::setMessageBoxFunction(previous);

        const QString summary = u" 已选中数量:3 删除歌曲 成功数量:2 失败数量:1 异常数量:0"_s;
        QCOMPARE(songCodes(w.frm.lvSong), (QStringList{u"13001"_s, u"13007"_s}));
        QCOMPARE(w.frm.lvSong->topLevelItem(1)->checkState(0), Qt::Checked);
        QCOMPARE(w.frm.windowTitle(), summary);
        QCOMPARE(recorder.lastText(), summary);
        QVERIFY(handDuringPrompt);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QVERIFY(!QFile::exists(folder.file(u"13008"_s)));
        QVERIFY(!QFile::exists(folder.file(u"13005"_s)));
        QVERIFY(QFile::exists(folder.file(u"13001"_s)));

        // The songs keep their rows in the library; only their files are gone.
        w.frm.btnQuery->click();
        QCOMPARE(songCodes(w.frm.lvSong), QStringList{u"13001"_s});
        QCOMPARE(w.frm.windowTitle(), u"符合条件的曲库记录数为:6,匹配歌曲文件的数量为:1"_s);

        w.frm.btnSelectAll->click();
        QCOMPARE(w.frm.lvSong->topLevelItem(0)->checkState(0), Qt::Checked);
    }

    // The library chosen lies in the song folder under a song's name: it is
    // listed like a file, but never deleted.
    void deleteNeverTakesTheOpenLibrary() {
        MessageBoxRecorder recorder;
        Window w;
        SongFolder folder(kListedCodes);
        QVERIFY(QFile::remove(folder.file(u"13008"_s)));
        QVERIFY(QFile::copy(kFixtures + u"/songs-edge.mdb"_s, folder.file(u"13008"_s)));
        QFile::setPermissions(folder.file(u"13008"_s), QFile::ReadOwner | QFile::WriteOwner);
        w.chooseLibrary(folder.file(u"13008"_s));
        QVERIFY(w.sysset.conDB.isOpen());
        w.addFolder(folder.path);
        w.frm.edtCount->lineEdit()->setText(u"100"_s);
        w.frm.cbSongNo->setChecked(true);
        w.frm.edtSongNo->setText(u"1300"_s);
        w.frm.btnQuery->click();
        QCOMPARE(songCodes(w.frm.lvSong), kListedCodes);

        w.frm.btnSelectAll->click();
        w.frm.btnDeleteSong->click();
        QCOMPARE(recorder.lastText(), u" 已选中数量:4 删除歌曲 成功数量:3 失败数量:1 异常数量:0"_s);
        QCOMPARE(songCodes(w.frm.lvSong), QStringList{u"13008"_s});
        QVERIFY(QFile::exists(folder.file(u"13008"_s)));
        QVERIFY(!QFile::exists(folder.file(u"13001"_s)));
    }

    // Nothing is kept between runs: opening both dialogs leaves the home
    // folder as it was, though the toolkit's dialogs like to remember things.
    void noTraceInHome() {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, home.path());
        for (const QString& name :
             {u"XDG_CONFIG_HOME"_s, u"XDG_CACHE_HOME"_s, u"XDG_DATA_HOME"_s, u"XDG_STATE_HOME"_s}) {
            env.remove(name);
        }
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QProcess run;
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(home.path());
        run.start(QStringLiteral(VASKORD_DIALOG_RUN), {});
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{u"原曲库路径"_s, u"请选择歌曲所在目录"_s}));

        QStringList left;
        QDirIterator it(home.path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            left << it.next();
        }
        QCOMPARE(left, QStringList());
    }

    // A box wears the window's skin whichever window is active when it opens,
    // or none.
    void messageBoxLook() {
        Window w;
        QList<QImage> looks;
        const auto openBox = [&looks] {
            const auto box = vaskord::makeMessageBox(u"系统提示"_s, u"歌曲列表为空,不能选择!"_s,
                                                     vaskord::MbOk | vaskord::MbIconInformation);
            box->show();
            QVERIFY(QTest::qWaitForWindowExposed(box.get()));
            const QColor text = box->buttons().constFirst()->palette().color(QPalette::ButtonText);
            QCOMPARE(text, QColor(u"#15428b"_s));
            looks << box->grab().toImage();
        };
        QVERIFY(QApplication::activeWindow() == nullptr);
        openBox();
        w.frm.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.frm));
        openBox();
        w.frm.dlgOpen1->show();
        QVERIFY(QTest::qWaitForWindowActive(w.frm.dlgOpen1));
        openBox();
        w.frm.dlgOpen1->reject();
        QCOMPARE(looks.size(), 3);
        QCOMPARE(looks[0], looks[1]);
        QCOMPARE(looks[2], looks[1]);
    }

    void closeButton() {
        Window w;
        w.frm.show();
        w.frm.btnClose->click();
        QVERIFY(!w.frm.isVisible());
    }
};

int main(int argc, char** argv) {
    vaskord::Application app(argc, argv);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window.moc"
