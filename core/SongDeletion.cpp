#include "core/SongDeletion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

using namespace Qt::StringLiterals;

namespace vaskord {

bool deleteSongFile(const QString& path) {
    // A NUL would cut the path short in the system call and name another file.
    if (path.isEmpty() || path.contains(QChar(u'\0'))) {
        return false;
    }
    const QByteArray encoded = QFile::encodeName(path);
    // The same view of the path as the lookup had: a link counts as its target,
    // so a link to a folder or to a protected file is refused like the target.
    struct stat st {};
    if (::stat(encoded.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    // Operators protect songs by taking away every write right; Linux would
    // delete such a file anyway (the folder's rights decide), so refuse here.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return false;
    }
    // unlink() never removes a folder, even if the path has become one since.
    return ::unlink(encoded.constData()) == 0;
}

DeletionCounts deleteTickedSongFiles(TickedRows& rows,
                                     const std::function<bool(const QString&)>& deleteFile) {
    DeletionCounts counts;
    // Last to first, so removing a row leaves the indexes still to visit valid.
    for (int row = rows.count() - 1; row >= 0; --row) {
        if (!rows.isTicked(row)) {
            continue;
        }
        ++counts.ticked;
        bool deleted = false;
        try {
            deleted = deleteFile(rows.path(row));
        } catch (...) {
            ++counts.faulted;
            continue;
        }
        if (deleted) {
            ++counts.deleted;
            rows.removeRow(row);
        } else {
            ++counts.failed;
        }
    }
    return counts;
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
