#pragma once

#include "FileList.h"

#include "DeviceLink.h"

#include <QByteArray>
#include <QList>

#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>

// The left pane of the main window: the files of the connected device, read
// through the device link. It deletes device files after a question (Delete
// key or context menu), refuses read-only files outside service mode, and
// starts the copy to the local folder on the Right arrow key.
//
// Reading the device and showing the result are separate steps: the link
// reads on its own thread and hands the listing back, and the rows are filled
// on the user-interface thread (ShowListing). Load does both without ever
// waiting on the serial line.
class TargetFileList : public FileList {
    Q_OBJECT
public:
    // Load's answer for a device that has no files.
    static constexpr int NoFiles = 999;
    // Column 0 also holds the device's own bytes of the file name.
    static constexpr int DeviceNameRole = Qt::UserRole + 2;

    using Listing = DeviceLink::Listing;
    // Receives what Load answers: 0 when the device's files are listed, 999
    // (NoFiles) when it answered and has none, otherwise the library result
    // of the failed call.
    using LoadDone = std::function<void(int)>;

    explicit TargetFileList(QWidget* parent = nullptr);

    // The device link every library call of the list goes through.
    void SetLink(DeviceLink* link) { this->link = link; }
    DeviceLink* Link() const { return link; }
    // Told the answer of every load, whoever started it (the main window
    // shows a failure in the empty list).
    void SetLoadObserver(LoadDone observer) { loadObserver = std::move(observer); }

    // Lists the device (in service mode with its hidden files) and shows the
    // rows when the answer is there; then `done`, if given.
    void Load(LoadDone done = {});
    // Deletes all rows and lists the device again.
    void Refresh(LoadDone done = {});

    // A drag of the selected rows; a file manager that takes it gets the
    // files through `exporter` (see DeviceDragData).
    void SetExporter(std::function<QList<QUrl>(const QStringList&)> exporter) {
        this->exporter = std::move(exporter);
    }
    QMimeData* DragData() const override;
    // The two device-information values of the last listing that reached
    // the device; unknown (false) before.
    bool DeviceInfo(std::uint32_t& value1, std::uint32_t& value2) const;

    // Shows `listing`: one row per record, the last record at the top; tells
    // the owner and returns what a load answers.
    int ShowListing(const Listing& listing);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void DeleteSelectedFiles() override;

private:
    // One row to delete, as it was when the delete began.
    struct PendingDelete {
        QString name;
        QByteArray deviceName;
        bool readOnly = false;
    };
    // Deletes the next row of the run, then the one after; the list is read
    // again at the end.
    void DeleteNext();
    void EndDelete(bool reload);

    DeviceLink* link = nullptr;
    LoadDone loadObserver;
    std::function<QList<QUrl>(const QStringList&)> exporter;
    bool infoKnown = false;
    std::uint32_t infoValue1 = 0;
    std::uint32_t infoValue2 = 0;
    QList<PendingDelete> pendingDeletes;
    bool deleteSingle = false;
    bool deleting = false;
    // `format` with its "%s" replaced by `name` and "%%" by "%"; every other
    // "%" stays as it is, so a translated text cannot ask for arguments that
    // are not there.
    static QString FormatWithName(const QString& format, const QString& name);
};
