// Lists the COM ports on which a device may answer, one number at a time and
// in ascending order, so that a caller may stop early.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trelm {

class ComPortDiscovery {
public:
    // `sysfsRoot` is where the kernel's sysfs is mounted and `devRoot` holds
    // the device nodes; tests pass fake trees for both.
    explicit ComPortDiscovery(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    // The next port number, or nullopt when there are no more.
    std::optional<uint8_t> Next();

private:
    void Collect();
    void CollectFromDirectory(const std::string& dir);
    void CollectFromFixedTable();
    bool ShowsHardware(const std::string& deviceName) const;

    std::string m_sysfsRoot;
    std::string m_devRoot;
    bool m_started = false;
    // Filled on the first call: the numbers to yield, ascending.
    std::vector<uint8_t> m_numbers;
    std::size_t m_index = 0;
};

} // namespace trelm
