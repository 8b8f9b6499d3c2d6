// Handle, existence, size, file information and deletion over the scripted line.
#include "ScriptedLibraryTest.h"

#include <cstring>
#include <functional>
#include <string>

using namespace library_test;

namespace {

constexpr uint16_t kGetHandle = 0x1300;
constexpr uint16_t kDelete = 0x1323;
constexpr uint16_t kDeleteProtected = 0x1325;
constexpr uint16_t kExist = 0x1327;
constexpr uint16_t kExistEx = 0x1329;
constexpr uint16_t kSize = 0x132F;
constexpr uint16_t kInfoEx = 0x133F;
constexpr uint16_t kInfoAllFilesEx = 0x1343;

const char* const kThirteen = "abcdefgh.text"; // 13 characters

class LibraryFileQueries : public ScriptedLibraryTest {};

TEST_F(LibraryFileQueries, UnfitArgumentsAreRefusedWithoutTraffic) {
    uint32_t out = 0xAAAA;
    struct Row {
        const char* name;
        std::function<TRELM_Result()> call;
    };
    const Row rows[] = {
        {"exists with flag 2", [&] { return TRELM_FileExists("a.txt", 2, &out); }},
        {"exists without a name", [&] { return TRELM_FileExists(nullptr, 0, &out); }},
        {"exists without an out-value", [&] { return TRELM_FileExists("a.txt", 0, nullptr); }},
        {"exists with 13 characters", [&] { return TRELM_FileExists(kThirteen, 0, &out); }},
        {"handle without a name", [&] { return TRELM_GetFileHandleFromFileName(nullptr, &out); }},
        {"handle without an out-value",
         [&] { return TRELM_GetFileHandleFromFileName("a.txt", nullptr); }},
        {"handle with 13 characters",
         [&] { return TRELM_GetFileHandleFromFileName(kThirteen, &out); }},
        {"size without an out-value", [&] { return TRELM_GetFileSizeFromFileHandle(1, nullptr); }},
        {"info without a record", [&] { return TRELM_GetFileInfoFromFileHandle(1, nullptr, 0); }},
        {"delete with flag 2", [&] { return TRELM_DeleteFile("a.txt", 2); }},
        {"delete without a name", [&] { return TRELM_DeleteFile(nullptr, 0); }},
        {"delete with 13 characters", [&] { return TRELM_DeleteFile(kThirteen, 1); }},
    };
    Serve({});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.call(), TRELM_ERROR_BAD_PARAMETERS);
    }
    EXPECT_TRUE(device.Writes().empty());
    EXPECT_EQ(out, 0xAAAAu);
}

