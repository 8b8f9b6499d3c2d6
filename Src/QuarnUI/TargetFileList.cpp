#include "TargetFileList.h"

#include "ByteSize.h"
#include "DateText.h"
#include "DebugLog.h"
#include "LanguageReader.h"
#include "Prompter.h"
#include "TextKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScopeGuard>

#include <cstring>

namespace {

// An empty record ready for the next listing call.
TRELM_FILE_INFO EmptyRecord() {
    TRELM_FILE_INFO record;
    std::memset(&record, 0, sizeof(record));
    record.StructSize = TRELM_FILE_INFO_SIZE;
    return record;
}

// The record's file name; the device's name field need not end in a zero.
QByteArray RecordName(const TRELM_FILE_INFO& record) {
    return QByteArray(record.FileName,
                      static_cast<qsizetype>(strnlen(record.FileName, sizeof(record.FileName))));
}

} // namespace

TargetFileList::TargetFileList(QWidget* parent) : FileList(parent) {
    notifyMessage = MainWindowMessages::UM_DEVICE_LIST_STATE;
}

int TargetFileList::LoadDevice() {
    return ShowListing(ReadListing(serviceMode));
}

int TargetFileList::Refresh() {
    DeleteAllRows();
    return LoadDevice();
}

TargetFileList::Listing TargetFileList::ReadListing(bool extended) {
    Listing listing;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    listing.result = TRELM_GetConnectedDeviceInfo(&value1, &value2);
    if (listing.result != TRELM_OK) {
        return listing;
    }
    listing.deviceAnswered = true;

    TRELM_FILE_INFO record = EmptyRecord();
    std::uint32_t count = 0;
    listing.result = TRELM_FindFirstFile(extended ? 1 : 0, &count, &record);
    if (listing.result != TRELM_OK) {
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
            listing.result = next;
            break;
        }
    }
    TRELM_FindClose();
    return listing;
}

int TargetFileList::ShowListing(const Listing& listing) {
    fileCount = 0;
    DeleteAllRows();
    if (!listing.deviceAnswered) {
        NotifyOwner(0);
        return static_cast<int>(listing.result);
    }
    if (!listing.listed) {
        NotifyOwner(1);
        return static_cast<int>(listing.result);
    }
    if (listing.count == 0) {
        NotifyOwner(1);
        return NoFiles;
    }
    fileCount = static_cast<int>(listing.count);
    quarnDebug("Loading target files\n");

    // Each record goes to the top, so the rows end in reverse device order.
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(listing.records.size()));
    for (auto record = listing.records.rbegin(); record != listing.records.rend(); ++record) {
        const QByteArray name = RecordName(*record);
        const TRELM_SYSTEMTIME& created = record->CreationTime;
        RowTexts texts;
        // Device names are 8.3 ASCII; Latin-1 keeps any other byte as it is.
        texts.name = QString::fromLatin1(name);
        texts.itemData = record->ReportedSize;
        texts.size = ByteSize::Format(record->ReportedSize);
        texts.date = DateText::FromCalendar(created.wYear, created.wMonth, created.wDay,
                                            created.wHour, created.wMinute, created.wSecond);
        if (record->Attr & 1u) {
            texts.attributes += u'r';
        }
        if (record->Attr & 2u) {
            texts.attributes += u'h';
        }
        QTreeWidgetItem* row = MakeRow(texts);
        row->setData(0, DeviceNameRole, name);
        rows.append(row);
    }
    insertTopLevelItems(0, rows);
    NotifyOwner(1);
    return static_cast<int>(listing.result);
}

void TargetFileList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        DeleteSelectedFiles();
    } else if (event->key() == Qt::Key_Right && Owner() != nullptr) {
        Owner()->CopyFromDevice();
    }
    FileList::keyPressEvent(event);
}

void TargetFileList::DeleteSelectedFiles() {
    const QList<int> selected = SelectedRows();
    if (!ConfirmDelete(selected)) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (selected.size() == 1) {
        // A single read-only file that was refused leaves the list as it is.
        if (DeleteRowFile(selected.first())) {
            Refresh();
        }
        return;
    }
    for (int row : selected) {
        DeleteRowFile(row);
    }
    Refresh();
}

bool TargetFileList::DeleteRowFile(int row) {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    const QString name = item->text(0);
    QByteArray deviceName = item->data(0, DeviceNameRole).toByteArray();
    if (deviceName.isEmpty()) {
        deviceName = name.toLatin1();
    }
    quarnDebug("Deleting '%s'\n", deviceName.constData());
    const bool readOnly = item->text(3).contains(u'r');
    MainWindowMessages* owner = Owner();
    if (readOnly && !serviceMode) {
        const QString format = Text(TextKeys::MSG_CANT_DELETE_READONLY);
        const QString caption = Text(TextKeys::MSG_CANT_DELETE_CAPTION);
        // The wait cursor does not belong over a notice.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        Prompter::Current().Message(this, FormatWithName(format, name), caption,
                                    Prompter::Icon::None, Prompter::Buttons::Ok);
        QApplication::restoreOverrideCursor();
        return false;
    }
    const TRELM_Result result = TRELM_DeleteFile(deviceName.constData(), readOnly ? 1 : 0);
    if (result != TRELM_OK && owner != nullptr) {
        owner->LibraryError(static_cast<int>(result));
    }
    return true;
}

QString TargetFileList::FormatWithName(const QString& format, const QString& name) {
    QString text;
    bool nameUsed = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const QChar next = format.at(i + 1);
            if (next == u'%') {
                text += u'%';
                ++i;
                continue;
            }
            if (next == u's' && !nameUsed) {
                text += name;
                nameUsed = true;
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}
