#pragma once

#include "DeviceLink.h"

#include <QObject>
#include <QString>

#include <memory>

class QuarnUIDlg;
class WaitAny;

// The start-up device query. After Connect has opened the port, asking the
// device can take many seconds, so the information query and the walk
// through the file list run on the device link's thread. Meanwhile the wait
// window runs its bar on the user-interface thread and the main window is
// disabled. The answer comes back to the user-interface thread, where the
// main window fills the device list (QuarnUIDlg::DeviceQueryFinished) and
// ends the watch; the object then deletes itself. An object deleted before
// the answer came never sees it.
class CDeviceThread : public QObject {
    Q_OBJECT

public:
    using QueryResult = DeviceLink::QueryResult;

    CDeviceThread(QuarnUIDlg& mainWindow, DeviceLink& link);
    ~CDeviceThread() override;

    CDeviceThread(const CDeviceThread&) = delete;
    CDeviceThread& operator=(const CDeviceThread&) = delete;

    // Title of the wait window; set before Start.
    QString m_waitText;

    // Shows the wait window, disables the main window and sends the query,
    // which reads the extended listing when `extendedListing` is set.
    void Start(bool extendedListing);
    // Ends the watch: enables the main window and closes the wait window.
    void ExitInstance();

    // True from Start until the answer has been handed over.
    bool IsRunning() const { return running; }
    WaitAny* WaitWindow() const { return m_waitWnd.get(); }

private:
    void InitInstance();
    void OnQueryDone(const QueryResult& result);

    QuarnUIDlg& mainWindow;
    DeviceLink& link;
    std::unique_ptr<WaitAny> m_waitWnd;
    bool running = false;
    bool watching = false;
};
