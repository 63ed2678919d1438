#pragma once

#include <sys/stat.h>

#include <QString>
#include <QtGlobal>
#include <functional>
#include <string>

namespace vaskord {

// A way of taking a song file out of its folder that can be undone: moving it
// into a keeping folder or into the trash. Works on a name inside an open
// folder; `folderPath` is the folder as it was listed, for the records.
class SongDisposal {
public:
    virtual ~SongDisposal() = default;

    // True when folder/name is gone from the folder and kept elsewhere. A
    // refusal returns false and says why in failureReason(); a fault of the
    // platform throws. A file without any write right is always refused.
    virtual bool dispose(int folderFd, const std::string& folderPath, const std::string& name,
                         const struct stat& st) = 0;

    QString failureReason() const { return m_reason; }

    // Records why a file stays; returns false, the result of a refusal.
    bool refuse(QString reason) {
        m_reason = std::move(reason);
        return false;
    }

protected:
    void clearReason() { m_reason.clear(); }

private:
    QString m_reason;
};

// Hands the listed song file at `path` to `disposal`, as the deletion would
// take it: the name must still be a regular file or a link to one, and
// neither may be write-protected. Adds the bytes that left the folder (a link
// frees no song's worth) to *removedBytes on success.
bool disposeSongFile(SongDisposal& disposal, const QString& path, qint64* removedBytes);

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

// An errno as the operator reads it.
QString systemErrorText(int error);

}  // namespace vaskord
