// The first-run setup dialog: when OK becomes possible and what it hands
// back.
#include "RunOnce.h"
#include "ComPortSelector.h"
#include "LanguageSelector.h"
#include "OptionsMainWindow.h"
#include "OptionsTestHelpers.h"
#include "RecordingPrompter.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using options_test::Choose;
using options_test::Labels;
using options_test::PortFolder;
using options_test::Selected;
using options_test::Texts;

namespace {

class OptionsRunOnce : public ::testing::Test {
protected:
    OptionsRunOnce() {
        ports.AddPort(2);
        main.WriteFile("LANG_DEUTSCH.txt", "APPNAME=x\n");
        dialog.show();
    }
    QPushButton& Button(const char* id) { return *dialog.findChild<QPushButton*>(id); }
    QLineEdit& FolderField() { return *dialog.findChild<QLineEdit*>("ctl1026"); }
    void BrowseTo(const QString& folder) {
        prompter.folders.push_back(folder);
        Button("ctl1024").click();
    }

    PortFolder ports;
    OptionsMainWindow main;
    RecordingPrompter prompter;
    RunOnce dialog{main};
};

TEST_F(OptionsRunOnce, StartsWithNothingChosenAndOkDisabled) {
    EXPECT_EQ(dialog.windowTitle(), "Setup Quarn-Loader");
    EXPECT_EQ(Texts(dialog.Languages()), (QStringList{"DEUTSCH", "ENGLISH"}));
    EXPECT_EQ(Labels(dialog.Ports()), (QStringList{"AUTO", "COM 2"}));
    EXPECT_EQ(Selected(dialog.Languages()), "<none>");
    EXPECT_EQ(Selected(dialog.Ports()), "<none>");
    EXPECT_EQ(FolderField().text(), "");
    EXPECT_FALSE(Button("ctl1").isEnabled());
    EXPECT_EQ(Button("ctl1").text(), "OK");
    EXPECT_EQ(Button("ctl2").text(), "Cancel");
    EXPECT_EQ(dialog.findChild<QGroupBox*>("ctl1009")->title(), "Language");
    EXPECT_EQ(dialog.findChild<QGroupBox*>("ctl1014")->title(), "Local folder");
    EXPECT_EQ(dialog.findChild<QGroupBox*>("ctl1012")->title(), "COM port");
    EXPECT_TRUE(main.log.isEmpty());
}

TEST_F(OptionsRunOnce, ChoosingTheLanguageLastEnablesOk) {
    Choose(dialog.Ports(), "COM 2");
    EXPECT_FALSE(Button("ctl1").isEnabled());
    BrowseTo("/opt/terminal");
    EXPECT_FALSE(Button("ctl1").isEnabled());

    Choose(dialog.Languages(), "ENGLISH");
    EXPECT_TRUE(Button("ctl1").isEnabled());

    Button("ctl1").click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedLanguage(), "ENGLISH");
    EXPECT_EQ(dialog.FolderPath(), "/opt/terminal");
    EXPECT_EQ(dialog.SelectedPort(), 2);
}

TEST_F(OptionsRunOnce, AutoGivesPortZero) {
    Choose(dialog.Languages(), "DEUTSCH");
    BrowseTo("/opt/terminal");
    Choose(dialog.Ports(), "AUTO");

    Button("ctl1").click();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedPort(), 0);
    EXPECT_EQ(dialog.SelectedLanguage(), "DEUTSCH");
}

TEST_F(OptionsRunOnce, TypingAFolderAloneDoesNotEnableOkButATypedFolderCountsAtOk) {
    Choose(dialog.Languages(), "ENGLISH");
    Choose(dialog.Ports(), "AUTO");
    QTest::keyClicks(&FolderField(), "/typed");
    EXPECT_FALSE(Button("ctl1").isEnabled());

    BrowseTo("/opt/terminal");
    ASSERT_TRUE(Button("ctl1").isEnabled());
    FolderField().setText("/opt/typed");
    Button("ctl1").click();

    EXPECT_EQ(dialog.FolderPath(), "/opt/typed");
}

// OK hands back the field's text, so an emptied field must not be accepted:
// the program would end without a word.
TEST_F(OptionsRunOnce, ClearedFolderFieldDisablesOkUntilItHoldsAFolderAgain) {
    Choose(dialog.Languages(), "ENGLISH");
    Choose(dialog.Ports(), "AUTO");
    BrowseTo("/opt/terminal");
    ASSERT_TRUE(Button("ctl1").isEnabled());

    FolderField().selectAll();
    QTest::keyClick(&FolderField(), Qt::Key_Delete);
    ASSERT_EQ(FolderField().text(), "");
    EXPECT_FALSE(Button("ctl1").isEnabled());
    Button("ctl1").click();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(dialog.isVisible());

    QTest::keyClicks(&FolderField(), "/opt/other");
    EXPECT_TRUE(Button("ctl1").isEnabled());
    Button("ctl1").click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.FolderPath(), "/opt/other");
}

TEST_F(OptionsRunOnce, CancelledBrowserChangesNothing) {
    Choose(dialog.Languages(), "ENGLISH");
    Choose(dialog.Ports(), "AUTO");
    BrowseTo("/opt/terminal");
    ASSERT_TRUE(Button("ctl1").isEnabled());

    BrowseTo(QString());

    EXPECT_EQ(FolderField().text(), "/opt/terminal");
    EXPECT_TRUE(Button("ctl1").isEnabled());
    ASSERT_EQ(prompter.folderRequests.size(), 2u);
    EXPECT_EQ(prompter.folderRequests[1].startFolder, "/opt/terminal");
    EXPECT_TRUE(main.log.isEmpty());
}

TEST_F(OptionsRunOnce, CancelGivesNoResult) {
    Choose(dialog.Languages(), "ENGLISH");
    Choose(dialog.Ports(), "COM 2");
    BrowseTo("/opt/terminal");

    Button("ctl2").click();

    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(OptionsRunOnceAlone, NoPortShowsError1130AndOffersAuto) {
    PortFolder noPorts;
    OptionsMainWindow main;
    RunOnce dialog(main);

    dialog.show();

    EXPECT_EQ(main.log, (QStringList{"ProgramError 1130"}));
    EXPECT_EQ(Texts(dialog.Ports()), (QStringList{"AUTO"}));
}

TEST(OptionsRunOnceAlone, NoLanguageFileShowsError1128AndOkStaysDisabled) {
    PortFolder ports;
    ports.AddPort(1);
    OptionsMainWindow main;
    QFile::remove(main.Folder() + "LANG_ENGLISH.txt");
    RecordingPrompter prompter;
    RunOnce dialog(main);
    dialog.show();

    Choose(dialog.Ports(), "COM 1");
    prompter.folders.push_back("/opt/terminal");
    dialog.findChild<QPushButton*>("ctl1024")->click();

    EXPECT_EQ(main.log, (QStringList{"ProgramError 1128"}));
    EXPECT_EQ(dialog.Languages().count(), 0);
    EXPECT_FALSE(dialog.findChild<QPushButton*>("ctl1")->isEnabled());
}

} // namespace
