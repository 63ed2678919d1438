#include "data/MdbTable.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mdbtools.h>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/Errors.h"

namespace vaskord::data {

namespace {

std::uint16_t u16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t u24(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16);
}
std::uint32_t u32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
template <typename T>
T readRaw(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowMoved = 0x4000;
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
constexpr std::uint8_t kDataPage = 0x01;

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
            return ValueClass::Number;
        case MDB_DATETIME:
            return ValueClass::Date;
        case MDB_TEXT:
        case MDB_MEMO:
            return ValueClass::Text;
        default:
            return ValueClass::Other;
    }
}

// Bytes a fixed value of the type needs; a field shorter than that is damage.
std::uint32_t storedSize(int type) {
    switch (type) {
        case MDB_BYTE:
            return 1;
        case MDB_INT:
            return 2;
        case MDB_LONGINT:
        case MDB_FLOAT:
        case MDB_COMPLEX:
            return 4;
        case MDB_MONEY:
        case MDB_DOUBLE:
        case MDB_DATETIME:
            return 8;
        case MDB_REPID:
            return 16;
        case MDB_NUMERIC:
            return 17;
        default:
            return 0;
    }
}

// libmdb reports odd files by printing, some of it hex dumps on standard
// output, where the command-line program writes its results. While libmdb
// reads the catalog both streams go to /dev/null; the failure itself reaches
// the operator as a DatabaseError.
class QuietStdio {
public:
    QuietStdio() {
        std::fflush(stdout);
        std::fflush(stderr);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null < 0) {
            return;
        }
        // Kept above the standard numbers: opened onto a closed stream, the
        // sink would be saved and then restored as that stream.
        const int sink = ::fcntl(null, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(null);
        if (sink < 0) {
            return;
        }
        m_out = ::dup(STDOUT_FILENO);
        const bool outUsable = m_out >= 0 || errno == EBADF;
        m_err = ::dup(STDERR_FILENO);
        const bool errUsable = m_err >= 0 || errno == EBADF;
        // Out of descriptors: a stream that cannot be saved is left alone.
        if (!outUsable || !errUsable) {
            for (const int fd : {m_out, m_err, sink}) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            return;
        }
        ::dup2(sink, STDOUT_FILENO);
        ::dup2(sink, STDERR_FILENO);
        ::close(sink);
        m_active = true;
    }
    ~QuietStdio() {
        if (!m_active) {
            return;
        }
        std::fflush(stdout);
        std::fflush(stderr);
        restore(m_out, STDOUT_FILENO);
        restore(m_err, STDERR_FILENO);
    }
    QuietStdio(const QuietStdio&) = delete;
    QuietStdio& operator=(const QuietStdio&) = delete;

private:
    // A stream that was closed before is closed again.
    static void restore(int saved, int fd) {
        if (saved >= 0) {
            ::dup2(saved, fd);
            ::close(saved);
        } else {
            ::close(fd);
        }
    }

    bool m_active = false;
    int m_out = -1;
    int m_err = -1;
};

[[noreturn]] void openFailed(const QString& cause, const QString& path) {
    raise(QStringLiteral("打开歌库失败:%1:%2").arg(cause, path));
}

// Decimal column: a sign byte, then a 128-bit magnitude as four little-endian
// 32-bit words, most significant word first.
double numericValue(const std::uint8_t* p, int scale) {
    double magnitude = 0;
    for (int word = 0; word < 4; ++word) {
        magnitude = magnitude * 4294967296.0 + u32(p + 1 + 4 * word);
    }
    const double value = magnitude / std::pow(10.0, std::clamp(scale, 0, 28));
    return (p[0] & 0x80) ? -value : value;
}

QString guidText(const std::uint8_t* p) {
    return QStringLiteral("{%1-%2-%3-%4-%5}")
        .arg(u32(p), 8, 16, QLatin1Char('0'))
        .arg(u16(p + 4), 4, 16, QLatin1Char('0'))
        .arg(u16(p + 6), 4, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p + 8), 2).toHex()))
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p + 10), 6).toHex()))
        .toUpper();
}

}  // namespace

