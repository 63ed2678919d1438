#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace vaskord {

class SongFolderHandles;

// Whether a song number may name a file inside a song folder. A number with
// "/" or NUL, or equal to "." or "..", could reach outside the folders and
// matches no file; so does an empty number (".mpg" is a hidden file, no song)
// and one holding a broken UTF-16 character, which no file name spells.
bool isSafeSongCode(const QString& songCode);

// The song's file in the first folder that holds a regular file
// folder + code + ".mpg", or empty. One file test per folder.
QString FindSongFile(const QStringList& songFolders, const QString& songCode);

// FindSongFile for a whole query. Gives the same answers, but once a query has
// looked up many songs it reads each folder once and answers from its entries,
// confirming a hit with one test of the exact path; so the cost follows the
// number of files rather than rows × folders. Lives for one query only.
class SongFileFinder {
public:
    explicit SongFileFinder(QStringList songFolders);
    ~SongFileFinder();
    SongFileFinder(const SongFileFinder&) = delete;
    SongFileFinder& operator=(const SongFileFinder&) = delete;

    QString find(const QString& songCode);

    // The song folders, opened once when the finder was made. A deletion that
    // follows the listing goes through the same handles, so it removes files
    // only in the folders the listing looked into.
    SongFolderHandles& folderHandles();

    // File-system calls made so far (stat, directory reads), for benchmarks.
    std::uint64_t fileSystemCalls() const;

private:
    struct Impl;
    Impl* m_impl;
};

}  // namespace vaskord
