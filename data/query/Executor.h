#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "data/JsonRows.h"
#include "data/Value.h"
#include "data/access/Database.h"

namespace vaskord::data {

// The rows of an open query, filtered and in their final order. Each row is
// only its address; a field is decoded when it is asked for.
class ResultSet {
public:
    ResultSet(std::shared_ptr<Database> database, const Table& table, std::vector<int> selected,
              std::vector<RowLocation> rows);

    std::size_t size() const { return m_rows.size(); }
    QStringList columnNames() const;
    // Position of a selected column (any letter case), or -1.
    int selectedIndex(const QString& name) const;
    Value value(std::size_t row, int selectedIndex) const;
    // The selected fields of a row as one JSON object and a line feed.
    void appendJsonLine(std::size_t row, std::string& out) const;

    std::size_t current = 0;  // the cursor of the query that owns this set

private:
    const RowReader& reader(std::size_t row) const;

    std::shared_ptr<Database> m_db;
    const Table& m_table;
    std::vector<int> m_selected;
    std::vector<RowLocation> m_rows;
    // The row last cracked: a list asks for several fields of one row in turn.
    mutable std::optional<RowReader> m_reader;
    mutable std::size_t m_readerRow = 0;
    mutable std::optional<JsonRowWriter> m_json;
};

// Runs one SELECT over the open database: parse, bind the names to the
// table, scan every data page testing the WHERE condition on the raw fields,
// then sort (stable) by the ORDER BY keys. Throws DatabaseError.
std::unique_ptr<ResultSet> executeSelect(const std::shared_ptr<Database>& database,
                                         const QString& sql);

}  // namespace vaskord::data
