// The main window as a window manager-less X server shows it (run under
// xvfb-run on the xcb platform, not offscreen): the window is really
// activated again and again while a paced copy runs, and the device must see
// nothing but the copy's own data packets between its create and store
// commands; and the window's size hints let it be resized, the panes
// following.
#include "DeviceShell.h"
#include "LocalFileList.h"
#include "TargetFileList.h"
#include "TestFiles.h"

#include "devsim/CommandTable.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

// Counts the activations a window receives.
class ActivationCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) {
            ++count;
        }
        return false;
    }
};

class RealWindow : public DeviceShell {};

TEST_F(RealWindow, ActivationsDuringAPacedCopySendNothingButTheCopy) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
        << "run this test under an X server (xvfb-run)";
    Put(File("a.txt", 10));
    ASSERT_TRUE(TestFiles::Write(folder.LocalFolder() + QStringLiteral("/big.bin"), 6000));
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QWidget other;
    other.setWindowTitle(QStringLiteral("another program"));
    other.resize(200, 100);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    ASSERT_TRUE(w.WaitForIdle());

    ActivationCounter activations;
    w.installEventFilter(&activations);
    w.LocalList()->topLevelItem(0)->setSelected(true);
    device.resetCounters();
    // The line runs at 115200 baud: 60 packets take a while.
    device.setLineBaud(115200);
    ASSERT_TRUE(device.addFault("CREATE_NV_FILE_DATA_PACKET=delay:15"));
    w.CopyToDevice();
    ASSERT_NE(w.m_progress, nullptr);
    while (w.m_progress != nullptr) {
        other.activateWindow();
        QTest::qWait(40);
        w.activateWindow();
        QTest::qWait(40);
    }
    ASSERT_TRUE(w.WaitForIdle());
    EXPECT_GE(activations.count, 2) << "the window manager-less server never activated the window";
    ASSERT_TRUE(device.file("big.bin").has_value());

    EXPECT_EQ(CommandsBetweenCreateAndStore(), std::set<std::string>{devsim::CommandTable::label(
                                                   devsim::cmd::CreateNvFileDataPacket)});
    w.removeEventFilter(&activations);
}

TEST_F(RealWindow, TheWindowCanBeResizedAndThePanesFollow) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
        << "run this test under an X server (xvfb-run)";
    Put(File("a.txt", 10));
    PutLocal("b.txt", 10);
    TestMainWindow& w = StartWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(w.WaitForIdle());
    // What the window tells the X server: a range of sizes, not one.
    const QWindow* native = w.windowHandle();
    ASSERT_NE(native, nullptr);
    EXPECT_LT(native->minimumSize().width(), native->maximumSize().width());
    EXPECT_LT(native->minimumSize().height(), native->maximumSize().height());

    const QSize before = w.size();
    const int device = w.TargetList()->width();
    const int local = w.LocalList()->width();
    const int button = w.findChild<QPushButton*>(QStringLiteral("ctl1007"))->width();
    const QSize wanted = before + QSize(240, 120);
    w.windowHandle()->resize(wanted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.size() == wanted; }, 5000))
        << w.width() << "x" << w.height();
    QCoreApplication::processEvents();
    EXPECT_GT(w.TargetList()->width(), device + 80);
    EXPECT_GT(w.LocalList()->width(), local + 80);
    EXPECT_GT(w.LocalList()->height(), 0);
    EXPECT_EQ(w.findChild<QPushButton*>(QStringLiteral("ctl1007"))->width(), button);
    // The splitter moves the boundary; the buttons keep between the panes.
    const QList<int> sizes = w.Splitter()->sizes();
    ASSERT_EQ(sizes.size(), 3);
    w.Splitter()->setSizes({sizes[0] - 100, sizes[1], sizes[2] + 100});
    QCoreApplication::processEvents();
    EXPECT_LT(w.TargetList()->width(), w.LocalList()->width());
}

} // namespace
