// Field values: one decoding rule per stored type.
//
// Fixed-length fields are little-endian: Byte 1 byte, Integer 2, Long and
// the replication counter 4, Single and Double IEEE floats, Currency a 64-bit
// count of ten-thousandths, Date/Time a Double of days since 1899-12-30
// (before that, a negative day with a positive time fraction), GUID 16
// bytes, Decimal 17 bytes. Yes/No has no bytes: its value is its null-mask
// bit. Text is UCS-2 in Jet 4 (possibly compressed), the file's code page in
// Jet 3. Memo and OLE fields hold a 12-byte header (length and flags, the
// address of the first long-value row, 4 unused bytes), followed by the data
// itself when it is short enough to stay in the row.
#include "data/access/FieldValues.h"

#include <mdbtools.h>
#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "data/Errors.h"
#include "data/access/LittleEndian.h"

namespace vaskord::data {

namespace {

// Date/Time Extended is ASCII text: 19 digits of days since 0001-01-01, a
// colon, 12 digits of seconds and 7 of ten-millionths, then ":7" and a NUL.
constexpr std::uint32_t kExtendedDateSize = 19 + 1 + 12 + 7;
constexpr double kDaysFromYearOneTo1899 = 693593;  // 0001-01-01 to 1899-12-30

}  // namespace

// Bytes a fixed value of the type needs; a field shorter than that is damage.
std::uint32_t storedSize(int type) {
    switch (type) {
        case MDB_BYTE:
            return 1;
        case MDB_INT:
            return 2;
        case MDB_LONGINT:
        case MDB_FLOAT:
        case MDB_COMPLEX:
            return 4;
        case MDB_MONEY:
        case MDB_DOUBLE:
        case MDB_DATETIME:
        case kTypeBigInt:
            return 8;
        case MDB_REPID:
            return 16;
        case MDB_NUMERIC:
            return 17;
        case kTypeExtendedDate:
            return kExtendedDateSize;
        default:
            return 0;
    }
}

namespace {

// Decimal column: a sign byte, then a 128-bit magnitude as four little-endian
// 32-bit words, most significant word first.
double numericValue(const std::uint8_t* p, int scale) {
    double magnitude = 0;
    for (int word = 0; word < 4; ++word) {
        magnitude = magnitude * 4294967296.0 + u32(p + 1 + 4 * word);
    }
    const double value = magnitude / std::pow(10.0, std::clamp(scale, 0, 28));
    return (p[0] & 0x80) ? -value : value;
}

// A calculated Decimal result: total length (2 bytes), scale, a sign byte,
// then the magnitude as a 32-bit high part and a 64-bit low part. A result
// of 4 bytes is a Single.
double calculatedNumericValue(const std::uint8_t* p, std::uint32_t length) {
    if (length == 4) {
        return readRaw<float>(p);
    }
    if (length < 16) {
        return 0;
    }
    const double magnitude =
        u32(p + 4) * 18446744073709551616.0 + double(readRaw<std::uint64_t>(p + 8));
    const double value = magnitude / std::pow(10.0, std::min<int>(p[2], 28));
    return p[3] != 0 ? -value : value;
}

// Digits as a whole number; false for anything but digits.
bool digitsValue(const std::uint8_t* p, int count, double& out) {
    out = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9') {
            return false;
        }
        out = out * 10 + (p[i] - '0');
    }
    return true;
}

QString guidText(const std::uint8_t* p) {
    return QStringLiteral("{%1-%2-%3-%4-%5}")
        .arg(u32(p), 8, 16, QLatin1Char('0'))
        .arg(u16(p + 4), 4, 16, QLatin1Char('0'))
        .arg(u16(p + 6), 4, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p + 8), 2).toHex()))
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p + 10), 6).toHex()))
        .toUpper();
}

}  // namespace

// ---------------------------------------------------------------- values

// Jet 4 text is UCS-2; "compressed" text starts with FF FE and then holds one
// byte per character for Latin-1, switching to two-byte units and back at
// each 00 byte.
void Database::decodeTextInto(const std::uint8_t* data, std::size_t length,
                              std::u16string& out) const {
    out.clear();
    if (!m_jet3) {
        if (length >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
            out.reserve(length);
            bool compressed = true;
            std::size_t i = 2;
            while (i < length) {
                if (data[i] == 0) {
                    compressed = !compressed;
                    ++i;
                } else if (compressed) {
                    out.push_back(data[i++]);
                } else if (i + 1 < length) {
                    out.push_back(char16_t(data[i] | (data[i + 1] << 8)));
                    i += 2;
                } else {
                    break;
                }
            }
            return;
        }
        out.resize(length / 2);
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
        }
        return;
    }
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i) {
        ascii = data[i] < 0x80;
    }
    if (ascii || m_decoder->codePage == reinterpret_cast<iconv_t>(-1)) {
        out.assign(data, data + length);
        return;
    }
    // A byte never yields more than one UTF-16 unit (two for a four-byte
    // GB18030 sequence), so twice the input is room enough.
    std::string buffer(length * 2 + 4, '\0');
    iconv(m_decoder->codePage, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(data));
    std::size_t inLeft = length;
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    while (inLeft > 0) {
        if (iconv(m_decoder->codePage, &in, &inLeft, &outPtr, &outLeft) != std::size_t(-1)) {
            break;
        }
        if (errno == E2BIG || outLeft < 2) {
            break;
        }
        // An invalid or cut-off sequence: show a replacement character, go on.
        *outPtr++ = char(0xFD);
        *outPtr++ = char(0xFF);
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    const std::size_t units = std::size_t(outPtr - buffer.data()) / 2;
    out.resize(units);
    std::memcpy(out.data(), buffer.data(), units * 2);
}

