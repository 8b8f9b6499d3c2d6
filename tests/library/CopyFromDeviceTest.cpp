// Copy of a device file to a local file over the scripted line: packets and
// progress, the device's time stamps, protected destinations, and failures
// that must leave an earlier local file exactly as it was.
#include "LocalFiles.h"
#include "ScriptedLibraryTest.h"
#include "TempDir.h"

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace library_test;
using trelm::test::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr uint16_t kHandle = 0x1300;
constexpr uint16_t kRead = 0x1302;
constexpr uint16_t kPacket = 0x1304;
constexpr uint16_t kTerminate = 0x1306;
constexpr uint16_t kSize = 0x132F;
constexpr uint16_t kInfo = 0x1341;

constexpr uint16_t kFileHandle = 0x0207;

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + (i * 5) % 26);
    }
    return text;
}

// Data packet reply payload: two unused bytes, packet number, count, data.
Bytes PacketReply(uint16_t number, const std::string& data) {
    return ScriptedDevice::Concat({{0xEE, 0xEE},
                                   U16(number),
                                   {static_cast<uint8_t>(data.size())},
                                   Bytes(data.begin(), data.end())});
}

class LibraryCopyFromDevice : public ScriptedLibraryTest {
protected:
    // The device file the scripted device serves and how it serves it.
    struct DeviceFile {
        std::string content = Pattern(250);
        uint16_t announced = 250; // byte count of the read reply
        uint16_t packets = 3;     // packet count of the read reply
        uint8_t readStatus = 0;
        Stamp first{10, 11, 12, 13, 2, 2019, 3};
        Stamp second{14, 15, 16, 17, 3, 2021, 3};
        // Answer to data packet request `number`; empty: the packet's bytes.
        std::function<Bytes(uint16_t number)> packet;
    };

    void ServeFile(const DeviceFile& file, std::map<uint16_t, Bytes> overrides = {}) {
        FileFacts facts;
        facts.name = "log.txt";
        facts.size = static_cast<uint32_t>(file.content.size());
        facts.handle = kFileHandle;
        facts.first = file.first;
        facts.second = file.second;
        std::map<uint16_t, Bytes> replies = {
            {kHandle, ScriptedDevice::Concat({{0}, U16(kFileHandle)})},
            {kSize, ScriptedDevice::Concat({{0, 0xEE, 0xEE}, U32(facts.size)})},
            {kRead, ScriptedDevice::Concat(
                        {{file.readStatus, 0xEE, 0xEE}, U16(file.announced), U16(file.packets)})},
            {kInfo, InfoReply(0, facts)},
        };
        for (auto& [code, payload] : overrides) {
            replies[code] = payload;
        }
        Serve(replies, [file](const Bytes& request) -> std::optional<Bytes> {
            if (CodeOf(request) != kPacket) {
                return std::nullopt;
            }
            const Bytes payload = PayloadOf(request);
            const auto number = static_cast<uint16_t>(payload[2] | (payload[3] << 8));
            if (file.packet) {
                return file.packet(number);
            }
            const std::size_t from = std::min<std::size_t>(number * 100u, file.content.size());
            return Reply(kPacket, PacketReply(number, file.content.substr(from, 100)));
        });
    }

    static void ExpectProgress(const std::vector<ProgressLog::Call>& expected) {
        const std::vector<ProgressLog::Call>& calls = ProgressLog::Calls();
        ASSERT_EQ(calls.size(), expected.size());
        for (std::size_t i = 0; i < calls.size(); ++i) {
            SCOPED_TRACE("progress call " + std::to_string(i + 1));
            EXPECT_EQ(calls[i].total, expected[i].total);
            EXPECT_EQ(calls[i].current, expected[i].current);
            EXPECT_FLOAT_EQ(calls[i].fraction, expected[i].fraction);
        }
    }

    // The local modification time's calendar fields, as a device stamp would hold them.
    static std::array<int, 6> LocalModification(const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0);
        std::tm local{};
        localtime_r(&info.st_mtime, &local);
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
    }

    static std::array<int, 6> Fields(const Stamp& s) {
        return {s.year, s.month, s.day, s.hour, s.minute, s.second};
    }

    TempDir dir;
    fs::path target = dir.Path() / "log.txt";
};

