#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "TsvTwin.h"
#include "data/Query.h"
#include "tests/CaseName.h"

using vaskord::data::Connection;
using vaskord::data::DatabaseError;
using vaskord::data::Query;

namespace {

// Files written by Access itself: each is opened, one table read whole, and
// one cell checked against what Access shows.
struct RealFileCase {
    const char* name;
    const char* file;
    const char* table;
    int rows;
    int row;  // the checked cell, in the table's order
    const char* column;
    const char* text;
};

class RealFileTest : public testing::TestWithParam<RealFileCase> {};

TEST_P(RealFileTest, OpensAndReadsATable) {
    const RealFileCase& c = GetParam();
    Connection connection;
    connection.setConnectionString(
        QStringLiteral("Data Source=") +
        fixturePath(QStringLiteral("real/") + QString::fromUtf8(c.file)));
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql(QStringLiteral("select * from [%1]").arg(QString::fromUtf8(c.table)));
    query.open();
    ASSERT_EQ(query.recordCount(), c.rows);
    QString found;
    for (int i = 0; !query.atEnd(); query.next(), ++i) {
        for (const QString& column : query.columnNames()) {
            const QString text = query.fieldText(column);  // every field decodes
            if (i == c.row && column == QString::fromUtf8(c.column)) {
                found = text;
            }
        }
    }
    EXPECT_EQ(found, QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    AccessFiles, RealFileTest,
    testing::Values(
        // Jet 3, code page 1252: the table name and the text are decoded from it.
        RealFileCase{"jet3Umsaetze", "nwind.mdb", "Umsätze", 830, 2, "ShipName", "Mère Paillarde"},
        RealFileCase{"jet3Customers", "nwind.mdb", "Customers", 91, 0, "CompanyName",
                     "Alfreds Futterkiste"},
        RealFileCase{"jet3Small", "testV1997.mdb", "Table1", 2, 1, "A", "abcdefg"},
        RealFileCase{"jet3Empty", "testV1997.mdb", "Table2", 0, -1, "", ""},
        RealFileCase{"jet4CompressedUnicode", "testUnicodeCompV2003.mdb", "Table", 8, 2, "Unicode",
                     "Мир"},
        RealFileCase{"jet4CompressedUnicodeCjk", "testUnicodeCompV2003.mdb", "Table", 8, 4,
                     "Unicode", "漢字仮名交じり文"},
        RealFileCase{"jet4MemoWithNewLine", "DateTestDatabase.mdb", "DateTest", 6, 5, "LongTextCol",
                     "New line\r\nin field"},
        RealFileCase{"access2007", "ASampleDatabase.accdb", "Asset Items", 65, 0, "Make",
                     "GEO Rocket"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// Dates outside what a two-digit year can show, before 1900 among them.
TEST(RealDatesTest, DatesBefore1900AndAfter2000ComeOutWhole) {
    Connection connection;
    connection.setConnectionString(QStringLiteral("Data Source=") +
                                   fixturePath(QStringLiteral("real/DateTestDatabase.mdb")));
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql(
        QStringLiteral("select IDCol, DateTimeCol from DateTest where DateTimeCol < #1900-01-01# "
                       "or DateTimeCol > #9000-01-01# order by DateTimeCol"));
    query.open();
    QList<QDate> dates;
    for (; !query.atEnd(); query.next()) {
        dates << std::get<QDateTime>(query.value(QStringLiteral("DateTimeCol"))).date();
    }
    EXPECT_EQ(dates, (QList<QDate>{QDate(632, 1, 1), QDate(1898, 1, 1), QDate(9999, 1, 1)}));
}

TEST(RealFileErrorTest, ATableTheFileLacksIsReportedByName) {
    Connection connection;
    connection.setConnectionString(QStringLiteral("Data Source=") +
                                   fixturePath(QStringLiteral("real/nwind.mdb")));
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql(QStringLiteral("select * from Ok_Song"));
    try {
        query.open();
        FAIL();
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("找不到表 'Ok_Song'")))
            << error.what();
    }
}

// A library whose data pages are garbled opens (the catalog is intact) but
// its query fails with a message instead of crashing or reading garbage.
struct DamageCase {
    const char* name;
    int offset;  // in every data page of the song table
    QByteArray bytes;
};

class DamagedLibraryTest : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedLibraryTest, TheQueryFailsWithAMessage) {
    QByteArray file = readAll(fixturePath(QStringLiteral("songs-demo.mdb")));
    const int pageSize = 4096;
    int damaged = 0;
    for (int page = 3; page < file.size() / pageSize; ++page) {
        char* p = file.data() + page * pageSize;
        const quint32 owner = quint8(p[4]) | quint8(p[5]) << 8 | quint8(p[6]) << 16;
        if (p[0] == 0x01 && owner > 2) {  // a data page of a user table
            std::memcpy(p + GetParam().offset, GetParam().bytes.constData(),
                        std::size_t(GetParam().bytes.size()));
            ++damaged;
        }
    }
    ASSERT_GT(damaged, 0);
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("损坏的歌库.mdb"));
    writeAll(path, file);

    Connection connection;
    connection.setConnectionString(QStringLiteral("Data Source=") + path);
    try {
        connection.open();
        Query query;
        query.setConnection(&connection);
        query.setSql(QStringLiteral("select * from Ok_Song order by S_NAME"));
        query.open();
        for (; !query.atEnd(); query.next()) {
            query.fieldText(QStringLiteral("S_Memo"));
        }
        FAIL() << "read a damaged library";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("损坏")))
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Garbled, DamagedLibraryTest,
    testing::Values(DamageCase{"rowCountBeyondThePage", 12, QByteArray("\xff\x7f", 2)},
                    DamageCase{"firstRowOffsetInsideTheHeader", 14, QByteArray("\x02\x00", 2)},
                    DamageCase{"lastBytesOfTheFirstRow", 4096 - 6, QByteArray(6, '\xff')}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace

namespace {

// Inputs the fuzz target once hung or crashed on. Each must now end, with
// rows or with a DatabaseError.
TEST(FuzzFindingTest, EveryFindingOpensOrFailsWithAMessage) {
    const QDir findings(QStringLiteral(VASKORD_FUZZ_FINDINGS_DIR));
    const QStringList files = findings.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        Connection connection;
        connection.setConnectionString(QStringLiteral("Data Source=") + findings.filePath(file));
        try {
            connection.open();
            Query query;
            query.setConnection(&connection);
            query.setSql(QStringLiteral("select * from Table1"));
            query.open();
            for (; !query.atEnd(); query.next()) {
                for (const QString& column : query.columnNames()) {
                    query.fieldText(column);
                }
            }
        } catch (const DatabaseError&) {
        }
    }
}

}  // namespace
