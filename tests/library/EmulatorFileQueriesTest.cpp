// Queries and deletion end to end against the emulator.
#include "EmulatorLibraryTest.h"

#include <array>
#include <cstring>

namespace {

class LibraryEmulatorFileQueries : public EmulatorLibraryTest {};

TEST_F(LibraryEmulatorFileQueries, ExistsWithFlagTwoSendsNothing) {
    uint32_t exists = 7;
    EXPECT_EQ(TRELM_FileExists("a.txt", 2, &exists), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(exists, 7u);
    EXPECT_TRUE(emulator.requestLog().empty());
}

TEST_F(LibraryEmulatorFileQueries, ExistenceOfShownAndHiddenFiles) {
    PutFile("shown.txt", "1");
    PutFile("hidden.txt", "2", 0x0002);
    struct Row {
        const char* name;
        uint32_t flag;
        uint32_t exists;
    };
    const Row rows[] = {
        {"shown.txt", 0, 1}, {"hidden.txt", 0, 0}, {"hidden.txt", 1, 1}, {"absent.txt", 1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " flag " + std::to_string(row.flag));
        uint32_t exists = 7;
        ASSERT_EQ(TRELM_FileExists(row.name, row.flag, &exists), TRELM_OK);
        EXPECT_EQ(exists, row.exists);
    }
}

TEST_F(LibraryEmulatorFileQueries, UpperCaseNamesAreSentLowered) {
    PutFile("config.bin", "12345");
    uint32_t handle = 0;
    ASSERT_EQ(TRELM_GetFileHandleFromFileName("CONFIG.BIN", &handle), TRELM_OK);
    EXPECT_EQ(handle, emulator.handleOf("config.bin").value());
    uint32_t size = 0;
    ASSERT_EQ(TRELM_GetFileSizeFromFileHandle(handle, &size), TRELM_OK);
    EXPECT_EQ(size, 5u);
}

TEST_F(LibraryEmulatorFileQueries, OutOfRangeStampIsClampedInTheRecord) {
    devsim::Timestamp odd;
    odd.month = 13;
    odd.hour = 24;
    odd.year = 1969;
    odd.day = 9;
    odd.minute = 30;
    PutFile("odd.txt", "x", 0, odd, odd);
    const uint32_t handle = emulator.handleOf("odd.txt").value();
    TRELM_FILE_INFO info{};
    info.StructSize = TRELM_FILE_INFO_SIZE;
    ASSERT_EQ(TRELM_GetFileInfoFromFileHandle(handle, &info, 0), TRELM_OK);
    EXPECT_STREQ(info.FileName, "odd.txt");
    EXPECT_EQ(info.CreationTime.wMonth, 1);
    EXPECT_EQ(info.CreationTime.wHour, 0);
    EXPECT_EQ(info.CreationTime.wYear, 2000);
    EXPECT_EQ(info.CreationTime.wDay, 9);
    EXPECT_EQ(info.CreationTime.wMinute, 30);
    EXPECT_EQ(info.FileHandle, static_cast<int32_t>(handle));
    EXPECT_EQ(info.Valid, 1u);
}

TEST_F(LibraryEmulatorFileQueries, InfoAfterADeviceErrorIsMarkedInvalid) {
    TRELM_FILE_INFO info{};
    std::memset(&info, 0x5A, sizeof info);
    info.StructSize = TRELM_FILE_INFO_SIZE;
    EXPECT_EQ(TRELM_GetFileInfoFromFileHandle(0x7777, &info, 1), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(info.StructSize, 0u);
    EXPECT_EQ(info.Valid, 0u);
    EXPECT_EQ(info.FileHandle, -1);
    EXPECT_EQ(ExtendedError(), std::make_pair(10u, 0u)); // handle unknown
}

TEST_F(LibraryEmulatorFileQueries, DeletingAWriteProtectedFile) {
    PutFile("locked.dat", "x", 0x0001);
    EXPECT_EQ(TRELM_DeleteFile("locked.dat", 0), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(ExtendedError(), std::make_pair(11u, 0u));
    EXPECT_TRUE(emulator.file("locked.dat").has_value());
    EXPECT_EQ(TRELM_DeleteFile("LOCKED.DAT", 1), TRELM_OK);
    EXPECT_FALSE(emulator.file("locked.dat").has_value());
}

TEST_F(LibraryEmulatorFileQueries, OverlongNamesNeverReachTheLine) {
    uint32_t out = 0;
    EXPECT_EQ(TRELM_GetFileHandleFromFileName("abcdefghi.txt", &out), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_DeleteFile("abcdefghi.txt", 0), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_CopyFileFromDevice("abcdefghi.txt", "/tmp/x"), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_TRUE(emulator.requestLog().empty());
}

} // namespace
