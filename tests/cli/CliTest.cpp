// Runs vaskord-cli as a shell would and checks what it writes and returns
// against the edge library's TSV twin.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

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
#include "tests/core/ScratchMount.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList kListedKeys = {u"S_Code"_s,      u"S_NAME"_s,     u"S_Singer1"_s,
                                 u"S_Singer2"_s,   u"S_CopyDest"_s, u"S_COUNT"_s,
                                 u"S_INPUTDATE"_s, u"path"_s,       u"size"_s};

struct CliRun {
    int exitCode = -1;
    QList<QByteArray> lines;  // stdout, one JSON object each
    QStringList errLines;     // stderr
};

CliRun runCli(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
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

    // Each file holds its own path, so sizes differ from file to file.
    static void touch(const QString& path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
        file.write(path.toUtf8());
    }

    qint64 sizeOf(const QStringList& relative) const {
        qint64 bytes = 0;
        for (const QString& file : relative) {
            bytes += QFileInfo(m_dir.path() + u'/' + file).size();
        }
        return bytes;
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
                    {u"delete"_s, u"@first/10023.mpg"_s, u"--folder"_s, u"@first"_s, u"--yes"_s}},
        FailureCase{"MoveToAMissingFolder",
                    {u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s, u"--move-to"_s,
                     u"@second/无"_s, u"--yes"_s}},
        FailureCase{"RestoreFromAFolderWithoutRecord", {u"restore"_s, u"@second"_s}}),
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
        qint64 bytes = 0;  // of every listed file, a song listed twice twice
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
                    song.insert(u"size"_s, QFileInfo(path).size());
                    e.listed << song;
                    e.bytes += QFileInfo(path).size();
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
    ASSERT_LT(e.bytes, 1024) << "the total is shown in bytes below 1 KB";

    EXPECT_EQ(run.errLines,
              QStringList({u"符合条件的曲库记录数为:%1,匹配歌曲文件的数量为:%2"_s.arg(e.recordCount)
                               .arg(e.listed.size()),
                           u"共 %1 个文件,%2 B"_s.arg(e.listed.size()).arg(e.bytes)}));
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
    ASSERT_EQ(run.errLines.size(), 3);
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
        InputErrorCase{"NegativeYear", findArgs({u"--before"_s, u"-2015-01-01"_s}),
                       u"录入日期 (--before) 无效, 应为 yyyy-MM-dd 格式的日期: -2015-01-01"_s},
        InputErrorCase{"SignedYear", findArgs({u"--before"_s, u"+2015-01-01"_s}),
                       u"录入日期 (--before) 无效, 应为 yyyy-MM-dd 格式的日期: +2015-01-01"_s},
        // Folders that would name another folder than the one meant.
        InputErrorCase{"FolderWithLineBreak",
                       {u"delete"_s, u"@lib"_s, u"--folder"_s, u"/srv/歌曲\n歌曲"_s, u"--yes"_s},
                       u"歌曲路径中含有换行等控制字符, 不能使用: /srv/歌曲\\x0A歌曲/"_s},
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
        InputErrorCase{"MoveToOnFind", findArgs({u"--move-to"_s, u"@second"_s}),
                       u"只有 delete 命令接受 --move-to。"_s},
        InputErrorCase{"TrashOnFind", findArgs({u"--trash"_s}),
                       u"只有 delete 命令接受 --trash。"_s},
        InputErrorCase{"MoveToAndTrash",
                       {u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s, u"--move-to"_s,
                        u"@second"_s, u"--trash"_s, u"--yes"_s},
                       u"--move-to 与 --trash 只能选一个。"_s},
        InputErrorCase{
            "EmptyMoveTo",
            {u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s, u"--move-to"_s, u""_s, u"--yes"_s},
            u"保存目录 (--move-to) 不能为空。"_s},
        InputErrorCase{
            "MoveToWithoutYes",
            {u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s, u"--move-to"_s, u"@second"_s},
            u"删除歌曲文件须加上 --yes 确认; 未删除任何文件。"_s},
        InputErrorCase{"RestoreWithoutFolder",
                       {u"restore"_s},
                       u"缺少保存目录: restore 需要 delete --move-to 用过的目录, 或 --trash。"_s},
        InputErrorCase{"RestoreWithCriteria",
                       {u"restore"_s, u"@second"_s, u"--count"_s, u"3"_s},
                       u"restore 命令不接受选项 --count。"_s},
        InputErrorCase{
            "RestoreTwoFolders", {u"restore"_s, u"@first"_s, u"多余"_s}, u"多余的参数: 多余"_s},
        InputErrorCase{"SqlWithTrash",
                       {u"sql"_s, u"@lib"_s, u"select * from Ok_Song"_s, u"--trash"_s},
                       u"sql 命令不接受选项 --trash。"_s},
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

    const qint64 freed = sizeOf(c.deleted);
    ASSERT_LT(freed, 1024) << "the total is shown in bytes below 1 KB";

    const CliRun run =
        runCli(withTree(QStringList{u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s,
                                    u"--folder"_s, u"@second"_s, u"--yes"_s} +
                        c.arguments));
    EXPECT_EQ(run.exitCode, c.exitCode);
    ASSERT_EQ(run.errLines.size(), 4) << qPrintable(run.errLines.join(u'\n'));
    EXPECT_EQ(run.errLines[2], c.summary);
    // Only what was removed counts, a song listed twice once.
    EXPECT_EQ(run.errLines[3], u"释放空间:%1 B"_s.arg(freed));

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

