// Libraries damaged or locked in ways a copy, a crash or a password leave
// them: each is refused with a message naming the damage, never read as a
// shorter list or an empty one.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>
#include <functional>

#include "TsvTwin.h"
#include "data/Errors.h"
#include "data/Query.h"
#include "data/access/Database.h"
#include "tests/CaseName.h"

using vaskord::data::Connection;
using vaskord::data::Database;
using vaskord::data::DatabaseError;
using vaskord::data::Query;

namespace {

constexpr int kPageSize = 4096;

QByteArray cutTo(const char* fixture, int pages) {
    return readAll(fixturePath(QString::fromUtf8(fixture))).left(pages * kPageSize);
}

// Page 0 is masked with a fixed RC4 stream from 0x18 on; flipping a bit of
// the masked bytes flips the same bit underneath, here in the key that
// marks the other pages as encrypted.
QByteArray withEncodingKey(const char* fixture) {
    QByteArray file = readAll(fixturePath(QString::fromUtf8(fixture)));
    file[0x3E] = char(file[0x3E] ^ 0x01);
    return file;
}

void putU32(QByteArray& file, qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i) {
        file[at + i] = char((value >> (8 * i)) & 0xFF);
    }
}

// The first song's memo turned into a chain of long-value rows: `length`
// bytes said, starting at a row of the page that holds system text, whose
// own link is set to `next` (0 ends the chain, the row itself loops).
QByteArray withMemoChain(quint32 length, bool loop) {
    const QString path = fixturePath(QStringLiteral("songs-demo.mdb"));
    QByteArray file = readAll(path);
    const std::shared_ptr<Database> db = Database::open(path);
    const vaskord::data::Table& table = db->table(QStringLiteral("Ok_Song"));
    const auto& memo = table.columns[std::size_t(table.columnIndex(QStringLiteral("S_Memo")))];
    std::vector<vaskord::data::RowLocation> rows;
    db->rowsOfPage(table, table.dataPages.front(), rows);
    const vaskord::data::RowReader reader(*db, table, rows.front());
    const qsizetype memoAt = reader.field(memo).data - db->page(0);
    // Long-value page 22 holds one row, at the offset its row table gives.
    constexpr quint32 kLongValuePage = 22;
    const qsizetype page = qsizetype(kLongValuePage) * kPageSize;
    const int rowStart = (quint8(file[page + 14]) | quint8(file[page + 15]) << 8) & 0x1FFF;
    putU32(file, memoAt, length);  // flags 0: a chain
    putU32(file, memoAt + 4, kLongValuePage << 8);
    putU32(file, page + rowStart, loop ? kLongValuePage << 8 : 0);
    return file;
}

struct DamageCase {
    const char* name;
    std::function<QByteArray()> make;
    const char* named;  // in the message
};

class DamageTest : public testing::TestWithParam<DamageCase> {};

TEST_P(DamageTest, IsRefusedWithAMessageNamingIt) {
    const DamageCase& c = GetParam();
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("歌库.mdb"));
    writeAll(path, c.make());
    Connection connection;
    connection.setConnectionString(QStringLiteral("Data Source=") + path);
    try {
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql(QStringLiteral("select * from Ok_Song"));
        query.open();
        for (; !query.atEnd(); query.next()) {
            query.fieldText(QStringLiteral("S_Memo"));
        }
        FAIL() << "read as a whole library";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QString::fromUtf8(c.named)))
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, DamageTest,
    testing::Values(
        // Cut short: the song table's page map (page 25) or its data pages
        // lie past the end; the definition still counts 120 or 3,000 rows.
        DamageCase{"edgeCutTo25Pages", [] { return cutTo("songs-edge.mdb", 25); },
                   "页面表超出文件末尾"},
        DamageCase{"edgeCutTo26Pages", [] { return cutTo("songs-edge.mdb", 26); }, "记录有 120 行"},
        DamageCase{"edgeCutTo27Pages", [] { return cutTo("songs-edge.mdb", 27); }, "记录有 120 行"},
        DamageCase{"demoCutTo25Pages", [] { return cutTo("songs-demo.mdb", 25); },
                   "页面表超出文件末尾"},
        DamageCase{"demoCutTo26Pages", [] { return cutTo("songs-demo.mdb", 26); },
                   "记录有 3000 行"},
        DamageCase{"demoCutTo27Pages", [] { return cutTo("songs-demo.mdb", 27); },
                   "记录有 3000 行"},
        DamageCase{"demoCutTo28Pages", [] { return cutTo("songs-demo.mdb", 28); },
                   "记录有 3000 行"},
        DamageCase{"demoCutTo29Pages", [] { return cutTo("songs-demo.mdb", 29); },
                   "记录有 3000 行"},
        DamageCase{"demoCutTo100Pages", [] { return cutTo("songs-demo.mdb", 100); },
                   "记录有 3000 行"},
        // A database password (Access 2007 and later) or an encoded Jet file.
        DamageCase{"access2007WithPassword",
                   [] { return withEncodingKey("real/ASampleDatabase.accdb"); },
                   "加密(设有数据库密码)"},
        DamageCase{"jet4Encoded", [] { return withEncodingKey("songs-edge.mdb"); }, "加密"},
        // A memo's chain of long-value rows that loops, ends before the
        // memo's length, or holds more than it.
        DamageCase{"memoChainLoopsBack", [] { return withMemoChain(100000, true); }, "循环"},
        DamageCase{"memoChainEndsEarly", [] { return withMemoChain(100000, false); }, "S_Memo"},
        DamageCase{"memoChainRunsPastItsLength", [] { return withMemoChain(10, false); },
                   "S_Memo"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
