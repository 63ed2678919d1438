#include <gtest/gtest.h>

#include <QString>
#include <string>
#include <vector>

#include "data/Connection.h"
#include "data/query/Like.h"
#include "data/query/SqlParser.h"
#include "data/query/SqlTokenizer.h"
#include "tests/CaseName.h"

using namespace vaskord::data;

namespace {

// ---------------------------------------------------------- tokenizer

std::vector<TokenKind> kinds(const QString& sql) {
    SqlTokenizer tokenizer(sql);
    std::vector<TokenKind> out;
    for (;;) {
        const Token token = tokenizer.next();
        out.push_back(token.kind);
        if (token.kind == TokenKind::End) {
            return out;
        }
    }
}

TEST(SqlTokenizerTest, BadCharactersAndOpenQuotesBecomeIllegalTokensWithoutStopping) {
    using K = TokenKind;
    EXPECT_EQ(kinds(QStringLiteral("a ? b")),
              (std::vector{K::Identifier, K::Illegal, K::Identifier, K::End}));
    EXPECT_EQ(kinds(QStringLiteral("x = 'it''s")),
              (std::vector{K::Identifier, K::Equal, K::Illegal, K::End}));
    EXPECT_EQ(kinds(QStringLiteral("[open")), (std::vector{K::Illegal, K::End}));
    EXPECT_EQ(kinds(QStringLiteral("#2015-01-01")), (std::vector{K::Illegal, K::End}));
}

TEST(SqlTokenizerTest, KeywordsAreWholeWordsInAnyCase) {
    using K = TokenKind;
    EXPECT_EQ(kinds(QStringLiteral("SeLeCt ORDERNO,歌名 FrOm t order BY x DESC")),
              (std::vector{K::Select, K::Identifier, K::Comma, K::Identifier, K::From,
                           K::Identifier, K::Order, K::By, K::Identifier, K::Desc, K::End}));
    EXPECT_EQ(kinds(QStringLiteral("a<=b<>c>=d<e>f")),
              (std::vector{K::Identifier, K::LessEqual, K::Identifier, K::NotEqual, K::Identifier,
                           K::GreaterEqual, K::Identifier, K::Less, K::Identifier, K::Greater,
                           K::Identifier, K::End}));
}

TEST(SqlTokenizerTest, StringTokensUnquoteDoubledQuotes) {
    EXPECT_EQ(unquoteString(u"'O''Neil%'"), QStringLiteral("O'Neil%"));
    EXPECT_EQ(unquoteString(u"''''"), QStringLiteral("'"));
    EXPECT_EQ(unquoteString(u"'张'"), QStringLiteral("张"));
}

// ---------------------------------------------------------- parser

TEST(SqlParserTest, NotBindsTighterThanAndWhichBindsTighterThanOr) {
    SqlParser parser(u"select * from t where not a = 1 and b = 2 or c = 3 and d = 4");
    const SqlSelect select = parser.parseSelect();
    using K = SqlCondition::Kind;
    const SqlCondition& top = *select.where;
    ASSERT_EQ(top.kind, K::Or);
    ASSERT_EQ(top.left->kind, K::And);
    EXPECT_EQ(top.left->left->kind, K::Not);
    EXPECT_EQ(top.left->left->left->lhs.column.text, QStringLiteral("a"));
    EXPECT_EQ(top.left->right->lhs.column.text, QStringLiteral("b"));
    ASSERT_EQ(top.right->kind, K::And);
    EXPECT_EQ(top.right->right->lhs.column.text, QStringLiteral("d"));
}

TEST(SqlParserTest, ReadsLiteralsOfEveryKind) {
    SqlParser parser(
        u"select [a b], t.c from [my table] where x = -12 or x = 2.5 or x = 'q''t' or x = "
        u"#2015-01-02 03:04:05# or x is not null or x not like '%a_' order by c desc, [a b];");
    const SqlSelect select = parser.parseSelect();
    EXPECT_EQ(select.columns[0].text, QStringLiteral("a b"));
    EXPECT_EQ(select.columns[1].text, QStringLiteral("c"));
    EXPECT_EQ(select.table.text, QStringLiteral("my table"));
    std::vector<const SqlCondition*> leaves;
    std::function<void(const SqlCondition&)> collect = [&](const SqlCondition& c) {
        if (c.kind == SqlCondition::Kind::Or) {
            collect(*c.left);
            collect(*c.right);
        } else {
            leaves.push_back(&c);
        }
    };
    collect(*select.where);
    ASSERT_EQ(leaves.size(), 6u);
    EXPECT_EQ(std::get<qint64>(leaves[0]->rhs.literal), -12);
    EXPECT_DOUBLE_EQ(std::get<double>(leaves[1]->rhs.literal), 2.5);
    EXPECT_EQ(std::get<QString>(leaves[2]->rhs.literal), QStringLiteral("q't"));
    EXPECT_EQ(std::get<QDateTime>(leaves[3]->rhs.literal),
              QDateTime(QDate(2015, 1, 2), QTime(3, 4, 5), Qt::UTC));
    EXPECT_TRUE(leaves[4]->negated);
    EXPECT_EQ(leaves[4]->kind, SqlCondition::Kind::IsNull);
    EXPECT_TRUE(leaves[5]->negated);
    EXPECT_EQ(leaves[5]->kind, SqlCondition::Kind::Like);
    ASSERT_EQ(select.orderBy.size(), 2u);
    EXPECT_TRUE(select.orderBy[0].descending);
    EXPECT_FALSE(select.orderBy[1].descending);
}

struct SyntaxCase {
    const char* name;
    const char* sql;
    const char* token;  // where the error is; empty: at the end
};

class SyntaxErrorTest : public testing::TestWithParam<SyntaxCase> {};

// The message names the 1-based position and the token the parser stopped
// at, or the end of the text.
TEST_P(SyntaxErrorTest, NamesWhereAndWhat) {
    const QString sql = QString::fromUtf8(GetParam().sql);
    const QString token = QString::fromUtf8(GetParam().token);
    const QString where =
        token.isEmpty()
            ? QStringLiteral("在 SQL 文本末尾")
            : QStringLiteral("在第 %1 个字符 '%2' 附近").arg(sql.lastIndexOf(token) + 1).arg(token);
    try {
        SqlParser(sql).parseSelect();
        FAIL() << "parsed " << GetParam().sql;
    } catch (const DatabaseError& error) {
        const QString message = QString::fromUtf8(error.what());
        EXPECT_TRUE(message.startsWith(QStringLiteral("SQL 语法错误"))) << error.what();
        EXPECT_TRUE(message.contains(where)) << error.what() << "\nwanted: " << where.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SyntaxErrorTest,
    testing::Values(SyntaxCase{"misspelledSelect", "selec * from Ok_Song", "selec"},
                    SyntaxCase{"missingFrom", "select * Ok_Song", "Ok_Song"},
                    SyntaxCase{"emptyText", "   ", ""},
                    SyntaxCase{"conditionCutShort", "select * from Ok_Song where S_COUNT <", ""},
                    SyntaxCase{"unknownOperator", "select * from Ok_Song where S_COUNT ? 3", "?"},
                    SyntaxCase{"openQuote", "select * from Ok_Song where S_NAME = 'abc", "'abc"},
                    SyntaxCase{"orderWithoutBy", "select * from Ok_Song order S_Code", "S_Code"},
                    SyntaxCase{"badDate", "select * from t where d < #2015-13-01#", "#2015-13-01#"},
                    SyntaxCase{"likeWithoutPattern", "select * from t where a like b", "b"},
                    SyntaxCase{"unbalancedParenthesis", "select * from t where (a = 1", ""},
                    SyntaxCase{"trailingWords", "select * from t where a = 1 b", "b"},
                    SyntaxCase{"chineseComma", "select a,b from t where 名称 = '歌'，", "，"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---------------------------------------------------------- LIKE

struct LikeCase {
    const char* name;
    const char16_t* pattern;
    const char16_t* text;
    bool matches;
};

class LikeTest : public testing::TestWithParam<LikeCase> {};

TEST_P(LikeTest, MatchesAsAccessDoes) {
    const LikePattern pattern(GetParam().pattern);
    EXPECT_EQ(pattern.matches(foldCase(GetParam().text)), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LikeTest,
    testing::Values(LikeCase{"prefix", u"12%", u"12003", true},
                    LikeCase{"prefixMisses", u"12%", u"13002", false},
                    LikeCase{"percentMatchesNothing", u"12%", u"12", true},
                    LikeCase{"ignoresCase", u"ab%", u"AB121", true},
                    LikeCase{"ignoresCaseBeyondAscii", u"ÄÖ%", u"äöü", true},
                    LikeCase{"underscoreIsOneCharacter", u"a_b", u"a_b", true},
                    LikeCase{"underscoreNeedsOne", u"a_b", u"ab", false},
                    LikeCase{"underscoreTakesAChineseCharacter", u"_的歌", u"张的歌", true},
                    LikeCase{"underscoreTakesASurrogatePair", u"_x", u"\U0001F3A4x", true},
                    LikeCase{"percentInDataIsMatchedByWildcard", u"100%", u"100%情歌", true},
                    LikeCase{"quoteInData", u"O'Neil%", u"o'neil", true},
                    LikeCase{"innerPercent", u"%代表%", u"月亮代表我的心", true},
                    LikeCase{"suffix", u"%心", u"月亮代表我的心", true},
                    LikeCase{"suffixMisses", u"%心", u"心月", false},
                    LikeCase{"noWildcardIsEquality", u"singer", u"Singer", true},
                    LikeCase{"noWildcardLonger", u"singer", u"singers", false},
                    LikeCase{"bracketIsLiteral", u"[a]%", u"[a]b", true},
                    LikeCase{"emptyPatternMatchesEmpty", u"", u"", true},
                    LikeCase{"emptyPatternMissesText", u"", u"x", false},
                    LikeCase{"backtracking", u"%ab%abc", u"abababxabc", true},
                    LikeCase{"backtrackingMisses", u"%ab%abd", u"abababxabc", false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A pattern that sends naive backtracking into exponential time ends at once.
TEST(LikeBoundTest, ManyPercentSignsOverALongTextStayBounded) {
    std::u16string pattern;
    for (int i = 0; i < 40; ++i) {
        pattern += u"%a";
    }
    pattern += u"%b";
    const std::u16string text(20000, u'a');
    EXPECT_FALSE(LikePattern(pattern).matches(text));
    EXPECT_TRUE(LikePattern(pattern).matches(text + u"b"));
}

TEST(LikeBoundTest, RefusesAnOverlongPattern) {
    EXPECT_THROW(LikePattern(std::u16string(LikePattern::kMaxLength + 1, u'a')), DatabaseError);
}

}  // namespace
