#include "data/Connection.h"

#include <sys/stat.h>

#include <QFile>

#include "data/MdbTable.h"

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
    m_database = Database::open(m_libraryPath);
    struct stat st {};
    if (::stat(QFile::encodeName(m_libraryPath).constData(), &st) == 0) {
        m_libraryId = FileId::of(st);
    }
}

void Connection::reopenOn(const QString& libraryPath) {
    close();
    m_connectionString += QStringLiteral(";Data Source=") + libraryPath;
    m_libraryPath = libraryPath;
    open();
}

void Connection::close() {
    m_database.reset();
    m_libraryId.reset();
}

}  // namespace vaskord::data
