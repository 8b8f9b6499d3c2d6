// The tool's command line: global options, one command, its operands and its
// own options. Options may stand before or after the command; "--" ends them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trelmctl {

class CommandLine {
public:
    enum class Command { None, Help, Version, Ports, Info, Df, Ls, Exists, Get, Put, Rm };

    // Parses the arguments after the program name. False on a usage error,
    // which Error() then describes.
    bool Parse(const std::vector<std::string>& args);
    const std::string& Error() const { return m_error; }

    // The text of --help.
    static std::string HelpText();

    Command command = Command::None;
    std::string commandName;
    std::vector<std::string> operands;

    // One entry of --port: a COM number, a device path or "usb:SERIAL".
    struct PortItem {
        enum class Kind { Number, Path, UsbSerial } kind = Kind::Number;
        uint32_t number = 0;
        std::string text; // the path or the serial number
    };

    // Global options.
    uint32_t port = 0; // 0: search the ports for the device
    // --port as written: a list of entries, or "all".
    std::vector<PortItem> portItems;
    bool portAll = false;
    std::optional<std::string> mode;
    std::optional<std::string> tracePath;
    bool json = false;
    bool quiet = false;

    // Options of single commands.
    bool probe = false;          // ports
    bool allPorts = false;       // ports
    bool listHidden = false;     // ls, exists: -a
    bool listLong = false;       // ls: -l
    bool force = false;          // get, rm
    uint32_t attributes = 0;     // put: --attr
    bool verify = false;         // get, put: read back and compare
    bool perPortFolders = false; // get with several devices: one folder per port
    // watch COMMAND: wait for devices and run the command on each.
    bool watch = false;
    std::optional<unsigned> once; // watch: end after this many devices
    // Set in a worker of several devices with --per-port-folders: the
    // sub-folder ("COM3") that get writes into.
    std::string portFolder;
    // Set in a worker of several devices that write into one folder.
    bool sharedFolder = false;

    // Whether the command runs on several devices at once (a list of ports,
    // "all", or watch), each in a worker process of its own.
    bool ManyDevices() const { return watch || portAll || portItems.size() > 1; }

private:
    bool Fail(std::string message);
    // Takes the value of an option written "--name VALUE" or "--name=VALUE".
    bool TakeValue(const std::vector<std::string>& args, std::size_t& index,
                   const std::string& name, std::optional<std::string> inlineValue,
                   std::string& value);
    bool CheckOperandsAndOptions();
    bool ParsePortList(const std::string& value);

    std::string m_error;
    std::vector<std::string> m_commandOptionsSeen;
    bool m_attrGiven = false;
};

} // namespace trelmctl