TEST_F(LibraryCopyFromDevice, TwoHundredFiftyBytesInThreePackets) {
    const DeviceFile file;
    ServeFile(file);
    ASSERT_EQ(TRELM_CopyFileFromDeviceWithProgress("LOG.TXT", target.c_str(), ProgressLog::Record),
              TRELM_OK);

    ExpectProgress({{3, 0, 0.0f}, {3, 1, 1.0f / 3}, {3, 2, 2.0f / 3}, {3, 3, 100.0f}});
    EXPECT_EQ(ReadAll(target), file.content);
    EXPECT_EQ(LocalModification(target), Fields(file.second));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"log.txt"});
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kHandle, kSize, kRead, kPacket, kPacket,
                                                            kPacket, kTerminate, kInfo}));
    // The read announces the size; every request names the handle.
    EXPECT_EQ(PayloadOf(device.Writes()[2]), ScriptedDevice::Concat({U16(kFileHandle), U16(250)}));
    EXPECT_EQ(PayloadOf(device.Writes()[5]), ScriptedDevice::Concat({U16(kFileHandle), U16(2)}));
    EXPECT_EQ(PayloadOf(device.Writes()[6]), U16(kFileHandle));
    EXPECT_EQ(PayloadOf(device.Writes()[7]), (Bytes{7, 'l', 'o', 'g', '.', 't', 'x', 't'}));
}

TEST_F(LibraryCopyFromDevice, AllZeroSecondStampFallsBackToTheFirst) {
    DeviceFile file;
    file.second = {0, 0, 0, 0, 0, 0, 0};
    ServeFile(file);
    ASSERT_EQ(TRELM_CopyFileFromDevice("log.txt", target.c_str()), TRELM_OK);
    EXPECT_EQ(LocalModification(target), Fields(file.first));
}

TEST_F(LibraryCopyFromDevice, StampThatNamesNoMomentKeepsTheTimeOfWriting) {
    DeviceFile file;
    file.first = {24, 0, 0, 1, 13, 2020, 0};
    file.second = {24, 0, 0, 1, 13, 2020, 0};
    ServeFile(file);
    ASSERT_EQ(TRELM_CopyFileFromDevice("log.txt", target.c_str()), TRELM_OK);
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_LT(std::abs(std::difftime(std::time(nullptr), info.st_mtime)), 60.0);
    EXPECT_EQ(ReadAll(target), file.content);
}

TEST_F(LibraryCopyFromDevice, ProtectedDestinationsAreRefusedBeforeTheRead) {
    struct Row {
        const char* name;
        mode_t mode;
    };
    const Row rows[] = {{".hidden", 0644}, {"readonly.txt", 0444}, {".both", 0444}};
    ServeFile(DeviceFile{});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path path = dir.WriteFile(row.name, "keep me");
        ASSERT_EQ(chmod(path.c_str(), row.mode), 0);
        const std::size_t before = device.Writes().size();
        EXPECT_EQ(TRELM_CopyFileFromDevice("log.txt", path.c_str()),
                  TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN);
        EXPECT_EQ(CodesSince(before), (std::vector<uint16_t>{kHandle, kSize}));
        EXPECT_EQ(ReadAll(path), "keep me");
    }
}

TEST_F(LibraryCopyFromDevice, HiddenNameThatDoesNotExistYetIsWritten) {
    ServeFile(DeviceFile{});
    const fs::path path = dir.Path() / ".fresh";
    EXPECT_EQ(TRELM_CopyFileFromDevice("log.txt", path.c_str()), TRELM_OK);
    EXPECT_EQ(ReadAll(path), Pattern(250));
}

