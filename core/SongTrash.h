#pragma once

#include <QString>
#include <QStringList>

#include "core/SongDisposal.h"

namespace vaskord {

// The desktop's trash (freedesktop.org): a file on the home's file system
// goes to the home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash),
// any other to the trash at the top of its own file system, $topdir/.Trash/$uid
// when the administrator provides a sticky $topdir/.Trash, else
// $topdir/.Trash-$uid. Each file gets info/NAME.trashinfo with its original
// path and the deletion date, written before the file moves to files/NAME.
// Never copies: a file that cannot be renamed into a trash stays where it is.
class SongTrash final : public SongDisposal {
public:
    // Reads HOME and XDG_DATA_HOME now.
    SongTrash();

protected:
    Disposal disposeEntry(int folderFd, const std::string& name, const struct stat& entry) override;

private:
    std::string m_homeBase;   // must exist for the home trash to be made
    std::string m_homeTrash;  // empty without a usable HOME
};

// Puts trashed song files (.mpg) back where their .trashinfo says they were,
// from the home trash and the trash folders of every mounted file system.
// With `originals` only those paths, otherwise every song file in the trash.
// Of several trashed files with one original path the latest comes back
// first; nothing is ever overwritten. Reports each file.
RestoreCounts restoreTrashedSongs(const QStringList& originals, const RestoreReport& report);

}  // namespace vaskord
