#include "data/query/SqlParser.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include "data/Errors.h"

namespace vaskord::data {

QString syntaxErrorPlace(QStringView sql, const Token& token) {
    if (token.kind == TokenKind::End) {
        return QStringLiteral("SQL 语法错误:在 SQL 文本末尾");
    }
    QString shown = sql.sliced(token.start, token.length).toString();
    if (shown.size() > 30) {
        shown = shown.left(30) + QStringLiteral("...");
    }
    return QStringLiteral("SQL 语法错误:在第 %1 个字符 '%2' 附近").arg(token.start + 1).arg(shown);
}

QString syntaxErrorMessage(QStringView sql, const Token& token, const QString& expected) {
    QString message = syntaxErrorPlace(sql, token);
    if (token.kind == TokenKind::Illegal) {
        message += QStringLiteral(",无法识别的符号或未结束的引号");
    } else if (!expected.isEmpty()) {
        message += QStringLiteral(",应为") + expected;
    }
    return message + QStringLiteral("。");
}

SqlParser::SqlParser(QStringView sql) : m_sql(sql), m_tokenizer(sql) {
    advance();
}

void SqlParser::advance() {
    m_previous = m_current;
    m_current = m_tokenizer.next();
}

bool SqlParser::match(TokenKind kind) {
    if (m_current.kind != kind) {
        return false;
    }
    advance();
    return true;
}

void SqlParser::expect(TokenKind kind, const QString& expected) {
    if (!match(kind)) {
        failAt(m_current, expected);
    }
}

void SqlParser::failAt(const Token& token, const QString& expected) const {
    raise(syntaxErrorMessage(m_sql, token, expected));
}

SqlSelect SqlParser::parseSelect() {
    SqlSelect select;
    expect(TokenKind::Select, QStringLiteral(" SELECT"));
    if (match(TokenKind::Star)) {
        select.allColumns = true;
    } else {
        do {
            select.columns.push_back(parseName(QStringLiteral("列名或 *")));
        } while (match(TokenKind::Comma));
    }
    expect(TokenKind::From, QStringLiteral(" FROM"));
    select.table = parseName(QStringLiteral("表名"));
    if (match(TokenKind::Where)) {
        select.where = parseOr();
    }
    if (match(TokenKind::Order)) {
        expect(TokenKind::By, QStringLiteral(" BY"));
        do {
            SqlOrderKey key;
            key.column = parseName(QStringLiteral("排序列名"));
            if (match(TokenKind::Desc)) {
                key.descending = true;
            } else {
                match(TokenKind::Asc);
            }
            select.orderBy.push_back(std::move(key));
        } while (match(TokenKind::Comma));
    }
    match(TokenKind::Semicolon);
    if (m_current.kind != TokenKind::End) {
        failAt(m_current, select.orderBy.empty() ? QStringLiteral(" WHERE、ORDER BY 或语句结尾")
                                                 : QStringLiteral("语句结尾"));
    }
    return select;
}

// A name, optionally qualified by the table ("Ok_Song.S_Code"); the qualifier
// is dropped because a query reads one table.
SqlName SqlParser::parseName(const QString& expected) {
    auto one = [&]() -> SqlName {
        const Token token = m_current;
        if (token.kind == TokenKind::Identifier) {
            advance();
            return {text(token).toString(), token.start};
        }
        if (token.kind == TokenKind::BracketedName && token.length > 2) {
            advance();
            return {text(token).sliced(1, token.length - 2).toString(), token.start};
        }
        failAt(token, expected);
    };
    SqlName name = one();
    if (match(TokenKind::Dot)) {
        name = one();
    }
    return name;
}

namespace {

using Terms = std::vector<std::unique_ptr<SqlCondition>>;

// A chain such as a AND b AND c becomes a balanced tree over its terms, in
// their order: AND and OR are associative (NULL included), so the result and
// the left-to-right evaluation are those of the chain, while the tree is only
// as deep as the logarithm of its length. A generated chain of thousands of
// terms then cannot exhaust the stack of whoever walks the tree.
std::unique_ptr<SqlCondition> joinBalanced(SqlCondition::Kind kind, Terms& terms, std::size_t from,
                                           std::size_t to) {
    if (to - from == 1) {
        return std::move(terms[from]);
    }
    const std::size_t middle = from + (to - from) / 2;
    auto node = std::make_unique<SqlCondition>();
    node->kind = kind;
    node->left = joinBalanced(kind, terms, from, middle);
    node->right = joinBalanced(kind, terms, middle, to);
    return node;
}

}  // namespace

std::unique_ptr<SqlCondition> SqlParser::parseOr() {
    Terms terms;
    do {
        terms.push_back(parseAnd());
    } while (match(TokenKind::Or));
    return joinBalanced(SqlCondition::Kind::Or, terms, 0, terms.size());
}

std::unique_ptr<SqlCondition> SqlParser::parseAnd() {
    Terms terms;
    do {
        terms.push_back(parseNot());
    } while (match(TokenKind::And));
    return joinBalanced(SqlCondition::Kind::And, terms, 0, terms.size());
}

// NOT NOT a is a, NULL included: a run of NOTs is counted, not nested.
std::unique_ptr<SqlCondition> SqlParser::parseNot() {
    bool negated = false;
    while (match(TokenKind::Not)) {
        negated = !negated;
    }
    std::unique_ptr<SqlCondition> operand = parseComparison();
    if (!negated) {
        return operand;
    }
    auto node = std::make_unique<SqlCondition>();
    node->kind = SqlCondition::Kind::Not;
    node->left = std::move(operand);
    return node;
}

std::unique_ptr<SqlCondition> SqlParser::parseComparison() {
    if (m_current.kind == TokenKind::LeftParen) {
        if (m_parenDepth == kMaxParenDepth) {
            raise(syntaxErrorPlace(m_sql, m_current) +
                  QStringLiteral(",括号嵌套超过 %1 层。").arg(kMaxParenDepth));
        }
        advance();
        ++m_parenDepth;
        auto inner = parseOr();
        expect(TokenKind::RightParen, QStringLiteral(" )"));
        --m_parenDepth;
        return inner;
    }
    auto node = std::make_unique<SqlCondition>();
    node->lhs = parseOperand();
    const Token op = m_current;
    switch (op.kind) {
        case TokenKind::Equal:
        case TokenKind::NotEqual:
        case TokenKind::Less:
        case TokenKind::LessEqual:
        case TokenKind::Greater:
        case TokenKind::GreaterEqual:
            advance();
            node->kind = SqlCondition::Kind::Compare;
            node->op = op.kind == TokenKind::Equal       ? CompareOp::Equal
                       : op.kind == TokenKind::NotEqual  ? CompareOp::NotEqual
                       : op.kind == TokenKind::Less      ? CompareOp::Less
                       : op.kind == TokenKind::LessEqual ? CompareOp::LessEqual
                       : op.kind == TokenKind::Greater   ? CompareOp::Greater
                                                         : CompareOp::GreaterEqual;
            node->rhs = parseOperand();
            return node;
        case TokenKind::Not:
        case TokenKind::Like:
            node->negated = match(TokenKind::Not);
            expect(TokenKind::Like, QStringLiteral(" LIKE"));
            node->kind = SqlCondition::Kind::Like;
            if (m_current.kind != TokenKind::String) {
                failAt(m_current, QStringLiteral("用引号括起的 LIKE 模式"));
            }
            node->rhs = parseOperand();
            return node;
        case TokenKind::Is:
            advance();
            node->kind = SqlCondition::Kind::IsNull;
            node->negated = match(TokenKind::Not);
            expect(TokenKind::Null, QStringLiteral(" NULL"));
            return node;
        default:
            failAt(op, QStringLiteral("比较运算符、LIKE 或 IS"));
    }
}

SqlOperand SqlParser::parseOperand() {
    SqlOperand operand;
    operand.position = m_current.start;
    const Token token = m_current;
    switch (token.kind) {
        case TokenKind::Identifier:
        case TokenKind::BracketedName:
            operand.isColumn = true;
            operand.column = parseName(QStringLiteral("列名"));
            return operand;
        case TokenKind::Minus:
        case TokenKind::Number: {
            const bool negative = match(TokenKind::Minus);
            const Token number = m_current;
            expect(TokenKind::Number, QStringLiteral("数字"));
            const QString digits = text(number).toString();
            bool ok = false;
            if (!digits.contains(u'.')) {
                const qint64 whole = digits.toLongLong(&ok);
                if (ok) {
                    operand.literal = negative ? -whole : whole;
                    return operand;
                }
            }
            const double value = digits.toDouble(&ok);
            operand.literal = negative ? -value : value;
            return operand;
        }
        case TokenKind::String:
            advance();
            operand.literal = unquoteString(text(token));
            return operand;
        case TokenKind::Date:
            advance();
            operand.literal = parseDate(token);
            return operand;
        case TokenKind::Null:
            advance();
            return operand;
        default:
            failAt(token, QStringLiteral("列名或常量"));
    }
}

// #yyyy-MM-dd# or #yyyy-MM-dd HH:mm:ss# (one-digit month, day and hour are
// accepted, as Access does). The value is a wall-clock time, kept in UTC so
// that no time zone can shift it.
Value SqlParser::parseDate(const Token& token) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?)?\s*$)"));
    const QString inner = text(token).sliced(1, token.length - 2).toString();
    const QRegularExpressionMatch m = pattern.match(inner);
    if (m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const QTime time = m.capturedLength(4) == 0
                               ? QTime(0, 0)
                               : QTime(m.captured(4).toInt(), m.captured(5).toInt(),
                                       m.capturedLength(6) ? m.captured(6).toInt() : 0);
        if (date.isValid() && time.isValid()) {
            return QDateTime(date, time, Qt::UTC);
        }
    }
    failAt(token, QStringLiteral("形如 #yyyy-MM-dd# 或 #yyyy-MM-dd HH:mm:ss# 的有效日期"));
}

}  // namespace vaskord::data
