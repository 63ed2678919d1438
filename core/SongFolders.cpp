#include "core/SongFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace vaskord {

QStringList normalizeSongFolders(const QStringList& memoLines) {
    QStringList folders;
    folders.reserve(memoLines.size());
    for (const QString& line : memoLines) {
        // An empty line names no folder; given a trailing "/" it would become the
        // root folder and put every .mpg file there within reach of the deletion.
        if (line.isEmpty()) {
            continue;
        }
        // The last UTF-16 unit is enough: a surrogate half never equals "/".
        folders << (line.endsWith(u'/') ? line : line + u'/');
    }
    return folders;
}

bool memoHoldsFolder(const QStringList& memoLines, const QString& folder) {
    return memoLines.contains(folder, Qt::CaseSensitive);
}

QStringList addSongFolder(const QStringList& memoLines, const QString& folder) {
    if (folder.isEmpty() || memoHoldsFolder(memoLines, folder)) {
        return memoLines;
    }
    QStringList lines = memoLines;
    lines << folder;
    return lines;
}

bool holdsUndecodedBytes(const QString& path) {
    // Decoding puts U+FFFD where bytes were no UTF-8, and encoding the text
    // back gives other bytes than the file system holds.
    return path.contains(QChar::ReplacementCharacter);
}

QString visiblePath(const QString& path) {
    QString shown;
    shown.reserve(path.size());
    for (const QChar c : path) {
        if (c.category() == QChar::Other_Control) {
            shown += u"\\x"_s + QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        } else {
            shown += c;
        }
    }
    return shown;
}

namespace {

QString notUtf8Text(const QString& path) {
    return u"路径 "_s + visiblePath(path) +
           u" 的名称不是 UTF-8 编码 (多半是 Windows 下写入的 GBK 名称), 无法使用; "
           u"请先用命令 convmv -f gbk -t utf-8 --notest 把它改名为 UTF-8 名称。"_s;
}

}  // namespace

QString songFolderProblem(const QString& folder) {
    const bool control = std::any_of(folder.cbegin(), folder.cend(),
                                     [](QChar c) { return c.category() == QChar::Other_Control; });
    if (control) {
        return u"歌曲路径中含有换行等控制字符, 不能使用: "_s + visiblePath(folder);
    }
    if (!folder.startsWith(u'/')) {
        return u"歌曲路径必须是以 / 开头的完整路径: "_s + folder;
    }
    if (holdsUndecodedBytes(folder)) {
        return notUtf8Text(folder);
    }
    return {};
}

QString libraryPathProblem(const QString& path) {
    return holdsUndecodedBytes(path) ? notUtf8Text(path) : QString();
}

QString songFolderBrowseStart() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) {
        return desktop;
    }
    return QDir::homePath();
}

}  // namespace vaskord
