// The progress callback of one transfer. The library calls a plain function,
// so the transfer in progress is reached through a process-wide pointer
// (there is only ever one transfer at a time). Each call advances the bar,
// emits a JSON progress line, and answers "cancel" once Ctrl-C was pressed.
#pragma once

#include "ProgressBar.h"
#include "Reporter.h"

#include <cstdint>
#include <string>

namespace trelmctl {

class TransferProgress {
public:
    // Becomes the active transfer until destroyed.
    TransferProgress(Reporter& reporter, ProgressBar& bar, std::string command, std::string file,
                     uint64_t totalBytes);
    ~TransferProgress();
    TransferProgress(const TransferProgress&) = delete;
    TransferProgress& operator=(const TransferProgress&) = delete;

    // The TRELM_PROGRESS_CALLBACK handed to the library.
    static int32_t Callback(int32_t total, int32_t current, float fraction);

    // Whether the callback asked the library to cancel.
    bool Cancelled() const { return m_cancelled; }

private:
    int32_t OnProgress(int32_t total, int32_t current, float fraction);

    Reporter& m_reporter;
    ProgressBar& m_bar;
    std::string m_command;
    std::string m_file;
    uint64_t m_totalBytes;
    bool m_cancelled = false;
};

} // namespace trelmctl
