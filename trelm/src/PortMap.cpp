#include "PortMap.h"

#include "Debug.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trelm {

namespace {

constexpr unsigned kMaxPortNumber = 255;
constexpr unsigned kTableBlock = 32;

struct TableBlock {
    unsigned firstPort;
    const char* deviceName;
};

constexpr TableBlock kFixedTable[] = {
    {1, "ttyS"},
    {1 + kTableBlock, "ttyUSB"},
    {1 + 2 * kTableBlock, "ttyACM"},
};

} // namespace

PortMapChoice ChoosePortMap() {
    const char* dir = std::getenv("TRELM_PORTS");
    if (dir == nullptr || dir[0] == '\0') {
        return {}; // unset or empty: the fixed table
    }
    PortMapChoice choice{PortMapChoice::Kind::Unusable, dir};
    struct stat info {};
    if (::stat(dir, &info) != 0) {
        DebugPrint("Port map: TRELM_PORTS '%s' cannot be used (%s); no port is available\n", dir,
                   std::strerror(errno));
    } else if (!S_ISDIR(info.st_mode)) {
        DebugPrint("Port map: TRELM_PORTS '%s' is not a folder; no port is available\n", dir);
    } else if (::access(dir, R_OK | X_OK) != 0) {
        DebugPrint("Port map: TRELM_PORTS '%s' cannot be read (%s); no port is available\n", dir,
                   std::strerror(errno));
    } else {
        choice.kind = PortMapChoice::Kind::Directory;
    }
    return choice;
}

std::string PortMapDirectory() {
    PortMapChoice choice = ChoosePortMap();
    return choice.kind == PortMapChoice::Kind::Directory ? std::move(choice.directory)
                                                         : std::string{};
}

std::string FixedTablePath(unsigned number, const std::string& devRoot) {
    for (const TableBlock& block : kFixedTable) {
        if (number >= block.firstPort && number < block.firstPort + kTableBlock) {
            return devRoot + "/" + block.deviceName + std::to_string(number - block.firstPort);
        }
    }
    return {};
}

std::string DevicePathForPort(unsigned number) {
    if (number == 0 || number > kMaxPortNumber) {
        return {};
    }
    const PortMapChoice map = ChoosePortMap();
    if (map.kind == PortMapChoice::Kind::FixedTable) {
        return FixedTablePath(number);
    }
    if (map.kind == PortMapChoice::Kind::Unusable) {
        return {};
    }
    // The directory is the whole map: a number without an entry names nothing.
    std::string path = map.directory + "/com" + std::to_string(number);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return {};
    }
    return path;
}

} // namespace trelm
