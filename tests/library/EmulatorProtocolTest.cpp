// The framed exchange and the session functions end to end: the emulator on
// a real pseudo-terminal, misbehaving on purpose where a row says so.
#include "EmulatorLibraryTest.h"
#include "PtyPair.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

class LibraryEmulatorProtocol : public EmulatorLibraryTest {};

TEST_F(LibraryEmulatorProtocol, GoodDeviceAnswersEveryCommandAtTheFirstAttempt) {
    PutFile("a.txt", std::string(700, 'a'));
    TRELM_STATISTICS stats{};
    stats.StructSize = TRELM_STATISTICS_SIZE;
    ASSERT_EQ(TRELM_GetStatistics(&stats), TRELM_OK);
    const devsim::DeviceConfig config = emulator.config();
    EXPECT_EQ(stats.StructSize, 0u);
    EXPECT_EQ(stats.OpenFiles, 0u);
    EXPECT_EQ(stats.MaxOpenFiles, config.maxOpenFiles);
    EXPECT_EQ(stats.TotalAllocatedBufferSize, config.totalBufferSize);
    EXPECT_EQ(stats.SpaceInUse, 700u);
    EXPECT_EQ(stats.AllocatedFileSpace, config.maxTotalBytes);

    uint32_t exists = 0;
    ASSERT_EQ(TRELM_FileExists("a.txt", 0, &exists), TRELM_OK);
    EXPECT_EQ(exists, 1u);
    // Six commands, six request frames.
    EXPECT_EQ(emulator.requestLog().size(), 6u);
    for (const auto& [code, count] : emulator.requestCounts()) {
        EXPECT_EQ(count, 1u) << devsim::CommandTable::label(code);
    }
}

TEST_F(LibraryEmulatorProtocol, FaultedExchanges) {
    struct Row {
        const char* fault;
        TRELM_Result result;
        uint64_t transmissions;
        uint32_t linkStatus;
    };
    const Row rows[] = {
        {"NV_FILE_EXIST=nak", TRELM_ERROR_DEVICE_UNKNOWN_CMD, 1, 4},
        {"NV_FILE_EXIST=word:0x0F80", TRELM_ERROR_COMM_FAILED_CHKSUM, 3, 2},
        {"NV_FILE_EXIST=badsum", TRELM_ERROR_COMM_FAILED_CHKSUM, 3, 2},
        {"NV_FILE_EXIST=wrongcode", TRELM_ERROR_UNEXPECTED_DATA, 1, 3},
    };
    PutFile("a.txt", "x");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        emulator.clearFaults();
        emulator.resetCounters();
        AddFault(row.fault);
        uint32_t exists = 7;
        EXPECT_EQ(TRELM_FileExists("a.txt", 0, &exists), row.result);
        EXPECT_EQ(exists, 7u);
        EXPECT_EQ(emulator.requestCount(devsim::cmd::NvFileExist), row.transmissions);
        EXPECT_EQ(ExtendedError(), std::make_pair(27u, row.linkStatus));
    }
}

TEST_F(LibraryEmulatorProtocol, LateBytesNeverReachTheNextExchange) {
    PutFile("a.txt", "x");
    AddFault("NV_FILE_EXIST@1=extra:9");
    uint32_t exists = 0;
    ASSERT_EQ(TRELM_FileExists("a.txt", 0, &exists), TRELM_OK);
    EXPECT_EQ(exists, 1u);
    exists = 7;
    ASSERT_EQ(TRELM_FileExists("b.txt", 0, &exists), TRELM_OK);
    EXPECT_EQ(exists, 0u);
    uint32_t handle = 0;
    ASSERT_EQ(TRELM_GetFileHandleFromFileName("a.txt", &handle), TRELM_OK);
    EXPECT_EQ(handle, emulator.handleOf("a.txt").value());
    EXPECT_EQ(emulator.requestLog().size(), 3u);
}

TEST_F(LibraryEmulatorProtocol, InitWithAPortNumberSendsNothing) {
    std::filesystem::create_symlink(server.slavePath(), ports.Path() / "com3");
    ASSERT_EQ(TRELM_Init(3, ""), TRELM_OK);
    uint32_t port = 0;
    char text[64] = {};
    uint32_t length = sizeof text;
    ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
    EXPECT_EQ(port, 3u);
    EXPECT_STREQ(text, TRELM_DEFAULT_MODE);
    // The line keeps the order of frames: once the device has answered a
    // later request, anything Init had sent would already be in the log.
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    ASSERT_EQ(TRELM_GetConnectedDeviceInfo(&value1, &value2), TRELM_OK);
    EXPECT_EQ(RequestCodes(), std::vector<uint16_t>{devsim::cmd::WakeUpDut});
}

TEST_F(LibraryEmulatorProtocol, SearchPassesASilentPortAndFindsTheEmulator) {
    trelm::test::PtyPair silent;
    silent.LinkAs(ports.Path(), 2);
    CloseSession(); // the search opens COM7 itself
    ASSERT_EQ(TRELM_Init(0, nullptr), TRELM_OK);
    uint32_t port = 0;
    char text[64] = {};
    uint32_t length = sizeof text;
    ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
    EXPECT_EQ(port, kComPort);
    // The silent port heard the wake-up requests and never answered.
    EXPECT_FALSE(silent.ReadMaster(6, 200ms).empty());
    EXPECT_EQ(emulator.requestCount(devsim::cmd::WakeUpDut), 1u);
}

TEST_F(LibraryEmulatorProtocol, StatisticsRefusedAtTheFirstCommand) {
    AddFault("GET_NUMBER_OF_OPEN_NV_FILES=nak");
    TRELM_STATISTICS stats{};
    stats.StructSize = TRELM_STATISTICS_SIZE;
    stats.OpenFiles = 99;
    stats.SpaceInUse = 99;
    EXPECT_EQ(TRELM_GetStatistics(&stats), TRELM_ERROR_DEVICE_UNKNOWN_CMD);
    EXPECT_EQ(stats.StructSize, 0u);
    EXPECT_EQ(stats.OpenFiles, 0u);
    EXPECT_EQ(stats.MaxOpenFiles, 0u);
    EXPECT_EQ(stats.TotalAllocatedBufferSize, 0u);
    EXPECT_EQ(stats.SpaceInUse, 0u);
    EXPECT_EQ(stats.AllocatedFileSpace, 0u);
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 4u));
    EXPECT_EQ(emulator.requestLog().size(), 1u);
}

} // namespace
