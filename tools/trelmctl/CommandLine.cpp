#include "CommandLine.h"

#include <algorithm>
#include <utility>

namespace trelmctl {

namespace {

struct CommandEntry {
    const char* name;
    CommandLine::Command command;
    std::size_t minOperands;
    std::size_t maxOperands; // SIZE_MAX: any number
};

constexpr std::size_t kMany = static_cast<std::size_t>(-1);

constexpr CommandEntry kCommands[] = {
    {"ports", CommandLine::Command::Ports, 0, 0},   {"info", CommandLine::Command::Info, 0, 0},
    {"df", CommandLine::Command::Df, 0, 0},         {"ls", CommandLine::Command::Ls, 0, 0},
    {"exists", CommandLine::Command::Exists, 1, 1}, {"get", CommandLine::Command::Get, 1, kMany},
    {"put", CommandLine::Command::Put, 1, kMany},   {"rm", CommandLine::Command::Rm, 1, kMany},
    {"help", CommandLine::Command::Help, 0, 0},
};

// Which commands accept which of their own options.
struct OptionUse {
    const char* option;
    std::vector<CommandLine::Command> commands;
};

const std::vector<OptionUse>& OptionUses() {
    using C = CommandLine::Command;
    static const std::vector<OptionUse> uses = {
        {"--probe", {C::Ports}},        {"--all", {C::Ports}},
        {"-a", {C::Ls, C::Exists}},     {"-l", {C::Ls}},
        {"--force", {C::Get, C::Rm}},   {"--attr", {C::Put}},
        {"--verify", {C::Get, C::Put}}, {"--per-port-folders", {C::Get}},
    };
    return uses;
}

std::optional<uint32_t> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const unsigned long value = std::stoul(text);
    if (value > 255) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<uint32_t> ParseAttributes(const std::string& text) {
    if (text == "r") {
        return 1u;
    }
    if (text == "h") {
        return 2u;
    }
    if (text == "rh" || text == "hr") {
        return 3u;
    }
    return std::nullopt;
}

} // namespace

bool CommandLine::ParsePortList(const std::string& value) {
    portItems.clear();
    portAll = false;
    port = 0;
    if (value == "all") {
        portAll = true;
        return true;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = value.find(',', start);
        const std::string item =
            value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        PortItem entry;
        if (item.compare(0, 4, "usb:") == 0 && item.size() > 4) {
            entry.kind = PortItem::Kind::UsbSerial;
            entry.text = item.substr(4);
        } else if (!item.empty() && item.front() == '/') {
            entry.kind = PortItem::Kind::Path;
            entry.text = item;
        } else if (const auto number = ParsePort(item)) {
            entry.number = *number;
        } else {
            return Fail("--port needs COM port numbers from 0 to 255, device paths, usb:SERIAL "
                        "or all, not '" +
                        item + "'");
        }
        for (const PortItem& seen : portItems) {
            if (seen.kind == entry.kind && seen.number == entry.number && seen.text == entry.text) {
                return Fail("--port names '" + item + "' twice");
            }
        }
        portItems.push_back(std::move(entry));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (portItems.size() > 1) {
        for (const PortItem& item : portItems) {
            if (item.kind == PortItem::Kind::Number && item.number == 0) {
                return Fail("--port 0 (search the ports) cannot be part of a list");
            }
        }
    }
    if (portItems.size() == 1 && portItems.front().kind == PortItem::Kind::Number) {
        port = portItems.front().number;
    }
    return true;
}

bool CommandLine::Fail(std::string message) {
    m_error = std::move(message);
    return false;
}

bool CommandLine::TakeValue(const std::vector<std::string>& args, std::size_t& index,
                            const std::string& name, std::optional<std::string> inlineValue,
                            std::string& value) {
    if (inlineValue) {
        value = std::move(*inlineValue);
        return true;
    }
    if (index + 1 >= args.size()) {
        return Fail("option " + name + " needs a value");
    }
    value = args[++index];
    return true;
}

bool CommandLine::Parse(const std::vector<std::string>& args) {
    bool optionsEnded = false;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg.compare(0, 2, "--") == 0) {
            std::string name = arg;
            std::optional<std::string> inlineValue;
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
            const bool takesValue = name == "--port" || name == "--mode" || name == "--trace" ||
                                    name == "--attr" || name == "--once";
            if (!takesValue && inlineValue) {
                return Fail("option " + name + " takes no value");
            }
            std::string value;
            if (takesValue && !TakeValue(args, i, name, inlineValue, value)) {
                return false;
            }
            if (name == "--port") {
                if (!ParsePortList(value)) {
                    return false;
                }
            } else if (name == "--once") {
                const auto count = ParsePort(value);
                if (!count || *count == 0) {
                    return Fail("--once needs a number of devices from 1 to 255, not '" + value +
                                "'");
                }
                once = *count;
            } else if (name == "--verify") {
                verify = true;
                m_commandOptionsSeen.push_back(name);
            } else if (name == "--per-port-folders") {
                perPortFolders = true;
                m_commandOptionsSeen.push_back(name);
            } else if (name == "--mode") {
                mode = value;
            } else if (name == "--trace") {
                if (value.empty()) {
                    return Fail("--trace needs a file name");
                }
                tracePath = value;
            } else if (name == "--attr") {
                const auto bits = ParseAttributes(value);
                if (!bits) {
                    return Fail("--attr takes r, h or rh, not '" + value + "'");
                }
                attributes = *bits;
                m_attrGiven = true;
                m_commandOptionsSeen.push_back(name);
            } else if (name == "--json") {
                json = true;
            } else if (name == "--quiet") {
                quiet = true;
            } else if (name == "--help") {
                command = Command::Help;
            } else if (name == "--version") {
                command = Command::Version;
            } else if (name == "--probe") {
                probe = true;
                m_commandOptionsSeen.push_back(name);
            } else if (name == "--all") {
                allPorts = true;
                m_commandOptionsSeen.push_back(name);
            } else if (name == "--force") {
                force = true;
                m_commandOptionsSeen.push_back(name);
            } else {
                return Fail("unknown option " + name);
            }
            continue;
        }
        // Short options, also joined: -a, -l, -al, -q, -h.
        for (std::size_t k = 1; k < arg.size(); ++k) {
            switch (arg[k]) {
            case 'a':
                listHidden = true;
                m_commandOptionsSeen.push_back("-a");
                break;
            case 'l':
                listLong = true;
                m_commandOptionsSeen.push_back("-l");
                break;
            case 'q':
                quiet = true;
                break;
            case 'h':
                command = Command::Help;
                break;
            default:
                return Fail(std::string("unknown option -") + arg[k]);
            }
        }
    }

