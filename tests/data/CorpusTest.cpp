// Every user table of every file Access wrote, read by this reader and by
// libmdb's own row reader (mdb_fetch_row with bound columns, and its row
// cracking for the NULL flags), compared field by field, row by row. Where
// libmdb is known to be wrong, a named exception says how the field is
// checked instead, and a second test holds the value Access shows there.
#include <gtest/gtest.h>

#include <mdbtools.h>
#include <QDir>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "TsvTwin.h"
#include "data/Errors.h"
#include "data/Query.h"
#include "data/access/Database.h"
#include "data/access/FieldValues.h"
#include "tests/CaseName.h"

using vaskord::data::Column;
using vaskord::data::Database;
using vaskord::data::RowLocation;
using vaskord::data::RowReader;
using vaskord::data::Table;
using vaskord::data::Value;

namespace {

enum class Deviation {
    // libmdb prints a date outside 1900 to 9998 as 1900-01-00.
    DateOutOfLibmdbRange,
    // libmdb turns Jet 3 bytes that code page 1252 leaves undefined into
    // '?', this reader into U+FFFD.
    UndefinedCodePageByte,
    // libmdb lists a row that grew and moved where it now sits; Access, and
    // this reader, where it was written. Rows are compared as a set.
    MovedRows,
    // libmdb reads the stored bytes of a calculated column, header and all.
    CalculatedColumn,
    // libmdb does not know the Date/Time Extended type.
    ExtendedDate,
};

// A place where libmdb is wrong, and a value Access shows there (row in this
// reader's order; a date as yyyy-MM-dd HH:mm:ss).
struct Exception {
    const char* name;
    const char* file;
    const char* table;
    const char* column;  // "*": every column of the table
    Deviation deviation;
    int row;
    const char* checkColumn;
    const char* expected;
};

const Exception kExceptions[] = {
    {"OldDatesBeforeGregorianReform", "oldDatesV2007.accdb", "Table1", "DateField",
     Deviation::DateOutOfLibmdbRange, 0, "DateField", "1582-10-15 00:00:00"},
    {"DateNormalBefore1900", "extDateTestV2019.accdb", "Table1", "DateNormal",
     Deviation::DateOutOfLibmdbRange, 6, "DateNormal", "1765-06-14 12:45:00"},
    {"Jet3DatesBefore1900", "testIndexCodesV1997.mdb", "Table6", "data",
     Deviation::DateOutOfLibmdbRange, 17, "data", "1805-06-12 00:00:00"},
    {"Jet3DatesBefore1900Descending", "testIndexCodesV1997.mdb", "Table6_desc", "data",
     Deviation::DateOutOfLibmdbRange, 17, "data", "1805-06-12 00:00:00"},
    {"Jet3UndefinedByte", "testIndexCodesV1997.mdb", "Table14", "data",
     Deviation::UndefinedCodePageByte, 34, "data",
     "a\xEF\xBF\xBD"
     "a"},
    {"Jet3UndefinedByteDescending", "testIndexCodesV1997.mdb", "Table14_desc", "data",
     Deviation::UndefinedCodePageByte, 34, "data",
     "a\xEF\xBF\xBD"
     "a"},
    {"Jet3UndefinedByteInIndexedText", "testIndexCodesV1997.mdb", "Table1", "data",
     Deviation::UndefinedCodePageByte, 34, "data",
     "AA\xEF\xBF\xBD"
     "AA"},
    {"Jet3UndefinedByteInIndexedTextDescending", "testIndexCodesV1997.mdb", "Table1_desc", "data",
     Deviation::UndefinedCodePageByte, 209, "data",
     "AA\xEF\xBF\xBD"
     "AA"},
    {"OverflowRowsJet4", "overflowTestV2000.mdb", "Table1", "*", Deviation::MovedRows, 1, "data3",
     "row2col3"},
    {"OverflowRowsJet4Third", "overflowTestV2000.mdb", "Table1", "*", Deviation::MovedRows, 2,
     "data9", "row3col9"},
    {"OverflowRowsAccess2007", "overflowTestV2007.accdb", "Table1", "*", Deviation::MovedRows, 1,
     "data3", "row2col3"},
    {"OverflowRowsJet3", "overflowTestV1997.mdb", "Table1", "*", Deviation::MovedRows, 1, "data3",
     "row2col3"},
    {"ExtendedDateMovedRows", "extDateTestV2019.accdb", "Table1", "*", Deviation::MovedRows, 6,
     "DateNormal", "1765-06-14 12:45:00"},
    {"CalculatedText", "calcFieldTestV2010.accdb", "Table1", "LastFirst",
     Deviation::CalculatedColumn, 0, "LastFirst", "Wayne, Bruce"},
    {"CalculatedLength", "calcFieldTestV2010.accdb", "Table1", "LastFirstLen",
     Deviation::CalculatedColumn, 0, "LastFirstLen", "12"},
    {"CalculatedMemo", "calcFieldTestV2010.accdb", "Table1", "AllNames",
     Deviation::CalculatedColumn, 0, "AllNames", "Wayne, Bruce=Wayne, Bruce"},
    {"CalculatedYesNo", "calcFieldTestV2010.accdb", "Table1", "IsRich", Deviation::CalculatedColumn,
     0, "IsRich", "1"},
    {"CalculatedDecimal", "calcFieldTestV2010.accdb", "Table1", "DecimalTest",
     Deviation::CalculatedColumn, 0, "DecimalTest", "50.325"},
    {"CalculatedSingle", "calcFieldTestV2010.accdb", "Table1", "FloatTest",
     Deviation::CalculatedColumn, 0, "FloatTest", "2583.2092"},
    {"CalculatedDecimalInDoubleColumn", "calcFieldTestV2010.accdb", "Table1", "WeeklySalary",
     Deviation::CalculatedColumn, 0, "WeeklySalary", "19230.7692307692"},
    {"CalculatedCurrency", "calcFieldTestV2010.accdb", "Table1", "SalaryTest",
     Deviation::CalculatedColumn, 1, "SalaryTest", "-1"},
    {"CalculatedYesNoConstant", "calcFieldTestV2010.accdb", "Table1", "BoolTest",
     Deviation::CalculatedColumn, 2, "BoolTest", "1"},
    {"CalculatedBigDecimal", "calcFieldTestV2010.accdb", "Table1", "BigNumTest",
     Deviation::CalculatedColumn, 0, "BigNumTest", "56505085819.424791296572280180"},
    {"CalculatedDate", "extDateTestV2019.accdb", "Table1", "DateNormalCalc",
     Deviation::CalculatedColumn, 6, "DateNormalCalc", "1765-06-14 12:45:00"},
    {"ExtendedDate", "extDateTestV2019.accdb", "Table1", "DateExt", Deviation::ExtendedDate, 0,
     "DateExt", "2020-06-17 00:00:00"},
};

const Exception* exceptionFor(const QString& file, const QString& table, const QString& column) {
    const Exception* wholeTable = nullptr;
    for (const Exception& e : kExceptions) {
        if (file != QLatin1String(e.file) || table != QLatin1String(e.table)) {
            continue;
        }
        if (column == QLatin1String(e.column)) {
            return &e;
        }
        if (QLatin1String(e.column) == QLatin1String("*")) {
            wholeTable = &e;
        }
    }
    return wholeTable;
}

// A calculated column whose 8-byte result is Currency although the column
// records Double: only the column's result-type property tells, and this
// reader does not parse properties. Not compared.
bool isUncheckedCalculated(const QString& file, const Column& column) {
    return column.calculated && file == QLatin1String("calcFieldTestV2010.accdb") &&
           column.name == QLatin1String("MonthlySalary");
}

// One field as text, or null; numbers compared apart.
struct Cell {
    bool null = false;
    std::string text;
};

std::string ourText(const Value& value) {
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? "1" : "0";
    }
    if (const auto* n = std::get_if<qint64>(&value)) {
        return std::to_string(*n);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        return QString::number(*d, 'g', 17).toStdString();
    }
    if (const auto* s = std::get_if<QString>(&value)) {
        return s->toStdString();
    }
    if (const auto* t = std::get_if<QDateTime>(&value)) {
        // To the nearest second, as libmdb prints it.
        return t->addMSecs(500).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    }
    return {};
}

