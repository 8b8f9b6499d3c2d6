#include "ProgressLog.h"

namespace {
std::vector<ProgressLog::Call> g_calls;
int g_cancelAt = 0;
} // namespace

void ProgressLog::Reset(int cancelAt) {
    g_calls.clear();
    g_cancelAt = cancelAt;
}

int32_t ProgressLog::Record(int32_t total, int32_t current, float fraction) {
    g_calls.push_back({total, current, fraction});
    return static_cast<int>(g_calls.size()) == g_cancelAt ? 0 : 1;
}

const std::vector<ProgressLog::Call>& ProgressLog::Calls() {
    return g_calls;
}
