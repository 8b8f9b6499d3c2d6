// Copy of one device file to a local file. The data is collected in memory,
// written to a temporary file beside the destination and renamed over it
// only when everything succeeded, with the device's time stamps applied.
#include "ByteOrder.h"
#include "Debug.h"
#include "DeviceName.h"
#include "DeviceProtocol.h"
#include "DeviceTime.h"
#include "FileQueries.h"
#include "Session.h"
#include "StagedFile.h"
#include "trelm.h"

#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace trelm {
namespace {

// READ_NV_FILE reply: status, two unused bytes, byte count u16, packet count u16.
constexpr std::size_t kByteCountInReply = 3;
constexpr std::size_t kPacketCountInReply = 5;
constexpr std::size_t kReadReplySize = 7;
// Data packet reply: two unused bytes, packet number u16, byte count u8, data.
constexpr std::size_t kPacketNumberInReply = 2;
constexpr std::size_t kDataCountInReply = 4;
constexpr std::size_t kDataInReply = 5;
// File-information reply: the two time stamps.
constexpr std::size_t kFirstStampInReply = 7;
constexpr std::size_t kSecondStampInReply = 15;

int32_t DefaultProgress(int32_t, int32_t, float) {
    return 1;
}

bool IsEmpty(const char* text) {
    return text == nullptr || *text == '\0';
}

// A destination the user has protected: it exists and is read-only (owner
// write bit clear) or hidden (its name starts with a dot).
bool IsProtected(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0) {
        return false;
    }
    const bool readOnly = (info.st_mode & S_IWUSR) == 0;
    const bool hidden = DeviceName::StripDirectory(path).starts_with('.');
    return readOnly || hidden;
}

// An existing destination that could not be replaced by a file: a folder or
// something else that is not a regular file, or one the caller may not write.
bool CannotBeWritten(const char* path) {
    struct stat info {};
    if (::stat(path, &info) != 0) {
        return false;
    }
    return !S_ISREG(info.st_mode) || ::access(path, W_OK) != 0;
}

// Fetches the packets of an open read and appends their bytes to `data`,
// which has room reserved for the announced count. Bytes are only ever
// appended, so a device that delivers more than it announced can never
// write past the buffer: the copy fails as soon as the count is exceeded.
TRELM_Result ReceivePackets(Session& s, uint32_t handle, uint16_t packets, std::size_t announced,
                            std::vector<uint8_t>& data, TRELM_PROGRESS_CALLBACK callback) {
    uint32_t i = 0;
    bool done = false;
    TRELM_Result result = TRELM_OK;
    do {
        result = s.CheckReply(s.protocol->ReadNvFileDataPacket(handle, static_cast<uint16_t>(i)));
        if (result == TRELM_OK) {
            const std::span<const uint8_t> payload = s.ReplyPayload();
            const std::size_t count = LoadU8(payload, kDataCountInReply);
            if (payload.size() < kDataInReply || LoadU16(payload, kPacketNumberInReply) != i) {
                result = TRELM_ERROR_UNEXPECTED_DATA; // lost or out of sequence
            } else if (count > payload.size() - kDataInReply || count > announced - data.size()) {
                // The frame does not hold the bytes it announces, or they go
                // beyond what the read announced.
                result = TRELM_ERROR_UNEXPECTED_DATA;
            } else {
                const auto first = payload.begin() + kDataInReply;
                data.insert(data.end(), first, first + static_cast<std::ptrdiff_t>(count));
                ++i;
                // With no packets announced, packet 0 still ends the read.
                done = i >= packets;
                if (done && data.size() != announced) {
                    // Fewer bytes than announced: the file would have a hole.
                    result = TRELM_ERROR_UNEXPECTED_DATA;
                }
            }
        }

        // Progress after every pass, also after a failed one; a cancel then
        // takes the place of the failure.
        if (done) {
            callback(packets, packets, 100.0f);
        } else {
            const float fraction =
                packets == 0 ? 0.0f : static_cast<float>(i) / static_cast<float>(packets);
            if (callback(packets, static_cast<int32_t>(i), fraction) == 0) {
                result = TRELM_ERROR_FILE_TRANSFER_CANCELLED;
            }
        }
    } while (result == TRELM_OK && !done);
    return result;
}

