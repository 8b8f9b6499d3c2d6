// Why a COM port's device cannot be opened, in plain words: the node is
// missing, the user lacks permission (naming the group that owns the device),
// or another process holds it (naming the process where /proc tells it).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace trelmctl {

class PortDiagnosis {
public:
    enum class State { Available, Missing, Permission, Busy, Unusable };

    struct Finding {
        State state = State::Available;
        std::string message; // empty when available
    };

    // Looks without opening the device (opening a serial port toggles its
    // control lines): existence, access rights, locks other processes hold.
    static Finding Inspect(const std::string& path);
    // Opens the device the way the library does (and at once lets go again)
    // and reports why that fails. Used after the library could not open it.
    static Finding TryOpen(const std::string& path);

    // "available", "missing", "permission", "busy", "unusable".
    static const char* StateName(State state);

    // Processes holding a lock on, or else an open descriptor of, the file
    // behind `path`, as "PID (name)". Other users' descriptors are visible
    // only to root; locks are visible to everyone.
    static std::vector<std::string> Holders(const std::string& path);

private:
    static Finding Missing(const std::string& path);
    static Finding PermissionDenied(const std::string& path);
    static Finding Busy(const std::string& path, const char* how);
};

} // namespace trelmctl
