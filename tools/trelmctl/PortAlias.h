// --port with a device path (/dev/serial/by-id/usb-...) or a USB serial
// number (usb:SERIAL). The library knows COM numbers only, so such a device
// is given one: the number of its entry in the port map in force when it has
// one, otherwise a private port map of the tool's own (a temporary
// TRELM_PORTS folder with a single comN link to the device), removed again
// when the tool ends.
#pragma once

#include "CommandLine.h"
#include "Fleet.h"
#include "PortLister.h"
#include "UsbDetails.h"

#include <set>
#include <string>
#include <vector>

namespace trelmctl {

class PortAlias {
public:
    explicit PortAlias(UsbDetails usb = UsbDetails(), PortLister lister = PortLister());
    ~PortAlias();
    PortAlias(const PortAlias&) = delete;
    PortAlias& operator=(const PortAlias&) = delete;

    // Where `item` runs. `taken` holds the COM numbers of the other devices
    // of the run; a private number avoids them and the port map's own.
    bool Resolve(const CommandLine::PortItem& item, std::set<unsigned>& taken,
                 Fleet::Target& target, std::string& error);

private:
    bool ResolvePath(const std::string& path, std::set<unsigned>& taken, Fleet::Target& target,
                     std::string& error);

    UsbDetails m_usb;
    PortLister m_lister;
    std::vector<std::string> m_folders; // private port maps made, with their link
};

} // namespace trelmctl
