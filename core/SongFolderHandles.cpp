#include "core/SongFolderHandles.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

int openFolder(const QByteArray& path, int& error) {
    // Read access lets the finder list the folder's names; a folder that may
    // only be searched is still opened, for tests of exact names.
    int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // Without the search right no name in it can be reached; say so now
    // rather than have every file test fail one by one.
    struct stat st {};
    if (::fstatat(fd, ".", &st, 0) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    error = 0;
    return fd;
}

}  // namespace

SongFolderHandles::~SongFolderHandles() {
    for (const auto& [path, handle] : m_folders) {
        if (handle.fd >= 0) {
            ::close(handle.fd);
        }
    }
}

int SongFolderHandles::open(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    const auto found = m_folders.find(path);
    if (found != m_folders.end()) {
        return found->second.fd;
    }
    Handle handle;
    // A NUL would cut the path short in the system call and name another folder.
    if (path.isEmpty() || path.contains('\0')) {
        handle.error = ENOENT;
    } else {
        handle.fd = openFolder(path, handle.error);
    }
    m_folders.emplace(path, handle);
    return handle.fd;
}

int SongFolderHandles::openError(const QString& folder) const {
    const auto found = m_folders.find(QFile::encodeName(folder));
    return found == m_folders.end() ? 0 : found->second.error;
}

std::optional<SongFilePlace> songFilePlace(const QString& path) {
    // A broken UTF-16 character would be encoded as another one: the name
    // deleted would not be the name shown.
    if (!path.isValidUtf16()) {
        return std::nullopt;
    }
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0 || slash == path.size() - 1) {
        return std::nullopt;
    }
    SongFilePlace place{path.left(slash + 1), QFile::encodeName(path.mid(slash + 1))};
    if (place.name == "." || place.name == ".." || place.name.contains('\0')) {
        return std::nullopt;
    }
    return place;
}

bool songFileRemains(SongFolderHandles& folders, const QString& path) {
    const std::optional<SongFilePlace> place = songFilePlace(path);
    if (!place) {
        return false;
    }
    const int fd = folders.open(place->folder);
    struct stat st {};
    return fd >= 0 && ::fstatat(fd, place->name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

QString folderUnsearchableText(const QString& folder, int error) {
    QString why;
    switch (error) {
        case ENOENT:
            why = u"目录不存在"_s;
            break;
        case ENOTDIR:
            why = u"这不是一个目录"_s;
            break;
        case EACCES:
        case EPERM:
            why = u"没有查找该目录的权限"_s;
            break;
        case ELOOP:
            why = u"符号链接层数过多"_s;
            break;
        default:
            why = u"无法打开该目录 (错误码 "_s + QString::number(error) + u")"_s;
    }
    return u"无法查找歌曲路径 "_s + folder + u": "_s + why + u'。';
}

}  // namespace vaskord
