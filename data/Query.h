#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "core/SongListing.h"
#include "data/Connection.h"
#include "data/Value.h"

namespace vaskord::data {

class ResultSet;  // the rows of an open query

// A query component: an SQL text of the Access dialect run over a connection.
// The rows are read whole when the query opens, so recordCount() is exact.
class Query final : public vaskord::CandidateRows {
public:
    Query();
    ~Query() override;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void setConnection(Connection* connection) { m_connection = connection; }
    Connection* connection() const { return m_connection; }

    QString sql() const { return m_sql; }
    void setSql(const QString& sql) { m_sql = sql; }

    // Parses and runs the SQL over the library as its file is now (see
    // Connection::currentDatabase). Throws DatabaseError (no connection,
    // unknown table or column, syntax error with its position, unreadable
    // page or file).
    void open();
    void close();
    bool isOpen() const;

    int recordCount() const;
    // The selected columns in select order, spelled as the table spells them.
    QStringList columnNames() const;

    // Cursor over the rows; the first row is current right after open().
    bool atEnd() const override;
    void next() override;
    // Field of the current row by column name (any letter case).
    // Throws DatabaseError for a column that is not selected.
    Value value(const QString& column) const;
    QString fieldText(const QString& column) const override;
    // The current row's selected fields as one JSON object and a line feed,
    // appended to `out`: the same text JsonText.h gives for value() of each.
    void appendJsonLine(std::string& out) const;

private:
    Connection* m_connection = nullptr;
    QString m_sql;
    std::unique_ptr<ResultSet> m_result;
};

}  // namespace vaskord::data
