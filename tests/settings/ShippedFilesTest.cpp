// Checks the files that ship beside the program: every language pair defines
// every key the program looks up, its format templates take the arguments
// the program passes, and the settings file holds every setting.
#include "IniEx.h"
#include "LanguageReader.h"
#include "SettingsKeys.h"
#include "TextKeys.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const QString kResources = QStringLiteral(QUARN_RESOURCES_DIR);

// The arguments a printf-style format consumes, one letter each: "d" for an
// integer conversion (d, i and a "*" width or precision), "s" for a string,
// otherwise the conversion letter itself. "%%" consumes nothing.
std::string Conversions(const QString& text) {
    const std::string format = text.toStdString();
    std::string kinds;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            continue;
        }
        while (i < format.size() && std::string("-+ #0'").find(format[i]) != std::string::npos) {
            ++i;
        }
        while (i < format.size() &&
               (format[i] == '*' || format[i] == '.' || (format[i] >= '0' && format[i] <= '9'))) {
            if (format[i] == '*') {
                kinds += 'd';
            }
            ++i;
        }
        while (i < format.size() && std::string("hlLqjzt").find(format[i]) != std::string::npos) {
            kinds += format[i];
            ++i;
        }
        if (i >= format.size()) {
            kinds += '?';
            break;
        }
        const char conversion = format[i];
        kinds += (conversion == 'i') ? 'd' : conversion;
    }
    return kinds;
}

TEST(SettingsConversions, CountsWhatAFormatConsumes) {
    struct Row {
        const char* format;
        const char* kinds;
    };
    const Row rows[] = {
        {"plain text", ""},     {"100%% done", ""}, {"'%s' missing", "s"}, {"%d.%d.%d", "ddd"},
        {"%i and %5.2s", "ds"}, {"%*d", "dd"},      {"%ld", "ld"},         {"%n", "n"},
        {"50%", "?"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Conversions(QString::fromUtf8(row.format)), row.kinds) << row.format;
    }
}

struct Language {
    const char* name;
};

class ShippedLanguage : public ::testing::TestWithParam<Language> {
protected:
    QString LanguageFile() const { return kResources + "/LANG_" + GetParam().name + ".txt"; }
    QString ErrorFile() const { return kResources + "/ERR_" + GetParam().name + ".txt"; }
};

// The raw text of a key: empty when the file lacks it (GetText would give the
// key itself).
QString RawText(const LanguageReader& reader, const char* key) {
    const QString text = reader.GetText(QString::fromUtf8(key));
    return text == QString::fromUtf8(key) ? QString() : text;
}

TEST_P(ShippedLanguage, DefinesEveryKeyThatTheProgramLooksUp) {
    LanguageReader language;
    ASSERT_TRUE(language.Load(LanguageFile()));
    for (const char* key : TextKeys::LANGUAGE_FILE_KEYS) {
        EXPECT_FALSE(RawText(language, key).trimmed().isEmpty()) << key;
    }
    LanguageReader errors;
    ASSERT_TRUE(errors.Load(ErrorFile()));
    for (const char* key : TextKeys::ERROR_FILE_KEYS) {
        EXPECT_FALSE(RawText(errors, key).trimmed().isEmpty()) << key;
    }
}

// Every line of a shipped file is a comment, empty, or one known key with one
// "=": so no text is cut at a second "=" and no key is misspelt.
TEST_P(ShippedLanguage, EveryLineIsAKnownKeyWithOneEquals) {
    const struct {
        QString path;
        std::set<std::string> keys;
    } files[] = {
        {LanguageFile(),
         {std::begin(TextKeys::LANGUAGE_FILE_KEYS), std::end(TextKeys::LANGUAGE_FILE_KEYS)}},
        {ErrorFile(), {std::begin(TextKeys::ERROR_FILE_KEYS), std::end(TextKeys::ERROR_FILE_KEYS)}},
    };
    for (const auto& file : files) {
        QFile input(file.path);
        ASSERT_TRUE(input.open(QIODevice::ReadOnly)) << file.path.toStdString();
        const QByteArray bytes = input.readAll();
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bytes);
        EXPECT_FALSE(utf8.hasError()) << file.path.toStdString() << " is not valid UTF-8";
        EXPECT_FALSE(bytes.contains('\r')) << file.path.toStdString();
        std::set<std::string> seen;
        for (const QString& line : text.split(u'\n')) {
            if (line.isEmpty() || line.startsWith("//")) {
                continue;
            }
            EXPECT_EQ(line.count(u'='), 1) << line.toStdString();
            const std::string key = line.section(u'=', 0, 0).toStdString();
            EXPECT_EQ(file.keys.count(key), 1u) << "unknown key " << key;
            EXPECT_TRUE(seen.insert(key).second) << "key twice: " << key;
        }
    }
}

