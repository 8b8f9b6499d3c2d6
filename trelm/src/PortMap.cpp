#include "PortMap.h"

#include <cstdlib>
#include <sys/stat.h>

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

std::string PortMapDirectory() {
    const char* dir = std::getenv("TRELM_PORTS");
    if (dir == nullptr || dir[0] == '\0') {
        return {};
    }
    struct stat info {};
    if (::stat(dir, &info) != 0 || !S_ISDIR(info.st_mode)) {
        return {};
    }
    return dir;
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
    const std::string dir = PortMapDirectory();
    if (dir.empty()) {
        return FixedTablePath(number);
    }
    // The directory is the whole map: a number without an entry names nothing.
    std::string path = dir + "/com" + std::to_string(number);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return {};
    }
    return path;
}

} // namespace trelm
