#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

#include "data/Query.h"

class QCheckBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace vaskord {

namespace data {
class Connection;
}
class DateEdit;
class IntSpinEdit;
struct SongRow;

// The main window. Component fields carry the names the operators' manuals
// use; every handler reads the controls, calls one rule of core/ and puts the
// result on screen.
class TfrmMain : public QWidget {
    Q_OBJECT

public:
    explicit TfrmMain(data::Connection& conDB, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The status line is the caption.
    void StatusLine(const QString& text);

    // Handlers, public so that a test can raise the events a person would.
    void btnSelectDBClick();
    void dlgOpen1SelectionChange(const QString& path);
    void dlgOpen1FileSelected(const QString& path);
    void dlgOpen1Close();
    void btnAddClick();
    void btnClearClick();
    void btnQueryClick();
    void btnSelectAllClick();
    void btnDeleteSongClick();
    void btnCloseClick();

    // The folder list of the last query.
    const QStringList& songFolders() const { return slSongPath; }

    // The parts that need a person: running the library dialog and choosing a
    // folder. Tests put their own in place.
    std::function<void(QFileDialog&)> runLibraryDialog;
    std::function<QString()> chooseSongFolder;

    QFrame* pnl2;
    QLabel* lbl5;
    QLineEdit* edt1;
    QPushButton* btnSelectDB;
    QLabel* lbl1;
    QPlainTextEdit* edtPath;
    QPushButton* btnClear;
    QPushButton* btnAdd;
    QFrame* pnl1;
    QGroupBox* gb1;
    QLabel* lbl3;
    IntSpinEdit* edtCount;
    QLabel* lbl2;
    IntSpinEdit* edtShowCount;
    QGroupBox* gb2;
    QCheckBox* cbLimitDate;
    DateEdit* dtDate;
    QCheckBox* cbSongNo;
    QLineEdit* edtSongNo;
    QCheckBox* cbSongName;
    QLineEdit* edtSongName;
    QCheckBox* cbSingerName;
    QLineEdit* edtSingerName;
    QPushButton* btnQuery;
    QTreeWidget* lvSong;
    QPushButton* btnSelectAll;
    QPushButton* btnDeleteSong;
    QPushButton* btnClose;
    QFileDialog* dlgOpen1;
    QFileDialog* dlgOpenPath;
    data::Query qrySong;
    data::Query qryTmp;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void toggleSelectedTicks();
    void buildComponents();
    // Runs a button's handler the way a click does: the focus leaves the box
    // being edited first, and a box that refuses its text stops the click.
    void connectButton(QPushButton* button, void (TfrmMain::*handler)());
    bool settleEditors();
    QStringList memoLines() const;
    void addSongRow(const SongRow& row);

    data::Connection& m_conDB;
    // The folders the memo shows, one entry each: the memo's text is never
    // read back, so no folder name can become two lines.
    QStringList m_memoFolders;
    QStringList slSongPath;
};

}  // namespace vaskord
