#pragma once

#include <sys/stat.h>

#include <QString>
#include <QtGlobal>
#include <functional>
#include <string>

#include "core/SongDeletion.h"

namespace vaskord {

// A way of taking a song file out of its folder that can be undone: moving it
// into a keeping folder or into the trash. Plugs into the deletion pass in
// place of unlinking (action()), so every check of the pass still applies.
class SongDisposal {
public:
    virtual ~SongDisposal() = default;

    // Takes the entry `name` of the folder open as `folderFd` away and keeps
    // it elsewhere; `file` describes the song file it names (a link's target
    // for a link). A refusal says why in failureReason(); a fault of the
    // platform throws. A file without any write right is always refused.
    Disposal dispose(int folderFd, const std::string& name, const struct stat& file);

    // dispose() as the deletion pass takes its action.
    DisposeSongFile action() {
        return [this](int folderFd, const std::string& name, const struct stat& file) {
            return dispose(folderFd, name, file);
        };
    }

    QString failureReason() const { return m_reason; }

protected:
    // `entry` describes the name itself: a link is moved as a link.
    virtual Disposal disposeEntry(int folderFd, const std::string& name,
                                  const struct stat& entry) = 0;

    Disposal refuse(QString reason) {
        m_reason = std::move(reason);
        return Disposal::Refused;
    }

private:
    QString m_reason;
};

// Wraps a disposal action so that the bytes of each song file it takes away
// are added to *freed. A link taken away frees no song's worth of space.
DisposeSongFile countingFreedBytes(DisposeSongFile action, qint64* freed);

// One file a restore looked at.
struct RestoredSong {
    enum class Result {
        Restored,
        AlreadyInPlace,  // restored before: the file is back and nothing is kept
        Failed,
    };
    std::string original;  // where it belongs
    std::string keptAt;    // where it was kept
    Result result = Result::Failed;
    QString reason;  // for Failed and AlreadyInPlace, in the operator's words
};

struct RestoreCounts {
    int restored = 0;
    int failed = 0;
    int inPlace = 0;
};

using RestoreReport = std::function<void(const RestoredSong&)>;

QString restoreSummary(const RestoreCounts& counts);

// Moves a kept file back to where it belongs, never over a file there, and
// records the outcome in `song`. True when the file is back.
bool moveBack(int keptFolder, const std::string& keptName, const struct stat& kept,
              int originalFolder, const std::string& originalName, RestoredSong& song);

// The deletion summary's counts for a pass that moved files away instead,
// and what left the song folders: "已移走:3.2 GB", "已移入回收站:3.2 GB".
// Neither frees space the way a deletion does, so neither says it does.
QString movingSummary(const DeletionCounts& counts);
QString trashingSummary(const DeletionCounts& counts);
QString movedTotal(qint64 bytes);
QString trashedTotal(qint64 bytes);

// An errno as the operator reads it.
QString systemErrorText(int error);

}  // namespace vaskord
