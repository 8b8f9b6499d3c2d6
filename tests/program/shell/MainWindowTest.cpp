// The main window against the device emulator on a real pseudo-terminal:
// the start-up query, the buttons, activation, language change, reconnect
// and closing.
#include "DeviceShell.h"
#include "LanguageReader.h"
#include "LocalFileList.h"
#include "ModalDialogs.h"
#include "SettingsKeys.h"
#include "TargetFileList.h"
#include "TextKeys.h"
#include "WaitAny.h"

#include "devsim/CommandTable.h"

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace SettingsKeys;
using Strings = std::vector<std::string>;

LanguageReader Texts(const ShellFolder& folder, const char* file) {
    LanguageReader reader;
    reader.Load(folder.Path(QLatin1String(file)));
    return reader;
}

class MainWindow : public DeviceShell {};

// ---- Start-up query -----------------------------------------------------------------

TEST_F(MainWindow, StartWithThreeDeviceFilesFillsTheDeviceList) {
    Put(File("a.txt", 900));
    Put(File("b.bin", 2048, devsim::NvFile::ReadOnly));
    Put(File("c.dat", 12800));
    PutLocal("local.txt", 10);

    TestMainWindow& w = StartWindow();
    const TargetFileList& list = *w.TargetList();
    EXPECT_EQ(Column(list, 0), (Strings{"c.dat", "b.bin", "a.txt"}));
    EXPECT_EQ(Column(list, 1), (Strings{"12.5 KB", "2.00 KB", "900 bytes"}));
    EXPECT_EQ(Column(list, 2),
              (Strings{"03/07/24  09:05:03", "03/07/24  09:05:03", "03/07/24  09:05:03"}));
    EXPECT_EQ(Column(list, 3), (Strings{"", "r", ""}));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(w.IsConnected());
    EXPECT_FALSE(w.NoActivateRefresh());
    EXPECT_TRUE(ButtonEnabled("ctl1007"));
    EXPECT_TRUE(ButtonEnabled("ctl1021"));
    // Listed by the query, then again by the refresh command it posted (and
    // once more when the window system activates the window only after the
    // query).
    EXPECT_GE(device.requestCount(devsim::cmd::GetNvFileInfoList), 2u);
    EXPECT_LE(device.requestCount(devsim::cmd::GetNvFileInfoList), 3u);
    // The watch is over: the main window takes input, the wait window is gone.
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.DeviceThread(), nullptr);
    // Both lists take their headings and widths from the settings.
    const LanguageReader english = Texts(folder, "LANG_ENGLISH.txt");
    EXPECT_EQ(list.headerItem()->text(0), english.GetText(QLatin1String(TextKeys::HDR_FILE)));
    EXPECT_EQ(list.columnWidth(0), 120);
    EXPECT_EQ(w.LocalList()->columnWidth(2), 130);
    EXPECT_EQ(Column(*w.LocalList(), 0), Strings{"local.txt"});
}

struct ButtonRow {
    const char* name;
    int deviceFiles;
    int localFiles;
    bool toDevice;
    bool fromDevice;
};

const ButtonRow kButtonRows[] = {
    {"FilesOnBothSides", 2, 1, true, true},
    {"EmptyDevice", 0, 1, true, false},
    {"EmptyLocalFolder", 2, 0, false, true},
    {"NothingAnywhere", 0, 0, false, false},
};

class MainWindowButtons : public DeviceShell, public ::testing::WithParamInterface<ButtonRow> {};

TEST_P(MainWindowButtons, FollowTheStateMessagesOfBothLists) {
    const ButtonRow& row = GetParam();
    const char* const names[] = {"a.txt", "b.txt", "c.txt"};
    for (int i = 0; i < row.deviceFiles; ++i) {
        Put(File(names[i], 10));
    }
    for (int i = 0; i < row.localFiles; ++i) {
        PutLocal(names[i], 10);
    }
    TestMainWindow& w = StartWindow();
    EXPECT_TRUE(w.IsConnected());
    EXPECT_EQ(ButtonEnabled("ctl1007"), row.toDevice);
    EXPECT_EQ(ButtonEnabled("ctl1021"), row.fromDevice);
    if (row.deviceFiles == 0) {
        const LanguageReader errors = Texts(folder, "ERR_ENGLISH.txt");
        EXPECT_EQ(w.TargetList()->emptyText, errors.GetText(QLatin1String(TextKeys::HDR_EMPTY)));
    }
    EXPECT_TRUE(prompter.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(States, MainWindowButtons, ::testing::ValuesIn(kButtonRows),
                         [](const auto& info) { return std::string(info.param.name); });

class MainWindowWithoutDevice : public DeviceShell {
protected:
    MainWindowWithoutDevice() { linkDevice = false; }
};

TEST_F(MainWindowWithoutDevice, ShowsTheLibraryErrorAndAnEmptyDeviceList) {
    PutLocal("local.txt", 10);
    const TRELM_Result expected = TRELM_Init(kCom, TRELM_DEFAULT_MODE);
    ASSERT_NE(expected, 0u);

    TestMainWindow& w = StartWindow();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, w.LibraryErrorText(static_cast<int>(expected)));
    EXPECT_FALSE(prompter.messages[0].text.isEmpty());
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Quarn File Loader"));
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::None);
    EXPECT_EQ(w.TargetList()->RowCount(), 0);
    EXPECT_FALSE(ButtonEnabled("ctl1007"));
    EXPECT_FALSE(ButtonEnabled("ctl1021"));
    EXPECT_FALSE(w.IsConnected());
    EXPECT_TRUE(w.NoActivateRefresh());
    EXPECT_EQ(w.DeviceThread(), nullptr);
    EXPECT_TRUE(w.isVisible());
    // The local side is listed all the same.
    EXPECT_EQ(Column(*w.LocalList(), 0), Strings{"local.txt"});
}

