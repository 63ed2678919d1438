#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

// A folder tree made for one test in a temporary folder, removed afterwards.
// Paths are given relative to its root.
class TempTree {
public:
    TempTree() { m_dir.setAutoRemove(true); }
    ~TempTree() {
        // Give write rights back so the tree can be removed.
        for (const QString& folder : m_lockedFolders) {
            ::chmod(QFile::encodeName(path(folder)).constData(), 0755);
        }
    }

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path() + u'/'; }
    QString path(const QString& relative) const { return root() + relative; }

    void file(const QString& relative, const QByteArray& content = {}) {
        QFile f(path(relative));
        QDir().mkpath(QFileInfo(f).absolutePath());
        if (f.open(QIODevice::WriteOnly)) {
            f.write(content);
        }
    }
    void folder(const QString& relative) { QDir().mkpath(path(relative)); }
    void link(const QString& relative, const QString& target) {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        ::symlink(QFile::encodeName(target).constData(),
                  QFile::encodeName(path(relative)).constData());
    }
    void setMode(const QString& relative, mode_t mode) {
        ::chmod(QFile::encodeName(path(relative)).constData(), mode);
    }
    void lockFolder(const QString& relative, mode_t mode) {
        setMode(relative, mode);
        m_lockedFolders << relative;
    }

    // Whether anything, even a dangling link, is there.
    bool holds(const QString& relative) const {
        struct stat st {};
        return ::lstat(QFile::encodeName(path(relative)).constData(), &st) == 0;
    }
    bool holdsFolder(const QString& relative) const { return QFileInfo(path(relative)).isDir(); }

private:
    QTemporaryDir m_dir;
    QStringList m_lockedFolders;
};

inline bool runningAsRoot() {
    return ::geteuid() == 0;
}
