#include <gtest/gtest.h>

#include <QLocale>
#include <algorithm>
#include <functional>

#include "TsvTwin.h"
#include "data/Query.h"
#include "data/query/SqlParser.h"
#include "tests/CaseName.h"

using vaskord::data::Connection;
using vaskord::data::DatabaseError;
using vaskord::data::Query;
using vaskord::data::Value;

namespace {

const char kSelect[] =
    " Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, S_COUNT,S_INPUTDATE,"
    "S_IFUsed from Ok_Song";

// The nine fields of the current row in the TSV twin's notation.
QString rowSignature(const Query& query) {
    QStringList parts;
    for (const char* column : {"S_Code", "S_NAME", "S_Singer1", "S_Singer2", "S_INPUTCODE",
                               "S_CopyDest", "S_COUNT", "S_INPUTDATE", "S_IFUsed"}) {
        const Value value = query.value(QLatin1String(column));
        if (vaskord::data::isNull(value)) {
            parts << QStringLiteral("\\N");
        } else if (const auto* text = std::get_if<QString>(&value)) {
            parts << *text;
        } else if (const auto* whole = std::get_if<qint64>(&value)) {
            parts << QString::number(*whole);
        } else if (const auto* date = std::get_if<QDateTime>(&value)) {
            parts << date->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        } else if (const auto* yes = std::get_if<bool>(&value)) {
            parts << (*yes ? QStringLiteral("1") : QStringLiteral("0"));
        } else {
            parts << QStringLiteral("?");
        }
    }
    return parts.join(u'\t');
}

QStringList run(Connection& connection, const QString& sql) {
    Query query;
    query.setConnection(&connection);
    query.setSql(sql);
    query.open();
    QStringList rows;
    for (; !query.atEnd(); query.next()) {
        rows << rowSignature(query);
    }
    EXPECT_EQ(rows.size(), query.recordCount());
    return rows;
}

// ---------------------------------------------------------- expected rows

using Row = SongTsvRow;
using Filter = std::function<bool(const Row&)>;
using Less = std::function<bool(const Row&, const Row&)>;

bool startsWith(const std::optional<QString>& text, const char* prefix) {
    return text && text->startsWith(QString::fromUtf8(prefix), Qt::CaseInsensitive);
}

// Access ordering: NULL first, text without regard to case; equal keys keep
// the table's order (the caller sorts stably).
template <typename T>
int orderOf(const std::optional<T>& a, const std::optional<T>& b) {
    if (!a || !b) {
        return int(bool(a)) - int(bool(b));
    }
    if constexpr (std::is_same_v<T, QString>) {
        return a->compare(*b, Qt::CaseInsensitive);
    } else {
        return *a < *b ? -1 : (*b < *a ? 1 : 0);
    }
}

const Less kCandidateOrder = [](const Row& a, const Row& b) {
    if (int c = orderOf(a.count, b.count)) {
        return c < 0;
    }
    if (int c = orderOf(a.inputCode, b.inputCode)) {
        return c < 0;
    }
    return orderOf(a.code, b.code) < 0;
};

struct QueryCase {
    const char* name;
    const char* tail;  // appended to the select of the candidate columns
    Filter keep;
    Less order = {};  // empty: the table's order
};

class EdgeLibraryQueryTest : public testing::TestWithParam<QueryCase> {
protected:
    static void SetUpTestSuite() {
        s_rows = readSongTsv(fixturePath(QStringLiteral("songs-edge.tsv")));
    }
    void SetUp() override {
        m_connection.setConnectionString(QStringLiteral("Data Source=") +
                                         fixturePath(QStringLiteral("songs-edge.mdb")));
        m_connection.open();
    }
    static inline std::vector<Row> s_rows;
    Connection m_connection;
};

TEST_P(EdgeLibraryQueryTest, GivesTheTwinsRowsInOrder) {
    std::vector<Row> expected;
    std::copy_if(s_rows.begin(), s_rows.end(), std::back_inserter(expected), GetParam().keep);
    if (GetParam().order) {
        std::stable_sort(expected.begin(), expected.end(), GetParam().order);
    }
    QStringList wanted;
    for (const Row& row : expected) {
        wanted << row.signature();
    }
    // A case that selects nothing would prove nothing.
    ASSERT_FALSE(wanted.isEmpty());
    const QString sql = QString::fromUtf8(kSelect) + QString::fromUtf8(GetParam().tail);
    EXPECT_EQ(run(m_connection, sql), wanted) << sql.toStdString();
}

const Filter kAll = [](const Row&) { return true; };

INSTANTIATE_TEST_SUITE_P(
    Dialect, EdgeLibraryQueryTest,
    testing::Values(
        QueryCase{"wholeTableInPhysicalOrder", "", kAll, {}},
        QueryCase{"candidateWithoutCriteria",
                  " Where S_COUNT<100 order by S_COUNT,S_INPUTCODE,S_Code",
                  [](const Row& r) { return r.count && *r.count < 100; }, kCandidateOrder},
        QueryCase{"candidateWithEveryCriterion",
                  " Where S_COUNT<3 and S_INPUTDATE<#2015-01-01# and S_Code like '1%' and S_NAME "
                  "like '月%' and ( S_Singer1 like '邓%' OR S_Singer2 like '邓%') order by "
                  "S_COUNT,S_INPUTCODE,S_Code",
                  [](const Row& r) {
                      return r.count && *r.count < 3 && r.inputDate &&
                             r.inputDate->date() < QDate(2015, 1, 1) && startsWith(r.code, "1") &&
                             startsWith(r.name, "月") &&
                             (startsWith(r.singer1, "邓") || startsWith(r.singer2, "邓"));
                  },
                  kCandidateOrder},
        QueryCase{
            "exampleShapeWithSinger",
            " Where S_COUNT<3 and S_INPUTDATE<#2016-12-31# and S_Code like '12%' and ( "
            "S_Singer1 like '张%' OR S_Singer2 like '张%') order by S_COUNT,S_INPUTCODE,S_Code",
            [](const Row& r) {
                return r.count && *r.count < 3 && r.inputDate &&
                       r.inputDate->date() < QDate(2016, 12, 31) && startsWith(r.code, "12") &&
                       (startsWith(r.singer1, "张") || startsWith(r.singer2, "张"));
            },
            kCandidateOrder},
        QueryCase{"anyLetterCaseInNamesAndKeywords",
                  " wHeRe s_count < 2 AnD s_ifused = 0 OrDeR bY s_code",
                  [](const Row& r) { return r.count && *r.count < 2 && !r.ifUsed; },
                  [](const Row& a, const Row& b) { return orderOf(a.code, b.code) < 0; }},
        QueryCase{"likeIgnoresCase", " where S_Code like 'AB%'",
                  [](const Row& r) { return startsWith(r.code, "ab"); }},
        QueryCase{"likePercentMatchesPercentInData", " where S_NAME like '100%'",
                  [](const Row& r) { return startsWith(r.name, "100"); }},
        QueryCase{"likeUnderscoreMatchesOneCharacter", " where S_NAME like 'a_b'",
                  [](const Row& r) {
                      return r.name && r.name->size() == 3 &&
                             r.name->startsWith(u'a', Qt::CaseInsensitive) &&
                             r.name->endsWith(u'b', Qt::CaseInsensitive);
                  }},
        QueryCase{"likeUnderscoreTakesAChineseCharacter", " where S_NAME like '_的歌'",
                  [](const Row& r) {
                      return r.name && r.name->size() == 3 &&
                             r.name->endsWith(QStringLiteral("的歌"));
                  }},
        QueryCase{"notLike", " where S_Code not like '1%'",
                  [](const Row& r) { return r.code && !startsWith(r.code, "1"); }},
        QueryCase{"quoteInLiteral", " where S_NAME = 'O''Neil' or S_Singer1 like '%O''N%'",
                  [](const Row& r) {
                      return (r.name && *r.name == QStringLiteral("O'Neil")) ||
                             (r.singer1 &&
                              r.singer1->contains(QStringLiteral("O'N"), Qt::CaseInsensitive));
                  }},
        QueryCase{"equalityIgnoresCase", " where S_Code = 'AB120' or S_Singer1 = 'SINGER'",
                  [](const Row& r) {
                      return (r.code &&
                              r.code->compare(QStringLiteral("ab120"), Qt::CaseInsensitive) == 0) ||
                             (r.singer1 && r.singer1->compare(QStringLiteral("singer"),
                                                              Qt::CaseInsensitive) == 0);
                  }},
        QueryCase{"trailingBlankIsPartOfTheCode", " where S_Code = '13002 '",
                  [](const Row& r) { return r.code == QStringLiteral("13002 "); }},
        QueryCase{"isNull", " where S_COUNT is null or S_INPUTDATE IS NULL",
                  [](const Row& r) { return !r.count || !r.inputDate; }},
        QueryCase{"isNotNullTellsEmptyFromNull", " where S_Singer2 is not null and S_Singer2 = ''",
                  [](const Row& r) { return r.singer2 && r.singer2->isEmpty(); }},
        QueryCase{"comparisonWithNullIsNeverTrue", " where S_COUNT <> 5 or S_COUNT = null",
                  [](const Row& r) { return r.count && *r.count != 5; }},
        QueryCase{"notOfNullIsNotTrue", " where not (S_COUNT < 3)",
                  [](const Row& r) { return r.count && !(*r.count < 3); }},
        QueryCase{
            "dateWithoutTime", " where S_INPUTDATE < #2015-01-01#",
            [](const Row& r) { return r.inputDate && r.inputDate->date() < QDate(2015, 1, 1); }},
        QueryCase{"dateWithTime",
                  " where S_INPUTDATE >= #2014-12-31 23:59:59# and S_INPUTDATE <= #2015-01-01#",
                  [](const Row& r) {
                      return r.inputDate &&
                             *r.inputDate >=
                                 QDateTime(QDate(2014, 12, 31), QTime(23, 59, 59), Qt::UTC) &&
                             *r.inputDate <= QDateTime(QDate(2015, 1, 1), QTime(0, 0), Qt::UTC);
                  }},
        QueryCase{"exactTimeOfDay", " where S_INPUTDATE = #2009-09-09 09:09:09#",
                  [](const Row& r) {
                      return r.inputDate == QDateTime(QDate(2009, 9, 9), QTime(9, 9, 9), Qt::UTC);
                  }},
        QueryCase{"andBindsTighterThanOr", " where S_COUNT = 0 OR S_COUNT = 1 AND S_IFUsed = 0",
                  [](const Row& r) {
                      return r.count && (*r.count == 0 || (*r.count == 1 && !r.ifUsed));
                  }},
        QueryCase{
            "parenthesesGroupOr", " where (S_COUNT = 0 OR S_COUNT = 1) AND S_IFUsed = 0",
            [](const Row& r) { return r.count && (*r.count == 0 || *r.count == 1) && !r.ifUsed; }},
        QueryCase{"notBindsTighterThanAnd", " where NOT S_COUNT = 0 AND S_IFUsed = -1",
                  [](const Row& r) { return r.count && *r.count != 0 && r.ifUsed; }},
        QueryCase{"negativeAndDecimalNumbers",
                  " where S_COUNT = -1 or S_COUNT > 98.5 and S_COUNT < 100.5",
                  [](const Row& r) {
                      return r.count && (*r.count == -1 || (*r.count > 98 && *r.count <= 100));
                  }},
        QueryCase{"bracketedAndQualifiedNames",
                  " where [S_COUNT] < 1 and Ok_Song.[S_Code] like '1%'",
                  [](const Row& r) { return r.count && *r.count < 1 && startsWith(r.code, "1"); }},
        QueryCase{"orderDescendingPutsNullLast",
                  " where S_COUNT < 5 or S_COUNT is null order by S_COUNT desc, S_Code",
                  [](const Row& r) { return !r.count || *r.count < 5; },
                  [](const Row& a, const Row& b) {
                      if (int c = orderOf(a.count, b.count)) {
                          return c > 0;
                      }
                      return orderOf(a.code, b.code) < 0;
                  }},
        QueryCase{"orderAscendingPutsNullFirstAndKeepsTies", " order by S_INPUTDATE", kAll,
                  [](const Row& a, const Row& b) { return orderOf(a.inputDate, b.inputDate) < 0; }},
        QueryCase{"orderTextIgnoresCase", " where S_COUNT = 0 order by S_Singer1 asc, S_Code desc",
                  [](const Row& r) { return r.count == 0; },
                  [](const Row& a, const Row& b) {
                      if (int c = orderOf(a.singer1, b.singer1)) {
                          return c < 0;
                      }
                      return orderOf(a.code, b.code) > 0;
                  }},
        // Song numbers share their first units, so only the whole text tells
        // them apart; past the second key the engine keeps keys apart from
        // its sort entries.
        QueryCase{"orderByFourKeysBothWays",
                  " order by S_IFUsed desc, S_CopyDest desc, S_NAME, S_Code desc", kAll,
                  [](const Row& a, const Row& b) {
                      if (a.ifUsed != b.ifUsed) {
                          return !a.ifUsed;  // Yes is -1: descending puts No first
                      }
                      if (int c = orderOf(a.copyDest, b.copyDest)) {
                          return c > 0;
                      }
                      if (int c = orderOf(a.name, b.name)) {
                          return c < 0;
                      }
                      return orderOf(a.code, b.code) > 0;
                  }}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---------------------------------------------------------- the query component

class QueryComponentTest : public testing::Test {
protected:
    void SetUp() override {
        m_connection.setConnectionString(QStringLiteral("Data Source=") +
                                         fixturePath(QStringLiteral("songs-edge.mdb")));
        m_connection.open();
        m_query.setConnection(&m_connection);
    }
    Connection m_connection;
    Query m_query;
};

TEST_F(QueryComponentTest, ColumnsAreSpelledAsTheTableSpellsThem) {
    m_query.setSql(QStringLiteral("select s_count, S_CODE from ok_song"));
    m_query.open();
    EXPECT_EQ(m_query.columnNames(),
              (QStringList{QStringLiteral("S_COUNT"), QStringLiteral("S_Code")}));
    m_query.setSql(QStringLiteral("select * from OK_SONG"));
    m_query.open();
    EXPECT_EQ(m_query.columnNames(),
              (QStringList{"S_Code", "S_NAME", "S_Singer1", "S_Singer2", "S_INPUTCODE",
                           "S_CopyDest", "S_COUNT", "S_INPUTDATE", "S_IFUsed"}));
}

TEST_F(QueryComponentTest, ValuesAreTypedForTheCommandLine) {
    m_query.setSql(QStringLiteral("select * from Ok_Song where S_Code = '12001'"));
    m_query.open();
    ASSERT_EQ(m_query.recordCount(), 1);
    EXPECT_EQ(std::get<QString>(m_query.value(QStringLiteral("s_name"))), QStringLiteral("O'Neil"));
    EXPECT_EQ(std::get<qint64>(m_query.value(QStringLiteral("S_COUNT"))), 1);
    EXPECT_EQ(std::get<QDateTime>(m_query.value(QStringLiteral("S_INPUTDATE"))),
              QDateTime(QDate(2014, 12, 31), QTime(23, 59, 59), Qt::UTC));
    EXPECT_EQ(std::get<bool>(m_query.value(QStringLiteral("S_IFUsed"))), true);
    EXPECT_EQ(std::get<QString>(m_query.value(QStringLiteral("S_Singer2"))), QString());
    EXPECT_EQ(m_query.fieldText(QStringLiteral("S_IFUsed")), QStringLiteral("True"));
    m_query.next();
    EXPECT_TRUE(m_query.atEnd());
    EXPECT_THROW(m_query.value(QStringLiteral("S_Code")), DatabaseError);
}

TEST_F(QueryComponentTest, NullReadsAsEmptyText) {
    m_query.setSql(
        QStringLiteral("select S_NAME, S_COUNT, S_INPUTDATE from Ok_Song where S_Code = '13004' or "
                       "S_Code = '13000' or S_Code = '13001'"));
    m_query.open();
    ASSERT_EQ(m_query.recordCount(), 3);
    EXPECT_EQ(m_query.fieldText(QStringLiteral("S_COUNT")), QString());  // 13000
    m_query.next();
    EXPECT_EQ(m_query.fieldText(QStringLiteral("S_INPUTDATE")), QString());  // 13001
    m_query.next();
    EXPECT_TRUE(vaskord::data::isNull(m_query.value(QStringLiteral("S_NAME"))));  // 13004
}

struct DatabaseErrorCase {
    const char* name;
    const char* sql;
    const char* fragment;
};

class QueryErrorTest : public QueryComponentTest,
                       public testing::WithParamInterface<DatabaseErrorCase> {};

TEST_P(QueryErrorTest, RaisesAMessageNamingTheCause) {
    m_query.setSql(QString::fromUtf8(GetParam().sql));
    try {
        m_query.open();
        FAIL() << "ran " << GetParam().sql;
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(
            QString::fromUtf8(error.what()).contains(QString::fromUtf8(GetParam().fragment)))
            << error.what();
    }
    EXPECT_FALSE(m_query.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Refused, QueryErrorTest,
    testing::Values(
        DatabaseErrorCase{"unknownTable", "select * from 歌曲表", "找不到表 '歌曲表'"},
        DatabaseErrorCase{"unknownSelectedColumn", "select S_Code, S_Song from Ok_Song", "S_Song"},
        DatabaseErrorCase{"unknownColumnInCondition", "select * from Ok_Song where 点播 < 3",
                          "找不到列 '点播'"},
        DatabaseErrorCase{"unknownOrderColumn", "select * from Ok_Song order by S_Nothing",
                          "S_Nothing"},
        DatabaseErrorCase{"textAgainstNumber", "select * from Ok_Song where S_Code < 3",
                          "数据类型不匹配"},
        DatabaseErrorCase{"numberAgainstText", "select * from Ok_Song where S_COUNT = '3'",
                          "数据类型不匹配"},
        DatabaseErrorCase{"likeOnADate", "select * from Ok_Song where S_INPUTDATE like '2%'",
                          "数据类型不匹配"},
        DatabaseErrorCase{"syntax", "select * from Ok_Song where", "在 SQL 文本末尾"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(QueryComponentTest, AnUnselectedColumnCannotBeRead) {
    m_query.setSql(QStringLiteral("select S_Code from Ok_Song"));
    m_query.open();
    EXPECT_THROW(m_query.fieldText(QStringLiteral("S_NAME")), DatabaseError);
}

// ---------------------------------------------------------- deep conditions

// Conditions as a script may generate them, thousands of levels or terms
// deep. Nesting that would take the parser and evaluator down with the stack
// is refused at the first parenthesis too many; what can be read flat gives
// the answer of its plain form.
struct DeepConditionCase {
    const char* name;
    std::function<QString()> condition;
    const char* sameRowsAs;  // nullptr: refused
};

QString repeated(const char* text, int times) {
    return QString::fromUtf8(text).repeated(times);
}

class DeepConditionTest : public QueryComponentTest,
                          public testing::WithParamInterface<DeepConditionCase> {};

TEST_P(DeepConditionTest, IsRefusedWithItsPlaceOrGivesThePlainAnswer) {
    const QString select = QStringLiteral("select * from Ok_Song where ");
    const QString sql = select + GetParam().condition();
    if (GetParam().sameRowsAs != nullptr) {
        const QStringList plain =
            run(m_connection, select + QString::fromUtf8(GetParam().sameRowsAs));
        ASSERT_FALSE(plain.isEmpty());
        EXPECT_EQ(run(m_connection, sql), plain);
        return;
    }
    qsizetype tooDeep = -1;
    for (int i = 0; i <= vaskord::data::kMaxParenDepth; ++i) {
        tooDeep = sql.indexOf(u'(', tooDeep + 1);
    }
    ASSERT_GE(tooDeep, 0);
    m_query.setSql(sql);
    try {
        m_query.open();
        FAIL() << "ran " << GetParam().name;
    } catch (const DatabaseError& error) {
        const QString wanted =
            QStringLiteral("SQL 语法错误:在第 %1 个字符 '(' 附近,括号嵌套超过 %2 层。")
                .arg(tooDeep + 1)
                .arg(vaskord::data::kMaxParenDepth);
        EXPECT_EQ(QString::fromUtf8(error.what()), wanted);
    }
    EXPECT_FALSE(m_query.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Generated, DeepConditionTest,
    testing::Values(
        DeepConditionCase{"nestedParentheses",
                          [] {
                              return repeated("(", 20000) + QStringLiteral("S_COUNT < 3") +
                                     repeated(")", 20000);
                          },
                          nullptr},
        DeepConditionCase{"unclosedParentheses", [] { return repeated("(", 20000); }, nullptr},
        DeepConditionCase{"notAroundEachLevel",
                          [] {
                              return repeated("not (", 20000) + QStringLiteral("S_COUNT < 3") +
                                     repeated(")", 20000);
                          },
                          nullptr},
        DeepConditionCase{"andInsideEachLevel",
                          [] {
                              return repeated("S_COUNT < 3 and (", 20000) +
                                     QStringLiteral("S_COUNT < 3") + repeated(")", 20000);
                          },
                          nullptr},
        DeepConditionCase{"parenthesesAtTheLimit",
                          [] {
                              return repeated("(", vaskord::data::kMaxParenDepth) +
                                     QStringLiteral("S_COUNT < 3") +
                                     repeated(")", vaskord::data::kMaxParenDepth);
                          },
                          "S_COUNT < 3"},
        DeepConditionCase{"evenRunOfNot",
                          [] { return repeated("not ", 20000) + QStringLiteral("S_COUNT < 3"); },
                          "S_COUNT < 3"},
        DeepConditionCase{"oddRunOfNot",
                          [] { return repeated("NOT ", 20001) + QStringLiteral("S_COUNT < 3"); },
                          "not S_COUNT < 3"},
        DeepConditionCase{
            "longAndChain",
            [] { return repeated("S_COUNT < 5 and ", 20000) + QStringLiteral("S_COUNT < 3"); },
            "S_COUNT < 3"},
        DeepConditionCase{
            "longOrChainDecidedByItsLastTerm",
            [] { return repeated("S_Code = '无' or ", 20000) + QStringLiteral("S_COUNT < 3"); },
            "S_COUNT < 3"},
        DeepConditionCase{"orOfAndsKeepsPrecedence",
                          [] {
                              return repeated("S_COUNT = 0 and S_IFUsed = 0 or ", 5000) +
                                     QStringLiteral("S_COUNT is null and S_IFUsed = 0");
                          },
                          "(S_COUNT = 0 or S_COUNT is null) and S_IFUsed = 0"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The demo library has an AutoNumber first and a memo last, and 3,000 rows.
TEST(DemoLibraryTest, ReadsEveryRowOfTheTwinIncludingMemos) {
    Connection connection;
    connection.setConnectionString(QStringLiteral("Data Source=") +
                                   fixturePath(QStringLiteral("songs-demo.mdb")));
    connection.open();
    const std::vector<Row> rows = readSongTsv(fixturePath(QStringLiteral("songs-demo.tsv")));
    QStringList wanted;
    for (const Row& row : rows) {
        wanted << row.signature();
    }
    EXPECT_EQ(run(connection, QString::fromUtf8(kSelect)), wanted);

    Query memo;
    memo.setConnection(&connection);
    memo.setSql(QStringLiteral(
        "select S_Code, S_Memo from Ok_Song where S_Memo like '%' order by S_ID desc"));
    memo.open();
    EXPECT_GT(memo.recordCount(), 0);
    EXPECT_FALSE(memo.fieldText(QStringLiteral("S_Memo")).isEmpty());
}

}  // namespace
