// The options sheet as a whole: its tabs and buttons, which pages an apply
// reaches and in which order, and what a refusing page does.
#include "ComPortSelector.h"
#include "Options.h"
#include "OptionsMainWindow.h"
#include "OptionsTestHelpers.h"
#include "PropPageCom.h"
#include "PropPageLanguage.h"
#include "PropPagePassword.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using options_test::Choose;
using options_test::PortFolder;

namespace {

class OptionsSheet : public ::testing::Test {
protected:
    OptionsSheet() {
        ports.AddPort(1);
        ports.AddPort(2);
        QDir(main.Folder()).mkdir("local");
        main.Settings().WriteValue("APPLICATION", "LOCAL_PATH", main.Folder() + "local");
        main.Settings().WriteValue("COM_SETUP", "COM_PORT", "1");
        sheet.show();
    }
    QPushButton& Button(const char* id) { return *sheet.findChild<QPushButton*>(id); }
    QLineEdit& Field(const char* id) { return *sheet.findChild<QLineEdit*>(id); }
    void Type(const char* id, const QString& text) {
        Field(id).clear();
        QTest::keyClicks(&Field(id), text);
    }

    PortFolder ports;
    OptionsMainWindow main;
    COptions sheet{"Options", main};
};

TEST_F(OptionsSheet, TabsAndButtonsCarryTheLanguageTexts) {
    EXPECT_EQ(sheet.windowTitle(), "Options");
    ASSERT_EQ(sheet.Tabs().count(), 3);
    EXPECT_EQ(sheet.Tabs().tabText(0), "Language and folder");
    EXPECT_EQ(sheet.Tabs().tabText(1), "COM port");
    EXPECT_EQ(sheet.Tabs().tabText(2), "Service");
    EXPECT_EQ(sheet.Tabs().currentIndex(), 0);

    QStringList buttons;
    for (const QPushButton* button : sheet.findChildren<QPushButton*>()) {
        if (button->parent() == &sheet) {
            buttons << button->text();
        }
    }
    EXPECT_EQ(buttons, (QStringList{"OK", "Cancel", "Apply"}));
    EXPECT_FALSE(Button("ctl12321").isEnabled());
}

TEST_F(OptionsSheet, OnlyTheFirstPageIsInitialisedUntilOthersAreShown) {
    EXPECT_TRUE(sheet.LanguagePage().IsInitialised());
    EXPECT_FALSE(sheet.ComPage().IsInitialised());
    EXPECT_FALSE(sheet.PasswordPage().IsInitialised());

    sheet.Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);

    EXPECT_FALSE(sheet.ComPage().IsInitialised());
    EXPECT_TRUE(sheet.PasswordPage().IsInitialised());
}

// Pages visited in reverse order still apply in tab order.
TEST_F(OptionsSheet, ApplyRunsTheShownPagesInTabOrder) {
    sheet.Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);
    Type("ctl1027", "rqztvmosa");
    sheet.Tabs().setCurrentIndex(COptions::COM_PAGE);
    Choose(sheet.ComPage().PortSelector(), "COM 2");
    sheet.Tabs().setCurrentIndex(COptions::LANGUAGE_PAGE);
    QDir(main.Folder()).mkdir("other");
    Type("ctl1013", main.Folder() + "other");

    Button("ctl1").click();

    EXPECT_EQ(main.log,
              (QStringList{"UpdateFileLibrary", "RefreshLocalList", "Reconnect", "ShowHidden"}));
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST_F(OptionsSheet, RefusingPageStopsTheApplyAndKeepsTheSheetOpen) {
    sheet.Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);
    Type("ctl1027", "RQZTVMOSA");
    sheet.Tabs().setCurrentIndex(COptions::LANGUAGE_PAGE);
    Type("ctl1013", main.Folder() + "missing");

    Button("ctl1").click();

    EXPECT_EQ(main.log, (QStringList{"ProgramError 3"}));
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(Button("ctl12321").isEnabled());

    // Once the folder is right, the same OK goes through to the end.
    Type("ctl1013", main.Folder() + "local");
    Button("ctl1").click();
    EXPECT_EQ(main.log, (QStringList{"ProgramError 3", "ShowHidden"}));
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST_F(OptionsSheet, ApplyKeepsTheSheetOpenAndDisablesItself) {
    sheet.Tabs().setCurrentIndex(COptions::COM_PAGE);
    Choose(sheet.ComPage().PortSelector(), "AUTO");
    ASSERT_TRUE(Button("ctl12321").isEnabled());

    Button("ctl12321").click();

    EXPECT_TRUE(sheet.isVisible());
    EXPECT_FALSE(Button("ctl12321").isEnabled());
    EXPECT_EQ(main.Setting("COM_SETUP", "COM_PORT"), "0");
}

TEST_F(OptionsSheet, CancelAppliesNothing) {
    sheet.Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);
    Type("ctl1027", "RQZTVMOSA");

    Button("ctl2").click();

    EXPECT_EQ(main.log, QStringList());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

} // namespace
