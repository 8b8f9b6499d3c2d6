#pragma once

#include <QString>
#include <QStringList>

class LanguageReader;

// Whether this user may use a serial port's device node, and what to tell a
// user who may not. On Linux the serial ports belong to a group (usually
// "dialout") whose members alone may open them; a user outside it sees the
// ports but cannot open them until added to the group and logged in again.
//
// Only access() and stat() are used, never an open of the port, so the
// checks may run on the user-interface thread.
class PortPermission {
public:
    // The node at `devicePath` exists but this user may not open it for
    // reading and writing (access() fails with EACCES).
    static bool IsDenied(const QString& devicePath);
    // The name of the group that owns the node (its number when the group
    // has no name); empty when the node cannot be examined.
    static QString GroupOf(const QString& devicePath);
    // The hint for the nodes `devicePaths`: the text of "ERR_PORT_PERMISSION"
    // from `errorTexts` (an English default where the file lacks it) with the
    // nodes and the group of the first one filled in.
    static QString Hint(const LanguageReader& errorTexts, const QStringList& devicePaths);
};