TEST_F(LibraryCopyFromDevice, CancelLeavesNoLocalFile) {
    ServeFile(DeviceFile{});
    ProgressLog::Reset(2);
    EXPECT_EQ(TRELM_CopyFileFromDeviceWithProgress("log.txt", target.c_str(), ProgressLog::Record),
              TRELM_ERROR_FILE_TRANSFER_CANCELLED);
    EXPECT_EQ(device.WrittenCodes(),
              (std::vector<uint16_t>{kHandle, kSize, kRead, kPacket, kTerminate}));
    EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

TEST_F(LibraryCopyFromDevice, FailedCopiesLeaveAnEarlierFileAsItWas) {
    const std::string content = Pattern(250);
    struct Row {
        const char* name;
        DeviceFile file;
        std::map<uint16_t, Bytes> overrides;
        int cancelAt;
        TRELM_Result result;
        std::vector<uint16_t> codes;
    };
    const std::vector<uint16_t> wholeRead = {kHandle, kSize,   kRead,     kPacket,
                                             kPacket, kPacket, kTerminate};
    const std::vector<uint16_t> firstPacket = {kHandle, kSize, kRead, kPacket, kTerminate};
    DeviceFile refused;
    refused.readStatus = 4;
    DeviceFile outOfSequence;
    outOfSequence.packet = [](uint16_t number) {
        return Reply(kPacket, PacketReply(static_cast<uint16_t>(number + 1), Pattern(100)));
    };
    DeviceFile tooMuch; // 250 announced, 300 delivered
    tooMuch.content = Pattern(300);
    DeviceFile beyondAtOnce; // 50 announced, the first packet alone brings 100
    beyondAtOnce.announced = 50;
    DeviceFile tooLittle; // 250 announced, 200 delivered
    tooLittle.content = Pattern(200);
    DeviceFile overlong; // a packet that announces more bytes than its frame holds
    overlong.packet = [](uint16_t number) {
        Bytes payload = PacketReply(number, Pattern(40));
        payload[4] = 100;
        return Reply(kPacket, payload);
    };
    DeviceFile nakPacket;
    nakPacket.packet = [](uint16_t) { return ScriptedDevice::Nak(); };
    auto withInfo = wholeRead;
    withInfo.push_back(kInfo);

    const Row rows[] = {
        {"cancel", DeviceFile{}, {}, 2, TRELM_ERROR_FILE_TRANSFER_CANCELLED, firstPacket},
        {"device refuses the read",
         refused,
         {},
         0,
         TRELM_ERROR_DEVICE_ERROR,
         {kHandle, kSize, kRead}},
        {"packet out of sequence", outOfSequence, {}, 0, TRELM_ERROR_UNEXPECTED_DATA, firstPacket},
        {"more bytes than announced", tooMuch, {}, 0, TRELM_ERROR_UNEXPECTED_DATA, wholeRead},
        // Stops at the packet that goes beyond the count, before any byte of
        // it is kept.
        {"first packet beyond the announced count",
         beyondAtOnce,
         {},
         0,
         TRELM_ERROR_UNEXPECTED_DATA,
         firstPacket},
        {"fewer bytes than announced", tooLittle, {}, 0, TRELM_ERROR_UNEXPECTED_DATA, wholeRead},
        {"packet shorter than its count",
         overlong,
         {},
         0,
         TRELM_ERROR_UNEXPECTED_DATA,
         firstPacket},
        {"refused packet", nakPacket, {}, 0, TRELM_ERROR_DEVICE_UNKNOWN_CMD, firstPacket},
        {"time stamp query refused",
         DeviceFile{},
         {{kInfo, {16}}},
         0,
         TRELM_ERROR_DEVICE_ERROR,
         withInfo},
        {"read reply too short",
         DeviceFile{},
         {{kRead, {0, 0xEE, 0xEE, 0xFA}}},
         0,
         TRELM_ERROR_UNEXPECTED_DATA,
         {kHandle, kSize, kRead}},
    };
    const fs::path old = dir.WriteFile("log.txt", "the earlier file\n");
    ASSERT_EQ(chmod(old.c_str(), 0640), 0);
    const std::time_t earlier = 1500000000;
    struct timespec times[2] = {{earlier, 0}, {earlier, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, old.c_str(), times, 0), 0);

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ServeFile(row.file, row.overrides);
        ProgressLog::Reset(row.cancelAt);
        const std::size_t before = device.Writes().size();
        EXPECT_EQ(TRELM_CopyFileFromDeviceWithProgress("log.txt", old.c_str(), ProgressLog::Record),
                  row.result);
        EXPECT_EQ(CodesSince(before), row.codes);
        EXPECT_EQ(ReadAll(old), "the earlier file\n");
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"log.txt"});
        struct stat info {};
        ASSERT_EQ(stat(old.c_str(), &info), 0);
        EXPECT_EQ(info.st_size, 17); // no received byte reached the file
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        EXPECT_EQ(info.st_mtime, earlier);
    }
}

