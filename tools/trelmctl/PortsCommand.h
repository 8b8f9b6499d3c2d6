// The ports command: every COM port of the port map with its device path and
// whether it can be opened, and with --probe whether a device answers on it.
#pragma once

#include "CommandLine.h"
#include "Reporter.h"

namespace trelmctl {

class PortsCommand {
public:
    PortsCommand(const CommandLine& line, Reporter& reporter);

    void Run();

private:
    const CommandLine& m_line;
    Reporter& m_reporter;
};

} // namespace trelmctl
