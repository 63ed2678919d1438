#pragma once

#include <iconv.h>

#include <QDateTime>

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
QDateTime dateFromLinear(double linear);
double linearFromDate(const QDateTime& dateTime);

// A calculated column's stored bytes hold a 16-byte header and the result's
// length (4 bytes) before the result itself.
FieldBytes calculatedValue(FieldBytes stored);

// Days since 1899-12-30, as linearDate, of a Date/Time or Date/Time
// Extended field.
double dateNumber(const Column& column, FieldBytes field);

// Number of a field of a Number-class column (Yes/No gives -1 or 0).
double numberValue(const RowReader& row, const Column& column, FieldBytes field);

}  // namespace vaskord::data
