#pragma once

#include <QString>
#include <QStringList>

namespace vaskord {

// The search list for one query: each memo line, in order, ending in "/".
// Empty lines name no folder and are left out (never turned into "/").
QStringList normalizeSongFolders(const QStringList& memoLines);

// Whether the memo already holds the folder, compared without regard to
// letter case (Unicode case folding, the same in every locale but Turkish).
bool memoHoldsFolder(const QStringList& memoLines, const QString& folder);

// The memo after adding a folder: unchanged when it already holds it or when
// no folder was chosen (empty text).
QStringList addSongFolder(const QStringList& memoLines, const QString& folder);

// Where the folder chooser starts: the desktop folder, or home where there is none.
QString songFolderBrowseStart();

}  // namespace vaskord
