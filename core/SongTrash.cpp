#include "core/SongTrash.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "core/FileMoves.h"

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

const std::string kInfoSuffix = ".trashinfo";
// How many "10023.N.mpg" names to try when the trash already holds 10023.mpg.
constexpr int kMaxNameTries = 10000;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The home trash and the folder it is made in, which must exist already: the
// home itself, or the folder holding $XDG_DATA_HOME. Without one there is no
// home trash; in particular a missing home is never made up, nor a trash
// put wherever the program happens to run (a relative path counts as none).
struct HomeTrash {
    std::string base;
    std::string path;  // empty: no home trash
};

HomeTrash homeTrash() {
    const std::string dataHome = environment("XDG_DATA_HOME");
    if (dataHome.starts_with('/')) {
        return {files::splitPath(dataHome).first, dataHome + "/Trash"};
    }
    const std::string home = environment("HOME");
    if (home.starts_with('/')) {
        return {home, home + "/.local/share/Trash"};
    }
    return {};
}

// The device the home trash is or would be on: that of its existing part.
bool homeTrashDevice(const HomeTrash& home, dev_t* device) {
    std::string path = home.path;
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            *device = st.st_dev;
            return S_ISDIR(st.st_mode);
        }
        if (errno != ENOENT || path.size() <= home.base.size()) {
            return false;
        }
        path = files::splitPath(path).first;
    }
}

// Makes the missing folders between the base and the home trash, each
// private to the user.
void makeHomeTrash(const HomeTrash& home) {
    for (size_t slash = home.path.find('/', home.base.size() + 1);;
         slash = home.path.find('/', slash + 1)) {
        ::mkdir(home.path.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) {
            break;
        }
    }
}

// A trash folder that has passed its checks, with its two subfolders.
struct TrashFolder {
    std::string path;
    std::string base;  // relative Path lines start here
    files::Fd files;
    files::Fd info;
};

bool openParts(TrashFolder& trash, int trashFd, bool create) {
    trash.files = files::openFolderChain(trashFd, {"files"}, create, 0700);
    trash.info = files::openFolderChain(trashFd, {"info"}, create, 0700);
    return trash.files.valid() && trash.info.valid();
}