std::vector<std::vector<Cell>> ourRows(Database& db, const Table& table) {
    std::vector<std::vector<Cell>> rows;
    std::vector<RowLocation> locations;
    for (const std::uint32_t page : table.dataPages) {
        locations.clear();
        db.rowsOfPage(table, page, locations);
        for (const RowLocation& location : locations) {
            const RowReader reader(db, table, location);
            std::vector<Cell> row;
            for (const Column& column : table.columns) {
                const Value value = db.value(reader, column);
                row.push_back({vaskord::data::isNull(value), ourText(value)});
            }
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

struct MdbCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableDefCloser {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

std::vector<std::vector<Cell>> libmdbRows(MdbHandle* mdb, const QString& name) {
    std::vector<std::vector<Cell>> rows;
    std::unique_ptr<MdbTableDef, TableDefCloser> table(
        mdb_read_table_by_name(mdb, const_cast<gchar*>(name.toUtf8().constData()), MDB_TABLE));
    if (!table || mdb_read_columns(table.get()) == nullptr) {
        return rows;
    }
    mdb_rewind_table(table.get());
    const unsigned columns = table->num_cols;
    std::vector<std::vector<char>> bound(columns, std::vector<char>(MDB_BIND_SIZE));
    std::vector<int> lengths(columns);
    for (unsigned c = 0; c < columns; ++c) {
        mdb_bind_column(table.get(), int(c) + 1, bound[c].data(), &lengths[c]);
    }
    std::vector<MdbField> fields(columns);
    while (mdb_fetch_row(table.get())) {
        // The row just read is still in the page buffer: crack it again for
        // its NULL flags, which the bound text cannot tell from "".
        int start = 0;
        size_t size = 0;
        std::vector<bool> nulls(columns, false);
        if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &size) == 0 &&
            mdb_crack_row(table.get(), start & 0x1FFF, size, fields.data()) >= 0) {
            for (unsigned f = 0; f < columns; ++f) {
                if (fields[f].colnum >= 0 && unsigned(fields[f].colnum) < columns) {
                    nulls[unsigned(fields[f].colnum)] = fields[f].is_null != 0;
                }
            }
        }
        std::vector<Cell> row;
        for (unsigned c = 0; c < columns; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            const bool null = col->col_type != MDB_BOOL && nulls[c];
            row.push_back({null, null ? std::string() : std::string(bound[c].data())});
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool sameNumber(const std::string& ours, const std::string& theirs, double tolerance) {
    char* end = nullptr;
    const double a = std::strtod(ours.c_str(), &end);
    const double b = std::strtod(theirs.c_str(), &end);
    return std::fabs(a - b) <= tolerance * std::max({1.0, std::fabs(a), std::fabs(b)});
}

bool outOfLibmdbRange(const std::string& date) {
    return date < "1900-01-01" || date >= "9999";
}

// Whether libmdb's field agrees with ours, allowing for how each prints.
bool agrees(const Column& column, const Cell& ours, const Cell& theirs, const Exception* e) {
    if (e != nullptr && e->deviation == Deviation::CalculatedColumn) {
        return true;
    }
    if (e != nullptr && e->deviation == Deviation::ExtendedDate) {
        return true;
    }
    if (ours.null != theirs.null) {
        return false;
    }
    if (ours.null) {
        return true;
    }
    switch (column.type) {
        case MDB_FLOAT:
            return sameNumber(ours.text, theirs.text, 1e-6);
        case MDB_DOUBLE:
        case MDB_MONEY:
        case MDB_NUMERIC:
            return sameNumber(ours.text, theirs.text, 1e-12);
        case MDB_DATETIME:
            if (e != nullptr && e->deviation == Deviation::DateOutOfLibmdbRange &&
                outOfLibmdbRange(ours.text)) {
                return true;
            }
            return ours.text == theirs.text;
        case MDB_REPID:
            // libmdb leaves out the last dash.
            return QString::fromStdString(ours.text).remove(u'-').compare(
                       QString::fromStdString(theirs.text).remove(u'-'), Qt::CaseInsensitive) == 0;
        case MDB_TEXT:
        case MDB_MEMO: {
            std::string mine = ours.text;
            if (e != nullptr && e->deviation == Deviation::UndefinedCodePageByte) {
                for (std::size_t at; (at = mine.find("\xEF\xBF\xBD")) != std::string::npos;) {
                    mine.replace(at, 3, "?");
                }
            }
            // libmdb cuts a bound value to its buffer.
            if (theirs.text.size() >= MDB_BIND_SIZE - 4) {
                return mine.compare(0, theirs.text.size(), theirs.text) == 0;
            }
            return mine == theirs.text;
        }
        case MDB_BOOL:
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return ours.text == theirs.text;
        default:
            // Binary, OLE and types libmdb does not know: it binds no usable
            // bytes, and only the NULL flag is compared.
            return true;
    }
}

std::string describe(const Cell& cell) {
    return cell.null ? std::string("NULL") : "'" + cell.text + "'";
}

TEST(AccessCorpus, EveryFieldAgreesWithLibmdbsRowReader) {
    const QStringList files = corpusFiles();
    ASSERT_GE(files.size(), 40) << "corpus not unpacked into " << corpusDir().toStdString();
    int tablesCompared = 0;
    for (const QString& path : files) {
        const QString file = QFileInfo(path).fileName();
        SCOPED_TRACE(file.toStdString());
        std::shared_ptr<Database> db;
        try {
            db = Database::open(path);
        } catch (const vaskord::data::DatabaseError& error) {
            ADD_FAILURE() << "cannot open: " << error.what();
            continue;
        }
        std::unique_ptr<MdbHandle, MdbCloser> mdb(mdb_open(path.toUtf8().constData(), MDB_NOFLAGS));
        ASSERT_TRUE(mdb);
        mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
        mdb_set_shortdate_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
        mdb_set_boolean_fmt_numbers(mdb.get());
        ASSERT_TRUE(mdb_read_catalog(mdb.get(), MDB_TABLE));
        QStringList names = db->tableNames();
        names.sort();
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            const Table& table = db->table(name);
            std::vector<std::vector<Cell>> ours;
            try {
                ours = ourRows(*db, table);
            } catch (const vaskord::data::DatabaseError& error) {
                ADD_FAILURE() << "cannot read: " << error.what();
                continue;
            }
            std::vector<std::vector<Cell>> theirs = libmdbRows(mdb.get(), name);
            ASSERT_EQ(ours.size(), theirs.size());
            ++tablesCompared;
            const Exception* whole = exceptionFor(file, name, QStringLiteral("*"));
            const bool moved = whole != nullptr && whole->deviation == Deviation::MovedRows;
            auto rowsAgree = [&](const std::vector<Cell>& mine, const std::vector<Cell>& other) {
                for (std::size_t c = 0; c < table.columns.size(); ++c) {
                    const Exception* e = exceptionFor(file, name, table.columns[c].name);
                    if (isUncheckedCalculated(file, table.columns[c])) {
                        continue;
                    }
                    if (!agrees(table.columns[c], mine[c], other[c], e == whole ? nullptr : e)) {
                        return false;
                    }
                }
                return true;
            };
            if (moved) {
                // Each of our rows must pair with one of libmdb's.
                std::vector<bool> used(theirs.size(), false);
                for (std::size_t r = 0; r < ours.size(); ++r) {
                    std::size_t t = 0;
                    while (t < theirs.size() && (used[t] || !rowsAgree(ours[r], theirs[t]))) {
                        ++t;
                    }
                    EXPECT_LT(t, theirs.size()) << "row " << r << " has no match in libmdb's rows";
                    if (t < theirs.size()) {
                        used[t] = true;
                    }
                }
                continue;
            }
            int reported = 0;
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                const Column& column = table.columns[c];
                const Exception* e = exceptionFor(file, name, column.name);
                if (isUncheckedCalculated(file, column)) {
                    continue;
                }
                if (column.type == vaskord::data::kTypeBigInt) {
                    continue;
                }
                for (std::size_t r = 0; r < ours.size() && reported < 5; ++r) {
                    if (!agrees(column, ours[r][c], theirs[r][c], e)) {
                        ADD_FAILURE()
                            << "row " << r << " column " << column.name.toStdString() << ": ours "
                            << describe(ours[r][c]) << ", libmdb " << describe(theirs[r][c]);
                        ++reported;
                    }
                }
            }
        }
    }
    EXPECT_GE(tablesCompared, 100);
}

class CorpusExceptionTest : public testing::TestWithParam<Exception> {};

// Each exception holds because this reader gives the value Access shows.
TEST_P(CorpusExceptionTest, ReaderGivesTheValueAccessShows) {
    const Exception& e = GetParam();
    QString path;
    for (const QString& file : corpusFiles()) {
        if (QFileInfo(file).fileName() == QLatin1String(e.file)) {
            path = file;
        }
    }
    ASSERT_FALSE(path.isEmpty()) << e.file;
    const std::shared_ptr<Database> db = Database::open(path);
    const Table& table = db->table(QString::fromUtf8(e.table));
    const int column = table.columnIndex(QString::fromUtf8(e.checkColumn));
    ASSERT_GE(column, 0);
    const std::vector<std::vector<Cell>> rows = ourRows(*db, table);
    ASSERT_LT(std::size_t(e.row), rows.size());
    const Cell& cell = rows[std::size_t(e.row)][std::size_t(column)];
    if (table.columns[std::size_t(column)].valueClass == vaskord::data::ValueClass::Number) {
        EXPECT_TRUE(sameNumber(cell.text, e.expected, 1e-6)) << cell.text << " vs " << e.expected;
    } else {
        EXPECT_EQ(cell.text, e.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Named, CorpusExceptionTest, testing::ValuesIn(kExceptions),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// What the reader gives reaches the dialect: conditions and sorting see the
// values Access shows. Each row: a query, the rows it gives, and the text of
// one field of its first row.
struct DialectCase {
    const char* name;
    const char* file;  // in the corpus, or fixtures/real when it starts with "real/"
    const char* sql;
    int rows;
    const char* column;
    const char* firstValue;
};

class CorpusDialectTest : public testing::TestWithParam<DialectCase> {};

TEST_P(CorpusDialectTest, ConditionsAndOrderSeeTheStoredValues) {
    const DialectCase& c = GetParam();
    QString path;
    const QString file = QString::fromUtf8(c.file);
    if (file.startsWith(QLatin1String("real/"))) {
        path = QStringLiteral(VASKORD_FIXTURE_DIR "/") + file;
    }
    for (const QString& candidate : corpusFiles()) {
        if (QFileInfo(candidate).fileName() == file) {
            path = candidate;
        }
    }
    ASSERT_FALSE(path.isEmpty()) << c.file;
    vaskord::data::Connection connection;
    connection.setConnectionString(QStringLiteral("Data Source=") + path);
    connection.open();
    vaskord::data::Query query;
    query.setConnection(&connection);
    query.setSql(QString::fromUtf8(c.sql));
    query.open();
    EXPECT_EQ(query.recordCount(), c.rows);
    if (c.column != nullptr) {
        ASSERT_FALSE(query.atEnd());
        EXPECT_EQ(ourText(query.value(QString::fromUtf8(c.column))), c.firstValue);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, CorpusDialectTest,
    testing::Values(
        // The NULL flag of a column comes from its bit in the row's mask.
        DialectCase{"nullRegionOfSuppliers", "real/nwind.mdb",
                    "select * from Suppliers where Region is null order by SupplierID", 20, "City",
                    "London"},
        DialectCase{"yesNoOfATableWithAddedColumns", "testV2000.mdb",
                    "select * from Table1 where I = -1", 1, "A", "abcdefg"},
        DialectCase{"currencyZeroIsNotNull", "testV2000.mdb", "select * from Table1 where H = 0", 1,
                    "A", "a"},
        DialectCase{"deletedColumnLeavesTheNextReadable", "delColTestV2007.accdb",
                    "select * from Table1 where data2 = 'foo2'", 1, "data2", "foo2"},
        // A Decimal is scaled by its scale, not its precision.
        DialectCase{"decimalEqualsOne", "fixedNumericTestV2000.mdb",
                    "select * from test where col2 = 1 and col6 = -1", 1, "col5", "4"},
        // Date/Time Extended compares and sorts as a date.
        DialectCase{"extendedDateSorted", "extDateTestV2019.accdb",
                    "select * from Table1 where DateExt is not null order by DateExt desc", 8,
                    nullptr, nullptr},
        DialectCase{"extendedDateCompared", "extDateTestV2019.accdb",
                    "select * from Table1 where DateExt < #1800-01-01# order by DateExt", 3,
                    "DateExt", "0100-06-14 12:45:00"},
        // A calculated column compares by its result.
        DialectCase{"calculatedTextCompared", "calcFieldTestV2010.accdb",
                    "select * from Table1 where LastFirst = 'Wayne, Bruce'", 1, "LastFirstLen",
                    "12"},
        DialectCase{"calculatedNumberSorted", "calcFieldTestV2010.accdb",
                    "select * from Table1 order by LastFirstLen", 4, "LastFirst", "Doe, John"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