QString Database::decodeText(const std::uint8_t* data, std::size_t length) const {
    // Kept from call to call: a list reads one text field after another, and
    // the QString is the only allocation it then needs.
    thread_local std::u16string text;
    decodeTextInto(data, length, text);
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

// A memo field holds 12 bytes: length and flags, the address of its first
// long-value row, and 4 unused bytes; short memos follow inline.
void Database::readMemoInto(const Column& column, FieldBytes field, std::u16string& out) const {
    out.clear();
    if (field.isNull()) {
        return;
    }
    if (field.length < 12) {
        raise(QStringLiteral("数据库文件已损坏:备注字段无法读取(%1)。").arg(m_path));
    }
    const std::size_t length = u32(field.data) & 0x3FFFFFFF;
    const std::uint8_t flags = field.data[3];
    std::string bytes;
    auto addressed = [&](std::uint32_t pageRow, RowLocation& location) {
        bool moved = false;
        if (!findRow(pageRow >> 8, int(pageRow & 0xFF), location, moved)) {
            damaged(pageRow >> 8);
        }
    };
    if (flags & 0x80) {
        bytes.assign(reinterpret_cast<const char*>(field.data) + 12,
                     std::min<std::size_t>(length, field.length - 12));
    } else if (flags & 0x40) {
        RowLocation location;
        addressed(u32(field.data + 4), location);
        bytes.assign(reinterpret_cast<const char*>(rowBytes(location)),
                     std::min<std::size_t>(length, location.length));
    } else {
        // A chain of rows, each starting with the address of the next, that
        // ends where the memo's length is reached. A chain that comes back
        // to a row, ends early or links on past that length is damage: left
        // alone it could be read round and round.
        std::uint32_t pageRow = u32(field.data + 4);
        std::unordered_set<std::uint32_t> visited;
        while (bytes.size() < length) {
            if (pageRow == 0 || !visited.insert(pageRow).second) {
                memoDamaged(column, pageRow >> 8);
            }
            RowLocation location;
            addressed(pageRow, location);
            if (location.length < 4) {
                memoDamaged(column, location.page);
            }
            const std::uint8_t* row = rowBytes(location);
            // The last row may hold more than the memo's length needs.
            bytes.append(reinterpret_cast<const char*>(row) + 4,
                         std::min<std::size_t>(location.length - 4, length - bytes.size()));
            pageRow = u32(row);
        }
        if (pageRow != 0) {
            memoDamaged(column, pageRow >> 8);
        }
    }
    if (column.calculated) {
        const FieldBytes inner = calculatedValue(
            {reinterpret_cast<const std::uint8_t*>(bytes.data()), std::uint32_t(bytes.size())});
        decodeTextInto(inner.data, inner.length, out);
        return;
    }
    decodeTextInto(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
}

void Database::memoDamaged(const Column& column, std::uint32_t page) const {
    raise(QStringLiteral("数据库文件已损坏:备注列 '%1' 的数据页链(第 %2 页)不完整或循环(%3)。")
              .arg(column.name)
              .arg(page)
              .arg(m_path));
}

FieldBytes calculatedValue(FieldBytes stored) {
    if (stored.isNull() || stored.length < 20) {
        return stored;
    }
    const std::uint32_t length = std::min(u32(stored.data + 16), stored.length - 20);
    if (length == 0) {
        return {};  // the expression gave no value
    }
    return {stored.data + 20, length};
}

double linearDate(double stored) {
    if (stored >= 0) {
        return stored;
    }
    const double day = std::trunc(stored);
    return day + (day - stored);
}

bool splitLinearDate(double linear, DateParts& parts) {
    // About ±8000 years around 1900; anything else is damage, not a date.
    if (!std::isfinite(linear) || std::fabs(linear) > 3.0e6) {
        return false;
    }
    const double days = std::floor(linear);
    parts.days = std::int64_t(days);
    parts.msecs = std::llround((linear - days) * 86400000.0);
    if (parts.msecs >= 86400000) {
        parts.days += 1;
        parts.msecs -= 86400000;
    }
    return true;
}

QDateTime dateFromLinear(double linear) {
    DateParts parts;
    if (!splitLinearDate(linear, parts)) {
        return {};
    }
    const QDate date = QDate(1899, 12, 30).addDays(parts.days);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(parts.msecs)), Qt::UTC);
}