TEST_P(ShippedLanguage, PlaceholdersMatchTheEnglishTexts) {
    LanguageReader english;
    ASSERT_TRUE(english.Load(kResources + "/LANG_ENGLISH.txt"));
    ASSERT_TRUE(english.Load(kResources + "/ERR_ENGLISH.txt"));
    LanguageReader translated;
    ASSERT_TRUE(translated.Load(LanguageFile()));
    ASSERT_TRUE(translated.Load(ErrorFile()));

    std::set<std::string> templates;
    for (const auto& format : TextKeys::FORMAT_TEMPLATES) {
        templates.insert(format.key);
        EXPECT_EQ(Conversions(RawText(english, format.key)), format.conversions) << format.key;
    }
    std::vector<const char*> keys(std::begin(TextKeys::LANGUAGE_FILE_KEYS),
                                  std::end(TextKeys::LANGUAGE_FILE_KEYS));
    keys.insert(keys.end(), std::begin(TextKeys::ERROR_FILE_KEYS),
                std::end(TextKeys::ERROR_FILE_KEYS));
    for (const char* key : keys) {
        const std::string expected = Conversions(RawText(english, key));
        if (templates.count(key) == 0) {
            EXPECT_EQ(expected, "") << key << " is no format template";
        }
        EXPECT_EQ(Conversions(RawText(translated, key)), expected) << key;
    }
}

// Column headings are joined into "title, width;" lists, and parity entries
// are selected by prefix: neither may break that.
TEST_P(ShippedLanguage, HeadingsAndParityTextsSuitTheirUse) {
    LanguageReader language;
    ASSERT_TRUE(language.Load(LanguageFile()));
    for (const char* key :
         {TextKeys::HDR_FILE, TextKeys::HDR_SIZE, TextKeys::HDR_DATE, TextKeys::HDR_ATTRIB}) {
        const QString text = RawText(language, key);
        EXPECT_FALSE(text.contains(u',') || text.contains(u';')) << key;
    }
    const char* parity[] = {TextKeys::DRP_NONE, TextKeys::DRP_ODD, TextKeys::DRP_EVEN,
                            TextKeys::DRP_MARK, TextKeys::DRP_SPACE};
    for (const char* a : parity) {
        for (const char* b : parity) {
            if (a != b) {
                EXPECT_FALSE(
                    RawText(language, b).startsWith(RawText(language, a), Qt::CaseInsensitive))
                    << a << " is a prefix of " << b;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, ShippedLanguage,
                         ::testing::Values(Language{"ENGLISH"}, Language{"DEUTSCH"}),
                         [](const ::testing::TestParamInfo<Language>& info) {
                             return std::string(info.param.name);
                         });

TEST(SettingsShippedLanguagePairs, EveryLanguageFileHasItsErrorFile) {
    const QStringList all =
        QDir(kResources).entryList(QStringList{SettingsKeys::LANGUAGE_FILE_PATTERN}, QDir::Files);
    EXPECT_GE(all.size(), 2);
    for (const QString& name : all) {
        QString errorFile = name;
        errorFile.replace(SettingsKeys::LANGUAGE_MARK, SettingsKeys::ERROR_MARK);
        EXPECT_TRUE(QFile::exists(kResources + u'/' + errorFile)) << errorFile.toStdString();
    }
}

TEST(SettingsShippedSettings, TemplateHoldsEverySettingForAFirstRun) {
    // A copy, because a store opens its file for writing.
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString copy = temp.path() + u'/' + SettingsKeys::SETTINGS_FILE_NAME;
    ASSERT_TRUE(QFile::copy(kResources + u'/' + SettingsKeys::SETTINGS_FILE_NAME, copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);

    IniEx settings(4);
    ASSERT_TRUE(settings.Load(copy, false, false, true, false));
    const QString absent = QStringLiteral("<absent>");
    for (const auto& setting : SettingsKeys::ALL_SETTINGS) {
        EXPECT_NE(settings.ReadValue(setting.section, setting.key, absent), absent)
            << setting.section << "/" << setting.key;
    }
    for (const auto& setting : SettingsKeys::REQUIRED_SETTINGS) {
        EXPECT_FALSE(settings.ReadValue(setting.section, setting.key, "").isEmpty())
            << setting.section << "/" << setting.key;
    }
    using namespace SettingsKeys;
    EXPECT_EQ(settings.ReadValue(APPLICATION, STATUS, ""), STATUS_FIRST_RUN);

    const QString language = settings.ReadValue(APPLICATION, LANGUAGE, "");
    EXPECT_TRUE(language.startsWith(LANGUAGE_FILE_PREFIX));
    EXPECT_TRUE(language.endsWith(LANGUAGE_FILE_SUFFIX));
    EXPECT_TRUE(QFile::exists(kResources + u'/' + language)) << language.toStdString();
    QString errorFile = language;
    errorFile.replace(LANGUAGE_MARK, ERROR_MARK);
    EXPECT_EQ(settings.ReadValue(APPLICATION, ERROR_FILE, ""), errorFile);

    for (const char* key : {COL1, COL2, COL3, COL4, SPLASH_WAIT}) {
        bool number = false;
        EXPECT_GT(settings.ReadValue(APPLICATION, key, "").toInt(&number), 0) << key;
        EXPECT_TRUE(number) << key;
    }
    for (const char* key : {COM_PORT, COM_BAUD, COM_DATABIT}) {
        bool number = false;
        settings.ReadValue(COM_SETUP, key, "").toInt(&number);
        EXPECT_TRUE(number) << key;
    }
    EXPECT_TRUE(QStringList({"N", "O", "E", "M", "S"})
                    .contains(settings.ReadValue(COM_SETUP, COM_PARITY, "")));
    EXPECT_TRUE(
        QStringList({"1", "1.5", "2"}).contains(settings.ReadValue(COM_SETUP, COM_STOPBIT, "")));
}

} // namespace
