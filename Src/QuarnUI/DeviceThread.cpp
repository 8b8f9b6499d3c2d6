#include "DeviceThread.h"

#include "DebugLog.h"
#include "QuarnUIDlg.h"
#include "WaitAny.h"

CDeviceThread::CDeviceThread(QuarnUIDlg& mainWindow, DeviceLink& link)
    : mainWindow(mainWindow), link(link), m_waitWnd(std::make_unique<WaitAny>()) {}

CDeviceThread::~CDeviceThread() {
    if (watching) {
        ExitInstance();
    }
}

void CDeviceThread::Start(bool extendedListing) {
    running = true;
    InitInstance();
    link.Query(extendedListing, this, [this](const QueryResult& result) { OnQueryDone(result); });
}

void CDeviceThread::InitInstance() {
    watching = true;
    m_waitWnd->Create(&mainWindow, m_waitText);
    // The wait window offers nothing to click, and while the query runs the
    // main window takes no input either.
    m_waitWnd->setEnabled(false);
    mainWindow.setEnabled(false);
    quarnDebug("CDeviceThread::InitInstance()\n");
}

void CDeviceThread::ExitInstance() {
    if (!watching) {
        return;
    }
    watching = false;
    mainWindow.setEnabled(true);
    m_waitWnd->hide();
    quarnDebug("CDeviceThread::ExitInstance()\n");
}

void CDeviceThread::OnQueryDone(const QueryResult& result) {
    mainWindow.DeviceQueryFinished(result);
    ExitInstance();
    running = false;
    deleteLater();
}
