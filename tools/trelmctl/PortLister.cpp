#include "PortLister.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trelmctl {

namespace {

constexpr unsigned kHighestPort = 255;
constexpr unsigned kBlock = 32;

struct TableBlock {
    unsigned firstPort;
    const char* deviceName;
};

constexpr TableBlock kFixedTable[] = {
    {1, "ttyS"},
    {1 + kBlock, "ttyUSB"},
    {1 + 2 * kBlock, "ttyACM"},
};

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// "comN" with N from 1 to 255 written without leading zeros.
std::optional<unsigned> EntryNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "com") != 0 || name[3] == '0') {
        return std::nullopt;
    }
    unsigned number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
    }
    if (number == 0 || number > kHighestPort) {
        return std::nullopt;
    }
    return number;
}

std::string LinkTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return {};
    }
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) {
        return {};
    }
    target.resize(static_cast<std::size_t>(n));
    return target;
}

} // namespace

PortLister::PortLister(std::string sysfsRoot, std::string devRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot)) {}

std::string PortLister::MapDirectory() {
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

std::string PortLister::FixedTablePath(unsigned number) const {
    for (const TableBlock& block : kFixedTable) {
        if (number >= block.firstPort && number < block.firstPort + kBlock) {
            return m_devRoot + "/" + block.deviceName + std::to_string(number - block.firstPort);
        }
    }
    return {};
}

std::string PortLister::PathOf(unsigned number) const {
    if (number == 0 || number > kHighestPort) {
        return {};
    }
    const std::string dir = MapDirectory();
    return dir.empty() ? FixedTablePath(number) : dir + "/com" + std::to_string(number);
}

std::vector<PortLister::Port> PortLister::List(bool includeUnsearched) const {
    const std::string dir = MapDirectory();
    return dir.empty() ? ListFixedTable(includeUnsearched) : ListDirectory(dir);
}

std::vector<PortLister::Port> PortLister::ListDirectory(const std::string& dir) const {
    std::vector<Port> ports;
    DIR* stream = ::opendir(dir.c_str());
    if (stream == nullptr) {
        return ports;
    }
    while (const dirent* entry = ::readdir(stream)) {
        if (const auto number = EntryNumber(entry->d_name)) {
            Port port;
            port.number = *number;
            port.path = dir + "/" + entry->d_name;
            port.target = LinkTarget(port.path);
            port.searched = true; // every entry of the folder is searched
            ports.push_back(std::move(port));
        }
    }
    ::closedir(stream);
    std::sort(ports.begin(), ports.end(),
              [](const Port& a, const Port& b) { return a.number < b.number; });
    return ports;
}

std::vector<PortLister::Port> PortLister::ListFixedTable(bool includeUnsearched) const {
    std::vector<Port> ports;
    for (unsigned number = 1; number <= kHighestPort; ++number) {
        const std::string path = FixedTablePath(number);
        if (path.empty() || !Exists(path)) {
            continue;
        }
        Port port;
        port.number = number;
        port.path = path;
        port.searched = ShowsHardware(path.substr(path.rfind('/') + 1));
        if (port.searched || includeUnsearched) {
            ports.push_back(std::move(port));
        }
    }
    return ports;
}

// The kernel creates legacy ttyS nodes whether or not a UART answers; sysfs
// tells them apart: a real port has a "device" link, and a legacy serial port
// also reports a non-zero UART type.
bool PortLister::ShowsHardware(const std::string& deviceName) const {
    const std::string base = m_sysfsRoot + "/class/tty/" + deviceName;
    if (!Exists(base + "/device")) {
        return false;
    }
    if (deviceName.compare(0, 4, "ttyS") != 0) {
        return true;
    }
    std::ifstream typeFile(base + "/type");
    long type = 0;
    return (typeFile >> type) && type != 0;
}

} // namespace trelmctl
