#include "DeviceLink.h"

#include "ComPortSelector.h"
#include "DebugLog.h"

#include <QThread>

#include <cstring>

std::atomic<DeviceLink*> DeviceLink::copying{nullptr};

namespace {

// An empty record ready for the next listing call.
TRELM_FILE_INFO EmptyRecord() {
    TRELM_FILE_INFO record;
    std::memset(&record, 0, sizeof(record));
    record.StructSize = TRELM_FILE_INFO_SIZE;
    return record;
}

} // namespace

DeviceLink::DeviceLink(QObject* parent) : QObject(parent) {
    clock.start();
    thread = new QThread;
    thread->setObjectName(QStringLiteral("device link"));
    worker = new QObject;
    worker->moveToThread(thread);
    thread->start();
    // A copy that reports progress is not waiting for the device: each
    // packet answered starts the wait again.
    connect(this, &DeviceLink::Progress, this, [this] {
        if (!sentAt.isEmpty()) {
            sentAt.first() = clock.elapsed();
        }
    });
}

DeviceLink::~DeviceLink() {
    // A copy under way stops at its next packet (the device still gets its
    // store command); requests not started yet are dropped.
    RequestCancel();
    thread->quit();
    if (!thread->wait(ShutdownGraceMs)) {
        quarnDebug("The device link is still waiting for the device\n");
        if (busyExit) {
            busyExit();
        }
        thread->wait();
    }
    delete worker;
    delete thread;
}