    if (command == Command::Help || command == Command::Version) {
        return true;
    }
    if (!words.empty() && words.front() == "watch") {
        watch = true;
        words.erase(words.begin());
        if (words.empty()) {
            return Fail("watch needs a command to run on each device");
        }
    } else if (once) {
        return Fail("option --once applies to watch only");
    }
    if (words.empty()) {
        return Fail("no command given");
    }
    commandName = words.front();
    const auto entry = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const CommandEntry& e) { return commandName == e.name; });
    if (entry == std::end(kCommands)) {
        return Fail("unknown command '" + commandName + "'");
    }
    command = entry->command;
    operands.assign(words.begin() + 1, words.end());
    if (operands.size() < entry->minOperands) {
        return Fail(commandName + " needs " +
                    (entry->minOperands == 1 && entry->maxOperands == 1 ? "a file name"
                                                                        : "at least one file"));
    }
    if (operands.size() > entry->maxOperands) {
        return Fail(commandName + " takes " +
                    (entry->maxOperands == 0
                         ? std::string("no operands")
                         : "one operand, not " + std::to_string(operands.size())));
    }
    return CheckOperandsAndOptions();
}

bool CommandLine::CheckOperandsAndOptions() {
    if (watch && (command == Command::Ports || command == Command::Help)) {
        return Fail("watch runs a device command, not " + commandName);
    }
    if (watch && !portItems.empty()) {
        return Fail("watch waits on every port of the port map; leave out --port");
    }
    if (command == Command::Get && ManyDevices() && force && !perPortFolders) {
        return Fail("get --force from several devices into one folder would let one device's "
                    "file replace another's; add --per-port-folders");
    }
    for (const std::string& seen : m_commandOptionsSeen) {
        for (const OptionUse& use : OptionUses()) {
            if (seen == use.option && std::find(use.commands.begin(), use.commands.end(),
                                                command) == use.commands.end()) {
                return Fail("option " + seen + " does not apply to " + commandName);
            }
        }
    }
    return true;
}

