#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace vaskord::data {

// How a column's values compare: numbers (Yes/No as -1/0) and dates as
// numbers, text and memo as case-folded text; binary columns do not compare.
enum class ValueClass : std::uint8_t { Number, Date, Text, Other };

struct Column {
    QString name;         // as the table spells it
    int type = 0;         // libmdb's MDB_* type code
    int rowColumn = 0;    // bit of the null mask (deleted columns included)
    int varColumn = 0;    // slot in the variable-length offset table
    int fixedOffset = 0;  // offset in the fixed part of the row
    int size = 0;         // declared size in bytes
    bool fixed = false;
    int scale = 0;  // Numeric (decimal) columns only
    ValueClass valueClass = ValueClass::Other;
};

// A table as the query engine needs it: its columns, in table order, and its
// data pages, in the order the table's usage map lists them.
struct Table {
    QString name;
    std::uint32_t definitionPage = 0;
    std::vector<Column> columns;
    std::vector<std::uint32_t> dataPages;
    bool hasVariableColumns = false;

    // Index of the column with this name (any letter case), or -1.
    int columnIndex(const QString& name) const;
};

}  // namespace vaskord::data
