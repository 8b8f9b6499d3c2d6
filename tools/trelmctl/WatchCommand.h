// watch COMMAND: waits for devices and runs the command on each one that
// appears (a COM port new in the port map, or one whose device starts
// answering), several at the same time, and goes on waiting. A device that
// was handled is handled again only after it has gone: its port left the
// port map, or it stopped answering a light check made at most once every
// two seconds. New ports are noticed through inotify on /dev and on the
// TRELM_PORTS folder, with a rescan every two seconds as a fallback.
#pragma once

#include "CommandLine.h"

namespace trelmctl {

class WatchCommand {
public:
    explicit WatchCommand(const CommandLine& line) : m_line(line) {}

    // Runs until --once devices were handled or a stop signal came; the exit
    // status follows the rule for a list of ports.
    int Run(bool drawBars);

private:
    const CommandLine& m_line;
};

} // namespace trelmctl
