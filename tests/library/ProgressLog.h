// Records the calls of the copy functions' progress callback (a plain C
// function, so the log is process-wide) and can cancel at a chosen call.
#pragma once

#include <cstdint>
#include <vector>

class ProgressLog {
public:
    struct Call {
        int32_t total;
        int32_t current;
        float fraction;
    };

    // Clears the log; the callback answers 0 at call number `cancelAt`
    // (1-based), never when it is 0.
    static void Reset(int cancelAt = 0);
    // The callback to hand to the library.
    static int32_t Record(int32_t total, int32_t current, float fraction);
    static const std::vector<Call>& Calls();
};
