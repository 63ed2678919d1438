#include "data/query/SqlTokenizer.h"

#include <QString>
#include <array>

namespace vaskord::data {

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == u'_' || c.isHighSurrogate();
}
bool isWordPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c.isHighSurrogate() || c.isLowSurrogate();
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

struct Keyword {
    const char16_t* text;
    TokenKind kind;
};

constexpr std::array kKeywords{
    Keyword{u"SELECT", TokenKind::Select}, Keyword{u"FROM", TokenKind::From},
    Keyword{u"WHERE", TokenKind::Where},   Keyword{u"ORDER", TokenKind::Order},
    Keyword{u"BY", TokenKind::By},         Keyword{u"ASC", TokenKind::Asc},
    Keyword{u"DESC", TokenKind::Desc},     Keyword{u"AND", TokenKind::And},
    Keyword{u"OR", TokenKind::Or},         Keyword{u"NOT", TokenKind::Not},
    Keyword{u"LIKE", TokenKind::Like},     Keyword{u"IS", TokenKind::Is},
    Keyword{u"NULL", TokenKind::Null},
};

}  // namespace

Token SqlTokenizer::next() {
    while (m_pos < m_sql.size() && m_sql[m_pos].isSpace()) {
        ++m_pos;
    }
    const qsizetype start = m_pos;
    if (m_pos >= m_sql.size()) {
        return {TokenKind::End, start, 0};
    }
    const QChar c = m_sql[m_pos++];
    if (isWordStart(c)) {
        return scanWord(start);
    }
    if (isDigit(c) || (c == u'.' && m_pos < m_sql.size() && isDigit(m_sql[m_pos]))) {
        return scanNumber(start);
    }
    switch (c.unicode()) {
        case u'(':
            return make(TokenKind::LeftParen, start);
        case u')':
            return make(TokenKind::RightParen, start);
        case u',':
            return make(TokenKind::Comma, start);
        case u'*':
            return make(TokenKind::Star, start);
        case u'.':
            return make(TokenKind::Dot, start);
        case u';':
            return make(TokenKind::Semicolon, start);
        case u'-':
            return make(TokenKind::Minus, start);
        case u'=':
            return make(TokenKind::Equal, start);
        case u'<':
            if (m_pos < m_sql.size() && m_sql[m_pos] == u'>') {
                ++m_pos;
                return make(TokenKind::NotEqual, start);
            }
            if (m_pos < m_sql.size() && m_sql[m_pos] == u'=') {
                ++m_pos;
                return make(TokenKind::LessEqual, start);
            }
            return make(TokenKind::Less, start);
        case u'>':
            if (m_pos < m_sql.size() && m_sql[m_pos] == u'=') {
                ++m_pos;
                return make(TokenKind::GreaterEqual, start);
            }
            return make(TokenKind::Greater, start);
        case u'\'':
            return scanDelimited(TokenKind::String, start, u'\'', true);
        case u'"':
            return scanDelimited(TokenKind::String, start, u'"', true);
        case u'[':
            return scanDelimited(TokenKind::BracketedName, start, u']', false);
        case u'#':
            return scanDelimited(TokenKind::Date, start, u'#', false);
        default:
            return make(TokenKind::Illegal, start);
    }
}

// Keywords are recognized only after the whole word is read, so a column
// named ORDERNO stays a name.
Token SqlTokenizer::scanWord(qsizetype start) {
    while (m_pos < m_sql.size() && isWordPart(m_sql[m_pos])) {
        ++m_pos;
    }
    const QStringView word = m_sql.sliced(start, m_pos - start);
    for (const Keyword& keyword : kKeywords) {
        if (word.compare(QStringView(keyword.text), Qt::CaseInsensitive) == 0) {
            return make(keyword.kind, start);
        }
    }
    return make(TokenKind::Identifier, start);
}

Token SqlTokenizer::scanNumber(qsizetype start) {
    while (m_pos < m_sql.size() && isDigit(m_sql[m_pos])) {
        ++m_pos;
    }
    if (m_pos + 1 < m_sql.size() && m_sql[m_pos] == u'.' && isDigit(m_sql[m_pos + 1])) {
        ++m_pos;
        while (m_pos < m_sql.size() && isDigit(m_sql[m_pos])) {
            ++m_pos;
        }
    }
    return make(TokenKind::Number, start);
}

// Reads up to the closing character. With doubled escapes, two closing
// characters in a row stand for one inside the text. Left open, the rest of
// the text is one Illegal token.
Token SqlTokenizer::scanDelimited(TokenKind kind, qsizetype start, QChar close,
                                  bool doubledEscapes) {
    while (m_pos < m_sql.size()) {
        if (m_sql[m_pos] == close) {
            if (doubledEscapes && m_pos + 1 < m_sql.size() && m_sql[m_pos + 1] == close) {
                m_pos += 2;
                continue;
            }
            ++m_pos;
            return make(kind, start);
        }
        ++m_pos;
    }
    return make(TokenKind::Illegal, start);
}

QString unquoteString(QStringView token) {
    if (token.size() < 2) {
        return {};
    }
    const QChar quote = token.front();
    QString text;
    text.reserve(token.size() - 2);
    const QStringView inner = token.sliced(1, token.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        text.append(inner[i]);
        if (inner[i] == quote && i + 1 < inner.size() && inner[i + 1] == quote) {
            ++i;
        }
    }
    return text;
}

}  // namespace vaskord::data
