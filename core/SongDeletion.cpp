#include "core/SongDeletion.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vaskord {

Disposal unlinkSongFile(int folderFd, const std::string& name, const struct stat&) {
    return ::unlinkat(folderFd, name.c_str(), 0) == 0 ? Disposal::Done : Disposal::Refused;
}

Disposal disposeSongFileAt(int folderFd, const std::string& name, const DisposeSongFile& dispose,
                           const std::vector<FileId>& keep) {
    // A NUL would cut the name short in the system call; a "/" or ".." would
    // leave the folder.
    if (folderFd < 0 || name.empty() || name == "." || name == ".." ||
        name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
        return Disposal::Refused;
    }
    struct stat entry {};
    if (::fstatat(folderFd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return Disposal::Refused;
    }
    // The same view of the file as the lookup had: a link counts as its
    // target, so a link to a folder or to a protected file is refused like the
    // target, and only the link itself is removed.
    struct stat file = entry;
    if (S_ISLNK(entry.st_mode) && ::fstatat(folderFd, name.c_str(), &file, 0) != 0) {
        return Disposal::Refused;
    }
    if (!S_ISREG(file.st_mode)) {
        return Disposal::Refused;
    }
    // Operators protect songs by taking away every write right; Linux would
    // delete such a file anyway (the folder's rights decide), so refuse here.
    if ((file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return Disposal::Refused;
    }
    const auto kept = [&keep](const struct stat& st) {
        return std::find(keep.begin(), keep.end(), FileId::of(st)) != keep.end();
    };
    if (kept(entry) || kept(file)) {
        return Disposal::Refused;
    }
    return dispose(folderFd, name, file);
}

bool deleteSongFile(const QString& path) {
    const std::optional<SongFilePlace> place = songFilePlace(path);
    if (!place) {
        return false;
    }
    SongFolderHandles folders;
    return disposeSongFileAt(folders.open(place->folder), place->name.toStdString(),
                             unlinkSongFile) == Disposal::Done;
}

DeletionCounts deleteTickedSongFiles(TickedRows& rows, SongFolderHandles& folders,
                                     const DeletionPass& pass) {
    DeletionCounts counts;
    // Last to first, so removing a row leaves the indexes still to visit valid.
    for (int row = rows.count() - 1; row >= 0; --row) {
        if (!rows.isTicked(row)) {
            continue;
        }
        if (pass.stopRequested && pass.stopRequested()) {
            break;
        }
        ++counts.ticked;
        Disposal outcome = Disposal::Refused;
        try {
            const std::optional<SongFilePlace> place = songFilePlace(rows.path(row));
            if (place) {
                outcome = disposeSongFileAt(folders.open(place->folder), place->name.toStdString(),
                                            pass.dispose, pass.keep);
            }
        } catch (...) {
            ++counts.faulted;
            continue;
        }
        if (outcome == Disposal::Done) {
            ++counts.deleted;
            rows.removeRow(row);
        } else {
            ++counts.failed;
        }
    }
    return counts;
}

DeletionCounts deleteTickedSongFiles(TickedRows& rows, const DeletionPass& pass) {
    SongFolderHandles folders;
    return deleteTickedSongFiles(rows, folders, pass);
}

QString deletingStatus() {
    return u"请耐心等待,正在删除文件..."_s;
}

QString deletionSummary(const DeletionCounts& counts) {
    return u" 已选中数量:"_s + QString::number(counts.ticked) + u" 删除歌曲 成功数量:"_s +
           QString::number(counts.deleted) + u" 失败数量:"_s + QString::number(counts.failed) +
           u" 异常数量:"_s + QString::number(counts.faulted);
}

}  // namespace vaskord
