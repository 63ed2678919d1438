#include "data/JsonText.h"

#include <charconv>
#include <cmath>
#include <type_traits>

#include "data/access/FieldValues.h"

namespace vaskord::data {

namespace {

// Bytes a JSON string needs at most per UTF-16 unit: "\u001f" is six.
constexpr std::size_t kMaxBytesPerUnit = 6;

char* writeEscaped(char* p, char16_t unit) {
    static constexpr char kHex[] = "0123456789abcdef";
    *p++ = '\\';
    switch (unit) {
        case u'"':
            *p++ = '"';
            break;
        case u'\\':
            *p++ = '\\';
            break;
        case u'\n':
            *p++ = 'n';
            break;
        case u'\r':
            *p++ = 'r';
            break;
        case u'\t':
            *p++ = 't';
            break;
        default:
            *p++ = 'u';
            *p++ = '0';
            *p++ = '0';
            *p++ = kHex[unit >> 4];
            *p++ = kHex[unit & 0xf];
    }
    return p;
}

// Appends `digits` decimal digits of `number`, zero-padded.
char* writeDigits(char* p, std::uint32_t number, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        p[i] = char('0' + number % 10);
        number /= 10;
    }
    return p + digits;
}

// Year, month and day of a count of days since 1970-01-01 in the proleptic
// Gregorian calendar, with a year 0 (H. Hinnant's civil_from_days).
void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = unsigned(z - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = std::int64_t(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

void appendJsonString(std::string& out, std::u16string_view text) {
    const std::size_t start = out.size();
    out.resize(start + 2 + kMaxBytesPerUnit * text.size());
    char* p = out.data() + start;
    *p++ = '"';
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            if (unit < 0x20 || unit == u'"' || unit == u'\\') {
                p = writeEscaped(p, unit);
            } else {
                *p++ = char(unit);
            }
        } else if (unit < 0x800) {
            *p++ = char(0xC0 | (unit >> 6));
            *p++ = char(0x80 | (unit & 0x3F));
        } else if (unit < 0xD800 || unit > 0xDFFF) {
            *p++ = char(0xE0 | (unit >> 12));
            *p++ = char(0x80 | ((unit >> 6) & 0x3F));
            *p++ = char(0x80 | (unit & 0x3F));
        } else if (unit < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            const char32_t code =
                0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
            *p++ = char(0xF0 | (code >> 18));
            *p++ = char(0x80 | ((code >> 12) & 0x3F));
            *p++ = char(0x80 | ((code >> 6) & 0x3F));
            *p++ = char(0x80 | (code & 0x3F));
        } else {
            *p++ = '?';
        }
    }
    *p++ = '"';
    out.resize(std::size_t(p - out.data()));
}

void appendJsonWhole(std::string& out, std::int64_t number) {
    char buffer[24];
    const auto result = std::to_chars(std::begin(buffer), std::end(buffer), number);
    out.append(buffer, result.ptr);
}

void appendJsonNumber(std::string& out, double number) {
    if (!std::isfinite(number)) {
        out += "null";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(std::begin(buffer), std::end(buffer), number);
    out.append(buffer, result.ptr);
}

bool appendJsonDate(std::string& out, double linear) {
    DateParts parts;
    if (!splitLinearDate(linear, parts)) {
        return false;
    }
    // Day 0 is 1899-12-30, 25569 days before 1970-01-01.
    std::int64_t year;
    unsigned month;
    unsigned day;
    civilFromDays(parts.days - 25569, year, month, day);
    // Qt counts no year 0: the year before 1 is -1.
    const std::int64_t shownYear = year <= 0 ? year - 1 : year;
    char buffer[40];
    char* p = buffer;
    *p++ = '"';
    if (shownYear < 0) {
        *p++ = '-';
    }
    const auto absYear = std::uint32_t(shownYear < 0 ? -shownYear : shownYear);
    p = absYear >= 10000 ? std::to_chars(p, std::end(buffer), absYear).ptr
                         : writeDigits(p, absYear, 4);
    *p++ = '-';
    p = writeDigits(p, month, 2);
    *p++ = '-';
    p = writeDigits(p, day, 2);
    *p++ = 'T';
    const auto seconds = std::uint32_t(parts.msecs / 1000);
    p = writeDigits(p, seconds / 3600, 2);
    *p++ = ':';
    p = writeDigits(p, seconds / 60 % 60, 2);
    *p++ = ':';
    p = writeDigits(p, seconds % 60, 2);
    *p++ = '"';
    out.append(buffer, p);
    return true;
}

void appendJsonValue(std::string& out, const Value& value) {
    std::visit(
        [&out](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                out += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, qint64>) {
                appendJsonWhole(out, v);
            } else if constexpr (std::is_same_v<T, double>) {
                appendJsonNumber(out, v);
            } else if constexpr (std::is_same_v<T, QString>) {
                appendJsonString(
                    out, {reinterpret_cast<const char16_t*>(v.utf16()), std::size_t(v.size())});
            } else if (v.isValid()) {
                const QByteArray text =
                    v.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")).toUtf8();
                out += '"';
                out.append(text.constData(), std::size_t(text.size()));
                out += '"';
            } else {
                out += "null";
            }
        },
        value);
}

}  // namespace vaskord::data
