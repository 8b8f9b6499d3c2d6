// Copy of a local file to the device over the scripted line: the packets
// the device asks for, progress and cancel, the local file rules, and
// devices that ask for packets the file does not have.
#include "ScriptedLibraryTest.h"
#include "TempDir.h"

#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace library_test;
using trelm::test::TempDir;

namespace {

constexpr uint16_t kCreate = 0x1307;
constexpr uint16_t kData = 0x1309;
constexpr uint16_t kStore = 0x130B;

// A packet as the device received it.
struct Packet {
    uint16_t number;
    Bytes data;
    bool operator==(const Packet&) const = default;
};

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('A' + (i * 7) % 26);
    }
    return text;
}

class LibraryCopyToDevice : public ScriptedLibraryTest {
protected:
    // How the device answers data packet `number` (the `call`-th data packet
    // it receives, from 1): the packet it wants next and the completion flag.
    using Answer = std::function<std::pair<uint16_t, bool>(uint16_t number, int call)>;

    // A device that takes `packets` packets in order and reports completion
    // with the last one (with packet 0 when there are none).
    static Answer InOrder(uint16_t packets) {
        return [packets](uint16_t number, int) {
            const auto next = static_cast<uint16_t>(number + 1);
            return std::make_pair(next, next >= packets);
        };
    }

    void ServeTransfer(Answer answer, uint8_t createStatus = 0, uint8_t storeStatus = 0) {
        auto calls = std::make_shared<int>(0);
        Serve({{kCreate, {createStatus}}, {kStore, {storeStatus}}},
              [answer, calls](const Bytes& request) -> std::optional<Bytes> {
                  if (CodeOf(request) != kData) {
                      return std::nullopt;
                  }
                  const Bytes payload = PayloadOf(request);
                  const auto number = static_cast<uint16_t>(payload[0] | (payload[1] << 8));
                  const auto [next, done] = answer(number, ++*calls);
                  return Reply(kData, ScriptedDevice::Concat(
                                          {U16(next), {static_cast<uint8_t>(done ? 1 : 0)}}));
              });
    }

    std::vector<Packet> PacketsSent() const {
        std::vector<Packet> packets;
        for (const Bytes& frame : device.Writes()) {
            if (CodeOf(frame) == kData) {
                const Bytes payload = PayloadOf(frame);
                EXPECT_EQ(payload.at(2), payload.size() - 3); // the count matches the data
                packets.push_back({static_cast<uint16_t>(payload[0] | (payload[1] << 8)),
                                   Bytes(payload.begin() + 3, payload.end())});
            }
        }
        return packets;
    }

    std::string LocalFile(const std::string& name, std::size_t size) const {
        return dir.WriteFile(name, Pattern(size)).string();
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

    TempDir dir;
};

TEST_F(LibraryCopyToDevice, TwoHundredFiftyBytesTravelInThreePackets) {
    const std::string path = LocalFile("Data.BIN", 250);
    // A known modification time, sent as local calendar time.
    const std::time_t written = 1600000000;
    struct timespec times[2] = {{0, UTIME_OMIT}, {written, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    std::tm local{};
    localtime_r(&written, &local);

    ServeTransfer(InOrder(3));
    ASSERT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0x1C5, ProgressLog::Record),
              TRELM_OK);

    ExpectProgress({{3, 0, 0.0f}, {3, 1, 1.0f / 3}, {3, 2, 2.0f / 3}, {3, 3, 100.0f}});
    const std::string content = Pattern(250);
    EXPECT_EQ(PacketsSent(),
              (std::vector<Packet>{{0, Bytes(content.begin(), content.begin() + 100)},
                                   {1, Bytes(content.begin() + 100, content.begin() + 200)},
                                   {2, Bytes(content.begin() + 200, content.end())}}));
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kCreate, kData, kData, kData, kStore}));

    const Bytes expectedCreate = ScriptedDevice::Concat(
        {{8},
         U16(250),
         U16(3),
         {static_cast<uint8_t>(local.tm_hour), static_cast<uint8_t>(local.tm_min),
          static_cast<uint8_t>(local.tm_sec), static_cast<uint8_t>(local.tm_mday),
          static_cast<uint8_t>(local.tm_mon + 1)},
         U16(static_cast<uint16_t>(local.tm_year + 1900)),
         {static_cast<uint8_t>(local.tm_wday), 0xC5},
         {'d', 'a', 't', 'a', '.', 'b', 'i', 'n'}});
    EXPECT_EQ(PayloadOf(device.Writes()[0]), expectedCreate);
    EXPECT_EQ(ExtendedError(), std::make_pair(0u, 0u));
}