double linearFromDate(const QDateTime& dateTime) {
    return double(QDate(1899, 12, 30).daysTo(dateTime.date())) +
           dateTime.time().msecsSinceStartOfDay() / 86400000.0;
}

bool isCalculatedYesNo(const Column& column, FieldBytes field) {
    return column.calculated && field.length == 1 && storedSize(column.type) > 1;
}

// A calculated result of 16 bytes is a Decimal whatever type the column
// records; a Decimal column may also hold a 4-byte Single.
bool isCalculatedDecimal(const Column& column, FieldBytes field) {
    return column.calculated && (column.type == MDB_NUMERIC || field.length == 16);
}

double dateNumber(const Column& column, FieldBytes field) {
    if (column.type == kTypeExtendedDate) {
        double days = 0;
        double seconds = 0;
        double fraction = 0;
        if (field.length < kExtendedDateSize || !digitsValue(field.data, 19, days) ||
            field.data[19] != ':' || !digitsValue(field.data + 20, 12, seconds) ||
            !digitsValue(field.data + 32, 7, fraction)) {
            raise(QStringLiteral("数据库文件已损坏:列 '%1' 的值无法读取。").arg(column.name));
        }
        return days - kDaysFromYearOneTo1899 + (seconds + fraction / 1e7) / 86400.0;
    }
    if (field.length < 8) {
        raise(QStringLiteral("数据库文件已损坏:列 '%1' 的值无法读取。").arg(column.name));
    }
    return linearDate(readRaw<double>(field.data));
}

double numberValue(const RowReader& row, const Column& column, FieldBytes field) {
    if (column.type == MDB_BOOL) {
        return row.boolValue(column) ? -1.0 : 0.0;
    }
    if (isCalculatedYesNo(column, field)) {
        return field.data[0] != 0 ? -1.0 : 0.0;
    }
    if (isCalculatedDecimal(column, field)) {
        return calculatedNumericValue(field.data, field.length);
    }
    if (field.length < storedSize(column.type)) {
        raise(QStringLiteral("数据库文件已损坏:列 '%1' 的值无法读取。").arg(column.name));
    }
    const std::uint8_t* p = field.data;
    switch (column.type) {
        case MDB_BYTE:
            return p[0];
        case MDB_INT:
            return readRaw<std::int16_t>(p);
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return readRaw<std::int32_t>(p);
        case MDB_MONEY:
            return double(readRaw<std::int64_t>(p)) / 10000.0;
        case MDB_FLOAT:
            return readRaw<float>(p);
        case MDB_DOUBLE:
            return readRaw<double>(p);
        case MDB_NUMERIC:
            return numericValue(p, column.scale);
        case kTypeBigInt:
            return double(readRaw<std::int64_t>(p));
        default:
            return 0;
    }
}

Value Database::value(const RowReader& row, const Column& column) const {
    if (column.type == MDB_BOOL) {
        return row.boolValue(column);
    }
    const FieldBytes field = row.field(column);
    if (field.isNull()) {
        return {};
    }
    if (isCalculatedYesNo(column, field)) {
        return field.data[0] != 0;
    }
    if (isCalculatedDecimal(column, field)) {
        return numberValue(row, column, field);
    }
    if (field.length < storedSize(column.type)) {
        raise(
            QStringLiteral("数据库文件已损坏:列 '%1' 的值无法读取(%2)。").arg(column.name, m_path));
    }
    const std::uint8_t* p = field.data;
    switch (column.type) {
        case MDB_BYTE:
            return qint64(p[0]);
        case MDB_INT:
            return qint64(readRaw<std::int16_t>(p));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return qint64(readRaw<std::int32_t>(p));
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC:
            return numberValue(row, column, field);
        case kTypeBigInt:
            return qint64(readRaw<std::int64_t>(p));
        case MDB_DATETIME:
        case kTypeExtendedDate:
            return dateFromLinear(dateNumber(column, field));
        case MDB_TEXT:
            return decodeText(p, field.length);
        case MDB_MEMO: {
            std::u16string text;
            readMemoInto(column, field, text);
            return QString::fromUtf16(text.data(), qsizetype(text.size()));
        }
        case MDB_REPID:
            return guidText(p);
        case MDB_OLE:
            return QStringLiteral("长二进制数据");
        default:
            return QStringLiteral("0x") +
                   QString::fromLatin1(
                       QByteArray(reinterpret_cast<const char*>(p), field.length).toHex());
    }
}

}  // namespace vaskord::data
