#pragma once

#include <QString>
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

private:
    QString m_connectionString;
    std::shared_ptr<Database> m_database;
};

}  // namespace vaskord::data
