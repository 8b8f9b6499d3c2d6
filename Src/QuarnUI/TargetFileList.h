#pragma once

#include "FileList.h"

#include "trelm.h"

#include <QString>

#include <cstdint>
#include <vector>

// The left pane of the main window: the files of the connected device, read
// through the library's listing functions. It deletes device files after a
// question (Delete key or context menu), refuses read-only files outside
// service mode, and starts the copy to the local folder on the Right arrow
// key.
//
// Reading the device and showing the result are separate steps, so that the
// slow library calls can run on a worker thread (ReadListing touches no
// widget) while the rows are filled on the user-interface thread
// (ShowListing). LoadDevice does both on the calling thread.
class TargetFileList : public FileList {
    Q_OBJECT
public:
    // LoadDevice's answer for a device that has no files.
    static constexpr int NoFiles = 999;
    // Column 0 also holds the device's own bytes of the file name.
    static constexpr int DeviceNameRole = Qt::UserRole + 2;

    // What one walk through the device's file list found.
    struct Listing {
        // The library result of the call that ended the walk; 0 after a
        // complete walk.
        TRELM_Result result = TRELM_OK;
        // The device answered the information query.
        bool deviceAnswered = false;
        // The listing was started (the device sent its file count).
        bool listed = false;
        // The number of files the device reported.
        std::uint32_t count = 0;
        // The records in the device's order.
        std::vector<TRELM_FILE_INFO> records;
    };

    explicit TargetFileList(QWidget* parent = nullptr);

    // Lists the device: 0 when its files are listed, 999 (NoFiles) when it
    // answered and has none, otherwise the library result of the failed call.
    int LoadDevice() override;
    // Deletes all rows and lists the device again.
    int Refresh();

    // Walks the device's file list (extended: hidden files too). Library
    // calls only; safe on any thread.
    static Listing ReadListing(bool extended);
    // Shows `listing`: one row per record, the last record at the top; tells
    // the owner and returns what LoadDevice returns.
    int ShowListing(const Listing& listing);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void DeleteSelectedFiles() override;

private:
    // Deletes the file of `row`; false when it was refused as read-only.
    bool DeleteRowFile(int row);
    // `format` with its "%s" replaced by `name` and "%%" by "%"; every other
    // "%" stays as it is, so a translated text cannot ask for arguments that
    // are not there.
    static QString FormatWithName(const QString& format, const QString& name);
};
