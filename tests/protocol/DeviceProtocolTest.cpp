// The request frames of the command methods, byte for byte, and their
// argument checks.
#include "DeviceProtocol.h"
#include "ScriptedDevice.h"
#include "ScriptedPort.h"
#include "Timing.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace trelm;

namespace {

// Frame with the checksum computed by the test's own builder.
Bytes Request(uint16_t code, const Bytes& payload) {
    return ScriptedDevice::Frame(code, payload);
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Prefixed(uint8_t first, const Bytes& rest) {
    Bytes b{first};
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

class ProtocolCommandBase : public ::testing::Test {
protected:
    void SetUp() override {
        timing::SetScale(0.001);
        ASSERT_TRUE(port.Open(1, TRELM_DEFAULT_MODE));
        // Acknowledges everything and answers every request with a reply of
        // the right code and a zero status byte.
        device.SetResponder([](const Bytes& request) {
            const auto code = static_cast<uint16_t>(request.at(0) | (request.at(1) << 8));
            return ScriptedDevice::Concat(
                {ScriptedDevice::Ack(),
                 ScriptedDevice::Frame(static_cast<uint16_t>(code + 1), {0x00})});
        });
    }
    void TearDown() override { timing::SetScale(1.0); }

    ScriptedDevice device;
    ScriptedPort port{device};
    DeviceProtocol protocol{&port};
};

const TRELM_SYSTEMTIME kTime{2024, 3, 5, 8, 13, 45, 30, 0}; // Fri 8 March 2024 13:45:30

struct RequestRow {
    std::string name;
    std::function<bool(DeviceProtocol&)> call;
    Bytes expected;
};

void PrintTo(const RequestRow& row, std::ostream* os) {
    *os << row.name;
}

class ProtocolRequest : public ProtocolCommandBase,
                        public ::testing::WithParamInterface<RequestRow> {};

TEST_P(ProtocolRequest, GoesOutByteForByte) {
    const RequestRow& row = GetParam();
    EXPECT_TRUE(row.call(protocol));
    ASSERT_EQ(device.Writes().size(), 1u);
    EXPECT_EQ(device.Writes()[0], row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ProtocolRequest,
    ::testing::Values(
        RequestRow{"WakeUp", [](DeviceProtocol& p) { return p.WakeUpDut(1, 1); },
                   {0x00, 0x00, 0x01, 0x01, 0x02, 0x00}},
        RequestRow{"NoPayload", [](DeviceProtocol& p) { return p.GetNumberOfOpenNvFiles(); },
                   {0x1D, 0x13, 0x00, 0x30, 0x00}},
        RequestRow{"HandleOfAbcTxt",
                   [](DeviceProtocol& p) { return p.GetNvFileHandle("abc.txt"); },
                   {0x00, 0x13, 0x08, 0x07, 0x61, 0x62, 0x63, 0x2E, 0x74, 0x78, 0x74, 0xD6, 0x02}},
        RequestRow{"NameIsLowered",
                   [](DeviceProtocol& p) { return p.GetNvFileHandle("ABC.TXT"); },
                   {0x00, 0x13, 0x08, 0x07, 0x61, 0x62, 0x63, 0x2E, 0x74, 0x78, 0x74, 0xD6, 0x02}},
        RequestRow{"TwelveCharacterName",
                   [](DeviceProtocol& p) { return p.NvFileExist("Abcdefgh.Txt"); },
                   Request(NV_FILE_EXIST, Prefixed(12, Text("abcdefgh.txt")))},
        RequestRow{"EmptyName", [](DeviceProtocol& p) { return p.DeleteNvFile(""); },
                   Request(DELETE_NV_FILE, {0x00})},
        RequestRow{"ListingPacket256",
                   [](DeviceProtocol& p) { return p.GetNvFileInfoListDataPacket(256); },
                   {0x35, 0x13, 0x02, 0x00, 0x00, 0x4A, 0x00}},
        RequestRow{"ListingExPacket257",
                   [](DeviceProtocol& p) { return p.GetNvFileInfoListExDataPacket(257); },
                   Request(GET_NV_FILE_INFO_LIST_EX_DATA_PACKET, {0x01, 0x00})},
        RequestRow{"HandleTravelsAsLow16Bits",
                   [](DeviceProtocol& p) { return p.GetNvFileSizeEx(0x12345); },
                   Request(GET_NV_FILE_SIZE_EX, {0x45, 0x23})},
        RequestRow{"ReadNvFile", [](DeviceProtocol& p) { return p.ReadNvFile(7, 250); },
                   Request(READ_NV_FILE, {0x07, 0x00, 0xFA, 0x00})},
        RequestRow{"ReadDataPacket",
                   [](DeviceProtocol& p) { return p.ReadNvFileDataPacket(7, 0x0102); },
                   Request(READ_NV_FILE_DATA_PACKET, {0x07, 0x00, 0x02, 0x01})},
        RequestRow{"CreateNvFile",
                   [](DeviceProtocol& p) {
                       uint16_t packets = 0;
                       return p.CreateNvFile("Data.BIN", 250, &kTime, 0x03, packets) &&
                              packets == 3;
                   },
                   // n, size, packets, hh mm ss, DD MM, YYYY, WD, Attr, name
                   Request(CREATE_NV_FILE,
                           {0x08, 0xFA, 0x00, 0x03, 0x00, 13, 45, 30, 8, 3, 0xE8, 0x07, 5, 0x03,
                            'd', 'a', 't', 'a', '.', 'b', 'i', 'n'})},
        RequestRow{"CreateDataPacket",
                   [](DeviceProtocol& p) {
                       const uint8_t data[] = {0xAA, 0xBB, 0xCC};
                       return p.CreateNvFileDataPacket(2, 3, data);
                   },
                   Request(CREATE_NV_FILE_DATA_PACKET, {0x02, 0x00, 0x03, 0xAA, 0xBB, 0xCC})},
        RequestRow{"StoreFile", [](DeviceProtocol& p) { return p.CreateNvFileStoreFile(); },
                   Request(CREATE_NV_FILE_STORE_FILE, {})},
        RequestRow{"FileInfoAllFiles",
                   [](DeviceProtocol& p) { return p.NvFileGetFileInfoAllFiles("x.y"); },
                   Request(NV_FILE_GET_FILE_INFO_ALL_FILES, {0x03, 'x', '.', 'y'})}),
    [](const ::testing::TestParamInfo<RequestRow>& info) { return info.param.name; });

// Every command method sends its own code and expects that code plus one.
struct CodeRow {
    std::string name;
    std::function<bool(DeviceProtocol&)> call;
    uint16_t code;
};

void PrintTo(const CodeRow& row, std::ostream* os) {
    *os << row.name;
}

class ProtocolCommandCode : public ProtocolCommandBase,
                            public ::testing::WithParamInterface<CodeRow> {};

TEST_P(ProtocolCommandCode, SendsItsCodeAndAcceptsCodePlusOne) {
    const CodeRow& row = GetParam();
    EXPECT_TRUE(row.call(protocol));
    ASSERT_EQ(device.WrittenCodes(), std::vector<uint16_t>{row.code});
    ASSERT_NE(protocol.GetReply(), nullptr);
    EXPECT_EQ(protocol.GetReply()[0] | (protocol.GetReply()[1] << 8), row.code + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ProtocolCommandCode,
    ::testing::Values(
        CodeRow{"WakeUpDut", [](DeviceProtocol& p) { return p.WakeUpDut(1, 1); }, WAKE_UP_DUT},
        CodeRow{"GetNvFileHandle", [](DeviceProtocol& p) { return p.GetNvFileHandle("a"); },
                0x1300},
        CodeRow{"ReadNvFile", [](DeviceProtocol& p) { return p.ReadNvFile(1, 1); }, 0x1302},
        CodeRow{"ReadNvFileDataPacket",
                [](DeviceProtocol& p) { return p.ReadNvFileDataPacket(1, 0); }, 0x1304},
        CodeRow{"CreateNvFile",
                [](DeviceProtocol& p) {
                    uint16_t n = 0;
                    return p.CreateNvFile("a", 1, &kTime, 0, n);
                },
                0x1307},
        CodeRow{"CreateNvFileDataPacket",
                [](DeviceProtocol& p) {
                    const uint8_t b = 0;
                    return p.CreateNvFileDataPacket(0, 1, &b);
                },
                0x1309},
        CodeRow{"CreateNvFileStoreFile",
                [](DeviceProtocol& p) { return p.CreateNvFileStoreFile(); }, 0x130B},
        CodeRow{"GetNumberOfOpenNvFiles",
                [](DeviceProtocol& p) { return p.GetNumberOfOpenNvFiles(); }, 0x131D},
        CodeRow{"GetMaxNumberOfOpenNvFiles",
                [](DeviceProtocol& p) { return p.GetMaxNumberOfOpenNvFiles(); }, 0x131F},
        CodeRow{"GetTotAllocatedNvFileBufSize",
                [](DeviceProtocol& p) { return p.GetTotAllocatedNvFileBufSize(); }, 0x1321},
        CodeRow{"DeleteNvFile", [](DeviceProtocol& p) { return p.DeleteNvFile("a"); }, 0x1323},
        CodeRow{"DeleteWriteProtectedNvFile",
                [](DeviceProtocol& p) { return p.DeleteWriteProtectedNvFile("a"); }, 0x1325},
        CodeRow{"NvFileExist", [](DeviceProtocol& p) { return p.NvFileExist("a"); }, 0x1327},
        CodeRow{"NvFileExistEx", [](DeviceProtocol& p) { return p.NvFileExistEx("a"); }, 0x1329},
        CodeRow{"GetNvFileSizeEx", [](DeviceProtocol& p) { return p.GetNvFileSizeEx(1); }, 0x132F},
        CodeRow{"NvFileGetSpaceInUse", [](DeviceProtocol& p) { return p.NvFileGetSpaceInUse(); },
                0x1331},
        CodeRow{"GetNvFileInfoList", [](DeviceProtocol& p) { return p.GetNvFileInfoList(); },
                0x1333},
        CodeRow{"GetNvFileInfoListDataPacket",
                [](DeviceProtocol& p) { return p.GetNvFileInfoListDataPacket(0); }, 0x1335},
        CodeRow{"GetNvFileInfoListEx", [](DeviceProtocol& p) { return p.GetNvFileInfoListEx(); },
                0x1338},
        CodeRow{"GetNvFileInfoListExDataPacket",
                [](DeviceProtocol& p) { return p.GetNvFileInfoListExDataPacket(0); }, 0x133A},
        CodeRow{"NvFileGetFileInfoEx", [](DeviceProtocol& p) { return p.NvFileGetFileInfoEx(1); },
                0x133F},
        CodeRow{"NvFileGetFileInfoAllFiles",
                [](DeviceProtocol& p) { return p.NvFileGetFileInfoAllFiles("a"); }, 0x1341},
        CodeRow{"NvFileGetFileInfoAllFilesEx",
                [](DeviceProtocol& p) { return p.NvFileGetFileInfoAllFilesEx(1); }, 0x1343},
        CodeRow{"NvFileGetAllocatedNvFileSpace",
                [](DeviceProtocol& p) { return p.NvFileGetAllocatedNvFileSpace(); }, 0x1345}),
    [](const ::testing::TestParamInfo<CodeRow>& info) { return info.param.name; });

// Acknowledgement-only commands: no purge, no reply frame, success is ACK.
struct AckOnlyRow {
    std::string name;
    std::function<bool(DeviceProtocol&)> call;
    Bytes expected;
};

void PrintTo(const AckOnlyRow& row, std::ostream* os) {
    *os << row.name;
}

class ProtocolAckOnly : public ProtocolCommandBase,
                        public ::testing::WithParamInterface<AckOnlyRow> {};

TEST_P(ProtocolAckOnly, SentWithoutPurgeAndJudgedByTheWord) {
    const AckOnlyRow& row = GetParam();
    device.SetResponder({});
    device.QueueAnswer(ScriptedDevice::Ack());
    EXPECT_TRUE(row.call(protocol));
    EXPECT_EQ(device.Purges(), 0);
    ASSERT_EQ(device.Writes().size(), 1u);
    EXPECT_EQ(device.Writes()[0], row.expected);
    EXPECT_EQ(protocol.GetStatus(), LINK_OK);

    device.QueueAnswer(ScriptedDevice::Nak());
    EXPECT_FALSE(row.call(protocol));
    EXPECT_EQ(protocol.GetStatus(), LINK_NAK);
    EXPECT_EQ(device.Writes().size(), 2u);

    // Silence: three transmissions, then no answer.
    EXPECT_FALSE(row.call(protocol));
    EXPECT_EQ(protocol.GetStatus(), LINK_NO_ANSWER);
    EXPECT_EQ(device.Writes().size(), 5u);
    EXPECT_EQ(device.Purges(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ProtocolAckOnly,
    ::testing::Values(
        AckOnlyRow{"TerminateRead",
                   [](DeviceProtocol& p) { return p.ReadNvFileTerminateRead(0x10009); },
                   Request(READ_NV_FILE_TERMINATE_READ, {0x09, 0x00})},
        AckOnlyRow{"ListEnd", [](DeviceProtocol& p) { return p.GetNvFileInfoListEnd(); },
                   Request(GET_NV_FILE_INFO_LIST_END, {})},
        AckOnlyRow{"ListExEnd", [](DeviceProtocol& p) { return p.GetNvFileInfoListExEnd(); },
                   Request(GET_NV_FILE_INFO_LIST_EX_END, {})}),
    [](const ::testing::TestParamInfo<AckOnlyRow>& info) { return info.param.name; });

// Arguments the device could not take: nothing goes out.
struct RejectRow {
    std::string name;
    std::function<bool(DeviceProtocol&)> call;
};

void PrintTo(const RejectRow& row, std::ostream* os) {
    *os << row.name;
}

class ProtocolRejectedArguments : public ProtocolCommandBase,
                                  public ::testing::WithParamInterface<RejectRow> {};

TEST_P(ProtocolRejectedArguments, NothingIsSent) {
    // A successful exchange first, so the rejection is visible as such.
    ASSERT_TRUE(protocol.GetNumberOfOpenNvFiles());
    EXPECT_FALSE(protocol.ArgumentsRejected());

    EXPECT_FALSE(GetParam().call(protocol));
    EXPECT_TRUE(protocol.ArgumentsRejected());
    EXPECT_EQ(device.Writes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ProtocolRejectedArguments,
    ::testing::Values(
        RejectRow{"ThirteenCharacterName",
                  [](DeviceProtocol& p) { return p.GetNvFileHandle("abcdefghi.txt"); }},
        RejectRow{"NullName", [](DeviceProtocol& p) { return p.NvFileExistEx(nullptr); }},
        RejectRow{"CreateWithLongName",
                  [](DeviceProtocol& p) {
                      uint16_t n = 0;
                      return p.CreateNvFile("abcdefghi.txt", 1, &kTime, 0, n);
                  }},
        RejectRow{"CreateWithoutTime",
                  [](DeviceProtocol& p) {
                      uint16_t n = 0;
                      return p.CreateNvFile("a.txt", 1, nullptr, 0, n);
                  }},
        RejectRow{"CreateTooLarge",
                  [](DeviceProtocol& p) {
                      uint16_t n = 0;
                      return p.CreateNvFile("a.txt", 65536, &kTime, 0, n);
                  }},
        RejectRow{"PacketOf101Bytes",
                  [](DeviceProtocol& p) {
                      const uint8_t data[101] = {};
                      return p.CreateNvFileDataPacket(0, 101, data);
                  }},
        RejectRow{"PacketWithoutData",
                  [](DeviceProtocol& p) { return p.CreateNvFileDataPacket(0, 0, nullptr); }}),
    [](const ::testing::TestParamInfo<RejectRow>& info) { return info.param.name; });

TEST_F(ProtocolCommandBase, CreateNvFileHandsBackThePacketCount) {
    struct Row {
        uint32_t size;
        uint16_t packets;
    };
    const Row rows[] = {{0, 0}, {1, 1}, {100, 1}, {101, 2}, {250, 3}, {65535, 656}};
    for (const Row& row : rows) {
        uint16_t packets = 0xFFFF;
        EXPECT_TRUE(protocol.CreateNvFile("a.bin", row.size, &kTime, 0, packets));
        EXPECT_EQ(packets, row.packets) << "size " << row.size;
        const Bytes& sent = device.Writes().back();
        EXPECT_EQ(sent[4] | (sent[5] << 8), static_cast<int>(row.size & 0xFFFF));
        EXPECT_EQ(sent[6] | (sent[7] << 8), row.packets);
    }
}

TEST_F(ProtocolCommandBase, WakeUpUsesTheCallersTries) {
    device.SetResponder({});
    EXPECT_FALSE(protocol.WakeUpDut(1, 1));
    EXPECT_EQ(device.Writes().size(), 1u);
    EXPECT_FALSE(protocol.WakeUpDut(1, 2));
    EXPECT_EQ(device.Writes().size(), 3u);
}

} // namespace