// --- folders as the kernel takes them -----------------------------------------

// Runs vaskord-cli through the shell, so that arguments and the working folder
// can be bytes that are no UTF-8, and standard streams can be closed.
CliRun runShell(const QByteArray& script, const QString& workingFolder = QString()) {
    QProcess process;
    if (!workingFolder.isEmpty()) {
        process.setWorkingDirectory(workingFolder);
    }
    process.setProgram(u"/bin/sh"_s);
    process.setArguments({u"-c"_s, QString::fromLatin1("cli=\"$0\"; ") + QString::fromUtf8(script),
                          QString::fromUtf8(VASKORD_CLI)});
    process.start();
    EXPECT_TRUE(process.waitForFinished(120000));
    CliRun run;
    run.exitCode = process.exitCode();
    run.lines = process.readAllStandardOutput().split('\n');
    run.lines.removeAll(QByteArray());
    run.errLines = QString::fromUtf8(process.readAllStandardError()).split(u'\n');
    run.errLines.removeAll(QString());
    return run;
}

QByteArray quoted(const QString& text) {
    return '\'' + QFile::encodeName(text).replace("'", "'\\''") + '\'';
}

// "L/../歌曲二" through a link L is the kernel's "../歌曲二" seen from L's
// target, not the folder 歌曲二 beside L that the text suggests.
TEST_F(SongTree, DotDotAfterALinkIsTheKernels) {
    const QDir root(m_dir.path());
    ASSERT_TRUE(root.mkpath(u"深处/里面"_s));
    touch(m_dir.path() + u"/深处/歌曲二/10160.mpg"_s);
    ASSERT_TRUE(QFile::link(m_dir.path() + u"/深处/里面"_s, m_dir.path() + u"/L"_s));
    const QStringList before = files();

    const CliRun run = runShell(
        "exec \"$cli\" delete " + quoted(library()) + " --folder L/../歌曲二 --code 10160 --yes",
        m_dir.path());

    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.errLines.join(u'\n'));
    ASSERT_EQ(run.lines.size(), 1);
    EXPECT_EQ(parseLine(run.lines[0]).value(u"path"_s).toString(),
              QDir(m_dir.path()).canonicalPath() + u"/L/../歌曲二/10160.mpg"_s);
    QStringList remaining = before;
    remaining.removeOne(m_dir.path() + u"/深处/歌曲二/10160.mpg"_s);
    EXPECT_EQ(files(), remaining) << "歌曲二/10160.mpg beside L stays";
}

// A folder or a library named in GBK, as Windows writes them, cannot be
// carried as text: refused, naming the path and the command that renames it.
TEST_F(SongTree, NamesThatAreNoUtf8AreRefused) {
    const QByteArray gbkFolder = QFile::encodeName(m_dir.path()) + "/\xb8\xe8\xc7\xfa";
    ASSERT_EQ(::mkdir(gbkFolder.constData(), 0755), 0);
    ASSERT_EQ(::close(::creat((gbkFolder + "/10023.mpg").constData(), 0644)), 0);
    const QByteArray gbkLibrary = QFile::encodeName(m_dir.path()) + "/\xb8\xe8\xbf\xe2.mdb";
    ASSERT_TRUE(QFile::copy(library(),
                            QFile::decodeName(QFile::encodeName(m_dir.path())) + u"/copy.mdb"_s));
    ASSERT_EQ(::rename(QFile::encodeName(m_dir.path() + u"/copy.mdb"_s).constData(),
                       gbkLibrary.constData()),
              0);
    const QStringList before = files();

    const CliRun folder = runShell("exec \"$cli\" delete " + quoted(library()) + " --folder '" +
                                   gbkFolder + "' --code 10023 --yes");
    EXPECT_EQ(folder.exitCode, 2);
    ASSERT_FALSE(folder.errLines.isEmpty());
    EXPECT_TRUE(folder.errLines[0].contains(u"convmv -f gbk -t utf-8"_s))
        << qPrintable(folder.errLines[0]);
    EXPECT_TRUE(folder.errLines[0].contains(m_dir.path())) << qPrintable(folder.errLines[0]);

    const CliRun lib =
        runShell("exec \"$cli\" find '" + gbkLibrary + "' --folder " + quoted(first()));
    EXPECT_EQ(lib.exitCode, 1);
    ASSERT_FALSE(lib.errLines.isEmpty());
    EXPECT_TRUE(lib.errLines.last().contains(u"convmv -f gbk -t utf-8"_s))
        << qPrintable(lib.errLines.last());
    EXPECT_EQ(files(), before);
}

