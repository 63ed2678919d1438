#pragma once

#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

#include "data/Value.h"
#include "data/query/SqlTokenizer.h"

namespace vaskord::data {

// A name as written (brackets removed) and where it stands in the SQL text,
// so that a later "no such column" can point at it.
struct SqlName {
    QString text;
    qsizetype position = 0;  // 0-based index into the SQL text
};

enum class CompareOp { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

// One side of a comparison: a column of the table or a literal value
// (qint64 or double for numbers, QString for text, QDateTime for #dates#,
// monostate for NULL).
struct SqlOperand {
    bool isColumn = false;
    SqlName column;
    Value literal;
    qsizetype position = 0;
};

struct SqlCondition {
    enum class Kind { And, Or, Not, Compare, Like, IsNull };
    Kind kind = Kind::Compare;
    CompareOp op = CompareOp::Equal;
    bool negated = false;                 // NOT LIKE, IS NOT NULL
    std::unique_ptr<SqlCondition> left;   // And, Or, Not
    std::unique_ptr<SqlCondition> right;  // And, Or
    SqlOperand lhs;                       // Compare, Like, IsNull
    SqlOperand rhs;                       // Compare, Like (the pattern)
};

struct SqlOrderKey {
    SqlName column;
    bool descending = false;
};

struct SqlSelect {
    bool allColumns = false;
    std::vector<SqlName> columns;
    SqlName table;
    std::unique_ptr<SqlCondition> where;
    std::vector<SqlOrderKey> orderBy;
};

// Parses one SELECT statement of the Access dialect:
//   SELECT * | name {, name} FROM table [WHERE condition]
//   [ORDER BY name [ASC|DESC] {, name [ASC|DESC]}] [;]
// Throws DatabaseError naming the position and the token where it stopped.
class SqlParser {
public:
    explicit SqlParser(QStringView sql);
    SqlSelect parseSelect();

private:
    // One level per binding strength, weakest first: OR, AND, NOT, then a
    // comparison or a parenthesized condition.
    std::unique_ptr<SqlCondition> parseOr();
    std::unique_ptr<SqlCondition> parseAnd();
    std::unique_ptr<SqlCondition> parseNot();
    std::unique_ptr<SqlCondition> parseComparison();
    SqlOperand parseOperand();
    SqlName parseName(const QString& expected);
    Value parseDate(const Token& token);

    void advance();
    bool match(TokenKind kind);
    void expect(TokenKind kind, const QString& expected);
    [[noreturn]] void failAt(const Token& token, const QString& expected) const;
    QStringView text(const Token& token) const { return m_sql.sliced(token.start, token.length); }

    QStringView m_sql;
    SqlTokenizer m_tokenizer;
    Token m_current;
    Token m_previous;
    int m_parenDepth = 0;
};

// How deeply parentheses may nest in a condition. Each level costs the parser
// and the evaluator stack; no hand-written condition comes near this.
inline constexpr int kMaxParenDepth = 100;

// "SQL 语法错误:" and where: the position (1-based) and the token, or "at the end".
QString syntaxErrorPlace(QStringView sql, const Token& token);
// The message for a syntax error at a token: position (1-based) and the token,
// or "at the end".
QString syntaxErrorMessage(QStringView sql, const Token& token, const QString& expected);

}  // namespace vaskord::data
