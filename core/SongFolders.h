#pragma once

#include <QString>
#include <QStringList>

namespace vaskord {

// The search list for one query: each memo line, in order, ending in "/".
QStringList normalizeSongFolders(const QStringList& memoLines);

// Whether the memo already holds the folder, compared without regard to
// letter case by the rules of the user's locale.
bool memoHoldsFolder(const QStringList& memoLines, const QString& folder);

// The memo after adding a folder: unchanged when it already holds it.
QStringList addSongFolder(const QStringList& memoLines, const QString& folder);

// Where the folder chooser starts: the desktop folder, or home where there is none.
QString songFolderBrowseStart();

}  // namespace vaskord
