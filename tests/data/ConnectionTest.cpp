#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "TsvTwin.h"
#include "data/Query.h"
#include "data/USysset.h"
#include "tests/CaseName.h"

using vaskord::data::Connection;
using vaskord::data::DatabaseError;
using vaskord::data::dataSourcePath;
using vaskord::data::Query;

namespace {

// ---------------------------------------------------------- connection string

struct DataSourceCase {
    const char* name;
    const char* connectionString;
    const char* path;
};

class DataSourcePathTest : public testing::TestWithParam<DataSourceCase> {};

TEST_P(DataSourcePathTest, TakesEverythingAfterTheLastDataSource) {
    EXPECT_EQ(dataSourcePath(QString::fromUtf8(GetParam().connectionString)),
              QString::fromUtf8(GetParam().path));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, DataSourcePathTest,
    testing::Values(
        DataSourceCase{"none", "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False", ""},
        DataSourceCase{"one",
                       "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data "
                       "Source=D:\\ktv\\song.mdb",
                       "D:\\ktv\\song.mdb"},
        DataSourceCase{"newestOfTwo", "P=x;Data Source=/old/a.mdb;Data Source=/新/歌库.mdb",
                       "/新/歌库.mdb"},
        DataSourceCase{"semicolonInPath", "P=x;Data Source=/a;b/c.mdb", "/a;b/c.mdb"},
        DataSourceCase{"emptyNewest", "P=x;Data Source=/a.mdb;Data Source=", ""},
        DataSourceCase{"anyLetterCase", "P=x;data source=/x.mdb", "/x.mdb"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(SyssetTest, StartsClosedWithTheBaseConnectionString) {
    const vaskord::data::Tsysset sysset;
    EXPECT_EQ(sysset.conDB.connectionString(),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False"));
    EXPECT_FALSE(sysset.conDB.isOpen());
}

// ---------------------------------------------------------- opening failures

// Where each broken library is made, and what the message must say.
struct OpenFailureCase {
    const char* name;
    std::function<QString(const QDir&)> make;  // returns the path to open
    const char* cause;
    bool namesPath;
    bool needsNonRoot = false;
};

QString copyCutTo(const QDir& dir, const QString& name, qsizetype bytes) {
    const QString path = dir.filePath(name);
    writeAll(path, readAll(fixturePath(QStringLiteral("songs-demo.mdb"))).left(bytes));
    return path;
}

class OpenFailureTest : public testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, RaisesANamedErrorAndStaysClosed) {
    if (GetParam().needsNonRoot && geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString path = GetParam().make(QDir(temp.path()));

    vaskord::data::Tsysset sysset;
    sysset.conDB.setConnectionString(sysset.conDB.connectionString() +
                                     QStringLiteral(";Data Source=") + path);
    try {
        sysset.conDB.open();
        FAIL() << "opened " << path.toStdString();
    } catch (const DatabaseError& error) {
        const QString message = QString::fromUtf8(error.what());
        EXPECT_TRUE(message.contains(QString::fromUtf8(GetParam().cause))) << error.what();
        if (GetParam().namesPath) {
            EXPECT_TRUE(message.contains(path)) << error.what();
        }
        // The operator reads Chinese only: no system or library text in English.
        // Names quoted from the file, the path and the product's name aside.
        QString words = message;
        words.remove(path).remove(QStringLiteral("Access")).remove(QStringLiteral("GB"));
        words.remove(QRegularExpression(QStringLiteral("'[^']*'")));
        EXPECT_FALSE(words.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
            << error.what();
    }
    EXPECT_FALSE(sysset.conDB.isOpen());
}

// A file of `bytes` bytes, all but its start a hole: `start` and zeros.
QString sparseFile(const QDir& dir, const QString& name, const QByteArray& start, qint64 bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(start);
    EXPECT_TRUE(file.resize(bytes));
    return path;
}

constexpr qint64 kGigabyte = qint64(1) << 30;

INSTANTIATE_TEST_SUITE_P(
    BrokenLibraries, OpenFailureTest,
    testing::Values(
        OpenFailureCase{"emptyPath", [](const QDir&) { return QString(); }, "没有指定", false},
        OpenFailureCase{"missingFile",
                        [](const QDir& dir) { return dir.filePath(QStringLiteral("不存在.mdb")); },
                        "文件不存在", true},
        OpenFailureCase{"folder",
                        [](const QDir& dir) {
                            dir.mkdir(QStringLiteral("歌库.mdb"));
                            return dir.filePath(QStringLiteral("歌库.mdb"));
                        },
                        "文件夹", true},
        OpenFailureCase{"emptyFile",
                        [](const QDir& dir) {
                            const QString path = dir.filePath(QStringLiteral("空的.mdb"));
                            writeAll(path, {});
                            return path;
                        },
                        "文件是空的", true},
        OpenFailureCase{"textFile",
                        [](const QDir& dir) {
                            const QString path = dir.filePath(QStringLiteral("说明.mdb"));
                            writeAll(path, QByteArray("这不是数据库\n").repeated(800));
                            return path;
                        },
                        "不是 Access 数据库文件", true},
        OpenFailureCase{"cutAfterFirstPages",
                        [](const QDir& dir) {
                            return copyCutTo(dir, QStringLiteral("截断;前几页.mdb"), 4 * 4096);
                        },
                        "文件不完整", true},
        OpenFailureCase{"cutInTheMiddle",
                        [](const QDir& dir) {
                            return copyCutTo(dir, QStringLiteral("截断 一半.mdb"), 70 * 4096);
                        },
                        "文件不完整", true},
        OpenFailureCase{"cutMidPage",
                        [](const QDir& dir) {
                            return copyCutTo(dir, QStringLiteral("截断.mdb"), 100 * 4096 + 17);
                        },
                        "文件不完整", true},
        OpenFailureCase{"noReadPermission",
                        [](const QDir& dir) {
                            const QString path = dir.filePath(QStringLiteral("锁住.mdb"));
                            QFile::copy(fixturePath(QStringLiteral("songs-edge.mdb")), path);
                            QFile::setPermissions(path, QFileDevice::WriteOwner);
                            return path;
                        },
                        "权限", true, true},
        OpenFailureCase{"fifo",
                        [](const QDir& dir) {
                            const QString path = dir.filePath(QStringLiteral("管道.mdb"));
                            EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
                            return path;
                        },
                        "这不是普通文件", true},
        OpenFailureCase{"endlessDevice", [](const QDir&) { return QStringLiteral("/dev/zero"); },
                        "这不是普通文件", true},
        OpenFailureCase{"zerosOf3GB",
                        [](const QDir& dir) {
                            return sparseFile(dir, QStringLiteral("空洞.mdb"), {}, 3 * kGigabyte);
                        },
                        "不是 Access 数据库文件", true},
        OpenFailureCase{"zerosOf1TB",
                        [](const QDir& dir) {
                            return sparseFile(dir, QStringLiteral("空洞.mdb"), {},
                                              1024 * kGigabyte);
                        },
                        "不是 Access 数据库文件", true},
        OpenFailureCase{"libraryGrownTo3GB",
                        [](const QDir& dir) {
                            return sparseFile(
                                dir, QStringLiteral("大.mdb"),
                                readAll(fixturePath(QStringLiteral("songs-edge.mdb"))),
                                3 * kGigabyte);
                        },
                        "超过 Access 数据库 2 GB 的上限", true},
        OpenFailureCase{"libraryGrownTo1TB",
                        [](const QDir& dir) {
                            return sparseFile(
                                dir, QStringLiteral("大.mdb"),
                                readAll(fixturePath(QStringLiteral("songs-edge.mdb"))),
                                1024 * kGigabyte);
                        },
                        "超过 Access 数据库 2 GB 的上限", true},
        // A GBK name from a Windows disk: the text cannot give its bytes back.
        OpenFailureCase{
            "nameNotUtf8",
            [](const QDir& dir) {
                const QByteArray gbk = QFile::encodeName(dir.path()) + "/\xb8\xe8.mdb";
                QFile::copy(fixturePath(QStringLiteral("songs-edge.mdb")),
                            dir.filePath(QStringLiteral("copy.mdb")));
                ::rename(QFile::encodeName(dir.filePath(QStringLiteral("copy.mdb"))).constData(),
                         gbk.constData());
                return QFile::decodeName(gbk);
            },
            "convmv -f gbk -t utf-8", true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// libmdb prints about odd files, partly on standard output, where the
// command-line program writes its results: nothing of it may get through.
TEST(OpenFailureOutputTest, ABrokenLibraryPrintsNothing) {
    QTemporaryDir temp;
    const QString path = copyCutTo(QDir(temp.path()), QStringLiteral("截断.mdb"), 4 * 4096);
    const QString capture = temp.filePath(QStringLiteral("output.txt"));
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(STDOUT_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    FILE* sink = std::fopen(QFile::encodeName(capture).constData(), "w");
    ASSERT_NE(sink, nullptr);
    dup2(fileno(sink), STDOUT_FILENO);
    dup2(fileno(sink), STDERR_FILENO);
    Connection con;
    con.setConnectionString(QStringLiteral("Data Source=") + path);
    bool failed = false;
    try {
        con.open();
    } catch (const DatabaseError&) {
        failed = true;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    close(savedOut);
    close(savedErr);
    std::fclose(sink);
    EXPECT_TRUE(failed);
    EXPECT_EQ(readAll(capture), QByteArray());
}

// Silencing libmdb must give each stream back as it was: a closed standard
// output stays closed rather than come back as /dev/null, where a listing
// would vanish without an error.
TEST(OpenFailureOutputTest, AClosedStandardOutputStaysClosed) {
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    ASSERT_GE(savedOut, 0);
    close(STDOUT_FILENO);
    bool opened = false;
    try {
        Connection con;
        con.setConnectionString(QStringLiteral("Data Source=") +
                                fixturePath(QStringLiteral("songs-edge.mdb")));
        con.open();
        opened = con.isOpen();
    } catch (const DatabaseError&) {
    }
    const bool closedAfter = fcntl(STDOUT_FILENO, F_GETFD) == -1;
    dup2(savedOut, STDOUT_FILENO);
    close(savedOut);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(closedAfter);
}

// ---------------------------------------------------------- reopening

int songCount(Connection& connection) {
    Query query;
    query.setConnection(&connection);
    query.setSql(QStringLiteral("select S_Code from Ok_Song"));
    query.open();
    return query.recordCount();
}

TEST(ConnectionTest, TheNewestDataSourceIsTheLibraryOpened) {
    QTemporaryDir temp;
    const QString second = temp.filePath(QStringLiteral("第二个;歌库.mdb"));
    ASSERT_TRUE(QFile::copy(fixturePath(QStringLiteral("songs-demo.mdb")), second));

    vaskord::data::Tsysset sysset;
    Connection& con = sysset.conDB;
    con.setConnectionString(con.connectionString() + QStringLiteral(";Data Source=") +
                            fixturePath(QStringLiteral("songs-edge.mdb")));
    con.open();
    EXPECT_EQ(songCount(con), 120);

    con.close();
    con.setConnectionString(con.connectionString() + QStringLiteral(";Data Source=") + second);
    con.open();
    EXPECT_EQ(songCount(con), 3000);
}

// A Linux file name may hold "Data Source=" or ";": the library chosen is the
// one opened, never a file named by reading the connection string back, here
// the other library waiting in the working folder under the name that follows.
struct AppendedPathCase {
    const char* name;
    const char* fileName;
};

class AppendedPathTest : public testing::TestWithParam<AppendedPathCase> {};

TEST_P(AppendedPathTest, OpensExactlyThePathAppended) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString chosen = temp.filePath(QString::fromUtf8(GetParam().fileName));
    ASSERT_TRUE(QFile::copy(fixturePath(QStringLiteral("songs-demo.mdb")), chosen));
    QDir(temp.path()).mkdir(QStringLiteral("cwd"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(temp.filePath(QStringLiteral("cwd"))));
    ASSERT_TRUE(
        QFile::copy(fixturePath(QStringLiteral("songs-edge.mdb")), QStringLiteral("songs.mdb")));

    vaskord::data::Tsysset sysset;
    Connection& con = sysset.conDB;
    bool opened = false;
    try {
        con.reopenOn(chosen);
        opened = true;
    } catch (const DatabaseError& error) {
        ADD_FAILURE() << error.what();
    }
    QDir::setCurrent(before);
    ASSERT_TRUE(opened);
    EXPECT_EQ(con.connectionString(), QString::fromLatin1(vaskord::data::kBaseConnectionString) +
                                          QStringLiteral(";Data Source=") + chosen);
    EXPECT_EQ(con.libraryPath(), chosen);
    EXPECT_EQ(songCount(con), 3000) << "the demo library, not the other one";

    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(chosen).constData(), &st), 0);
    ASSERT_TRUE(con.libraryFileId().has_value());
    EXPECT_TRUE(*con.libraryFileId() == vaskord::FileId::of(st));
    con.close();
    EXPECT_FALSE(con.libraryFileId().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Names, AppendedPathTest,
    testing::Values(AppendedPathCase{"dataSourceInName", "Data Source=songs.mdb"},
                    AppendedPathCase{"lowerCaseAfterSemicolon", "歌库;data source=songs.mdb"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ConnectionTest, AFailedReopenLeavesTheConnectionClosed) {
    Connection con;
    con.setConnectionString(QStringLiteral("Data Source=") +
                            fixturePath(QStringLiteral("songs-edge.mdb")));
    con.open();
    con.setConnectionString(con.connectionString() + QStringLiteral(";Data Source=/无此文件.mdb"));
    EXPECT_THROW(con.open(), DatabaseError);
    EXPECT_FALSE(con.isOpen());

    Query query;
    query.setConnection(&con);
    query.setSql(QStringLiteral("select * from Ok_Song"));
    try {
        query.open();
        FAIL() << "queried a closed connection";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("连接未打开")));
    }
}

TEST(ConnectionTest, AQueryWithoutAConnectionRaises) {
    Query query;
    query.setSql(QStringLiteral("select * from Ok_Song"));
    EXPECT_THROW(query.open(), DatabaseError);
    EXPECT_FALSE(query.isOpen());
}

// ---------------------------------------------------------- the library changes while open

// What a query sees of the library: how many songs, and the name of song 12001.
struct LibraryView {
    int songs = 0;
    QString name12001;
    bool operator==(const LibraryView&) const = default;
};

void PrintTo(const LibraryView& view, std::ostream* os) {
    *os << view.songs << " songs, 12001 named '" << view.name12001.toStdString() << "'";
}

LibraryView viewOf(Connection& connection) {
    LibraryView view{songCount(connection), {}};
    Query query;
    query.setConnection(&connection);
    query.setSql(QStringLiteral("select S_NAME from Ok_Song where S_Code = '12001'"));
    query.open();
    if (!query.atEnd()) {
        view.name12001 = query.fieldText(QStringLiteral("S_NAME"));
    }
    return view;
}

// The edge library with "O'Neil" (song 12001's name and its singer's) spelt
// "O'Neal": the same size, one field's bytes changed, as an update in place
// by the request system would leave it.
QByteArray edgeLibraryWithOneNameChanged() {
    const auto utf16 = [](const QString& text) {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    QByteArray bytes = readAll(fixturePath(QStringLiteral("songs-edge.mdb")));
    const QByteArray from = utf16(QStringLiteral("O'Neil"));
    EXPECT_EQ(bytes.count(from), 2);
    bytes.replace(from, utf16(QStringLiteral("O'Neal")));
    return bytes;
}

void overwriteInPlace(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(0));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct LibraryChangeCase {
    const char* name;
    std::function<void(const QString& path, const QDir& dir)> change;
    LibraryView after;
};

class LibraryChangeTest : public testing::TestWithParam<LibraryChangeCase> {};

// Each query reads the library as it is then; a query opened before the
// change keeps reading the rows it found.
TEST_P(LibraryChangeTest, TheNextQuerySeesTheChange) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString path = temp.filePath(QStringLiteral("歌库.mdb"));
    ASSERT_TRUE(QFile::copy(fixturePath(QStringLiteral("songs-edge.mdb")), path));
    Connection con;
    con.setConnectionString(QStringLiteral("Data Source=") + path);
    con.open();
    const LibraryView before{120, QStringLiteral("O'Neil")};
    ASSERT_EQ(viewOf(con), before);
    Query earlier;
    earlier.setConnection(&con);
    earlier.setSql(QStringLiteral("select * from Ok_Song"));
    earlier.open();

    GetParam().change(path, QDir(temp.path()));

    EXPECT_EQ(viewOf(con), GetParam().after);
    int rows = 0;
    for (; !earlier.atEnd(); earlier.next(), ++rows) {
        for (const QString& column : earlier.columnNames()) {
            earlier.fieldText(column);
        }
    }
    EXPECT_EQ(rows, before.songs);
    EXPECT_EQ(viewOf(con), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, LibraryChangeTest,
    testing::Values(
        LibraryChangeCase{"replacedByRenameOver",
                          [](const QString& path, const QDir& dir) {
                              const QString copy = dir.filePath(QStringLiteral("新.mdb"));
                              ASSERT_TRUE(
                                  QFile::copy(fixturePath(QStringLiteral("songs-demo.mdb")), copy));
                              ASSERT_EQ(std::rename(QFile::encodeName(copy).constData(),
                                                    QFile::encodeName(path).constData()),
                                        0);
                          },
                          {3000, QString()}},
        LibraryChangeCase{"rewrittenInPlace",
                          [](const QString& path, const QDir&) {
                              overwriteInPlace(
                                  path, readAll(fixturePath(QStringLiteral("songs-demo.mdb"))));
                          },
                          {3000, QString()}},
        LibraryChangeCase{"oneFieldUpdatedInPlace",
                          [](const QString& path, const QDir&) {
                              overwriteInPlace(path, edgeLibraryWithOneNameChanged());
                          },
                          {120, QStringLiteral("O'Neal")}},
        LibraryChangeCase{
            "updatedWithItsModificationTimePutBack",
            [](const QString& path, const QDir&) {
                struct stat status {};
                ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
                overwriteInPlace(path, edgeLibraryWithOneNameChanged());
                const timespec times[2] = {status.st_atim, status.st_mtim};
                ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
            },
            {120, QStringLiteral("O'Neal")}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A library that goes away fails the query with the reason; once it is back
// the same connection reads it again.
TEST(LibraryGoneTest, ALibraryGoneForAWhileFailsTheQueryThenReadsAgain) {
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("歌库.mdb"));
    ASSERT_TRUE(QFile::copy(fixturePath(QStringLiteral("songs-edge.mdb")), path));
    Connection con;
    con.setConnectionString(QStringLiteral("Data Source=") + path);
    con.open();
    ASSERT_EQ(songCount(con), 120);

    ASSERT_TRUE(QFile::remove(path));
    try {
        songCount(con);
        FAIL() << "queried a removed library";
    } catch (const DatabaseError& error) {
        const QString message = QString::fromUtf8(error.what());
        EXPECT_TRUE(message.contains(QStringLiteral("文件不存在"))) << error.what();
        EXPECT_TRUE(message.contains(path)) << error.what();
    }
    EXPECT_TRUE(con.isOpen());

    ASSERT_TRUE(QFile::copy(fixturePath(QStringLiteral("songs-demo.mdb")), path));
    EXPECT_EQ(songCount(con), 3000);
}

// A FIFO renamed over the library has no writer: the next query must refuse
// it at once rather than wait for one.
TEST(LibraryGoneTest, AFifoPutInPlaceOfTheLibraryIsRefused) {
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("歌库.mdb"));
    ASSERT_TRUE(QFile::copy(fixturePath(QStringLiteral("songs-edge.mdb")), path));
    Connection con;
    con.setConnectionString(QStringLiteral("Data Source=") + path);
    con.open();
    ASSERT_EQ(songCount(con), 120);

    const QString fifo = temp.filePath(QStringLiteral("管道"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_EQ(std::rename(QFile::encodeName(fifo).constData(), QFile::encodeName(path).constData()),
              0);
    try {
        songCount(con);
        FAIL() << "queried a FIFO";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("这不是普通文件")))
            << error.what();
    }
}

// ---------------------------------------------------------- read only

QByteArray digest(const QString& path) {
    return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256);
}

// Every kind of use, good and bad, must leave the library byte for byte as
// it was, with its modification time untouched.
TEST(ReadOnlyTest, NoUseChangesAByteOfTheLibrary) {
    const QStringList libraries{fixturePath(QStringLiteral("songs-edge.mdb")),
                                fixturePath(QStringLiteral("songs-demo.mdb")),
                                fixturePath(QStringLiteral("real/nwind.mdb"))};
    std::vector<QByteArray> before;
    std::vector<QDateTime> modified;
    for (const QString& path : libraries) {
        before.push_back(digest(path));
        modified.push_back(QFileInfo(path).lastModified());
    }
    const QStringList sqls{
        QStringLiteral(" Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, "
                       "S_COUNT,S_INPUTDATE,S_IFUsed from Ok_Song Where S_COUNT<100 order by "
                       "S_COUNT,S_INPUTCODE,S_Code"),
        QStringLiteral("select * from Ok_Song where S_NAME like '%'"),
        QStringLiteral("select * from [Umsätze] order by ShipCountry desc"),
        QStringLiteral("select * from NoSuchTable"),
        QStringLiteral("select nonsense from"),
    };
    for (int round = 0; round < 2; ++round) {
        for (const QString& path : libraries) {
            Connection con;
            con.setConnectionString(QStringLiteral("Data Source=") + path);
            con.open();
            for (const QString& sql : sqls) {
                Query query;
                query.setConnection(&con);
                query.setSql(sql);
                try {
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
    }
    for (qsizetype i = 0; i < libraries.size(); ++i) {
        EXPECT_EQ(digest(libraries[i]), before[std::size_t(i)]) << libraries[i].toStdString();
        EXPECT_EQ(QFileInfo(libraries[i]).lastModified(), modified[std::size_t(i)]);
    }
}

}  // namespace
