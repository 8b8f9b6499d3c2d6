// The device listing end to end against the emulator.
#include "EmulatorLibraryTest.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class LibraryEmulatorListing : public EmulatorLibraryTest {
protected:
    void SetUp() override {
        EmulatorLibraryTest::SetUp();
        std::memset(&info, 0x5A, sizeof info);
        info.StructSize = TRELM_FILE_INFO_SIZE;
    }

    // Walks the whole listing the caller's way; the names in order.
    std::vector<std::string> Walk(uint32_t flag) {
        std::vector<std::string> names;
        info.StructSize = TRELM_FILE_INFO_SIZE;
        EXPECT_EQ(TRELM_FindFirstFile(flag, &count, &info), TRELM_OK);
        if (count == 0) {
            return names;
        }
        names.emplace_back(info.FileName);
        for (;;) {
            info.StructSize = TRELM_FILE_INFO_SIZE;
            const TRELM_Result result = TRELM_FindNextFile(&info);
            if (result == TRELM_ERROR_NO_MORE_FILES) {
                break;
            }
            EXPECT_EQ(result, TRELM_OK);
            if (result != TRELM_OK) {
                break;
            }
            names.emplace_back(info.FileName);
        }
        return names;
    }

    TRELM_FILE_INFO info{};
    uint32_t count = 0xAAAA;
};

TEST_F(LibraryEmulatorListing, NoFiles) {
    const TRELM_FILE_INFO before = info;
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_NO_MORE_FILES);
}

// A listing replaces the whole cache, also when it is empty: the records of
// an earlier, fuller listing must not come back from find-next.
TEST_F(LibraryEmulatorListing, EmptyListingAfterAFullOneLeavesNothingToHandOut) {
    PutFile("zulu.txt", "1");
    PutFile("alpha.bin", "22");
    PutFile("mike.dat", "333");
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_STREQ(info.FileName, "zulu.txt");

    emulator.clearFiles();
    info.StructSize = TRELM_FILE_INFO_SIZE;
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    EXPECT_EQ(count, 0u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        info.StructSize = TRELM_FILE_INFO_SIZE;
        EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_NO_MORE_FILES);
    }
}

TEST_F(LibraryEmulatorListing, ThreeFilesInDeviceOrder) {
    PutFile("zulu.txt", "1");
    PutFile("alpha.bin", std::string(300, 'x'));
    PutFile("mike.dat", "22");
    EXPECT_EQ(Walk(0), (std::vector<std::string>{"zulu.txt", "alpha.bin", "mike.dat"}));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(info.FileSize, 2u);
    EXPECT_EQ(info.FileHandle, -1);
    EXPECT_EQ(info.Valid, 1u);
    // The walk ended with "no more files", and the cache caused no traffic.
    info.StructSize = TRELM_FILE_INFO_SIZE;
    EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_NO_MORE_FILES);
    EXPECT_EQ(emulator.requestCount(devsim::cmd::GetNvFileInfoList), 1u);
}

TEST_F(LibraryEmulatorListing, StaleRecordSizeIsRefused) {
    PutFile("a.txt", "1");
    PutFile("b.txt", "2");
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    EXPECT_EQ(info.StructSize, 0u);
    EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_BAD_PARAMETERS);
}

TEST_F(LibraryEmulatorListing, FlagOneUsesTheExtendedCommandsAndSeesHiddenFiles) {
    PutFile("shown.txt", "1");
    PutFile("secret.txt", "2", 0x0002);
    EXPECT_EQ(Walk(0), std::vector<std::string>{"shown.txt"});
    emulator.resetCounters();
    EXPECT_EQ(Walk(1), (std::vector<std::string>{"shown.txt", "secret.txt"}));
    EXPECT_EQ(RequestCodes(), (std::vector<uint16_t>{devsim::cmd::GetNvFileInfoListEx,
                                                     devsim::cmd::GetNvFileInfoListExDataPacket,
                                                     devsim::cmd::GetNvFileInfoListExEnd}));
}

TEST_F(LibraryEmulatorListing, DeviceErrorOnOpenStillCloses) {
    AddFault("GET_NV_FILE_INFO_LIST=status:1");
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(ExtendedError(), std::make_pair(1u, 0u));
    EXPECT_EQ(RequestCodes(), (std::vector<uint16_t>{devsim::cmd::GetNvFileInfoList,
                                                     devsim::cmd::GetNvFileInfoListEnd}));
}

TEST_F(LibraryEmulatorListing, MoreThan256PacketsFailAtPacket256) {
    // One listing byte per packet: six files make 288 packets.
    devsim::DeviceConfig config = emulator.config();
    config.listPacketSize = 1;
    emulator.setConfig(config);
    for (int i = 0; i < 6; ++i) {
        PutFile("f" + std::to_string(i) + ".txt", "x");
    }
    // Packet 256 is asked for as 00 00; a device that reads the byte as it
    // stands answers with packet 0.
    AddFault("GET_NV_FILE_INFO_LIST_DATA_PACKET@257=packet:0");
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_UNEXPECTED_DATA);
    EXPECT_EQ(count, 6u);
    const auto packets = RequestPayloads(devsim::cmd::GetNvFileInfoListDataPacket);
    ASSERT_EQ(packets.size(), 257u);
    EXPECT_EQ(packets[255], (std::vector<uint8_t>{0xFF, 0x00}));
    EXPECT_EQ(packets[256], (std::vector<uint8_t>{0x00, 0x00}));
    EXPECT_EQ(RequestCodes().back(), devsim::cmd::GetNvFileInfoListEnd);
}

} // namespace
