#include "TestMainWindow.h"

#include <QCoreApplication>
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
    QCoreApplication::processEvents();
    if (isVisible()) {
        static_cast<void>(QTest::qWaitForWindowActive(this, 2000));
    }
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return ended;
}

QuarnUIDlg::FirstRunChoice TestMainWindow::RunFirstRunSetup() {
    ++firstRunCalls;
    return firstRunChoice;
}
