#include "core/SongDisposal.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "core/FileMoves.h"
#include "core/FileSizes.h"

using namespace Qt::StringLiterals;

namespace vaskord {

Disposal SongDisposal::dispose(int folderFd, const std::string& name, const struct stat& file) {
    m_reason.clear();
    if (files::isWriteProtected(file)) {
        return refuse(u"文件只读"_s);
    }
    struct stat entry {};
    if (::fstatat(folderFd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return refuse(systemErrorText(errno));
    }
    if (!S_ISREG(entry.st_mode) && !S_ISLNK(entry.st_mode)) {
        return refuse(u"不是文件"_s);
    }
    return disposeEntry(folderFd, name, entry);
}

DisposeSongFile countingFreedBytes(DisposeSongFile action, qint64* freed) {
    return [action = std::move(action), freed](int folderFd, const std::string& name,
                                               const struct stat& file) {
        struct stat entry {};
        const bool link = ::fstatat(folderFd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(entry.st_mode);
        const Disposal outcome = action(folderFd, name, file);
        if (outcome == Disposal::Done && !link) {
            *freed += file.st_size;
        }
        return outcome;
    };
}

QString restoreSummary(const RestoreCounts& counts) {
    return u" 恢复歌曲文件 成功数量:"_s + QString::number(counts.restored) + u" 失败数量:"_s +
           QString::number(counts.failed) + u" 已在原处数量:"_s + QString::number(counts.inPlace);
}

namespace {

QString passSummary(const DeletionCounts& counts, const QString& action) {
    return u" 已选中数量:"_s + QString::number(counts.ticked) + u' ' + action + u" 成功数量:"_s +
           QString::number(counts.deleted) + u" 失败数量:"_s + QString::number(counts.failed) +
           u" 异常数量:"_s + QString::number(counts.faulted);
}

}  // namespace

QString movingSummary(const DeletionCounts& counts) {
    return passSummary(counts, u"移动歌曲"_s);
}

QString trashingSummary(const DeletionCounts& counts) {
    return passSummary(counts, u"移入回收站"_s);
}

QString movedTotal(qint64 bytes) {
    return u"已移走:"_s + sizeText(bytes);
}

QString trashedTotal(qint64 bytes) {
    return u"已移入回收站:"_s + sizeText(bytes);
}

bool moveBack(int keptFolder, const std::string& keptName, const struct stat& kept,
              int originalFolder, const std::string& originalName, RestoredSong& song) {
    int error = 0;
    switch (files::moveFileAt(
        keptFolder, keptName, kept, originalFolder, originalName, [] {}, &error)) {
        case files::MoveResult::Moved:
            song.result = RestoredSong::Result::Restored;
            return true;
        case files::MoveResult::Clash:
            song.reason = u"原处已有同名文件, 未覆盖"_s;
            return false;
        case files::MoveResult::Failed:
            song.reason = systemErrorText(error);
            return false;
    }
    return false;
}

QString systemErrorText(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return u"磁盘空间不足"_s;
        case EROFS:
            return u"文件系统只读"_s;
        case EACCES:
        case EPERM:
            return u"没有权限"_s;
        case ENOENT:
            return u"文件或文件夹不存在"_s;
        case EEXIST:
            return u"同名文件已存在"_s;
        case ENOTDIR:
        case ELOOP:
            return u"路径中有不是文件夹的部分"_s;
        case ESTALE:
            return u"文件在处理期间被替换"_s;
        case EIO:
            return u"读写错误"_s;
        case EXDEV:
            return u"不能跨文件系统移动"_s;
        case ENAMETOOLONG:
            return u"路径过长"_s;
        default:
            return u"系统错误 "_s + QString::number(error);
    }
}

}  // namespace vaskord
