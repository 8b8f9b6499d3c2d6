// The main window stays alive while the device takes its time or says
// nothing at all: every library call runs on the device link's thread, the
// window keeps its event loop, says what it waits for and why a load failed,
// and nothing a user does meanwhile puts a second exchange on the line.
#include "DeviceShell.h"
#include "LanguageReader.h"
#include "LocalFileList.h"
#include "ModalDialogs.h"
#include "ProgramFolder.h"
#include "ProgressWnd.h"
#include "SettingsKeys.h"
#include "TargetFileList.h"
#include "TestFiles.h"
#include "TextKeys.h"
#include "WaitAny.h"

#include "devsim/CommandTable.h"

#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace SettingsKeys;

// Counts the ticks of a 10 ms timer: proof that the event loop ran.
class Ticker {
public:
    Ticker() {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start();
    }
    int ticks = 0;

private:
    QTimer timer;
};

void Activate(QWidget* window) {
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
}

class Responsive : public DeviceShell {
protected:
    // The texts the pane may show after a failed load: a library error text
    // and the port.
    static bool NamesAFailure(TestMainWindow& w, const QString& text) {
        for (int code = TRELM_ERROR_UNKNOWN; code <= TRELM_ERROR_DEVICE_UNKNOWN_CMD; ++code) {
            if (text.startsWith(w.LibraryErrorText(code) + u'\n') &&
                text.contains(QStringLiteral("COM 7"))) {
                return true;
            }
        }
        return false;
    }

    QString ErrText(const char* key) const {
        LanguageReader errors;
        errors.Load(folder.Path(QStringLiteral("ERR_ENGLISH.txt")));
        return errors.GetText(QLatin1String(key));
    }
};

// ---- A silent device ---------------------------------------------------------------------

TEST_F(Responsive, RefreshWithASilentDeviceKeepsTheWindowAliveAndSaysWhy) {
    Put(File("a.txt", 10));
    TestMainWindow& w = StartWindow();
    ASSERT_EQ(w.TargetList()->RowCount(), 1);
    const QString port =
        QStringLiteral("COM 7 (") + QString::fromStdString(server.slavePath()) + u')';
    EXPECT_EQ(w.PortDescription(), port);

    ASSERT_TRUE(device.addFault("*=silent"));
    w.OnCommand(QuarnUIDlg::ID_REFRESH);
    // The command returned while the device has not answered.
    ASSERT_TRUE(w.Link().IsBusy());
    EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("ctl1021"))->isEnabled());
    EXPECT_EQ(w.TargetList()->viewport()->cursor().shape(), Qt::BusyCursor);

    // The window counts the seconds it waits; its event loop keeps running.
    Ticker ticker;
    const QString waited =
        QStringLiteral("Waiting for the device on ") + port + QStringLiteral("\u2026 1 s");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.WaitLine()->text() == waited; }, 5000))
        << w.WaitLine()->text().toStdString();
    EXPECT_GE(ticker.ticks, 20);
    EXPECT_TRUE(w.Link().IsBusy());
    // Meanwhile the pane does not claim that the device has no files.
    EXPECT_NE(w.TargetList()->emptyText, ErrText(TextKeys::NO_ITEM_IN_LIST));
    EXPECT_NE(w.TargetList()->emptyText, ErrText(TextKeys::HDR_EMPTY));

    // A refresh asked for meanwhile waits its turn; nothing else reached the
    // line.
    const std::size_t sent = device.requestLog().size();
    w.OnCommand(QuarnUIDlg::ID_REFRESH);
    EXPECT_EQ(device.requestLog().size(), sent);

    // Unplugged: the load fails at once, and the pane says why instead of
    // looking like an empty device.
    server.stop();
    ASSERT_TRUE(w.WaitForIdle());
    const QString empty = w.TargetList()->emptyText;
    EXPECT_TRUE(NamesAFailure(w, empty)) << empty.toStdString();
    EXPECT_NE(empty, ErrText(TextKeys::NO_ITEM_IN_LIST));
    EXPECT_NE(empty, ErrText(TextKeys::HDR_EMPTY));
    EXPECT_EQ(w.TargetList()->RowCount(), 0);
    EXPECT_TRUE(w.WaitLine()->text().isEmpty());
    EXPECT_EQ(w.TargetList()->viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Responsive, StartUpQueryWithASilentDeviceKeepsTheWaitWindowRunning) {
    Put(File("a.txt", 10));
    ASSERT_TRUE(device.addFault("*=silent"));
    window = std::make_unique<TestMainWindow>();
    window->OnCreate();
    ASSERT_TRUE(window->OnInitDialog());
    ASSERT_TRUE(window->IsQueryRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->DeviceThread() != nullptr; }, 5000));
    const QProgressBar* bar = window->DeviceThread()->WaitWindow()->Bar();
    const int start = bar->value();
    // The wait window's bar moves on its 700 ms timer while the device is
    // silent.
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() != start; }, 5000));
    EXPECT_TRUE(window->IsQueryRunning());

    server.stop();
    ASSERT_TRUE(window->WaitForIdle());
    EXPECT_FALSE(window->IsQueryRunning());
    EXPECT_FALSE(window->IsConnected());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(NamesAFailure(*window, window->TargetList()->emptyText))
        << window->TargetList()->emptyText.toStdString();
}

