// Ctrl-C (SIGINT) and SIGTERM ask the running command to stop: the progress
// callback then answers "cancel", so the library still closes the transfer
// on the device and removes a partial local file. A second signal ends the
// process at once.
#pragma once

namespace trelmctl {

class CancelSignal {
public:
    // Installs the handlers for SIGINT and SIGTERM.
    static void Install();
    // Whether a stop was asked for.
    static bool Requested();
};

} // namespace trelmctl
