// Find-first / find-next over the scripted line: the listing exchange, the
// cache, and listing data that does not add up.
#include "ScriptedLibraryTest.h"

#include <cstring>
#include <string>
#include <vector>

using namespace library_test;

namespace {

constexpr uint16_t kOpen = 0x1333;
constexpr uint16_t kPacket = 0x1335;
constexpr uint16_t kClose = 0x1337;
constexpr uint16_t kOpenEx = 0x1338;
constexpr uint16_t kPacketEx = 0x133A;
constexpr uint16_t kCloseEx = 0x133C;

FileFacts File(const std::string& name, uint32_t size) {
    FileFacts f;
    f.name = name;
    f.size = size;
    f.first = {8, 15, 0, 1, 3, 2023, 3};
    f.second = {9, 16, 1, 2, 4, 2024, 2};
    f.attr = 0x0002;
    f.reportedSize = size + 1;
    f.reportedValue = size + 2;
    return f;
}

Bytes ListingData(const std::vector<FileFacts>& files) {
    Bytes data;
    for (const FileFacts& f : files) {
        const Bytes entry = ListingEntry(f);
        data.insert(data.end(), entry.begin(), entry.end());
    }
    return data;
}

// Data packet reply payload: packet number, byte count, the bytes.
Bytes PacketReply(uint16_t number, const Bytes& bytes) {
    return ScriptedDevice::Concat({U16(number), {static_cast<uint8_t>(bytes.size())}, bytes});
}

class LibraryListing : public ScriptedLibraryTest {
protected:
    void SetUp() override {
        ScriptedLibraryTest::SetUp();
        std::memset(&info, 0x5A, sizeof info);
        info.StructSize = TRELM_FILE_INFO_SIZE;
    }

    // A device that announces `fileCount` files in packets of up to 100
    // bytes of `data` and answers each packet request with the packet asked
    // for; `packetCount` overrides the announced number of packets.
    void ServeListing(uint16_t fileCount, const Bytes& data, int packetCount = -1,
                      uint16_t openCode = kOpen) {
        const auto packets = static_cast<uint16_t>(
            packetCount >= 0 ? packetCount : static_cast<int>((data.size() + 99) / 100));
        Serve({{openCode, ScriptedDevice::Concat({{0x00}, U16(fileCount), U16(packets)})}},
              [data, openCode](const Bytes& request) -> std::optional<Bytes> {
                  if (CodeOf(request) != openCode + 2) {
                      return std::nullopt;
                  }
                  const uint16_t number = PayloadOf(request)[0]; // low 8 bits travel
                  const std::size_t from = std::min<std::size_t>(number * 100u, data.size());
                  const std::size_t to = std::min<std::size_t>(from + 100, data.size());
                  return Reply(CodeOf(request),
                               PacketReply(number, Bytes(data.begin() + from, data.begin() + to)));
              });
    }

    TRELM_FILE_INFO info{};
    uint32_t count = 0xAAAA;
};

TEST_F(LibraryListing, EmptyDeviceLeavesTheRecordAlone) {
    ServeListing(0, {});
    const TRELM_FILE_INFO before = info;
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_NO_MORE_FILES);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kOpen, kClose}));
}

TEST_F(LibraryListing, ThreeFilesComeInDeviceOrder) {
    const std::vector<FileFacts> files = {File("zeta.txt", 300), File("alpha.bin", 7),
                                          File("mid.dat", 65535)};
    ServeListing(3, ListingData(files)); // 144 bytes: two packets
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kOpen, kPacket, kPacket, kClose}));

    std::vector<std::string> names{info.FileName};
    EXPECT_EQ(info.StructSize, 0u);
    EXPECT_EQ(info.FileSize, 300u);
    EXPECT_EQ(info.ReportedSize, 301u);
    EXPECT_EQ(info.ReportedValue, 302u);
    EXPECT_EQ(info.Attr, 2u);
    EXPECT_EQ(info.FileHandle, -1);
    EXPECT_EQ(info.Valid, 1u);
    EXPECT_EQ(info.CreationTime.wYear, 2023);
    EXPECT_EQ(info.CreationTime.wMonth, 3);
    EXPECT_EQ(info.CreationTime.wDay, 1);
    EXPECT_EQ(info.CreationTime.wDayOfWeek, 3);
    EXPECT_EQ(info.CreationTime.wHour, 8);
    EXPECT_EQ(info.CreationTime.wMinute, 15);
    EXPECT_EQ(info.LastWriteTime.wYear, 2024);
    EXPECT_EQ(info.LastWriteTime.wSecond, 1);

    for (int i = 0; i < 2; ++i) {
        info.StructSize = TRELM_FILE_INFO_SIZE;
        ASSERT_EQ(TRELM_FindNextFile(&info), TRELM_OK);
        EXPECT_EQ(info.StructSize, 0u);
        names.emplace_back(info.FileName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"zeta.txt", "alpha.bin", "mid.dat"}));
    EXPECT_EQ(info.FileSize, 65535u);
    info.StructSize = TRELM_FILE_INFO_SIZE;
    EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_NO_MORE_FILES);
    // Walking the cache caused no traffic.
    EXPECT_EQ(device.Writes().size(), 4u);
}

