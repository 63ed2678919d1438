#pragma once

#include <QString>
#include <QStringList>

namespace vaskord {

// The search list for one query: each memo line, in order, ending in "/".
// Empty lines name no folder and are left out (never turned into "/").
QStringList normalizeSongFolders(const QStringList& memoLines);

// Whether the memo already holds the folder, compared exactly: folders whose
// names differ only in letter case are different folders on Linux.
bool memoHoldsFolder(const QStringList& memoLines, const QString& folder);

// The memo after adding a folder: unchanged when it already holds it or when
// no folder was chosen (empty text).
QStringList addSongFolder(const QStringList& memoLines, const QString& folder);

// Why a path cannot be used as it stands, for an operator; empty when it can.
// A control character (a line break above all) is refused: in the memo it
// would split one folder into two lines. A relative song folder is refused:
// it would be searched, and emptied, under whatever the working folder is.
// A name that is no UTF-8 reached us with its bytes replaced and would name
// another file, so it is refused with the command that renames it.
QString songFolderProblem(const QString& folder);
QString libraryPathProblem(const QString& path);

// Whether the path lost bytes that were no UTF-8 when it became text.
bool holdsUndecodedBytes(const QString& path);

// The path as one line of text: control characters shown as \xHH.
QString visiblePath(const QString& path);

// Where the folder chooser starts: the desktop folder, or home where there is none.
QString songFolderBrowseStart();

}  // namespace vaskord
