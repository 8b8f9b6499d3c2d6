// The fixture of the copy tests: the main-window fixture with the device
// emulator on a real pseudo-terminal (DeviceShell), a main window that counts
// its local-list rebuilds (CopyWindow), and helpers to select rows, make
// file contents and check that a copy left the window as it found it.
#pragma once

#include "CopyWindow.h"
#include "DeviceShell.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>

class CopyShell : public DeviceShell {
protected:
    void SetUp() override;

    // A new main window, started; the fixture owns it.
    CopyWindow& StartCopyWindow();
    CopyWindow& Window() const { return static_cast<CopyWindow&>(*window); }

    // `size` bytes that differ from file to file (`seed`) and along the file.
    static QByteArray Content(qint64 size, int seed);
    // A device file with `data`.
    void PutDevice(const char* name, const QByteArray& data, std::uint16_t attributes = 0);
    // A local file with `data`.
    void PutLocalBytes(const QString& name, const QByteArray& data);
    // The bytes of a local file; a null array when it does not exist.
    QByteArray LocalBytes(const QString& name) const;
    bool LocalExists(const QString& name) const;
    // The data of a device file; a null array when the device lacks it.
    QByteArray DeviceBytes(const char* name) const;

    // Selects exactly the rows of `list` with these names.
    static void Select(FileList& list, std::initializer_list<const char*> names);
    static void SelectAll(FileList& list);
    static int RowOf(const FileList& list, const QString& name);

    // A text of the window's language file.
    QString LangText(const char* key) const;
    // The local folder as the copies name it, ending with "/".
    QString LocalPrefix() const;

    // Waits until the window's device operations have ended.
    void Settle();
    // The device's file list read through the window's link.
    DeviceLink::Listing ReadListing();

    // After a run, however it ended: the main window takes input and draws,
    // no hold is left, no progress window is published, no cursor is left.
    void ExpectSettled() const;
};
