#include "ComPortDiscovery.h"

#include "Debug.h"
#include "PortMap.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <utility>

namespace trelm {

namespace {

constexpr unsigned kMaxPortNumber = 255;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The number of a "comN" entry: lower-case "com", then 1 to 255 written
// without leading zeros (so that the entry is the one the port map opens).
std::optional<unsigned> PortNumberOfEntry(const std::string& name) {
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
    if (number == 0 || number > kMaxPortNumber) {
        return std::nullopt;
    }
    return number;
}

} // namespace

ComPortDiscovery::ComPortDiscovery(std::string sysfsRoot, std::string devRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot)) {}

std::optional<uint8_t> ComPortDiscovery::Next() {
    if (!m_started) {
        m_started = true;
        Collect();
    }
    if (m_index >= m_numbers.size()) {
        return std::nullopt;
    }
    return m_numbers[m_index++];
}

void ComPortDiscovery::Collect() {
    const PortMapChoice map = ChoosePortMap();
    switch (map.kind) {
    case PortMapChoice::Kind::FixedTable:
        CollectFromFixedTable();
        break;
    case PortMapChoice::Kind::Directory:
        CollectFromDirectory(map.directory);
        break;
    case PortMapChoice::Kind::Unusable:
        break; // a map that cannot be read offers no port at all
    }
    std::sort(m_numbers.begin(), m_numbers.end());
    m_numbers.erase(std::unique(m_numbers.begin(), m_numbers.end()), m_numbers.end());
}

void ComPortDiscovery::CollectFromDirectory(const std::string& dir) {
    DIR* stream = ::opendir(dir.c_str());
    if (stream == nullptr) {
        DebugPrint("Port discovery: cannot read '%s' (errno %d)\n", dir.c_str(), errno);
        return;
    }
    while (const dirent* entry = ::readdir(stream)) {
        if (const auto number = PortNumberOfEntry(entry->d_name)) {
            m_numbers.push_back(static_cast<uint8_t>(*number));
        }
    }
    ::closedir(stream);
}

void ComPortDiscovery::CollectFromFixedTable() {
    for (unsigned number = 1; number <= kMaxPortNumber; ++number) {
        const std::string path = FixedTablePath(number, m_devRoot);
        if (path.empty() || !Exists(path)) {
            continue;
        }
        const std::string deviceName = path.substr(path.rfind('/') + 1);
        if (ShowsHardware(deviceName)) {
            m_numbers.push_back(static_cast<uint8_t>(number));
        }
    }
}

// A tty node can exist without a device behind it (the kernel creates the
// legacy ttyS ports whether or not a UART answers). sysfs tells them apart:
// a real port has a "device" link, and a legacy serial port also reports a
// non-zero UART type.
bool ComPortDiscovery::ShowsHardware(const std::string& deviceName) const {
    const std::string base = m_sysfsRoot + "/class/tty/" + deviceName;
    if (!Exists(base + "/device")) {
        return false;
    }
    if (deviceName.compare(0, 4, "ttyS") != 0) {
        return true;
    }
    std::ifstream typeFile(base + "/type");
    long type = 0;
    if (!(typeFile >> type)) {
        return false;
    }
    return type != 0;
}

} // namespace trelm
