#pragma once

#include "trelm.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class QThread;

// The program's only door to the device. Every library call of the program
// runs here, on the link's own thread, one call at a time and in the order
// the requests were made; the windows never wait on the serial line.
//
// A request names what to do and a function that receives the answer. The
// answer is handed back to the user-interface thread by a queued call and
// delivered only while the `context` object given with the request still
// lives, so a window that has gone never sees a late answer.
//
// Besides single requests the link keeps the state the windows need to stay
// honest: whether a device operation (a request, or a run of requests such as
// a copy of several files) is under way, since when the current request has
// waited, and the device error values of the last failed call.
//
// The copies' progress callback runs on the link's thread; it reports to the
// user-interface thread with the Progress signal and reads the cancel request
// as an atomic flag.
class DeviceLink : public QObject {
    Q_OBJECT

public:
    // What a call left in the library's extended error values.
    struct CallResult {
        TRELM_Result result = TRELM_ERROR_UNKNOWN;
        TRELM_DeviceError deviceError = TRELM_DEVICE_ERROR_NO_ERROR;
        std::uint32_t linkStatus = 0;
        bool Ok() const { return result == TRELM_OK; }
    };

    struct OpenResult {
        CallResult call;
        // After a search (port 0): the port the device answered on, when the
        // library could say.
        std::uint32_t foundPort = 0;
        bool foundPortKnown = false;
    };

    // What one walk through the device's file list found.
    struct Listing {
        // The library result of the call that ended the walk; 0 after a
        // complete walk.
        TRELM_Result result = TRELM_OK;
        // The device answered the information query, with these two values.
        bool deviceAnswered = false;
        std::uint32_t infoValue1 = 0;
        std::uint32_t infoValue2 = 0;
        // The listing was started (the device sent its file count).
        bool listed = false;
        // The number of files the device reported.
        std::uint32_t count = 0;
        // The records in the device's order.
        std::vector<TRELM_FILE_INFO> records;
        // The device error values of the call that ended the walk.
        TRELM_DeviceError deviceError = TRELM_DEVICE_ERROR_NO_ERROR;
        std::uint32_t linkStatus = 0;
    };

    // The start-up query: the information query, then (when it answered) the
    // device's file list.
    struct QueryResult {
        TRELM_Result infoResult = TRELM_ERROR_UNKNOWN;
        Listing listing;
    };

    struct ExistsResult {
        CallResult call;
        std::uint32_t exists = 0;
    };

    struct StatisticsResult {
        CallResult call;
        TRELM_STATISTICS statistics{};
    };

    explicit DeviceLink(QObject* parent = nullptr);
    // Cancels a running copy and waits for the link's thread. When a call is
    // still blocked on a silent line after the grace time, the busy-exit
    // handler runs (the program ends the process there); without one the
    // destructor waits until the library gives up.
    ~DeviceLink() override;

    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // ---- Requests (user-interface thread) ------------------------------
    void Open(std::uint32_t port, const QByteArray& mode, QObject* context,
              std::function<void(const OpenResult&)> done);
    void Query(bool extended, QObject* context, std::function<void(const QueryResult&)> done);
    // The information query followed by the listing (extended: hidden files
    // too); a device that did not answer the first gives deviceAnswered 0.
    void ReadListing(bool extended, QObject* context, std::function<void(const Listing&)> done);
    void FileExists(const QByteArray& deviceName, QObject* context,
                    std::function<void(const ExistsResult&)> done);
    void DeleteFile(const QByteArray& deviceName, bool readOnly, QObject* context,
                    std::function<void(const CallResult&)> done);
    // A copy stops at its next packet once RequestCancel has been called
    // (since the last ClearCancel).
    void CopyToDevice(const QByteArray& localPath, std::uint32_t attributes, QObject* context,
                      std::function<void(const CallResult&)> done);
    void CopyFromDevice(const QByteArray& deviceName, const QByteArray& localPath, QObject* context,
                        std::function<void(const CallResult&)> done);
    void GetStatistics(QObject* context, std::function<void(const StatisticsResult&)> done);
    // Which of these device paths hold a serial port (see ComPortSelector);
    // run here so that no probe opens a port while the library does.
    void ProbePorts(const QStringList& devicePaths, QObject* context,
                    std::function<void(const QList<bool>&)> done);

    // Stops the copy under way at its next packet (any thread).
    void RequestCancel() { cancelRequested.store(true); }
    // Forgets an earlier cancel; a run of copies calls it when it starts.
    void ClearCancel() { cancelRequested.store(false); }
    bool CancelRequested() const { return cancelRequested.load(); }

    // ---- Operations (user-interface thread) ----------------------------
    // An operation groups the requests of one user action (a copy of several
    // files, a delete of several rows) so that nothing else starts between
    // them. False when one is already under way.
    bool BeginOperation();
    void EndOperation();
    bool InOperation() const { return operationDepth > 0; }
    // A request is queued or running, or an operation is under way.
    bool IsBusy() const { return inFlight > 0 || operationDepth > 0; }
    // Requests sent and not answered yet.
    int RequestsInFlight() const { return inFlight; }
    // How long the oldest unanswered request has waited since it was sent
    // or, for a copy, since its last packet was answered; -1 when none.
    qint64 WaitedMs() const;

    // The device error values of the last answered call that failed; what
    // "DeviceError was :" reports.
    TRELM_DeviceError LastDeviceError() const { return lastDeviceError; }
    std::uint32_t LastLinkStatus() const { return lastLinkStatus; }

    // Runs in the destructor when a call is still blocked after the grace
    // time. The program ends the process here (the files are saved by then,
    // the kernel releases the port).
    void SetBusyExit(std::function<void()> handler) { busyExit = std::move(handler); }
    static constexpr int ShutdownGraceMs = 600;

signals:
    // A copy's progress, from the link's thread.
    void Progress(int total, int done);
    // A request was sent while none was waiting, or the last one was
    // answered and no operation is under way.
    void BusyChanged(bool busy);

private:
    // Runs `work` on the link's thread and hands its value to `done` on the
    // user-interface thread while `context` lives.
    template <typename Result>
    void Submit(QObject* context, std::function<Result()> work,
                std::function<void(const Result&)> done);
    void Answered(TRELM_DeviceError deviceError, std::uint32_t linkStatus, bool failed);
    void NoteBusy(bool wasBusy);

    // The progress callback of both copies (link thread).
    static std::int32_t ProgressCallback(std::int32_t total, std::int32_t done, float fraction);
    static CallResult Finish(TRELM_Result result);
    static Listing ReadListingNow(bool extended);

    QThread* thread = nullptr;
    QObject* worker = nullptr;
    std::atomic<bool> cancelRequested{false};
    int inFlight = 0;
    int operationDepth = 0;
    QList<qint64> sentAt;
    QElapsedTimer clock;
    TRELM_DeviceError lastDeviceError = TRELM_DEVICE_ERROR_NO_ERROR;
    std::uint32_t lastLinkStatus = 0;
    std::function<void()> busyExit;

    // The link whose copy is running; the library's callback has no context.
    static std::atomic<DeviceLink*> copying;
};
