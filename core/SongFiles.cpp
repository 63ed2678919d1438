#include "core/SongFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>
#include <QHash>
#include <QList>
#include <algorithm>
#include <cerrno>
#include <vector>

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {

// After this many lookups in one query, reading each folder once is cheaper
// than testing every folder for every further row.
constexpr std::uint64_t kLookupsBeforeReadingFolders = 64;

const QString kSongFileSuffix = u".mpg"_s;

QString songFilePath(const QString& folder, const QString& songCode) {
    return folder + songCode + kSongFileSuffix;
}

// stat() follows symbolic links, so a link to a song file counts as the file;
// a folder of the name does not count.
bool isRegularFile(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Two names that any file system might treat as one name get the same key:
// letter case folded and compatibility forms decomposed. A key may be coarser
// than the file system (a hit is always confirmed by a test of the exact path),
// but never finer, or a file would be missed.
QString nameKey(const QString& name) {
    // Most song numbers are ASCII, where both steps come down to lower case.
    const bool ascii =
        std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        return name.toLower();
    }
    return name.normalized(QString::NormalizationForm_KD).toCaseFolded();
}

}  // namespace

bool isSafeSongCode(const QString& songCode) {
    // An empty code would name ".mpg", a hidden file and no song.
    return !songCode.isEmpty() && !songCode.contains(u'/') && !songCode.contains(QChar(u'\0')) &&
           songCode != u"."_s && songCode != u".."_s;
}

QString FindSongFile(const QStringList& songFolders, const QString& songCode) {
    if (!isSafeSongCode(songCode)) {
        return {};
    }
    for (const QString& folder : songFolders) {
        const QString path = songFilePath(folder, songCode);
        if (isRegularFile(path)) {
            return path;
        }
    }
    return {};
}

struct SongFileFinder::Impl {
    enum class Listing {
        Unread,  // not read yet, or could not be read: tested per row
        Read,    // its song names are in songsByKey
        Absent,  // the folder does not exist or is no folder: it holds no file
    };
    struct Folder {
        QString path;
        Listing listing = Listing::Unread;
    };

    std::vector<Folder> folders;
    // Key of a song number -> the read folders holding a name with that key
    // followed by ".mpg", in folder order. One table for all folders, so a row
    // without a file costs one lookup whatever the number of folders.
    QHash<QString, QList<int>> songsByKey;
    bool anyUnread = true;
    std::uint64_t lookups = 0;
    std::uint64_t calls = 0;
    bool foldersRead = false;

    bool testFile(const QString& path) {
        ++calls;
        return isRegularFile(path);
    }

    void readFolder(int index) {
        Folder& folder = folders[index];
        const QByteArray encodedPath = QFile::encodeName(folder.path);
        ++calls;
        DIR* dir = ::opendir(encodedPath.constData());
        if (dir == nullptr) {
            const int error = errno;
            // A path through a missing folder or through a file names no file
            // either; any other refusal (no read right but search right, too many
            // open files) leaves the exact-path test as the only answer.
            if (error == ENOENT || error == ENOTDIR) {
                folder.listing = Listing::Absent;
            }
            return;
        }
        QStringList stems;
        bool complete = true;
        for (;;) {
            ++calls;
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (entry == nullptr) {
                complete = errno == 0;
                break;
            }
            // Keys are made from the name as the file system holds it, so a name
            // that is no valid UTF-8 only ever meets a code that encodes to it.
            QString key = nameKey(QFile::decodeName(entry->d_name));
            if (key.endsWith(kSongFileSuffix)) {
                key.chop(kSongFileSuffix.size());
                stems << key;
            }
        }
        ++calls;
        ::closedir(dir);
        if (!complete) {
            return;
        }
        for (const QString& stem : std::as_const(stems)) {
            QList<int>& holders = songsByKey[stem];
            // Two names of one key in a folder (10023.mpg, 10023.MPG) list it once.
            if (holders.isEmpty() || holders.last() != index) {
                holders << index;
            }
        }
        folder.listing = Listing::Read;
    }

    void readFolders() {
        for (int i = 0; i < static_cast<int>(folders.size()); ++i) {
            readFolder(i);
        }
        anyUnread = std::any_of(folders.begin(), folders.end(),
                                [](const Folder& f) { return f.listing == Listing::Unread; });
        foldersRead = true;
    }

    QString findPerRow(const QString& songCode) {
        for (const Folder& folder : folders) {
            const QString path = songFilePath(folder.path, songCode);
            if (testFile(path)) {
                return path;
            }
        }
        return {};
    }

    QString findInListings(const QString& songCode) {
        // The key of the name the exact-path test would look up, byte for byte.
        // Decomposing and folding go character by character and "." starts a
        // character of its own, so the key of code + ".mpg" is the key of the
        // code followed by ".mpg".
        const QString key = nameKey(
            songCode.isValidUtf16() ? songCode : QFile::decodeName(QFile::encodeName(songCode)));
        const auto found = songsByKey.constFind(key);
        if (found == songsByKey.cend() && !anyUnread) {
            return {};
        }
        const QList<int> holders = found == songsByKey.cend() ? QList<int>() : found.value();
        auto holder = holders.cbegin();
        for (int i = 0; i < static_cast<int>(folders.size()); ++i) {
            const Folder& folder = folders[i];
            const bool listed = holder != holders.cend() && *holder == i;
            if (listed) {
                ++holder;
            }
            if (folder.listing == Listing::Absent || (folder.listing == Listing::Read && !listed)) {
                continue;
            }
            const QString path = songFilePath(folder.path, songCode);
            if (testFile(path)) {
                return path;
            }
        }
        return {};
    }
};

SongFileFinder::SongFileFinder(QStringList songFolders) : m_impl(new Impl) {
    m_impl->folders.reserve(songFolders.size());
    for (QString& folder : songFolders) {
        m_impl->folders.push_back({std::move(folder), Impl::Listing::Unread});
    }
}

SongFileFinder::~SongFileFinder() {
    delete m_impl;
}

QString SongFileFinder::find(const QString& songCode) {
    if (!isSafeSongCode(songCode)) {
        return {};
    }
    ++m_impl->lookups;
    if (m_impl->lookups <= kLookupsBeforeReadingFolders) {
        return m_impl->findPerRow(songCode);
    }
    if (!m_impl->foldersRead) {
        m_impl->readFolders();
    }
    return m_impl->findInListings(songCode);
}

std::uint64_t SongFileFinder::fileSystemCalls() const {
    return m_impl->calls;
}

}  // namespace vaskord
