#include "PortDescriptions.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

PortDescriptions::Source& InstalledSource() {
    static PortDescriptions::Source source;
    return source;
}

QList<PortDescriptions::Record> FromQt() {
    QList<PortDescriptions::Record> records;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& port : ports) {
        records.append({port.systemLocation(), port.description().trimmed(),
                        port.manufacturer().trimmed(), port.serialNumber().trimmed()});
    }
    return records;
}

QString Resolved(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

QList<PortDescriptions::Record> PortDescriptions::List() {
    const Source& source = InstalledSource();
    return source ? source() : FromQt();
}

void PortDescriptions::Install(Source source) {
    InstalledSource() = std::move(source);
}

PortDescriptions::Record PortDescriptions::Find(const QList<Record>& records,
                                                const QString& devicePath) {
    if (devicePath.isEmpty()) {
        return Record();
    }
    const QString wanted = Resolved(devicePath);
    for (const Record& record : records) {
        if (!record.path.isEmpty() && Resolved(record.path) == wanted) {
            return record;
        }
    }
    return Record();
}

QString PortDescriptions::AdapterText(const Record& record) {
    if (record.manufacturer.isEmpty() ||
        record.description.contains(record.manufacturer, Qt::CaseInsensitive)) {
        return record.description;
    }
    if (record.description.isEmpty()) {
        return record.manufacturer;
    }
    return record.manufacturer + u' ' + record.description;
}
