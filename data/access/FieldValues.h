#pragma once

#include <iconv.h>

#include <QDateTime>
#include <cstdint>

#include "data/access/Database.h"

namespace vaskord::data {

// Converts Jet 3 text from the code page the file records.
struct Database::Decoder {
    iconv_t codePage = reinterpret_cast<iconv_t>(-1);
    ~Decoder() {
        if (codePage != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(codePage);
        }
    }
};

// Days since 1899-12-30 as a value that orders like the dates: Access keeps
// dates before 1899-12-30 as a negative day with a positive time fraction.
double linearDate(double stored);
// A linear day count as whole days since 1899-12-30 and milliseconds since
// midnight (rounded; a day that rounds up to midnight is the next day);
// false for a count that is no date. Every form of a date starts from this.
struct DateParts {
    std::int64_t days = 0;
    std::int64_t msecs = 0;
};
bool splitLinearDate(double linear, DateParts& parts);
QDateTime dateFromLinear(double linear);
double linearFromDate(const QDateTime& dateTime);

// Bytes a fixed-length value of the type needs; a field shorter than that is
// damage. 0 for types of any length.
std::uint32_t storedSize(int type);

// A calculated column's stored bytes hold a 16-byte header and the result's
// length (4 bytes) before the result itself.
FieldBytes calculatedValue(FieldBytes stored);

// Days since 1899-12-30, as linearDate, of a Date/Time or Date/Time
// Extended field.
double dateNumber(const Column& column, FieldBytes field);

// Number of a field of a Number-class column (Yes/No gives -1 or 0).
double numberValue(const RowReader& row, const Column& column, FieldBytes field);

}  // namespace vaskord::data
