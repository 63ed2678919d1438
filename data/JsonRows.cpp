#include "data/JsonRows.h"

#include <mdbtools.h>
#include <cstring>

#include "data/JsonText.h"

namespace vaskord::data {

JsonRowWriter::JsonRowWriter(const Database& database, const Table& table,
                             const std::vector<int>& columns)
    : m_db(database) {
    for (const int index : columns) {
        const Column& column = table.columns[std::size_t(index)];
        std::string key = m_keys.empty() ? "{" : ",";
        appendJsonString(key, {reinterpret_cast<const char16_t*>(column.name.utf16()),
                               std::size_t(column.name.size())});
        key += ':';
        m_columns.push_back(&column);
        m_keys.push_back(std::move(key));
    }
}

void JsonRowWriter::append(const RowReader& row, std::string& out) const {
    if (m_columns.empty()) {
        out += '{';
    }
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        out += m_keys[i];
        appendField(row, *m_columns[i], out);
    }
    out += "}\n";
}

void JsonRowWriter::appendField(const RowReader& row, const Column& column,
                                std::string& out) const {
    if (column.type == MDB_BOOL) {
        out += row.boolValue(column) ? "true" : "false";
        return;
    }
    const FieldBytes field = row.field(column);
    if (field.isNull()) {
        out += "null";
        return;
    }
    // A calculated result may be stored in another type than the column's;
    // a field shorter than its type is damage that Database::value names.
    if (!column.calculated && field.length >= storedSize(column.type)) {
        switch (column.type) {
            case MDB_BYTE:
            case MDB_INT:
            case MDB_LONGINT:
                appendJsonWhole(out, std::int64_t(numberValue(row, column, field)));
                return;
            case MDB_MONEY:
            case MDB_FLOAT:
            case MDB_DOUBLE:
                appendJsonNumber(out, numberValue(row, column, field));
                return;
            case MDB_DATETIME:
            case kTypeExtendedDate:
                if (!appendJsonDate(out, dateNumber(column, field))) {
                    out += "null";
                }
                return;
            case MDB_TEXT:
                m_db.decodeTextInto(field.data, field.length, m_text);
                appendJsonString(out, m_text);
                return;
            case MDB_MEMO:
                m_db.readMemoInto(column, field, m_text);
                appendJsonString(out, m_text);
                return;
            default:
                break;
        }
    }
    appendJsonValue(out, m_db.value(row, column));
}

}  // namespace vaskord::data
