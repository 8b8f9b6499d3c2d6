// The tool's own formatting: JSON strings that stay valid whatever bytes a
// device name holds, and the figures of the progress bar.
#include "JsonLine.h"
#include "ProgressBar.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct QuoteCase {
    const char* name;
    std::string input;
    const char* literal;     // the JSON text the tool writes
    const char16_t* decoded; // what a JSON reader makes of it
};

std::ostream& operator<<(std::ostream& out, const QuoteCase& c) {
    return out << c.name;
}

} // namespace

class CliJsonQuoteTable : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(CliJsonQuoteTable, WritesValidJsonThatReadsBack) {
    const QuoteCase& c = GetParam();
    const std::string literal = trelmctl::JsonLine::Quote(c.input);
    EXPECT_EQ(literal, c.literal);

    trelmctl::JsonLine line("file");
    line.Add("name", c.input);
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(line.Text()), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line.Text();
    EXPECT_EQ(document.object().value("name").toString(), QString::fromUtf16(c.decoded));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliJsonQuoteTable,
    ::testing::Values(
        QuoteCase{"Plain", "notes.txt", "\"notes.txt\"", u"notes.txt"},
        QuoteCase{"QuoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\"", u"a\"b\\c"},
        QuoteCase{"ControlBytes", std::string("a\nb\x01", 4), "\"a\\nb\\u0001\"", u"a\nb\u0001"},
        QuoteCase{"ValidUtf8", "caf\xC3\xA9", "\"caf\xC3\xA9\"", u"caf\u00E9"},
        QuoteCase{"Latin1Byte", "caf\xE9", "\"caf\\u00e9\"", u"caf\u00E9"},
        QuoteCase{"OverlongForm", "\xC0\xAF", "\"\\u00c0\\u00af\"", u"\u00C0\u00AF"},
        QuoteCase{"CutSequence", "x\xE2\x82", "\"x\\u00e2\\u0082\"", u"x\u00E2\u0082"}),
    [](const ::testing::TestParamInfo<QuoteCase>& info) { return std::string(info.param.name); });

TEST(CliProgressBarTest, BytesAndTimesReadLikeAPerson) {
    struct Case {
        double bytes;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "0 B"}, Case{900, "900 B"}, Case{2048, "2.0 KB"}, Case{12800, "12.5 KB"},
          Case{65535, "64.0 KB"}, Case{3.5 * 1024 * 1024, "3.5 MB"}}) {
        EXPECT_EQ(trelmctl::ProgressBar::FormatBytes(c.bytes), c.text) << c.bytes;
    }
    struct Time {
        double seconds;
        const char* text;
    };
    for (const Time& t :
         {Time{0, "0:00"}, Time{7.4, "0:07"}, Time{754, "12:34"}, Time{3723, "1:02:03"}}) {
        EXPECT_EQ(trelmctl::ProgressBar::FormatDuration(t.seconds), t.text) << t.seconds;
    }
}

namespace {

// The part of a progress line between the brackets.
std::string BarOf(const std::string& line) {
    const std::size_t open = line.find('[');
    const std::size_t close = line.find(']');
    return open == std::string::npos || close == std::string::npos
               ? std::string()
               : line.substr(open + 1, close - open - 1);
}

} // namespace

TEST(CliProgressBarTest, LineShowsShareRateAndTimeLeft) {
    // 2500 of 10000 bytes after 2 s: 1250 B/s, 6 s to go.
    const std::string middle = trelmctl::ProgressBar::Render("data.bin", 2500, 10000, 2.0, 80);
    EXPECT_TRUE(middle.starts_with("data.bin [")) << middle;
    EXPECT_NE(middle.find(" 25% 2.4 KB/9.8 KB 1.2 KB/s 0:06 left"), std::string::npos) << middle;
    EXPECT_LT(middle.size(), 80u);

    // Done: the elapsed time instead of the time left, and a full bar.
    const std::string done = trelmctl::ProgressBar::Render("data.bin", 10000, 10000, 8.0, 80);
    EXPECT_NE(done.find(" 100% 9.8 KB/9.8 KB 1.2 KB/s 0:08"), std::string::npos) << done;
    EXPECT_EQ(BarOf(done).find('.'), std::string::npos) << done;
    const std::string quarter = BarOf(middle);
    ASSERT_FALSE(quarter.empty()) << middle;
    EXPECT_EQ(std::count(quarter.begin(), quarter.end(), '#'),
              static_cast<long>(quarter.size() / 4))
        << middle;

    // A narrow terminal still gets a line that fits.
    EXPECT_LT(trelmctl::ProgressBar::Render("a-long-file-name.bin", 1, 2, 1.0, 40).size(), 40u);
}
