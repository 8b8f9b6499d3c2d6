#include "DeviceDragData.h"

#include "FileList.h"

namespace {

QString UriListFormat() {
    return QStringLiteral("text/uri-list");
}

} // namespace

DeviceDragData::DeviceDragData(const QStringList& names, Exporter exporter)
    : names(names), exporter(std::move(exporter)) {
    setData(FileList::DeviceRowsFormat(), FileList::EncodeNames(names));
}

QStringList DeviceDragData::formats() const {
    QStringList all = QMimeData::formats();
    if (exporter && !all.contains(UriListFormat())) {
        all.append(UriListFormat());
    }
    return all;
}

bool DeviceDragData::hasFormat(const QString& mimeType) const {
    return formats().contains(mimeType);
}

QVariant DeviceDragData::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType != UriListFormat() || !exporter) {
        return QMimeData::retrieveData(mimeType, type);
    }
    // Asked for the files: the drop has happened outside the program.
    if (!exported) {
        exported = true;
        files = exporter(names);
    }
    if (type.id() == QMetaType::QByteArray) {
        QByteArray list;
        for (const QUrl& url : files) {
            list += url.toEncoded() + "\r\n";
        }
        return list;
    }
    QList<QVariant> list;
    for (const QUrl& url : files) {
        list.append(url);
    }
    return list;
}