TEST_F(LibraryFileQueries, NoSessionMeansNoPort) {
    CloseSession();
    uint32_t out = 0;
    TRELM_FILE_INFO info{};
    info.StructSize = TRELM_FILE_INFO_SIZE;
    EXPECT_EQ(TRELM_GetFileHandleFromFileName("a.txt", &out), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_EQ(TRELM_FileExists("a.txt", 1, &out), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_EQ(TRELM_GetFileSizeFromFileHandle(1, &out), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_EQ(TRELM_GetFileInfoFromFileHandle(1, &info, 0), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_EQ(TRELM_DeleteFile("a.txt", 0), TRELM_ERROR_COMPORT_NOT_OPENED);
}

TEST_F(LibraryFileQueries, HandleQuerySendsTheNameLowered) {
    Serve({{kGetHandle, {0x00, 0x34, 0x12}}});
    uint32_t handle = 0;
    ASSERT_EQ(TRELM_GetFileHandleFromFileName("ABC.TXT", &handle), TRELM_OK);
    EXPECT_EQ(handle, 0x1234u);
    ASSERT_EQ(device.Writes().size(), 1u);
    EXPECT_EQ(device.Writes()[0],
              (Bytes{0x00, 0x13, 0x08, 0x07, 'a', 'b', 'c', '.', 't', 'x', 't', 0xD6, 0x02}));
    EXPECT_EQ(ExtendedError(), std::make_pair(0u, 0u));
}

TEST_F(LibraryFileQueries, ExistenceComesFromTheThirdByteOfTheRightCommand) {
    struct Row {
        const char* name;
        uint32_t flag;
        uint16_t code;
        uint8_t present;
    };
    const Row rows[] = {
        {"plain, present", 0, kExist, 1},
        {"plain, absent", 0, kExist, 0},
        {"extended, present", 1, kExistEx, 1},
        {"extended, absent", 1, kExistEx, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Only the command the flag selects gets a reply.
        Serve({{row.code, {0x00, 0x77, row.present}}});
        uint32_t exists = 0xAA;
        ASSERT_EQ(TRELM_FileExists("a.txt", row.flag, &exists), TRELM_OK);
        EXPECT_EQ(exists, row.present);
        EXPECT_EQ(device.WrittenCodes().back(), row.code);
    }
}

TEST_F(LibraryFileQueries, SizeTravelsWithTheHandleAndComesFromBytesThreeToSix) {
    Serve({{kSize, {0x00, 0xEE, 0xEE, 0x78, 0x56, 0x34, 0x12}}});
    uint32_t size = 0;
    ASSERT_EQ(TRELM_GetFileSizeFromFileHandle(0x10302, &size), TRELM_OK);
    EXPECT_EQ(size, 0x12345678u);
    // Only the low 16 bits of the handle travel.
    EXPECT_EQ(PayloadOf(device.Writes().at(0)), (Bytes{0x02, 0x03}));
}

TEST_F(LibraryFileQueries, DeviceStatusBecomesDeviceErrorAndKeepsOutValues) {
    Serve({{kGetHandle, {0x10}}, {kSize, {0x0A}}});
    uint32_t out = 0xAAAA;
    EXPECT_EQ(TRELM_GetFileHandleFromFileName("gone.txt", &out), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(ExtendedError(), std::make_pair(16u, 0u));
    EXPECT_EQ(TRELM_GetFileSizeFromFileHandle(9, &out), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(ExtendedError(), std::make_pair(10u, 0u));
    EXPECT_EQ(out, 0xAAAAu);
}

TEST_F(LibraryFileQueries, RefusedCommandMapsItsLinkStatus) {
    device.SetResponder([](const Bytes&) { return ScriptedDevice::Nak(); });
    uint32_t out = 0;
    EXPECT_EQ(TRELM_FileExists("a.txt", 0, &out), TRELM_ERROR_DEVICE_UNKNOWN_CMD);
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 4u));
    EXPECT_EQ(device.Writes().size(), 1u);
}

FileFacts SampleFile() {
    FileFacts f;
    f.name = "config.bin";
    f.size = 1234;
    f.handle = 0x0102;
    f.first = {10, 20, 30, 4, 5, 2021, 2};
    f.second = {11, 21, 31, 6, 7, 2022, 3};
    f.attr = 0x8003;
    f.reportedSize = 0x01020304;
    f.reportedValue = 0xA0B0C0D0;
    return f;
}

TEST_F(LibraryFileQueries, InfoFillsTheRecordFromTheReply) {
    struct Row {
        const char* name;
        uint32_t flag;
        uint16_t code;
    };
    const Row rows[] = {{"flag 0", 0, kInfoEx},
                        {"flag 1", 1, kInfoAllFilesEx},
                        {"any other flag", 7, kInfoAllFilesEx}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Serve({{row.code, InfoReply(0, SampleFile())}});
        TRELM_FILE_INFO info{};
        std::memset(&info, 0x5A, sizeof info);
        info.StructSize = TRELM_FILE_INFO_SIZE;
        ASSERT_EQ(TRELM_GetFileInfoFromFileHandle(0x0102, &info, row.flag), TRELM_OK);
        EXPECT_EQ(device.WrittenCodes().back(), row.code);
        EXPECT_EQ(info.StructSize, 0u);
        EXPECT_EQ(info.FileSize, 1234u);
        EXPECT_STREQ(info.FileName, "config.bin");
        EXPECT_EQ(info.CreationTime.wYear, 2021);
        EXPECT_EQ(info.CreationTime.wMonth, 5);
        EXPECT_EQ(info.CreationTime.wDay, 4);
        EXPECT_EQ(info.CreationTime.wDayOfWeek, 2);
        EXPECT_EQ(info.CreationTime.wHour, 10);
        EXPECT_EQ(info.CreationTime.wMinute, 20);
        EXPECT_EQ(info.CreationTime.wSecond, 30);
        EXPECT_EQ(info.CreationTime.wMilliseconds, 0);
        EXPECT_EQ(info.LastWriteTime.wYear, 2022);
        EXPECT_EQ(info.LastWriteTime.wMonth, 7);
        EXPECT_EQ(info.LastWriteTime.wDay, 6);
        EXPECT_EQ(info.LastWriteTime.wHour, 11);
        EXPECT_EQ(info.Attr, 0x8003u);
        EXPECT_EQ(info.ReportedSize, 0x01020304u);
        EXPECT_EQ(info.ReportedValue, 0xA0B0C0D0u);
        EXPECT_EQ(info.FileHandle, 0x0102);
        EXPECT_EQ(info.Valid, 1u);
    }
}

TEST_F(LibraryFileQueries, OutOfRangeStampFieldsTakeTheirReplacements) {
    FileFacts f = SampleFile();
    f.first = {24, 60, 60, 0, 13, 1969, 7};  // every field out of range
    f.second = {23, 59, 59, 31, 2, 2038, 6}; // every field at its upper bound
    Serve({{kInfoEx, InfoReply(0, f)}});
    TRELM_FILE_INFO info{};
    info.StructSize = TRELM_FILE_INFO_SIZE;
    ASSERT_EQ(TRELM_GetFileInfoFromFileHandle(1, &info, 0), TRELM_OK);
    const TRELM_SYSTEMTIME& c = info.CreationTime;
    EXPECT_EQ((std::array<int, 7>{c.wYear, c.wMonth, c.wDay, c.wDayOfWeek, c.wHour, c.wMinute,
                                  c.wSecond}),
              (std::array<int, 7>{2000, 1, 1, 0, 0, 0, 0}));
    // No check across fields: 31 February stays.
    const TRELM_SYSTEMTIME& w = info.LastWriteTime;
    EXPECT_EQ((std::array<int, 7>{w.wYear, w.wMonth, w.wDay, w.wDayOfWeek, w.wHour, w.wMinute,
                                  w.wSecond}),
              (std::array<int, 7>{2038, 2, 31, 6, 23, 59, 59}));
}

TEST_F(LibraryFileQueries, AnUnterminatedNameIsCutToTwelveCharacters) {
    FileFacts f = SampleFile();
    f.name = "abcdefghijklm"; // 13 bytes, no terminator from the device
    Serve({{kInfoEx, InfoReply(0, f)}});
    TRELM_FILE_INFO info{};
    info.StructSize = TRELM_FILE_INFO_SIZE;
    ASSERT_EQ(TRELM_GetFileInfoFromFileHandle(1, &info, 0), TRELM_OK);
    EXPECT_EQ(std::string(info.FileName, strnlen(info.FileName, sizeof info.FileName)),
              "abcdefghijkl");
}

TEST_F(LibraryFileQueries, InfoAfterADeviceErrorHandsBackAnInvalidRecord) {
    Serve({{kInfoEx, {0x0A}}});
    TRELM_FILE_INFO info{};
    std::memset(&info, 0x5A, sizeof info);
    info.StructSize = TRELM_FILE_INFO_SIZE;
    EXPECT_EQ(TRELM_GetFileInfoFromFileHandle(3, &info, 0), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(info.StructSize, 0u);
    EXPECT_EQ(info.Valid, 0u);
    EXPECT_EQ(info.FileHandle, -1);
    EXPECT_EQ(info.FileSize, 0u);
    EXPECT_EQ(info.FileName[0], '\0');
    EXPECT_EQ(ExtendedError(), std::make_pair(10u, 0u));
}

TEST_F(LibraryFileQueries, WrongRecordSizeIsJudgedAfterTheDeviceWasAsked) {
    struct Row {
        const char* name;
        uint8_t status;
        uint32_t structSize;
    };
    const Row rows[] = {
        {"success, size 0", 0, 0}, {"success, size 75", 0, 75}, {"device error, size 0", 0x0A, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t before = device.Writes().size();
        Serve({{kInfoEx, InfoReply(row.status, SampleFile())}});
        TRELM_FILE_INFO info{};
        std::memset(&info, 0x5A, sizeof info);
        info.StructSize = row.structSize;
        TRELM_FILE_INFO untouched = info;
        EXPECT_EQ(TRELM_GetFileInfoFromFileHandle(3, &info, 0), TRELM_ERROR_BAD_PARAMETERS);
        EXPECT_EQ(device.Writes().size(), before + 1);
        EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0);
    }
}

TEST_F(LibraryFileQueries, DeleteUsesTheCommandOfItsFlag) {
    struct Row {
        const char* name;
        uint32_t flag;
        uint16_t code;
        uint8_t status;
        TRELM_Result result;
    };
    const Row rows[] = {
        {"plain, deleted", 0, kDelete, 0, TRELM_OK},
        {"plain, write-protected", 0, kDelete, 11, TRELM_ERROR_DEVICE_ERROR},
        {"write-protected variant", 1, kDeleteProtected, 0, TRELM_OK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Serve({{row.code, {row.status}}});
        EXPECT_EQ(TRELM_DeleteFile("Locked.Dat", row.flag), row.result);
        EXPECT_EQ(device.WrittenCodes().back(), row.code);
        EXPECT_EQ(PayloadOf(device.Writes().back()),
                  (Bytes{10, 'l', 'o', 'c', 'k', 'e', 'd', '.', 'd', 'a', 't'}));
        EXPECT_EQ(ExtendedError(), std::make_pair(uint32_t{row.status}, 0u));
    }
}

} // namespace