TEST_F(LibraryListing, RecordSizeIsCheckedOnEveryCall) {
    ServeListing(2, ListingData({File("a.txt", 1), File("b.txt", 2)}));
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    // StructSize still 0 from the previous call.
    EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_FindNextFile(nullptr), TRELM_ERROR_BAD_PARAMETERS);
    info.StructSize = TRELM_FILE_INFO_SIZE;
    EXPECT_EQ(TRELM_FindFirstFile(2, &count, &info), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_FindFirstFile(0, nullptr, &info), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, nullptr), TRELM_ERROR_BAD_PARAMETERS);
    // The refused calls left the cache where it was.
    ASSERT_EQ(TRELM_FindNextFile(&info), TRELM_OK);
    EXPECT_STREQ(info.FileName, "b.txt");
    EXPECT_EQ(device.Writes().size(), 3u);
}

TEST_F(LibraryListing, FlagOneUsesTheExtendedCommands) {
    ServeListing(1, ListingData({File(".hidden", 5)}), -1, kOpenEx);
    ASSERT_EQ(TRELM_FindFirstFile(1, &count, &info), TRELM_OK);
    EXPECT_STREQ(info.FileName, ".hidden");
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kOpenEx, kPacketEx, kCloseEx}));
}

TEST_F(LibraryListing, DeviceErrorOnOpenStillClosesTheListing) {
    Serve({{kOpen, {0x01}}});
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kOpen, kClose}));
    EXPECT_EQ(ExtendedError(), std::make_pair(1u, 0u));
    EXPECT_EQ(count, 0xAAAAu);
}

TEST_F(LibraryListing, OpenWithoutAnAnswerSendsNoClose) {
    device.SetResponder([](const Bytes&) { return ScriptedDevice::Nak(); });
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_DEVICE_UNKNOWN_CMD);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kOpen}));
}

TEST_F(LibraryListing, RefusedCloseFailsAListingThatWasAlreadyDelivered) {
    const Bytes data = ListingData({File("a.txt", 1), File("b.txt", 2)});
    auto served =
        ScriptedDevice::Answering({{kOpen, ScriptedDevice::Concat({{0x00}, U16(2), U16(1)})},
                                   {kPacket, PacketReply(0, data)}});
    device.SetResponder([served](const Bytes& request) {
        return CodeOf(request) == kClose ? ScriptedDevice::Nak() : served(request);
    });
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_DEVICE_UNKNOWN_CMD);
    EXPECT_STREQ(info.FileName, "a.txt");
    info.StructSize = TRELM_FILE_INFO_SIZE;
    ASSERT_EQ(TRELM_FindNextFile(&info), TRELM_OK);
    EXPECT_STREQ(info.FileName, "b.txt");
}