TEST_F(LibraryCopyToDevice, LocalFileRules) {
    struct Row {
        const char* name;
        std::size_t size;
        TRELM_Result result;
    };
    const Row rows[] = {
        {"largest.bin", 65535, TRELM_OK},
        {"toolarge.bin", 65536, TRELM_ERROR_PC_FILESIZE_INVALID},
        {"readme.text", 10, TRELM_ERROR_PC_FILENAME_INVALID},
        {"abcdefghi.txt", 10, TRELM_ERROR_PC_FILENAME_INVALID},
        {"abcdefgh.txt", 10, TRELM_OK},
        {"a.b.c", 10, TRELM_OK},
        {"noextension", 10, TRELM_ERROR_PC_FILENAME_INVALID},
        {"noext", 10, TRELM_OK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = LocalFile(row.name, row.size);
        const auto packets = static_cast<uint16_t>((row.size + 99) / 100);
        ServeTransfer(InOrder(packets));
        const std::size_t before = device.Writes().size();
        EXPECT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), row.result);
        if (row.result == TRELM_OK) {
            EXPECT_EQ(device.Writes().size(), before + packets + 2u);
        } else {
            EXPECT_EQ(device.Writes().size(), before);
        }
    }
}

TEST_F(LibraryCopyToDevice, ThingsThatAreNotLocalFilesAreRefusedWithoutTraffic) {
    ServeTransfer(InOrder(1));
    const std::string folder = dir.MakeDir("folder").string();
    const std::string missing = (dir.Path() / "missing.txt").string();
    EXPECT_EQ(TRELM_CopyFileToDevice(missing.c_str(), 0), TRELM_ERROR_PC_FILENAME_INVALID);
    EXPECT_EQ(TRELM_CopyFileToDevice(folder.c_str(), 0), TRELM_ERROR_PC_FILENAME_INVALID);
    EXPECT_EQ(TRELM_CopyFileToDevice(nullptr, 0), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_CopyFileToDeviceWithProgress(missing.c_str(), 0, nullptr),
              TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_TRUE(device.Writes().empty());
    CloseSession();
    EXPECT_EQ(TRELM_CopyFileToDevice(LocalFile("a.txt", 1).c_str(), 0),
              TRELM_ERROR_COMPORT_NOT_OPENED);
}

TEST_F(LibraryCopyToDevice, CancelAtTheSecondCallStillStores) {
    const std::string path = LocalFile("a.txt", 250);
    ServeTransfer(InOrder(3));
    ProgressLog::Reset(2);
    EXPECT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record),
              TRELM_ERROR_FILE_TRANSFER_CANCELLED);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kCreate, kData, kStore}));
    ExpectProgress({{3, 0, 0.0f}, {3, 1, 1.0f / 3}});
}

TEST_F(LibraryCopyToDevice, ThePacketTheDeviceAsksForAgainIsSentAgain) {
    const std::string path = LocalFile("a.txt", 250);
    // After the first packet 1 the device asks for packet 1 once more.
    ServeTransfer([](uint16_t number, int call) {
        if (call == 2) {
            return std::make_pair(uint16_t{1}, false);
        }
        return std::make_pair(static_cast<uint16_t>(number + 1), number + 1 >= 3);
    });
    ASSERT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record), TRELM_OK);
    std::vector<uint16_t> numbers;
    for (const Packet& p : PacketsSent()) {
        numbers.push_back(p.number);
    }
    EXPECT_EQ(numbers, (std::vector<uint16_t>{0, 1, 1, 2}));
    EXPECT_EQ(PacketsSent()[1], PacketsSent()[2]);
    ExpectProgress(
        {{3, 0, 0.0f}, {3, 1, 1.0f / 3}, {3, 1, 1.0f / 3}, {3, 2, 2.0f / 3}, {3, 3, 100.0f}});
}

TEST_F(LibraryCopyToDevice, RefusedCreationSendsNothingElse) {
    const std::string path = LocalFile("a.txt", 250);
    ServeTransfer(InOrder(3), 15);
    EXPECT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record),
              TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(device.WrittenCodes(), (std::vector<uint16_t>{kCreate}));
    EXPECT_TRUE(ProgressLog::Calls().empty());
    EXPECT_EQ(ExtendedError(), std::make_pair(15u, 0u));
}

TEST_F(LibraryCopyToDevice, EmptyFileTravelsAsOneEmptyPacket) {
    const std::string path = LocalFile("empty.txt", 0);
    ServeTransfer(InOrder(0));
    ASSERT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record), TRELM_OK);
    EXPECT_EQ(PacketsSent(), (std::vector<Packet>{{0, {}}}));
    ExpectProgress({{0, 0, 0.0f}, {0, 0, 100.0f}});
    EXPECT_EQ(device.WrittenCodes().back(), kStore);
}