// With standard output closed the list would go nowhere: nothing is deleted.
TEST_F(SongTree, ClosedStandardStreamsDeleteNothing) {
    const QByteArray tree = quoted(library()) + " --folder " + quoted(first());
    for (const QByteArray& script :
         {"exec \"$cli\" delete " + tree + " --yes <&- >&-",
          "exec \"$cli\" delete " + tree + " --yes >&-", "exec \"$cli\" find " + tree + " >&-"}) {
        const CliRun run = runShell(script);
        EXPECT_EQ(run.exitCode, 1) << script.constData();
        ASSERT_FALSE(run.errLines.isEmpty()) << script.constData();
        EXPECT_EQ(run.errLines.last(), u"无法写出结果 (标准输出已关闭)。"_s);
    }
    EXPECT_EQ(files(), m_initialFiles);
    // A closed standard input alone changes nothing.
    const CliRun run = runShell("exec \"$cli\" find " + tree + " <&-");
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.errLines.join(u'\n'));
    EXPECT_EQ(run.lines, runCli({u"find"_s, library(), u"--folder"_s, first()}).lines);
}

// --- folders that cannot be searched -------------------------------------------

struct UnsearchableCase {
    const char* name;
    std::function<QString(const QString& root)> make;  // returns the folder to give
    QString why;
    bool needsNonRoot = false;
};

class Unsearchable : public SongTree, public ::testing::WithParamInterface<UnsearchableCase> {};

TEST_P(Unsearchable, NamedOnStandardErrorAndTheRunFails) {
    if (GetParam().needsNonRoot && ::geteuid() == 0) {
        GTEST_SKIP() << "root searches any folder";
    }
    const QString folder = GetParam().make(m_dir.path());
    const CliRun run = runCli({u"find"_s, library(), u"--folder"_s, folder, u"--folder"_s, second(),
                               u"--code"_s, u"10"_s});
    // Restore search rights for the clean-up.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.lines.size(), 3) << "the other folder is still searched";
    EXPECT_TRUE(run.errLines.contains(u"无法查找歌曲路径 "_s + folder + u"/: "_s + GetParam().why))
        << qPrintable(run.errLines.join(u'\n'));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Unsearchable,
    ::testing::Values(
        UnsearchableCase{"Missing", [](const QString& root) { return root + u"/没有"_s; },
                         u"目录不存在。"_s},
        UnsearchableCase{"AFile", [](const QString& root) { return root + u"/歌曲一/10023.mpg"_s; },
                         u"这不是一个目录。"_s},
        UnsearchableCase{"NoSearchRight",
                         [](const QString& root) {
                             QFile::setPermissions(root + u"/歌曲一"_s, QFile::ReadOwner);
                             return root + u"/歌曲一"_s;
                         },
                         u"没有查找该目录的权限。"_s, true}),
    [](const auto& p) { return std::string(p.param.name); });

// --- signals -------------------------------------------------------------------

// A signal that arrives once the list is being written stops the deletion
// before the next file: the summary of what was done, and 128 + the signal.
class StopSignal : public SongTree, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, EndsTheDeletionWithASummary) {
    // Enough songs that the list fills the pipe and the run waits for it.
    const QString songs = m_dir.path() + u"/全部"_s;
    const CliRun codes = runCli({u"sql"_s, library(), u"select S_Code from Ok_Song"_s});
    for (const QByteArray& line : codes.lines) {
        const QString code = parseLine(line).value(u"S_Code"_s).toString();
        if (!code.isEmpty() && !code.contains(u'/') && code != u".."_s && code != u"."_s) {
            touch(songs + u'/' + code + u".mpg"_s);
        }
    }
    const QStringList before = files();
    const QByteArray cli = VASKORD_CLI;
    const QList<QByteArray> argumentBytes = {cli,
                                             "delete",
                                             QFile::encodeName(library()),
                                             "--folder",
                                             QFile::encodeName(songs),
                                             "--count",
                                             "100",
                                             "--limit",
                                             "1000",
                                             "--yes"};
    std::vector<char*> argv;
    for (const QByteArray& a : argumentBytes) {
        argv.push_back(const_cast<char*>(a.constData()));
    }
    argv.push_back(nullptr);

