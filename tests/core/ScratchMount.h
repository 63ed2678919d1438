#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <QByteArray>
#include <QFile>
#include <QString>

// A small tmpfs mounted for one test: a second file system to move files
// across, one that fills up, or one that is read-only. The mount lives in a
// mount namespace of this test process only, so nothing outlives the test,
// even a crash. Needs root (CI runs as root); without it mount() says no and
// the test falls back or skips, saying why.
class ScratchMount {
public:
    ScratchMount() = default;
    ~ScratchMount() {
        if (!m_path.isEmpty()) {
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
        }
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    // Mounts a tmpfs of `bytes` on the existing folder `path`.
    bool mount(const QString& path, qint64 bytes, bool readOnly = false) {
        if (!privateNamespace()) {
            return false;
        }
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs",
                    readOnly ? static_cast<unsigned long>(MS_RDONLY) : 0UL,
                    options.constData()) != 0) {
            return false;
        }
        m_path = path;
        return true;
    }

private:
    static bool privateNamespace() {
        static const bool ready = [] {
            return ::unshare(CLONE_NEWNS) == 0 &&
                   ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        }();
        return ready;
    }

    QString m_path;
};
