// Ctrl-C (SIGINT) and SIGTERM ask the running command to stop: the progress
// callback then answers "cancel", so the library still closes the transfer
// on the device and removes a partial local file. A second signal ends the
// process at once.
#pragma once

namespace trelmctl {

class CancelSignal {
public:
    // Installs the handlers for SIGINT and SIGTERM and forgets earlier signals.
    static void Install();
    // For the process that runs workers for several devices: signals are
    // only counted (it passes them on to the workers), never end it at once.
    static void InstallCounting();
    // Whether a stop was asked for.
    static bool Requested();
    // How many stop signals came.
    static int Count();
};

} // namespace trelmctl
