#include <gtest/gtest.h>

#include <QLocale>

#include "data/Value.h"
#include "tests/CaseName.h"

using vaskord::data::displayText;
using vaskord::data::Value;

namespace {

struct DisplayCase {
    const char* name;
    QLocale::Language language;
    QLocale::Territory territory;
    Value value;
    const char* text;
};

class DisplayTextTest : public testing::TestWithParam<DisplayCase> {
protected:
    void SetUp() override {
        m_saved = QLocale();
        QLocale::setDefault(QLocale(GetParam().language, GetParam().territory));
    }
    void TearDown() override { QLocale::setDefault(m_saved); }
    QLocale m_saved;
};

TEST_P(DisplayTextTest, ShowsTheCellAsTheResultListDoes) {
    EXPECT_EQ(displayText(GetParam().value), QString::fromUtf8(GetParam().text));
}

const QDateTime kMidnight(QDate(2015, 1, 1), QTime(0, 0), Qt::UTC);
const QDateTime kEvening(QDate(2014, 12, 31), QTime(23, 59, 59), Qt::UTC);

INSTANTIATE_TEST_SUITE_P(
    Cells, DisplayTextTest,
    testing::Values(
        DisplayCase{"null", QLocale::Chinese, QLocale::China, Value{}, ""},
        DisplayCase{"yes", QLocale::Chinese, QLocale::China, Value{true}, "True"},
        DisplayCase{"no", QLocale::Chinese, QLocale::China, Value{false}, "False"},
        DisplayCase{"wholeNumberWithoutGrouping", QLocale::Chinese, QLocale::China,
                    Value{qint64(1234567)}, "1234567"},
        DisplayCase{"negativeWhole", QLocale::Chinese, QLocale::China, Value{qint64(-1)}, "-1"},
        DisplayCase{"decimal", QLocale::Chinese, QLocale::China, Value{52.84}, "52.84"},
        DisplayCase{"fifteenSignificantDigits", QLocale::Chinese, QLocale::China, Value{1.0 / 3.0},
                    "0.333333333333333"},
        DisplayCase{"wholeDouble", QLocale::Chinese, QLocale::China, Value{1995.0}, "1995"},
        DisplayCase{"largeDoubleWithoutGrouping", QLocale::Chinese, QLocale::China,
                    Value{1234567.5}, "1234567.5"},
        DisplayCase{"localeDecimalSeparator", QLocale::German, QLocale::Germany, Value{52.84},
                    "52,84"},
        DisplayCase{"dateAtMidnightHasNoTime", QLocale::Chinese, QLocale::China, Value{kMidnight},
                    "2015/1/1"},
        DisplayCase{"dateWithTimeOfDay", QLocale::Chinese, QLocale::China, Value{kEvening},
                    "2014/12/31 23:59:59"},
        DisplayCase{"otherLocaleWithoutTimeZone", QLocale::German, QLocale::Germany,
                    Value{kEvening}, "31.12.2014 23:59:59"},
        DisplayCase{"twoDigitYearLocaleShowsFourDigits", QLocale::English, QLocale::UnitedStates,
                    Value{kMidnight}, "1/1/2015"},
        DisplayCase{"textAsStored", QLocale::Chinese, QLocale::China,
                    Value{QStringLiteral(" 13002 ")}, " 13002 "}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
