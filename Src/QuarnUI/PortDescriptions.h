#pragma once

#include <QList>
#include <QString>

#include <functional>

// What the system knows about its serial ports beyond their device nodes:
// the adapter's description, maker and serial number, as Qt's serial port
// module reads them from udev and sysfs. The COM port list matches these
// records to its ports by device path.
//
// Tests replace the source, so a USB adapter can be described without one.
class PortDescriptions {
public:
    struct Record {
        QString path; // the device node, "/dev/ttyUSB0"
        QString description;
        QString manufacturer;
        QString serialNumber;
    };
    using Source = std::function<QList<Record>()>;

    // The records of the source in use: the one installed last, else Qt's.
    static QList<Record> List();
    // Installs `source`; an empty function goes back to Qt's.
    static void Install(Source source);

    // The record whose device is `devicePath` (both compared with links
    // resolved); an empty record when there is none.
    static Record Find(const QList<Record>& records, const QString& devicePath);
    // What the list shows of a record: the description, led by the maker
    // when the description does not name it already ("FTDI FT232R USB
    // UART"); empty when the record says nothing.
    static QString AdapterText(const Record& record);
};
