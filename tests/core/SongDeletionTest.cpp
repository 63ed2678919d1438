#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TempTree.h"
#include "core/SongDeletion.h"
#include "core/SongFiles.h"

using namespace Qt::StringLiterals;
using vaskord::DeletionCounts;

namespace {

// What stands at a row's path when the deletion starts.
enum class Kind {
    Deletable,
    Missing,   // removed by someone else after the query
    ReadOnly,  // no write right for anyone
    Folder,    // the path has become a folder
    Throws,    // reading the row's path raises
};

struct RowSpec {
    Kind kind;
    bool ticked;
};

class FakeTickedRows final : public vaskord::TickedRows {
public:
    struct Row {
        int origin;  // index in the list before the deletion
        QString path;
        bool ticked;
        bool throws;
    };
    explicit FakeTickedRows(std::vector<Row> rows) : m_rows(std::move(rows)) {}

    int count() const override { return static_cast<int>(m_rows.size()); }
    bool isTicked(int row) const override { return m_rows.at(row).ticked; }
    QString path(int row) const override {
        if (m_rows.at(row).throws) {
            throw std::runtime_error("row unreadable");
        }
        return m_rows.at(row).path;
    }
    void removeRow(int row) override { m_rows.erase(m_rows.begin() + row); }

    const std::vector<Row>& rows() const { return m_rows; }

private:
    std::vector<Row> m_rows;
};

struct PassCase {
    const char* name;
    std::vector<RowSpec> rows;
    std::vector<int> kept;  // rows left, by their index before the deletion
    QString summary;
};

// Test names carry the row name; print it instead of the bytes.
void PrintTo(const PassCase& row, std::ostream* os) {
    *os << row.name;
}

class DeletionPassTest : public testing::TestWithParam<PassCase> {};

TEST_P(DeletionPassTest, DeletesTickedFilesAndKeepsRowsThatFailed) {
    const PassCase& c = GetParam();
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"曲库/邻居.mpg"_s);
    t.file(u"曲库/song.mdb"_s);
    std::vector<FakeTickedRows::Row> rows;
    QStringList names;
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        const QString name = u"曲库/歌曲"_s + QString::number(i) + u".mpg"_s;
        names << name;
        switch (c.rows[i].kind) {
            case Kind::Missing:
                break;
            case Kind::Folder:
                t.folder(name);
                t.file(name + u"/inner.mpg"_s);
                break;
            case Kind::ReadOnly:
                t.file(name);
                t.setMode(name, 0444);
                break;
            default:
                t.file(name);
        }
        rows.push_back(
            {static_cast<int>(i), t.path(name), c.rows[i].ticked, c.rows[i].kind == Kind::Throws});
    }
    FakeTickedRows list(rows);

    const DeletionCounts counts = vaskord::deleteTickedSongFiles(list);

    EXPECT_EQ(vaskord::deletionSummary(counts), c.summary);
    EXPECT_EQ(counts.ticked, counts.deleted + counts.failed + counts.faulted);
    std::vector<int> kept;
    for (const auto& row : list.rows()) {
        kept.push_back(row.origin);
        EXPECT_EQ(row.ticked, c.rows[row.origin].ticked) << "row " << row.origin;
    }
    EXPECT_EQ(kept, c.kept);
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        const bool gone = c.rows[i].ticked && c.rows[i].kind == Kind::Deletable;
        EXPECT_EQ(t.holds(names[i]), !gone && c.rows[i].kind != Kind::Missing) << "row " << i;
    }
    EXPECT_TRUE(t.holds(u"曲库/邻居.mpg"_s));
    EXPECT_TRUE(t.holds(u"曲库/song.mdb"_s));
}

