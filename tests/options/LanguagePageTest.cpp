// The language list and the language and folder page of the options sheet.
#include "BrowseForFolder.h"
#include "LanguageSelector.h"
#include "Options.h"
#include "OptionsMainWindow.h"
#include "OptionsTestHelpers.h"
#include "PropPageLanguage.h"
#include "RecordingPrompter.h"
#include "SettingsKeys.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using options_test::Choose;
using options_test::PortFolder;
using options_test::Selected;
using options_test::Texts;

namespace {

QString LocalPath(const OptionsMainWindow& main) {
    return main.Setting(SettingsKeys::APPLICATION, SettingsKeys::LOCAL_PATH);
}

// A text of a shipped language file, read the way the program reads it.
QString ShippedText(const char* file, const char* key) {
    LanguageReader reader;
    reader.Load(QStringLiteral(QUARN_RESOURCES_DIR "/") + file);
    return reader.GetText(key);
}

TEST(OptionsLanguageSelector, ListsTheLanguagesOfTheFolderSortedByName) {
    OptionsMainWindow main; // holds LANG_ENGLISH.txt
    main.WriteFile("LANG_FRANCAIS.TXT", "APPNAME=x\n");
    main.WriteFile("LANGUAGE.TXT", "APPNAME=x\n");
    LanguageSelector selector(main);

    selector.FillLanguages(main.Folder(), "LANG*.TXT");

    EXPECT_EQ(Texts(selector), (QStringList{"ENGLISH", "FRANCAIS", "LANGUAGE"}));
    EXPECT_EQ(selector.currentIndex(), -1);
    EXPECT_TRUE(main.log.isEmpty());
}

TEST(OptionsLanguageSelector, MatchesWithoutRegardToCaseAndSkipsFoldersAndOtherNames) {
    OptionsMainWindow main;
    main.WriteFile("lang_deutsch.txt");
    main.WriteFile("LANG_.TXT");
    main.WriteFile("LANG_ITALIANO.TXT.bak");
    main.WriteFile("XLANG_NORSK.TXT");
    QDir(main.Folder()).mkdir("LANG_FOLDER.TXT");
    LanguageSelector selector(main);

    selector.FillLanguages(main.Folder(), "LANG*.TXT");

    EXPECT_EQ(Texts(selector), (QStringList{"", "deutsch", "ENGLISH"}));
}

TEST(OptionsLanguageSelector, NoLanguageFileSendsProgramError1128) {
    OptionsMainWindow main;
    QTemporaryDir empty;
    QDir(empty.path()).mkdir("LANG_FOLDER.TXT");
    LanguageSelector selector(main);

    selector.FillLanguages(empty.path() + "/", "LANG*.TXT");
    EXPECT_EQ(selector.count(), 0);
    // A matching folder alone still counts as found, but gives no entry.
    EXPECT_EQ(main.log, QStringList());

    selector.FillLanguages(empty.path() + "/missing/", "LANG*.TXT");
    EXPECT_EQ(main.log, (QStringList{"ProgramError 1128"}));
}

TEST(OptionsLanguageSelector, NameOfAFileIsBetweenTheFirstUnderscoreAndTheFirstDot) {
    const std::pair<const char*, const char*> rows[] = {
        {"LANG_ENGLISH.TXT", "ENGLISH"}, {"LANGUAGE.TXT", "LANGUAGE"}, {"LANG_.TXT", ""},
        {"LANG_EN_GB.TXT", "EN_GB"},     {"LANG_EN.GB.TXT", "EN"},     {"LANG_X", "X"},
    };
    for (const auto& [file, name] : rows) {
        EXPECT_EQ(LanguageSelector::NameOfFile(file), name) << file;
    }
}

TEST(OptionsLanguageSelector, ChoosingAnEntryStoresItsName) {
    OptionsMainWindow main;
    main.WriteFile("LANG_DEUTSCH.TXT");
    LanguageSelector selector(main);
    selector.FillLanguages(main.Folder(), "LANG*.TXT");
    int chosen = 0;
    QObject::connect(&selector, &LanguageSelector::LanguageChosen, [&] { ++chosen; });

    EXPECT_EQ(selector.SelectedName(), "");
    Choose(selector, "DEUTSCH");

    EXPECT_EQ(selector.SelectedName(), "DEUTSCH");
    EXPECT_EQ(chosen, 1);
}

// An options sheet over a start-up folder with a local folder "local".
class OptionsLanguagePage : public ::testing::Test {
protected:
    OptionsLanguagePage() {
        QDir(main.Folder()).mkdir("local");
        main.Settings().WriteValue("APPLICATION", "LOCAL_PATH", Local());
        main.Settings().Save(false);
    }
    void Open() {
        sheet = std::make_unique<COptions>("Options", main);
        sheet->show();
    }
    QString Local() const { return main.Folder() + "local"; }
    LanguageSelector& Languages() { return sheet->LanguagePage().Languages(); }
    QLineEdit& FolderField() { return *sheet->findChild<QLineEdit*>("ctl1013"); }
    QPushButton& Button(const char* id) { return *sheet->findChild<QPushButton*>(id); }
    void TypeFolder(const QString& folder) {
        FolderField().clear();
        QTest::keyClicks(&FolderField(), folder);
    }

