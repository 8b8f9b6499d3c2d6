#include "UsbDetails.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trelmctl {

namespace {

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* stream = ::opendir(dir.c_str())) {
        while (const dirent* entry = ::readdir(stream)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(stream);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

UsbDetails::UsbDetails(std::string sysfsRoot, std::string devRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot)) {}

std::optional<UsbDetails::Details> UsbDetails::Of(const std::string& deviceName) const {
    // The tty's "device" link leads to the USB interface; the USB device with
    // its descriptors is the nearest folder above that has an idVendor file.
    std::string dir = RealPath(m_sysfsRoot + "/class/tty/" + deviceName + "/device");
    const std::string top = RealPath(m_sysfsRoot);
    while (!dir.empty() && dir.size() > top.size() && !IsFile(dir + "/idVendor")) {
        dir = dir.substr(0, dir.rfind('/'));
    }
    if (dir.empty() || dir.size() <= top.size()) {
        return std::nullopt;
    }
    Details details;
    details.vendorId = ReadLine(dir + "/idVendor");
    details.productId = ReadLine(dir + "/idProduct");
    details.manufacturer = ReadLine(dir + "/manufacturer");
    details.product = ReadLine(dir + "/product");
    details.serial = ReadLine(dir + "/serial");
    details.byId = ByIdName(deviceName);
    return details;
}

std::string UsbDetails::ByIdName(const std::string& deviceName) const {
    const std::string folder = m_devRoot + "/serial/by-id";
    const std::string node = RealPath(m_devRoot + "/" + deviceName);
    if (node.empty()) {
        return {};
    }
    for (const std::string& name : Entries(folder)) {
        if (RealPath(folder + "/" + name) == node) {
            return folder + "/" + name;
        }
    }
    return {};
}

std::vector<std::string> UsbDetails::NodesWithSerial(const std::string& serial) const {
    std::vector<std::string> nodes;
    for (const std::string& name : Entries(m_sysfsRoot + "/class/tty")) {
        const auto details = Of(name);
        if (details && !serial.empty() && details->serial == serial) {
            nodes.push_back(m_devRoot + "/" + name);
        }
    }
    return nodes;
}

} // namespace trelmctl
