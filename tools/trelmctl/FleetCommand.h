// A device command on a list of ports or on every port where a device
// answers (--port 3,5,7, --port all): finds the devices, runs the command
// on all of them at once and ends with the summary.
#pragma once

#include "CommandLine.h"
#include "Fleet.h"
#include "PortAlias.h"

#include <vector>

namespace trelmctl {

class FleetCommand {
public:
    explicit FleetCommand(const CommandLine& line) : m_line(line) {}

    // The exit status: 0 when every device succeeded, the result code of the
    // first failed device in port order, 64 for a bad --port entry.
    int Run(bool drawBars);

private:
    // The ports of the map where a device answers; says which ports were
    // left out and why. False when none answers (`status` then says why).
    bool AnsweringPorts(Fleet& fleet, std::vector<Fleet::Target>& targets, int& status) const;

    const CommandLine& m_line;
    PortAlias m_alias;
};

} // namespace trelmctl
