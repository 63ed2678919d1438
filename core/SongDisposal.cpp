#include "core/SongDisposal.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>

#include "core/FileMoves.h"

using namespace Qt::StringLiterals;

namespace vaskord {

bool disposeSongFile(SongDisposal& disposal, const QString& path, qint64* removedBytes) {
    // A NUL would cut the path short in the system call and name another file.
    if (path.isEmpty() || path.contains(QChar(u'\0'))) {
        return disposal.refuse(u"路径无效"_s);
    }
    const auto [folder, name] = files::splitPath(QFile::encodeName(path).toStdString());
    const files::Fd folderFd = files::openFolder(folder);
    if (!folderFd.valid()) {
        return disposal.refuse(systemErrorText(errno));
    }
    // The lookup's view decides what the name is: a link counts as its target.
    struct stat target {};
    if (::fstatat(folderFd.get(), name.c_str(), &target, 0) != 0) {
        return disposal.refuse(systemErrorText(errno));
    }
    if (!S_ISREG(target.st_mode)) {
        return disposal.refuse(u"不是文件"_s);
    }
    if (files::isWriteProtected(target)) {
        return disposal.refuse(u"文件只读"_s);
    }
    struct stat entry {};
    if (::fstatat(folderFd.get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return disposal.refuse(systemErrorText(errno));
    }
    if (!disposal.dispose(folderFd.get(), folder, name, entry)) {
        return false;
    }
    if (removedBytes != nullptr && S_ISREG(entry.st_mode)) {
        *removedBytes += entry.st_size;
    }
    return true;
}

QString restoreSummary(const RestoreCounts& counts) {
    return u" 恢复歌曲文件 成功数量:"_s + QString::number(counts.restored) + u" 失败数量:"_s +
           QString::number(counts.failed) + u" 已在原处数量:"_s + QString::number(counts.inPlace);
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
