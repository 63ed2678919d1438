#pragma once

#include <QString>

#include "core/FileMoves.h"
#include "core/SongDisposal.h"

namespace vaskord {

// The record of moves inside the keeping folder, one line per file: original
// path, path relative to the keeping folder, local time with its UTC offset;
// tab-separated, with '%', tabs, line ends and other control bytes as %XX.
inline constexpr char kMoveRecordName[] = "vaskord-moves.tsv";

// Moves song files into a keeping folder instead of deleting them. Each song
// folder gets its own subfolder there, mirroring its path (/srv/ktv/a/10023.mpg
// goes to DIR/srv/ktv/a/10023.mpg), so songs of two folders never meet. The
// record line of a file is on disk before the file leaves its folder.
class SongMover final : public SongDisposal {
public:
    // Throws, with the reason for the operator, when `destination` is no
    // folder or the record in it cannot be written.
    explicit SongMover(const QString& destination);

protected:
    Disposal disposeEntry(int folderFd, const std::string& name, const struct stat& entry) override;

private:
    void record(const std::string& line);

    QString m_destination;
    files::Fd m_folder;
    files::Fd m_record;
};

// Puts every file the record in `destination` lists back where it was, the
// latest move first, never over an existing file; reports each. Throws when
// there is no readable record.
RestoreCounts restoreMovedSongs(const QString& destination, const RestoreReport& report);

}  // namespace vaskord
