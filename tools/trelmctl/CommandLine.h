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

    // Global options.
    uint32_t port = 0; // 0: search the ports for the device
    std::optional<std::string> mode;
    std::optional<std::string> tracePath;
    bool json = false;
    bool quiet = false;

    // Options of single commands.
    bool probe = false;      // ports
    bool allPorts = false;   // ports
    bool listHidden = false; // ls, exists: -a
    bool listLong = false;   // ls: -l
    bool force = false;      // get, rm
    uint32_t attributes = 0; // put: --attr

private:
    bool Fail(std::string message);
    // Takes the value of an option written "--name VALUE" or "--name=VALUE".
    bool TakeValue(const std::vector<std::string>& args, std::size_t& index,
                   const std::string& name, std::optional<std::string> inlineValue,
                   std::string& value);
    bool CheckOperandsAndOptions();

    std::string m_error;
    std::vector<std::string> m_commandOptionsSeen;
    bool m_attrGiven = false;
};

} // namespace trelmctl
