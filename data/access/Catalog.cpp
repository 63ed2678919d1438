// The catalog and the table definitions.
//
// The catalog is the system table MSysObjects, whose definition is on page 2;
// each of its rows names an object, its type (1 for a local table) and, in
// the low three bytes of Id, the page of the table's definition.
//
// A table definition page (kind 0x02) may continue on the page named at
// offset 4. It records the table's row count, its columns (type, number,
// offset in the fixed part of the row or slot among the variable-length
// ones, size, Decimal precision and scale) with their names, its indexes,
// and the row address (page << 8 | row) of its usage map: a bitmap, or a
// list of bitmap pages, of the data pages the table owns.
#include "data/access/TableDefinition.h"

#include <mdbtools.h>
#include <QString>
#include <algorithm>
#include <map>
#include <string>

#include "data/Errors.h"
#include "data/access/Database.h"
#include "data/access/LittleEndian.h"

namespace vaskord::data {

namespace {

QString folded(const QString& name) {
    return name.toCaseFolded();
}

ValueClass classOf(int type) {
    switch (type) {
        case MDB_BOOL:
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC:
        case MDB_COMPLEX:
        case kTypeBigInt:
            return ValueClass::Number;
        case MDB_DATETIME:
        case kTypeExtendedDate:
            return ValueClass::Date;
        case MDB_TEXT:
        case MDB_MEMO:
            return ValueClass::Text;
        default:
            return ValueClass::Other;
    }
}

// Extended column flags (Jet 4 and later): a calculated column.
constexpr std::uint8_t kCalculatedFlags = 0xC0;

}  // namespace

// A table definition as one run of bytes: a definition longer than a page
// continues on the page named at offset 4, after that page's 8-byte header,
// the way libmdb reads it. A chain that leaves the file or comes back to a
// page ends the run.
std::string Database::definitionBytes(std::uint32_t definitionPage) const {
    std::string bytes;
    std::vector<bool> seen(pageCount(), false);
    std::uint32_t page = definitionPage;
    bool first = true;
    while (page != 0 && page < pageCount() && !seen[page]) {
        seen[page] = true;
        const auto* pg =
            reinterpret_cast<const char*>(m_bytes.data + std::size_t(page) * m_pageSize);
        bytes.append(pg + (first ? 0 : 8), m_pageSize - (first ? 0 : 8));
        first = false;
        page = u32(m_bytes.data + std::size_t(page) * m_pageSize + 4);
    }
    return bytes;
}

int Table::columnIndex(const QString& wanted) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

// A table's columns and data pages, through libmdb's reading of the table
// definition. Page numbers beyond the file mean the file was cut short.
std::unique_ptr<Table> Database::readDefinition(const QString& name, std::uint32_t definitionPage) {
    auto* mdb = static_cast<MdbHandle*>(m_mdb.get());
    if (definitionPage == 0 || definitionPage >= pageCount()) {
        openFailed(
            QStringLiteral("文件不完整(可能已被截断),表 '%1' 的定义页超出文件末尾").arg(name),
            m_path);
    }
    // The usage map (and the free-space map after it) are rows elsewhere;
    // libmdb passes over a map it cannot find as if the table were empty.
    {
        const std::uint8_t* first = m_bytes.data + std::size_t(definitionPage) * m_pageSize;
        const std::uint32_t mapAt = mdb->fmt->tab_usage_map_offset;
        if (mapAt + 8 <= m_pageSize && ((u32(first + mapAt) >> 8) >= pageCount() ||
                                        (u32(first + mapAt + 4) >> 8) >= pageCount())) {
            openFailed(
                QStringLiteral("文件不完整(可能已被截断),表 '%1' 的页面表超出文件末尾").arg(name),
                m_path);
        }
    }
    // libmdb wants a catalog entry; one without properties keeps it from
    // parsing property blobs, which it cannot do safely on a damaged file.
    MdbCatalogEntry entry{};
    entry.mdb = mdb;
    entry.object_type = MDB_TABLE;
    entry.table_pg = definitionPage;
    qstrncpy(entry.object_name, name.toUtf8().constData(), sizeof entry.object_name);
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> def(mdb_read_table(&entry),
                                                             mdb_free_tabledef);
    if (!def || mdb_read_columns(def.get()) == nullptr) {
        // A definition longer than a page continues on the page named at
        // offset 4; a link past the end means the file was cut short.
        std::uint32_t page = definitionPage;
        for (std::uint32_t hops = 0; page != 0 && hops < pageCount(); ++hops) {
            if (page >= pageCount()) {
                openFailed(QStringLiteral("文件不完整(可能已被截断),表 '%1' 的定义不全").arg(name),
                           m_path);
            }
            page = u32(m_bytes.data + std::size_t(page) * m_pageSize + 4);
        }
        openFailed(QStringLiteral("文件已损坏,表 '%1' 的定义无法读取").arg(name), m_path);
    }
    auto table = std::make_unique<Table>();
    table->name = name;
    table->definitionPage = definitionPage;
    table->rowCount = def->num_rows;
    const std::string definition = definitionBytes(definitionPage);
    // libmdb leaves out the column flags and reads precision and scale into
    // fields named the other way round; both come from the descriptors here.
    const bool jet3 = m_jet3;
    const std::size_t descriptorSize = jet3 ? 18 : 25;
    const std::size_t firstDescriptor =
        (jet3 ? 43 : 63) + std::size_t(def->num_real_idxs) * (jet3 ? 8 : 12);
    std::map<int, const std::uint8_t*> descriptors;  // by column number
    for (std::size_t i = 0; i < def->num_cols; ++i) {
        const std::size_t at = firstDescriptor + i * descriptorSize;
        if (at + descriptorSize > definition.size()) {
            break;
        }
        const auto* d = reinterpret_cast<const std::uint8_t*>(definition.data()) + at;
        descriptors.emplace(d[jet3 ? 1 : 5], d);
    }
    for (guint c = 0; c < def->columns->len; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
        const auto found = descriptors.find(col->col_num);
        if (found == descriptors.end()) {
            openFailed(QStringLiteral("文件已损坏,表 '%1' 的定义无法读取").arg(name), m_path);
        }
        const std::uint8_t* descriptor = found->second;
        Column column;
        column.name = QString::fromUtf8(col->name);
        column.type = col->col_type;
        column.number = col->col_num;
        column.varColumn = int(col->var_col_num);
        column.fixedOffset = col->fixed_offset;
        column.size = col->col_size;
        column.fixed = col->is_fixed != 0;
        column.precision = descriptor[jet3 ? 9 : 11];
        column.scale = descriptor[jet3 ? 10 : 12];
        column.calculated = !jet3 && (descriptor[16] & kCalculatedFlags) != 0;
        if (column.calculated && column.type == MDB_TEXT && column.size == 0) {
            column.type = MDB_MEMO;
        }
        column.valueClass = classOf(column.type);
        table->hasVariableColumns = table->hasVariableColumns || !column.fixed;
        table->columns.push_back(std::move(column));
    }
    if (def->usage_map != nullptr && def->map_sz > 0) {
        // The map lists pages in rising order; anything else is damage and
        // would otherwise loop.
        gint32 previous = 0;
        for (;;) {
            const gint32 next =
                mdb_map_find_next(mdb, def->usage_map, guint(def->map_sz), guint32(previous));
            if (next <= previous) {
                break;
            }
            if (guint32(next) >= pageCount()) {
                openFailed(QStringLiteral("文件不完整(可能已被截断),表 '%1' 的第 %2 页超出文件末尾")
                               .arg(name)
                               .arg(next),
                           m_path);
            }
            table->dataPages.push_back(guint32(next));
            previous = next;
        }
    }
    // Fewer rows on the table's pages than its definition counts: pages are
    // missing, and reading on would give a short list as if it were whole.
    std::size_t found = 0;
    std::vector<RowLocation> rows;
    for (const std::uint32_t page : table->dataPages) {
        rows.clear();
        rowsOfPage(*table, page, rows);
        found += rows.size();
    }
    if (found < table->rowCount) {
        openFailed(QStringLiteral("文件不完整或已损坏,表 '%1' 记录有 %2 行,只找到 %3 行")
                       .arg(name)
                       .arg(table->rowCount)
                       .arg(found),
                   m_path);
    }
    return table;
}

// Reads the catalog (the system table MSysObjects, whose definition is on
// page 2) with this reader's own checked row code, then every user table's
// definition and page list, so that a file cut short fails when it is opened,
// not halfway through a query.
void Database::loadCatalog() {
    constexpr std::uint32_t kCatalogPage = 2;
    constexpr int kLocalTable = 1;
    const std::unique_ptr<Table> catalog =
        readDefinition(QStringLiteral("MSysObjects"), kCatalogPage);
    const int idColumn = catalog->columnIndex(QStringLiteral("Id"));
    const int nameColumn = catalog->columnIndex(QStringLiteral("Name"));
    const int typeColumn = catalog->columnIndex(QStringLiteral("Type"));
    if (idColumn < 0 || nameColumn < 0 || typeColumn < 0) {
        openFailed(QStringLiteral("文件不完整或已损坏,读不出表目录"), m_path);
    }
    std::vector<std::pair<QString, std::uint32_t>> userTables;
    std::vector<RowLocation> rows;
    for (const std::uint32_t page : catalog->dataPages) {
        rows.clear();
        rowsOfPage(*catalog, page, rows);
        for (const RowLocation& location : rows) {
            const RowReader row(*this, *catalog, location);
            const Value type = value(row, catalog->columns[std::size_t(typeColumn)]);
            const Value id = value(row, catalog->columns[std::size_t(idColumn)]);
            const Value name = value(row, catalog->columns[std::size_t(nameColumn)]);
            if (!std::holds_alternative<qint64>(type) || !std::holds_alternative<qint64>(id) ||
                !std::holds_alternative<QString>(name) ||
                (std::get<qint64>(type) & 0x7F) != kLocalTable) {
                continue;
            }
            const QString& tableName = std::get<QString>(name);
            const auto definitionPage = std::uint32_t(std::get<qint64>(id) & 0x00FFFFFF);
            m_tableNames.emplace(folded(tableName), tableName);
            m_tableDefinitions.emplace(folded(tableName), definitionPage);
            if (!tableName.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive)) {
                userTables.emplace_back(tableName, definitionPage);
            }
        }
    }
    if (m_tableDefinitions.empty()) {
        openFailed(QStringLiteral("文件不完整或已损坏,读不出表目录"), m_path);
    }
    for (const auto& [name, definitionPage] : userTables) {
        m_tables.emplace(folded(name), readDefinition(name, definitionPage));
    }
}

QStringList Database::tableNames() const {
    QStringList names;
    for (const auto& [key, table] : m_tables) {
        names.append(table->name);
    }
    return names;
}

const Table& Database::table(const QString& name) {
    const QString key = folded(name);
    auto found = m_tables.find(key);
    if (found != m_tables.end()) {
        return *found->second;
    }
    if (m_tableDefinitions.count(key) == 0) {
        raise(QStringLiteral("找不到表 '%1'(歌库 %2)。").arg(name, m_path));
    }
    // System tables are read on demand only.
    raise(QStringLiteral("不能查询系统表 '%1'。").arg(m_tableNames[key]));
}

}  // namespace vaskord::data