TEST_F(MainWindowWithoutDevice, ReconnectFindsTheDeviceThatCameLater) {
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    ASSERT_EQ(prompter.messages.size(), 1u);
    ASSERT_FALSE(w.IsConnected());

    LinkDevice();
    EXPECT_EQ(w.Reconnect(), 1);
    ASSERT_TRUE(w.WaitForQuery());
    EXPECT_EQ(Column(*w.TargetList(), 0), Strings{"a.txt"});
    EXPECT_TRUE(w.IsConnected());
    EXPECT_FALSE(w.NoActivateRefresh());
    EXPECT_TRUE(ButtonEnabled("ctl1021"));
    EXPECT_EQ(prompter.messages.size(), 1u);
}

TEST_F(MainWindow, WaitWindowAndDisabledMainWindowWhileTheQueryRuns) {
    Put(File("a.txt", 10));
    // The device takes its time with the first answer.
    ASSERT_TRUE(device.addFault("WAKE_UP_DUT@1=delay:800"));
    window = std::make_unique<TestMainWindow>();
    window->OnCreate();
    ASSERT_TRUE(window->OnInitDialog());

    ASSERT_TRUE(window->IsQueryRunning());
    // The port opens on the device link's thread; then the query starts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->DeviceThread() != nullptr; }, 5000));
    EXPECT_FALSE(window->isEnabled());
    const WaitAny* wait = window->DeviceThread()->WaitWindow();
    ASSERT_NE(wait, nullptr);
    EXPECT_TRUE(wait->isVisible());
    const LanguageReader english = Texts(folder, "LANG_ENGLISH.txt");
    EXPECT_EQ(wait->windowTitle(), english.GetText(QLatin1String(TextKeys::WAIT_FOR_DEVICE)));
    // A close request asks the quit question as usual, even while the
    // window waits for the device; No keeps it. Escape does not reach the
    // disabled window.
    bool asked = false;
    ModalDialogs::AnswerNext([&](QDialog* d) { asked = ModalDialogs::Press(d, "ctl2"); });
    window->close();
    EXPECT_TRUE(asked);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->IsQueryRunning());

    ASSERT_TRUE(window->WaitForQuery());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(window->DeviceThread(), nullptr);
    EXPECT_EQ(Column(*window->TargetList(), 0), Strings{"a.txt"});
}

// ---- Activation ------------------------------------------------------------------------

void Activate(QWidget* window) {
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
}

TEST_F(MainWindow, ActivationRefreshesBothLists) {
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    ASSERT_FALSE(w.NoActivateRefresh());
    Put(File("b.txt", 10));
    PutLocal("new.txt", 10);

    Activate(&w);
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.WaitForIdle());
    EXPECT_EQ(Column(*w.TargetList(), 0), (Strings{"b.txt", "a.txt"}));
    EXPECT_EQ(Column(*w.LocalList(), 0), Strings{"new.txt"});
}

TEST_F(MainWindow, ActivationByAMouseClickDoesNotRefresh) {
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    const auto listings = device.requestCount(devsim::cmd::GetNvFileInfoList);
    Put(File("b.txt", 10));

    Activate(&w);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5),
                      w.TargetList()->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w.TargetList()->viewport(), &press);
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.WaitForIdle());
    EXPECT_EQ(Column(*w.TargetList(), 0), Strings{"a.txt"});
    EXPECT_EQ(device.requestCount(devsim::cmd::GetNvFileInfoList), listings);
}