const PassCase kPassCases[] = {
    {"FirstAndThirdTicked",
     {{Kind::Deletable, true}, {Kind::Deletable, false}, {Kind::Deletable, true}},
     {1},
     u" 已选中数量:2 删除歌曲 成功数量:2 失败数量:0 异常数量:0"_s},
    {"RemovedBySomeoneElse",
     {{Kind::Missing, true}},
     {0},
     u" 已选中数量:1 删除歌曲 成功数量:0 失败数量:1 异常数量:0"_s},
    {"ReadOnlyFileStaysEvenForRoot",
     {{Kind::ReadOnly, true}},
     {0},
     u" 已选中数量:1 删除歌曲 成功数量:0 失败数量:1 异常数量:0"_s},
    {"PathBecameAFolder",
     {{Kind::Folder, true}},
     {0},
     u" 已选中数量:1 删除歌曲 成功数量:0 失败数量:1 异常数量:0"_s},
    {"NothingTicked",
     {{Kind::Deletable, false}, {Kind::Deletable, false}},
     {0, 1},
     u" 已选中数量:0 删除歌曲 成功数量:0 失败数量:0 异常数量:0"_s},
    {"AllTicked",
     {{Kind::Deletable, true}, {Kind::Deletable, true}, {Kind::Deletable, true}},
     {},
     u" 已选中数量:3 删除歌曲 成功数量:3 失败数量:0 异常数量:0"_s},
    {"ExceptionIsFaultedAndThePassGoesOn",
     {{Kind::Deletable, true}, {Kind::Throws, true}, {Kind::Deletable, true}},
     {1},
     u" 已选中数量:3 删除歌曲 成功数量:2 失败数量:0 异常数量:1"_s},
    {"EveryOutcomeTogether",
     {{Kind::ReadOnly, true},
      {Kind::Deletable, true},
      {Kind::Throws, true},
      {Kind::Deletable, false},
      {Kind::Folder, true},
      {Kind::Missing, true},
      {Kind::Deletable, true}},
     {0, 2, 3, 4, 5},
     u" 已选中数量:6 删除歌曲 成功数量:2 失败数量:3 异常数量:1"_s},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeletionPassTest, testing::ValuesIn(kPassCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DeletionPass, VisitsTickedRowsLastToFirstAndCountsAnyThrowAsFaulted) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    std::vector<FakeTickedRows::Row> rows;
    for (int i = 0; i < 5; ++i) {
        t.file(u"x/"_s + QString::number(i) + u".mpg"_s);
        rows.push_back({i, t.path(u"x/"_s + QString::number(i) + u".mpg"_s), i != 1, false});
    }
    FakeTickedRows list(rows);
    std::vector<std::string> visited;
    vaskord::DeletionPass pass;
    pass.dispose = [&](int, const std::string& name, const struct stat& file) {
        EXPECT_TRUE(S_ISREG(file.st_mode));
        visited.push_back(name);
        if (name == "3.mpg") {
            throw std::runtime_error("device gone");
        }
        if (name == "0.mpg") {
            throw 42;
        }
        return name != "2.mpg" ? vaskord::Disposal::Done : vaskord::Disposal::Refused;
    };
    const DeletionCounts counts = vaskord::deleteTickedSongFiles(list, pass);
    EXPECT_EQ(visited, (std::vector<std::string>{"4.mpg", "3.mpg", "2.mpg", "0.mpg"}));
    EXPECT_EQ(vaskord::deletionSummary(counts),
              u" 已选中数量:4 删除歌曲 成功数量:1 失败数量:1 异常数量:2"_s);
    ASSERT_EQ(list.rows().size(), 4u);
    EXPECT_EQ(list.rows().back().origin, 3);
}

struct FileCase {
    const char* name;
    std::function<QString(TempTree&)> make;  // returns the path to delete, relative
    bool deleted;
    bool needsNonRoot = false;
};

void PrintTo(const FileCase& row, std::ostream* os) {
    *os << row.name;
}

class DeleteSongFileTest : public testing::TestWithParam<FileCase> {};

TEST_P(DeleteSongFileTest, RemovesOnlyAWritableFileOrALinkToOne) {
    const FileCase& c = GetParam();
    if (c.needsNonRoot && runningAsRoot()) {
        GTEST_SKIP() << "root may unlink in any folder";
    }
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"target/歌.mpg"_s);
    const QString relative = c.make(t);

    EXPECT_EQ(vaskord::deleteSongFile(relative.isEmpty() ? QString() : t.path(relative)),
              c.deleted);
    if (!relative.isEmpty()) {
        EXPECT_EQ(t.holds(relative), !c.deleted);
    }
    EXPECT_TRUE(t.holds(u"target/歌.mpg"_s)) << "a link's target is never touched";
}

