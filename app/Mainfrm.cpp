#include "app/Mainfrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "app/DateEdit.h"
#include "app/IntSpinEdit.h"
#include "app/Skin.h"
#include "common/Application.h"
#include "common/Pubs.h"
#include "common/ScreenCursor.h"
#include "core/SongDeletion.h"
#include "core/SongFiles.h"
#include "core/SongFolders.h"
#include "core/SongListing.h"
#include "core/SongQuery.h"
#include "data/Connection.h"

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

constexpr int kClientWidth = 1125;
constexpr int kClientHeight = 734;
constexpr int kPathColumn = 7;

// The result list as the deletion pass sees it.
class SongListRows final : public TickedRows {
public:
    explicit SongListRows(QTreeWidget* list) : m_list(list) {}
    int count() const override { return m_list->topLevelItemCount(); }
    bool isTicked(int row) const override {
        return m_list->topLevelItem(row)->checkState(0) == Qt::Checked;
    }
    QString path(int row) const override { return m_list->topLevelItem(row)->text(kPathColumn); }
    void removeRow(int row) override { delete m_list->takeTopLevelItem(row); }

private:
    QTreeWidget* m_list;
};

// The library dialog. The toolkit's dialog reads a folder name typed without
// its path against the program's working folder, not the folder shown, so it
// takes the name for a new file and adds ".mdb"; open that folder instead, as
// the dialog does with a folder path typed in full.
class LibraryFileDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        const QString suffix = u'.' + defaultSuffix();
        if (files.size() == 1 && files.constFirst().endsWith(suffix) &&
            !QFileInfo::exists(files.constFirst())) {
            const QFileInfo folder(files.constFirst().chopped(suffix.size()));
            if (folder.isDir()) {
                setDirectory(folder.absoluteFilePath());
                return;
            }
        }
        QFileDialog::accept();
    }
};

template <typename Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    if (width < 0 || height < 0) {
        widget->adjustSize();
    }
    widget->setGeometry(left, top, width < 0 ? widget->width() : width,
                        height < 0 ? widget->height() : height);
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, int left, int top,
                    int width, int height, QStyle::StandardPixmap glyph, bool handCursor) {
    auto* b = place(new QPushButton(text, parent), name, left, top, width, height);
    b->setIcon(parent->style()->standardIcon(glyph));
    b->setIconSize(QSize(16, 16));
    if (handCursor) {
        b->setCursor(Qt::PointingHandCursor);
    }
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top) {
    return place(new QLabel(text, parent), name, left, top, -1, -1);
}

QLineEdit* plainEdit(QWidget* parent, const char* name, int left, int top, int width, int height,
                     int maxLength) {
    auto* edit = place(new QLineEdit(parent), name, left, top, width, height);
    QFont font(u"MS Sans Serif"_s);
    font.setPixelSize(15);
    edit->setFont(font);
    if (maxLength > 0) {
        edit->setMaxLength(maxLength);
    }
    return edit;
}

}  // namespace

