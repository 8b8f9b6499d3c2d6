// A one-line progress bar on standard error: file, bar, percentage, bytes,
// rate and time left, redrawn in place. Drawn only when enabled (standard
// error is a terminal and --quiet is off).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace trelmctl {

class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : m_enabled(enabled) {}
    // A bar drawn by another process: each update goes to `feedFd` as a line
    // "DONE TOTAL LABEL", a cleared bar as "-" (a worker of several devices
    // feeds the process that draws one bar per device).
    static ProgressBar Feeding(int feedFd) {
        ProgressBar bar(true);
        bar.m_feedFd = feedFd;
        return bar;
    }
    ~ProgressBar() { Clear(); }
    ProgressBar(ProgressBar&&) = default;
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    bool Enabled() const { return m_enabled; }

    void Start(std::string label, uint64_t totalBytes);
    // Redraws at most ten times a second, and always for the final state.
    void Update(uint64_t doneBytes, bool final);
    // Removes the bar from the terminal line.
    void Clear();

    // The bar's text for `width` columns.
    static std::string Render(const std::string& label, uint64_t done, uint64_t total,
                              double elapsedSeconds, int width);
    // "900 B", "12.5 KB", "1.2 MB".
    static std::string FormatBytes(double bytes);
    // "0:07", "12:34", "1:02:03".
    static std::string FormatDuration(double seconds);

private:
    bool m_enabled;
    int m_feedFd = -1;
    bool m_drawn = false;
    std::string m_label;
    uint64_t m_total = 0;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};

} // namespace trelmctl
