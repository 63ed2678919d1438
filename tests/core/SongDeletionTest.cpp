#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "TempTree.h"
#include "core/SongDeletion.h"

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
    FakeTickedRows list({{0, u"/x/0.mpg"_s, true, false},
                         {1, u"/x/1.mpg"_s, false, false},
                         {2, u"/x/2.mpg"_s, true, false},
                         {3, u"/x/3.mpg"_s, true, false},
                         {4, u"/x/4.mpg"_s, true, false}});
    QStringList visited;
    const DeletionCounts counts = vaskord::deleteTickedSongFiles(list, [&](const QString& path) {
        visited << path;
        if (path == u"/x/3.mpg"_s) {
            throw std::runtime_error("device gone");
        }
        if (path == u"/x/0.mpg"_s) {
            throw 42;
        }
        return path != u"/x/2.mpg"_s;
    });
    EXPECT_EQ(visited, QStringList({u"/x/4.mpg"_s, u"/x/3.mpg"_s, u"/x/2.mpg"_s, u"/x/0.mpg"_s}));
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

}  // namespace
