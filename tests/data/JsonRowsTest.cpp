// The JSON Lines written straight from row bytes against the same rows read
// as typed values: every table of every fixture library, and the edge cases
// of the forms themselves.

#include <gtest/gtest.h>

#include <limits>

#include "TsvTwin.h"
#include "data/JsonText.h"
#include "data/Query.h"
#include "data/access/Database.h"
#include "data/access/FieldValues.h"
#include "data/access/Rows.h"
#include "tests/CaseName.h"

using namespace vaskord::data;

namespace {

std::u16string_view view(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())};
}

// The current row as the typed values give it, or the error reading it.
std::string lineFromValues(const Query& query) {
    try {
        std::string line = "{";
        for (const QString& column : query.columnNames()) {
            if (line.size() > 1) {
                line += ',';
            }
            appendJsonString(line, view(column));
            line += ':';
            appendJsonValue(line, query.value(column));
        }
        return line + "}\n";
    } catch (const DatabaseError& error) {
        return std::string("error: ") + error.what();
    }
}

// The current row straight from its bytes, or the error reading it.
std::string lineFromBytes(const Query& query) {
    try {
        std::string line;
        query.appendJsonLine(line);
        return line;
    } catch (const DatabaseError& error) {
        return std::string("error: ") + error.what();
    }
}

// Every row of every table of the file, both ways; returns the rows compared.
int compareEveryTable(const QString& path) {
    Connection connection;
    connection.setConnectionString(QStringLiteral("Data Source=") + path);
    connection.open();
    int rows = 0;
    for (const QString& table : connection.database()->tableNames()) {
        SCOPED_TRACE(table.toStdString());
        Query query;
        query.setConnection(&connection);
        query.setSql(QStringLiteral("select * from [%1]").arg(table));
        query.open();
        for (int row = 0; !query.atEnd(); query.next(), ++row, ++rows) {
            const std::string fromBytes = lineFromBytes(query);
            EXPECT_EQ(fromBytes, lineFromValues(query)) << "row " << row;
            if (fromBytes != lineFromValues(query)) {
                return rows;
            }
        }
    }
    return rows;
}

struct LibraryCase {
    const char* name;
    const char* file;  // under tests/fixtures
};

class JsonRowsTest : public testing::TestWithParam<LibraryCase> {};

