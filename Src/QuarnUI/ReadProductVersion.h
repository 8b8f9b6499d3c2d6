#pragma once

#include <QString>

#include <cstdint>

// The product version record. The build places one such record in the
// program file (its own ELF section, see QUARN_PRODUCT_VERSION_RECORD), and
// ReadProductVersion finds it again by scanning the file for the marker.
//
// The two version words keep the classic layout of four 16-bit numbers:
// productVersionMS holds major (high half) and minor (low half),
// productVersionLS the third number (high half) and the fourth (low half).
struct ProductVersionRecord {
    char marker[16];
    uint32_t productVersionMS;
    uint32_t productVersionLS;
    // ProductVersionCheck(ms, ls): tells a real record from a stray copy of
    // the marker, such as the one the scanner itself searches with.
    uint32_t check;
};

inline constexpr char PRODUCT_VERSION_MARKER[16] = "QuarnProductVer";

constexpr uint32_t ProductVersionCheck(uint32_t ms, uint32_t ls) {
    return (ms ^ 0x51524E56u) + (ls ^ 0xA5C3E10Fu) * 2654435761u;
}

// Places a version record for major.minor.third.fourth in the file of the
// program (or shared object) that is linked from the defining source file.
#define QUARN_PRODUCT_VERSION_RECORD(major, minor, third, fourth)                                  \
    [[gnu::used,                                                                                   \
      gnu::section(                                                                                \
          ".quarn_version")]] extern const ProductVersionRecord quarnProductVersionRecord = {      \
        "QuarnProductVer", (uint32_t(major) << 16) | (uint32_t(minor) & 0xFFFFu),                  \
        (uint32_t(third) << 16) | (uint32_t(fourth) & 0xFFFFu),                                    \
        ProductVersionCheck((uint32_t(major) << 16) | (uint32_t(minor) & 0xFFFFu),                 \
                            (uint32_t(third) << 16) | (uint32_t(fourth) & 0xFFFFu))}

// Reads the product version record of `filePath`. Returns 0 and writes the
// three outputs on success: major and minor are the two halves of the most
// significant word, build the low half of the least significant word (the
// third number is not used, so 1.8.0.4 gives 1, 8 and 4). Otherwise returns
// the system error of the failed read (errno), or ENODATA for a file that
// holds no record, and leaves the outputs alone.
uint32_t ReadProductVersion(const QString& filePath, int& major, int& minor, int& build);

// The file of the running program, whatever name it was started under.
QString OwnProgramFile();