template <typename Result>
void DeviceLink::Submit(QObject* context, std::function<Result()> work,
                        std::function<void(const Result&)> done) {
    const bool wasBusy = IsBusy();
    ++inFlight;
    sentAt.append(clock.elapsed());
    NoteBusy(wasBusy);
    const QPointer<QObject> receiver(context);
    const bool hasReceiver = context != nullptr;
    QMetaObject::invokeMethod(
        worker,
        [this, work = std::move(work), done = std::move(done), receiver, hasReceiver] {
            Result result = work();
            QMetaObject::invokeMethod(
                this,
                [this, result = std::move(result), done, receiver, hasReceiver] {
                    const bool wasBusy = IsBusy();
                    --inFlight;
                    if (!sentAt.isEmpty()) {
                        sentAt.removeFirst();
                    }
                    // The link is idle before the answer is read (which may
                    // open a dialog, or send the next request).
                    NoteBusy(wasBusy);
                    if (!hasReceiver || receiver) {
                        done(result);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void DeviceLink::Answered(TRELM_DeviceError deviceError, std::uint32_t linkStatus, bool failed) {
    if (failed) {
        lastDeviceError = deviceError;
        lastLinkStatus = linkStatus;
    }
}

void DeviceLink::NoteBusy(bool wasBusy) {
    const bool busy = IsBusy();
    if (busy != wasBusy) {
        emit BusyChanged(busy);
    }
}

bool DeviceLink::BeginOperation() {
    if (operationDepth > 0) {
        return false;
    }
    const bool wasBusy = IsBusy();
    ++operationDepth;
    NoteBusy(wasBusy);
    return true;
}

void DeviceLink::EndOperation() {
    if (operationDepth == 0) {
        return;
    }
    const bool wasBusy = IsBusy();
    --operationDepth;
    NoteBusy(wasBusy);
}

qint64 DeviceLink::WaitedMs() const {
    if (sentAt.isEmpty()) {
        return -1;
    }
    return clock.elapsed() - sentAt.first();
}

// ---- Calls on the link's thread -------------------------------------------

DeviceLink::CallResult DeviceLink::Finish(TRELM_Result result) {
    CallResult call;
    call.result = result;
    if (result != TRELM_OK) {
        // Read at once: the next call resets the values.
        TRELM_GetExtendedErrorCode(&call.deviceError, &call.linkStatus);
    }
    return call;
}

DeviceLink::Listing DeviceLink::ReadListingNow(bool extended) {
    Listing listing;
    const auto failed = [&listing](TRELM_Result result) {
        listing.result = result;
        TRELM_GetExtendedErrorCode(&listing.deviceError, &listing.linkStatus);
    };
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    const TRELM_Result info = TRELM_GetConnectedDeviceInfo(&value1, &value2);
    if (info != TRELM_OK) {
        failed(info);
        return listing;
    }
    listing.deviceAnswered = true;
    listing.infoValue1 = value1;
    listing.infoValue2 = value2;

    TRELM_FILE_INFO record = EmptyRecord();
    std::uint32_t count = 0;
    const TRELM_Result first = TRELM_FindFirstFile(extended ? 1 : 0, &count, &record);
    if (first != TRELM_OK) {
        failed(first);
        return listing;
    }
    listing.listed = true;
    listing.count = count;
    if (count == 0) {
        return listing;
    }
    listing.records.reserve(count);
    for (;;) {
        listing.records.push_back(record);
        record = EmptyRecord();
        const TRELM_Result next = TRELM_FindNextFile(&record);
        if (next == TRELM_ERROR_NO_MORE_FILES) {
            break;
        }
        if (next != TRELM_OK) {
            // Any other failure ends the walk too; the files read so far
            // are shown and the failure is reported.
            failed(next);
            break;
        }
    }
    TRELM_FindClose();
    return listing;
}

std::int32_t DeviceLink::ProgressCallback(std::int32_t total, std::int32_t done, float) {
    DeviceLink* link = copying.load();
    if (link == nullptr) {
        return 1;
    }
    emit link->Progress(total, done);
    return link->cancelRequested.load() ? 0 : 1;
}

// ---- Requests --------------------------------------------------------------

void DeviceLink::Open(std::uint32_t port, const QByteArray& mode, QObject* context,
                      std::function<void(const OpenResult&)> done) {
    Submit<OpenResult>(
        context,
        [port, mode] {
            OpenResult open;
            open.call = Finish(TRELM_Init(port, mode.constData()));
            if (open.call.Ok() && port == 0) {
                char settings[128] = {};
                std::uint32_t length = sizeof settings;
                open.foundPortKnown =
                    TRELM_GetComPortSettings(&open.foundPort, settings, &length) == TRELM_OK;
            }
            return open;
        },
        [this, done = std::move(done)](const OpenResult& open) {
            Answered(open.call.deviceError, open.call.linkStatus, !open.call.Ok());
            done(open);
        });
}

void DeviceLink::Query(bool extended, QObject* context,
                       std::function<void(const QueryResult&)> done) {
    Submit<QueryResult>(
        context,
        [extended] {
            quarnDebug("Entered InitThread\n");
            QueryResult query;
            query.listing = ReadListingNow(extended);
            query.infoResult =
                query.listing.deviceAnswered ? TRELM_Result{TRELM_OK} : query.listing.result;
            if (!query.listing.deviceAnswered) {
                quarnDebug("No device info found\n");
            }
            return query;
        },
        [this, done = std::move(done)](const QueryResult& query) {
            Answered(query.listing.deviceError, query.listing.linkStatus,
                     query.listing.result != TRELM_OK);
            done(query);
        });
}

void DeviceLink::ReadListing(bool extended, QObject* context,
                             std::function<void(const Listing&)> done) {
    Submit<Listing>(
        context, [extended] { return ReadListingNow(extended); },
        [this, done = std::move(done)](const Listing& listing) {
            Answered(listing.deviceError, listing.linkStatus, listing.result != TRELM_OK);
            done(listing);
        });
}

void DeviceLink::FileExists(const QByteArray& deviceName, QObject* context,
                            std::function<void(const ExistsResult&)> done) {
    Submit<ExistsResult>(
        context,
        [deviceName] {
            ExistsResult exists;
            exists.call = Finish(TRELM_FileExists(deviceName.constData(), 1, &exists.exists));
            return exists;
        },
        [this, done = std::move(done)](const ExistsResult& exists) {
            Answered(exists.call.deviceError, exists.call.linkStatus, !exists.call.Ok());
            done(exists);
        });
}

void DeviceLink::DeleteFile(const QByteArray& deviceName, bool readOnly, QObject* context,
                            std::function<void(const CallResult&)> done) {
    Submit<CallResult>(
        context,
        [deviceName, readOnly] {
            return Finish(TRELM_DeleteFile(deviceName.constData(), readOnly ? 1 : 0));
        },
        [this, done = std::move(done)](const CallResult& call) {
            Answered(call.deviceError, call.linkStatus, !call.Ok());
            done(call);
        });
}

void DeviceLink::CopyToDevice(const QByteArray& localPath, std::uint32_t attributes,
                              QObject* context, std::function<void(const CallResult&)> done) {
    Submit<CallResult>(
        context,
        [this, localPath, attributes] {
            copying.store(this);
            const TRELM_Result result = TRELM_CopyFileToDeviceWithProgress(
                localPath.constData(), attributes, &DeviceLink::ProgressCallback);
            copying.store(nullptr);
            return Finish(result);
        },
        [this, done = std::move(done)](const CallResult& call) {
            Answered(call.deviceError, call.linkStatus, !call.Ok());
            done(call);
        });
}

void DeviceLink::CopyFromDevice(const QByteArray& deviceName, const QByteArray& localPath,
                                QObject* context, std::function<void(const CallResult&)> done) {
    Submit<CallResult>(
        context,
        [this, deviceName, localPath] {
            copying.store(this);
            const TRELM_Result result = TRELM_CopyFileFromDeviceWithProgress(
                deviceName.constData(), localPath.constData(), &DeviceLink::ProgressCallback);
            copying.store(nullptr);
            return Finish(result);
        },
        [this, done = std::move(done)](const CallResult& call) {
            Answered(call.deviceError, call.linkStatus, !call.Ok());
            done(call);
        });
}

void DeviceLink::GetStatistics(QObject* context,
                               std::function<void(const StatisticsResult&)> done) {
    Submit<StatisticsResult>(
        context,
        [] {
            StatisticsResult statistics;
            statistics.statistics.StructSize = TRELM_STATISTICS_SIZE;
            statistics.call = Finish(TRELM_GetStatistics(&statistics.statistics));
            return statistics;
        },
        [this, done = std::move(done)](const StatisticsResult& statistics) {
            Answered(statistics.call.deviceError, statistics.call.linkStatus,
                     !statistics.call.Ok());
            done(statistics);
        });
}

void DeviceLink::ProbePorts(const QStringList& devicePaths, QObject* context,
                            std::function<void(const QList<bool>&)> done) {
    Submit<QList<bool>>(
        context,
        [devicePaths] {
            QList<bool> present;
            present.reserve(devicePaths.size());
            for (const QString& path : devicePaths) {
                present.append(ComPortSelector::ProbePort(path));
            }
            return present;
        },
        std::move(done));
}
