#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "TempTree.h"
#include "core/FileSizes.h"
#include "core/SongDisposal.h"
#include "tests/CaseName.h"

using namespace Qt::StringLiterals;

namespace {

struct SizeCase {
    const char* name;
    qint64 bytes;
    QString text;
};

class SizeTextTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeTextTest, ReadsAsTheOperatorExpects) {
    EXPECT_EQ(vaskord::sizeText(GetParam().bytes), GetParam().text);
}

constexpr qint64 kKB = 1024;
constexpr qint64 kMB = kKB * 1024;
constexpr qint64 kGB = kMB * 1024;

INSTANTIATE_TEST_SUITE_P(
    Cases, SizeTextTest,
    testing::Values(SizeCase{"Nothing", 0, u"0 B"_s}, SizeCase{"JustBytes", 1023, u"1023 B"_s},
                    SizeCase{"OneKilobyte", kKB, u"1.0 KB"_s},
                    SizeCase{"HalfStep", kKB + kKB / 2, u"1.5 KB"_s},
                    SizeCase{"TypicalSong", 42 * kMB + 300 * kKB, u"42.3 MB"_s},
                    SizeCase{"DiskCleanup", 3 * kGB + kGB / 5, u"3.2 GB"_s},
                    // Rounding up to the next unit shows that unit, never "1024.0".
                    SizeCase{"RoundsIntoTheNextUnit", kGB - kKB, u"1.0 GB"_s},
                    SizeCase{"JustBelowRoundingUp", kGB - kMB, u"1023.0 MB"_s},
                    SizeCase{"Terabytes", 5 * kGB * 1024 + 512 * kGB, u"5.5 TB"_s},
                    SizeCase{"LargestFigure", std::numeric_limits<qint64>::max(), u"8192.0 PB"_s}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Totals, GroupDigitsWhateverTheLocaleAndNameTheUnit) {
    EXPECT_EQ(vaskord::listedTotal(1000, 3 * kGB + kGB / 5), u"共 1,000 个文件,3.2 GB"_s);
    EXPECT_EQ(vaskord::listedTotal(0, 0), u"共 0 个文件,0 B"_s);
    EXPECT_EQ(vaskord::listedTotal(1234567, kKB), u"共 1,234,567 个文件,1.0 KB"_s);
    EXPECT_EQ(vaskord::freedTotal(3 * kGB + kGB / 5), u"释放空间:3.2 GB"_s);
    EXPECT_EQ(vaskord::groupedNumber(999), u"999"_s);
    EXPECT_EQ(vaskord::groupedNumber(100000), u"100,000"_s);
    EXPECT_EQ(vaskord::groupedNumber(-1000), u"-1,000"_s);
}

TEST(SongFileSize, CountsWhatTheLookupFinds) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"歌曲/10023.mpg"_s, QByteArray(5000, 'x'));
    t.link(u"歌曲/10024.mpg"_s, t.path(u"歌曲/10023.mpg"_s));
    t.folder(u"歌曲/10025.mpg"_s);
    EXPECT_EQ(vaskord::songFileSize(t.path(u"歌曲/10023.mpg"_s)), 5000);
    EXPECT_EQ(vaskord::songFileSize(t.path(u"歌曲/10024.mpg"_s)), 5000)
        << "a link counts as its target";
    EXPECT_EQ(vaskord::songFileSize(t.path(u"歌曲/10025.mpg"_s)), -1) << "a folder is no file";
    EXPECT_EQ(vaskord::songFileSize(t.path(u"歌曲/10026.mpg"_s)), -1);
    EXPECT_EQ(vaskord::songFileSize(QString()), -1);
}

TEST(FreedBytes, CountOnlySongFilesActuallyRemoved) {
    TempTree t;
    ASSERT_TRUE(t.isValid());
    t.file(u"歌曲/10023.mpg"_s, QByteArray(5000, 'a'));
    t.file(u"别处/10024.mpg"_s, QByteArray(7000, 'b'));
    t.link(u"歌曲/10024.mpg"_s, t.path(u"别处/10024.mpg"_s));
    t.file(u"歌曲/10025.mpg"_s, QByteArray(3000, 'c'));
    t.setMode(u"歌曲/10025.mpg"_s, 0444);
    const int folder =
        ::open(QFile::encodeName(t.path(u"歌曲"_s)).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    qint64 freed = 0;
    const vaskord::DisposeSongFile unlink =
        vaskord::countingFreedBytes(vaskord::unlinkSongFile, &freed);
    EXPECT_EQ(vaskord::disposeSongFileAt(folder, "10023.mpg", unlink), vaskord::Disposal::Done);
    EXPECT_EQ(vaskord::disposeSongFileAt(folder, "10024.mpg", unlink), vaskord::Disposal::Done);
    EXPECT_EQ(vaskord::disposeSongFileAt(folder, "10025.mpg", unlink), vaskord::Disposal::Refused);
    EXPECT_EQ(vaskord::disposeSongFileAt(folder, "10026.mpg", unlink), vaskord::Disposal::Refused);
    ::close(folder);
    EXPECT_EQ(freed, 5000) << "the link went, its target stays; the protected song stays";
    EXPECT_TRUE(t.holds(u"别处/10024.mpg"_s));
}

}  // namespace
