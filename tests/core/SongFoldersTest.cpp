#include <gtest/gtest.h>

#include "TempTree.h"
#include "core/SongFolders.h"

using namespace Qt::StringLiterals;

namespace {

struct NormalizeCase {
    const char* name;
    QStringList memo;
    QStringList folders;
};

// Test names carry the row name; print it instead of the bytes.
void PrintTo(const NormalizeCase& row, std::ostream* os) {
    *os << row.name;
}

class NormalizeTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, EachLineEndsInOneSeparator) {
    EXPECT_EQ(vaskord::normalizeSongFolders(GetParam().memo), GetParam().folders);
}

const NormalizeCase kNormalizeCases[] = {
    {"RootStaysAsItIs", {u"/"_s}, {u"/"_s}},
    {"SeparatorAppended", {u"/srv/songs"_s}, {u"/srv/songs/"_s}},
    {"TrailingSeparatorKept", {u"/srv/songs/"_s}, {u"/srv/songs/"_s}},
    {"EndsInChineseCharacter", {u"/mnt/歌曲"_s}, {u"/mnt/歌曲/"_s}},
    // The low half of a surrogate pair is the last UTF-16 unit here.
    {"EndsInNonBmpCharacter", {u"/mnt/\U0002F02F"_s}, {u"/mnt/\U0002F02F/"_s}},
    {"MemoOrderKeptAndEmptyLinesSkipped",
     {u"/b"_s, QString(), u"/a/"_s, u"/c"_s},
     {u"/b/"_s, u"/a/"_s, u"/c/"_s}},
    {"EmptyMemo", {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeTest, testing::ValuesIn(kNormalizeCases),
                         [](const auto& row) { return std::string(row.param.name); });

struct AddCase {
    const char* name;
    QString folder;
    bool held;
    bool appended;
};

void PrintTo(const AddCase& row, std::ostream* os) {
    *os << row.name;
}

class AddFolderTest : public testing::TestWithParam<AddCase> {};

TEST_P(AddFolderTest, AppendsOnlyWhenNoLineMatchesExactly) {
    const QStringList memo = {u"/srv/Songs"_s, u"/mnt/Ärger"_s, u"/mnt/歌曲"_s};
    const AddCase& c = GetParam();
    const QStringList after = vaskord::addSongFolder(memo, c.folder);
    EXPECT_EQ(vaskord::memoHoldsFolder(memo, c.folder), c.held);
    EXPECT_EQ(after, c.appended ? memo + QStringList{c.folder} : memo);
}

const AddCase kAddCases[] = {
    {"SameText", u"/srv/Songs"_s, true, false},
    // Letter case makes another folder on Linux.
    {"LowerCase", u"/srv/songs"_s, false, true},
    {"UpperCase", u"/SRV/SONGS"_s, false, true},
    {"NonAsciiCaseVariant", u"/mnt/äRGER"_s, false, true},
    {"ChineseSameText", u"/mnt/歌曲"_s, true, false},
    {"NewFolder", u"/srv/Songs2"_s, false, true},
    {"PrefixOfAnotherLine", u"/srv"_s, false, true},
    // Composed and decomposed letters are different names on Linux.
    {"DecomposedLetterIsAnotherFolder", u"/mnt/A\u0308rger"_s, false, true},
    {"NothingChosen", QString(), false, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, AddFolderTest, testing::ValuesIn(kAddCases),
                         [](const auto& row) { return std::string(row.param.name); });

struct ProblemCase {
    const char* name;
    QString folder;
    QString problem;  // what the prompt must hold; empty: the folder is fine
};

void PrintTo(const ProblemCase& row, std::ostream* os) {
    *os << row.name;
}

class FolderProblemTest : public testing::TestWithParam<ProblemCase> {};

TEST_P(FolderProblemTest, RefusesWhatWouldNameAnotherFolder) {
    const QString problem = vaskord::songFolderProblem(GetParam().folder);
    if (GetParam().problem.isEmpty()) {
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
    } else {
        EXPECT_TRUE(problem.contains(GetParam().problem)) << problem.toStdString();
        EXPECT_FALSE(problem.contains(u'\n')) << "one line";
    }
}

const ProblemCase kProblemCases[] = {
    {"Plain", u"/srv/歌曲"_s, {}},
    {"Root", u"/"_s, {}},
    {"DotDotIsTheKernels", u"/srv/L/../songs"_s, {}},
    {"LineBreak", u"/srv/a\nb"_s, u"控制字符, 不能使用: /srv/a\\x0Ab"_s},
    {"CarriageReturn", u"/srv/a\r"_s, u"/srv/a\\x0D"_s},
    {"Tab", u"/srv/\tx"_s, u"/srv/\\x09x"_s},
    {"Delete", u"/srv/\x7f"_s, u"控制字符"_s},
    {"C1Control", u"/srv/\u0085"_s, u"控制字符"_s},
    {"Relative", u"songs"_s, u"以 / 开头的完整路径: songs"_s},
    {"RelativeDot", u"./songs"_s, u"完整路径"_s},
    {"BytesThatWereNoUtf8", QFile::decodeName("/srv/\xb8\xe8\xc7\xfa"),
     u"convmv -f gbk -t utf-8"_s},
};

INSTANTIATE_TEST_SUITE_P(Cases, FolderProblemTest, testing::ValuesIn(kProblemCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PathBytes, TextDecodedFromNonUtf8BytesCannotGiveThemBack) {
    // Why such names are refused rather than carried: the text does not
    // encode back to the bytes the file system holds.
    const QByteArray gbk = "/srv/\xb8\xe8\xc7\xfa";
    const QString text = QFile::decodeName(gbk);
    EXPECT_NE(QFile::encodeName(text), gbk);
    EXPECT_TRUE(vaskord::holdsUndecodedBytes(text));
    EXPECT_FALSE(vaskord::holdsUndecodedBytes(u"/srv/歌曲"_s));
    EXPECT_FALSE(vaskord::libraryPathProblem(text).isEmpty());
    EXPECT_TRUE(vaskord::libraryPathProblem(u"/srv/歌库.mdb"_s).isEmpty());
}

TEST(SongFolderBrowseStart, DesktopWhenItExistsElseHome) {
    TempTree home;
    ASSERT_TRUE(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path(u"主目录"_s)));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path(u"config"_s)));
    home.folder(u"主目录"_s);

    EXPECT_EQ(QDir(vaskord::songFolderBrowseStart()), QDir(home.path(u"主目录"_s)));
    home.folder(u"主目录/Desktop"_s);
    EXPECT_EQ(QDir(vaskord::songFolderBrowseStart()), QDir(home.path(u"主目录/Desktop"_s)));

    qputenv("HOME", oldHome);
    if (oldConfig.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
}

}  // namespace
