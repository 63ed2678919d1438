#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/Value.h"
#include "data/access/Rows.h"
#include "data/access/TableDefinition.h"

namespace vaskord::data {

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
    // Row slots on the table's data pages, deleted rows included: no scan of
    // the table gives more rows, so a scan can make room for its result once.
    std::size_t rowSlots(const Table& table) const;
    const std::uint8_t* rowBytes(RowLocation location) const {
        return m_bytes.data + std::size_t(location.page) * m_pageSize + location.offset;
    }

    // Text columns: Jet 4 stores UCS-2 (possibly compressed), Jet 3 the code
    // page recorded in the file.
    void decodeTextInto(const std::uint8_t* data, std::size_t length, std::u16string& out) const;
    QString decodeText(const std::uint8_t* data, std::size_t length) const;

    // A memo's text, wherever its long-value pages keep it.
    // Throws DatabaseError for a page chain that loops, ends early or runs
    // past the memo's length.
    void readMemoInto(const Column& column, FieldBytes field, std::u16string& out) const;

    // The typed value of a field, decoded in full.
    Value value(const RowReader& row, const Column& column) const;

    [[noreturn]] void damaged(std::uint32_t page) const;
    [[noreturn]] void memoDamaged(const Column& column, std::uint32_t page) const;

private:
    Database() = default;
    [[noreturn]] static void openFailed(const QString& cause, const QString& path);
    // Refuses what does not begin as an Access file: empty, too short, or
    // without the Jet or ACE signature.
    static void checkHeader(const std::uint8_t* data, std::size_t size, const QString& path);
    bool findRow(std::uint32_t page, int row, RowLocation& location, bool& moved,
                 bool movedHere = false) const;
    void load();
    void loadCatalog();
    std::string definitionBytes(std::uint32_t definitionPage) const;
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

}  // namespace vaskord::data
