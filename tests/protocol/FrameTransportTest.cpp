// Framing and transactions over an in-memory line.
#include "ByteOrder.h"
#include "DeviceProtocol.h"
#include "ScriptedDevice.h"
#include "ScriptedPort.h"
#include "Session.h"
#include "Timing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace trelm;

namespace {

class ProtocolLine : public ::testing::Test {
protected:
    void SetUp() override {
        timing::SetScale(0.001);
        ASSERT_TRUE(port.Open(1, TRELM_DEFAULT_MODE));
    }
    void TearDown() override { timing::SetScale(1.0); }

    ScriptedDevice device;
    ScriptedPort port{device};
    DeviceProtocol protocol{&port};
};

TEST(ProtocolChecksum, SumWrapsAtSixteenBits) {
    Frame frame{};
    frame.fill(0xFF); // 258 bytes of 0xFF sum to 65790, which wraps to 254
    ASSERT_TRUE(FrameTransport::ComputeChecksum(frame));
    EXPECT_EQ(frame[258], 0xFE);
    EXPECT_EQ(frame[259], 0x00);
    EXPECT_TRUE(FrameTransport::VerifyChecksum(frame.data()));
    frame[100] = 0xFE;
    EXPECT_FALSE(FrameTransport::VerifyChecksum(frame.data()));
}

TEST(ProtocolChecksum, VerifiesFramesBuiltElsewhere) {
    const Bytes good = ScriptedDevice::Frame(0x131E, {0x00, 0x05, 0x00});
    EXPECT_TRUE(FrameTransport::VerifyChecksum(good.data()));
    Bytes offByOne = good;
    ++offByOne.back();
    EXPECT_FALSE(FrameTransport::VerifyChecksum(offByOne.data()));
}

TEST_F(ProtocolLine, AttachingAPortAppliesTheProtocolTimeouts) {
    ASSERT_FALSE(device.AppliedTimeouts().empty());
    const Timeouts t = device.AppliedTimeouts().back();
    EXPECT_EQ(t.interval, 1000u);
    EXPECT_EQ(t.readMultiplier, 1000u);
    EXPECT_EQ(t.readConstant, 20000u);
    EXPECT_EQ(t.writeMultiplier, 1000u);
    EXPECT_EQ(t.writeConstant, 20000u);
}

TEST_F(ProtocolLine, SendFrameReportsTheAcknowledgementWord) {
    struct Row {
        const char* name;
        Bytes answer;
        bool accepted;
        uint32_t word;
        LinkStatus status;
    };
    const Row rows[] = {
        {"ack", ScriptedDevice::Ack(), true, ACK_WORD, LINK_OK},
        {"nak", ScriptedDevice::Nak(), false, NAK_WORD, LINK_NAK},
        {"unknown", {0x80, 0x0F}, false, 0x0F80, LINK_BAD_DATA},
        {"silence", {}, false, NO_ACK_WORD, LINK_NO_ANSWER},
        {"one byte", {0x00}, false, NO_ACK_WORD, LINK_NO_ANSWER},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        device.Purge();
        device.QueueAnswer(row.answer);
        Frame frame{};
        uint32_t word = 0;
        EXPECT_EQ(protocol.SendFrame(frame, 1, word), row.accepted);
        EXPECT_EQ(word, row.word);
        EXPECT_EQ(protocol.LastAck(), row.word);
        EXPECT_EQ(protocol.GetStatus(), row.status);
    }
}

TEST_F(ProtocolLine, ReceiveReplyChecksLengthAndChecksum) {
    const Bytes good = ScriptedDevice::Frame(0x0001, {0x07, 0x09});
    Bytes badSum = good;
    badSum.back() ^= 0x01;
    const Bytes shortFrame(good.begin(), good.end() - 1);
    const Bytes emptyPayload = ScriptedDevice::Frame(0x130C, {});

    struct Row {
        const char* name;
        Bytes input;
        bool ok;
        LinkStatus status;
        bool replyAvailable;
    };
    const Row rows[] = {
        {"good", good, true, LINK_OK, true},
        {"no payload", emptyPayload, true, LINK_OK, true},
        {"bad checksum", badSum, false, LINK_BAD_DATA, false},
        {"ends short", shortFrame, false, LINK_NO_ANSWER, false},
        {"nothing", {}, false, LINK_NO_ANSWER, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        device.Purge();
        device.Inject(row.input);
        EXPECT_EQ(protocol.ReceiveReply(), row.ok);
        EXPECT_EQ(protocol.GetStatus(), row.status);
        EXPECT_EQ(protocol.GetReply() != nullptr, row.replyAvailable);
        if (row.replyAvailable) {
            EXPECT_EQ(Bytes(protocol.GetReply(), protocol.GetReply() + row.input.size()),
                      row.input);
        }
    }
}

TEST_F(ProtocolLine, ReplyPayloadEndsWithTheReply) {
    device.Inject(ScriptedDevice::Frame(0x131E, {0x00, 0x34, 0x12, 0x99, 0x99}));
    ASSERT_TRUE(protocol.ReceiveReply());
    // A later, shorter reply leaves nothing of the earlier one readable.
    device.Inject(ScriptedDevice::Frame(0x131E, {0x00}));
    ASSERT_TRUE(protocol.ReceiveReply());
    const auto payload = protocol.ReplyPayload();
    ASSERT_EQ(payload.size(), 1u);
    EXPECT_EQ(payload[0], 0x00);
    // Fields beyond the payload read 0, not the 34 12 of the earlier reply.
    EXPECT_EQ(LoadU16(payload, 1), 0u);
    EXPECT_EQ(protocol.GetReply()[6], 0x00);
    EXPECT_EQ(protocol.GetReply()[7], 0x00);
}

const Bytes kGoodReply = ScriptedDevice::Frame(0x131E, {0x00, 0x02, 0x00});
const Bytes kGood = ScriptedDevice::Concat({ScriptedDevice::Ack(), kGoodReply});
const Bytes kBadSum = [] {
    Bytes b = kGood;
    b[b.size() - 2] = static_cast<uint8_t>(b[b.size() - 2] + 1);
    return b;
}();
const Bytes kUnknownWord{0x80, 0x0F};
const Bytes kWrongCode = ScriptedDevice::Concat(
    {ScriptedDevice::Ack(), ScriptedDevice::Frame(0x1320, {0x00, 0x02, 0x00})});
const Bytes kTruncated(kGood.begin(), kGood.end() - 2);

// One transaction outcome per row: what the device answers to each request
// and what the library makes of it.
struct TransactRow {
    std::string name;
    std::vector<Bytes> answers; // one per transmitted request
    bool succeeds;
    std::size_t transmissions;
    LinkStatus status;
    TRELM_Result result;
};

void PrintTo(const TransactRow& row, std::ostream* os) {
    *os << row.name;
}

class ProtocolTransact : public ProtocolLine, public ::testing::WithParamInterface<TransactRow> {};

TEST_P(ProtocolTransact, Outcome) {
    const TransactRow& row = GetParam();
    for (const Bytes& answer : row.answers) {
        device.QueueAnswer(answer);
    }
    EXPECT_EQ(protocol.GetNumberOfOpenNvFiles(), row.succeeds);
    EXPECT_EQ(device.Writes().size(), row.transmissions);
    for (const Bytes& written : device.Writes()) {
        EXPECT_EQ(written, (Bytes{0x1D, 0x13, 0x00, 0x30, 0x00}));
    }
    EXPECT_EQ(protocol.GetStatus(), row.status);
    EXPECT_EQ(Session::ResultForLinkStatus(protocol.GetStatus()), row.result);
    if (row.succeeds) {
        ASSERT_NE(protocol.GetReply(), nullptr);
        EXPECT_EQ(Bytes(protocol.GetReply(), protocol.GetReply() + kGoodReply.size()), kGoodReply);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ProtocolTransact,
    ::testing::Values(
        TransactRow{"GoodDeviceOneAttempt", {kGood}, true, 1, LINK_OK, TRELM_OK},
        TransactRow{"NakStopsAtOnce", {ScriptedDevice::Nak(), kGood}, false, 1, LINK_NAK, 19},
        TransactRow{"ThreeUnknownWords",
                    {kUnknownWord, kUnknownWord, kUnknownWord},
                    false,
                    3,
                    LINK_BAD_DATA,
                    11},
        TransactRow{
            "BadChecksumThreeTimes", {kBadSum, kBadSum, kBadSum}, false, 3, LINK_BAD_DATA, 11},
        TransactRow{"BadChecksumThenGood", {kBadSum, kGood}, true, 2, LINK_OK, TRELM_OK},
        TransactRow{
            "WrongReplyCodeNoRetry", {kWrongCode, kGood}, false, 1, LINK_UNEXPECTED_REPLY, 8},
        TransactRow{"Silence", {}, false, 3, LINK_NO_ANSWER, 10},
        TransactRow{"ReplyEndsShortThreeTimes",
                    {kTruncated, kTruncated, kTruncated},
                    false,
                    3,
                    LINK_NO_ANSWER,
                    10},
        TransactRow{
            "AckWithoutReplyThenGood", {ScriptedDevice::Ack(), kGood}, true, 2, LINK_OK, TRELM_OK}),
    [](const ::testing::TestParamInfo<TransactRow>& info) { return info.param.name; });

TEST(ProtocolLinkStatus, MapsToResultCodes) {
    struct Row {
        LinkStatus status;
        TRELM_Result result;
    };
    const Row rows[] = {{LINK_OK, 0},
                        {LINK_NO_ANSWER, 10},
                        {LINK_BAD_DATA, 11},
                        {LINK_UNEXPECTED_REPLY, 8},
                        {LINK_NAK, 19},
                        {5, 1},
                        {-1, 1}};
    for (const Row& row : rows) {
        EXPECT_EQ(Session::ResultForLinkStatus(row.status), row.result) << "status " << row.status;
    }
}

TEST_F(ProtocolLine, TransactPurgesBeforeTheFirstRequest) {
    device.Inject({0x00, 0x0F, 0xAA}); // stale bytes that look like an acknowledgement
    device.QueueAnswer(ScriptedDevice::Nak());
    EXPECT_FALSE(protocol.GetNumberOfOpenNvFiles());
    EXPECT_EQ(protocol.GetStatus(), LINK_NAK);
    EXPECT_GE(device.Purges(), 1);
}

// Bytes that trail a reply are gone before the next exchange, however many
// there are. The next command is acknowledgement-only, so no purge hides a
// failure to drain.
class ProtocolDrain : public ProtocolLine, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ProtocolDrain, LeftoverBytesNeverReachTheNextExchange) {
    const Bytes leftover(GetParam(), 0x40); // would read as NAK words
    device.QueueAnswer(ScriptedDevice::Concat({kGood, leftover}));
    device.QueueAnswer(ScriptedDevice::Ack());

    ASSERT_TRUE(protocol.GetNumberOfOpenNvFiles());
    EXPECT_EQ(device.Pending(), 0u);
    EXPECT_EQ(protocol.ReplyPayload().size(), 3u);

    const int purgesBefore = device.Purges();
    EXPECT_TRUE(protocol.GetNvFileInfoListEnd());
    EXPECT_EQ(device.Purges(), purgesBefore);
    EXPECT_EQ(protocol.GetStatus(), LINK_OK);
    EXPECT_EQ(protocol.LastAck(), ACK_WORD);
}

INSTANTIATE_TEST_SUITE_P(Protocol, ProtocolDrain,
                         ::testing::Values(1u, 511u, 512u, 513u, 600u, 5000u),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return "Leftover" + std::to_string(info.param);
                         });

TEST_F(ProtocolLine, DrainInputEmptiesTheQueueAndToleratesAnEmptyOne) {
    device.QueueAnswer(kGood);
    ASSERT_TRUE(protocol.GetNumberOfOpenNvFiles());
    device.Inject({0x01, 0x02});
    protocol.DrainInput();
    EXPECT_EQ(device.Pending(), 0u);
    protocol.DrainInput();
    EXPECT_EQ(device.Pending(), 0u);
}

TEST(ProtocolNoPort, EveryExchangeFailsWithoutAPort) {
    timing::SetScale(0.001);
    DeviceProtocol protocol(nullptr);
    EXPECT_FALSE(protocol.GetNumberOfOpenNvFiles());
    EXPECT_EQ(protocol.GetStatus(), LINK_NO_ANSWER);
    EXPECT_EQ(protocol.GetReply(), nullptr);
    protocol.DrainInput();
    timing::SetScale(1.0);
}

} // namespace
