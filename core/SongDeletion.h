#pragma once

#include <QString>
#include <functional>

namespace vaskord {

// The prompts of the two list buttons when the result list has no rows.
inline constexpr char kPromptEmptyListCannotSelect[] = "歌曲列表为空,不能选择!";
inline constexpr char kPromptEmptyListCannotDelete[] = "歌曲列表为空,不能删除!";

// Deletes one song file. Refuses (returns false) when the path is missing, is
// no regular file, cannot be unlinked, or is read-only: a file without write
// permission for anyone is protected by the operator, even from root.
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

// Visits the rows last to first; deletes each ticked row's file and removes
// the row on success; a refusal counts as failed, an exception as faulted, and
// either keeps the row.
DeletionCounts deleteTickedSongFiles(
    TickedRows& rows, const std::function<bool(const QString&)>& deleteFile = deleteSongFile);

QString deletingStatus();
QString deletionSummary(const DeletionCounts& counts);

}  // namespace vaskord
