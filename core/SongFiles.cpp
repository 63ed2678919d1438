#include "core/SongFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>
#include <QSet>
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
        Read,        // entries holds the keys of the folder's .mpg names
        Absent,      // the folder does not exist or is no folder: it holds no file
        Unreadable,  // tested per row, like FindSongFile
    };
    struct Folder {
        QString path;
        Listing listing = Listing::Unreadable;
        QSet<QString> entries;
    };

    std::vector<Folder> folders;
    std::uint64_t lookups = 0;
    std::uint64_t calls = 0;
    bool foldersRead = false;

    bool testFile(const QString& path) {
        ++calls;
        return isRegularFile(path);
    }

    void readFolder(Folder& folder) {
        const QByteArray encodedPath = QFile::encodeName(folder.path);
        ++calls;
        DIR* dir = ::opendir(encodedPath.constData());
        if (dir == nullptr) {
            const int error = errno;
            // A path through a missing folder or through a file names no file
            // either; any other refusal (no read right but search right, too many
            // open files) leaves the exact-path test as the only answer.
            folder.listing =
                (error == ENOENT || error == ENOTDIR) ? Listing::Absent : Listing::Unreadable;
            return;
        }
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
                folder.entries.insert(std::move(key));
            }
        }
        ++calls;
        ::closedir(dir);
        if (complete) {
            folder.listing = Listing::Read;
        } else {
            folder.listing = Listing::Unreadable;
            folder.entries.clear();
        }
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
        const QString name = songCode + kSongFileSuffix;
        const QString key =
            nameKey(name.isValidUtf16() ? name : QFile::decodeName(QFile::encodeName(name)));
        for (const Folder& folder : folders) {
            if (folder.listing == Listing::Absent) {
                continue;
            }
            if (folder.listing == Listing::Read && !folder.entries.contains(key)) {
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
        m_impl->folders.push_back({std::move(folder), Impl::Listing::Unreadable, {}});
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
        for (Impl::Folder& folder : m_impl->folders) {
            m_impl->readFolder(folder);
        }
        m_impl->foldersRead = true;
    }
    return m_impl->findInListings(songCode);
}

std::uint64_t SongFileFinder::fileSystemCalls() const {
    return m_impl->calls;
}

}  // namespace vaskord