const FileCase kFileCases[] = {
    {"WriteRightForOwnerOnly",
     [](TempTree& t) {
         t.file(u"s/1.mpg"_s);
         t.setMode(u"s/1.mpg"_s, 0200);
         return u"s/1.mpg"_s;
     },
     true},
    {"WriteRightForOthersOnly",
     [](TempTree& t) {
         t.file(u"s/1.mpg"_s);
         t.setMode(u"s/1.mpg"_s, 0402);
         return u"s/1.mpg"_s;
     },
     true},
    {"ReadOnlyExecutable",
     [](TempTree& t) {
         t.file(u"s/1.mpg"_s);
         t.setMode(u"s/1.mpg"_s, 0555);
         return u"s/1.mpg"_s;
     },
     false},
    {"LinkToAFileGoesAndTheFileStays",
     [](TempTree& t) {
         t.link(u"s/1.mpg"_s, t.path(u"target/歌.mpg"_s));
         return u"s/1.mpg"_s;
     },
     true},
    {"LinkToAProtectedFileStays",
     [](TempTree& t) {
         t.setMode(u"target/歌.mpg"_s, 0444);
         t.link(u"s/1.mpg"_s, t.path(u"target/歌.mpg"_s));
         return u"s/1.mpg"_s;
     },
     false},
    {"LinkToAFolderStays",
     [](TempTree& t) {
         t.link(u"s/1.mpg"_s, t.path(u"target"_s));
         return u"s/1.mpg"_s;
     },
     false},
    {"DanglingLinkIsMissing",
     [](TempTree& t) {
         t.link(u"s/1.mpg"_s, t.path(u"target/gone.mpg"_s));
         return u"s/1.mpg"_s;
     },
     false},
    {"EmptyPath", [](TempTree&) { return QString(); }, false},
    {"NulWouldCutThePathShort",
     [](TempTree& t) {
         t.file(u"s/1.mpg"_s);
         return u"s/1.mpg\0/other.mpg"_s;
     },
     false},
    {"FolderWithoutWriteRight",
     [](TempTree& t) {
         t.file(u"s/1.mpg"_s);
         t.lockFolder(u"s"_s, 0555);
         return u"s/1.mpg"_s;
     },
     false, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeleteSongFileTest, testing::ValuesIn(kFileCases),
                         [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------- folder handles

int countFiles(const TempTree& t, const QString& folder, int n) {
    int held = 0;
    for (int i = 0; i < n; ++i) {
        held += t.holds(folder + u'/' + QString::number(i) + u".mpg"_s) ? 1 : 0;
    }
    return held;
}

// Every song of the list, ticked, in the folder `folder` of the tree.
FakeTickedRows tickedSongs(const TempTree& t, const QString& folder, int n) {
    std::vector<FakeTickedRows::Row> rows;
    for (int i = 0; i < n; ++i) {
        rows.push_back({i, t.path(folder + u'/' + QString::number(i) + u".mpg"_s), true, false});
    }
    return FakeTickedRows(rows);
}

// Someone swaps the song folder for a link to another folder holding files of
// the same names, over and over, while the pass runs. Whichever of the two the
// pass opened, it must delete in that one only.
TEST(DeletionPassRace, FolderSwappedForALinkDuringThePass) {
    constexpr int kFiles = 300;
    constexpr int kRounds = 12;
    int deletedInAll = 0;
    for (int round = 0; round < kRounds; ++round) {
        TempTree t;
        ASSERT_TRUE(t.isValid());
        for (int i = 0; i < kFiles; ++i) {
            t.file(u"songs/"_s + QString::number(i) + u".mpg"_s);
            t.file(u"decoy/"_s + QString::number(i) + u".mpg"_s);
        }
        t.link(u"link"_s, u"decoy"_s);
        const QByteArray songs = QFile::encodeName(t.path(u"songs"_s));
        const QByteArray away = QFile::encodeName(t.path(u"songs.away"_s));
        const QByteArray link = QFile::encodeName(t.path(u"link"_s));
        FakeTickedRows list = tickedSongs(t, u"songs"_s, kFiles);

        std::atomic<bool> stop{false};
        std::atomic<bool> started{false};
        std::thread swapper([&] {
            // Each turn ends as it began: songs/ is the folder, link the link.
            while (!stop.load()) {
                std::rename(songs.constData(), away.constData());
                std::rename(link.constData(), songs.constData());
                started.store(true);
                std::rename(songs.constData(), link.constData());
                std::rename(away.constData(), songs.constData());
            }
        });
        while (!started.load()) {
            std::this_thread::yield();
        }
        const DeletionCounts counts = vaskord::deleteTickedSongFiles(list);
        stop.store(true);
        swapper.join();

        const int goneFromSongs = kFiles - countFiles(t, u"songs"_s, kFiles);
        const int goneFromDecoy = kFiles - countFiles(t, u"decoy"_s, kFiles);
        EXPECT_TRUE(goneFromSongs == 0 || goneFromDecoy == 0)
            << "round " << round << ": " << goneFromSongs << " deleted in the song folder and "
            << goneFromDecoy << " in the other";
        EXPECT_EQ(goneFromSongs + goneFromDecoy, counts.deleted) << "round " << round;
        deletedInAll += counts.deleted;
    }
    EXPECT_GT(deletedInAll, 0) << "the pass never found its folder";
}

// The command line lists and then deletes: the deletion must work in the
// folders the listing looked into, even if a folder has been swapped since.
TEST(DeletionPassRace, DeletionUsesTheFoldersTheListingOpened) {
    constexpr int kFiles = 5;
    TempTree t;
    ASSERT_TRUE(t.isValid());
    for (int i = 0; i < kFiles; ++i) {
        t.file(u"歌曲/"_s + QString::number(i) + u".mpg"_s);
        t.file(u"decoy/"_s + QString::number(i) + u".mpg"_s);
    }
    vaskord::SongFileFinder finder({t.path(u"歌曲/"_s)});
    std::vector<FakeTickedRows::Row> rows;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = finder.find(QString::number(i));
        ASSERT_EQ(path, t.path(u"歌曲/"_s + QString::number(i) + u".mpg"_s));
        rows.push_back({i, path, true, false});
    }
    FakeTickedRows list(rows);
    ASSERT_EQ(std::rename(QFile::encodeName(t.path(u"歌曲"_s)).constData(),
                          QFile::encodeName(t.path(u"moved"_s)).constData()),
              0);
    t.link(u"歌曲"_s, u"decoy"_s);

    const DeletionCounts counts = vaskord::deleteTickedSongFiles(list, finder.folderHandles());

    EXPECT_EQ(counts.deleted, kFiles);
    EXPECT_EQ(countFiles(t, u"moved"_s, kFiles), 0);
    EXPECT_EQ(countFiles(t, u"decoy"_s, kFiles), kFiles);
}

// How the open library can stand in a song folder under a song's name.
struct KeepCase {
    const char* name;
    std::function<void(TempTree&)> place;  // puts something at songs/1.mpg
    bool deleted;
};

void PrintTo(const KeepCase& row, std::ostream* os) {
    *os << row.name;
}

class KeepLibraryTest : public testing::TestWithParam<KeepCase> {};

TEST_P(KeepLibraryTest, NeverDeletesTheOpenLibrary) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"lib/歌库.mdb"_s, "Standard Jet DB");
    GetParam().place(t);
    struct stat library {};
    ASSERT_EQ(::stat(QFile::encodeName(t.path(u"lib/歌库.mdb"_s)).constData(), &library), 0);
    FakeTickedRows list = tickedSongs(t, u"songs"_s, 2);
    t.file(u"songs/0.mpg"_s);
    vaskord::DeletionPass pass;
    pass.keep = {vaskord::FileId::of(library)};

    const DeletionCounts counts = vaskord::deleteTickedSongFiles(list, pass);

    EXPECT_EQ(t.holds(u"songs/1.mpg"_s), !GetParam().deleted);
    EXPECT_FALSE(t.holds(u"songs/0.mpg"_s)) << "other songs still go";
    EXPECT_EQ(counts.deleted, GetParam().deleted ? 2 : 1);
    EXPECT_TRUE(t.holds(u"lib/歌库.mdb"_s));
}

