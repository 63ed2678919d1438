// Runs vaskord-cli as a shell would and checks what it writes and returns
// against the edge library's TSV twin.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>

#include "tests/CaseName.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList kListedKeys = {u"S_Code"_s,     u"S_NAME"_s,  u"S_Singer1"_s,   u"S_Singer2"_s,
                                 u"S_CopyDest"_s, u"S_COUNT"_s, u"S_INPUTDATE"_s, u"path"_s};

struct CliRun {
    int exitCode = -1;
    QList<QByteArray> lines;  // stdout, one JSON object each
    QStringList errLines;     // stderr
};

CliRun runCli(const QStringList& arguments) {
    QProcess process;
    process.start(QString::fromUtf8(VASKORD_CLI), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "vaskord-cli crashed";
    CliRun run;
    run.exitCode = process.exitCode();
    const QByteArray out = process.readAllStandardOutput();
    run.lines = out.split('\n');
    EXPECT_TRUE(out.isEmpty() || out.endsWith('\n'));
    run.lines.removeAll(QByteArray());
    run.errLines = QString::fromUtf8(process.readAllStandardError()).split(u'\n');
    run.errLines.removeAll(QString());
    return run;
}

// Keys of one output line in the order written; QJsonObject would sort them.
QStringList keysInOrder(const QByteArray& line, const QStringList& candidates) {
    QList<std::pair<qsizetype, QString>> found;
    for (const QString& key : candidates) {
        const qsizetype at = line.indexOf('"' + key.toUtf8() + "\":");
        if (at >= 0) {
            found.append({at, key});
        }
    }
    std::sort(found.begin(), found.end());
    QStringList keys;
    for (const auto& [at, key] : found) {
        keys << key;
    }
    return keys;
}

QJsonObject parseLine(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.constData();
    return document.object();
}

// A library's rows in physical order, from its TSV twin, each typed as the
// JSON output types it.
struct SongTable {
    QStringList columns;
    QList<QJsonObject> rows;
};

SongTable readSongTable(const QString& tsv) {
    SongTable t;
    QFile file(QStringLiteral(VASKORD_FIXTURES "/") + tsv);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    lines.removeAll(QString());
    t.columns = lines.takeFirst().split(u'\t');
    for (const QString& line : lines) {
        const QStringList cells = line.split(u'\t');
        QJsonObject row;
        for (qsizetype i = 0; i < t.columns.size(); ++i) {
            const QString& column = t.columns[i];
            const QString& cell = cells.value(i);
            QJsonValue value;
            if (cell == u"\\N"_s) {
                value = QJsonValue::Null;
            } else if (column == u"S_COUNT"_s) {
                value = cell.toLongLong();
            } else if (column == u"S_INPUTDATE"_s) {
                value = QString(cell).replace(u' ', u'T');
            } else if (column == u"S_IFUsed"_s) {
                value = cell == u"1"_s;
            } else {
                value = cell;
            }
            row.insert(column, value);
        }
        t.rows << row;
    }
    return t;
}

const SongTable& edgeTable() {
    static const SongTable table = readSongTable(u"songs-edge.tsv"_s);
    return table;
}

QString compact(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// A library, two song folders and a file beside them that only a song number
// climbing out of its folder ("../13003") could reach.
class SongTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const QDir root(m_dir.path());
        ASSERT_TRUE(root.mkpath(u"歌库"_s));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VASKORD_FIXTURES "/songs-edge.mdb"), library()));
        for (const QString& song : {u"10023"_s, u"13008"_s, u"10160"_s, u"12001"_s, u"13002 "_s,
                                    u"10331"_s, u"13005"_s}) {
            touch(first() + u'/' + song + u".mpg"_s);
        }
        for (const QString& song : {u"10160"_s, u"10329"_s, u"10027"_s}) {
            touch(second() + u'/' + song + u".mpg"_s);
        }
        // A folder of a song file's name is no song file.
        ASSERT_TRUE(root.mkpath(u"歌曲一/10027.mpg"_s));
        touch(m_dir.path() + u"/13003.mpg"_s);
        m_initialFiles = files();
    }

    QString library() const { return m_dir.path() + u"/歌库/曲库.mdb"_s; }
    QString first() const { return m_dir.path() + u"/歌曲一"_s; }
    QString second() const { return m_dir.path() + u"/歌曲二"_s; }

    QStringList withTree(QStringList arguments) const {
        arguments.replaceInStrings(u"@lib"_s, library());
        arguments.replaceInStrings(u"@first"_s, first());
        arguments.replaceInStrings(u"@second"_s, second());
        return arguments;
    }

    QStringList files() const {
        QStringList found;
        QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            found << it.next();
        }
        found.sort();
        return found;
    }

    static void touch(const QString& path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    }

    QTemporaryDir m_dir;
    QStringList m_initialFiles;
};

