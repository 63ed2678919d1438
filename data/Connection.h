#pragma once

#include <sys/types.h>

#include <QString>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>

#include "core/SongFolderHandles.h"

namespace vaskord::data {

// A database failure. what() is a UTF-8 message in Chinese that an operator
// can act on: it names the cause and, where there is one, the path or the
// place in the SQL text.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Database;  // an open library file, shared by the connection and its queries

// The library path a connection string names: everything after its last
// "Data Source=" (so a path may hold ";"), or empty when there is none.
QString dataSourcePath(const QString& connectionString);

// The library connection. Opening reads the file read-only; no byte of it is
// ever written.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString connectionString() const { return m_connectionString; }
    // A connection string given whole names its library by its last
    // "Data Source=" entry.
    void setConnectionString(const QString& text) {
        m_connectionString = text;
        m_libraryPath = dataSourcePath(text);
    }

    // Opens the library: the path reopenOn() was given, or the one named by
    // the connection string. Throws DatabaseError; the connection stays closed.
    void open();
    void close();
    // Closes, appends ";Data Source=" and the path to the connection string,
    // and opens exactly that path: a file name may itself hold
    // "Data Source=", so the string is never parsed back. Each library chosen
    // adds an entry. On failure the entry stays and the connection stays closed.
    void reopenOn(const QString& libraryPath);
    bool isOpen() const { return m_database != nullptr; }

    // The path the connection opens.
    QString libraryPath() const { return m_libraryPath; }
    // The open library's file, so that a deletion can leave it alone; nothing
    // while closed.
    std::optional<FileId> libraryFileId() const { return m_libraryId; }

    // The open database, or nullptr; queries keep it alive while they hold rows.
    std::shared_ptr<Database> database() const { return m_database; }
    // The open database as the file is now, or nullptr when closed. The
    // request system updates counts while the library is open, and a library
    // may be replaced by a new copy: when the file at the path is no longer the
    // one read (another file, size, modification or change time), it is read
    // afresh, and queries already open keep the rows they read. Throws
    // DatabaseError when the file can no longer be read; the connection stays
    // open and tries again at the next query.
    std::shared_ptr<Database> currentDatabase();

private:
    // What tells one state of a file from another without reading it.
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        timespec changed{};
        bool operator==(const FileStamp& other) const;
    };
    static FileStamp stampOf(const QString& path);
    void rememberFileId();

    QString m_connectionString;
    QString m_libraryPath;
    std::shared_ptr<Database> m_database;
    std::optional<FileId> m_libraryId;
    FileStamp m_stamp;  // of the file when m_database was read
};

}  // namespace vaskord::data