const KeepCase kKeepCases[] = {
    {"LibraryMovedIntoTheFolder",
     [](TempTree& t) {
         t.folder(u"songs"_s);
         std::rename(QFile::encodeName(t.path(u"lib/歌库.mdb"_s)).constData(),
                     QFile::encodeName(t.path(u"songs/1.mpg"_s)).constData());
         t.link(u"lib/歌库.mdb"_s, t.path(u"songs/1.mpg"_s));
     },
     false},
    {"HardLinkToTheLibrary",
     [](TempTree& t) {
         t.folder(u"songs"_s);
         ::link(QFile::encodeName(t.path(u"lib/歌库.mdb"_s)).constData(),
                QFile::encodeName(t.path(u"songs/1.mpg"_s)).constData());
     },
     false},
    {"SymbolicLinkToTheLibrary",
     [](TempTree& t) { t.link(u"songs/1.mpg"_s, t.path(u"lib/歌库.mdb"_s)); }, false},
    {"CopyOfTheLibraryIsAnotherFile",
     [](TempTree& t) { t.file(u"songs/1.mpg"_s, "Standard Jet DB"); }, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, KeepLibraryTest, testing::ValuesIn(kKeepCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DeletionPass, StopsBeforeTheNextRowWhenAsked) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    for (int i = 0; i < 4; ++i) {
        t.file(u"s/"_s + QString::number(i) + u".mpg"_s);
    }
    FakeTickedRows list = tickedSongs(t, u"s"_s, 4);
    int asked = 0;
    vaskord::DeletionPass pass;
    pass.stopRequested = [&] { return ++asked > 2; };

    const DeletionCounts counts = vaskord::deleteTickedSongFiles(list, pass);

    EXPECT_EQ(vaskord::deletionSummary(counts),
              u" 已选中数量:2 删除歌曲 成功数量:2 失败数量:0 异常数量:0"_s);
    EXPECT_EQ(countFiles(t, u"s"_s, 4), 2);
    EXPECT_TRUE(t.holds(u"s/0.mpg"_s)) << "last to first: the first rows stay";
}

// A song folder that is itself a link is followed when it is opened, as
// before: its songs are found and deleted in the link's target.
TEST(DeletionPass, AFolderThatIsALinkStillWorks) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"真的/1.mpg"_s);
    t.link(u"歌曲"_s, t.path(u"真的"_s));
    vaskord::SongFileFinder finder({t.path(u"歌曲/"_s)});
    const QString path = finder.find(u"1"_s);
    ASSERT_EQ(path, t.path(u"歌曲/1.mpg"_s));
    FakeTickedRows list({{0, path, true, false}});

    const DeletionCounts counts = vaskord::deleteTickedSongFiles(list, finder.folderHandles());

    EXPECT_EQ(counts.deleted, 1);
    EXPECT_FALSE(t.holds(u"真的/1.mpg"_s));
    EXPECT_TRUE(t.holds(u"歌曲"_s)) << "the link itself stays";
}