// Damage that fails a row must fail it the same way on both paths.
TEST_P(JsonRowsTest, EveryTableWritesWhatItsValuesGive) {
    EXPECT_GT(compareEveryTable(fixturePath(QString::fromUtf8(GetParam().file))), 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JsonRowsTest,
                         testing::Values(LibraryCase{"songsEdge", "songs-edge.mdb"},
                                         LibraryCase{"songsDemoWithMemo", "songs-demo.mdb"},
                                         LibraryCase{"jet3CodePage1252", "real/nwind.mdb"},
                                         LibraryCase{"jet3", "real/testV1997.mdb"},
                                         LibraryCase{"jet4CompressedText",
                                                     "real/testUnicodeCompV2003.mdb"},
                                         LibraryCase{"jet4Dates", "real/DateTestDatabase.mdb"},
                                         LibraryCase{"access2007", "real/ASampleDatabase.accdb"}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// Files Access wrote, from Access 97 to 2019: deleted and inserted columns,
// moved rows, Decimal, calculated columns, Date/Time Extended and more.
TEST(JsonRowsCorpusTest, EveryTableOfEveryFileWritesWhatItsValuesGive) {
    const QStringList files = corpusFiles();
    ASSERT_GE(files.size(), 40) << "corpus not unpacked into " << corpusDir().toStdString();
    int rows = 0;
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        rows += compareEveryTable(file);
    }
    EXPECT_GT(rows, 1000);
}

// Stored Date/Time values (days since 1899-12-30; before it a negative day
// with a positive fraction) written from their parts and through QDateTime.
struct DateCase {
    const char* name;
    double stored;
    const char* json;
};

class JsonDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(JsonDateTest, PartsAndQDateTimeAgree) {
    const double linear = linearDate(GetParam().stored);
    std::string fromParts;
    if (!appendJsonDate(fromParts, linear)) {
        fromParts = "null";
    }
    std::string fromValue;
    appendJsonValue(fromValue, dateFromLinear(linear));
    EXPECT_EQ(fromParts, fromValue);
    EXPECT_EQ(fromParts, GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, JsonDateTest,
    testing::Values(
        DateCase{"dayZero", 0, "\"1899-12-30T00:00:00\""},
        DateCase{"negativeDayPositiveTime", -1.25, "\"1899-12-29T06:00:00\""},
        DateCase{"leapDay2000", 36585.5, "\"2000-02-29T12:00:00\""},
        DateCase{"notALeapDay1900", 61, "\"1900-03-01T00:00:00\""},
        DateCase{"lastSecondOfADay", 45000 + 86399.0 / 86400, "\"2023-03-15T23:59:59\""},
        DateCase{"millisecondsCutOff", 45000 + 1.9994 / 86400, "\"2023-03-15T00:00:01\""},
        DateCase{"roundsIntoTheNextDay", 45000.9999999999, "\"2023-03-16T00:00:00\""},
        DateCase{"firstDayOfYearOne", -693593, "\"0001-01-01T00:00:00\""},
        DateCase{"lastDayBeforeYearOne", -693594, "\"-0001-12-31T00:00:00\""},
        DateCase{"farBeforeYearOne", -2900000, "\"-6041-01-25T00:00:00\""},
        DateCase{"lastAccessDay", 2958465.999988426, "\"9999-12-31T23:59:59\""},
        DateCase{"fiveDigitYear", 2958466, "\"10000-01-01T00:00:00\""},
        DateCase{"beyondAnyDate", 3.5e6, "null"},
        DateCase{"notANumber", std::numeric_limits<double>::quiet_NaN(), "null"},
        DateCase{"infinite", -std::numeric_limits<double>::infinity(), "null"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// Text from UTF-16 units to a JSON string: UTF-8 as QString::toUtf8 gives it
// (a lone surrogate as "?"), escaped.
struct StringCase {
    const char* name;
    std::u16string text;
    const char* json;
};

class JsonStringTest : public testing::TestWithParam<StringCase> {};

TEST_P(JsonStringTest, WritesUtf8AsQtDoesAndEscapes) {
    std::string out;
    appendJsonString(out, GetParam().text);
    EXPECT_EQ(out, GetParam().json);
    std::string fromValue;
    appendJsonValue(fromValue,
                    QString::fromUtf16(GetParam().text.data(), qsizetype(GetParam().text.size())));
    EXPECT_EQ(fromValue, out);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonStringTest,
    testing::Values(StringCase{"empty", u"", "\"\""},
                    StringCase{"quoteAndBackslash", u"O'Neil \"x\" a\\b",
                               "\"O'Neil \\\"x\\\" a\\\\b\""},
                    StringCase{"controlCharacters", std::u16string(u"\r\n\t\x01\x1f\0x", 7),
                               "\"\\r\\n\\t\\u0001\\u001f\\u0000x\""},
                    StringCase{"latinAndDelete", u"Mère\x7f", "\"M\xc3\xa8re\x7f\""},
                    StringCase{"chinese", u"月亮代表我的心", "\"月亮代表我的心\""},
                    StringCase{"surrogatePair", u"\U0001F3A4", "\"\xf0\x9f\x8e\xa4\""},
                    StringCase{"loneHighSurrogate",
                               std::u16string(u"a\xd800"
                                              u"b",
                                              3),
                               "\"a?b\""},
                    StringCase{"loneLowSurrogate", std::u16string(u"\xdc00", 1), "\"?\""},
                    StringCase{"highSurrogateAtTheEnd", std::u16string(u"x\xdbff", 2), "\"x?\""},
                    StringCase{"pairReversed", std::u16string(u"\xdc00\xd800", 2), "\"??\""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