TfrmMain::TfrmMain(data::Connection& conDB, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_conDB(conDB) {
    installFontSubstitutes();
    setObjectName(u"frmMain"_s);
    setWindowTitle(u"Vaskord"_s);
    setFixedSize(kClientWidth, kClientHeight);
    move(74, 96);
    QFont font(u"宋体"_s);
    font.setPixelSize(12);
    setFont(font);
    // The skin dresses the whole program, not this window alone, so that a
    // message box or dialog looks the same whichever window it opens over.
    const QString skin = office2007BlueStyleSheet();
    if (qApp->styleSheet() != skin) {
        qApp->setStyleSheet(skin);
    }
    buildComponents();

    runLibraryDialog = [](QFileDialog& dialog) { dialog.exec(); };
    chooseSongFolder = [this] {
        return QFileDialog::getExistingDirectory(
            this, u"请选择歌曲所在目录"_s, songFolderBrowseStart(), QFileDialog::ShowDirsOnly);
    };
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate() {
    slSongPath.clear();
}

void TfrmMain::buildComponents() {
    pnl2 = place(new QFrame(this), "pnl2", 1, -1, 296, 733);
    pnl2->setFrameShape(QFrame::StyledPanel);
    lbl5 = label(pnl2, "lbl5", u"歌库文件:"_s, 14, 14);
    edt1 = plainEdit(pnl2, "edt1", 80, 9, 187, 24, 0);
    edt1->setReadOnly(true);
    btnSelectDB = button(pnl2, "btnSelectDB", u"选择(&C)"_s, 174, 43, 90, 28,
                         QStyle::SP_DialogOpenButton, true);
    lbl1 = label(pnl2, "lbl1", u"歌曲路径:"_s, 14, 130);
    edtPath = place(new QPlainTextEdit(pnl2), "edtPath", 80, 107, 185, 263);
    edtPath->setReadOnly(true);
    edtPath->setLineWrapMode(QPlainTextEdit::NoWrap);
    edtPath->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    btnClear = place(new QPushButton(u"清空"_s, pnl2), "btnClear", 82, 379, 80, 28);
    btnClear->setCursor(Qt::PointingHandCursor);
    btnAdd = button(pnl2, "btnAdd", u"&添加(&A)"_s, 174, 379, 90, 28,
                    QStyle::SP_FileDialogNewFolder, true);
    // The caption marks A as the access key, but the toolkit takes the first
    // "&" and would bind the button to Alt+添, which no keyboard types.
    btnAdd->setShortcut(QKeySequence(Qt::ALT | Qt::Key_A));

    pnl1 = place(new QFrame(this), "pnl1", 298, 1, 824, 80);
    pnl1->setFrameShape(QFrame::StyledPanel);
    gb1 = place(new QGroupBox(u"必选条件"_s, pnl1), "gb1", 0, 2, 265, 77);
    lbl3 = label(gb1, "lbl3", u"点播量<"_s, 13, 34);
    edtCount = place(new IntSpinEdit(gb1), "edtCount", 61, 32, 57, 21);
    edtCount->setRange(1, 100);
    edtCount->setValue(1);
    lbl2 = label(gb1, "lbl2", u"歌曲文件数量"_s, 128, 34);
    edtShowCount = place(new IntSpinEdit(gb1), "edtShowCount", 205, 32, 49, 21);
    edtShowCount->setRange(1, 1000);
    edtShowCount->setValue(100);

    gb2 = place(new QGroupBox(u"可选条件"_s, pnl1), "gb2", 264, 2, 440, 77);
    cbLimitDate = place(new QCheckBox(u"录入日期<"_s, gb2), "cbLimitDate", 9, 19, 81, 21);
    dtDate = place(new DateEdit(gb2), "dtDate", 87, 18, 74, 21);
    dtDate->setDate(QDate(2015, 1, 1));
    cbSongNo = place(new QCheckBox(u"编号开头"_s, gb2), "cbSongNo", 227, 19, 71, 21);
    edtSongNo = plainEdit(gb2, "edtSongNo", 298, 18, 129, 24, 20);
    cbSongName = place(new QCheckBox(u"名称开头"_s, gb2), "cbSongName", 9, 43, 71, 21);
    edtSongName = plainEdit(gb2, "edtSongName", 82, 42, 129, 24, 50);
    cbSingerName = place(new QCheckBox(u"歌星姓名"_s, gb2), "cbSingerName", 227, 43, 71, 21);
    edtSingerName = plainEdit(gb2, "edtSingerName", 298, 42, 129, 24, 50);
    btnQuery = button(pnl1, "btnQuery", u"Q.查询"_s, 725, 22, 84, 33,
                      QStyle::SP_FileDialogContentsView, false);

    lvSong = place(new QTreeWidget(this), "lvSong", 297, 80, 831, 609);
    lvSong->setRootIsDecorated(false);
    lvSong->setItemsExpandable(false);
    lvSong->setUniformRowHeights(true);
    lvSong->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvSong->setSelectionMode(QAbstractItemView::SingleSelection);
    lvSong->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvSong->setSortingEnabled(false);
    lvSong->header()->setSectionsClickable(false);
    lvSong->header()->setSectionsMovable(false);
    lvSong->header()->setStretchLastSection(false);
    lvSong->installEventFilter(this);
    const QList<std::pair<QString, int>> columns = {
        {u"编号"_s, 100}, {u"歌曲名称"_s, 150}, {u"歌手1"_s, 80},    {u"歌手2"_s, 80},
        {u"版本"_s, 80},  {u"点播量"_s, 50},    {u"录入日期"_s, 80}, {u"歌曲路径"_s, 200},
    };
    QStringList captions;
    for (const auto& column : columns) {
        captions << column.first;
    }
    lvSong->setHeaderLabels(captions);
    for (int i = 0; i < columns.size(); ++i) {
        lvSong->setColumnWidth(i, columns[i].second);
    }

    btnSelectAll = button(this, "btnSelectAll", u"全选"_s, 336, 697, 90, 28,
                          QStyle::SP_DialogApplyButton, true);
    btnDeleteSong = button(this, "btnDeleteSong", u"删除歌曲文件"_s, 446, 697, 120, 28,
                           QStyle::SP_TrashIcon, true);
    btnClose =
        button(this, "btnClose", u"关闭"_s, 1015, 693, 84, 33, QStyle::SP_DialogCloseButton, false);

    dlgOpen1 = new LibraryFileDialog(this, u"原曲库路径"_s);
    dlgOpen1->setObjectName(u"dlgOpen1"_s);
    dlgOpen1->setOption(QFileDialog::DontUseNativeDialog);
    dlgOpen1->setAcceptMode(QFileDialog::AcceptOpen);
    dlgOpen1->setFileMode(QFileDialog::AnyFile);
    dlgOpen1->setNameFilter(u"access数据库 (*.mdb)"_s);
    dlgOpen1->setDefaultSuffix(u"mdb"_s);
    dlgOpenPath = new QFileDialog(this);
    dlgOpenPath->setObjectName(u"dlgOpenPath"_s);

    connect(dlgOpen1, &QFileDialog::currentChanged, this, &TfrmMain::dlgOpen1SelectionChange);
    connect(dlgOpen1, &QFileDialog::fileSelected, this, &TfrmMain::dlgOpen1FileSelected);
    connectButton(btnSelectDB, &TfrmMain::btnSelectDBClick);
    connectButton(btnAdd, &TfrmMain::btnAddClick);
    connectButton(btnClear, &TfrmMain::btnClearClick);
    connectButton(btnQuery, &TfrmMain::btnQueryClick);
    connectButton(btnSelectAll, &TfrmMain::btnSelectAllClick);
    connectButton(btnDeleteSong, &TfrmMain::btnDeleteSongClick);
    connectButton(btnClose, &TfrmMain::btnCloseClick);
}

void TfrmMain::connectButton(QPushButton* b, void (TfrmMain::*handler)()) {
    connect(b, &QPushButton::clicked, this, [this, handler] {
        if (settleEditors()) {
            runHandler([this, handler] { (this->*handler)(); });
        }
    });
}

bool TfrmMain::settleEditors() {
    // A click by mnemonic or by a test does not move the focus, so settle every
    // box the way leaving it would; the one that refuses its text keeps the focus.
    if (!edtCount->settle()) {
        edtCount->setFocus();
        return false;
    }
    if (!edtShowCount->settle()) {
        edtShowCount->setFocus();
        return false;
    }
    if (!dtDate->settle()) {
        dtDate->setFocus();
        return false;
    }
    return true;
}

void TfrmMain::StatusLine(const QString& text) {
    setWindowTitle(text);
}

QStringList TfrmMain::memoLines() const {
    return m_memoFolders;
}

void TfrmMain::btnSelectDBClick() {
    runLibraryDialog(*dlgOpen1);
    dlgOpen1Close();
}

void TfrmMain::dlgOpen1SelectionChange(const QString& path) {
    // Browsing passes through folders and clears the selection on the way;
    // neither is a library, and taking it would lose the one in use when the
    // operator then cancels.
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        return;
    }
    edt1->setText(path);
}

void TfrmMain::dlgOpen1FileSelected(const QString& path) {
    // A confirmed dialog opens the file it confirmed, typed into the name box
    // or picked in the list.
    edt1->setText(path);
}

void TfrmMain::dlgOpen1Close() {
    m_conDB.reopenOn(edt1->text());
    qryTmp.setConnection(&m_conDB);
    qrySong.setConnection(&m_conDB);
}

void TfrmMain::btnAddClick() {
    const QString folder = chooseSongFolder();
    if (folder.isEmpty()) {
        return;
    }
    if (const QString problem = songFolderProblem(folder); !problem.isEmpty()) {
        ShowPrompt(problem, 0);
        return;
    }
    const QStringList added = addSongFolder(m_memoFolders, folder);
    if (added.size() != m_memoFolders.size()) {
        m_memoFolders = added;
        edtPath->appendPlainText(folder);
    }
}

void TfrmMain::btnClearClick() {
    m_memoFolders.clear();
    edtPath->clear();
}

void TfrmMain::btnQueryClick() {
    QueryInput input;
    input.libraryPath = edt1->text();
    input.folderLines = memoLines();
    input.countText = edtCount->text();
    input.showCount = edtShowCount->value();
    input.limitDate = cbLimitDate->isChecked();
    input.dateText = dtDate->text();
    input.date = dtDate->date();
    input.songNo = cbSongNo->isChecked();
    input.songNoText = edtSongNo->text();
    input.songName = cbSongName->isChecked();
    input.songNameText = edtSongName->text();
    input.singer = cbSingerName->isChecked();
    input.singerText = edtSingerName->text();

    const CandidateQueryPlan plan = planCandidateQuery(input);
    if (plan.songFoldersRebuilt) {
        slSongPath = plan.songFolders;
    }
    if (!plan.prompt.isEmpty()) {
        ShowPrompt(plan.prompt, 0);
        return;
    }

    lvSong->clear();
    qrySong.close();
    setHandCursor();
    StatusLine(queryingStatus());
    qrySong.setSql(plan.sql);
    qrySong.open();
    const int recordCount = qrySong.recordCount();
    StatusLine(findingFilesStatus(recordCount));

    SongFileFinder finder(slSongPath);
    const int matched =
        listSongFiles(qrySong, finder, plan.limit, [this](const SongRow& row) { addSongRow(row); });
    setDefaultCursor();
    StatusLine(listingSummary(recordCount, matched));
    ShowPrompt(windowTitle(), 0);
}

void TfrmMain::addSongRow(const SongRow& row) {
    auto* item = new QTreeWidgetItem(QStringList{row.code, row.name, row.singer1, row.singer2,
                                                 row.copyDest, row.count, row.inputDate, row.path});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                   Qt::ItemNeverHasChildren);
    item->setCheckState(0, Qt::Unchecked);
    lvSong->addTopLevelItem(item);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // Space ticks the selected rows, as in any list with check boxes. The
    // list's own handling would only tick a row whose first cell is current,
    // not one selected by a click in another column.
    if (watched == lvSong && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            toggleSelectedTicks();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::toggleSelectedTicks() {
    const QList<QTreeWidgetItem*> rows = lvSong->selectedItems();
    const bool allTicked = std::all_of(rows.begin(), rows.end(), [](const QTreeWidgetItem* row) {
        return row->checkState(0) == Qt::Checked;
    });
    for (QTreeWidgetItem* row : rows) {
        row->setCheckState(0, allTicked ? Qt::Unchecked : Qt::Checked);
    }
}

void TfrmMain::btnSelectAllClick() {
    const int rows = lvSong->topLevelItemCount();
    if (rows == 0) {
        ShowPrompt(QString::fromUtf8(kPromptEmptyListCannotSelect), 0);
        return;
    }
    for (int row = 0; row < rows; ++row) {
        lvSong->topLevelItem(row)->setCheckState(0, Qt::Checked);
    }
}

void TfrmMain::btnDeleteSongClick() {
    if (lvSong->topLevelItemCount() == 0) {
        ShowPrompt(QString::fromUtf8(kPromptEmptyListCannotDelete), 0);
        return;
    }
    setHandCursor();
    StatusLine(deletingStatus());
    SongListRows rows(lvSong);
    DeletionPass pass;
    if (const auto library = m_conDB.libraryFileId()) {
        pass.keep.push_back(*library);
    }
    const DeletionCounts counts = deleteTickedSongFiles(rows, pass);
    StatusLine(deletionSummary(counts));
    ShowPrompt(windowTitle(), 0);
    setDefaultCursor();
}

void TfrmMain::btnCloseClick() {
    close();
}

}  // namespace vaskord