std::string CommandLine::HelpText() {
    return R"(Usage: trelmctl [OPTIONS] COMMAND [ARGUMENTS]

Moves files between this computer and the NV file store of a device on a
serial line, through libtrelm.

Commands:
  ports [--probe] [--all]   COM ports of the port map, with their device paths.
                            --probe asks each port whether a device answers;
                            --all also lists device nodes without hardware.
  info                      the COM port, its line settings and the two
                            device-information values
  df                        the device's file statistics
  ls [-a] [-l]              the device's files; -a includes hidden files,
                            -l adds attributes (r read-only, h hidden), size
                            and the time of the last change
  exists [-a] NAME          whether the device has the file NAME (-a: also a
                            hidden one)
  get NAME... [DEST]        copies device files here, or into DEST: a folder,
                            or (for one NAME) a local file path. DEST is the
                            last argument when it contains "/" or names a
                            folder. An existing local file is never replaced
                            without --force.
  put FILE... [--attr r|h|rh]
                            copies local files to the device under their own
                            names (8.3 form, at most 65535 bytes), read-only
                            (r) and/or hidden (h) with --attr
  rm NAME... [--force]      deletes device files; --force also write-protected
                            ones
  watch [--once N] COMMAND [ARGUMENTS]
                            waits for devices and runs COMMAND on each one
                            that appears (new in the port map, or starting to
                            answer); a handled device is handled again only
                            after it has gone. --once N ends after N devices.

Options:
  --port N        COM port number 1 to 255; 0 (the default) searches the
                  ports for the device. Also a device path
                  (/dev/serial/by-id/...) or usb:SERIAL (the USB adapter
                  with that serial number).
  --port N,M,...  several devices at once, one worker process each; every
                  line starts with its port, the run ends with a summary
  --port all      every port of the port map where a device answers
  --verify        get, put: read each file back and compare it; a
                  difference fails the file with exit status 20
  --per-port-folders
                  get from several devices: one sub-folder per port (COM3/)
  --mode TEXT     line settings, e.g. "baud=9600 parity=N data=8 stop=1"
                  (the default) or "19200,n,8,1"
  --json          one JSON object per line on standard output: progress,
                  one result per file, and errors with the result code, its
                  name and the device error name
  --quiet, -q     no progress and no success messages; errors still go to
                  standard error
  --trace FILE    append a decoded protocol trace to FILE (sets TRELM_TRACE)
  --help, -h      this text
  --version       the tool's version

Ports: while the environment variable TRELM_PORTS names a folder, its
entries comN are the COM ports (the device emulator trelm-devsim makes one).
Otherwise COM1-COM32 are /dev/ttyS0-31, COM33-COM64 /dev/ttyUSB0-31 and
COM65-COM96 /dev/ttyACM0-31.

A progress bar with bytes, rate and time left is drawn on standard error
when it is a terminal. Ctrl-C cancels a transfer cleanly: the device is told,
no partial local file stays behind, and the exit status is 15.

Exit status: 0 on success, 64 for a usage error, otherwise the library's
result code (1 to 19, TRELM_ERROR_... in trelm.h) of the first failure:
   3  bad parameters; also a refused device name or an existing local file
   5  no COM port could be opened (the message says why)
   6  the port opens, but no device answers
   8  unexpected data from the device
   9  the device refused the request (its device error is in the message)
  10  the device stopped answering (time-out)
  11  damaged data on the line (checksum)
  12  local file missing, or its name does not fit the device (8.3)
  13  local file larger than 65535 bytes
  14  reading or writing the local file failed
  15  cancelled (Ctrl-C)
  17  local destination read-only or hidden
  19  the device does not accept the command
  20  --verify: a file read back differs from what was copied
  64  usage error (bad command line)
With several devices: the status of the first failed device in port order.

Examples:
  trelmctl ls -l
  trelmctl --port 7 put settings.cfg --attr r
  trelmctl get notes.txt ./notes-copy.txt
  trelmctl --json df
  trelmctl --port 3,5,7 put --verify config.ini
  trelmctl --json watch put --verify config.ini
)";
}

} // namespace trelmctl
