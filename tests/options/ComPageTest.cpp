// The COM port page inside the options sheet: the port list, the stored
// line settings it shows, and what OK and Apply write.
#include "ComPortSelector.h"
#include "Options.h"
#include "OptionsMainWindow.h"
#include "OptionsTestHelpers.h"
#include "PropPageCom.h"
#include "SettingsKeys.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

using options_test::Choose;
using options_test::Labels;
using options_test::PortFolder;
using options_test::Selected;
using options_test::Texts;

namespace {

QString ComSettings(const QString& comLines) {
    return "[APPLICATION]\nSTATUS=1\nLANGUAGE=LANG_ENGLISH.txt\n[COM_SETUP]\n" + comLines;
}

QString ComPort(const OptionsMainWindow& main) {
    return main.Setting(SettingsKeys::COM_SETUP, SettingsKeys::COM_PORT);
}

// Ports COM1, COM2 and COM10 on pseudo-terminals, and an options sheet that
// is open on its first page.
class OptionsComPage : public ::testing::Test {
protected:
    OptionsComPage() {
        ports.AddPort(1);
        ports.AddPort(2);
        ports.AddPort(10);
    }
    // Opens a new sheet over new settings (any earlier one goes first).
    void Open(const QString& comLines) {
        sheet.reset();
        main = std::make_unique<OptionsMainWindow>(ComSettings(comLines));
        // The settings start with a folder that exists, so that the language
        // page applies cleanly.
        main->Settings().WriteValue("APPLICATION", "LOCAL_PATH", main->Folder());
        sheet = std::make_unique<COptions>("Options", *main);
        sheet->show();
    }
    void ShowComTab() { sheet->Tabs().setCurrentIndex(COptions::COM_PAGE); }
    ComPortSelector& Ports() { return sheet->ComPage().PortSelector(); }
    QComboBox& List(const char* id) { return *sheet->findChild<QComboBox*>(id); }
    QPushButton& Button(const char* id) { return *sheet->findChild<QPushButton*>(id); }