    int out[2];
    int err[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(err), 0);
    ::fcntl(out[1], F_SETPIPE_SZ, 4096);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    // The first bytes of the list: the run now catches the signal, and waits
    // on the full pipe before it can delete anything.
    char first = 0;
    ASSERT_EQ(::read(out[0], &first, 1), 1);
    ::usleep(200 * 1000);
    ::kill(child, GetParam());
    QByteArray listed(1, first);
    QByteArray messages;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        listed.append(buffer, n);
    }
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) {
        messages.append(buffer, n);
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + GetParam());
    EXPECT_GT(listed.count('\n'), 50) << "the whole list was written";
    EXPECT_TRUE(QString::fromUtf8(messages).split(u'\n').contains(
        u" 已选中数量:0 删除歌曲 成功数量:0 失败数量:0 异常数量:0"_s))
        << messages.constData();
    EXPECT_EQ(files(), before);
}

INSTANTIATE_TEST_SUITE_P(Cli, StopSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& p) { return std::string(::sigabbrev_np(p.param)); });

// --- delete --move-to, --trash and restore ---------------------------------------

// Every listed file is taken aside but the read-only 10160 (and the second
// listing of 10023, gone by then); restore brings them all back.
class MoveAside : public SongTree {
protected:
    void SetUp() override {
        SongTree::SetUp();
        ASSERT_TRUE(QFile::setPermissions(first() + u"/10160.mpg"_s,
                                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }

    QStringList deleteArgs(const QStringList& how) const {
        return withTree(QStringList{u"delete"_s, u"@lib"_s, u"--folder"_s, u"@first"_s,
                                    u"--folder"_s, u"@second"_s, u"--yes"_s} +
                        how);
    }

    QString keep() const { return m_dir.path() + u"/保存"_s; }

    const QStringList m_taken = {u"歌曲一/13008.mpg"_s, u"歌曲一/10023.mpg"_s,
                                 u"歌曲二/10329.mpg"_s, u"歌曲二/10027.mpg"_s};
};

class MoveTo : public MoveAside, public ::testing::WithParamInterface<bool> {};

TEST_P(MoveTo, KeepsEachFileWithItsRecordAndRestoresThem) {
    const bool otherFileSystem = GetParam();
    ASSERT_TRUE(QDir().mkpath(keep()));
    ScratchMount mount;
    if (otherFileSystem && !mount.mount(keep(), 1 << 20)) {
        // Note: without root no tmpfs; this row then shows a second folder.
        RecordProperty("note", "no tmpfs: keeping folder on the same file system");
    }
    const qint64 bytes = sizeOf(m_taken);

    const CliRun run = runCli(deleteArgs({u"--move-to"_s, keep()}));
    EXPECT_EQ(run.exitCode, 1) << "the read-only file is still there";
    ASSERT_EQ(run.errLines.size(), 4) << qPrintable(run.errLines.join(u'\n'));
    EXPECT_EQ(run.errLines[2], u" 已选中数量:6 移动歌曲 成功数量:4 失败数量:2 异常数量:0"_s);
    EXPECT_EQ(run.errLines[3], u"已移走:%1 B"_s.arg(bytes));
    QStringList expected = m_initialFiles;
    for (const QString& file : m_taken) {
        const QString original = m_dir.path() + u'/' + file;
        expected.removeOne(original);
        expected << keep() + original;
        QFile kept(keep() + original);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << qPrintable(file);
        EXPECT_EQ(kept.readAll(), original.toUtf8());
    }
    expected << keep() + u"/vaskord-moves.tsv"_s;
    expected.sort();
    EXPECT_EQ(files().join(u'\n'), expected.join(u'\n'));

    const CliRun back = runCli({u"restore"_s, keep()});
    EXPECT_EQ(back.exitCode, 0) << qPrintable(back.errLines.join(u'\n'));
    EXPECT_EQ(back.errLines, QStringList{u" 恢复歌曲文件 成功数量:4 失败数量:0 已在原处数量:0"_s});
    ASSERT_EQ(back.lines.size(), 4);
    QStringList restored;
    for (const QByteArray& line : back.lines) {
        const QJsonObject report = parseLine(line);
        EXPECT_EQ(keysInOrder(line, {u"path"_s, u"from"_s, u"restored"_s, u"reason"_s}),
                  QStringList({u"path"_s, u"from"_s, u"restored"_s, u"reason"_s}));
        EXPECT_TRUE(report.value(u"restored"_s).toBool());
        EXPECT_TRUE(report.value(u"reason"_s).isNull());
        EXPECT_EQ(report.value(u"from"_s).toString(), keep() + report.value(u"path"_s).toString());
        restored << report.value(u"path"_s).toString().mid(m_dir.path().size() + 1);
    }
    restored.sort();
    QStringList taken = m_taken;
    taken.sort();
    EXPECT_EQ(restored, taken);
    QStringList afterRestore = m_initialFiles;
    afterRestore << keep() + u"/vaskord-moves.tsv"_s;
    afterRestore.sort();
    EXPECT_EQ(files().join(u'\n'), afterRestore.join(u'\n'));
    for (const QString& file : m_taken) {
        QFile song(m_dir.path() + u'/' + file);
        ASSERT_TRUE(song.open(QIODevice::ReadOnly));
        EXPECT_EQ(song.readAll(), (m_dir.path() + u'/' + file).toUtf8());
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, MoveTo, ::testing::Values(false, true), [](const auto& p) {
    return std::string(p.param ? "OtherFileSystem" : "SameFileSystem");
});

TEST_F(MoveAside, TrashThenRestoreNamedFilesThenTheRest) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString trash = m_dir.path() + u"/家/Trash"_s;
    environment.insert(u"XDG_DATA_HOME"_s, m_dir.path() + u"/家"_s);
    const qint64 bytes = sizeOf(m_taken);

    const CliRun run = runCli(deleteArgs({u"--trash"_s}), environment);
    EXPECT_EQ(run.exitCode, 1) << "the read-only file is still there";
    ASSERT_EQ(run.errLines.size(), 4) << qPrintable(run.errLines.join(u'\n'));
    EXPECT_EQ(run.errLines[2], u" 已选中数量:6 移入回收站 成功数量:4 失败数量:2 异常数量:0"_s);
    EXPECT_EQ(run.errLines[3], u"已移入回收站:%1 B"_s.arg(bytes));
    for (const QString& file : m_taken) {
        const QString name = QFileInfo(file).fileName();
        EXPECT_FALSE(QFileInfo::exists(m_dir.path() + u'/' + file));
        EXPECT_TRUE(QFileInfo::exists(trash + u"/files/"_s + name)) << qPrintable(name);
        EXPECT_TRUE(QFileInfo::exists(trash + u"/info/"_s + name + u".trashinfo"_s));
    }

    // One file by a path relative to the current folder, as typed in a shell.
    QProcess one;
    one.setProcessEnvironment(environment);
    one.setWorkingDirectory(first());
    one.start(QString::fromUtf8(VASKORD_CLI), {u"restore"_s, u"--trash"_s, u"13008.mpg"_s});
    ASSERT_TRUE(one.waitForFinished(120000));
    EXPECT_EQ(one.exitCode(), 0) << one.readAllStandardError().constData();
    const QList<QByteArray> oneLines = one.readAllStandardOutput().split('\n');
    ASSERT_GE(oneLines.size(), 1);
    const QJsonObject report = parseLine(oneLines[0]);
    EXPECT_EQ(report.value(u"path"_s).toString(), first() + u"/13008.mpg"_s);
    EXPECT_EQ(report.value(u"from"_s).toString(), trash + u"/files/13008.mpg"_s);
    EXPECT_TRUE(report.value(u"restored"_s).toBool());
    EXPECT_TRUE(QFileInfo::exists(first() + u"/13008.mpg"_s));

    const CliRun rest = runCli({u"restore"_s, u"--trash"_s}, environment);
    EXPECT_EQ(rest.exitCode, 0) << qPrintable(rest.errLines.join(u'\n'));
    EXPECT_EQ(rest.lines.size(), 3);
    EXPECT_EQ(rest.errLines, QStringList{u" 恢复歌曲文件 成功数量:3 失败数量:0 已在原处数量:0"_s});
    EXPECT_EQ(files(), m_initialFiles) << "every file back, no info file left";

    const CliRun again =
        runCli({u"restore"_s, u"--trash"_s, first() + u"/13008.mpg"_s}, environment);
    EXPECT_EQ(again.exitCode, 1);
    ASSERT_EQ(again.lines.size(), 1);
    EXPECT_EQ(parseLine(again.lines[0]).value(u"reason"_s).toString(),
              u"回收站中没有这个歌曲文件"_s);
}

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
