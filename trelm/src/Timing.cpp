#include "Timing.h"

#include <atomic>
#include <thread>

namespace trelm::timing {

namespace {
std::atomic<double> g_scale{1.0};
}

void SetScale(double scale) { g_scale.store(scale > 0.0 ? scale : 1.0); }

double Scale() { return g_scale.load(); }

std::chrono::steady_clock::duration Scaled(uint32_t ms) {
    const double ns = static_cast<double>(ms) * 1e6 * g_scale.load();
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::nanoseconds(static_cast<int64_t>(ns)));
}

void Sleep(uint32_t ms) { std::this_thread::sleep_for(Scaled(ms)); }

} // namespace trelm::timing
