// Copy of one local file into the device's file store, in packets of at
// most 100 bytes sent in the order the device asks for them.
#include "ByteOrder.h"
#include "Debug.h"
#include "DeviceName.h"
#include "DeviceProtocol.h"
#include "DeviceTime.h"
#include "LocalFile.h"
#include "Session.h"
#include "trelm.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace trelm {
namespace {

// Data packet reply: the packet the device wants next, then the completion flag.
constexpr std::size_t kNextPacketInReply = 0;
constexpr std::size_t kCompleteInReply = 2;
constexpr std::size_t kDataPacketReplySize = 3;

// The device chooses which packet comes next, so a device that never reports
// completion would keep a copy going for ever (the default callback never
// cancels). A transfer therefore ends with TRELM_ERROR_UNEXPECTED_DATA once
// the device has asked for the same packet more than kMaxSamePacketRequests
// times in a row, or once 3 x P + 16 data packets have gone out without the
// device reporting completion: enough for every packet to be sent three
// times, plus room for a few spurious requests of a small file. The store
// command is still sent, so the device drops the incomplete file.
constexpr uint32_t kMaxSamePacketRequests = 8;
constexpr uint32_t kExchangesPerPacket = 3;
constexpr uint32_t kExtraExchanges = 16;

int32_t DefaultProgress(int32_t, int32_t, float) {
    return 1;
}

// Sends the packets the device asks for until it has the whole file, the
// caller cancels or something fails. Returns the result of the data phase.
TRELM_Result SendPackets(Session& s, const LocalFile& file, uint32_t size, uint16_t packets,
                         TRELM_PROGRESS_CALLBACK callback) {
    // An empty file still travels as packet 0 without data.
    const uint32_t packetLimit = packets == 0 ? 1 : packets;
    const uint32_t exchangeLimit = kExchangesPerPacket * packets + kExtraExchanges;
    std::array<uint8_t, kPacketDataSize> chunk{};
    uint32_t next = 0;
    uint32_t exchanges = 0;
    uint32_t sameInARow = 0;
    bool done = false;
    TRELM_Result result = TRELM_OK;
    do {
        if (next >= packetLimit) {
            // The device asks for a packet the file does not have.
            result = TRELM_ERROR_UNEXPECTED_DATA;
        } else {
            const uint32_t offset = next * kPacketDataSize;
            const uint32_t count = std::min(kPacketDataSize, size - offset);
            if (!file.ReadAt(chunk.data(), count, static_cast<off_t>(offset))) {
                result = TRELM_ERROR_PC_FILE_IO_FAILED;
            } else {
                result = s.CheckReply(s.protocol->CreateNvFileDataPacket(
                    static_cast<uint16_t>(next), count, chunk.data()));
                const std::span<const uint8_t> reply = s.ReplyPayload();
                if (result == TRELM_OK && reply.size() < kDataPacketReplySize) {
                    result = TRELM_ERROR_UNEXPECTED_DATA;
                }
                if (result == TRELM_OK) {
                    const uint32_t sent = next;
                    next = LoadU16(reply, kNextPacketInReply);
                    done = LoadU8(reply, kCompleteInReply) != 0;
                    ++exchanges;
                    sameInARow = next == sent ? sameInARow + 1 : 0;
                    if (!done &&
                        (sameInARow > kMaxSamePacketRequests || exchanges >= exchangeLimit)) {
                        DebugPrint("The device never completes the file (packet %u asked for "
                                   "%u times in a row, %u packets sent)\n",
                                   static_cast<unsigned>(next), static_cast<unsigned>(sameInARow),
                                   static_cast<unsigned>(exchanges));
                        result = TRELM_ERROR_UNEXPECTED_DATA;
                    }
                }
            }
        }

        // Progress is reported after every pass, also after a failed one; a
        // cancel then takes the place of the failure.
        if (done) {
            callback(packets, packets, 100.0f);
        } else {
            const float fraction =
                packets == 0 ? 0.0f : static_cast<float>(next) / static_cast<float>(packets);
            if (callback(packets, static_cast<int32_t>(next), fraction) == 0) {
                result = TRELM_ERROR_FILE_TRANSFER_CANCELLED;
            }
        }
    } while (result == TRELM_OK && !done);
    return result;
}

TRELM_Result CopyToDevice(Session& s, const char* localPath, uint32_t attribute,
                          TRELM_PROGRESS_CALLBACK callback) {
    s.ResetExtendedError();
    if (localPath == nullptr || callback == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }

    struct stat info {};
    // Only a regular file has data to copy; a folder or a device node is
    // refused before anything is created on the device.
    if (::stat(localPath, &info) != 0 || !S_ISREG(info.st_mode)) {
        return TRELM_ERROR_PC_FILENAME_INVALID;
    }
    if (info.st_size < 0 || info.st_size > static_cast<off_t>(kMaxDeviceFileSize)) {
        return TRELM_ERROR_PC_FILESIZE_INVALID;
    }
    const auto size = static_cast<uint32_t>(info.st_size);

    const LocalFile file = LocalFile::Open(localPath, O_RDONLY);
    if (!file.IsOpen()) {
        return TRELM_ERROR_PC_FILENAME_INVALID;
    }
    const std::string name(DeviceName::StripDirectory(localPath));
    if (!DeviceName::FitsEightDotThree(name)) {
        return TRELM_ERROR_PC_FILENAME_INVALID;
    }
    const TRELM_SYSTEMTIME written = DeviceTime::LocalCalendar(info.st_mtime);

    uint16_t packets = 0;
    TRELM_Result result = s.CheckStatusReply(s.protocol->CreateNvFile(
        name.c_str(), size, &written, static_cast<uint8_t>(attribute & 0xFF), packets));
    if (result != TRELM_OK) {
        return result;
    }
    DebugPrint("Copying '%s' to the device: %u bytes in %u packets\n", name.c_str(),
               static_cast<unsigned>(size), static_cast<unsigned>(packets));

    callback(packets, 0, 0.0f);
    result = SendPackets(s, file, size, packets, callback);

    // The device commits (or drops) what it received only when told to
    // store, so this goes out however the data phase ended.
    if (!s.protocol->CreateNvFileStoreFile()) {
        if (result == TRELM_OK) {
            result = s.MapFailedCommand();
        }
    } else if (const std::span<const uint8_t> reply = s.ReplyPayload(); reply.empty()) {
        if (result == TRELM_OK) {
            result = TRELM_ERROR_UNEXPECTED_DATA;
        }
    } else {
        const TRELM_Result status = s.TakeDeviceStatus(reply[0]);
        if (result == TRELM_OK) {
            result = status;
        }
    }
    return result;
}

} // namespace
} // namespace trelm

using trelm::Session;

TRELM_Result TRELM_CopyFileToDeviceWithProgress(const char* localPath, uint32_t attribute,
                                                TRELM_PROGRESS_CALLBACK callback) {
    return Session::Guarded(
        [&](Session& s) { return trelm::CopyToDevice(s, localPath, attribute, callback); });
}

TRELM_Result TRELM_CopyFileToDevice(const char* localPath, uint32_t attribute) {
    return TRELM_CopyFileToDeviceWithProgress(localPath, attribute, trelm::DefaultProgress);
}
