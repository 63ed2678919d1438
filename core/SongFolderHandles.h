#pragma once

#include <sys/stat.h>

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>

namespace vaskord {

// Which file a name stands for on this machine, whatever path reached it.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;

    static FileId of(const struct stat& st) { return {st.st_dev, st.st_ino}; }
    friend bool operator==(const FileId&, const FileId&) = default;
};

// The song folders of one pass, each opened once and kept open until the pass
// ends. Every file is then found, checked and removed relative to its
// folder's handle, so a folder renamed or swapped for a link meanwhile cannot
// send the pass into another folder: it stays in the folder it opened first.
// A folder path is taken as the kernel takes it: a link to a folder is
// followed when it is opened, ".." is the kernel's, never shortened as text.
class SongFolderHandles {
public:
    SongFolderHandles() = default;
    ~SongFolderHandles();
    SongFolderHandles(const SongFolderHandles&) = delete;
    SongFolderHandles& operator=(const SongFolderHandles&) = delete;

    // The folder's handle, opened at the first call; -1 when it cannot be
    // opened or searched, and openError() tells why.
    int open(const QString& folder);
    // The errno of the folder's failed open; 0 when it is open or not tried.
    int openError(const QString& folder) const;

private:
    struct Handle {
        int fd = -1;
        int error = 0;
    };
    std::map<QByteArray, Handle> m_folders;  // by the path's bytes
};

// Where a listed song file lies: its folder (ending in "/") and its name in
// that folder, as the file system holds it.
struct SongFilePlace {
    QString folder;
    QByteArray name;
};

// Splits a listed path where the listing joined folder and file name (the
// name holds no "/"). Nothing for a path that names no file in a folder.
std::optional<SongFilePlace> songFilePlace(const QString& path);

// Whether anything, even a dangling link, still stands at a listed path,
// looked up in the folder as `folders` opened it.
bool songFileRemains(SongFolderHandles& folders, const QString& path);

// Why a song folder cannot be searched, for an operator, naming the folder.
QString folderUnsearchableText(const QString& folder, int error);

}  // namespace vaskord
