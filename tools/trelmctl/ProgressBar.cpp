#include "ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

namespace trelmctl {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

int TerminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20) {
        return size.ws_col;
    }
    return 80;
}

} // namespace

std::string ProgressBar::FormatBytes(double bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 3) {
        bytes /= 1024.0;
        ++unit;
    }
    char text[32];
    if (unit == 0) {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    } else {
        std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
    }
    return text;
}

std::string ProgressBar::FormatDuration(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, (total / 60) % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

std::string ProgressBar::Render(const std::string& label, uint64_t done, uint64_t total,
                                double elapsedSeconds, int width) {
    const double fraction =
        total == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    const double rate = elapsedSeconds > 0.0 ? static_cast<double>(done) / elapsedSeconds : 0.0;
    std::string tail = " " + std::to_string(static_cast<int>(fraction * 100.0)) + "% " +
                       FormatBytes(static_cast<double>(done)) + "/" +
                       FormatBytes(static_cast<double>(total)) + " " + FormatBytes(rate) + "/s";
    if (done >= total) {
        tail += " " + FormatDuration(elapsedSeconds);
    } else if (rate > 0.0) {
        tail += " " + FormatDuration(static_cast<double>(total - done) / rate) + " left";
    } else {
        tail += " --:-- left";
    }

    std::string name = label;
    const int labelRoom = std::max(8, width / 4);
    if (static_cast<int>(name.size()) > labelRoom) {
        name = name.substr(0, static_cast<std::size_t>(labelRoom - 1)) + "~";
    }
    const int barWidth =
        width - 1 - static_cast<int>(name.size()) - 3 - static_cast<int>(tail.size());
    std::string line = name;
    if (barWidth >= 5) {
        const int filled = static_cast<int>(fraction * barWidth);
        line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(barWidth - filled), '.') + "]";
    }
    line += tail;
    if (static_cast<int>(line.size()) >= width) {
        line.resize(static_cast<std::size_t>(width - 1));
    }
    return line;
}

void ProgressBar::Start(std::string label, uint64_t totalBytes) {
    m_label = std::move(label);
    m_total = totalBytes;
    m_start = std::chrono::steady_clock::now();
    m_lastDraw = {};
}

void ProgressBar::Update(uint64_t doneBytes, bool final) {
    if (!m_enabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!final && m_drawn && now - m_lastDraw < kRedrawInterval) {
        return;
    }
    m_lastDraw = now;
    if (m_feedFd >= 0) {
        const std::string line =
            std::to_string(doneBytes) + " " + std::to_string(m_total) + " " + m_label + "\n";
        // A lost update only delays the bar; the worker never waits for it.
        [[maybe_unused]] const ssize_t written = ::write(m_feedFd, line.data(), line.size());
        m_drawn = true;
        return;
    }
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const std::string line = Render(m_label, doneBytes, m_total, elapsed, TerminalWidth());
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    m_drawn = true;
}

void ProgressBar::Clear() {
    if (m_drawn && m_feedFd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(m_feedFd, "-\n", 2);
        m_drawn = false;
        return;
    }
    if (m_drawn) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        m_drawn = false;
    }
}

} // namespace trelmctl