void MdbHandleCloser::operator()(void* handle) const {
    mdb_close(static_cast<MdbHandle*>(handle));
}

struct Database::Decoder {
    iconv_t codePage = reinterpret_cast<iconv_t>(-1);
    ~Decoder() {
        if (codePage != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(codePage);
        }
    }
};

int Table::columnIndex(const QString& wanted) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

// ---------------------------------------------------------------- opening

std::shared_ptr<Database> Database::open(const QString& path) {
    if (path.isEmpty()) {
        raise(QStringLiteral("打开歌库失败:没有指定歌库文件的路径。"));
    }
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0) {
        if (errno == EACCES) {
            openFailed(QStringLiteral("没有访问该文件的权限"), path);
        }
        openFailed(QStringLiteral("文件不存在"), path);
    }
    if (S_ISDIR(status.st_mode)) {
        openFailed(QStringLiteral("这是一个文件夹,不是歌库文件"), path);
    }
    if (!S_ISREG(status.st_mode)) {
        openFailed(QStringLiteral("这不是普通文件"), path);
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        openFailed(errno == EACCES ? QStringLiteral("没有读取该文件的权限")
                                   : QStringLiteral("无法读取文件(%1)")
                                         .arg(QString::fromLocal8Bit(std::strerror(errno))),
                   path);
    }
    std::shared_ptr<Database> db(new Database);
    db->m_path = path;
    // One read of the whole file: libmdb and the row scan then work on the
    // same snapshot, and nothing ever holds the file open for writing.
    Bytes& bytes = db->m_bytes;
    bytes.allocate(std::size_t(status.st_size));
    std::size_t done = 0;
    while (done < bytes.size) {
        const ssize_t n = ::read(fd, bytes.data + done, bytes.size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            openFailed(QStringLiteral("读取文件出错(%1)")
                           .arg(QString::fromLocal8Bit(std::strerror(error))),
                       path);
        }
        if (n == 0) {
            break;
        }
        done += std::size_t(n);
    }
    ::close(fd);
    bytes.size = done;
    db->load();
    return db;
}

std::shared_ptr<Database> Database::fromBytes(const std::uint8_t* data, std::size_t size,
                                              const QString& name) {
    std::shared_ptr<Database> db(new Database);
    db->m_path = name;
    db->m_bytes.allocate(size);
    if (size > 0) {
        std::memcpy(db->m_bytes.data, data, size);
    }
    db->load();
    return db;
}

void Database::load() {
    const QuietStdio quiet;
    const Bytes& bytes = m_bytes;
    const QString& path = m_path;
    Database* db = this;
    if (bytes.size == 0) {
        openFailed(QStringLiteral("文件是空的"), path);
    }
    static const char kJet[] = "Standard Jet DB";
    static const char kAce[] = "Standard ACE DB";
    if (bytes.size < 0x20 || bytes.data[0] != 0 ||
        (std::memcmp(bytes.data + 4, kJet, sizeof kJet) != 0 &&
         std::memcmp(bytes.data + 4, kAce, sizeof kAce) != 0)) {
        openFailed(QStringLiteral("不是 Access 数据库文件"), path);
    }
    db->m_jet3 = bytes.data[0x14] == 0;
    db->m_pageSize = db->m_jet3 ? 2048 : 4096;
    if (bytes.size % db->m_pageSize != 0 || bytes.size < 3 * std::size_t(db->m_pageSize)) {
        openFailed(QStringLiteral("文件不完整(可能已被截断)"), path);
    }

    MdbHandle* mdb = mdb_open_buffer(bytes.data, bytes.size, MDB_NOFLAGS);
    if (mdb == nullptr) {
        openFailed(QStringLiteral("不是 Access 数据库文件,或文件已损坏"), path);
    }
    db->m_mdb.reset(mdb);
    db->m_codePage = mdb->f->code_page;
    db->m_decoder = std::make_unique<Decoder>();
    if (db->m_jet3) {
        const QByteArray name = "CP" + QByteArray::number(db->m_codePage ? db->m_codePage : 1252);
        db->m_decoder->codePage = iconv_open("UTF-16LE", name.constData());
        if (db->m_decoder->codePage == reinterpret_cast<iconv_t>(-1)) {
            db->m_decoder->codePage = iconv_open("UTF-16LE", "CP1252");
        }
    }
    db->loadCatalog();
}

