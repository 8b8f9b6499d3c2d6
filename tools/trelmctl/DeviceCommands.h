// The commands that talk to the device: info, df, ls, exists, get, put, rm.
// Each opens the library session first (searching the ports unless --port
// names one) and reports through the Reporter.
#pragma once

#include "CommandLine.h"
#include "ProgressBar.h"
#include "Reporter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trelmctl {

class DeviceCommands {
public:
    DeviceCommands(const CommandLine& line, Reporter& reporter, ProgressBar& bar);

    void Run();

private:
    // Opens the session; with a port given (no search), or when `wantInfo`,
    // also asks the device for its information, so a silent line shows now.
    bool Connect(bool wantInfo);
    std::string ConnectFailureDetail(uint32_t result) const;
    // Why the library could not open the port at `path`, found by opening it here.
    std::string OpenFailureReason(const std::string& path) const;

    void Info();
    void Df();
    void Ls();
    void Exists();
    void Get();
    void Put();
    void Rm();

    // Copies one device file; false when the remaining files should not be tried.
    bool GetOne(const std::string& name, const std::string& localPath);
    // --verify: reads `deviceName` back and compares it with `expected`.
    // Reports a failure of `file` and returns it (0 when equal).
    uint32_t Verify(const std::string& file, const std::string& deviceName,
                    const std::string& expected);
    // Whether a failure ends a command over several files (the line or the
    // user ended it), rather than concerning one file only.
    static bool EndsTheRun(uint32_t result);
    // Records a cancel that came between two library calls.
    bool CancelledBetweenFiles(const std::string& file);

    const CommandLine& m_line;
    Reporter& m_reporter;
    ProgressBar& m_bar;
    uint32_t m_info1 = 0;
    uint32_t m_info2 = 0;
};

} // namespace trelmctl
