#include "data/Connection.h"

#include "data/access/Database.h"

namespace vaskord::data {

QString dataSourcePath(const QString& connectionString) {
    static const QString key = QStringLiteral("Data Source=");
    const qsizetype at = connectionString.lastIndexOf(key, -1, Qt::CaseInsensitive);
    return at < 0 ? QString() : connectionString.mid(at + key.size());
}

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::open() {
    close();
    m_database = Database::open(dataSourcePath(m_connectionString));
}

void Connection::reopenOn(const QString& libraryPath) {
    close();
    m_connectionString += QStringLiteral(";Data Source=") + libraryPath;
    open();
}

void Connection::close() {
    m_database.reset();
}

}  // namespace vaskord::data
