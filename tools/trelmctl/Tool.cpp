#include "Tool.h"

#include "CancelSignal.h"
#include "CommandLine.h"
#include "DeviceCommands.h"
#include "PortsCommand.h"
#include "ProgressBar.h"
#include "Reporter.h"

#include <cstdio>
#include <cstdlib>
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
    CancelSignal::Install();

    if (line.command == CommandLine::Command::Ports) {
        PortsCommand(line, reporter).Run();
    } else {
        ProgressBar bar(!line.quiet && ::isatty(STDERR_FILENO) != 0);
        DeviceCommands(line, reporter, bar).Run();
    }
    return reporter.ExitStatus();
}

} // namespace trelmctl