// Gives the written file the device's second time stamp (the first when the
// second is all zeros) as its modification time. A stamp that names no
// moment leaves the time of writing; that is not a failure.
TRELM_Result ApplyDeviceTimes(Session& s, const char* name, StagedFile& staged) {
    const TRELM_Result result = s.CheckStatusReply(s.protocol->NvFileGetFileInfoAllFiles(name));
    if (result != TRELM_OK) {
        return result;
    }
    const std::span<const uint8_t> payload = s.ReplyPayload();
    const DeviceTime::Stamp first = DeviceTime::FromInfoReply(payload, kFirstStampInReply);
    DeviceTime::Stamp second = DeviceTime::FromInfoReply(payload, kSecondStampInReply);
    if (second.IsAllZero()) {
        second = first;
    }
    // Linux keeps no creation time; only the modification time is set.
    if (const std::optional<std::time_t> when = DeviceTime::ToPosixTime(second)) {
        staged.SetModificationTime(*when);
    }
    return TRELM_OK;
}

TRELM_Result CopyFromDevice(Session& s, const char* name, const char* localPath,
                            TRELM_PROGRESS_CALLBACK callback) {
    s.ResetExtendedError();
    if (IsEmpty(name) || !DeviceName::Fits(name) || IsEmpty(localPath) || callback == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }

    uint32_t handle = 0;
    TRELM_Result result = FileHandleFromName(s, name, &handle);
    if (result != TRELM_OK) {
        return result;
    }
    uint32_t size = 0;
    result = FileSizeFromHandle(s, handle, &size);
    if (result != TRELM_OK) {
        return result;
    }

    if (IsProtected(localPath)) {
        return TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN;
    }
    // The data goes to a new file beside the destination; the destination
    // itself is replaced only by a complete copy.
    StagedFile staged(localPath);
    if (CannotBeWritten(localPath) || !staged.Create()) {
        return TRELM_ERROR_PC_FILENAME_INVALID;
    }

    result = s.CheckStatusReply(s.protocol->ReadNvFile(handle, static_cast<uint16_t>(size)));
    if (result == TRELM_OK && s.ReplyPayload().size() < kReadReplySize) {
        result = TRELM_ERROR_UNEXPECTED_DATA;
    }
    if (result != TRELM_OK) {
        return result; // the temporary file goes with `staged`
    }
    const std::span<const uint8_t> readReply = s.ReplyPayload();
    const uint16_t announced = LoadU16(readReply, kByteCountInReply);
    const uint16_t packets = LoadU16(readReply, kPacketCountInReply);

    std::vector<uint8_t> data;
    try {
        data.reserve(announced);
    } catch (const std::bad_alloc&) {
        return TRELM_ERROR_OUT_OF_MEMORY;
    }
    DebugPrint("Copying '%s' from the device: %u bytes in %u packets\n", name,
               static_cast<unsigned>(announced), static_cast<unsigned>(packets));

    callback(packets, 0, 0.0f);
    result = ReceivePackets(s, handle, packets, announced, data, callback);
    if (result == TRELM_OK && !staged.Write(data.data(), data.size())) {
        result = TRELM_ERROR_PC_FILE_IO_FAILED;
    }
    // The device keeps the file open for reading until told otherwise.
    const bool terminated = s.protocol->ReadNvFileTerminateRead(handle);
    if (!terminated && result == TRELM_OK) {
        result = s.MapFailedCommand();
    }
    if (!staged.Close() && result == TRELM_OK) {
        result = TRELM_ERROR_PC_FILE_IO_FAILED;
    }

    if (result == TRELM_OK) {
        result = ApplyDeviceTimes(s, name, staged);
    }
    if (result == TRELM_OK && !staged.Commit()) {
        result = TRELM_ERROR_PC_FILE_IO_FAILED;
    }
    // On any failure `staged` removes its file; an earlier file at the
    // destination is left exactly as it was.
    return result;
}

} // namespace
} // namespace trelm

using trelm::Session;

TRELM_Result TRELM_CopyFileFromDeviceWithProgress(const char* deviceName, const char* localPath,
                                                  TRELM_PROGRESS_CALLBACK callback) {
    return Session::Guarded(
        [&](Session& s) { return trelm::CopyFromDevice(s, deviceName, localPath, callback); });
}

TRELM_Result TRELM_CopyFileFromDevice(const char* deviceName, const char* localPath) {
    return TRELM_CopyFileFromDeviceWithProgress(deviceName, localPath, trelm::DefaultProgress);
}