struct OpenCase {
    const char* name;
    std::function<QString(TempTree&)> make;  // returns the folder, relative
    QString why;                             // empty: it opens
    bool needsNonRoot = false;
};

void PrintTo(const OpenCase& row, std::ostream* os) {
    *os << row.name;
}

class FolderHandleTest : public testing::TestWithParam<OpenCase> {};

TEST_P(FolderHandleTest, OpensOnceOrSaysWhyNot) {
    if (GetParam().needsNonRoot && runningAsRoot()) {
        GTEST_SKIP() << "root searches any folder";
    }
    TempTree t;
    ASSERT_TRUE(t.isValid());
    const QString folder = t.path(GetParam().make(t));
    vaskord::SongFolderHandles handles;
    const int fd = handles.open(folder);
    EXPECT_EQ(handles.open(folder), fd) << "opened once";
    if (GetParam().why.isEmpty()) {
        EXPECT_GE(fd, 0);
        EXPECT_EQ(handles.openError(folder), 0);
    } else {
        EXPECT_EQ(fd, -1);
        EXPECT_EQ(vaskord::folderUnsearchableText(folder, handles.openError(folder)),
                  u"无法查找歌曲路径 "_s + folder + u": "_s + GetParam().why);
    }
}

const OpenCase kOpenCases[] = {
    {"Folder",
     [](TempTree& t) {
         t.folder(u"歌曲"_s);
         return u"歌曲/"_s;
     },
     {}},
    {"LinkToAFolder",
     [](TempTree& t) {
         t.folder(u"真的"_s);
         t.link(u"歌曲"_s, t.path(u"真的"_s));
         return u"歌曲/"_s;
     },
     {}},
    {"SearchRightOnly",
     [](TempTree& t) {
         t.folder(u"歌曲"_s);
         t.lockFolder(u"歌曲"_s, 0111);
         return u"歌曲/"_s;
     },
     {}},
    {"Missing", [](TempTree&) { return u"没有/"_s; }, u"目录不存在。"_s},
    {"DanglingLink",
     [](TempTree& t) {
         t.link(u"歌曲"_s, t.path(u"没有"_s));
         return u"歌曲/"_s;
     },
     u"目录不存在。"_s},
    {"AFile",
     [](TempTree& t) {
         t.file(u"歌曲"_s);
         return u"歌曲/"_s;
     },
     u"这不是一个目录。"_s},
    {"NulInThePath", [](TempTree&) { return u"a\0b/"_s; }, u"目录不存在。"_s},
    {"NoSearchRight",
     [](TempTree& t) {
         t.folder(u"歌曲"_s);
         t.lockFolder(u"歌曲"_s, 0600);
         return u"歌曲/"_s;
     },
     u"没有查找该目录的权限。"_s, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, FolderHandleTest, testing::ValuesIn(kOpenCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
