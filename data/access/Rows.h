#pragma once

#include <cstdint>
#include <vector>

#include "data/access/TableDefinition.h"

namespace vaskord::data {

// Where a row's bytes lie: page, offset inside it, length. Compact, since a
// query keeps one per result row.
struct RowLocation {
    std::uint32_t page = 0;
    std::uint16_t offset = 0;
    std::uint16_t length = 0;
};

// A field's bytes inside its row; data is null when the field is NULL.
struct FieldBytes {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    bool isNull() const { return data == nullptr; }
};

class Database;

// Cracks one row into fields, reading only what is asked for. All offsets are
// checked against the row; a row that does not add up throws DatabaseError.
class RowReader {
public:
    RowReader(const Database& database, const Table& table, RowLocation location);

    FieldBytes field(const Column& column) const;
    // Yes/No lives in the null mask: set means True. Never NULL.
    bool boolValue(const Column& column) const;

private:
    std::uint32_t varOffset(int slot) const;
    static FieldBytes unwrapped(const Column& column, FieldBytes stored);

    const Database& m_db;
    const std::uint8_t* m_row;
    std::uint32_t m_length;
    RowLocation m_location;
    int m_columnCount = 0;  // columns the row was written with
    int m_nullMaskSize = 0;
    int m_varCount = 0;        // variable-length columns the row was written with
    std::uint32_t m_varLimit;  // where variable data must end
    std::vector<std::uint16_t> m_jet3Offsets;
};

}  // namespace vaskord::data
