// Fills TRELM_FILE_INFO records from the two device layouts that describe a
// file: the file-information reply and the 48-byte entry of a listing.
#pragma once

#include "trelm.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace trelm {

class FileInfoRecord {
public:
    // Bytes of one file entry in the listing data.
    static constexpr std::size_t kListingEntrySize = 48;

    // A record from a file-information reply payload (status byte first):
    // Valid 1, FileHandle from the reply, StructSize 0.
    static TRELM_FILE_INFO FromInfoReply(std::span<const uint8_t> payload);
    // A record from one listing entry: Valid 1, FileHandle -1, StructSize 0.
    static TRELM_FILE_INFO FromListingEntry(std::span<const uint8_t> entry);
    // The record handed back after the device refused a query: all zero,
    // Valid 0, FileHandle -1.
    static TRELM_FILE_INFO Invalid();

private:
    // Copies the device's 13 name bytes; the last byte of the record's name
    // is always the terminator, even when the device sent none.
    static void CopyName(TRELM_FILE_INFO& record, std::span<const uint8_t> bytes,
                         std::size_t offset);
};

} // namespace trelm