    PortFolder ports;
    std::unique_ptr<OptionsMainWindow> main;
    std::unique_ptr<COptions> sheet;
};

TEST_F(OptionsComPage, ListsAutoAndThePortsByTextWithTheStoredPortSelected) {
    Open("COM_PORT=10\n");
    ShowComTab();

    EXPECT_EQ(Labels(Ports()), (QStringList{"AUTO", "COM 1", "COM 10", "COM 2"}));
    EXPECT_EQ(Selected(Ports()), "COM 10");
    EXPECT_EQ(Ports().objectName(), "ctl1011");
}

TEST_F(OptionsComPage, ChoosingAPortAndOkWritesItAndReconnectsOnce) {
    Open("");
    ShowComTab();
    EXPECT_EQ(Selected(Ports()), "AUTO");

    Choose(Ports(), "COM 2");
    EXPECT_TRUE(Button("ctl12321").isEnabled());
    Button("ctl1").click();

    EXPECT_EQ(ComPort(*main), "2");
    EXPECT_EQ(main->Count("Reconnect"), 1);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(OptionsComPage, OkWithoutAChangeWritesNothingAndDoesNotReconnect) {
    Open("COM_PORT=10\n");
    ShowComTab();

    Button("ctl1").click();

    EXPECT_EQ(ComPort(*main), "10");
    EXPECT_EQ(main->Count("Reconnect"), 0);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(OptionsComPage, ApplyThenOkReconnectsOnlyAtApply) {
    Open("COM_PORT=10\n");
    ShowComTab();

    Choose(Ports(), "COM 1");
    Button("ctl12321").click();
    EXPECT_EQ(ComPort(*main), "1");
    EXPECT_EQ(main->Count("Reconnect"), 1);
    EXPECT_FALSE(Button("ctl12321").isEnabled());
    EXPECT_TRUE(sheet->isVisible());

    Button("ctl1").click();
    EXPECT_EQ(ComPort(*main), "1");
    EXPECT_EQ(main->Count("Reconnect"), 1);
}

TEST_F(OptionsComPage, CancelWritesNothing) {
    Open("COM_PORT=10\n");
    ShowComTab();
    Choose(Ports(), "COM 2");

    Button("ctl2").click();

    EXPECT_EQ(ComPort(*main), "10");
    EXPECT_EQ(main->Count("Reconnect"), 0);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
}

TEST(OptionsComPageUnopened, ComTabNeverOpenedLeavesTheComSettingsAlone) {
    // No port at all: even the "no COM port" error would only come when the
    // page is shown.
    PortFolder ports;
    OptionsMainWindow main(ComSettings("COM_PORT=7\n"));
    main.Settings().WriteValue("APPLICATION", "LOCAL_PATH", main.Folder());
    COptions sheet("Options", main);
    sheet.show();

    sheet.findChild<QPushButton*>("ctl1")->click();

    EXPECT_FALSE(sheet.ComPage().IsInitialised());
    EXPECT_EQ(main.Setting(SettingsKeys::COM_SETUP, SettingsKeys::COM_PORT), "7");
    EXPECT_EQ(main.log, QStringList());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST(OptionsComPageUnopened, NoPortShowsError1130AndOnlyAuto) {
    PortFolder ports;
    OptionsMainWindow main(ComSettings(""));
    COptions sheet("Options", main);
    sheet.show();

    sheet.Tabs().setCurrentIndex(COptions::COM_PAGE);

    EXPECT_EQ(main.log, (QStringList{"ProgramError 1130"}));
    EXPECT_EQ(Texts(sheet.ComPage().PortSelector()), (QStringList{"AUTO"}));
    EXPECT_EQ(Selected(sheet.ComPage().PortSelector()), "AUTO");
}

TEST_F(OptionsComPage, StoredPortThatIsNotPresentSelectsNothingAndIsKept) {
    Open("COM_PORT=4\n");
    ShowComTab();
    EXPECT_EQ(Selected(Ports()), "<none>");

    Button("ctl1").click();

    EXPECT_EQ(ComPort(*main), "4");
    EXPECT_EQ(main->Count("Reconnect"), 0);
}

TEST_F(OptionsComPage, ParityShowsTheTextOfTheStoredLetter) {
    struct Row {
        const char* stored;
        const char* shown;
    };
    const Row rows[] = {
        {"N", "NONE"},    {"O", "ODD"},    {"E", "EVEN"},   {"M", "MARK"},  {"S", "SPACE"},
        {"Even", "EVEN"}, {"n", "<none>"}, {"X", "<none>"}, {"", "<none>"},
    };
    for (const Row& row : rows) {
        Open(QString("COM_PARITY=") + row.stored + "\n");
        ShowComTab();
        QComboBox& parity = List("ctl1016");
        EXPECT_EQ(Texts(parity), (QStringList{"EVEN", "MARK", "NONE", "ODD", "SPACE"}));
        EXPECT_EQ(Selected(parity), row.shown) << "COM_PARITY=" << row.stored;
        EXPECT_EQ(parity.currentData().toString(),
                  parity.currentIndex() < 0 ? QString() : QString(row.shown[0]))
            << row.stored;
    }
}

TEST_F(OptionsComPage, LineSettingListsSelectTheFirstEntryBeginningWithTheStoredText) {
    struct Row {
        const char* key;
        const char* list;
        const char* stored;
        const char* shown;
    };
    const Row rows[] = {
        {"COM_BAUD", "ctl1019", "9600", "9600"},
        {"COM_BAUD", "ctl1019", "96", "9600"},
        {"COM_BAUD", "ctl1019", "1", "1200"},
        {"COM_BAUD", "ctl1019", "19", "19200"},
        // A rate in use that the list does not offer is added and shown.
        {"COM_BAUD", "ctl1019", "4800", "4800"},
        {"COM_BAUD", "ctl1019", "115200", "115200"},
        {"COM_BAUD", "ctl1019", "", "<none>"},
        {"COM_DATABIT", "ctl1017", "7", "7"},
        {"COM_DATABIT", "ctl1017", "5", "<none>"},
        {"COM_STOPBIT", "ctl1018", "1", "1"},
        {"COM_STOPBIT", "ctl1018", "1.5", "1.5"},
        {"COM_STOPBIT", "ctl1018", "2", "2"},
    };
    for (const Row& row : rows) {
        Open(QString(row.key) + "=" + row.stored + "\n");
        ShowComTab();
        EXPECT_EQ(Selected(List(row.list)), row.shown) << row.key << "=" << row.stored;
    }
    // The list offers the added rate besides the fixed ones.
    Open("COM_BAUD=115200\n");
    ShowComTab();
    EXPECT_EQ(Texts(List("ctl1019")),
              (QStringList{"115200", "1200", "19200", "2400", "300", "9600"}));
}

TEST_F(OptionsComPage, LineSettingListsAreFixedSortedAndDisabled) {
    Open("COM_BAUD=9600\nCOM_PARITY=N\nCOM_DATABIT=8\nCOM_STOPBIT=1\n");
    ShowComTab();

    EXPECT_EQ(Texts(List("ctl1019")), (QStringList{"1200", "19200", "2400", "300", "9600"}));
    EXPECT_EQ(Texts(List("ctl1017")), (QStringList{"6", "7", "8"}));
    EXPECT_EQ(Texts(List("ctl1018")), (QStringList{"1", "1.5", "2"}));
    for (const char* id : {"ctl1016", "ctl1017", "ctl1018", "ctl1019"}) {
        EXPECT_FALSE(List(id).isEnabled()) << id;
    }
    EXPECT_TRUE(Ports().isEnabled());
}

TEST_F(OptionsComPage, LabelsComeFromTheLanguage) {
    Open("");
    ShowComTab();

    EXPECT_EQ(sheet->findChild<QGroupBox*>("ctl1012")->title(), "COM port");
    EXPECT_EQ(sheet->findChild<QLabel*>("ctl1020")->text(), "Parity");
    EXPECT_EQ(sheet->findChild<QLabel*>("ctl1021")->text(), "Data bits");
    EXPECT_EQ(sheet->findChild<QLabel*>("ctl1022")->text(), "Stop bits");
    EXPECT_EQ(sheet->findChild<QLabel*>("ctl1023")->text(), "Baud rate");
}

// Leaving the page and coming back shows the same stored values again.
TEST_F(OptionsComPage, ComingBackToThePageKeepsItsSelections) {
    Open("COM_PORT=2\nCOM_BAUD=96\n");
    ShowComTab();
    sheet->Tabs().setCurrentIndex(COptions::PASSWORD_PAGE);
    ShowComTab();

    EXPECT_EQ(Selected(Ports()), "COM 2");
    EXPECT_EQ(Selected(List("ctl1019")), "9600");
    EXPECT_EQ(main->Count("ProgramError 1130"), 0);
}

} // namespace
