#include "FileInfoRecord.h"

#include "ByteOrder.h"
#include "DeviceTime.h"

#include <cstddef>

// The record is shared with callers compiled elsewhere: its layout is fixed.
static_assert(sizeof(TRELM_SYSTEMTIME) == 16);
static_assert(sizeof(TRELM_FILE_INFO) == TRELM_FILE_INFO_SIZE);
static_assert(offsetof(TRELM_FILE_INFO, StructSize) == 0);
static_assert(offsetof(TRELM_FILE_INFO, FileSize) == 4);
static_assert(offsetof(TRELM_FILE_INFO, FileName) == 8);
static_assert(offsetof(TRELM_FILE_INFO, CreationTime) == 22);
static_assert(offsetof(TRELM_FILE_INFO, LastWriteTime) == 38);
static_assert(offsetof(TRELM_FILE_INFO, Attr) == 56);
static_assert(offsetof(TRELM_FILE_INFO, ReportedSize) == 60);
static_assert(offsetof(TRELM_FILE_INFO, ReportedValue) == 64);
static_assert(offsetof(TRELM_FILE_INFO, FileHandle) == 68);
static_assert(offsetof(TRELM_FILE_INFO, Valid) == 72);

namespace trelm {

namespace {

// File-information reply, payload offsets.
constexpr std::size_t kInfoHandle = 1;
constexpr std::size_t kInfoFileSize = 3;
constexpr std::size_t kInfoFirstStamp = 7;
constexpr std::size_t kInfoSecondStamp = 15;
constexpr std::size_t kInfoAttr = 23;
constexpr std::size_t kInfoReportedSize = 25;
constexpr std::size_t kInfoReportedValue = 29;
constexpr std::size_t kInfoName = 34;

// Listing entry offsets.
constexpr std::size_t kEntryFileSize = 0;
constexpr std::size_t kEntryName = 4;
constexpr std::size_t kEntryFirstStamp = 18;
constexpr std::size_t kEntrySecondStamp = 28;
constexpr std::size_t kEntryAttr = 38;
constexpr std::size_t kEntryReportedSize = 40;
constexpr std::size_t kEntryReportedValue = 44;

constexpr std::size_t kNameBytes = sizeof(TRELM_FILE_INFO::FileName);

} // namespace

void FileInfoRecord::CopyName(TRELM_FILE_INFO& record, std::span<const uint8_t> bytes,
                              std::size_t offset) {
    for (std::size_t i = 0; i + 1 < kNameBytes; ++i) {
        record.FileName[i] = static_cast<char>(LoadU8(bytes, offset + i));
    }
    record.FileName[kNameBytes - 1] = '\0';
}

TRELM_FILE_INFO FileInfoRecord::FromInfoReply(std::span<const uint8_t> payload) {
    TRELM_FILE_INFO record{};
    CopyName(record, payload, kInfoName);
    record.ReportedSize = LoadU32(payload, kInfoReportedSize);
    record.ReportedValue = LoadU32(payload, kInfoReportedValue);
    record.FileSize = LoadU32(payload, kInfoFileSize);
    record.Attr = LoadU16(payload, kInfoAttr);
    record.CreationTime = DeviceTime::Clamped(DeviceTime::FromInfoReply(payload, kInfoFirstStamp));
    record.LastWriteTime =
        DeviceTime::Clamped(DeviceTime::FromInfoReply(payload, kInfoSecondStamp));
    record.FileHandle = LoadU16(payload, kInfoHandle);
    record.Valid = 1;
    return record;
}

TRELM_FILE_INFO FileInfoRecord::FromListingEntry(std::span<const uint8_t> entry) {
    TRELM_FILE_INFO record{};
    CopyName(record, entry, kEntryName);
    record.Attr = LoadU16(entry, kEntryAttr);
    record.ReportedSize = LoadU32(entry, kEntryReportedSize);
    record.FileSize = LoadU32(entry, kEntryFileSize);
    record.ReportedValue = LoadU32(entry, kEntryReportedValue);
    record.CreationTime =
        DeviceTime::Clamped(DeviceTime::FromListingEntry(entry, kEntryFirstStamp));
    record.LastWriteTime =
        DeviceTime::Clamped(DeviceTime::FromListingEntry(entry, kEntrySecondStamp));
    record.FileHandle = -1;
    record.Valid = 1;
    return record;
}

TRELM_FILE_INFO FileInfoRecord::Invalid() {
    TRELM_FILE_INFO record{};
    record.FileHandle = -1;
    record.Valid = 0;
    return record;
}

} // namespace trelm
