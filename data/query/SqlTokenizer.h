#pragma once

#include <QStringView>
#include <cstdint>

namespace vaskord::data {

enum class TokenKind : std::uint8_t {
    // punctuation
    LeftParen,
    RightParen,
    Comma,
    Star,
    Dot,
    Semicolon,
    Minus,
    // comparison operators
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    // names and literals
    Identifier,
    BracketedName,  // [any text]: the brackets are part of the token
    Number,
    String,  // 'text' or "text", quotes included, doubled quotes inside
    Date,    // #...#, the signs included
    // keywords
    Select,
    From,
    Where,
    Order,
    By,
    Asc,
    Desc,
    And,
    Or,
    Not,
    Like,
    Is,
    Null,
    // end of text, and anything the scanner cannot make sense of
    End,
    Illegal,
};

// A token is a view into the SQL text: where it starts and how long it is.
struct Token {
    TokenKind kind = TokenKind::End;
    qsizetype start = 0;
    qsizetype length = 0;
};

// Splits an SQL text into tokens. Never fails: a character it does not know,
// or a quote, bracket or date sign left open, becomes an Illegal token that
// the parser reports with its position.
class SqlTokenizer {
public:
    explicit SqlTokenizer(QStringView sql) : m_sql(sql) {}
    Token next();

private:
    Token make(TokenKind kind, qsizetype start) const { return {kind, start, m_pos - start}; }
    Token scanWord(qsizetype start);
    Token scanNumber(qsizetype start);
    Token scanDelimited(TokenKind kind, qsizetype start, QChar close, bool doubledEscapes);

    QStringView m_sql;
    qsizetype m_pos = 0;
};

// The value of a String token: the quotes removed, doubled quotes made single.
QString unquoteString(QStringView token);

}  // namespace vaskord::data
