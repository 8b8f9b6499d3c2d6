// The texts the file lists show for sizes and time stamps, the row
// comparisons of the column sort, and the filling of translated templates.
#include "ByteSize.h"
#include "DateText.h"
#include "TestFiles.h"
#include "TextTemplate.h"
#include "csort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

// ---- Byte sizes ----------------------------------------------------------------

struct ByteSizeRow {
    const char* name;
    std::uint64_t bytes;
    const char* text;
};

const ByteSizeRow kByteSizeRows[] = {
    {"Zero", 0, "0 bytes"},
    {"Small", 900, "900 bytes"},
    {"LargestInBytes", 1023, "1023 bytes"},
    {"OneKilobyte", 1024, "1.00 KB"},
    {"TwoKilobytes", 2048, "2.00 KB"},
    {"JustBelowTenIsCutNotRounded", 10239, "9.99 KB"},
    {"TenKilobytes", 10240, "10.0 KB"},
    {"TwelveAndAHalf", 12800, "12.5 KB"},
    {"LargestDeviceFile", 65535, "63.9 KB"},
    {"JustBelowHundred", 102399, "99.9 KB"},
    {"HundredKilobytes", 102400, "100 KB"},
    {"JustBelowThousand", 1023999, "999 KB"},
    {"ThousandKilobytesIsShownInMegabytes", 1024000, "0.97 MB"},
    {"OneMegabyte", 1048576, "1.00 MB"},
    {"OneAndAHalfGigabytes", 1610612736ull, "1.50 GB"},
    {"OneTerabyte", 1099511627776ull, "1.00 TB"},
    {"BeyondTheLargestUnit", 1099511627776ull * 2048, "2048 TB"},
};

class ByteSizeFormat : public ::testing::TestWithParam<ByteSizeRow> {};