Database::~Database() = default;

#if defined(__SANITIZE_ADDRESS__)
#define VASKORD_HEAP_SNAPSHOT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VASKORD_HEAP_SNAPSHOT 1
#endif
#endif

// Faulting a 30 MB buffer in page by page costs more than reading it; huge
// pages, filled in one go, make that cost vanish. Under AddressSanitizer the
// heap is used instead, so that a read past the end is caught.
void Database::Bytes::allocate(std::size_t bytes) {
#ifdef VASKORD_HEAP_SNAPSHOT
    data = new std::uint8_t[std::max<std::size_t>(bytes, 1)];
    size = bytes;
    return;
#endif
    mapped = std::max<std::size_t>(bytes, 1);
    void* memory =
        mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        mapped = 0;
        throw std::bad_alloc();
    }
    madvise(memory, mapped, MADV_HUGEPAGE);
    data = static_cast<std::uint8_t*>(memory);
    size = bytes;
}

Database::Bytes::~Bytes() {
#ifdef VASKORD_HEAP_SNAPSHOT
    delete[] data;
    return;
#endif
    if (data != nullptr) {
        munmap(data, mapped);
    }
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
        // offset 4, and it names the rows that hold its page maps; a link
        // past the end means the file was cut short.
        const std::uint8_t* first = m_bytes.data + std::size_t(definitionPage) * m_pageSize;
        const std::uint32_t mapAt = mdb->fmt->tab_usage_map_offset;
        if (mapAt + 8 <= m_pageSize && ((u32(first + mapAt) >> 8) >= pageCount() ||
                                        (u32(first + mapAt + 4) >> 8) >= pageCount())) {
            openFailed(
                QStringLiteral("文件不完整(可能已被截断),表 '%1' 的页面表超出文件末尾").arg(name),
                m_path);
        }
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
    for (guint c = 0; c < def->columns->len; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
        Column column;
        column.name = QString::fromUtf8(col->name);
        column.type = col->col_type;
        column.rowColumn = col->row_col_num;
        column.varColumn = int(col->var_col_num);
        column.fixedOffset = col->fixed_offset;
        column.size = col->col_size;
        column.fixed = col->is_fixed != 0;
        column.scale = col->col_scale;
        column.valueClass = classOf(col->col_type);
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

const std::uint8_t* Database::page(std::uint32_t number) const {
    if (number >= pageCount()) {
        raise(QStringLiteral("数据库文件不完整或已损坏:第 %1 页超出文件末尾(%2)。")
                  .arg(number)
                  .arg(m_path));
    }
    return m_bytes.data + std::size_t(number) * m_pageSize;
}

void Database::damaged(std::uint32_t page) const {
    raise(QStringLiteral("数据库文件已损坏:第 %1 页无法读取(%2)。").arg(page).arg(m_path));
}

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
    if (column.rowColumn >= m_columnCount || column.rowColumn < 0) {
        return {};  // added to the table after this row was written
    }
    const std::uint8_t* nullMask = m_row + m_length - m_nullMaskSize;
    if ((nullMask[column.rowColumn / 8] & (1 << (column.rowColumn % 8))) == 0) {
        return {};
    }
    const std::uint32_t header = m_db.isJet3() ? 1 : 2;
    if (column.fixed) {
        const std::uint32_t start = header + std::uint32_t(std::max(column.fixedOffset, 0));
        const std::uint32_t length = std::uint32_t(std::max(column.size, 0));
        if (start + length > m_varLimit) {
            m_db.damaged(m_location.page);
        }
        return {m_row + start, length};
    }
    if (column.varColumn >= m_varCount) {
        return {};
    }
    const std::uint32_t start = varOffset(column.varColumn);
    const std::uint32_t end = varOffset(column.varColumn + 1);
    if (start < header || start > end || end > m_varLimit) {
        m_db.damaged(m_location.page);
    }
    return {m_row + start, end - start};
}

bool RowReader::boolValue(const Column& column) const {
    if (column.rowColumn >= m_columnCount || column.rowColumn < 0) {
        return false;
    }
    const std::uint8_t* nullMask = m_row + m_length - m_nullMaskSize;
    return (nullMask[column.rowColumn / 8] & (1 << (column.rowColumn % 8))) != 0;
}

// ---------------------------------------------------------------- values

// Jet 4 text is UCS-2; "compressed" text starts with FF FE and then holds one
// byte per character for Latin-1, switching to two-byte units and back at
// each 00 byte.
void Database::decodeTextInto(const std::uint8_t* data, std::size_t length,
                              std::u16string& out) const {
    out.clear();
    if (!m_jet3) {
        if (length >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
            out.reserve(length);
            bool compressed = true;
            std::size_t i = 2;
            while (i < length) {
                if (data[i] == 0) {
                    compressed = !compressed;
                    ++i;
                } else if (compressed) {
                    out.push_back(data[i++]);
                } else if (i + 1 < length) {
                    out.push_back(char16_t(data[i] | (data[i + 1] << 8)));
                    i += 2;
                } else {
                    break;
                }
            }
            return;
        }
        out.resize(length / 2);
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
        }
        return;
    }
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i) {
        ascii = data[i] < 0x80;
    }
    if (ascii || m_decoder->codePage == reinterpret_cast<iconv_t>(-1)) {
        out.assign(data, data + length);
        return;
    }
    // A byte never yields more than one UTF-16 unit (two for a four-byte
    // GB18030 sequence), so twice the input is room enough.
    std::string buffer(length * 2 + 4, '\0');
    iconv(m_decoder->codePage, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(data));
    std::size_t inLeft = length;
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    while (inLeft > 0) {
        if (iconv(m_decoder->codePage, &in, &inLeft, &outPtr, &outLeft) != std::size_t(-1)) {
            break;
        }
        if (errno == E2BIG || outLeft < 2) {
            break;
        }
        // An invalid or cut-off sequence: show a replacement character, go on.
        *outPtr++ = char(0xFD);
        *outPtr++ = char(0xFF);
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    const std::size_t units = std::size_t(outPtr - buffer.data()) / 2;
    out.resize(units);
    std::memcpy(out.data(), buffer.data(), units * 2);
}

