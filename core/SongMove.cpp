#include "core/SongMove.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <stdexcept>
#include <vector>

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

const char kRecordHeader[] = "# 原路径\t移动后的路径 (相对本文件夹)\t移动时间\n";

std::vector<std::string> splitNames(const std::string& path) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The subfolder of the keeping folder that mirrors a song folder. ".." would
// climb out of the keeping folder, so it is kept as a name of its own.
std::vector<std::string> mirrorOf(const std::string& folderPath) {
    std::vector<std::string> mirror;
    for (std::string& name : splitNames(folderPath)) {
        if (name.empty() || name == ".") {
            continue;
        }
        mirror.push_back(name == ".." ? std::string("%2E%2E") : std::move(name));
    }
    return mirror;
}

std::string joined(const std::vector<std::string>& names, const std::string& last) {
    std::string path;
    for (const std::string& name : names) {
        path += name + '/';
    }
    return path + last;
}

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

// Takes errno at once, before building any text can change it.
[[noreturn]] void failWith(int error, const QString& what) {
    fail(what + u" ("_s + systemErrorText(error) + u")。"_s);
}

std::string nowText() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

struct RecordLine {
    std::string original;
    std::string relative;
};

std::vector<RecordLine> readRecord(int folder, const QString& destination) {
    files::Fd fd(::openat(folder, kMoveRecordName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        const int error = errno;
        failWith(error,
                 u"无法读取移动记录 "_s + destination + u'/' + QLatin1String(kMoveRecordName));
    }
    std::string text;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            failWith(error, u"无法读取移动记录"_s);
        }
        if (got == 0) {
            break;
        }
        text.append(buffer.data(), static_cast<size_t>(got));
    }
    std::vector<RecordLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();  // a last line cut short by a crash is still read
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const size_t tab = line.find('\t');
        const size_t second = tab == std::string::npos ? tab : line.find('\t', tab + 1);
        if (tab == std::string::npos) {
            continue;
        }
        lines.push_back(
            {files::unescape(line.substr(0, tab)),
             files::unescape(line.substr(
                 tab + 1, second == std::string::npos ? std::string::npos : second - tab - 1))});
    }
    return lines;
}

RestoredSong restoreOne(int folder, const QString& destination, const RecordLine& line) {
    RestoredSong song;
    song.original = line.original;
    song.keptAt = QFile::encodeName(destination).toStdString() + '/' + line.relative;
    std::vector<std::string> kept = splitNames(line.relative);
    const std::string keptName = kept.back();
    kept.pop_back();
    for (const std::string& name : kept) {
        if (name.empty() || name == "." || name == "..") {
            song.reason = u"移动记录有误"_s;
            return song;
        }
    }
    if (keptName.empty() || keptName == "." || keptName == ".." || line.original.empty()) {
        song.reason = u"移动记录有误"_s;
        return song;
    }
    const files::Fd keptFolder = files::openFolderChain(folder, kept, false, 0);
    struct stat keptStat {};
    const bool keptThere = keptFolder.valid() && ::fstatat(keptFolder.get(), keptName.c_str(),
                                                           &keptStat, AT_SYMLINK_NOFOLLOW) == 0;
    const auto [originalFolder, originalName] = files::splitPath(line.original);
    const files::Fd back = files::openFolder(originalFolder);
    struct stat originalStat {};
    const bool originalThere = back.valid() && ::fstatat(back.get(), originalName.c_str(),
                                                         &originalStat, AT_SYMLINK_NOFOLLOW) == 0;

    if (!keptThere) {
        if (originalThere) {
            song.result = RestoredSong::Result::AlreadyInPlace;
            song.reason = u"文件已在原处"_s;
        } else {
            song.reason = u"移动后的文件已不存在"_s;
        }
        return song;
    }
    if (!back.valid()) {
        song.reason = u"原文件夹不存在"_s;
        return song;
    }
    if (originalThere) {
        song.reason = u"原处已有同名文件, 未覆盖"_s;
        return song;
    }
    moveBack(keptFolder.get(), keptName, keptStat, back.get(), originalName, song);
    return song;
}

}  // namespace

SongMover::SongMover(const QString& destination) : m_destination(destination) {
    m_folder = files::openFolder(QFile::encodeName(destination).toStdString());
    if (!m_folder.valid()) {
        const int error = errno;
        failWith(error, u"无法打开目标文件夹 "_s + destination);
    }
    m_record = files::Fd(::openat(m_folder.get(), kMoveRecordName,
                                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    struct stat st {};
    if (!m_record.valid() || ::fstat(m_record.get(), &st) != 0) {
        const int error = errno;
        failWith(error,
                 u"无法写入移动记录 "_s + destination + u'/' + QLatin1String(kMoveRecordName));
    }
    if (st.st_size == 0) {
        record(kRecordHeader);
    }
}

void SongMover::record(const std::string& line) {
    const char* data = line.data();
    size_t left = line.size();
    // One write per line: with O_APPEND it lands whole at the end.
    while (left > 0) {
        const ssize_t written = ::write(m_record.get(), data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            failWith(error, u"无法写入移动记录"_s);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    if (::fsync(m_record.get()) != 0) {
        const int error = errno;
        failWith(error, u"无法写入移动记录"_s);
    }
}

Disposal SongMover::disposeEntry(int folderFd, const std::string& name, const struct stat& st) {
    // The folder as the kernel knows it: the same however the song folder was
    // spelled, and free of links and "..".
    const std::string folderPath = files::folderRealPath(folderFd);
    if (folderPath.empty()) {
        return refuse(u"无法确定歌曲文件夹的路径"_s);
    }
    const std::vector<std::string> mirror = mirrorOf(folderPath);
    const files::Fd into = files::openFolderChain(m_folder.get(), mirror, true, 0755);
    if (!into.valid()) {
        const int error = errno;
        return refuse(u"无法在目标文件夹中建立子文件夹 ("_s + systemErrorText(error) + u')');
    }
    const std::string relative = joined(mirror, name);
    const std::string original =
        folderPath.ends_with('/') ? folderPath + name : folderPath + '/' + name;
    const std::string line = files::escapeField(original) + '\t' + files::escapeField(relative) +
                             '\t' + nowText() + '\n';
    int error = 0;
    switch (files::moveFileAt(
        folderFd, name, st, into.get(), name, [&] { record(line); }, &error)) {
        case files::MoveResult::Moved:
            return Disposal::Done;
        case files::MoveResult::Clash:
            return refuse(u"目标位置已有同名文件: "_s + m_destination + u'/' +
                          QFile::decodeName(QByteArray::fromStdString(relative)));
        case files::MoveResult::Failed:
            break;
    }
    return refuse(systemErrorText(error));
}

RestoreCounts restoreMovedSongs(const QString& destination, const RestoreReport& report) {
    const files::Fd folder = files::openFolder(QFile::encodeName(destination).toStdString());
    if (!folder.valid()) {
        const int error = errno;
        failWith(error, u"无法打开文件夹 "_s + destination);
    }
    const std::vector<RecordLine> lines = readRecord(folder.get(), destination);
    RestoreCounts counts;
    // Latest first: a song moved, restored and moved again comes back from
    // its last place, and the earlier line then finds it in place.
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const RestoredSong song = restoreOne(folder.get(), destination, *line);
        switch (song.result) {
            case RestoredSong::Result::Restored:
                ++counts.restored;
                break;
            case RestoredSong::Result::AlreadyInPlace:
                ++counts.inPlace;
                break;
            case RestoredSong::Result::Failed:
                ++counts.failed;
                break;
        }
        report(song);
    }
    return counts;
}

}  // namespace vaskord
