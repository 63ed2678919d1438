#include "core/SongFiles.h"

#include "core/SongFolderHandles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QByteArray songFileName(const QString& songCode) {
    return QFile::encodeName(songCode + kSongFileSuffix);
}

// The test follows symbolic links, so a link to a song file counts as the
// file; a folder of the name does not count.
bool holdsRegularFile(int folderFd, const QByteArray& name) {
    struct stat st {};
    return folderFd >= 0 && ::fstatat(folderFd, name.constData(), &st, 0) == 0 &&
           S_ISREG(st.st_mode);
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
    // An empty code would name ".mpg", a hidden file and no song. A broken
    // UTF-16 character has no file name: encoding would put another character
    // in its place, so the path listed and the file deleted could differ.
    return !songCode.isEmpty() && !songCode.contains(u'/') && !songCode.contains(QChar(u'\0')) &&
           songCode != u"."_s && songCode != u".."_s && songCode.isValidUtf16();
}

QString FindSongFile(const QStringList& songFolders, const QString& songCode) {
    if (!isSafeSongCode(songCode)) {
        return {};
    }
    SongFolderHandles handles;
    const QByteArray name = songFileName(songCode);
    for (const QString& folder : songFolders) {
        if (holdsRegularFile(handles.open(folder), name)) {
            return songFilePath(folder, songCode);
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
        int fd = -1;  // owned by handles
        Listing listing = Listing::Unread;
    };

    SongFolderHandles handles;
    std::vector<Folder> folders;
    // Key of a song number -> the read folders holding a name with that key
    // followed by ".mpg", in folder order. One table for all folders, so a row
    // without a file costs one lookup whatever the number of folders.
    QHash<QString, QList<int>> songsByKey;
    bool anyUnread = true;
    std::uint64_t lookups = 0;
    std::uint64_t calls = 0;
    bool foldersRead = false;

    bool testFile(const Folder& folder, const QByteArray& name) {
        ++calls;
        return holdsRegularFile(folder.fd, name);
    }

    void readFolder(int index) {
        Folder& folder = folders[index];
        // A folder that could not be opened holds no file the pass could reach.
        if (folder.fd < 0) {
            folder.listing = Listing::Absent;
            return;
        }
        // Listed through its handle, so the names read are those of the folder
        // that the tests and the deletion use. A folder with the search right
        // only cannot be read: the exact-name test stays the only answer.
        ++calls;
        const int readFd = ::openat(folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = readFd < 0 ? nullptr : ::fdopendir(readFd);
        if (dir == nullptr) {
            if (readFd >= 0) {
                ::close(readFd);
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
        const QByteArray name = songFileName(songCode);
        for (const Folder& folder : folders) {
            if (testFile(folder, name)) {
                return songFilePath(folder.path, songCode);
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
        const QByteArray name = songFileName(songCode);
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
            if (testFile(folder, name)) {
                return songFilePath(folder.path, songCode);
            }
        }
        return {};
    }
};

SongFileFinder::SongFileFinder(QStringList songFolders) : m_impl(new Impl) {
    m_impl->folders.reserve(songFolders.size());
    // Every folder is opened now, once: lookups, listings and a deletion that
    // follows all work in the folders as they were at this moment.
    for (QString& folder : songFolders) {
        const int fd = m_impl->handles.open(folder);
        m_impl->folders.push_back({std::move(folder), fd, Impl::Listing::Unread});
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

SongFolderHandles& SongFileFinder::folderHandles() {
    return m_impl->handles;
}

std::uint64_t SongFileFinder::fileSystemCalls() const {
    return m_impl->calls;
}

}  // namespace vaskord
