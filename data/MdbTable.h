#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/Value.h"

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

struct MdbHandleCloser {
    void operator()(void* handle) const;
};

// An open library file: its bytes (read once, read-only), the libmdb handle
// over them for the catalog and the table definitions, and the tables looked
// up so far.
class Database {
public:
    // Throws DatabaseError naming the cause and the path.
    static std::shared_ptr<Database> open(const QString& path);
    // The same checks on bytes already in memory; `name` stands for the path
    // in messages. For the fuzz target.
    static std::shared_ptr<Database> fromBytes(const std::uint8_t* data, std::size_t size,
                                               const QString& name);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& path() const { return m_path; }
    bool isJet3() const { return m_jet3; }
    std::uint32_t pageSize() const { return m_pageSize; }
    std::uint32_t pageCount() const {
        return static_cast<std::uint32_t>(m_bytes.size / m_pageSize);
    }

    // The user tables, in no particular order.
    QStringList tableNames() const;
    // Throws DatabaseError for an unknown table.
    const Table& table(const QString& name);

    // The page's bytes; throws DatabaseError for a page beyond the file.
    const std::uint8_t* page(std::uint32_t number) const;

    // The rows a data page holds, deleted rows left out; a row moved to
    // another page is followed there. Throws DatabaseError for a page whose
    // row table does not add up.
    void rowsOfPage(const Table& table, std::uint32_t pageNumber,
                    std::vector<RowLocation>& rows) const;
    const std::uint8_t* rowBytes(RowLocation location) const {
        return m_bytes.data + std::size_t(location.page) * m_pageSize + location.offset;
    }

    // Text columns: Jet 4 stores UCS-2 (possibly compressed), Jet 3 the code
    // page recorded in the file.
    void decodeTextInto(const std::uint8_t* data, std::size_t length, std::u16string& out) const;
    QString decodeText(const std::uint8_t* data, std::size_t length) const;

    // A memo's text, wherever its long-value pages keep it.
    void readMemoInto(FieldBytes field, std::u16string& out) const;

    // The typed value of a field, decoded in full.
    Value value(const RowReader& row, const Column& column) const;

    [[noreturn]] void damaged(std::uint32_t page) const;

private:
    Database() = default;
    bool findRow(std::uint32_t page, int row, RowLocation& location, bool& moved,
                 bool movedHere = false) const;
    void load();
    void loadCatalog();
    std::unique_ptr<Table> readDefinition(const QString& name, std::uint32_t definitionPage);

    // The file's bytes in private anonymous memory: a copy, so nothing done
    // to the file while it is open can reach the reader.
    struct Bytes {
        std::uint8_t* data = nullptr;
        std::size_t size = 0;
        std::size_t mapped = 0;
        Bytes() = default;
        Bytes(const Bytes&) = delete;
        Bytes& operator=(const Bytes&) = delete;
        ~Bytes();
        void allocate(std::size_t bytes);
    };

    QString m_path;
    Bytes m_bytes;
    std::uint32_t m_pageSize = 4096;
    bool m_jet3 = false;
    int m_codePage = 0;
    std::unique_ptr<void, MdbHandleCloser> m_mdb;
    std::map<QString, std::uint32_t> m_tableDefinitions;  // folded name -> definition page
    std::map<QString, QString> m_tableNames;              // folded name -> spelling
    std::map<QString, std::unique_ptr<Table>> m_tables;
    struct Decoder;
    std::unique_ptr<Decoder> m_decoder;
};

// Days since 1899-12-30 as a value that orders like the dates: Access keeps
// dates before 1899-12-30 as a negative day with a positive time fraction.
double linearDate(double stored);
QDateTime dateFromLinear(double linear);
double linearFromDate(const QDateTime& dateTime);

// Number of a field of a Number-class column (Yes/No gives -1 or 0).
double numberValue(const RowReader& row, const Column& column, FieldBytes field);

}  // namespace vaskord::data