// $topdir/.Trash is shared: it must be a real folder with the sticky bit, or
// anyone could read or steal what others trash there.
files::Fd sharedTrash(int top, bool create) {
    struct stat st {};
    if (::fstatat(top, ".Trash", &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        (st.st_mode & S_ISVTX) == 0) {
        return {};
    }
    const files::Fd shared = files::openFolderChain(top, {".Trash"}, false, 0);
    if (!shared.valid()) {
        return {};
    }
    const std::string uid = std::to_string(::getuid());
    if (create) {
        ::mkdirat(shared.get(), uid.c_str(), 0700);
    }
    struct stat own {};
    if (::fstatat(shared.get(), uid.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(own.st_mode) || own.st_uid != ::getuid()) {
        return {};
    }
    return files::openFolderChain(shared.get(), {uid}, false, 0);
}

// $topdir/.Trash-$uid: the user's own, made when first needed.
files::Fd ownTrash(int top, bool create) {
    const std::string name = ".Trash-" + std::to_string(::getuid());
    if (create) {
        ::mkdirat(top, name.c_str(), 0700);
    }
    struct stat st {};
    if (::fstatat(top, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::getuid()) {
        return {};
    }
    return files::openFolderChain(top, {name}, false, 0);
}

// The top folder of the file system holding `canonical` (a path without
// links): the last folder upwards still on `device`.
std::string topFolder(const std::string& canonical, dev_t device) {
    std::string top = canonical;
    while (top != "/") {
        const std::string parent = files::splitPath(top).first;
        struct stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) {
            break;
        }
        top = parent;
    }
    return top;
}

std::string deletionDate() {
    return QDateTime::currentDateTime().toString(u"yyyy-MM-ddTHH:mm:ss"_s).toStdString();
}

// "10023.mpg", then "10023.2.mpg", "10023.3.mpg", ...
std::string trashName(const std::string& name, int attempt) {
    if (attempt == 1) {
        return name;
    }
    const size_t dot = name.rfind('.');
    const std::string number = "." + std::to_string(attempt);
    if (dot == std::string::npos || dot == 0) {
        return name + number;
    }
    return name.substr(0, dot) + number + name.substr(dot);
}

bool writeWhole(int fd, const std::string& text) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

bool isSongFileName(const std::string& name) {
    if (name.size() <= 4) {
        return false;
    }
    std::string suffix = name.substr(name.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix == ".mpg";
}

}  // namespace

SongTrash::SongTrash() {
    const HomeTrash home = homeTrash();
    m_homeBase = home.base;
    m_homeTrash = home.path;
}

Disposal SongTrash::disposeEntry(int folderFd, const std::string& name, const struct stat& st) {
    const std::string folder = files::folderRealPath(folderFd);
    struct stat folderStat {};
    if (folder.empty() || ::fstat(folderFd, &folderStat) != 0 || folderStat.st_dev != st.st_dev) {
        return refuse(u"无法确定文件所在的文件系统"_s);
    }
    const std::string canonical = (folder == "/" ? "" : folder) + '/' + name;

    TrashFolder trash;
    std::string recorded;  // the Path line's value, before escaping
    dev_t homeDevice{};
    const HomeTrash home{m_homeBase, m_homeTrash};
    // Without a home there is no telling which file system is the home's, so
    // no trash is right; a file is better left where it is.
    if (m_homeTrash.empty() || !homeTrashDevice(home, &homeDevice)) {
        return refuse(u"找不到家目录 (HOME), 不能使用回收站"_s);
    }
    if (homeDevice == st.st_dev) {
        makeHomeTrash(home);
        const files::Fd homeFd = files::openFolder(m_homeTrash);
        struct stat homeStat {};
        if (!homeFd.valid() || ::fstat(homeFd.get(), &homeStat) != 0 ||
            homeStat.st_dev != st.st_dev || !openParts(trash, homeFd.get(), true)) {
            return refuse(u"无法使用回收站 "_s + QFile::decodeName(m_homeTrash.c_str()));
        }
        trash.path = m_homeTrash;
        recorded = canonical;
    } else {
        const std::string top = topFolder(folder, st.st_dev);
        const files::Fd topFd = files::openFolder(top);
        files::Fd trashFd = topFd.valid() ? sharedTrash(topFd.get(), true) : files::Fd();
        trash.path = (top == "/" ? "" : top) + "/.Trash/" + std::to_string(::getuid());
        if (!trashFd.valid() && topFd.valid()) {
            trashFd = ownTrash(topFd.get(), true);
            trash.path = (top == "/" ? "" : top) + "/.Trash-" + std::to_string(::getuid());
        }
        if (!trashFd.valid() || !openParts(trash, trashFd.get(), true)) {
            return refuse(u"无法使用文件系统 "_s + QFile::decodeName(top.c_str()) +
                          u" 上的回收站"_s);
        }
        // Within $topdir the path is relative, so the trash stays right
        // wherever the file system is mounted next time.
        recorded = canonical.substr(top == "/" ? 1 : top.size() + 1);
    }

    const std::string info = "[Trash Info]\nPath=" + files::escapeUriPath(recorded) +
                             "\nDeletionDate=" + deletionDate() + "\n";
    for (int attempt = 1; attempt <= kMaxNameTries; ++attempt) {
        const std::string candidate = trashName(name, attempt);
        const std::string infoName = candidate + kInfoSuffix;
        struct stat taken {};
        if (::fstatat(trash.files.get(), candidate.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
            continue;
        }
        // Creating the info file claims the name; only then does the file move.
        files::Fd infoFd(::openat(trash.info.get(), infoName.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFd.valid() && errno == EEXIST) {
            continue;
        }
        const auto dropInfo = [&] { ::unlinkat(trash.info.get(), infoName.c_str(), 0); };
        // The info file and its name are on disk before the file moves, so a
        // trashed file is never found without the path it came from.
        if (!infoFd.valid() || !writeWhole(infoFd.get(), info) || ::fsync(infoFd.get()) != 0 ||
            ::close(infoFd.release()) != 0 || ::fsync(trash.info.get()) != 0) {
            const int error = errno;
            dropInfo();
            return refuse(u"无法写入回收站信息 ("_s + systemErrorText(error) + u')');
        }
        if (::renameat2(folderFd, name.c_str(), trash.files.get(), candidate.c_str(),
                        RENAME_NOREPLACE) == 0) {
            // A rename lost to a crash leaves the file in its folder and an
            // info file that describes nothing, which readers pass over.
            return Disposal::Done;
        }
        const int error = errno;
        dropInfo();
        if (error != EEXIST) {
            return refuse(u"无法移入回收站 "_s + QFile::decodeName(trash.path.c_str()) + u" ("_s +
                          systemErrorText(error) + u')');
        }
    }
    return refuse(u"回收站中同名文件过多"_s);
}

namespace {

struct TrashEntry {
    size_t trash;  // index into the list of trash folders
    std::string name;
    std::string original;
    std::string date;
    timespec written{};  // of the info file: orders two deletions within a second
};

std::string readSmallFile(int dir, const std::string& name) {
    files::Fd fd(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    std::string text;
    if (!fd.valid()) {
        return text;
    }
    char buffer[4096];
    // An info file is a few lines; anything far larger is not one of ours.
    while (text.size() < 65536) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

// Path and DeletionDate of the [Trash Info] group; false when malformed.
bool parseInfo(const std::string& text, std::string* path, std::string* date) {
    std::istringstream lines(text);
    std::string line;
    bool inGroup = false;
    bool sawGroup = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            inGroup = line == "[Trash Info]";
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) {
            continue;
        }
        if (line.starts_with("Path=")) {
            *path = files::unescape(line.substr(5));
        } else if (line.starts_with("DeletionDate=")) {
            *date = line.substr(13);
        }
    }
    return sawGroup && !path->empty();
}

bool climbsOut(const std::string& relative) {
    std::istringstream names(relative);
    std::string name;
    while (std::getline(names, name, '/')) {
        if (name == "..") {
            return true;
        }
    }
    return false;
}

std::vector<std::string> mountPoints() {
    std::vector<std::string> points;
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 5 && fields >> field; ++i) {
        }
        // Blanks and the like come as octal escapes ("\040").
        std::string point;
        for (size_t i = 0; i < field.size(); ++i) {
            if (field[i] == '\\' && i + 3 < field.size() &&
                std::isdigit(static_cast<unsigned char>(field[i + 1]))) {
                point += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
                i += 3;
            } else {
                point += field[i];
            }
        }
        if (point.starts_with('/')) {
            points.push_back(point);
        }
    }
    return points;
}

std::vector<TrashFolder> trashFolders() {
    std::vector<TrashFolder> found;
    std::set<std::pair<dev_t, ino_t>> seen;
    auto add = [&](files::Fd fd, std::string path, std::string base) {
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 ||
            !seen.insert({st.st_dev, st.st_ino}).second) {
            return;
        }
        TrashFolder trash;
        trash.path = std::move(path);
        trash.base = std::move(base);
        if (openParts(trash, fd.get(), false)) {
            found.push_back(std::move(trash));
        }
    };
    const std::string home = homeTrash().path;
    if (!home.empty()) {
        add(files::openFolder(home), home, files::splitPath(home).first);
    }
    const std::string uid = std::to_string(::getuid());
    for (const std::string& top : mountPoints()) {
        const files::Fd topFd = files::openFolder(top);
        if (!topFd.valid()) {
            continue;
        }
        const std::string prefix = top == "/" ? "" : top;
        add(sharedTrash(topFd.get(), false), prefix + "/.Trash/" + uid, top);
        add(ownTrash(topFd.get(), false), prefix + "/.Trash-" + uid, top);
    }
    return found;
}

std::vector<TrashEntry> songEntries(const std::vector<TrashFolder>& trashes) {
    std::vector<TrashEntry> entries;
    for (size_t t = 0; t < trashes.size(); ++t) {
        const int listFd = ::fcntl(trashes[t].info.get(), F_DUPFD_CLOEXEC, 0);
        DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
        if (dir == nullptr) {
            if (listFd >= 0) {
                ::close(listFd);
            }
            continue;
        }
        while (const dirent* item = ::readdir(dir)) {
            const std::string infoName = item->d_name;
            if (infoName.size() <= kInfoSuffix.size() || !infoName.ends_with(kInfoSuffix)) {
                continue;
            }
            TrashEntry entry{
                t, infoName.substr(0, infoName.size() - kInfoSuffix.size()), {}, {}, {}};
            struct stat infoStat {};
            if (::fstatat(trashes[t].info.get(), infoName.c_str(), &infoStat,
                          AT_SYMLINK_NOFOLLOW) == 0) {
                entry.written = infoStat.st_mtim;
            }
            if (!parseInfo(readSmallFile(trashes[t].info.get(), infoName), &entry.original,
                           &entry.date)) {
                continue;
            }
            if (!entry.original.starts_with('/')) {
                if (climbsOut(entry.original)) {
                    continue;
                }
                entry.original =
                    (trashes[t].base == "/" ? "" : trashes[t].base) + '/' + entry.original;
            }
            struct stat st {};
            if (!isSongFileName(files::splitPath(entry.original).second) ||
                ::fstatat(trashes[t].files.get(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) !=
                    0) {
                continue;
            }
            entries.push_back(std::move(entry));
        }
        ::closedir(dir);
    }
    return entries;
}

// A path the operator gave, as info files hold paths: absolute as given, and
// with its folder resolved by the kernel as this program records it (the
// file itself is in the trash).
std::pair<std::string, std::string> asRecorded(const QString& path) {
    const std::string absolute =
        QFile::encodeName(QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path)
            .toStdString();
    const auto [folder, name] = files::splitPath(absolute);
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) {
        return {absolute, absolute};
    }
    const std::string real = resolved;
    return {absolute, (real == "/" ? "" : real) + '/' + name};
}

RestoredSong restoreEntry(const std::vector<TrashFolder>& trashes, const TrashEntry& entry) {
    const TrashFolder& trash = trashes[entry.trash];
    RestoredSong song;
    song.original = entry.original;
    song.keptAt = trash.path + "/files/" + entry.name;
    struct stat kept {};
    if (::fstatat(trash.files.get(), entry.name.c_str(), &kept, AT_SYMLINK_NOFOLLOW) != 0) {
        song.reason = u"回收站中的文件已不存在"_s;
        return song;
    }
    const auto [folder, name] = files::splitPath(entry.original);
    const files::Fd back = files::openFolder(folder);
    if (!back.valid()) {
        song.reason = u"原文件夹不存在"_s;
        return song;
    }
    struct stat there {};
    if (::fstatat(back.get(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) {
        song.reason = u"原处已有同名文件, 未覆盖"_s;
        return song;
    }
    if (moveBack(trash.files.get(), entry.name, kept, back.get(), name, song)) {
        // The file is back; its info file would only describe nothing now.
        ::unlinkat(trash.info.get(), (entry.name + kInfoSuffix).c_str(), 0);
    }
    return song;
}

}  // namespace

RestoreCounts restoreTrashedSongs(const QStringList& originals, const RestoreReport& report) {
    const std::vector<TrashFolder> trashes = trashFolders();
    std::vector<TrashEntry> entries = songEntries(trashes);
    // Latest first within one original path.
    std::sort(entries.begin(), entries.end(), [](const TrashEntry& a, const TrashEntry& b) {
        if (a.original != b.original) {
            return a.original < b.original;
        }
        if (a.date != b.date) {
            return a.date > b.date;
        }
        return std::tie(a.written.tv_sec, a.written.tv_nsec) >
               std::tie(b.written.tv_sec, b.written.tv_nsec);
    });
    RestoreCounts counts;
    auto restore = [&](const TrashEntry& entry) {
        const RestoredSong song = restoreEntry(trashes, entry);
        ++(song.result == RestoredSong::Result::Restored ? counts.restored : counts.failed);
        report(song);
    };
    if (originals.isEmpty()) {
        for (const TrashEntry& entry : entries) {
            restore(entry);
        }
        return counts;
    }
    for (const QString& original : originals) {
        const auto [given, wanted] = asRecorded(original);
        bool any = false;
        for (const TrashEntry& entry : entries) {
            if (entry.original == wanted || entry.original == given) {
                any = true;
                restore(entry);
            }
        }
        if (!any) {
            RestoredSong song;
            song.original = wanted;
            song.reason = u"回收站中没有这个歌曲文件"_s;
            ++counts.failed;
            report(song);
        }
    }
    return counts;
}

}  // namespace vaskord
