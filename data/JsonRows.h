#pragma once

#include <string>
#include <vector>

#include "data/access/Database.h"
#include "data/access/FieldValues.h"
#include "data/access/Rows.h"

namespace vaskord::data {

// Writes rows of a table as JSON Lines straight from the row bytes: no Value,
// QString or QDateTime per field. The common types are read through the same
// reader calls as Database::value and written in the forms of JsonText.h;
// every other type, and any field the fast reading does not accept, goes
// through Database::value, so both ways give the same line.
class JsonRowWriter {
public:
    JsonRowWriter(const Database& database, const Table& table, const std::vector<int>& columns);

    // One object, keys in the order given, and a line feed.
    void append(const RowReader& row, std::string& out) const;

private:
    void appendField(const RowReader& row, const Column& column, std::string& out) const;

    const Database& m_db;
    std::vector<const Column*> m_columns;
    std::vector<std::string> m_keys;  // `{"name":` for the first, `,"name":` after
    mutable std::u16string m_text;    // reused for every text field
};

}  // namespace vaskord::data
