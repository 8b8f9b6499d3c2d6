// The password page: the service password, the emptied field and the flush
// button.
#include "Options.h"
#include "OptionsMainWindow.h"
#include "OptionsTestHelpers.h"
#include "PropPagePassword.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using options_test::PortFolder;

namespace {

class OptionsPasswordPage : public ::testing::Test {
protected:
    OptionsPasswordPage() {
        main.Settings().WriteValue("APPLICATION", "LOCAL_PATH", main.Folder());
    }
    void Open() {
        sheet = std::make_unique<COptions>("Options", main);
        sheet->show();
        sheet->Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);
    }
    QLineEdit& Password() { return *sheet->findChild<QLineEdit*>("ctl1027"); }
    QPushButton& Button(const char* id) { return *sheet->findChild<QPushButton*>(id); }

    PortFolder noPorts;
    OptionsMainWindow main;
    std::unique_ptr<COptions> sheet;
};

TEST_F(OptionsPasswordPage, ServicePasswordInAnyLetterCaseSwitchesServiceModeOn) {
    struct Row {
        const char* typed;
        bool accepted;
    };
    const Row rows[] = {
        {"RQZTVMOSA", true},   {"rqztvmosa", true}, {"RqZtVmOsA", true},   {" RQZTVMOSA", false},
        {"rqztvmosa ", false}, {"RQZTVMOS", false}, {"RQZTVMOSAA", false}, {"", false},
    };
    for (const Row& row : rows) {
        main.log.clear();
        main.serviceMode = false;
        Open();
        EXPECT_FALSE(Button("ctl1029").isEnabled()) << row.typed;
        QTest::keyClicks(&Password(), row.typed);

        Button("ctl12321").click();

        EXPECT_EQ(main.Count("ShowHidden"), row.accepted ? 1 : 0) << '"' << row.typed << '"';
        EXPECT_EQ(Button("ctl1029").isEnabled(), row.accepted) << row.typed;
        EXPECT_EQ(Password().text(), "") << row.typed;
    }
}

TEST_F(OptionsPasswordPage, FieldShowsStarsAndIsEmptiedAfterEveryApply) {
    Open();
    EXPECT_EQ(Password().echoMode(), QLineEdit::Password);
    QTest::keyClicks(&Password(), "wrong");
    EXPECT_TRUE(Button("ctl12321").isEnabled());

    Button("ctl12321").click();
    EXPECT_EQ(Password().text(), "");
    EXPECT_FALSE(Button("ctl12321").isEnabled());

    // Coming back to the page does not bring the old text back.
    sheet->Tabs().setCurrentIndex(COptions::LANGUAGE_PAGE);
    sheet->Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);
    EXPECT_EQ(Password().text(), "");
    EXPECT_EQ(main.Count("ShowHidden"), 0);
}

TEST_F(OptionsPasswordPage, TypedPasswordIsAppliedFromAnotherTab) {
    Open();
    QTest::keyClicks(&Password(), "rqztvmosa");
    sheet->Tabs().setCurrentIndex(COptions::LANGUAGE_PAGE);

    Button("ctl1").click();

    EXPECT_EQ(main.log, (QStringList{"ShowHidden"}));
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(OptionsPasswordPage, SheetOpenedInServiceModeHasTheFlushButtonEnabled) {
    main.serviceMode = true;
    Open();

    EXPECT_TRUE(Button("ctl1029").isEnabled());
    EXPECT_EQ(Button("ctl1029").toolTip(), "Clear");
    EXPECT_FALSE(Button("ctl1029").icon().isNull());
}

TEST_F(OptionsPasswordPage, FlushRelistsTheFolderWhetherOrNotItWorked) {
    struct Row {
        const char* name;
        bool flushWorks;
        QStringList log;
    };
    const Row rows[] = {
        {"flushed", true, {"FlushFileLibrary", "RefreshLocalList"}},
        {"flush failed", false, {"FlushFileLibrary", "ProgramError 1125", "RefreshLocalList"}},
    };
    for (const Row& row : rows) {
        main.log.clear();
        main.serviceMode = true;
        main.flushSucceeds = row.flushWorks;
        Open();

        Button("ctl1029").click();

        EXPECT_EQ(main.log, row.log) << row.name;
        EXPECT_TRUE(sheet->isVisible()) << row.name;
    }
}

} // namespace
