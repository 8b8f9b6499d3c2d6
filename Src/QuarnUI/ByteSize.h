#pragma once

#include <QString>

#include <cstdint>

// File sizes as the lists show them: below 1024 "N bytes"; otherwise the size
// in KB, MB, GB or TB (1024-based) with three significant digits, cut off
// rather than rounded ("2.00 KB", "12.5 KB", "100 KB", "0.97 MB").
class ByteSize {
public:
    static QString Format(std::uint64_t bytes);
};
