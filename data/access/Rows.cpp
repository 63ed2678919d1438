// Rows of a data page.
//
// A data page (kind 0x01) names the table that owns it at offset 4, then
// holds a row count (offset 12 in Jet 4, 8 in Jet 3) and a table of 16-bit
// row offsets: the low 13 bits give where the row starts, 0x8000 marks a
// deleted row and 0x4000 a row that moved, whose bytes then hold only its
// new address (row number, then a 3-byte page number). Row data are packed
// from the end of the page downwards.
//
// A Jet 4 row: column count (2 bytes), the fixed-length fields, the
// variable-length data, a table of 2-byte offsets of the variable fields
// (last field first, with one more entry for the end of the data), their
// count (2 bytes), and last the null mask, one bit per column number, set
// when the field is present (and for Yes/No, when it is True). A Jet 3 row
// is the same with 1-byte counts and offsets, plus a jump table that adds
// 256 to the offsets past each 256-byte boundary.
#include "data/access/Rows.h"

#include <mdbtools.h>
#include <algorithm>
#include <cstdint>

#include "data/Errors.h"
#include "data/access/Database.h"
#include "data/access/FieldValues.h"
#include "data/access/LittleEndian.h"

namespace vaskord::data {

namespace {

constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowMoved = 0x4000;
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
constexpr std::uint8_t kDataPage = 0x01;

}  // namespace

// ---------------------------------------------------------------- rows

// Locates row `row` of a data page. Row data are packed from the end of the
// page down, so a row ends where the row before it in the table begins.
bool Database::findRow(std::uint32_t pageNumber, int row, RowLocation& location, bool& moved,
                       bool movedHere) const {
    const std::uint8_t* pg = page(pageNumber);
    if (pg[0] != kDataPage) {
        damaged(pageNumber);
    }
    const std::uint32_t countOffset = m_jet3 ? 8 : 12;
    const std::uint32_t count = u16(pg + countOffset);
    const std::uint32_t tableEnd = countOffset + 2 + 2 * count;
    if (tableEnd > m_pageSize || row < 0 || std::uint32_t(row) >= count) {
        damaged(pageNumber);
    }
    const std::uint16_t raw = u16(pg + countOffset + 2 + 2 * row);
    const std::uint32_t start = raw & kRowOffsetMask;
    const std::uint32_t end =
        row == 0 ? m_pageSize : (u16(pg + countOffset + 2 * row) & kRowOffsetMask);
    // A row moved here carries the deleted flag too, so that a scan of this
    // page passes it over and meets it only through its old address.
    if ((raw & kRowDeleted) && !movedHere) {
        return false;
    }
    if (start < tableEnd || end > m_pageSize || start >= end) {
        damaged(pageNumber);
    }
    location = {pageNumber, std::uint16_t(start), std::uint16_t(end - start)};
    moved = (raw & kRowMoved) != 0;
    return true;
}

void Database::rowsOfPage(const Table& table, std::uint32_t pageNumber,
                          std::vector<RowLocation>& rows) const {
    const std::uint8_t* pg = page(pageNumber);
    // A usage map may still list a page the table has given up.
    if (pg[0] != kDataPage || u32(pg + 4) != table.definitionPage) {
        return;
    }
    const std::uint32_t count = u16(pg + (m_jet3 ? 8 : 12));
    for (std::uint32_t r = 0; r < count; ++r) {
        RowLocation location;
        bool moved = false;
        if (!findRow(pageNumber, int(r), location, moved)) {
            continue;
        }
        if (moved) {
            // The row grew and lives elsewhere; here is only its new address.
            if (location.length < 4) {
                damaged(pageNumber);
            }
            const std::uint8_t* pointer = rowBytes(location);
            bool movedAgain = false;
            if (!findRow(u24(pointer + 1), pointer[0], location, movedAgain, true) || movedAgain) {
                damaged(pageNumber);
            }
        }
        rows.push_back(location);
    }
}

std::size_t Database::rowSlots(const Table& table) const {
    std::size_t total = 0;
    for (const std::uint32_t pageNumber : table.dataPages) {
        const std::uint8_t* pg = page(pageNumber);
        if (pg[0] == kDataPage && u32(pg + 4) == table.definitionPage) {
            total += u16(pg + (m_jet3 ? 8 : 12));
        }
    }
    return total;
}

RowReader::RowReader(const Database& database, const Table& table, RowLocation location)
    : m_db(database),
      m_row(database.rowBytes(location)),
      m_length(location.length),
      m_location(location) {
    const bool jet3 = database.isJet3();
    const std::uint32_t header = jet3 ? 1 : 2;
    if (m_length < header + 1) {
        database.damaged(location.page);
    }
    m_columnCount = jet3 ? m_row[0] : u16(m_row);
    m_nullMaskSize = (m_columnCount + 7) / 8;
    if (m_length < header + std::uint32_t(m_nullMaskSize)) {
        database.damaged(location.page);
    }
    m_varLimit = m_length - std::uint32_t(m_nullMaskSize);
    if (!table.hasVariableColumns) {
        return;
    }
    if (!jet3) {
        // ... var data | offsets[varCount..0] | varCount (2) | null mask
        if (m_varLimit < header + 2) {
            database.damaged(location.page);
        }
        m_varCount = u16(m_row + m_varLimit - 2);
        const std::int64_t tableStart = std::int64_t(m_varLimit) - 4 - 2 * std::int64_t(m_varCount);
        if (tableStart < std::int64_t(header)) {
            database.damaged(location.page);
        }
        m_varLimit = std::uint32_t(tableStart);
        return;
    }
    // Jet 3 keeps one-byte offsets plus a jump table that adds 256 each time
    // the data crosses a 256-byte boundary.
    const std::int64_t last = std::int64_t(m_length) - 1;
    const std::int64_t countAt = last - m_nullMaskSize;
    if (countAt < header) {
        database.damaged(location.page);
    }
    m_varCount = m_row[countAt];
    std::int64_t jumps = (std::int64_t(m_length) - 1) / 256;
    const std::int64_t firstOffsetAt = countAt - jumps - 1;
    if (firstOffsetAt - m_varCount < std::int64_t(header)) {
        database.damaged(location.page);
    }
    if ((firstOffsetAt - m_varCount) / 256 < jumps) {
        --jumps;
    }
    m_jet3Offsets.resize(std::size_t(m_varCount) + 1);
    int used = 0;
    for (int i = 0; i <= m_varCount; ++i) {
        if (used < jumps && i == m_row[countAt - 1 - used]) {
            ++used;
        }
        m_jet3Offsets[std::size_t(i)] = std::uint16_t(m_row[firstOffsetAt - i] + used * 256);
    }
    m_varLimit = std::uint32_t(firstOffsetAt - m_varCount);
}

std::uint32_t RowReader::varOffset(int slot) const {
    if (m_db.isJet3()) {
        return m_jet3Offsets[std::size_t(slot)];
    }
    return u16(m_row + m_length - m_nullMaskSize - 4 - 2 * slot);
}

FieldBytes RowReader::field(const Column& column) const {
    if (column.number >= m_columnCount || column.number < 0) {
        return {};  // added to the table after this row was written
    }
    const std::uint8_t* nullMask = m_row + m_length - m_nullMaskSize;
    if ((nullMask[column.number / 8] & (1 << (column.number % 8))) == 0) {
        return {};
    }
    const std::uint32_t header = m_db.isJet3() ? 1 : 2;
    if (column.fixed) {
        const std::uint32_t start = header + std::uint32_t(std::max(column.fixedOffset, 0));
        const std::uint32_t length = std::uint32_t(std::max(column.size, 0));
        if (start + length > m_varLimit) {
            m_db.damaged(m_location.page);
        }
        return unwrapped(column, {m_row + start, length});
    }
    if (column.varColumn >= m_varCount) {
        return {};
    }
    const std::uint32_t start = varOffset(column.varColumn);
    const std::uint32_t end = varOffset(column.varColumn + 1);
    if (start < header || start > end || end > m_varLimit) {
        m_db.damaged(m_location.page);
    }
    return unwrapped(column, {m_row + start, end - start});
}

// A calculated field keeps its result behind a header; a memo's result is
// unwrapped where its long value is read.
FieldBytes RowReader::unwrapped(const Column& column, FieldBytes stored) {
    return column.calculated && column.type != MDB_MEMO ? calculatedValue(stored) : stored;
}

bool RowReader::boolValue(const Column& column) const {
    if (column.number >= m_columnCount || column.number < 0) {
        return false;
    }
    const std::uint8_t* nullMask = m_row + m_length - m_nullMaskSize;
    return (nullMask[column.number / 8] & (1 << (column.number % 8))) != 0;
}

}  // namespace vaskord::data
