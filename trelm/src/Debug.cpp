#include "Debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace trelm {

bool DebugEnabled() {
    // Read on every call so that a test or a user can switch it at run time.
    const char* value = std::getenv("TRELM_DEBUG");
    return value != nullptr && value[0] != '\0';
}

void DebugPrint(const char* fmt, ...) {
    if (fmt == nullptr || !DebugEnabled()) {
        return;
    }
    std::va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    std::fflush(stderr);
}

} // namespace trelm
