#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cstdlib>

#include "ScratchMount.h"
#include "TempTree.h"
#include "core/SongTrash.h"
#include "tests/CaseName.h"

using namespace Qt::StringLiterals;
using vaskord::RestoredSong;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Hands a file to the trash through the deletion pass's own checks, its
// folder opened once, as the pass does.
bool trashAt(vaskord::SongTrash& trash, const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    const QByteArray folder = bytes.left(bytes.lastIndexOf('/'));
    const std::string name = bytes.mid(bytes.lastIndexOf('/') + 1).toStdString();
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    const bool done =
        vaskord::disposeSongFileAt(fd, name, trash.action()) == vaskord::Disposal::Done;
    ::close(fd);
    return done;
}

QString uid() {
    return QString::number(::getuid());
}

// A home of its own for each test (XDG_DATA_HOME inside the temporary tree),
// song folders on the home's file system, and a second file system for
// songs whose trash is at the top of their own file system.
class TrashTree : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(t.isValid());
        m_savedDataHome = qgetenv("XDG_DATA_HOME");
        m_hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        t.folder(u"家"_s);
    }
    void TearDown() override {
        if (m_hadDataHome) {
            qputenv("XDG_DATA_HOME", m_savedDataHome);
        } else {
            qunsetenv("XDG_DATA_HOME");
        }
    }

    // The data home does not exist yet, only the folder that holds it: the
    // trash makes it.
    QString dataHome() const { return t.path(u"家/数据"_s); }
    QString homeTrash() const { return dataHome() + u"/Trash"_s; }
    QString disk() const { return t.path(u"盘"_s); }

    bool mountDisk(ScratchMount& mount) {
        t.folder(u"盘"_s);
        return mount.mount(disk(), 4 << 20);
    }

    TempTree t;

private:
    QByteArray m_savedDataHome;
    bool m_hadDataHome = false;
};

enum class Where { Home, OtherDisk };
enum class SharedTrash { None, Sticky, NotSticky, Link };

struct TrashCase {
    const char* name;
    Where where;
    SharedTrash shared;
    QString trashFolder;  // relative to the home's data folder or the disk's top
    bool readOnly = false;
};

class Trash : public TrashTree, public testing::WithParamInterface<TrashCase> {};

