#pragma once

#include "TargetFileList.h"

#include "trelm.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

class QuarnUIDlg;
class WaitAny;

// The start-up device query. After Connect has opened the port, asking the
// device can block for seconds, so the library calls (the information query,
// then the walk through the file list) run on a worker thread, InitThread.
// Meanwhile the wait window runs its bar on the user-interface thread and
// the main window is disabled, so that no other library call can start.
// The worker's result is handed back to the user-interface thread, where the
// main window fills the device list (QuarnUIDlg::DeviceQueryFinished) and
// ends the watch; the object then deletes itself.
class CDeviceThread : public QObject {
    Q_OBJECT

public:
    // What the worker found out.
    struct QueryResult {
        // The information query's result; the listing is read only after 0.
        TRELM_Result infoResult = TRELM_ERROR_UNKNOWN;
        TargetFileList::Listing listing;
    };

    explicit CDeviceThread(QuarnUIDlg& mainWindow);
    // Waits for a worker that is still talking to the device.
    ~CDeviceThread() override;

    CDeviceThread(const CDeviceThread&) = delete;
    CDeviceThread& operator=(const CDeviceThread&) = delete;

    // Title of the wait window; set before Start.
    QString m_waitText;

    // Shows the wait window, disables the main window and starts the worker,
    // which reads the extended listing when `extendedListing` is set.
    void Start(bool extendedListing);
    // Ends the watch: enables the main window and closes the wait window.
    void ExitInstance();

    // True from Start until the worker's result has been handed over.
    bool IsRunning() const { return running; }
    WaitAny* WaitWindow() const { return m_waitWnd.get(); }

    // The worker procedure: the information query, then (when it answered)
    // the device's file list. Library calls only; touches no widget.
    static QueryResult InitThread(bool extendedListing);

private:
    void InitInstance();
    void OnWorkerDone(const QueryResult& result);

    QuarnUIDlg& mainWindow;
    std::unique_ptr<WaitAny> m_waitWnd;
    std::thread worker;
    bool running = false;
    bool watching = false;
};