QString Database::decodeText(const std::uint8_t* data, std::size_t length) const {
    std::u16string text;
    decodeTextInto(data, length, text);
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

// A memo field holds 12 bytes: length and flags, the address of its first
// long-value row, and 4 unused bytes; short memos follow inline.
void Database::readMemoInto(FieldBytes field, std::u16string& out) const {
    out.clear();
    if (field.isNull()) {
        return;
    }
    if (field.length < 12) {
        raise(QStringLiteral("数据库文件已损坏:备注字段无法读取(%1)。").arg(m_path));
    }
    const std::size_t length = u32(field.data) & 0x3FFFFFFF;
    const std::uint8_t flags = field.data[3];
    std::string bytes;
    auto addressed = [&](std::uint32_t pageRow, RowLocation& location) {
        bool moved = false;
        if (!findRow(pageRow >> 8, int(pageRow & 0xFF), location, moved)) {
            damaged(pageRow >> 8);
        }
    };
    if (flags & 0x80) {
        bytes.assign(reinterpret_cast<const char*>(field.data) + 12,
                     std::min<std::size_t>(length, field.length - 12));
    } else if (flags & 0x40) {
        RowLocation location;
        addressed(u32(field.data + 4), location);
        bytes.assign(reinterpret_cast<const char*>(rowBytes(location)),
                     std::min<std::size_t>(length, location.length));
    } else {
        // A chain of rows, each starting with the address of the next. The
        // hop count is bounded by the page count, so a loop cannot hang.
        std::uint32_t pageRow = u32(field.data + 4);
        std::uint32_t hops = 0;
        while (pageRow != 0 && bytes.size() < length) {
            if (++hops > pageCount()) {
                damaged(pageRow >> 8);
            }
            RowLocation location;
            addressed(pageRow, location);
            if (location.length < 4) {
                damaged(location.page);
            }
            const std::uint8_t* row = rowBytes(location);
            bytes.append(reinterpret_cast<const char*>(row) + 4,
                         std::min<std::size_t>(location.length - 4, length - bytes.size()));
            pageRow = u32(row);
        }
    }
    decodeTextInto(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
}

double linearDate(double stored) {
    if (stored >= 0) {
        return stored;
    }
    const double day = std::trunc(stored);
    return day + (day - stored);
}

QDateTime dateFromLinear(double linear) {
    // About ±8000 years around 1900; anything else is damage, not a date.
    if (!std::isfinite(linear) || std::fabs(linear) > 3.0e6) {
        return {};
    }
    double days = std::floor(linear);
    auto msecs = std::llround((linear - days) * 86400000.0);
    if (msecs >= 86400000) {
        days += 1;
        msecs -= 86400000;
    }
    const QDate date = QDate(1899, 12, 30).addDays(qint64(days));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(msecs)), Qt::UTC);
}

