#include "data/query/Like.h"

#include <QChar>
#include <QString>

#include "data/Errors.h"

namespace vaskord::data {

namespace {

bool isHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The width of the character starting at text[i]: 2 for a whole surrogate pair.
std::size_t charWidth(std::u16string_view text, std::size_t i) {
    return (isHigh(text[i]) && i + 1 < text.size() && isLow(text[i + 1])) ? 2 : 1;
}

}  // namespace

void foldCaseInto(std::u16string_view text, std::u16string& out) {
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out[i] = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
        } else if (isHigh(c) || isLow(c)) {
            out[i] = c;
        } else {
            out[i] = QChar::toCaseFolded(c);
        }
    }
}

std::u16string foldCase(std::u16string_view text) {
    std::u16string out;
    foldCaseInto(text, out);
    return out;
}

LikePattern::LikePattern(std::u16string_view pattern) {
    if (pattern.size() > kMaxLength) {
        raise(QStringLiteral("LIKE 模式过长(超过 %1 个字符)。").arg(kMaxLength));
    }
    std::u16string folded = foldCase(pattern);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const char16_t c = folded[i];
        if (c == u'%') {
            if (m_pattern.empty() || m_pattern.back() != u'%') {
                m_pattern.push_back(c);
            }
            continue;
        }
        m_pattern.push_back(c);
        // `_` may stand for one unit; a literal pair needs both of its units.
        ++m_minimumUnits;
    }
}

bool LikePattern::matches(std::u16string_view text) const {
    if (text.size() < m_minimumUnits) {
        return false;
    }
    const std::u16string_view pattern(m_pattern);
    std::size_t p = 0;
    std::size_t t = 0;
    // Where the last % was seen, and the text position it is now stretched to.
    std::size_t starP = std::u16string_view::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'%') {
            starP = ++p;
            starT = t;
            if (p == pattern.size()) {
                return true;  // a trailing % takes the rest
            }
            continue;
        }
        if (p < pattern.size() && pattern[p] == u'_') {
            t += charWidth(text, t);
            ++p;
            continue;
        }
        if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
            continue;
        }
        if (starP == std::u16string_view::npos) {
            return false;
        }
        // Let the last % swallow one more character and retry after it.
        starT += charWidth(text, starT);
        p = starP;
        t = starT;
    }
    while (p < pattern.size() && pattern[p] == u'%') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace vaskord::data
