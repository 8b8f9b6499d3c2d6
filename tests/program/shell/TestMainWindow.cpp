#include "TestMainWindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

TestMainWindow::TestMainWindow() {
    SetCreationPause(0);
    SetFatalExit([this](int code) { fatalExits.push_back(code); });
}

bool TestMainWindow::Start() {
    OnCreate();
    if (!OnInitDialog()) {
        return false;
    }
    return WaitForQuery();
}

bool TestMainWindow::WaitForQuery() {
    const bool ended = QTest::qWaitFor([this] { return !IsQueryRunning(); }, 20000);
    // The refresh command that the query posted, and the activation that the
    // window system may deliver only now (it refreshes the lists once more),
    // so that tests start from a settled window.
    bool idle = WaitForIdle();
    if (isVisible()) {
        static_cast<void>(QTest::qWaitForWindowActive(this, 2000));
    }
    QCoreApplication::processEvents();
    idle = WaitForIdle() && idle;
    return ended && idle;
}

bool TestMainWindow::WaitForIdle() {
    // Idle, and still idle once the events posted meanwhile have run (an
    // answer may post the next command).
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents();
        if (!IsDeviceBusy() && !IsQueryRunning()) {
            QCoreApplication::processEvents();
            if (!IsDeviceBusy() && !IsQueryRunning()) {
                return true;
            }
        }
        QTest::qWait(10);
    }
    return false;
}

QuarnUIDlg::FirstRunChoice TestMainWindow::RunFirstRunSetup() {
    ++firstRunCalls;
    if (realFirstRun) {
        return QuarnUIDlg::RunFirstRunSetup();
    }
    return firstRunChoice;
}
