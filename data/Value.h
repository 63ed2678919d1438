#pragma once

#include <QDateTime>
#include <QString>
#include <variant>

namespace vaskord::data {

// One field as the table stores it. Whole numbers (Byte, Integer, Long Integer,
// AutoNumber) are qint64; Single, Double, Currency and Numeric are double;
// Yes/No is bool (never NULL). A Date/Time is the wall-clock time as stored,
// kept in Qt::UTC so that no time zone shifts it (an out-of-range
// stored value gives an invalid QDateTime). Text and Memo are QString; a
// replication ID is its "{...}" text, OLE objects the text "长二进制数据",
// other binary data "0x" and hex digits.
using Value = std::variant<std::monostate, bool, qint64, double, QString, QDateTime>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

// The text a result list shows for a field: whole numbers plain, other numbers
// with up to 15 significant digits and the locale's decimal separator, dates in
// the locale's short date format (plus the long time format when the time of
// day is not midnight), Yes/No as "True"/"False", NULL as empty text.
QString displayText(const Value& v);

}  // namespace vaskord::data
