#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace vaskord::data {

// How a column's values compare: numbers (Yes/No as -1/0) and dates as
// numbers, text and memo as case-folded text; binary columns do not compare.
enum class ValueClass : std::uint8_t { Number, Date, Text, Other };

// Type codes newer than libmdb: Large Number (Access 2016) and Date/Time
// Extended (Access 2019).
inline constexpr int kTypeBigInt = 0x13;
inline constexpr int kTypeExtendedDate = 0x14;

struct Column {
    QString name;         // as the table spells it
    int type = 0;         // libmdb's MDB_* type code, or one of the above
    int number = 0;       // the column's number: its bit in a row's null mask
    int varColumn = 0;    // slot in the variable-length offset table
    int fixedOffset = 0;  // offset in the fixed part of the row
    int size = 0;         // declared size in bytes
    bool fixed = false;
    int precision = 0;  // Decimal columns only
    int scale = 0;      // Decimal columns only
    // A calculated column stores its result behind a header; the type is
    // the one the definition records (a text result of no declared size is
    // kept as a memo).
    bool calculated = false;
    ValueClass valueClass = ValueClass::Other;
};

// A table as the query engine needs it: its columns, in table order, and its
// data pages, in the order the table's usage map lists them.
struct Table {
    QString name;
    std::uint32_t definitionPage = 0;
    std::vector<Column> columns;
    std::vector<std::uint32_t> dataPages;
    std::uint32_t rowCount = 0;  // as the definition records it
    bool hasVariableColumns = false;

    // Index of the column with this name (any letter case), or -1.
    int columnIndex(const QString& name) const;
};

}  // namespace vaskord::data