TEST_F(Responsive, QuitDuringASilentWaitEndsAtOnceWithBothFilesSaved) {
    Put(File("a.txt", 10));
    PutLocal("local.txt", 10);
    TestMainWindow& w = StartWindow();
    // In service mode the local list keeps a file library, written at the
    // end.
    EXPECT_EQ(w.ShowHidden(), 1);
    ASSERT_TRUE(w.WaitForIdle());
    const QString fileLibrary = ProgramFolder::Path() + QStringLiteral("/filelib.ini");
    ASSERT_TRUE(QFileInfo::exists(fileLibrary));
    ASSERT_TRUE(QFile::remove(fileLibrary));
    w.Settings().WriteValue(QLatin1String(APPLICATION), QLatin1String(SPLASH_WAIT),
                            QStringLiteral("1234"));
    ASSERT_TRUE(device.addFault("*=silent"));
    w.OnCommand(QuarnUIDlg::ID_REFRESH);
    ASSERT_TRUE(w.Link().IsBusy());

    QElapsedTimer clock;
    qint64 answeredAt = -1;
    qint64 endedAt = -1;
    QString settingAtEnd;
    bool libraryAtEnd = false;
    w.SetBusyExit([&] {
        // Where the program ends the process: the files are saved by now.
        endedAt = clock.elapsed();
        settingAtEnd = folder.SettingOnDisk(APPLICATION, SPLASH_WAIT);
        libraryAtEnd = QFileInfo::exists(fileLibrary);
        // The test goes on: unplugging ends the call the link still waits for.
        server.stop();
    });
    clock.start();
    ModalDialogs::AnswerNext([&](QDialog* d) {
        answeredAt = clock.elapsed();
        ModalDialogs::Press(d, "ctl1");
    });
    w.close();
    EXPECT_GE(answeredAt, 0);
    EXPECT_EQ(w.result(), QDialog::Rejected);
    window.reset();

    ASSERT_GE(endedAt, 0) << "the end did not wait for the silent device";
    EXPECT_EQ(settingAtEnd, QStringLiteral("1234"));
    EXPECT_TRUE(libraryAtEnd) << fileLibrary.toStdString();
    // The library would wait 25 s for this answer; the end comes after the
    // link's short grace time.
    EXPECT_LT(endedAt - answeredAt, 5000);
    EXPECT_GE(endedAt - answeredAt, DeviceLink::ShutdownGraceMs);
}

// ---- A slow device -------------------------------------------------------------------------

TEST_F(Responsive, AnAnsweringCopyIsNotReportedAsAWaitButAStalledPacketIs) {
    ASSERT_TRUE(TestFiles::Write(folder.LocalFolder() + QStringLiteral("/slow.bin"), 1500));
    TestMainWindow& w = StartWindow();
    w.LocalList()->topLevelItem(0)->setSelected(true);
    device.resetCounters();
    // 15 packets of 100 ms each: the copy takes well over the half second
    // after which the wait line shows, but the device answers all along;
    // only the 12th packet keeps it waiting.
    ASSERT_TRUE(device.addFault("CREATE_NV_FILE_DATA_PACKET@1-11=delay:100"));
    ASSERT_TRUE(device.addFault("CREATE_NV_FILE_DATA_PACKET@12=delay:2000"));
    std::size_t shownBefore12 = 0;
    bool shownAt12 = false;
    QTimer sampler;
    sampler.setInterval(20);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (w.WaitLine()->text().isEmpty()) {
            return;
        }
        if (device.requestCount(devsim::cmd::CreateNvFileDataPacket) < 12) {
            ++shownBefore12;
        } else {
            shownAt12 = true;
        }
    });
    sampler.start();
    w.CopyToDevice();
    ASSERT_TRUE(w.WaitForIdle());
    sampler.stop();
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFileDataPacket), 15u);
    EXPECT_EQ(shownBefore12, 0u);
    EXPECT_TRUE(shownAt12);
    EXPECT_TRUE(device.file("slow.bin").has_value());
}