// --- sql ---------------------------------------------------------------------

struct SqlCase {
    const char* name;
    const char* library;  // and its TSV twin, under tests/fixtures
    const char* tsv;
};

class SqlRows : public ::testing::TestWithParam<SqlCase> {};

// The demo library's output is larger than what the program gathers before
// each write, so the rows cross several writes.
TEST_P(SqlRows, WritesEveryRowTypedInSelectOrder) {
    // Select order differs from the table's, and one name is spelled in lower
    // case: the keys must follow the select and the table's spelling.
    const QStringList keys = {u"S_IFUsed"_s,  u"S_INPUTDATE"_s, u"S_COUNT"_s,
                              u"S_Code"_s,    u"S_NAME"_s,      u"S_Singer1"_s,
                              u"S_Singer2"_s, u"S_INPUTCODE"_s, u"S_CopyDest"_s};
    const CliRun run = runCli(
        {u"sql"_s, QStringLiteral(VASKORD_FIXTURES "/") + QString::fromUtf8(GetParam().library),
         u"select S_IFUsed,S_INPUTDATE,S_COUNT,s_code,S_NAME,S_Singer1,"
         "S_Singer2,S_INPUTCODE,S_CopyDest from Ok_Song"_s});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.errLines.join(u'\n'));
    EXPECT_TRUE(run.errLines.isEmpty());
    const QList<QJsonObject> expected = readSongTable(QString::fromUtf8(GetParam().tsv)).rows;
    ASSERT_EQ(run.lines.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(keysInOrder(run.lines[i], keys), keys) << run.lines[i].constData();
        ASSERT_EQ(compact(parseLine(run.lines[i])), compact(expected[i])) << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, SqlRows,
                         ::testing::Values(SqlCase{"edge", "songs-edge.mdb", "songs-edge.tsv"},
                                           SqlCase{"demo", "songs-demo.mdb", "songs-demo.tsv"}),
                         [](const auto& p) { return std::string(p.param.name); });

struct FailureCase {
    const char* name;
    QStringList arguments;
};

class DatabaseFailure : public SongTree, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DatabaseFailure, ExitsOneWithTheMessage) {
    const CliRun run = runCli(withTree(GetParam().arguments));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.lines.isEmpty());
    ASSERT_FALSE(run.errLines.isEmpty());
    EXPECT_EQ(files(), m_initialFiles);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, DatabaseFailure,
    ::testing::Values(
        FailureCase{"SqlSyntax", {u"sql"_s, u"@lib"_s, u"select from where"_s}},
        FailureCase{"SqlUnknownTable", {u"sql"_s, u"@lib"_s, u"select * from 没有的表"_s}},
        FailureCase{"SqlMissingLibrary",
                    {u"sql"_s, u"@first/无.mdb"_s, u"select * from Ok_Song"_s}},
        FailureCase{"FindMissingLibrary",
                    {u"find"_s, u"@first/无.mdb"_s, u"--folder"_s, u"@first"_s}},
        FailureCase{"DeleteNotALibrary",
                    {u"delete"_s, u"@first/10023.mpg"_s, u"--folder"_s, u"@first"_s, u"--yes"_s}}),
    [](const auto& p) { return std::string(p.param.name); });