TEST_F(MainWindow, NoActivationRefreshBeforeAQuerySucceeded) {
    // The device refuses every wake-up: the query fails.
    ASSERT_TRUE(device.addFault("WAKE_UP_DUT=nak"));
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(w.NoActivateRefresh());
    EXPECT_FALSE(w.IsConnected());
    EXPECT_FALSE(ButtonEnabled("ctl1021"));
    device.clearFaults();
    Put(File("a.txt", 10));
    const auto wakeUps = device.requestCount(devsim::cmd::WakeUpDut);

    Activate(&w);
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.WaitForIdle());
    EXPECT_EQ(device.requestCount(devsim::cmd::WakeUpDut), wakeUps);
    EXPECT_EQ(w.TargetList()->RowCount(), 0);
}

TEST_F(MainWindow, HoldFlagsKeepTheListsStill) {
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    Put(File("b.txt", 10));

    w.SetHoldRefresh(true);
    w.SetHoldDeviceList(true);
    w.OnCommand(QuarnUIDlg::ID_REFRESH);
    w.ReloadDeviceListIfIdle();
    EXPECT_EQ(Column(*w.TargetList(), 0), Strings{"a.txt"});
    // Clearing the device-list hold reloads the device list once.
    w.SetHoldDeviceList(false);
    ASSERT_TRUE(w.WaitForIdle());
    EXPECT_EQ(Column(*w.TargetList(), 0), (Strings{"b.txt", "a.txt"}));
    w.SetHoldRefresh(false);
    EXPECT_FALSE(w.HoldRefresh());
    EXPECT_FALSE(w.HoldDeviceList());
}

// ---- Menu and language --------------------------------------------------------------

TEST_F(MainWindow, MenuIsBuiltFromTheLanguageTexts) {
    TestMainWindow& w = StartWindow();
    const LanguageReader english = Texts(folder, "LANG_ENGLISH.txt");
    auto text = [&](const char* key) { return english.GetText(QLatin1String(key)); };
    const QList<QAction*> top = w.MenuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text(), text(TextKeys::MNU_FILE));
    EXPECT_EQ(top[1]->text(), text(TextKeys::MNU_TOOLS));
    // The menu bar names Refresh's key after the text.
    EXPECT_EQ(top[2]->text(), text(TextKeys::MNU_REFRESH) + QStringLiteral("  (F5)"));
    EXPECT_EQ(top[2]->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(top[2]->data().toInt(), QuarnUIDlg::ID_REFRESH);
    EXPECT_EQ(top[3]->text(), text(TextKeys::MNU_ABOUT));
    EXPECT_EQ(top[3]->data().toInt(), QuarnUIDlg::ID_ABOUT);
    ASSERT_NE(top[0]->menu(), nullptr);
    ASSERT_EQ(top[0]->menu()->actions().size(), 1);
    EXPECT_EQ(top[0]->menu()->actions()[0]->text(), text(TextKeys::MNU_FILE_EXIT));
    EXPECT_EQ(top[0]->menu()->actions()[0]->data().toInt(), QuarnUIDlg::ID_APP_EXIT);
    ASSERT_NE(top[1]->menu(), nullptr);
    const QList<QAction*> tools = top[1]->menu()->actions();
    ASSERT_EQ(tools.size(), 2);
    EXPECT_EQ(tools[0]->text(), text(TextKeys::MNU_TOOLS_OPTIONS));
    EXPECT_EQ(tools[0]->data().toInt(), QuarnUIDlg::ID_TOOLS_OPTIONS);
    EXPECT_EQ(tools[1]->text(), text(TextKeys::MNU_TOOLS_FILES));
    EXPECT_EQ(tools[1]->data().toInt(), QuarnUIDlg::ID_TOOLS_FILES);
    EXPECT_EQ(w.windowTitle(), text(TextKeys::APPNAME));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("ctl1003"))->text(),
              text(TextKeys::LBL_TARGETFILES));
    EXPECT_EQ(w.BuildHeading(), QStringLiteral("%1, 120;%2, 80;%3, 130;%4, 40;")
                                    .arg(text(TextKeys::HDR_FILE), text(TextKeys::HDR_SIZE),
                                         text(TextKeys::HDR_DATE), text(TextKeys::HDR_ATTRIB)));
}

