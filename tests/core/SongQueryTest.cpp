#include <gtest/gtest.h>

#include <functional>

#include "core/SongQuery.h"

using namespace Qt::StringLiterals;
using vaskord::CandidateQueryPlan;
using vaskord::QueryInput;

namespace {

const QString kSelect =
    u" Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, S_COUNT,S_INPUTDATE,S_IFUsed from Ok_Song Where S_COUNT<"_s;
const QString kOrder = u" order by S_COUNT,S_INPUTCODE,S_Code"_s;

// A library and a folder are given, no criterion is ticked, but every
// criterion has text, so a row that only ticks a box tests that box alone.
QueryInput validInput() {
    QueryInput in;
    in.libraryPath = u"/srv/ktv/song.mdb"_s;
    in.folderLines = {u"/srv/songs"_s, u"/mnt/歌曲"_s};
    in.countText = u"3"_s;
    in.showCount = 100;
    in.dateText = u"2015-01-01"_s;
    in.date = QDate(2015, 1, 1);
    in.songNoText = u"12"_s;
    in.songNameText = u"爱"_s;
    in.singerText = u"张"_s;
    return in;
}

TEST(CandidateQuery, ThresholdDateAndSongNumberGiveTheDocumentedSql) {
    QueryInput in = validInput();
    in.limitDate = true;
    in.songNo = true;
    const CandidateQueryPlan plan = vaskord::planCandidateQuery(in);
    EXPECT_EQ(plan.prompt, QString());
    EXPECT_EQ(
        plan.sql,
        u" Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, S_COUNT,S_INPUTDATE,S_IFUsed from Ok_Song Where S_COUNT<3 and S_INPUTDATE<#2015-01-01# and S_Code like '12%' order by S_COUNT,S_INPUTCODE,S_Code"_s);
    EXPECT_EQ(plan.limit, 100);
    EXPECT_TRUE(plan.songFoldersRebuilt);
    EXPECT_EQ(plan.songFolders, QStringList({u"/srv/songs/"_s, u"/mnt/歌曲/"_s}));
}

struct PlanCase {
    const char* name;
    std::function<void(QueryInput&)> set;
    QString prompt;    // empty: the query runs
    bool rebuilt;      // the folder list was rebuilt
    QString criteria;  // when the query runs: the text between threshold and order
    int limit = 100;
};

// Test names carry the row name; print it instead of the bytes.
void PrintTo(const PlanCase& row, std::ostream* os) {
    *os << row.name;
}

class PlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanTest, PromptsInOrderOrComposesSql) {
    const PlanCase& c = GetParam();
    QueryInput in = validInput();
    c.set(in);
    const CandidateQueryPlan plan = vaskord::planCandidateQuery(in);

    EXPECT_EQ(plan.prompt, c.prompt);
    EXPECT_EQ(plan.songFoldersRebuilt, c.rebuilt);
    EXPECT_EQ(plan.songFolders.isEmpty(), !c.rebuilt);
    if (c.prompt.isEmpty()) {
        EXPECT_EQ(plan.sql, kSelect + in.countText + c.criteria + kOrder);
        EXPECT_EQ(plan.limit, c.limit);
    } else {
        EXPECT_EQ(plan.sql, QString());
    }
}

// Ticking every criterion with its text.
void tickAll(QueryInput& in) {
    in.limitDate = in.songNo = in.songName = in.singer = true;
}

