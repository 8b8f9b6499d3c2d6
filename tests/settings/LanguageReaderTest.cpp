#include "LanguageReader.h"
#include "DebugLog.h"
#include "StderrCapture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

void WriteFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

using Lookups = std::vector<std::pair<std::string, std::string>>;

// One row: the bytes of a first file (nullopt: no file at all), optionally a
// second file loaded into the same reader (after a Clear when asked), the
// result of the last load, and lookups with the text GetText gives.
struct LanguageCase {
    const char* name;
    std::optional<std::string> first;
    std::optional<std::string> second;
    bool clearBetween;
    bool loads;
    Lookups lookups;
};

const std::vector<LanguageCase>& LanguageCases() {
    static const std::vector<LanguageCase> cases = {
        {"CommentsOnlyLoadAndDefineNothing",
         "// a comment\n//K=v\n",
         std::nullopt,
         false,
         true,
         {{"//K", "//K"}, {"K", "K"}}},
        {"ZeroBytesFailToLoad", "", std::nullopt, false, false, {{"K", "K"}}},
        {"MissingFileFailsToLoad", std::nullopt, std::nullopt, false, false, {{"K", "K"}}},
        {"SpacesAroundEqualsAreTrimmed",
         "MSG_CAPTION = Delete files\n",
         std::nullopt,
         false,
         true,
         {{"MSG_CAPTION", "Delete files"}, {"MSG_CAPTION ", "MSG_CAPTION "}}},
        {"TrailingSpacesOfTextAreKept",
         "K=  text  \n",
         std::nullopt,
         false,
         true,
         {{"K", "text  "}}},
        {"LeadingSpacesArePartOfTheKey",
         "  MSG_CAPTION=x\n",
         std::nullopt,
         false,
         true,
         {{"MSG_CAPTION", "MSG_CAPTION"}, {"  MSG_CAPTION", "x"}}},
        {"SecondEqualsEndsTheText", "K=a=b\n", std::nullopt, false, true, {{"K", "a"}}},
        {"EmptyTextAndLineWithoutEqualsGiveTheKey",
         "K=\nL  \n",
         std::nullopt,
         false,
         true,
         {{"K", "K"}, {"L", "L"}}},
        {"LineWithoutEqualsReplacesAnEarlierText", "K=old\n", "K\n", false, true, {{"K", "K"}}},
        {"SingleSlashIsAKeyDoubleSlashAComment",
         "/K=v\n//C=w\n",
         std::nullopt,
         false,
         true,
         {{"/K", "v"}, {"//C", "//C"}}},
        {"SecondLoadKeepsKeysOfTheFirst",
         "A=1\nB=2\n",
         "B=3\n",
         false,
         true,
         {{"A", "1"}, {"B", "3"}}},
        {"FailedSecondLoadKeepsTheTable", "A=1\n", "", false, false, {{"A", "1"}}},
        {"ClearEmptiesTheTable", "A=1\n", "B=2\n", true, true, {{"A", "A"}, {"B", "2"}}},
        {"KeysAreCaseSensitive",
         "MSG_CAPTION=x\n",
         std::nullopt,
         false,
         true,
         {{"msg_caption", "msg_caption"}, {"MSG_CAPTION", "x"}}},
        {"LastLineOfAKeyWins", "K=1\nK=2\n", std::nullopt, false, true, {{"K", "2"}}},
        {"CrOnlyLineEnds",
         "A=1\rB=2\r\rC=3",
         std::nullopt,
         false,
         true,
         {{"A", "1"}, {"B", "2"}, {"C", "3"}}},
        {"CrLfLineEnds", "A=1\r\n\r\nB=2\r\n", std::nullopt, false, true, {{"A", "1"}, {"B", "2"}}},
        {"Windows1252ShowsItsUmlauts",
         "K=M\xfcll \x80 \x84Gr\xfc\xdf\x65\x93\n",
         std::nullopt,
         false,
         true,
         {{"K", "M\xc3\xbcll \xe2\x82\xac \xe2\x80\x9eGr\xc3\xbc\xc3\x9f\x65\xe2\x80\x9c"}}},
        {"Utf8IsReadAsUtf8",
         "K=Gr\xc3\xb6\xc3\x9f\x65 \xe2\x82\xac\n",
         std::nullopt,
         false,
         true,
         {{"K", "Gr\xc3\xb6\xc3\x9f\x65 \xe2\x82\xac"}}},
        {"Utf8ByteOrderMarkIsNotPartOfTheFirstKey",
         "\xef\xbb\xbfK=v\n",
         std::nullopt,
         false,
         true,
         {{"K", "v"}}},
    };
    return cases;
}

class LanguageReaderCases : public ::testing::TestWithParam<size_t> {};

TEST_P(LanguageReaderCases, BehavesAsTabled) {
    const LanguageCase& row = LanguageCases().at(GetParam());
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString first = temp.path() + "/LANG_FIRST.txt";
    const QString second = temp.path() + "/LANG_SECOND.txt";
    if (row.first) {
        WriteFile(first, *row.first);
    }
    if (row.second) {
        WriteFile(second, *row.second);
    }

    LanguageReader reader;
    bool loaded = reader.Load(first);
    EXPECT_EQ(reader.GetFileName(), first);
    if (row.second) {
        if (row.clearBetween) {
            reader.Clear();
        }
        loaded = reader.Load(second);
        EXPECT_EQ(reader.GetFileName(), second);
    }
    EXPECT_EQ(loaded, row.loads);
    for (const auto& [key, text] : row.lookups) {
        EXPECT_EQ(reader.GetText(QString::fromUtf8(key)).toStdString(), text) << "key " << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, LanguageReaderCases,
                         ::testing::Range<size_t>(0, LanguageCases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return std::string(LanguageCases().at(info.param).name);
                         });

// ---------------------------------------------------------------------------
// Diagnostic lines reach stderr only when QUARN_DEBUG is set and not empty.

struct DebugCase {
    const char* name;
    const char* quarnDebug; // nullptr: unset
    std::string expected;
};

class DebugLogEnvironment : public ::testing::TestWithParam<DebugCase> {};

TEST_P(DebugLogEnvironment, MissingKeyDiagnostic) {
    const char* old = std::getenv("QUARN_DEBUG");
    const std::optional<std::string> saved =
        old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    if (GetParam().quarnDebug != nullptr) {
        setenv("QUARN_DEBUG", GetParam().quarnDebug, 1);
    } else {
        unsetenv("QUARN_DEBUG");
    }

    LanguageReader reader;
    StderrCapture capture;
    const QString text = reader.GetText("MSG_MISSING");
    quarnDebug("Using Comport->%i\n", 7);
    const std::string diagnostics = capture.Finish();

    if (saved) {
        setenv("QUARN_DEBUG", saved->c_str(), 1);
    } else {
        unsetenv("QUARN_DEBUG");
    }
    EXPECT_EQ(text, "MSG_MISSING");
    EXPECT_EQ(diagnostics, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DebugLogEnvironment,
    ::testing::Values(DebugCase{"Unset", nullptr, ""}, DebugCase{"Empty", "", ""},
                      DebugCase{"Set", "1",
                                "Key ->MSG_MISSING Not found in messagefile...\n"
                                "Using Comport->7\n"}),
    [](const ::testing::TestParamInfo<DebugCase>& info) { return std::string(info.param.name); });

} // namespace
