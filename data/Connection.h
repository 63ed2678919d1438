#pragma once

#include <sys/types.h>

#include <QString>
#include <ctime>
#include <memory>
#include <stdexcept>

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
    void setConnectionString(const QString& text) { m_connectionString = text; }

    // Opens the library named by the last "Data Source=" entry of the
    // connection string. Throws DatabaseError; the connection stays closed.
    void open();
    void close();
    // Closes, appends ";Data Source=" and the path to the connection string,
    // and opens: each library chosen adds an entry, and the newest is opened.
    // On failure the entry stays and the connection stays closed.
    void reopenOn(const QString& libraryPath);
    bool isOpen() const { return m_database != nullptr; }

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

    QString m_connectionString;
    std::shared_ptr<Database> m_database;
    FileStamp m_stamp;  // of the file when m_database was read
};

}  // namespace vaskord::data
