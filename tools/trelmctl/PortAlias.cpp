#include "PortAlias.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trelmctl {

namespace {

constexpr unsigned kHighestPort = 255;

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

} // namespace

PortAlias::PortAlias(UsbDetails usb, PortLister lister)
    : m_usb(std::move(usb)), m_lister(std::move(lister)) {}

PortAlias::~PortAlias() {
    for (const std::string& folder : m_folders) {
        const std::string prefix = folder + "/com";
        for (unsigned number = 1; number <= kHighestPort; ++number) {
            ::unlink((prefix + std::to_string(number)).c_str());
        }
        ::rmdir(folder.c_str());
    }
}

bool PortAlias::Resolve(const CommandLine::PortItem& item, std::set<unsigned>& taken,
                        Fleet::Target& target, std::string& error) {
    using Kind = CommandLine::PortItem::Kind;
    if (item.kind == Kind::Number) {
        target = Fleet::Target{item.number, {}};
        taken.insert(item.number);
        return true;
    }
    if (item.kind == Kind::Path) {
        return ResolvePath(item.text, taken, target, error);
    }
    const std::vector<std::string> nodes = m_usb.NodesWithSerial(item.text);
    if (nodes.empty()) {
        error =
            "no USB serial adapter with the serial number " + item.text + " (see 'trelmctl ports')";
        return false;
    }
    if (nodes.size() > 1) {
        error = "several USB serial adapters have the serial number " + item.text + ": " +
                nodes[0] + ", " + nodes[1] + "; name the device path instead";
        return false;
    }
    return ResolvePath(nodes.front(), taken, target, error);
}

bool PortAlias::ResolvePath(const std::string& path, std::set<unsigned>& taken,
                            Fleet::Target& target, std::string& error) {
    const std::string device = RealPath(path);
    struct stat info {};
    if (device.empty() || ::stat(device.c_str(), &info) != 0) {
        error = "no device " + path;
        return false;
    }
    if (!S_ISCHR(info.st_mode)) {
        error = path + " is no character device (no serial port)";
        return false;
    }
    // A device of the port map in force keeps its own number.
    std::set<unsigned> mapNumbers;
    for (const PortLister::Port& port : m_lister.List(true)) {
        mapNumbers.insert(port.number);
        if (RealPath(port.path) == device) {
            target = Fleet::Target{port.number, {}};
            taken.insert(port.number);
            return true;
        }
    }
    unsigned number = 1;
    while (number <= kHighestPort && (mapNumbers.count(number) != 0 || taken.count(number) != 0)) {
        ++number;
    }
    if (number > kHighestPort) {
        error = "no free COM number for " + path;
        return false;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string folder =
        std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/trelmctl-ports-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        error = "cannot make a private port map: " + std::string(std::strerror(errno));
        return false;
    }
    m_folders.push_back(folder);
    const std::string link = folder + "/com" + std::to_string(number);
    if (::symlink(device.c_str(), link.c_str()) != 0) {
        error = "cannot make a private port map: " + std::string(std::strerror(errno));
        return false;
    }
    target = Fleet::Target{number, folder};
    taken.insert(number);
    return true;
}

} // namespace trelmctl
