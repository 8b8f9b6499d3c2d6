// The device directory as find-first / find-next: the first call fetches the
// whole listing into the session's cache, the next calls hand out its
// records without device traffic.
#include "ByteOrder.h"
#include "Debug.h"
#include "DeviceProtocol.h"
#include "FileInfoRecord.h"
#include "Session.h"
#include "trelm.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace trelm {
namespace {

// Open reply: status, file count u16, packet count u16.
constexpr std::size_t kFileCountInReply = 1;
constexpr std::size_t kPacketCountInReply = 3;
constexpr std::size_t kOpenReplySize = 5;
// Data packet reply: packet number u16, byte count u8, the data.
constexpr std::size_t kPacketNumberInReply = 0;
constexpr std::size_t kByteCountInReply = 2;
constexpr std::size_t kDataInReply = 3;

// The three commands of one listing variant.
struct ListingCommands {
    bool (DeviceProtocol::*open)();
    bool (DeviceProtocol::*packet)(uint32_t);
    bool (DeviceProtocol::*close)();
};

constexpr ListingCommands kPlainListing{&DeviceProtocol::GetNvFileInfoList,
                                        &DeviceProtocol::GetNvFileInfoListDataPacket,
                                        &DeviceProtocol::GetNvFileInfoListEnd};
constexpr ListingCommands kExtendedListing{&DeviceProtocol::GetNvFileInfoListEx,
                                           &DeviceProtocol::GetNvFileInfoListExDataPacket,
                                           &DeviceProtocol::GetNvFileInfoListExEnd};

// Fetches data packet `number` and appends its data to `buffer` behind the
// `used` bytes already there. Nothing is ever written beyond the buffer.
TRELM_Result FetchPacket(Session& s, const ListingCommands& commands, uint32_t number,
                         std::vector<uint8_t>& buffer, std::size_t& used) {
    const TRELM_Result result = s.CheckReply((s.protocol.get()->*commands.packet)(number));
    if (result != TRELM_OK) {
        return result;
    }
    const std::span<const uint8_t> payload = s.ReplyPayload();
    if (payload.size() < kDataInReply || LoadU16(payload, kPacketNumberInReply) != number) {
        return TRELM_ERROR_UNEXPECTED_DATA;
    }
    const std::size_t count = LoadU8(payload, kByteCountInReply);
    // An empty packet, one whose frame does not hold the bytes it announces,
    // or one that does not fit the rest of the buffer is not listing data.
    if (count == 0 || count > payload.size() - kDataInReply || count > buffer.size() - used) {
        return TRELM_ERROR_UNEXPECTED_DATA;
    }
    std::memcpy(buffer.data() + used, payload.data() + kDataInReply, count);
    used += count;
    return TRELM_OK;
}

// Replaces the cache with the entries of `data` and hands out the first.
TRELM_Result RebuildCache(Session& s, uint32_t fileCount, std::span<const uint8_t> data,
                          TRELM_FILE_INFO* info) {
    // Every entry must lie within the data received; otherwise the listing
    // fails and the previous cache stays as it was.
    if (static_cast<std::size_t>(fileCount) * FileInfoRecord::kListingEntrySize > data.size()) {
        return TRELM_ERROR_UNEXPECTED_DATA;
    }
    std::unique_ptr<TRELM_FILE_INFO[]> entries;
    if (fileCount > 0) {
        entries.reset(new (std::nothrow) TRELM_FILE_INFO[fileCount]());
        if (!entries) {
            return TRELM_ERROR_OUT_OF_MEMORY;
        }
        for (uint32_t j = 0; j < fileCount; ++j) {
            entries[j] = FileInfoRecord::FromListingEntry(data.subspan(
                j * FileInfoRecord::kListingEntrySize, FileInfoRecord::kListingEntrySize));
        }
    }

    s.DropListing();
    s.listCount = fileCount;
    if (fileCount == 0) {
        return TRELM_OK; // nothing to hand out; the caller's record is left alone
    }
    s.listEntries = std::move(entries);
    s.listIndex = 1;
    *info = s.listEntries[0];
    return TRELM_OK;
}

TRELM_Result FindFirstFile(Session& s, uint32_t flag, uint32_t* count, TRELM_FILE_INFO* info) {
    s.ResetExtendedError();
    if (count == nullptr || info == nullptr || info->StructSize != TRELM_FILE_INFO_SIZE ||
        (flag != 0 && flag != 1)) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    const ListingCommands& commands = flag == 0 ? kPlainListing : kExtendedListing;

    // Without an answer to the open command there is no listing to close.
    TRELM_Result result = s.CheckReply((s.protocol.get()->*commands.open)());
    if (result != TRELM_OK) {
        return result;
    }

    const std::span<const uint8_t> openReply = s.ReplyPayload();
    result = openReply.empty() ? TRELM_Result{TRELM_ERROR_UNEXPECTED_DATA}
                               : s.TakeDeviceStatus(openReply[0]);
    if (result == TRELM_OK && openReply.size() < kOpenReplySize) {
        result = TRELM_ERROR_UNEXPECTED_DATA;
    }
    if (result == TRELM_OK) {
        const uint32_t fileCount = LoadU16(openReply, kFileCountInReply);
        const uint32_t packetCount = LoadU16(openReply, kPacketCountInReply);
        *count = fileCount;
        DebugPrint("Listing: %u files in %u packets\n", static_cast<unsigned>(fileCount),
                   static_cast<unsigned>(packetCount));

        // Room for one packet more than announced, zero-filled.
        std::vector<uint8_t> buffer;
        std::size_t used = 0;
        try {
            buffer.assign((packetCount + 1) * std::size_t{kPacketDataSize}, 0);
        } catch (const std::bad_alloc&) {
            result = TRELM_ERROR_OUT_OF_MEMORY;
        }
        for (uint32_t i = 0; i < packetCount && result == TRELM_OK; ++i) {
            result = FetchPacket(s, commands, i, buffer, used);
        }
        if (result == TRELM_OK) {
            result =
                RebuildCache(s, fileCount, std::span<const uint8_t>(buffer.data(), used), info);
        }
    }

    // The device keeps the listing open until it is told otherwise.
    // A failed close decides the result only when nothing failed before.
    const bool closed = (s.protocol.get()->*commands.close)();
    if (!closed && result == TRELM_OK) {
        result = s.MapFailedCommand();
    }
    return result;
}

TRELM_Result FindNextFile(Session& s, TRELM_FILE_INFO* info) {
    s.ResetExtendedError();
    if (info == nullptr || info->StructSize != TRELM_FILE_INFO_SIZE) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.listEntries || s.listIndex >= s.listCount) {
        return TRELM_ERROR_NO_MORE_FILES;
    }
    *info = s.listEntries[s.listIndex];
    ++s.listIndex;
    return TRELM_OK;
}

TRELM_Result FindClose(Session& s) {
    s.ResetExtendedError();
    s.DropListing();
    return TRELM_OK;
}

} // namespace
} // namespace trelm

using trelm::Session;

TRELM_Result TRELM_FindFirstFile(uint32_t flag, uint32_t* count, TRELM_FILE_INFO* info) {
    return Session::Guarded([&](Session& s) { return trelm::FindFirstFile(s, flag, count, info); });
}

TRELM_Result TRELM_FindFirstFileWithProgress(uint32_t, uint32_t, uint32_t, uint32_t) {
    // Offered by the interface but not supported; it does not even reset
    // the extended error values.
    return Session::Guarded([](Session&) { return TRELM_Result{TRELM_ERROR_NOT_SUPPORTED}; });
}

TRELM_Result TRELM_FindNextFile(TRELM_FILE_INFO* info) {
    return Session::Guarded([&](Session& s) { return trelm::FindNextFile(s, info); });
}

TRELM_Result TRELM_FindClose(void) {
    return Session::Guarded([](Session& s) { return trelm::FindClose(s); });
}
