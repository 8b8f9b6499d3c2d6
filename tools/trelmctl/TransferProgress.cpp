#include "TransferProgress.h"

#include "CancelSignal.h"

#include <algorithm>
#include <utility>

namespace trelmctl {

namespace {

TransferProgress* g_active = nullptr;

// Data bytes per packet of both copy directions.
constexpr uint64_t kPacketBytes = 100;
// The fraction the library passes on its final call.
constexpr float kFinalFraction = 100.0f;

} // namespace

TransferProgress::TransferProgress(Reporter& reporter, ProgressBar& bar, std::string command,
                                   std::string file, uint64_t totalBytes)
    : m_reporter(reporter), m_bar(bar), m_command(std::move(command)), m_file(std::move(file)),
      m_totalBytes(totalBytes) {
    g_active = this;
    m_bar.Start(m_file, m_totalBytes);
}

TransferProgress::~TransferProgress() {
    m_bar.Clear();
    if (g_active == this) {
        g_active = nullptr;
    }
}

int32_t TransferProgress::Callback(int32_t total, int32_t current, float fraction) {
    return g_active != nullptr ? g_active->OnProgress(total, current, fraction) : 1;
}

int32_t TransferProgress::OnProgress(int32_t total, int32_t current, float fraction) {
    const bool final = fraction == kFinalFraction;
    const uint64_t packetsDone = current > 0 ? static_cast<uint64_t>(current) : 0;
    const uint64_t bytes =
        final ? m_totalBytes : std::min(m_totalBytes, packetsDone * kPacketBytes);
    m_bar.Update(bytes, final);
    if (m_reporter.Json() && !m_reporter.Quiet()) {
        JsonLine line("progress");
        line.Add("command", m_command)
            .Add("file", m_file)
            .Add("packet", current)
            .Add("packets", total)
            .Add("bytes", static_cast<int64_t>(bytes))
            .Add("totalBytes", static_cast<int64_t>(m_totalBytes))
            .Add("done", final);
        m_reporter.Emit(line);
    }
    if (CancelSignal::Requested()) {
        m_cancelled = true;
        return 0;
    }
    return 1;
}

} // namespace trelmctl
