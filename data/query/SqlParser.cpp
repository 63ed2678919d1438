#include "data/query/SqlParser.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include "data/Errors.h"

namespace vaskord::data {

QString syntaxErrorMessage(QStringView sql, const Token& token, const QString& expected) {
    QString where;
    if (token.kind == TokenKind::End) {
        where = QStringLiteral("在 SQL 文本末尾");
    } else {
        QString shown = sql.sliced(token.start, token.length).toString();
        if (shown.size() > 30) {
            shown = shown.left(30) + QStringLiteral("...");
        }
        where = QStringLiteral("在第 %1 个字符 '%2' 附近").arg(token.start + 1).arg(shown);
    }
    QString message = QStringLiteral("SQL 语法错误:") + where;
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
        select.where = parseCondition(Precedence::Or);
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

// Precedence climbing: parse one operand at the given level, then keep
// folding in AND / OR operators that bind at least as tightly.
std::unique_ptr<SqlCondition> SqlParser::parseCondition(Precedence minimum) {
    std::unique_ptr<SqlCondition> left;
    if (match(TokenKind::Not)) {
        left = std::make_unique<SqlCondition>();
        left->kind = SqlCondition::Kind::Not;
        left->left = parseCondition(Precedence::Not);
    } else {
        left = parseComparison();
    }
    for (;;) {
        Precedence level;
        SqlCondition::Kind kind;
        if (m_current.kind == TokenKind::Or) {
            level = Precedence::Or;
            kind = SqlCondition::Kind::Or;
        } else if (m_current.kind == TokenKind::And) {
            level = Precedence::And;
            kind = SqlCondition::Kind::And;
        } else {
            break;
        }
        if (level < minimum) {
            break;
        }
        advance();
        auto node = std::make_unique<SqlCondition>();
        node->kind = kind;
        node->left = std::move(left);
        // Left-associative: the right side takes only tighter operators.
        node->right = parseCondition(static_cast<Precedence>(static_cast<int>(level) + 1));
        left = std::move(node);
    }
    return left;
}

std::unique_ptr<SqlCondition> SqlParser::parseComparison() {
    if (match(TokenKind::LeftParen)) {
        auto inner = parseCondition(Precedence::Or);
        expect(TokenKind::RightParen, QStringLiteral(" )"));
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