TEST_P(Trash, WritesAnEntryAnyTrashCanRead) {
    const TrashCase& c = GetParam();
    ScratchMount mount;
    QString top = dataHome();
    QString songFolder = t.path(u"歌曲 一"_s);
    if (c.where == Where::OtherDisk) {
        if (!mountDisk(mount)) {
            GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
        }
        top = disk();
        songFolder = disk() + u"/歌曲 一"_s;
        switch (c.shared) {
            case SharedTrash::Sticky:
                t.folder(u"盘/.Trash"_s);
                t.setMode(u"盘/.Trash"_s, 01777);
                break;
            case SharedTrash::NotSticky:
                t.folder(u"盘/.Trash"_s);
                t.setMode(u"盘/.Trash"_s, 0777);
                break;
            case SharedTrash::Link:
                t.folder(u"盘/别处"_s);
                t.setMode(u"盘/别处"_s, 01777);
                t.link(u"盘/.Trash"_s, disk() + u"/别处"_s);
                break;
            case SharedTrash::None:
                break;
        }
    }
    const QString song = songFolder + u"/10023 伴奏.mpg"_s;
    t.file(QDir(t.root()).relativeFilePath(song), "song");
    if (c.readOnly) {
        ::chmod(QFile::encodeName(song).constData(), 0444);
    }
    const QString trash = top + u'/' + QString(c.trashFolder).replace(u"$uid"_s, uid());

    vaskord::SongTrash trasher;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const bool trashed = trashAt(trasher, song);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    if (c.readOnly) {
        EXPECT_FALSE(trashed);
        EXPECT_EQ(contentOf(song), "song") << "a protected song stays, even for root";
        EXPECT_FALSE(QFileInfo::exists(trash + u"/info/10023 伴奏.mpg.trashinfo"_s));
        return;
    }
    ASSERT_TRUE(trashed) << qPrintable(trasher.failureReason());
    EXPECT_FALSE(QFileInfo::exists(song));
    EXPECT_EQ(contentOf(trash + u"/files/10023 伴奏.mpg"_s), "song");
    const QFileInfo trashInfo(trash);
    EXPECT_TRUE(trashInfo.isDir() && !trashInfo.isSymLink());
    EXPECT_EQ(trashInfo.ownerId(), ::getuid());
    if (c.shared != SharedTrash::Sticky) {
        EXPECT_EQ(QFile::permissions(trash) & 0x0077, 0) << "a trash of one's own is private";
    }

    // The info file, field by field.
    const QByteArray info = contentOf(trash + u"/info/10023 伴奏.mpg.trashinfo"_s);
    ASSERT_TRUE(info.endsWith('\n'));
    const QList<QByteArray> lines = info.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), 3) << info.constData();
    EXPECT_EQ(lines[0], "[Trash Info]");
    ASSERT_TRUE(lines[1].startsWith("Path="));
    const QByteArray path = lines[1].mid(5);
    // The home trash names the file by its full path; a trash at the top of a
    // file system by the path from that top, so it survives another mount point.
    const QByteArray original = c.where == Where::Home
                                    ? QFile::encodeName(song)
                                    : QFile::encodeName(QDir(top).relativeFilePath(song));
    EXPECT_EQ(path, original.toPercentEncoding("/")) << "percent-encoded as a URI path";
    EXPECT_EQ(QByteArray::fromPercentEncoding(path), original);
    EXPECT_FALSE(path.contains(' ') || path.contains("歌"));
    ASSERT_TRUE(lines[2].startsWith("DeletionDate="));
    const QString date = QString::fromLatin1(lines[2].mid(13));
    EXPECT_EQ(date.size(), 19) << "local time, to the second, no zone";
    const QDateTime when = QDateTime::fromString(date, u"yyyy-MM-ddTHH:mm:ss"_s);
    ASSERT_TRUE(when.isValid()) << qPrintable(date);
    EXPECT_GE(when, before.addMSecs(-before.time().msec()));
    EXPECT_LE(when, after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Trash,
    testing::Values(
        TrashCase{"HomeFileSystem", Where::Home, SharedTrash::None, u"Trash"_s},
        TrashCase{"OtherDiskOwnTrash", Where::OtherDisk, SharedTrash::None, u".Trash-$uid"_s},
        TrashCase{"OtherDiskSharedStickyTrash", Where::OtherDisk, SharedTrash::Sticky,
                  u".Trash/$uid"_s},
        TrashCase{"SharedTrashWithoutStickyBitIsPassedOver", Where::OtherDisk,
                  SharedTrash::NotSticky, u".Trash-$uid"_s},
        TrashCase{"SharedTrashThatIsALinkIsPassedOver", Where::OtherDisk, SharedTrash::Link,
                  u".Trash-$uid"_s},
        TrashCase{"ReadOnlySongStaysAtHome", Where::Home, SharedTrash::None, u"Trash"_s, true},
        TrashCase{"ReadOnlySongStaysOnOtherDisk", Where::OtherDisk, SharedTrash::None,
                  u".Trash-$uid"_s, true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(TrashTree, SecondFileOfOneNameGetsANameOfItsOwn) {
    t.file(u"歌曲/10023.mpg"_s, "first");
    vaskord::SongTrash trasher;
    ASSERT_TRUE(trashAt(trasher, t.path(u"歌曲/10023.mpg"_s)));
    t.file(u"歌曲/10023.mpg"_s, "second");
    ASSERT_TRUE(trashAt(trasher, t.path(u"歌曲/10023.mpg"_s)));
    EXPECT_EQ(contentOf(homeTrash() + u"/files/10023.mpg"_s), "first");
    EXPECT_EQ(contentOf(homeTrash() + u"/files/10023.2.mpg"_s), "second");
    EXPECT_TRUE(QFileInfo::exists(homeTrash() + u"/info/10023.2.mpg.trashinfo"_s));
}

TEST_F(TrashTree, MissingHomeIsNeverMadeUp) {
    qputenv("XDG_DATA_HOME", QFile::encodeName(t.path(u"没有/数据"_s)));
    t.file(u"歌曲/10023.mpg"_s, "song");
    vaskord::SongTrash trasher;
    EXPECT_FALSE(trashAt(trasher, t.path(u"歌曲/10023.mpg"_s)))
        << "a file on the home's disk goes to the home trash or nowhere";
    EXPECT_TRUE(t.holds(u"歌曲/10023.mpg"_s));
    EXPECT_FALSE(t.holds(u"没有"_s));
    EXPECT_FALSE(trasher.failureReason().isEmpty());
}

// Another implementation of the same trash must list what we put there.
TEST_F(TrashTree, AnotherTrashProgramListsTheEntry) {
    const QString lister = QStandardPaths::findExecutable(u"trash-list"_s);
    if (lister.isEmpty()) {
        GTEST_SKIP() << "trash-list (Debian package trash-cli) is not installed";
    }
    t.file(u"歌曲 一/10023.mpg"_s, "song");
    vaskord::SongTrash trasher;
    ASSERT_TRUE(trashAt(trasher, t.path(u"歌曲 一/10023.mpg"_s)));
    QProcess list;
    list.start(lister, {});
    ASSERT_TRUE(list.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(list.readAllStandardOutput()).split(u'\n');
    // "yyyy-MM-dd HH:mm:ss /original/path"
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
        return line.size() > 20 && line.mid(20) == t.path(u"歌曲 一/10023.mpg"_s);
    })) << qPrintable(lines.join(u'\n'));
}

// --- restore ---------------------------------------------------------------------

QList<RestoredSong> restore(const QStringList& originals,
                            vaskord::RestoreCounts* counts = nullptr) {
    QList<RestoredSong> reported;
    const vaskord::RestoreCounts c =
        vaskord::restoreTrashedSongs(originals, [&](const RestoredSong& s) { reported << s; });
    if (counts != nullptr) {
        *counts = c;
    }
    return reported;
}

std::string bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

TEST_F(TrashTree, RestorePutsBackFromEveryTrashAndRemovesTheInfo) {
    ScratchMount mount;
    const bool otherDisk = mountDisk(mount);
    t.file(u"歌曲 一/10023.mpg"_s, "home");
    const QString far = otherDisk ? disk() + u"/歌曲/10024.mpg"_s : t.path(u"歌曲 二/10024.mpg"_s);
    t.file(QDir(t.root()).relativeFilePath(far), "far");
    t.file(u"文档/notes.txt"_s, "not a song");
    vaskord::SongTrash trasher;
    ASSERT_TRUE(trashAt(trasher, t.path(u"歌曲 一/10023.mpg"_s)));
    ASSERT_TRUE(trashAt(trasher, far));
    ASSERT_TRUE(trashAt(trasher, t.path(u"文档/notes.txt"_s)));

    vaskord::RestoreCounts counts;
    const QList<RestoredSong> reported = restore({}, &counts);

    QStringList originals;
    for (const RestoredSong& s : reported) {
        EXPECT_EQ(s.result, RestoredSong::Result::Restored) << s.original;
        originals << QFile::decodeName(QByteArray::fromStdString(s.original));
    }
    EXPECT_TRUE(originals.contains(t.path(u"歌曲 一/10023.mpg"_s)));
    EXPECT_TRUE(originals.contains(far));
    EXPECT_FALSE(originals.contains(t.path(u"文档/notes.txt"_s))) << "only song files";
    EXPECT_EQ(contentOf(t.path(u"歌曲 一/10023.mpg"_s)), "home");
    EXPECT_EQ(contentOf(far), "far");
    EXPECT_FALSE(QFileInfo::exists(homeTrash() + u"/info/10023.mpg.trashinfo"_s));
    EXPECT_TRUE(QFileInfo::exists(homeTrash() + u"/info/notes.txt.trashinfo"_s));
    EXPECT_EQ(counts.failed, 0);
}

TEST_F(TrashTree, RestoreOfNamedFilesNeverOverwrites) {
    t.file(u"歌曲/10023.mpg"_s, "older");
    vaskord::SongTrash trasher;
    ASSERT_TRUE(trashAt(trasher, t.path(u"歌曲/10023.mpg"_s)));
    t.file(u"歌曲/10023.mpg"_s, "newer");
    ASSERT_TRUE(trashAt(trasher, t.path(u"歌曲/10023.mpg"_s)));
    t.file(u"歌曲/10025.mpg"_s, "kept in the trash");
    ASSERT_TRUE(trashAt(trasher, t.path(u"歌曲/10025.mpg"_s)));

    // Relative to the current folder, as a shell hands it over.
    const QString current = QDir::currentPath();
    QDir::setCurrent(t.path(u"歌曲"_s));
    vaskord::RestoreCounts counts;
    const QList<RestoredSong> reported = restore({u"10023.mpg"_s, u"10024.mpg"_s}, &counts);
    QDir::setCurrent(current);

    ASSERT_EQ(reported.size(), 3);
    // The latest comes back; the older one would overwrite it and stays.
    EXPECT_EQ(reported[0].result, RestoredSong::Result::Restored);
    EXPECT_EQ(reported[0].keptAt, bytes(homeTrash() + u"/files/10023.2.mpg"_s));
    EXPECT_EQ(reported[1].result, RestoredSong::Result::Failed);
    EXPECT_EQ(reported[1].reason, u"原处已有同名文件, 未覆盖"_s);
    EXPECT_EQ(reported[2].original, bytes(t.path(u"歌曲/10024.mpg"_s)));
    EXPECT_EQ(reported[2].reason, u"回收站中没有这个歌曲文件"_s);
    EXPECT_EQ(counts.restored, 1);
    EXPECT_EQ(counts.failed, 2);
    EXPECT_EQ(contentOf(t.path(u"歌曲/10023.mpg"_s)), "newer");
    EXPECT_EQ(contentOf(homeTrash() + u"/files/10023.mpg"_s), "older");
    EXPECT_TRUE(QFileInfo::exists(homeTrash() + u"/info/10023.mpg.trashinfo"_s));
    EXPECT_FALSE(QFileInfo::exists(t.path(u"歌曲/10025.mpg"_s))) << "not asked for";
}

// What another program put in the trash comes back as well.
TEST_F(TrashTree, RestoresWhatAnotherTrashProgramTrashed) {
    const QString gio = QStandardPaths::findExecutable(u"gio"_s);
    if (gio.isEmpty()) {
        GTEST_SKIP() << "gio (Debian package libglib2.0-bin) is not installed";
    }
    t.file(u"歌曲 一/10023.mpg"_s, "song");
    QDir().mkpath(homeTrash());
    QProcess put;
    put.start(gio, {u"trash"_s, t.path(u"歌曲 一/10023.mpg"_s)});
    ASSERT_TRUE(put.waitForFinished(30000));
    if (put.exitCode() != 0) {
        // GLib judges the home's disk by $HOME, not by XDG_DATA_HOME, and
        // keeps no trash on some system mounts (/tmp on a tmpfs, say).
        GTEST_SKIP() << "gio trash cannot trash here: " << put.readAllStandardError().constData();
    }
    ASSERT_FALSE(QFileInfo::exists(t.path(u"歌曲 一/10023.mpg"_s)));

    const QList<RestoredSong> reported = restore({t.path(u"歌曲 一/10023.mpg"_s)});
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(reported[0].result, RestoredSong::Result::Restored) << qPrintable(reported[0].reason);
    EXPECT_EQ(contentOf(t.path(u"歌曲 一/10023.mpg"_s)), "song");
}

}  // namespace
