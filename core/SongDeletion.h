#pragma once

#include <sys/stat.h>

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/SongFolderHandles.h"

namespace vaskord {

// The prompts of the two list buttons when the result list has no rows.
inline constexpr char kPromptEmptyListCannotSelect[] = "歌曲列表为空,不能选择!";
inline constexpr char kPromptEmptyListCannotDelete[] = "歌曲列表为空,不能删除!";

// What became of one song file handed to a disposal action.
enum class Disposal {
    Done,     // the file is gone from its folder
    Refused,  // the file system refused; the file stays
};

// Disposes of one song file that passed every check: the entry `name` in the
// folder open as `folderFd`, where `file` describes the song file it names (a
// link's target for a link). Called with the same handle the file was found
// and checked through. May throw: the pass counts that as faulted.
using DisposeSongFile =
    std::function<Disposal(int folderFd, const std::string& name, const struct stat& file)>;

// The default action: unlinkat(), which never removes a folder even if the
// name has become one since the check.
Disposal unlinkSongFile(int folderFd, const std::string& name, const struct stat& file);

// Checks the entry `name` in the folder open as `folderFd` and hands it to
// `dispose`. Refuses when the name is missing, names no regular file (a link
// counts as its target), is read-only for everyone, or is one of `keep`.
Disposal disposeSongFileAt(int folderFd, const std::string& name, const DisposeSongFile& dispose,
                           const std::vector<FileId>& keep = {});

// deleteSongFile for one path: opens its folder for this file alone.
bool deleteSongFile(const QString& path);

// The rows the deletion pass works on, by index.
class TickedRows {
public:
    virtual ~TickedRows() = default;
    virtual int count() const = 0;
    virtual bool isTicked(int row) const = 0;
    virtual QString path(int row) const = 0;
    virtual void removeRow(int row) = 0;
};

struct DeletionCounts {
    int ticked = 0;
    int deleted = 0;
    int failed = 0;
    int faulted = 0;
};

// How one deletion pass disposes of files and when it stops.
struct DeletionPass {
    DisposeSongFile dispose = unlinkSongFile;
    // Files never disposed of, by identity: the open library, which may lie in
    // a song folder under a song's name.
    std::vector<FileId> keep;
    // Asked before each ticked row; true ends the pass with what was done.
    std::function<bool()> stopRequested;
};

// Visits the rows last to first; disposes of each ticked row's file relative
// to its folder's handle in `folders` and removes the row on success; a
// refusal counts as failed, an exception as faulted, and either keeps the row.
DeletionCounts deleteTickedSongFiles(TickedRows& rows, SongFolderHandles& folders,
                                     const DeletionPass& pass = {});
// The same pass with the folders of the ticked rows opened for it, once each.
DeletionCounts deleteTickedSongFiles(TickedRows& rows, const DeletionPass& pass = {});

QString deletingStatus();
QString deletionSummary(const DeletionCounts& counts);

}  // namespace vaskord
