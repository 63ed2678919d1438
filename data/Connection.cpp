#include "data/Connection.h"

#include <sys/stat.h>

#include <QFile>

#include "core/SongFolders.h"
#include "data/access/Database.h"

namespace vaskord::data {

QString dataSourcePath(const QString& connectionString) {
    static const QString key = QStringLiteral("Data Source=");
    const qsizetype at = connectionString.lastIndexOf(key, -1, Qt::CaseInsensitive);
    return at < 0 ? QString() : connectionString.mid(at + key.size());
}

Connection::Connection() = default;
Connection::~Connection() = default;

bool Connection::FileStamp::operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

// A path that cannot be examined gets a stamp no file has, so that the next
// query reads it and reports why it cannot.
Connection::FileStamp Connection::stampOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return {};
    }
    return {status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

void Connection::open() {
    close();
    if (const QString problem = libraryPathProblem(m_libraryPath); !problem.isEmpty()) {
        throw DatabaseError((QStringLiteral("打开歌库失败:") + problem).toStdString());
    }
    // Stamped before the read: a change while reading then shows at the next
    // query instead of hiding behind a stamp of the changed file.
    const FileStamp stamp = stampOf(m_libraryPath);
    m_database = Database::open(m_libraryPath);
    m_stamp = stamp;
    rememberFileId();
}

void Connection::rememberFileId() {
    struct stat st {};
    if (::stat(QFile::encodeName(m_libraryPath).constData(), &st) == 0) {
        m_libraryId = FileId::of(st);
    }
}

std::shared_ptr<Database> Connection::currentDatabase() {
    if (m_database == nullptr) {
        return nullptr;
    }
    const FileStamp stamp = stampOf(m_libraryPath);
    if (stamp.size < 0 || !(stamp == m_stamp)) {
        std::shared_ptr<Database> fresh = Database::open(m_libraryPath);
        m_database = std::move(fresh);
        m_stamp = stamp;
        rememberFileId();
    }
    return m_database;
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