// --- find --------------------------------------------------------------------

struct FindCase {
    const char* name;
    QStringList arguments;  // after: find LIBRARY --folder first --folder second
    int count;              // S_COUNT below this
    int limit;
    std::function<bool(const QJsonObject&)> criteria;
};

bool startsWith(const QJsonObject& row, const char* column, const QString& prefix) {
    // The query dialect's LIKE ignores letter case.
    return row.value(QLatin1String(column)).toString().startsWith(prefix, Qt::CaseInsensitive);
}

bool anyRow(const QJsonObject&) {
    return true;
}

class Find : public SongTree, public ::testing::WithParamInterface<FindCase> {
protected:
    // The window's result for the same criteria, from the TSV: rows meeting
    // the criteria in query order, each listed with its file in the first
    // folder that holds one, up to the limit.
    struct Expected {
        int recordCount = 0;
        QList<QJsonObject> listed;
    };
    Expected expected(const FindCase& c) const {
        QList<QJsonObject> rows;
        for (const QJsonObject& row : edgeTable().rows) {
            const QJsonValue count = row.value(u"S_COUNT"_s);
            if (!count.isNull() && count.toInteger() < c.count && c.criteria(row)) {
                rows << row;
            }
        }
        std::stable_sort(rows.begin(), rows.end(), [](const QJsonObject& a, const QJsonObject& b) {
            return sortKey(a) < sortKey(b);
        });
        Expected e;
        e.recordCount = static_cast<int>(rows.size());
        for (const QJsonObject& row : rows) {
            const QString code = row.value(u"S_Code"_s).toString();
            if (e.listed.size() == c.limit || code.contains(u'/')) {
                continue;
            }
            for (const QString& folder : {first(), second()}) {
                const QString path = folder + u'/' + code + u".mpg"_s;
                if (QFileInfo(path).isFile()) {
                    QJsonObject song;
                    for (const QString& key : kListedKeys.mid(0, 7)) {
                        song.insert(key, row.value(key));
                    }
                    song.insert(u"path"_s, path);
                    e.listed << song;
                    break;
                }
            }
        }
        return e;
    }

    // The order clause: request count, input code, song number.
    static std::tuple<qint64, QString, QString> sortKey(const QJsonObject& row) {
        return {row.value(u"S_COUNT"_s).toInteger(),
                row.value(u"S_INPUTCODE"_s).toString().toUpper(),
                row.value(u"S_Code"_s).toString().toUpper()};
    }
};

