#include <gtest/gtest.h>

#include <random>

#include "TempTree.h"
#include "core/SongFiles.h"

using namespace Qt::StringLiterals;
using vaskord::SongFileFinder;

namespace {

// Song folders a/ and b/, behind a missing folder and a plain file that stand
// where folders are expected, plus files outside the folders that an unsafe
// song number could reach.
class SongTree {
public:
    SongTree() {
        t.file(u"a/10023.mpg"_s);
        t.file(u"b/10023.mpg"_s);
        t.file(u"b/30000.mpg"_s);
        t.folder(u"a/dirsong.mpg"_s);
        t.file(u"b/dirsong.mpg"_s);
        t.file(u"a/20000.MPG"_s);
        t.file(u"a/20001.mpeg"_s);
        t.file(u"a/20002.vob"_s);
        t.file(u"a/20003"_s);
        t.file(u"outside/real.mpg"_s);
        t.link(u"a/link.mpg"_s, t.path(u"outside/real.mpg"_s));
        t.link(u"a/dangling.mpg"_s, t.path(u"outside/gone.mpg"_s));
        t.link(u"a/linkdir.mpg"_s, t.path(u"outside"_s));
        t.file(u"a/12 .mpg"_s);
        t.file(u"b/歌曲.mpg"_s);
        t.file(u"b/\U0001F3A4.mpg"_s);
        t.file(u"13003.mpg"_s);  // a/../13003.mpg
        t.file(u"a/...mpg"_s);   // a/ + ".." + .mpg
        t.file(u"a/..mpg"_s);    // a/ + "." + .mpg
        t.file(u"a/.mpg"_s);     // a/ + "" + .mpg
        t.file(u"a/sub/40000.mpg"_s);
        t.file(u"a/nul"_s);  // what "nul\0x" would reach as a C string
        t.file(u"plain"_s);
        // What a lone surrogate half could be encoded to.
        t.file(QFile::decodeName("b/50000\xef\xbf\xbd.mpg"));
        t.file(u"b/50000?.mpg"_s);
        t.file(u"b/50000.mpg"_s);
    }
    QStringList folders() const {
        return {t.path(u"missing/"_s), t.path(u"plain/"_s), t.path(u"a/"_s), t.path(u"b/"_s)};
    }
    TempTree t;
};

struct FindCase {
    const char* name;
    QString code;
    QString found;  // relative to the tree, or empty
};

// Test names carry the row name; print it instead of the bytes.
void PrintTo(const FindCase& row, std::ostream* os) {
    *os << row.name;
}

class FindTest : public testing::TestWithParam<FindCase> {};

// Every lookup is answered three ways: the plain per-row test, a finder still
// testing per row, and a finder that has read its folders.
TEST_P(FindTest, FirstFolderHoldingARegularFileOfTheExactName) {
    SongTree tree;
    ASSERT_TRUE(tree.t.isValid());
    const FindCase& c = GetParam();
    const QString expected = c.found.isEmpty() ? QString() : tree.t.path(c.found);

    EXPECT_EQ(vaskord::FindSongFile(tree.folders(), c.code), expected);

    SongFileFinder fresh(tree.folders());
    EXPECT_EQ(fresh.find(c.code), expected) << "testing per row";

    SongFileFinder warm(tree.folders());
    for (int i = 0; i < 200; ++i) {
        warm.find(u"absent"_s + QString::number(i));
    }
    EXPECT_EQ(warm.find(c.code), expected) << "answering from folder entries";
}

const FindCase kFindCases[] = {
    {"FirstFolderWins", u"10023"_s, u"a/10023.mpg"_s},
    {"SecondFolder", u"30000"_s, u"b/30000.mpg"_s},
    {"FolderOfTheNameIsPassedOver", u"dirsong"_s, u"b/dirsong.mpg"_s},
    {"UpperCaseExtensionNeverMatches", u"20000"_s, {}},
    {"MpegNeverMatches", u"20001"_s, {}},
    {"VobNeverMatches", u"20002"_s, {}},
    {"NameWithoutExtensionNeverMatches", u"20003"_s, {}},
    {"LinkToAFileIsTheFile", u"link"_s, u"a/link.mpg"_s},
    {"DanglingLink", u"dangling"_s, {}},
    {"LinkToAFolder", u"linkdir"_s, {}},
    {"CodeIsNotTrimmed", u"12 "_s, u"a/12 .mpg"_s},
    {"TrimmedCodeMissesUntrimmedFile", u"12"_s, {}},
    {"ChineseName", u"歌曲"_s, u"b/歌曲.mpg"_s},
    {"NonBmpName", u"\U0001F3A4"_s, u"b/\U0001F3A4.mpg"_s},
    {"CaseVariantOfCodeMisses", u"\U0001F3A4"_s.toUpper() + u"X"_s, {}},
    {"Missing", u"99999"_s, {}},
    {"ClimbsOutOfTheFolder", u"../13003"_s, {}},
    {"Dot", u"."_s, {}},
    {"DotDot", u".."_s, {}},
    {"Empty", QString(), {}},
    {"IntoASubfolder", u"sub/40000"_s, {}},
    {"EmbeddedNul", u"nul\0x"_s, {}},
    // No file name spells a broken UTF-16 character.
    {"LoneHighSurrogate", u"50000"_s + QChar(0xD800), {}},
    {"LoneLowSurrogate", u"50000"_s + QChar(0xDC00), {}},
    {"ReversedPair", u"5000"_s + QChar(0xDC00) + QChar(0xD800), {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, FindTest, testing::ValuesIn(kFindCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A random tree with case variants, folders and links named like songs; the
// finder must agree with the per-row test on every lookup of a long query
// while making far fewer file-system calls.
TEST(SongFileFinder, AgreesWithPerRowTestOnARandomTree) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    std::mt19937 random(20240611);
    const QStringList stems = {u"1"_s, u"a"_s, u"Ab"_s, u"歌"_s, u"Ä"_s, u"ä"_s, u"\U00020001"_s};
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto randomCode = [&] { return stems[pick(stems.size())] + QString::number(pick(150)); };
    const QStringList folderNames = {u"f0/"_s, u"f1/"_s, u"f2/"_s};
    QStringList folders;
    for (const QString& name : folderNames) {
        folders << t.path(name);
        t.folder(name);
        for (int i = 0; i < 120; ++i) {
            const QString entry = name + randomCode();
            switch (pick(6)) {
                case 0:
                    t.folder(entry + u".mpg"_s);
                    break;
                case 1:
                    t.file(entry + u".MPG"_s);
                    break;
                case 2:
                    t.link(entry + u".mpg"_s, t.path(name + randomCode() + u".mpg"_s));
                    break;
                default:
                    t.file(entry + u".mpg"_s);
            }
        }
    }
    folders << t.path(u"not-there/"_s);

    SongFileFinder finder(folders);
    const int lookups = 2000;
    int hits = 0;
    for (int i = 0; i < lookups; ++i) {
        const QString code = randomCode();
        const QString expected = vaskord::FindSongFile(folders, code);
        ASSERT_EQ(finder.find(code), expected) << "lookup " << i << ": " << code.toStdString();
        hits += expected.isEmpty() ? 0 : 1;
    }
    EXPECT_GT(hits, lookups / 10);
    EXPECT_LT(hits, lookups * 9 / 10);
    EXPECT_LT(finder.fileSystemCalls(), static_cast<std::uint64_t>(lookups) * folders.size() / 2);
}

TEST(SongFileFinder, FolderThatCannotBeListedIsTestedPerRow) {
    if (runningAsRoot()) {
        GTEST_SKIP() << "root lists any folder";
    }
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"locked/50000.mpg"_s);
    t.lockFolder(u"locked"_s, 0311);  // search right without read right
    SongFileFinder finder({t.path(u"locked/"_s)});
    for (int i = 0; i < 100; ++i) {
        finder.find(QString::number(i));
    }
    EXPECT_EQ(finder.find(u"50000"_s), t.path(u"locked/50000.mpg"_s));
}

}  // namespace