TEST_P(ByteSizeFormat, ShowsThreeSignificantDigitsCutOff) {
    const ByteSizeRow& row = GetParam();
    EXPECT_EQ(ByteSize::Format(row.bytes).toStdString(), row.text);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ByteSizeFormat, ::testing::ValuesIn(kByteSizeRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Dates -----------------------------------------------------------------------

// Runs the date tests in a fixed time zone, so local times are known.
class DateTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* zone = std::getenv("TZ");
        hadZone = zone != nullptr;
        if (hadZone) {
            savedZone = zone;
        }
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadZone) {
            setenv("TZ", savedZone.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool hadZone = false;
    std::string savedZone;
};

TEST_F(DateTextTest, LocalTimeOfATimeValue) {
    EXPECT_EQ(DateText::FromTime(0).toStdString(), "01/01/70  00:00:00");
    // 2024-03-07 09:05:03 UTC.
    EXPECT_EQ(DateText::FromTime(1709802303).toStdString(), "03/07/24  09:05:03");
}

struct CalendarRow {
    const char* name;
    int year, month, day, hour, minute, second;
    const char* text;
};

const CalendarRow kCalendarRows[] = {
    {"Ordinary", 2024, 3, 7, 9, 5, 3, "03/07/24  09:05:03"},
    {"LastSecondOfTheCentury", 1999, 12, 31, 23, 59, 59, "12/31/99  23:59:59"},
    {"YearTwoThousand", 2000, 1, 1, 0, 0, 0, "01/01/00  00:00:00"},
    {"ThirtiethOfFebruaryInALeapYear", 2024, 2, 30, 12, 0, 0, "03/01/24  12:00:00"},
    {"ThirtiethOfFebruary", 2023, 2, 30, 12, 0, 0, "03/02/23  12:00:00"},
    {"NoCalendarTimeStaysAsItIs", 2000, 0, 0, 0, 0, 0, "00/00/00  00:00:00"},
};

class DateTextCalendar : public DateTextTest, public ::testing::WithParamInterface<CalendarRow> {};

TEST_P(DateTextCalendar, FormatsMonthDayYearAndTime) {
    const CalendarRow& row = GetParam();
    EXPECT_EQ(DateText::FromCalendar(row.year, row.month, row.day, row.hour, row.minute, row.second)
                  .toStdString(),
              row.text);
}

INSTANTIATE_TEST_SUITE_P(Fields, DateTextCalendar, ::testing::ValuesIn(kCalendarRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct ParseRow {
    const char* name;
    const char* text;
    bool parses;
};

const ParseRow kParseRows[] = {
    {"AsWritten", "03/07/24  09:05:03", true},
    {"OneBlank", "03/07/24 09:05:03", true},
    {"SurroundingBlanks", " 03/07/24  09:05:03 ", true},
    {"Empty", "", false},
    {"Name", "README.TXT", false},
    {"DateOnly", "03/07/24", false},
    {"NoGap", "03/07/2409:05:03", false},
    {"MonthThirteen", "13/07/24  09:05:03", false},
    {"HourTwentyFour", "03/07/24  24:00:00", false},
    {"TrailingText", "03/07/24  09:05:03x", false},
    {"FourDigitYear", "03/07/2024  09:05:03", false},
};

class DateTextParse : public ::testing::TestWithParam<ParseRow> {};

TEST_P(DateTextParse, ReadsOnlyTheListFormat) {
    const ParseRow& row = GetParam();
    std::int64_t key = -1;
    EXPECT_EQ(DateText::Parse(QString::fromLatin1(row.text), key), row.parses);
}

INSTANTIATE_TEST_SUITE_P(Texts, DateTextParse, ::testing::ValuesIn(kParseRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DateTextOrder, KeysFollowTime) {
    const char* ordered[] = {"12/31/69  23:59:59", "01/01/70  00:00:00", "12/31/99  23:59:59",
                             "01/01/00  00:00:00", "02/29/24  10:00:00", "02/29/24  10:00:01",
                             "03/01/24  00:00:00", "12/31/68  00:00:00"};
    std::int64_t previous = 0;
    for (std::size_t i = 0; i < std::size(ordered); ++i) {
        std::int64_t key = 0;
        ASSERT_TRUE(DateText::Parse(QString::fromLatin1(ordered[i]), key)) << ordered[i];
        if (i > 0) {
            EXPECT_LT(previous, key) << ordered[i - 1] << " before " << ordered[i];
        }
        previous = key;
    }
}

TEST_F(DateTextTest, ReadsBackWhatItWrites) {
    const std::time_t times[] = {0, 86399, 951782400, 1709802303, 2147483647};
    for (std::time_t time : times) {
        std::int64_t key = 0;
        ASSERT_TRUE(DateText::Parse(DateText::FromTime(time), key)) << time;
        std::int64_t later = 0;
        ASSERT_TRUE(DateText::Parse(DateText::FromTime(time + 1), later)) << time;
        EXPECT_LT(key, later) << time;
    }
}

// ---- Row comparison ----------------------------------------------------------------

struct CompareRow {
    const char* name;
    int kind;
    std::int64_t firstData;
    const char* firstText;
    std::int64_t secondData;
    const char* secondText;
    int expected;
};

const CompareRow kCompareRows[] = {
    {"NameIgnoresCase", 1, 0, "readme.txt", 0, "README.TXT", 0},
    {"NameBefore", 1, 0, "alpha.bin", 0, "Beta.bin", -1},
    {"NameDescending", -1, 0, "alpha.bin", 0, "Beta.bin", 1},
    {"SizeByBytesNotText", 2, 900, "900 bytes", 2048, "2.00 KB", -1},
    {"SizeDescending", -2, 900, "900 bytes", 2048, "2.00 KB", 1},
    {"SizeEqual", 2, 5, "5 bytes", 5, "5 bytes", 0},
    {"DateEarlier", 3, 0, "12/31/99  23:59:59", 0, "01/01/00  00:00:00", -1},
    {"DateLater", 3, 0, "01/01/00  00:00:00", 0, "12/31/99  23:59:59", 1},
    {"EqualDatesAreNotEarlier", 3, 0, "03/07/24  09:05:03", 0, "03/07/24  09:05:03", 1},
    {"EqualDatesDescending", -3, 0, "03/07/24  09:05:03", 0, "03/07/24  09:05:03", -1},
    {"UnreadableDateFirst", 3, 0, "soon", 0, "03/07/24  09:05:03", 0},
    {"UnreadableDateSecond", -3, 0, "03/07/24  09:05:03", 0, "", 0},
    {"AttributesIgnoreCase", 4, 0, "RH", 0, "rh", 0},
    {"AttributesBefore", 4, 0, "h", 0, "r", -1},
};

class CsortCompare : public ::testing::TestWithParam<CompareRow> {};

TEST_P(CsortCompare, OrdersTwoRows) {
    const CompareRow& row = GetParam();
    const csort::Node first(row.firstData, QString::fromLatin1(row.firstText), 0);
    const csort::Node second(row.secondData, QString::fromLatin1(row.secondText), 1);
    const int result = csort::Compare(first, second, row.kind);
    EXPECT_EQ((result > 0) - (result < 0), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CsortCompare, ::testing::ValuesIn(kCompareRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Whatever the texts, the sort hands back every row exactly once, and rows
// whose dates all read are in order.
TEST(CsortSort, YieldsAPermutationForAnyDates) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::vector<csort::Node> nodes;
        const int count = 1 + static_cast<int>(random() % 200);
        const bool allDates = round % 2 == 0;
        for (int row = 0; row < count; ++row) {
            const int minute = static_cast<int>(random() % 5);
            QString text = QStringLiteral("01/02/03  04:%1:00").arg(minute, 2, 10, QChar(u'0'));
            if (!allDates && random() % 3 == 0) {
                text = QStringLiteral("n/a");
            }
            nodes.emplace_back(0, text, row);
        }
        const int kind = round % 4 < 2 ? 3 : -3;
        csort::Sort(nodes, kind);
        std::vector<int> seen(static_cast<std::size_t>(count), 0);
        for (const csort::Node& node : nodes) {
            ++seen[static_cast<std::size_t>(node.row)];
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), count) << "round " << round;
        if (allDates) {
            for (std::size_t i = 1; i < nodes.size(); ++i) {
                if (kind > 0) {
                    EXPECT_LE(nodes[i - 1].stamp, nodes[i].stamp) << "round " << round;
                } else {
                    EXPECT_GE(nodes[i - 1].stamp, nodes[i].stamp) << "round " << round;
                }
            }
        }
    }
}

// Translations are files users edit: whatever conversions they hold, only
// "%s" and "%d" take values, and a value is never read as a template.
TEST(TextTemplateFill, TakesValuesInOrderAndLeavesEverythingElse) {
    struct Row {
        const char* format;
        QStringList values;
        const char* expected;
    };
    const Row rows[] = {
        {"COM %d \u2014 %s", {"7", "/dev/pts/3"}, "COM 7 \u2014 /dev/pts/3"},
        {"100%% %s", {"done"}, "100% done"},
        {"%n %x %5s %s", {"a"}, "%n %x %5s a"},
        {"%s and %s", {"one"}, "one and "},
        {"%s", {"a", "b"}, "a"},
        {"%s-%s", {"%s", "%d"}, "%s-%d"},
        {"50%", {"x"}, "50%"},
        {"", {"x"}, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TextTemplate::Fill(QString::fromUtf8(row.format), row.values),
                  QString::fromUtf8(row.expected))
            << row.format;
    }
}

} // namespace