TEST_F(MainWindow, LanguageChangeSwitchesTextsAndSettings) {
    TestMainWindow& w = StartWindow();
    EXPECT_EQ(w.ChangeLanguage(QStringLiteral("DEUTSCH")), 1);
    const LanguageReader german = Texts(folder, "LANG_DEUTSCH.txt");
    EXPECT_EQ(w.windowTitle(), german.GetText(QLatin1String(TextKeys::APPNAME)));
    EXPECT_EQ(w.MenuBar()->actions()[0]->text(), german.GetText(QLatin1String(TextKeys::MNU_FILE)));
    EXPECT_EQ(w.Settings().ReadValue(QLatin1String(APPLICATION), QLatin1String(LANGUAGE), {}),
              QStringLiteral("LANG_DEUTSCH.txt"));
    EXPECT_EQ(w.Settings().ReadValue(QLatin1String(APPLICATION), QLatin1String(ERROR_FILE), {}),
              QStringLiteral("ERR_DEUTSCH.txt"));
    const LanguageReader germanErrors = Texts(folder, "ERR_DEUTSCH.txt");
    EXPECT_EQ(w.ErrReader().GetText(QLatin1String(TextKeys::HDR_EMPTY)),
              germanErrors.GetText(QLatin1String(TextKeys::HDR_EMPTY)));
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(MainWindow, LanguageChangeWithoutAFileReportsAndLeavesKeys) {
    TestMainWindow& w = StartWindow();
    EXPECT_EQ(w.ChangeLanguage(QStringLiteral("KLINGON")), 0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    const LanguageReader errors = Texts(folder, "ERR_ENGLISH.txt");
    EXPECT_EQ(prompter.messages[0].text,
              errors.GetText(QLatin1String(TextKeys::ERR_UNABLE_TO_CHANGE_LANG)));
    // The language reader is empty now: every text shows as its key.
    EXPECT_EQ(w.LangReader().GetText(QLatin1String(TextKeys::APPNAME)),
              QLatin1String(TextKeys::APPNAME));
    EXPECT_EQ(w.Settings().ReadValue(QLatin1String(APPLICATION), QLatin1String(LANGUAGE), {}),
              QStringLiteral("LANG_ENGLISH.txt"));
}

// ---- Closing -----------------------------------------------------------------------------

TEST_F(MainWindow, ColumnWidthsReachTheSettingsFileOnExit) {
    TestMainWindow& w = StartWindow();
    const int widths[] = {150, 60, 130, 50};
    for (int i = 0; i < 4; ++i) {
        w.LocalList()->setColumnWidth(i, widths[i]);
    }
    bool asked = false;
    ModalDialogs::AnswerNext([&](QDialog* d) { asked = ModalDialogs::Press(d, "ctl1"); });
    w.findChild<QAction*>(QStringLiteral("cmd57665"))->trigger();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);
    // Written when the window goes.
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, COL1), QStringLiteral("120"));
    window.reset();
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, COL1), QStringLiteral("150"));
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, COL2), QStringLiteral("60"));
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, COL3), QStringLiteral("130"));
    EXPECT_EQ(folder.SettingOnDisk(APPLICATION, COL4), QStringLiteral("50"));
}

TEST_F(MainWindow, QuitQuestionAnsweredNoKeepsTheWindowOpen) {
    TestMainWindow& w = StartWindow();
    w.LocalList()->setColumnWidth(0, 155);
    const LanguageReader english = Texts(folder, "LANG_ENGLISH.txt");
    QString question;
    QString yes;
    QString no;
    ModalDialogs::AnswerNext([&](QDialog* d) {
        question = ModalDialogs::LabelText(d, "ctl1037");
        yes = d->findChild<QPushButton*>(QStringLiteral("ctl1"))->text();
        no = d->findChild<QPushButton*>(QStringLiteral("ctl2"))->text();
        ModalDialogs::Press(d, "ctl2");
    });
    w.close();
    EXPECT_EQ(question, english.GetText(QLatin1String(TextKeys::Q_REALLY_QUIT)));
    EXPECT_EQ(yes, english.GetText(QLatin1String(TextKeys::Q_YES)));
    EXPECT_EQ(no, english.GetText(QLatin1String(TextKeys::Q_NO)));
    EXPECT_TRUE(w.isVisible());
    // The widths are in the store already.
    EXPECT_EQ(w.Settings().ReadValue(QLatin1String(APPLICATION), QLatin1String(COL1), {}),
              QStringLiteral("155"));
}

TEST_F(MainWindow, EscapeAsksToQuitAndEnterDoesNothing) {
    TestMainWindow& w = StartWindow();
    w.TargetList()->setFocus();
    bool asked = false;
    ModalDialogs::AnswerNext([&](QDialog* d) { asked = ModalDialogs::Press(d, "ctl2"); });
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(w.isVisible());

    bool opened = false;
    ModalDialogs::AnswerNext([&](QDialog* d) { opened = ModalDialogs::Press(d, "ctl2"); }, 300);
    QTest::keyClick(&w, Qt::Key_Return);
    QTest::qWait(400);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(prompter.messages.empty());
}

} // namespace
