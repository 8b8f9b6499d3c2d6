// The settable properties of the emulated device.
#pragma once

#include <cstdint>

namespace devsim {

struct DeviceConfig {
    // The two device-information values of the wake-up reply.
    uint8_t infoValue1 = 2;
    uint8_t infoValue2 = 1;
    // Reported by GET_MAX_NUMBER_OF_OPEN_NV_FILES.
    uint16_t maxOpenFiles = 8;
    // Reported by GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE.
    uint32_t totalBufferSize = 4096;
    // Store limits: beyond them CREATE_NV_FILE answers status 9.
    uint32_t maxFiles = 200;
    // The file space of the store, reported by
    // NV_FILE_GET_ALLOCATED_NV_FILE_SPACE; the data of all files together
    // must fit into it.
    uint32_t maxTotalBytes = 1024 * 1024;
    // Listing data bytes per data packet (1 to 252; the reply payload adds
    // three bytes and must stay within 255).
    uint8_t listPacketSize = 100;
    // Line pacing: 0 = off; otherwise each byte takes 10 / lineBaud seconds
    // in each direction (applied by the pty server).
    uint32_t lineBaud = 0;
};

} // namespace devsim
