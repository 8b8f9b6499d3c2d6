// What sysfs tells about the hardware behind a tty device: for a USB serial
// adapter its vendor and product numbers and names and its serial number,
// and the stable /dev/serial/by-id/ name udev made for it. Nothing is opened
// but files under the sysfs and /dev roots, which tests point at folders of
// their own.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trelmctl {

class UsbDetails {
public:
    struct Details {
        std::string vendorId;     // "0403"
        std::string productId;    // "6001"
        std::string manufacturer; // "FTDI"
        std::string product;      // "FT232R USB UART"
        std::string serial;       // "A50285BI"
        std::string byId;         // "/dev/serial/by-id/usb-FTDI_..."; empty when none
    };

    explicit UsbDetails(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    // The details of the tty `deviceName` ("ttyUSB0"); nullopt when it is no
    // USB device.
    std::optional<Details> Of(const std::string& deviceName) const;
    // The device node ("/dev/ttyUSB0") of the tty whose USB serial number is
    // `serial`; the names of every match (more than one is an ambiguity).
    std::vector<std::string> NodesWithSerial(const std::string& serial) const;

private:
    std::string ByIdName(const std::string& deviceName) const;

    std::string m_sysfsRoot;
    std::string m_devRoot;
};

} // namespace trelmctl
