#include "DeviceThread.h"

#include "DebugLog.h"
#include "QuarnUIDlg.h"
#include "WaitAny.h"

CDeviceThread::CDeviceThread(QuarnUIDlg& mainWindow)
    : mainWindow(mainWindow), m_waitWnd(std::make_unique<WaitAny>()) {}

CDeviceThread::~CDeviceThread() {
    if (worker.joinable()) {
        worker.join();
    }
    if (watching) {
        ExitInstance();
    }
}

void CDeviceThread::Start(bool extendedListing) {
    running = true;
    InitInstance();
    worker = std::thread([this, extendedListing] {
        const QueryResult result = InitThread(extendedListing);
        // Handed to the user-interface thread; dropped there if this object
        // has gone in the meantime.
        QMetaObject::invokeMethod(
            this, [this, result] { OnWorkerDone(result); }, Qt::QueuedConnection);
    });
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

CDeviceThread::QueryResult CDeviceThread::InitThread(bool extendedListing) {
    quarnDebug("Entered InitThread\n");
    QueryResult result;
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    result.infoResult = TRELM_GetConnectedDeviceInfo(&value1, &value2);
    if (result.infoResult != TRELM_OK) {
        quarnDebug("No device info found\n");
        return result;
    }
    result.listing = TargetFileList::ReadListing(extendedListing);
    return result;
}

void CDeviceThread::OnWorkerDone(const QueryResult& result) {
    if (worker.joinable()) {
        worker.join();
    }
    mainWindow.DeviceQueryFinished(result);
    ExitInstance();
    running = false;
    deleteLater();
}