double linearFromDate(const QDateTime& dateTime) {
    return double(QDate(1899, 12, 30).daysTo(dateTime.date())) +
           dateTime.time().msecsSinceStartOfDay() / 86400000.0;
}

double numberValue(const RowReader& row, const Column& column, FieldBytes field) {
    if (column.type == MDB_BOOL) {
        return row.boolValue(column) ? -1.0 : 0.0;
    }
    if (field.length < storedSize(column.type)) {
        raise(QStringLiteral("数据库文件已损坏:列 '%1' 的值无法读取。").arg(column.name));
    }
    const std::uint8_t* p = field.data;
    switch (column.type) {
        case MDB_BYTE:
            return p[0];
        case MDB_INT:
            return readRaw<std::int16_t>(p);
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return readRaw<std::int32_t>(p);
        case MDB_MONEY:
            return double(readRaw<std::int64_t>(p)) / 10000.0;
        case MDB_FLOAT:
            return readRaw<float>(p);
        case MDB_DOUBLE:
            return readRaw<double>(p);
        case MDB_NUMERIC:
            return numericValue(p, column.scale);
        default:
            return 0;
    }
}

Value Database::value(const RowReader& row, const Column& column) const {
    if (column.type == MDB_BOOL) {
        return row.boolValue(column);
    }
    const FieldBytes field = row.field(column);
    if (field.isNull()) {
        return {};
    }
    if (field.length < storedSize(column.type)) {
        raise(
            QStringLiteral("数据库文件已损坏:列 '%1' 的值无法读取(%2)。").arg(column.name, m_path));
    }
    const std::uint8_t* p = field.data;
    switch (column.type) {
        case MDB_BYTE:
            return qint64(p[0]);
        case MDB_INT:
            return qint64(readRaw<std::int16_t>(p));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return qint64(readRaw<std::int32_t>(p));
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC:
            return numberValue(row, column, field);
        case MDB_DATETIME:
            return dateFromLinear(linearDate(readRaw<double>(p)));
        case MDB_TEXT:
            return decodeText(p, field.length);
        case MDB_MEMO: {
            std::u16string text;
            readMemoInto(field, text);
            return QString::fromUtf16(text.data(), qsizetype(text.size()));
        }
        case MDB_REPID:
            return guidText(p);
        case MDB_OLE:
            return QStringLiteral("长二进制数据");
        default:
            return QStringLiteral("0x") +
                   QString::fromLatin1(
                       QByteArray(reinterpret_cast<const char*>(p), field.length).toHex());
    }
}

}  // namespace vaskord::data
