#include "DebugLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

bool quarnDebugEnabled() {
    const char* value = std::getenv("QUARN_DEBUG");
    return value != nullptr && value[0] != '\0';
}

void quarnDebug(const char* format, ...) {
    if (!quarnDebugEnabled()) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fflush(stderr);
}
