#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "TempTree.h"
#include "core/SongFiles.h"
#include "core/SongListing.h"

using namespace Qt::StringLiterals;
using vaskord::SongRow;

namespace {

// Candidate rows in memory; each field holds its column name and the row's
// song number, so a field read from the wrong column shows.
class FakeRows final : public vaskord::CandidateRows {
public:
    explicit FakeRows(QStringList codes, int failAt = -1)
        : m_codes(std::move(codes)), m_failAt(failAt) {}

    bool atEnd() const override { return m_pos >= m_codes.size(); }
    void next() override { ++m_pos; }
    QString fieldText(const QString& column) const override {
        if (m_pos == m_failAt) {
            throw std::runtime_error("page unreadable");
        }
        return column == u"S_Code"_s ? m_codes.at(m_pos) : column + u':' + m_codes.at(m_pos);
    }
    int position() const { return m_pos; }
    int recordCount() const { return m_codes.size(); }

private:
    QStringList m_codes;
    int m_failAt;
    int m_pos = 0;
};

QStringList numbered(int count) {
    QStringList codes;
    for (int i = 0; i < count; ++i) {
        codes << QString::number(10000 + i);
    }
    return codes;
}

struct ListingCase {
    const char* name;
    QStringList codes;    // the candidate rows in query order
    QStringList present;  // the songs whose files exist
    int limit;
    QStringList listed;  // the song numbers listed, in order
    int rowsExamined;    // where the walk stopped
    QString summary;
};

// Test names carry the row name; print it instead of the bytes.
void PrintTo(const ListingCase& row, std::ostream* os) {
    *os << row.name;
}

class ListingTest : public testing::TestWithParam<ListingCase> {};

TEST_P(ListingTest, ListsSongsWithFilesUpToTheLimit) {
    const ListingCase& c = GetParam();
    TempTree t;
    ASSERT_TRUE(t.isValid());
    for (const QString& code : c.present) {
        t.file(u"歌曲/"_s + code + u".mpg"_s);
    }
    FakeRows rows(c.codes);
    vaskord::SongFileFinder finder({t.path(u"歌曲/"_s)});
    QStringList listed;
    const int matched = vaskord::listSongFiles(rows, finder, c.limit, [&](const SongRow& row) {
        EXPECT_EQ(row.path, t.path(u"歌曲/"_s) + row.code + u".mpg"_s);
        listed << row.code;
    });

    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(matched, c.listed.size());
    EXPECT_EQ(rows.position(), c.rowsExamined);
    EXPECT_EQ(vaskord::listingSummary(rows.recordCount(), matched), c.summary);
}

QStringList everyThird(const QStringList& codes, int count) {
    QStringList picked;
    for (int i = 0; i < count; ++i) {
        picked << codes.at(i * 3 + 1);
    }
    return picked;
}

const ListingCase kListingCases[] = {
    {"LimitReachedWithRowsLeft", numbered(500), numbered(500), 100, numbered(100), 100,
     u"符合条件的曲库记录数为:500,匹配歌曲文件的数量为:100"_s},
    {"FewerFilesThanTheLimit", numbered(40), everyThird(numbered(40), 12), 100,
     everyThird(numbered(40), 12), 40, u"符合条件的曲库记录数为:40,匹配歌曲文件的数量为:12"_s},
    {"NoRows", {}, {}, 100, {}, 0, u"符合条件的曲库记录数为:0,匹配歌曲文件的数量为:0"_s},
    {"MissingFilesCostNoShareOfTheLimit",
     {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s},
     {u"2"_s, u"4"_s, u"5"_s},
     2,
     {u"2"_s, u"4"_s},
     4,
     u"符合条件的曲库记录数为:5,匹配歌曲文件的数量为:2"_s},
    {"DuplicateRowsBothListed",
     {u"7"_s, u"7"_s, u"8"_s},
     {u"7"_s},
     100,
     {u"7"_s, u"7"_s},
     3,
     u"符合条件的曲库记录数为:3,匹配歌曲文件的数量为:2"_s},
    {"UnsafeCodePassedOver",
     {u"../7"_s, u"7"_s},
     {u"7"_s},
     100,
     {u"7"_s},
     2,
     u"符合条件的曲库记录数为:2,匹配歌曲文件的数量为:1"_s},
};

INSTANTIATE_TEST_SUITE_P(Cases, ListingTest, testing::ValuesIn(kListingCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ListSongFiles, RowTakesEachFieldFromItsColumn) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"s/K1.mpg"_s);
    FakeRows rows({u"K1"_s});
    vaskord::SongFileFinder finder({t.path(u"s/"_s)});
    std::vector<SongRow> listed;
    vaskord::listSongFiles(rows, finder, 1, [&](const SongRow& row) { listed.push_back(row); });

    ASSERT_EQ(listed.size(), 1u);
    const SongRow& row = listed.front();
    const QStringList got = {row.code,     row.name,  row.singer1,   row.singer2,
                             row.copyDest, row.count, row.inputDate, row.path};
    const QStringList expected = {u"K1"_s,
                                  u"S_NAME:K1"_s,
                                  u"S_Singer1:K1"_s,
                                  u"S_Singer2:K1"_s,
                                  u"S_CopyDest:K1"_s,
                                  u"S_COUNT:K1"_s,
                                  u"S_INPUTDATE:K1"_s,
                                  t.path(u"s/K1.mpg"_s)};
    EXPECT_EQ(got, expected);
}

TEST(ListSongFiles, DatabaseErrorEndsThePassKeepingRowsListedSoFar) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    for (const QString& code : numbered(5)) {
        t.file(u"s/"_s + code + u".mpg"_s);
    }
    FakeRows rows(numbered(5), 3);
    vaskord::SongFileFinder finder({t.path(u"s/"_s)});
    QStringList listed;
    EXPECT_THROW(
        vaskord::listSongFiles(rows, finder, 100, [&](const SongRow& row) { listed << row.code; }),
        std::runtime_error);
    EXPECT_EQ(listed, numbered(3));
}

TEST(ListingStatus, Texts) {
    EXPECT_EQ(vaskord::queryingStatus(), u"请耐心等待,正在查询符合条件的曲库记录..."_s);
    EXPECT_EQ(vaskord::findingFilesStatus(300000),
              u"请耐心等待,符合条件的曲库记录数为300000,正在查找歌曲文件..."_s);
}

}  // namespace