TEST_P(Find, ListsWhatTheWindowLists) {
    const FindCase& c = GetParam();
    const CliRun run = runCli(withTree(
        QStringList{u"find"_s, u"@lib"_s, u"--folder"_s, u"@first"_s, u"--folder"_s, u"@second"_s} +
        c.arguments));
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.errLines.join(u'\n'));
    const Expected e = expected(c);
    ASSERT_FALSE(e.listed.isEmpty()) << "a case that lists nothing shows little";

    EXPECT_EQ(run.errLines,
              QStringList{u"符合条件的曲库记录数为:%1,匹配歌曲文件的数量为:%2"_s.arg(e.recordCount)
                              .arg(e.listed.size())});
    QList<QJsonObject> listed;
    for (const QByteArray& line : run.lines) {
        EXPECT_EQ(keysInOrder(line, kListedKeys), kListedKeys) << line.constData();
        listed << parseLine(line);
    }
    ASSERT_EQ(listed.size(), e.listed.size());
    // Rows equal under the order clause (the same song twice) may come in
    // either order; everything else is fixed.
    QStringList actualTexts, expectedTexts;
    for (qsizetype i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(sortKey(listed[i]), sortKey(e.listed[i])) << "row " << i;
        actualTexts << compact(listed[i]);
        expectedTexts << compact(e.listed[i]);
    }
    actualTexts.sort();
    expectedTexts.sort();
    EXPECT_EQ(actualTexts, expectedTexts);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Find,
    ::testing::Values(
        // Duplicate song numbers are both listed, 10160 from the first folder,
        // 10027 from the second (the first holds a folder of that name), and
        // ../13003 never reaches the file beside the folders.
        FindCase{"Defaults", {}, 1, 100, anyRow},
        FindCase{
            "LimitCountsListedSongs", {u"--count"_s, u"2"_s, u"--limit"_s, u"4"_s}, 2, 4, anyRow},
        FindCase{"EverySongWithAFile",
                 {u"--count"_s, u"100"_s, u"--limit"_s, u"1000"_s},
                 100,
                 1000,
                 anyRow},
        FindCase{"CodePrefixKeepsTrailingBlank",
                 {u"--count"_s, u"2"_s, u"--code"_s, u" 1300 "_s},
                 2,
                 100,
                 [](const QJsonObject& r) { return startsWith(r, "S_Code", u"1300"_s); }},
        FindCase{"SingerInEitherColumn",
                 {u"--count"_s, u"5"_s, u"--singer"_s, u"刘德华"_s},
                 5,
                 100,
                 [](const QJsonObject& r) {
                     return startsWith(r, "S_Singer1", u"刘德华"_s) ||
                            startsWith(r, "S_Singer2", u"刘德华"_s);
                 }},
        FindCase{"NameWithQuote",
                 {u"--count"_s, u"2"_s, u"--name"_s, u"O'Neil"_s},
                 2,
                 100,
                 [](const QJsonObject& r) { return startsWith(r, "S_NAME", u"O'Neil"_s); }},
        FindCase{"EnteredBefore",
                 {u"--count"_s, u"4"_s, u"--before"_s, u"2010-01-01"_s},
                 4,
                 100,
                 [](const QJsonObject& r) {
                     const QJsonValue date = r.value(u"S_INPUTDATE"_s);
                     return !date.isNull() && date.toString() < u"2010-01-01T00:00:00"_s;
                 }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SongTree, ShowSqlWritesTheQueryFirst) {
    const CliRun run =
        runCli({u"find"_s, library(), u"--folder"_s, first(), u"--count"_s, u"3"_s, u"--before"_s,
                u"2015-01-01"_s, u"--code"_s, u"12"_s, u"--show-sql"_s});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.errLines.join(u'\n'));
    ASSERT_EQ(run.errLines.size(), 2);
    EXPECT_EQ(run.errLines[0],
              u" Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, "
              "S_COUNT,S_INPUTDATE,S_IFUsed from Ok_Song Where S_COUNT<3 and "
              "S_INPUTDATE<#2015-01-01# and S_Code like '12%' order by "
              "S_COUNT,S_INPUTCODE,S_Code"_s);
    // A time of day is kept, not cut to midnight.
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_EQ(parseLine(run.lines[0]).value(u"S_INPUTDATE"_s).toString(), u"2014-12-31T23:59:59"_s);
}

TEST_F(SongTree, UnwritableOutputFailsAndDeletesNothing) {
    const QStringList tree = {library(), u"--folder"_s, first()};
    for (const QStringList& arguments :
         {QStringList{u"find"_s} + tree, QStringList{u"delete"_s, u"--yes"_s} + tree}) {
        QProcess process;
        process.setStandardOutputFile(u"/dev/full"_s);
        process.start(QString::fromUtf8(VASKORD_CLI), arguments);
        ASSERT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), 1) << qPrintable(arguments.join(u' '));
    }
    EXPECT_EQ(files(), m_initialFiles);
}

// --- input errors --------------------------------------------------------------

