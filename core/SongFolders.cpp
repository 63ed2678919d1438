#include "core/SongFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vaskord {

QStringList normalizeSongFolders(const QStringList& memoLines) {
    QStringList folders;
    folders.reserve(memoLines.size());
    for (const QString& line : memoLines) {
        // An empty line names no folder; given a trailing "/" it would become the
        // root folder and put every .mpg file there within reach of the deletion.
        if (line.isEmpty()) {
            continue;
        }
        // The last UTF-16 unit is enough: a surrogate half never equals "/".
        folders << (line.endsWith(u'/') ? line : line + u'/');
    }
    return folders;
}

bool memoHoldsFolder(const QStringList& memoLines, const QString& folder) {
    // Case folding rather than a collator: a collator also equates composed and
    // decomposed letters, which name different folders on Linux.
    for (const QString& line : memoLines) {
        if (QString::compare(line, folder, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

QStringList addSongFolder(const QStringList& memoLines, const QString& folder) {
    if (folder.isEmpty() || memoHoldsFolder(memoLines, folder)) {
        return memoLines;
    }
    QStringList lines = memoLines;
    lines << folder;
    return lines;
}

QString songFolderBrowseStart() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) {
        return desktop;
    }
    return QDir::homePath();
}

}  // namespace vaskord