TEST_F(LibraryCopyToDevice, EmptyFileNeverDividesByZero) {
    const std::string path = LocalFile("empty.txt", 0);
    // The device asks for packet 0 again before it reports completion.
    ServeTransfer([](uint16_t, int call) { return std::make_pair(uint16_t{0}, call == 2); });
    ASSERT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record), TRELM_OK);
    ExpectProgress({{0, 0, 0.0f}, {0, 0, 0.0f}, {0, 0, 100.0f}});
    EXPECT_EQ(PacketsSent().size(), 2u);
}

TEST_F(LibraryCopyToDevice, RequestsBeyondTheFileEndTheTransfer) {
    struct Row {
        const char* name;
        std::size_t size;
        uint16_t askedFor; // after the last real packet, without completion
        std::size_t packetsSent;
    };
    const Row rows[] = {
        {"packet 3 of a 250-byte file", 250, 3, 3},
        {"packet 9 of a 250-byte file", 250, 9, 3},
        {"packet 1 of an empty file", 0, 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = LocalFile("a.txt", row.size);
        const auto last = static_cast<uint16_t>(row.packetsSent - 1);
        ServeTransfer([&row, last](uint16_t number, int) {
            return std::make_pair(number == last ? row.askedFor : uint16_t(number + 1), false);
        });
        ProgressLog::Reset();
        const std::size_t before = device.Writes().size();
        EXPECT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record),
                  TRELM_ERROR_UNEXPECTED_DATA);
        EXPECT_EQ(device.Writes().size(), before + 1 + row.packetsSent + 1);
        EXPECT_EQ(device.WrittenCodes().back(), kStore);
        for (const ProgressLog::Call& call : ProgressLog::Calls()) {
            EXPECT_FALSE(std::isnan(call.fraction));
        }
    }
}

TEST_F(LibraryCopyToDevice, FailuresDuringTheDataPhaseStillStore) {
    const std::string path = LocalFile("a.txt", 250);
    struct Row {
        const char* name;
        std::function<Bytes(const Bytes&)> dataAnswer;
        TRELM_Result result;
        uint32_t linkStatus;
    };
    const Row rows[] = {
        {"refused packet", [](const Bytes&) { return ScriptedDevice::Nak(); },
         TRELM_ERROR_DEVICE_UNKNOWN_CMD, 4},
        {"reply without the completion flag", [](const Bytes&) { return Reply(kData, U16(1)); },
         TRELM_ERROR_UNEXPECTED_DATA, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Serve({{kCreate, {0}}, {kStore, {0}}},
              [&row](const Bytes& request) -> std::optional<Bytes> {
                  if (CodeOf(request) != kData) {
                      return std::nullopt;
                  }
                  return row.dataAnswer(request);
              });
        const std::size_t before = device.Writes().size();
        EXPECT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), row.result);
        EXPECT_EQ(CodesSince(before), (std::vector<uint16_t>{kCreate, kData, kStore}));
        // The store reply's status (0) is the last device status read.
        EXPECT_EQ(ExtendedError(), std::make_pair(0u, row.linkStatus));
    }
}

TEST_F(LibraryCopyToDevice, StoreStatusDecidesASuccessfulTransfer) {
    const std::string path = LocalFile("a.txt", 50);
    ServeTransfer(InOrder(1), 0, 5);
    EXPECT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(ExtendedError(), std::make_pair(5u, 0u));
}

TEST_F(LibraryCopyToDevice, RefusedStoreAfterACancelKeepsTheCancel) {
    const std::string path = LocalFile("a.txt", 250);
    Serve({{kCreate, {0}}}, [](const Bytes& request) -> std::optional<Bytes> {
        if (CodeOf(request) == kStore) {
            return ScriptedDevice::Nak();
        }
        if (CodeOf(request) == kData) {
            return Reply(kData, ScriptedDevice::Concat({U16(1), {0}}));
        }
        return std::nullopt;
    });
    ProgressLog::Reset(2);
    EXPECT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record),
              TRELM_ERROR_FILE_TRANSFER_CANCELLED);
    EXPECT_EQ(device.WrittenCodes().back(), kStore);
}

TEST_F(LibraryCopyToDevice, WithoutProgressTheCopyNeverCancels) {
    const std::string path = LocalFile("a.txt", 1000);
    ServeTransfer(InOrder(10));
    EXPECT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), TRELM_OK);
    EXPECT_EQ(PacketsSent().size(), 10u);
}

} // namespace
