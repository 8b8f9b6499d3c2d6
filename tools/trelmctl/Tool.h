// The trelmctl program: reads the command line, prepares tracing and the
// Ctrl-C handling, runs the command and hands back the exit status.
#pragma once

#include <string>
#include <vector>

namespace trelmctl {

class Tool {
public:
    // 0 on success, the library's result code (1 to 19) of the first
    // failure, 64 for a usage error.
    int Run(const std::vector<std::string>& args);
};

} // namespace trelmctl
