// The COM ports the library can open, found the way the library finds them:
// a TRELM_PORTS folder is the whole port map (entries "comN"); otherwise a
// fixed table names the tty devices, and the port search only tries nodes
// with real hardware behind them.
#pragma once

#include <string>
#include <vector>

namespace trelmctl {

class PortLister {
public:
    struct Port {
        unsigned number = 0;
        std::string path;      // the map entry or the device node
        std::string target;    // where a symbolic link entry points; empty otherwise
        bool searched = false; // the library's port search tries this port
    };

    // `sysfsRoot` and `devRoot` are where the kernel's sysfs and the device
    // nodes live.
    explicit PortLister(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    // Ports in ascending number. With `includeUnsearched`, also nodes of the
    // fixed table that exist but show no hardware (the search skips them).
    std::vector<Port> List(bool includeUnsearched) const;

    // The TRELM_PORTS folder in force, or empty when the fixed table is.
    static std::string MapDirectory();
    // The device path of COM `number` (whether or not it exists); empty when
    // the number names no device.
    std::string PathOf(unsigned number) const;

private:
    std::vector<Port> ListDirectory(const std::string& dir) const;
    std::vector<Port> ListFixedTable(bool includeUnsearched) const;
    std::string FixedTablePath(unsigned number) const;
    bool ShowsHardware(const std::string& deviceName) const;

    std::string m_sysfsRoot;
    std::string m_devRoot;
};

} // namespace trelmctl
