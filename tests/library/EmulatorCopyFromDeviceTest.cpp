// Copy from the device end to end: packets, the device's time stamps on the
// local file, and failures that must not leave or damage local files.
#include "EmulatorLibraryTest.h"
#include "LocalFiles.h"
#include "ProgressLog.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
using library_test::FolderEntries;
using library_test::ReadAll;

namespace {

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('A' + (i * 11) % 26);
    }
    return text;
}

devsim::Timestamp Stamp(uint16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute,
                        uint8_t second) {
    devsim::Timestamp t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.weekday = 0;
    return t;
}

std::array<int, 6> Fields(const devsim::Timestamp& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

std::array<int, 6> LocalModification(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    std::tm tm{};
    localtime_r(&info.st_mtime, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

class LibraryEmulatorCopyFromDevice : public EmulatorLibraryTest {
protected:
    const devsim::Timestamp created = Stamp(2018, 4, 5, 6, 7, 8);
    const devsim::Timestamp modified = Stamp(2022, 9, 10, 11, 12, 13);
    fs::path target = local.Path() / "data.bin";
};

TEST_F(LibraryEmulatorCopyFromDevice, TwoHundredFiftyBytesWithTheSecondStamp) {
    PutFile("data.bin", Pattern(250), 0, created, modified);
    ProgressLog::Reset();
    ASSERT_EQ(TRELM_CopyFileFromDeviceWithProgress("DATA.BIN", target.c_str(), ProgressLog::Record),
              TRELM_OK);

    const std::vector<ProgressLog::Call>& calls = ProgressLog::Calls();
    ASSERT_EQ(calls.size(), 4u);
    const ProgressLog::Call expected[] = {
        {3, 0, 0.0f}, {3, 1, 1.0f / 3}, {3, 2, 2.0f / 3}, {3, 3, 100.0f}};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].total, expected[i].total);
        EXPECT_EQ(calls[i].current, expected[i].current);
        EXPECT_FLOAT_EQ(calls[i].fraction, expected[i].fraction);
    }
    EXPECT_EQ(ReadAll(target), Pattern(250));
    EXPECT_EQ(LocalModification(target), Fields(modified));
    EXPECT_EQ(FolderEntries(local.Path()), std::vector<std::string>{"data.bin"});
    EXPECT_EQ(emulator.openFiles(), 0u); // the read was terminated
}

TEST_F(LibraryEmulatorCopyFromDevice, AllZeroSecondStampGivesTheFirst) {
    devsim::Timestamp zero = Stamp(0, 0, 0, 0, 0, 0);
    PutFile("data.bin", Pattern(30), 0, created, zero);
    ASSERT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()), TRELM_OK);
    EXPECT_EQ(LocalModification(target), Fields(created));
}

TEST_F(LibraryEmulatorCopyFromDevice, HiddenDestinationIsRefusedAfterHandleAndSize) {
    PutFile("data.bin", Pattern(250));
    const fs::path hidden = local.WriteFile(".data.bin", "mine");
    EXPECT_EQ(TRELM_CopyFileFromDevice("data.bin", hidden.c_str()),
              TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN);
    EXPECT_EQ(RequestCodes(),
              (std::vector<uint16_t>{devsim::cmd::GetNvFileHandle, devsim::cmd::GetNvFileSizeEx}));
    EXPECT_EQ(ReadAll(hidden), "mine");
}

TEST_F(LibraryEmulatorCopyFromDevice, CancelTerminatesTheReadAndLeavesNoFile) {
    PutFile("data.bin", Pattern(250));
    ProgressLog::Reset(2);
    EXPECT_EQ(TRELM_CopyFileFromDeviceWithProgress("data.bin", target.c_str(), ProgressLog::Record),
              TRELM_ERROR_FILE_TRANSFER_CANCELLED);
    EXPECT_EQ(RequestCodes().back(), devsim::cmd::ReadNvFileTerminateRead);
    EXPECT_EQ(emulator.openFiles(), 0u);
    EXPECT_TRUE(FolderEntries(local.Path()).empty());
}

TEST_F(LibraryEmulatorCopyFromDevice, FailedCopiesLeaveTheEarlierFileAsItWas) {
    struct Row {
        const char* name;
        const char* fault;
        TRELM_Result result;
    };
    const Row rows[] = {
        {"packet out of sequence", "READ_NV_FILE_DATA_PACKET@2=packet:+1",
         TRELM_ERROR_UNEXPECTED_DATA},
        {"refused read", "READ_NV_FILE=status:4", TRELM_ERROR_DEVICE_ERROR},
        {"refused time stamp query", "NV_FILE_GET_FILE_INFO_ALL_FILES=nak",
         TRELM_ERROR_DEVICE_UNKNOWN_CMD},
    };
    PutFile("data.bin", Pattern(250), 0, created, modified);
    const fs::path old = local.WriteFile("data.bin", "the earlier file, byte for byte\n");
    const auto before = fs::last_write_time(old);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        emulator.clearFaults();
        AddFault(row.fault);
        EXPECT_EQ(TRELM_CopyFileFromDevice("data.bin", old.c_str()), row.result);
        EXPECT_EQ(ReadAll(old), "the earlier file, byte for byte\n");
        EXPECT_EQ(fs::last_write_time(old), before);
        EXPECT_EQ(FolderEntries(local.Path()), std::vector<std::string>{"data.bin"});
    }
}

TEST_F(LibraryEmulatorCopyFromDevice, HangUpMidTransferLeavesNoPartialFile) {
    PutFile("data.bin", Pattern(250));
    AddFault("READ_NV_FILE_DATA_PACKET@2=hangup");
    // The line is gone: no answer comes to any attempt.
    EXPECT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()),
              TRELM_ERROR_COMM_FAILED_TIMEOUT);
    EXPECT_TRUE(server.hungUp());
    EXPECT_TRUE(FolderEntries(local.Path()).empty());
}

} // namespace