struct InputErrorCase {
    const char* name;
    QStringList arguments;
    QString message;  // the first line on stderr
};

class InputError : public SongTree, public ::testing::WithParamInterface<InputErrorCase> {};

TEST_P(InputError, ExitsTwoWithTheReasonAndTouchesNothing) {
    const CliRun run = runCli(withTree(GetParam().arguments));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.lines.isEmpty());
    ASSERT_FALSE(run.errLines.isEmpty());
    EXPECT_EQ(run.errLines.constFirst(), GetParam().message);
    EXPECT_EQ(files(), m_initialFiles);
}

QStringList findArgs(const QStringList& more) {
    return QStringList{u"find"_s, u"@lib"_s, u"--folder"_s, u"@first"_s} + more;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, InputError,
    ::testing::Values(
        // The window's prompts, in the window's order.
        InputErrorCase{
            "NoLibrary", {u"find"_s, u"--folder"_s, u"@first"_s}, u"请先选择歌库文件!"_s},
        InputErrorCase{"NoFolder", {u"find"_s, u"@lib"_s}, u"请添加歌曲路径!"_s},
        InputErrorCase{"EmptyFolder",
                       {u"delete"_s, u"@lib"_s, u"--folder"_s, u""_s, u"--yes"_s},
                       u"请添加歌曲路径!"_s},
        InputErrorCase{"EmptyDateBeforeEmptyCode",
                       findArgs({u"--code"_s, u""_s, u"--before"_s, u""_s}),
                       u"选择了限制日期,日期不能为空!"_s},
        InputErrorCase{"BlankCode", findArgs({u"--code"_s, u" \t"_s}), u"歌曲编号不能为空!"_s},
        InputErrorCase{"EmptyName", findArgs({u"--name"_s, u""_s}), u"歌曲名称不能为空!"_s},
        InputErrorCase{"BlankSinger", findArgs({u"--singer"_s, u"  "_s}), u"歌星姓名不能为空!"_s},
        // What the window's boxes would never let through.
        InputErrorCase{"InvalidDate", findArgs({u"--before"_s, u"2015-02-30"_s}),
                       u"录入日期 (--before) 无效, 应为 yyyy-MM-dd 格式的日期: 2015-02-30"_s},
        InputErrorCase{"CountZero", findArgs({u"--count"_s, u"0"_s}),
                       u"点播量 (--count) 必须是 1 到 100 之间的整数: 0"_s},
        InputErrorCase{"CountAboveRange", findArgs({u"--count"_s, u"101"_s}),
                       u"点播量 (--count) 必须是 1 到 100 之间的整数: 101"_s},
        InputErrorCase{"CountFraction", findArgs({u"--count"_s, u"1.5"_s}),
                       u"点播量 (--count) 必须是 1 到 100 之间的整数: 1.5"_s},
        InputErrorCase{"LimitZero", findArgs({u"--limit"_s, u"0"_s}),
                       u"歌曲文件数量 (--limit) 必须是 1 到 1000 之间的整数: 0"_s},
        InputErrorCase{"LimitAboveRange", findArgs({u"--limit"_s, u"1001"_s}),
                       u"歌曲文件数量 (--limit) 必须是 1 到 1000 之间的整数: 1001"_s},
        // The command line itself.
        InputErrorCase{"DeleteWithoutYes",
                       {u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s},
                       u"删除歌曲文件须加上 --yes 确认; 未删除任何文件。"_s},
        InputErrorCase{"YesOnFind", findArgs({u"--yes"_s}), u"只有 delete 命令接受 --yes。"_s},
        InputErrorCase{"NoCommand", {}, u"缺少命令: sql、find 或 delete。"_s},
        InputErrorCase{"UnknownCommand", {u"purge"_s, u"@lib"_s}, u"未知的命令: purge"_s},
        InputErrorCase{"UnknownOption", findArgs({u"--force"_s}), u"未知的选项: --force"_s},
        InputErrorCase{"MissingValue", findArgs({u"--count"_s}), u"选项 --count 缺少取值。"_s},
        InputErrorCase{"ValueOnSwitch", findArgs({u"--show-sql=1"_s}),
                       u"选项 --show-sql 不带取值。"_s},
        InputErrorCase{"ExtraArgument", findArgs({u"多余"_s}), u"多余的参数: 多余"_s},
        InputErrorCase{"SqlWithoutSql", {u"sql"_s, u"@lib"_s}, u"缺少 SQL 语句。"_s},
        InputErrorCase{"SqlWithCriteria",
                       {u"sql"_s, u"@lib"_s, u"select * from Ok_Song"_s, u"--count"_s, u"3"_s},
                       u"sql 命令不接受选项 --count。"_s}),
    [](const auto& p) { return std::string(p.param.name); });