TEST_F(LibraryListing, FailedListingsKeepTheEarlierCacheAndClose) {
    const Bytes two = ListingData({File("a.txt", 1), File("b.txt", 2)});
    struct Row {
        const char* name;
        uint16_t files;
        Bytes packet0; // reply payload to the request for packet 0
        TRELM_Result result;
    };
    const Row rows[] = {
        {"packet number 1 where 0 was asked", 2, PacketReply(1, two), TRELM_ERROR_UNEXPECTED_DATA},
        {"empty packet", 2, PacketReply(0, {}), TRELM_ERROR_UNEXPECTED_DATA},
        {"three files announced, data for two", 3, PacketReply(0, two),
         TRELM_ERROR_UNEXPECTED_DATA},
        {"byte count beyond the frame", 2, ScriptedDevice::Concat({U16(0), {150}, Bytes(96, 0x11)}),
         TRELM_ERROR_UNEXPECTED_DATA},
        {"reply too short for its header", 2, {0x00}, TRELM_ERROR_UNEXPECTED_DATA},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // An earlier listing of two files, advanced by one.
        ServeListing(2, ListingData({File("old1.txt", 1), File("old2.txt", 2)}));
        info.StructSize = TRELM_FILE_INFO_SIZE;
        ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);

        Serve({{kOpen, ScriptedDevice::Concat({{0x00}, U16(row.files), U16(1)})},
               {kPacket, row.packet0}});
        const std::size_t before = device.Writes().size();
        info.StructSize = TRELM_FILE_INFO_SIZE;
        EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), row.result);
        EXPECT_EQ(count, row.files); // written before the packets were fetched
        EXPECT_EQ(CodesSince(before), (std::vector<uint16_t>{kOpen, kPacket, kClose}));

        info.StructSize = TRELM_FILE_INFO_SIZE;
        ASSERT_EQ(TRELM_FindNextFile(&info), TRELM_OK);
        EXPECT_STREQ(info.FileName, "old2.txt");
    }
}

TEST_F(LibraryListing, PacketsBeyondTheBufferAreRefused) {
    // Two packets announced: the buffer holds 300 bytes. The first packet
    // brings 250 of them; the 100 of the second would not fit.
    Serve({{kOpen, ScriptedDevice::Concat({{0x00}, U16(3), U16(2)})}},
          [&](const Bytes& request) -> std::optional<Bytes> {
              if (CodeOf(request) != kPacket) {
                  return std::nullopt;
              }
              const uint8_t number = PayloadOf(request)[0];
              return Reply(kPacket, PacketReply(number, Bytes(number == 0 ? 250 : 100, 0x22)));
          });
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_UNEXPECTED_DATA);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kOpen, kPacket, kPacket, kClose}));
}

TEST_F(LibraryListing, MoreThan256PacketsFailAtPacket256) {
    // 540 files = 25920 bytes = 260 packets; the packet number travels in
    // one byte, so the request for packet 256 asks for 0.
    std::vector<FileFacts> files;
    for (int i = 0; i < 540; ++i) {
        files.push_back(File("f" + std::to_string(i) + ".txt", static_cast<uint32_t>(i)));
    }
    ServeListing(540, ListingData(files));
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_UNEXPECTED_DATA);
    const std::vector<Bytes>& writes = device.Writes();
    ASSERT_EQ(writes.size(), 1u + 257u + 1u);
    EXPECT_EQ(PayloadOf(writes[256]), (Bytes{0xFF, 0x00}));
    EXPECT_EQ(PayloadOf(writes[257]), (Bytes{0x00, 0x00}));
    EXPECT_EQ(CodeOf(writes.back()), kClose);
}

TEST_F(LibraryListing, FindCloseDropsTheCache) {
    ServeListing(2, ListingData({File("a.txt", 1), File("b.txt", 2)}));
    ASSERT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_OK);
    EXPECT_EQ(TRELM_FindClose(), TRELM_OK);
    info.StructSize = TRELM_FILE_INFO_SIZE;
    EXPECT_EQ(TRELM_FindNextFile(&info), TRELM_ERROR_NO_MORE_FILES);
    // It needs no port either.
    CloseSession();
    EXPECT_EQ(TRELM_FindClose(), TRELM_OK);
}

TEST_F(LibraryListing, FindFirstFileWithProgressIsNotSupported) {
    Serve({{0x1300, {0x10}}});
    uint32_t handle = 0;
    ASSERT_EQ(TRELM_GetFileHandleFromFileName("x", &handle), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(TRELM_FindFirstFileWithProgress(1, 2, 3, 4), TRELM_ERROR_NOT_SUPPORTED);
    // Not even the extended error values were reset.
    EXPECT_EQ(ExtendedError(), std::make_pair(16u, 0u));
    EXPECT_EQ(device.Writes().size(), 1u);
}

} // namespace