TEST_F(Responsive, CancelActsAtOnceWhileAPacketIsUnderWay) {
    ASSERT_TRUE(TestFiles::Write(folder.LocalFolder() + QStringLiteral("/big.bin"), 2000));
    TestMainWindow& w = StartWindow();
    w.LocalList()->topLevelItem(0)->setSelected(true);
    device.resetCounters();
    // The second data packet is answered only after 3 s.
    ASSERT_TRUE(device.addFault("CREATE_NV_FILE_DATA_PACKET@2=delay:3000"));
    w.CopyToDevice();
    ASSERT_NE(w.m_progress, nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return device.requestCount(devsim::cmd::CreateNvFileDataPacket) >= 2; }, 5000));
    ProgressWnd* progress = w.m_progress;
    ASSERT_NE(progress, nullptr);
    auto* cancel = progress->Window()->findChild<QPushButton*>(QStringLiteral("ctl10"));
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    // The window is gone and the cancel recorded while the packet is still
    // under way; the library sees it at its next callback.
    EXPECT_TRUE(progress->IsCancelled());
    EXPECT_EQ(progress->Window(), nullptr);
    EXPECT_TRUE(w.Link().CancelRequested());
    EXPECT_TRUE(w.Link().IsBusy());

    ASSERT_TRUE(w.WaitForIdle());
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFileDataPacket), 2u);
    // The device got its store command and dropped the partial file.
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFileStoreFile), 1u);
    EXPECT_FALSE(device.file("big.bin").has_value());
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(w.m_progress, nullptr);
    EXPECT_TRUE(w.isEnabled());
}

TEST_F(Responsive, ActivationAndCloseDuringACopySendOnlyTheCopysFrames) {
    Put(File("a.txt", 10));
    ASSERT_TRUE(TestFiles::Write(folder.LocalFolder() + QStringLiteral("/big.bin"), 3000));
    TestMainWindow& w = StartWindow();
    w.LocalList()->topLevelItem(0)->setSelected(true);
    device.resetCounters();
    // Each data packet takes a while: the copy lasts about a second.
    ASSERT_TRUE(device.addFault("CREATE_NV_FILE_DATA_PACKET=delay:30"));
    int questions = 0;
    w.CopyToDevice();
    ASSERT_NE(w.m_progress, nullptr);
    // While the copy runs: activations of the main window and close
    // requests answered No.
    while (w.m_progress != nullptr && questions < 5) {
        Activate(&w);
        ModalDialogs::AnswerNext([&](QDialog* d) {
            if (ModalDialogs::Press(d, "ctl2")) {
                ++questions;
            }
        });
        w.close();
        QTest::qWait(20);
    }
    EXPECT_GE(questions, 1);
    ASSERT_TRUE(w.WaitForIdle());
    ASSERT_TRUE(device.file("big.bin").has_value());

    EXPECT_EQ(CommandsBetweenCreateAndStore(), std::set<std::string>{devsim::CommandTable::label(
                                                   devsim::cmd::CreateNvFileDataPacket)});
    EXPECT_TRUE(w.isVisible());
}

// The options sheet's apply with a new port and the service password: the
// reconnect and the service-mode listing go to the device one after the
// other, and the listing is whole.
TEST_F(Responsive, ReconnectAndServiceModeListingTakeTurns) {
    Put(File("a.txt", 10));
    Put(File("h.sys", 10, devsim::NvFile::Hidden));
    TestMainWindow& w = StartWindow();
    ASSERT_EQ(w.TargetList()->RowCount(), 1);
    device.resetCounters();
    // The device is slow to wake up, so the reconnect is still under way
    // when the listing is asked for.
    ASSERT_TRUE(device.addFault("WAKE_UP_DUT@1=delay:500"));
    EXPECT_EQ(w.Reconnect(), 1);
    EXPECT_EQ(w.ShowHidden(), 1);
    EXPECT_TRUE(w.IsQueryRunning());
    ASSERT_TRUE(w.WaitForIdle());

    EXPECT_TRUE(prompter.messages.empty());
    std::vector<std::string> names;
    for (int row = 0; row < w.TargetList()->RowCount(); ++row) {
        names.push_back(w.TargetList()->RowText(row, 0).toStdString());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"h.sys", "a.txt"}));
    // Every extended listing runs from its start to its last data packet
    // without another command in between.
    const std::vector<std::uint16_t> codes = Commands();
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] != devsim::cmd::GetNvFileInfoListEx) {
            continue;
        }
        std::size_t j = i + 1;
        while (j < codes.size() && codes[j] == devsim::cmd::GetNvFileInfoListExDataPacket) {
            ++j;
        }
        EXPECT_GT(j, i + 1) << "a listing without its data";
        if (j < codes.size()) {
            EXPECT_NE(codes[j], devsim::cmd::GetNvFileInfoListExDataPacket);
        }
    }
}

// ---- The menu ------------------------------------------------------------------------------

TEST_F(Responsive, RebuildingTheMenuLeavesNoOldMenusBehind) {
    TestMainWindow& w = StartWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto count = w.MenuBar()->findChildren<QObject*>().size();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(w.ChangeLanguage(QStringLiteral("ENGLISH")), 1);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.MenuBar()->findChildren<QObject*>().size(), count);
    EXPECT_NE(w.findChild<QAction*>(QStringLiteral("cmd1224")), nullptr);
}

} // namespace