// --- delete --------------------------------------------------------------------

struct DeleteCase {
    const char* name;
    QStringList arguments;  // after: delete LIBRARY --folder first --folder second --yes
    int exitCode;
    QString summary;
    QStringList deleted;  // relative to the tree
};

class Delete : public SongTree, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(Delete, DeletesEveryListedFileButTheProtected) {
    const DeleteCase& c = GetParam();
    // An operator protects a song by taking away every write right.
    ASSERT_TRUE(QFile::setPermissions(first() + u"/10160.mpg"_s,
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray libraryBefore = [this] {
        QFile file(library());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }();

    const CliRun run =
        runCli(withTree(QStringList{u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s,
                                    u"--folder"_s, u"@second"_s, u"--yes"_s} +
                        c.arguments));
    EXPECT_EQ(run.exitCode, c.exitCode);
    ASSERT_EQ(run.errLines.size(), 2) << qPrintable(run.errLines.join(u'\n'));
    EXPECT_EQ(run.errLines[1], c.summary);

    QStringList remaining = m_initialFiles;
    for (const QString& file : c.deleted) {
        remaining.removeOne(m_dir.path() + u'/' + file);
    }
    EXPECT_EQ(files(), remaining);

    QFile file(library());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256), libraryBefore)
        << "the library is only ever read";
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Delete,
    ::testing::Values(DeleteCase{"AllDeletable",
                                 {u"--count"_s, u"2"_s, u"--code"_s, u"1300"_s},
                                 0,
                                 u" 已选中数量:2 删除歌曲 成功数量:2 失败数量:0 异常数量:0"_s,
                                 {u"歌曲一/13008.mpg"_s, u"歌曲一/13002 .mpg"_s}},
                      // 10023 is listed twice with one path: the second deletion finds it
                      // gone, which the summary counts but the exit status forgives.
                      DeleteCase{"Duplicate",
                                 {u"--code"_s, u"10023"_s},
                                 0,
                                 u" 已选中数量:2 删除歌曲 成功数量:1 失败数量:1 异常数量:0"_s,
                                 {u"歌曲一/10023.mpg"_s}},
                      // The read-only 10160 stays, so the run failed.
                      DeleteCase{"ProtectedAndDuplicate",
                                 {},
                                 1,
                                 u" 已选中数量:6 删除歌曲 成功数量:4 失败数量:2 异常数量:0"_s,
                                 {u"歌曲一/13008.mpg"_s, u"歌曲一/10023.mpg"_s,
                                  u"歌曲二/10329.mpg"_s, u"歌曲二/10027.mpg"_s}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Cli, HelpAndVersion) {
    const CliRun help = runCli({u"--help"_s});
    EXPECT_EQ(help.exitCode, 0);
    ASSERT_FALSE(help.lines.isEmpty());
    EXPECT_EQ(help.lines.constFirst(), "用法:");
    const CliRun version = runCli({u"--version"_s});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.lines, QList<QByteArray>{"vaskord-cli " VASKORD_VERSION});
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
