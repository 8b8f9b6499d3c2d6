#include "Tool.h"

#include "CancelSignal.h"
#include "CommandLine.h"
#include "DeviceCommands.h"
#include "FleetCommand.h"
#include "PortAlias.h"
#include "PortsCommand.h"
#include "ProgressBar.h"
#include "Reporter.h"
#include "WatchCommand.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <unistd.h>

#ifndef TRELMCTL_VERSION
#define TRELMCTL_VERSION "0"
#endif

namespace trelmctl {

int Tool::Run(const std::vector<std::string>& args) {
    CommandLine line;
    const bool parsed = line.Parse(args);
    Reporter reporter(line.json, line.quiet);
    if (!parsed) {
        reporter.UsageError(line.Error());
        return reporter.ExitStatus();
    }
    if (line.command == CommandLine::Command::Help) {
        std::fputs(CommandLine::HelpText().c_str(), stdout);
        return 0;
    }
    if (line.command == CommandLine::Command::Version) {
        std::printf("trelmctl %s\n", TRELMCTL_VERSION);
        return 0;
    }

    // The library reads TRELM_TRACE once, at its first frame: set it before
    // any library call.
    if (line.tracePath) {
        ::setenv("TRELM_TRACE", line.tracePath->c_str(), 1);
    }
    const bool terminal = !line.quiet && ::isatty(STDERR_FILENO) != 0;
    if (line.command != CommandLine::Command::Ports && line.ManyDevices()) {
        // Stop signals are passed on to the workers, one per device.
        CancelSignal::InstallCounting();
        return line.watch ? WatchCommand(line).Run(terminal) : FleetCommand(line).Run(terminal);
    }
    CancelSignal::Install();

    if (line.command == CommandLine::Command::Ports) {
        PortsCommand(line, reporter).Run();
        return reporter.ExitStatus();
    }
    CommandLine single = line;
    PortAlias alias;
    if (!line.portItems.empty() &&
        line.portItems.front().kind != CommandLine::PortItem::Kind::Number) {
        // A device path or a USB serial number: a COM number of its own.
        std::set<unsigned> taken;
        Fleet::Target target;
        std::string error;
        if (!alias.Resolve(line.portItems.front(), taken, target, error)) {
            reporter.UsageError("--port: " + error);
            return reporter.ExitStatus();
        }
        if (!target.portsDir.empty()) {
            ::setenv("TRELM_PORTS", target.portsDir.c_str(), 1);
        }
        single.port = target.number;
    }
    ProgressBar bar(terminal);
    DeviceCommands(single, reporter, bar).Run();
    return reporter.ExitStatus();
}

} // namespace trelmctl