TEST_F(LibraryCopyFromDevice, ReplacedFileKeepsItsPermissions) {
    const fs::path old = dir.WriteFile("log.txt", "old");
    ASSERT_EQ(chmod(old.c_str(), 0604), 0);
    ServeFile(DeviceFile{});
    ASSERT_EQ(TRELM_CopyFileFromDevice("log.txt", old.c_str()), TRELM_OK);
    EXPECT_EQ(ReadAll(old), Pattern(250));
    struct stat info {};
    ASSERT_EQ(stat(old.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
}

TEST_F(LibraryCopyFromDevice, DestinationLinkIsWrittenThrough) {
    const fs::path real = dir.WriteFile("store/real.txt", "old");
    fs::create_symlink(real, target);
    ServeFile(DeviceFile{});
    ASSERT_EQ(TRELM_CopyFileFromDevice("log.txt", target.c_str()), TRELM_OK);
    EXPECT_TRUE(fs::is_symlink(target));
    EXPECT_EQ(ReadAll(real), Pattern(250));
    EXPECT_EQ(FolderEntries(real.parent_path()), std::vector<std::string>{"real.txt"});
}

TEST_F(LibraryCopyFromDevice, UnknownDeviceFileLeavesTheLocalSideAlone) {
    ServeFile(DeviceFile{}, {{kHandle, {16}}});
    EXPECT_EQ(TRELM_CopyFileFromDevice("nofile.txt", target.c_str()), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kHandle}));
    EXPECT_EQ(ExtendedError(), std::make_pair(16u, 0u));
    EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

TEST_F(LibraryCopyFromDevice, UnfitArgumentsAreRefusedWithoutTraffic) {
    ServeFile(DeviceFile{});
    const std::string path = target.string();
    struct Row {
        const char* name;
        std::function<TRELM_Result()> call;
    };
    const Row rows[] = {
        {"empty device name", [&] { return TRELM_CopyFileFromDevice("", path.c_str()); }},
        {"no device name", [&] { return TRELM_CopyFileFromDevice(nullptr, path.c_str()); }},
        {"13 characters", [&] { return TRELM_CopyFileFromDevice("abcdefgh.text", path.c_str()); }},
        {"empty local path", [&] { return TRELM_CopyFileFromDevice("log.txt", ""); }},
        {"no local path", [&] { return TRELM_CopyFileFromDevice("log.txt", nullptr); }},
        {"no callback",
         [&] { return TRELM_CopyFileFromDeviceWithProgress("log.txt", path.c_str(), nullptr); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.call(), TRELM_ERROR_BAD_PARAMETERS);
    }
    EXPECT_TRUE(device.Writes().empty());
    CloseSession();
    EXPECT_EQ(TRELM_CopyFileFromDevice("log.txt", path.c_str()), TRELM_ERROR_COMPORT_NOT_OPENED);
}

TEST_F(LibraryCopyFromDevice, DestinationThatCannotBeCreatedIsRefusedBeforeTheRead) {
    ServeFile(DeviceFile{});
    const fs::path folder = dir.MakeDir("sub.txt");
    const fs::path missing = dir.Path() / "nowhere" / "log.txt";
    for (const fs::path& path : {folder, missing}) {
        SCOPED_TRACE(path.string());
        const std::size_t before = device.Writes().size();
        EXPECT_EQ(TRELM_CopyFileFromDevice("log.txt", path.c_str()),
                  TRELM_ERROR_PC_FILENAME_INVALID);
        EXPECT_EQ(CodesSince(before), (std::vector<uint16_t>{kHandle, kSize}));
    }
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"sub.txt"});
}

TEST_F(LibraryCopyFromDevice, EmptyDeviceFileStillAsksForPacketZero) {
    DeviceFile file;
    file.content.clear();
    file.announced = 0;
    file.packets = 0;
    ServeFile(file);
    ASSERT_EQ(TRELM_CopyFileFromDeviceWithProgress("log.txt", target.c_str(), ProgressLog::Record),
              TRELM_OK);
    ExpectProgress({{0, 0, 0.0f}, {0, 0, 100.0f}});
    EXPECT_EQ(device.WrittenCodes(),
              (std::vector<uint16_t>{kHandle, kSize, kRead, kPacket, kTerminate, kInfo}));
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST_F(LibraryCopyFromDevice, EmptyDeviceFileWithAFailedPacketNeverDividesByZero) {
    DeviceFile file;
    file.content.clear();
    file.announced = 0;
    file.packets = 0;
    file.packet = [](uint16_t) { return ScriptedDevice::Nak(); };
    ServeFile(file);
    EXPECT_EQ(TRELM_CopyFileFromDeviceWithProgress("log.txt", target.c_str(), ProgressLog::Record),
              TRELM_ERROR_DEVICE_UNKNOWN_CMD);
    ExpectProgress({{0, 0, 0.0f}, {0, 0, 0.0f}});
    EXPECT_FALSE(fs::exists(target));
}

} // namespace
