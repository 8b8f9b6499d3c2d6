#pragma once

#include <QList>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

#include <functional>

// What a drag of device rows carries. Inside the program it names the rows
// (FileList::DeviceRowsFormat); a file manager that takes the drop asks for
// "text/uri-list", and only then are the files copied from the device, into
// a folder of the program's own, by the exporter the device list was given.
// The export runs once per drag. A copy that fails or is cancelled hands
// over no file at all, so the file manager never gets a partial one.
class DeviceDragData : public QMimeData {
    Q_OBJECT
public:
    // Copies the named device files and answers the local files made, or
    // none when the export did not complete.
    using Exporter = std::function<QList<QUrl>(const QStringList& names)>;

    DeviceDragData(const QStringList& names, Exporter exporter);

    QStringList Names() const { return names; }
    // Whether the files have been asked for (and the export has run).
    bool Exported() const { return exported; }

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QStringList names;
    Exporter exporter;
    mutable bool exported = false;
    mutable QList<QUrl> files;
};