    PortFolder noPorts;
    OptionsMainWindow main;
    RecordingPrompter prompter;
    std::unique_ptr<COptions> sheet;
};

TEST_F(OptionsLanguagePage, ShowsTheLanguageInUseAndTheStoredFolder) {
    main.WriteFile("LANG_DEUTSCH.TXT");
    Open();

    EXPECT_EQ(Texts(Languages()), (QStringList{"DEUTSCH", "ENGLISH"}));
    EXPECT_EQ(Selected(Languages()), "ENGLISH");
    EXPECT_EQ(FolderField().text(), Local());
    EXPECT_EQ(sheet->findChild<QGroupBox*>("ctl1009")->title(), "Language");
    EXPECT_EQ(sheet->findChild<QGroupBox*>("ctl1014")->title(), "Local folder");
}

// The language in use is found by its name; only when no entry has that
// very name does the first entry beginning with it count, searched from
// the second entry on and wrapping around.
TEST_F(OptionsLanguagePage, SelectionOfTheLanguageInUse) {
    struct Row {
        const char* name;
        QStringList installed;
        const char* inUse;
        const char* selected;
    };
    const Row rows[] = {
        {"exact name, first entry",
         {"LANG_ENGLISH.TXT", "LANG_ENGLISH2.TXT"},
         "LANG_ENGLISH.txt",
         "ENGLISH"},
        {"prefix, from the second entry", {"LANG_EN1.TXT", "LANG_EN2.TXT"}, "LANG_EN.txt", "EN2"},
        {"prefix, wrapping to the first", {"LANG_EN1.TXT", "LANG_FR.TXT"}, "LANG_EN.txt", "EN1"},
        {"not installed", {"LANG_FR.TXT"}, "LANG_NORSK.txt", "<none>"},
    };
    for (const Row& row : rows) {
        OptionsMainWindow other;
        QFile::remove(other.Folder() + "LANG_ENGLISH.txt");
        for (const QString& file : row.installed) {
            other.WriteFile(file, "APPNAME=x\n");
        }
        // The language in use was loaded from elsewhere; only its file name
        // counts.
        QTemporaryDir elsewhere;
        QFile inUse(elsewhere.path() + "/" + row.inUse);
        inUse.open(QIODevice::WriteOnly);
        inUse.write("APPNAME=x\n");
        inUse.close();
        other.LangReader().Clear();
        ASSERT_TRUE(other.LangReader().Load(inUse.fileName())) << row.name;

        COptions options("Options", other);
        options.show();
        EXPECT_EQ(Selected(options.LanguagePage().Languages()), row.selected) << row.name;
    }
}

TEST_F(OptionsLanguagePage, MissingFolderShowsError3AndKeepsTheSheetOpen) {
    Open();
    TypeFolder(main.Folder() + "missing");
    const QString fileBefore = main.SettingsFileText();

    Button("ctl1").click();

    EXPECT_EQ(main.log, (QStringList{"ProgramError 3"}));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_NE(sheet->result(), QDialog::Accepted);
    EXPECT_TRUE(Button("ctl12321").isEnabled());
    EXPECT_EQ(LocalPath(main), Local());
    EXPECT_EQ(main.SettingsFileText(), fileBefore);
}

TEST_F(OptionsLanguagePage, NewFolderIsStoredTheListRebuiltAndTheSettingsSaved) {
    struct Row {
        const char* name;
        bool libraryUpdated;
        QStringList log;
    };
    const Row rows[] = {
        {"file library updated", true, {"UpdateFileLibrary", "RefreshLocalList"}},
        {"file library not updated",
         false,
         {"UpdateFileLibrary", "ProgramError 1124", "RefreshLocalList"}},
    };
    for (const Row& row : rows) {
        main.log.clear();
        main.updateLibrarySucceeds = row.libraryUpdated;
        const QString other = main.Folder() + "other-" + QString::number(row.libraryUpdated);
        QDir().mkdir(other);
        Open();
        TypeFolder(other);

        Button("ctl1").click();

        EXPECT_EQ(main.log, row.log) << row.name;
        EXPECT_EQ(LocalPath(main), other) << row.name;
        EXPECT_TRUE(main.SettingsFileText().contains("LOCAL_PATH=" + other)) << row.name;
        EXPECT_EQ(sheet->result(), QDialog::Accepted) << row.name;
        main.Settings().WriteValue("APPLICATION", "LOCAL_PATH", Local());
    }
}

TEST_F(OptionsLanguagePage, ExistingFileCountsAsAFolder) {
    main.WriteFile("plain.txt");
    Open();
    TypeFolder(main.Folder() + "plain.txt");

    Button("ctl1").click();

    EXPECT_EQ(LocalPath(main), main.Folder() + "plain.txt");
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(OptionsLanguagePage, FolderDifferingOnlyInLetterCaseIsAChange) {
    QDir(main.Folder()).mkdir("LOCAL");
    Open();
    TypeFolder(main.Folder() + "LOCAL");

    Button("ctl12321").click();

    EXPECT_EQ(LocalPath(main), main.Folder() + "LOCAL");
    EXPECT_EQ(main.log, (QStringList{"UpdateFileLibrary", "RefreshLocalList"}));
}

// Without changes on the page the store is still saved, with whatever the
// main window or other pages changed in it before.
TEST_F(OptionsLanguagePage, UnchangedPageStillSavesTheSettings) {
    Open();
    main.Settings().WriteValue("APPLICATION", "COL1", "99");

    Button("ctl1").click();

    EXPECT_TRUE(main.SettingsFileText().contains("COL1=99"));
    EXPECT_EQ(main.log, QStringList());
}

TEST_F(OptionsLanguagePage, SwitchingLanguageChangesItThroughTheMainWindowAndRelabels) {
    main.CopyResource("LANG_DEUTSCH.txt");
    Open();
    EXPECT_EQ(sheet->Tabs().tabText(0), "Language and folder");

    Choose(Languages(), "DEUTSCH");
    EXPECT_TRUE(Button("ctl12321").isEnabled());
    Button("ctl12321").click();

    EXPECT_EQ(main.log, (QStringList{"ChangeLanguage DEUTSCH"}));
    const char* german = "LANG_DEUTSCH.txt";
    EXPECT_EQ(sheet->Tabs().tabText(0), ShippedText(german, "LBL_OPTIONS_TABLANG"));
    EXPECT_EQ(sheet->Tabs().tabText(1), ShippedText(german, "LBL_OPTIONS_TABCOM"));
    EXPECT_EQ(sheet->Tabs().tabText(2), ShippedText(german, "LBL_OPTIONS_TABPASS"));
    EXPECT_EQ(Button("ctl1").text(), ShippedText(german, "BTN_OK"));
    EXPECT_EQ(Button("ctl2").text(), ShippedText(german, "BTN_CANCEL"));
    EXPECT_EQ(Button("ctl12321").text(), ShippedText(german, "BTN_APPLY"));
    EXPECT_EQ(sheet->findChild<QGroupBox*>("ctl1009")->title(),
              ShippedText(german, "LBL_SELECT_LANG"));
    EXPECT_NE(sheet->Tabs().tabText(0), "Language and folder");

    // Applying again with the same language asks for nothing.
    Button("ctl1").click();
    EXPECT_EQ(main.Count("ChangeLanguage DEUTSCH"), 1);
}

TEST_F(OptionsLanguagePage, FailedLanguageChangeKeepsTheLabelsAndIsNotRetried) {
    main.WriteFile("LANG_EMPTY.TXT"); // an empty file is no language
    Open();

    Choose(Languages(), "EMPTY");
    Button("ctl12321").click();
    Button("ctl12321").click();
    Button("ctl1").click();

    EXPECT_EQ(main.log, (QStringList{"ChangeLanguage EMPTY"}));
    EXPECT_EQ(sheet->Tabs().tabText(0), "Language and folder");
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(OptionsLanguagePage, BrowsingShowsTheCaptionAndTakesTheChosenFolder) {
    Open();
    prompter.folders.push_back(main.Folder() + "chosen");

    Button("ctl1015").click();

    ASSERT_EQ(prompter.folderRequests.size(), 1u);
    EXPECT_EQ(prompter.folderRequests[0].prompt, "Choose the local folder");
    EXPECT_EQ(prompter.folderRequests[0].startFolder, Local());
    EXPECT_EQ(FolderField().text(), main.Folder() + "chosen");
    EXPECT_TRUE(Button("ctl12321").isEnabled());
    EXPECT_EQ(BrowseCaption(), "Choose the local folder");
}

TEST_F(OptionsLanguagePage, CancelledBrowserChangesNothing) {
    Open();

    Button("ctl1015").click();

    EXPECT_EQ(prompter.folderRequests.size(), 1u);
    EXPECT_EQ(FolderField().text(), Local());
    EXPECT_FALSE(Button("ctl12321").isEnabled());
    EXPECT_EQ(main.log, QStringList());
}

} // namespace
