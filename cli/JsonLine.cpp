#include "cli/JsonLine.h"

#include <charconv>
#include <cmath>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace vaskord::cli {

namespace {

void appendString(QByteArray& out, const QString& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xf];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void appendDouble(QByteArray& out, double number) {
    if (!std::isfinite(number)) {
        out += "null";
        return;
    }
    // The shortest text that reads back as the same double.
    char buffer[32];
    const auto result = std::to_chars(std::begin(buffer), std::end(buffer), number);
    out.append(buffer, result.ptr - buffer);
}

void appendValue(QByteArray& out, const data::Value& value) {
    std::visit(
        [&out](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                out += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, qint64>) {
                out += QByteArray::number(v);
            } else if constexpr (std::is_same_v<T, double>) {
                appendDouble(out, v);
            } else if constexpr (std::is_same_v<T, QString>) {
                appendString(out, v);
            } else if (v.isValid()) {
                appendString(out, v.toString(u"yyyy-MM-dd'T'HH:mm:ss"_s));
            } else {
                out += "null";
            }
        },
        value);
}

}  // namespace

QByteArray jsonLine(const QList<JsonField>& fields) {
    QByteArray out = "{";
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        appendString(out, fields[i].first);
        out += ':';
        appendValue(out, fields[i].second);
    }
    out += "}\n";
    return out;
}

}  // namespace vaskord::cli