const PlanCase kPlanCases[] = {
    {"NoLibraryComesBeforeEverything",
     [](QueryInput& in) {
         in.libraryPath.clear();
         in.folderLines.clear();
         tickAll(in);
         in.songNoText.clear();
     },
     u"请先选择歌库文件!"_s,
     false,
     {}},
    {"LibraryOfOneBlankHoldsACharacter",
     [](QueryInput& in) { in.libraryPath = u" "_s; },
     {},
     true,
     {}},
    {"NoFolders", [](QueryInput& in) { in.folderLines.clear(); }, u"请添加歌曲路径!"_s, false, {}},
    {"MemoOfOneEmptyLineHoldsNoFolder",
     [](QueryInput& in) { in.folderLines = {QString()}; },
     u"请添加歌曲路径!"_s,
     false,
     {}},
    {"NoCriteria", [](QueryInput&) {}, {}, true, {}},
    {"UntickedCriteriaWithEmptyTextsAreIgnored",
     [](QueryInput& in) {
         in.dateText.clear();
         in.songNoText.clear();
         in.songNameText.clear();
         in.singerText.clear();
     },
     {},
     true,
     {}},
    {"CountTextIsTakenAsShown", [](QueryInput& in) { in.countText = u"007"_s; }, {}, true, {}},
    {"AllFourInFixedOrder",
     tickAll,
     {},
     true,
     u" and S_INPUTDATE<#2015-01-01# and S_Code like '12%' and S_NAME like '爱%' and ( S_Singer1 like '张%' OR S_Singer2 like '张%')"_s},
    {"SingerClause",
     [](QueryInput& in) { in.singer = true; },
     {},
     true,
     u" and ( S_Singer1 like '张%' OR S_Singer2 like '张%')"_s},
    {"QuoteInNameIsDoubled",
     [](QueryInput& in) {
         in.songName = true;
         in.songNameText = u"O'Neil"_s;
     },
     {},
     true,
     u" and S_NAME like 'O''Neil%'"_s},
    {"WildcardsTypedByTheOperatorStay",
     [](QueryInput& in) {
         in.songNo = true;
         in.songNoText = u"1%_2"_s;
     },
     {},
     true,
     u" and S_Code like '1%_2%'"_s},
    {"BlanksAndControlsAroundTextAreTrimmed",
     [](QueryInput& in) {
         in.songNo = true;
         in.songNoText = u"\t 12 3\r\n"_s;
     },
     {},
     true,
     u" and S_Code like '12 3%'"_s},
    {"FullWidthBlankIsKept",
     [](QueryInput& in) {
         in.singer = true;
         in.singerText = u"\u3000张"_s;
     },
     {},
     true,
     u" and ( S_Singer1 like '\u3000张%' OR S_Singer2 like '\u3000张%')"_s},
    {"SongNumberOfBlanksOnly",
     [](QueryInput& in) {
         in.songNo = true;
         in.songNoText = u"   "_s;
     },
     u"歌曲编号不能为空!"_s,
     true,
     {}},
    {"SongNameEmpty",
     [](QueryInput& in) {
         in.songName = true;
         in.songNameText = u"\t"_s;
     },
     u"歌曲名称不能为空!"_s,
     true,
     {}},
    {"SingerEmptyAfterFilledCriteria",
     [](QueryInput& in) {
         tickAll(in);
         in.singerText.clear();
     },
     u"歌星姓名不能为空!"_s,
     true,
     {}},
    {"EmptyDateHidesLaterEmptyCriteria",
     [](QueryInput& in) {
         tickAll(in);
         in.dateText.clear();
         in.songNoText.clear();
         in.songNameText.clear();
         in.singerText.clear();
     },
     u"选择了限制日期,日期不能为空!"_s,
     true,
     {}},
    {"DateTextOfOneBlankIsNotTrimmed",
     [](QueryInput& in) {
         in.limitDate = true;
         in.dateText = u" "_s;
         in.date = QDate(1999, 12, 31);
     },
     {},
     true,
     u" and S_INPUTDATE<#1999-12-31#"_s},
    {"InvalidDateCountsAsEmpty",
     [](QueryInput& in) {
         in.limitDate = true;
         in.date = QDate();
     },
     u"选择了限制日期,日期不能为空!"_s,
     true,
     {}},
    {"LimitBelowRangeIsOne", [](QueryInput& in) { in.showCount = 0; }, {}, true, {}, 1},
    {"LimitAboveRangeIsThousand", [](QueryInput& in) { in.showCount = 5000; }, {}, true, {}, 1000},
};

INSTANTIATE_TEST_SUITE_P(Cases, PlanTest, testing::ValuesIn(kPlanCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(TrimBlanksAndControls, RemovesOnlyCodesUpToBlank) {
    const struct {
        const char* name;
        QString in;
        QString out;
    } rows[] = {
        {"controls and blanks", u"\u0001\u001f \t歌\u0020曲\n\0"_s, u"歌\u0020曲"_s},
        {"nothing but blanks", u" \t\r\n"_s, QString()},
        {"delete and no-break space stay", u"\u007f12\u00a0"_s, u"\u007f12\u00a0"_s},
        {"non-BMP letters stay", u" \U00020000x\U00020000 "_s, u"\U00020000x\U00020000"_s},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(vaskord::trimBlanksAndControls(row.in), row.out) << row.name;
    }
}

}  // namespace
