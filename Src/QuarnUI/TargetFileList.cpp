#include "TargetFileList.h"

#include "DeviceDragData.h"

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

// The record's file name; the device's name field need not end in a zero.
QByteArray RecordName(const TRELM_FILE_INFO& record) {
    return QByteArray(record.FileName,
                      static_cast<qsizetype>(strnlen(record.FileName, sizeof(record.FileName))));
}

} // namespace

TargetFileList::TargetFileList(QWidget* parent) : FileList(parent) {
    notifyMessage = MainWindowMessages::UM_DEVICE_LIST_STATE;
}

void TargetFileList::Load(LoadDone done) {
    // While the device is asked, the empty list claims nothing: an empty
    // device and one that does not answer look different once it is known.
    const QString shownBefore = emptyText;
    SetEmptyText(QString());
    const auto show = [this, shownBefore, done = std::move(done)](const Listing& listing) {
        const int result = ShowListing(listing);
        if (loadObserver) {
            loadObserver(result);
        } else {
            SetEmptyText(shownBefore);
        }
        if (done) {
            done(result);
        }
    };
    if (link == nullptr) {
        Listing none;
        none.result = TRELM_ERROR_COMPORT_NOT_OPENED;
        show(none);
        return;
    }
    link->ReadListing(serviceMode, this, show);
}

void TargetFileList::Refresh(LoadDone done) {
    DeleteAllRows();
    Load(std::move(done));
}

QMimeData* TargetFileList::DragData() const {
    const QStringList names = SelectedNames();
    if (names.isEmpty()) {
        return nullptr;
    }
    return new DeviceDragData(names, exporter);
}

bool TargetFileList::DeviceInfo(std::uint32_t& value1, std::uint32_t& value2) const {
    value1 = infoValue1;
    value2 = infoValue2;
    return infoKnown;
}

int TargetFileList::ShowListing(const Listing& listing) {
    fileCount = 0;
    DeleteAllRows();
    infoKnown = listing.deviceAnswered;
    infoValue1 = listing.infoValue1;
    infoValue2 = listing.infoValue2;
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
    // One device operation at a time: while another one runs, the key is
    // refused with the system's beep rather than queued behind a question.
    if (deleting || (link != nullptr && link->IsBusy())) {
        QApplication::beep();
        return;
    }
    const QList<int> selected = SelectedRows();
    if (!ConfirmDelete(selected)) {
        return;
    }
    // The rows as they are now; the list may be rebuilt while the device
    // deletes.
    pendingDeletes.clear();
    for (int row : selected) {
        const QTreeWidgetItem* item = topLevelItem(row);
        if (item == nullptr) {
            continue;
        }
        PendingDelete file;
        file.name = item->text(0);
        file.deviceName = item->data(0, DeviceNameRole).toByteArray();
        if (file.deviceName.isEmpty()) {
            file.deviceName = file.name.toLatin1();
        }
        file.readOnly = item->text(3).contains(u'r');
        pendingDeletes.append(file);
    }
    if (link == nullptr || !link->BeginOperation()) {
        QApplication::beep();
        pendingDeletes.clear();
        return;
    }
    deleting = true;
    deleteSingle = selected.size() == 1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    DeleteNext();
}

void TargetFileList::DeleteNext() {
    if (pendingDeletes.isEmpty()) {
        EndDelete(true);
        return;
    }
    const PendingDelete file = pendingDeletes.takeFirst();
    quarnDebug("Deleting '%s'\n", file.deviceName.constData());
    if (file.readOnly && !serviceMode) {
        const QString format = Text(TextKeys::MSG_CANT_DELETE_READONLY);
        const QString caption = Text(TextKeys::MSG_CANT_DELETE_CAPTION);
        // The wait cursor does not belong over a notice.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        Prompter::Current().Message(this, FormatWithName(format, file.name), caption,
                                    Prompter::Icon::None, Prompter::Buttons::Ok);
        QApplication::restoreOverrideCursor();
        // A single read-only file that was refused leaves the list as it is.
        if (deleteSingle) {
            EndDelete(false);
        } else {
            DeleteNext();
        }
        return;
    }
    link->DeleteFile(file.deviceName, file.readOnly, this,
                     [this](const DeviceLink::CallResult& call) {
                         if (!call.Ok() && Owner() != nullptr) {
                             Owner()->LibraryError(static_cast<int>(call.result));
                         }
                         DeleteNext();
                     });
}

void TargetFileList::EndDelete(bool reload) {
    QApplication::restoreOverrideCursor();
    const auto end = [this](int) {
        deleting = false;
        link->EndOperation();
    };
    if (reload) {
        Refresh(end);
    } else {
        end(0);
    }
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
