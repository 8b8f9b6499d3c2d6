// Scripted faults: what the device sends instead of its normal answer, which
// occurrences a rule hits, and whether the request was carried out.
#include "AnswerReader.h"
#include "RequestBuilder.h"

#include "devsim/Device.h"

#include <gtest/gtest.h>

#include <string>

using devsim::Device;
using devsim::NvFile;
using RB = RequestBuilder;

namespace {

class DevsimFaults : public ::testing::Test {
protected:
    DevsimFaults() {
        NvFile f;
        f.name = "data.bin";
        f.data.assign(250, 0x5A);
        EXPECT_TRUE(device.addFile(f));
    }

    void fault(const std::string& rule) {
        std::string error;
        ASSERT_TRUE(device.addFault(rule, &error)) << error;
    }

    Device device;
};

TEST_F(DevsimFaults, AnswersInPlaceOfTheNormalOne) {
    // The normal answer to a size query, for comparison.
    const uint16_t handle = *device.handleOf("data.bin");
    const Bytes request = RB::handle(0x132F, handle);
    Device reference;
    NvFile f;
    f.name = "data.bin";
    f.data.assign(250, 0x5A);
    ASSERT_TRUE(reference.addFile(f));
    const Bytes good = reference.process(request);
    ASSERT_EQ(good.size(), 2u + 5 + 7);

    Bytes badSum = good;
    badSum[good.size() - 2] = static_cast<uint8_t>(badSum[good.size() - 2] + 1);
    Bytes extra = good;
    extra.insert(extra.end(), {0xA5, 0xA5, 0xA5});

    struct Row {
        const char* label;
        std::string rule;
        Bytes answer;
    };
    const Row rows[] = {
        {"nak", "GET_NV_FILE_SIZE_EX=nak", {0x40, 0x0F}},
        {"unknown word", "GET_NV_FILE_SIZE_EX=word:0x0F80", {0x80, 0x0F}},
        {"silent", "GET_NV_FILE_SIZE_EX=silent", {}},
        {"bad checksum", "GET_NV_FILE_SIZE_EX=badsum", badSum},
        {"truncated", "GET_NV_FILE_SIZE_EX=truncate:3", Bytes(good.begin(), good.end() - 3)},
        {"extra bytes", "GET_NV_FILE_SIZE_EX=extra:3", extra},
    };
    for (const Row& row : rows) {
        device.clearFaults();
        fault(row.rule);
        EXPECT_EQ(device.process(request), row.answer) << row.label;
    }
}

TEST_F(DevsimFaults, WrongCodeKeepsAValidFrame) {
    fault("GET_NV_FILE_SIZE_EX=wrongcode");
    fault("NV_FILE_GET_SPACE_IN_USE=wrongcode:0x1999");
    const AnswerReader a(device.process(RB::handle(0x132F, *device.handleOf("data.bin"))));
    EXPECT_TRUE(a.acked());
    EXPECT_TRUE(a.checksumOk());
    EXPECT_EQ(a.code(), 0x132F) << "by default the reply echoes the request code";
    EXPECT_EQ(a.u32(3), 250u);
    const AnswerReader b(device.process(RB::frame(0x1331)));
    EXPECT_TRUE(b.checksumOk());
    EXPECT_EQ(b.code(), 0x1999);
}

TEST_F(DevsimFaults, RefusingFaultsLeaveTheRequestUndone) {
    for (const char* action : {"nak", "silent", "word:0x0F80", "hangup", "status:6"}) {
        device.clearFaults();
        fault(std::string("DELETE_NV_FILE=") + action);
        device.process(RB::named(0x1323, "data.bin"));
        EXPECT_TRUE(device.file("data.bin").has_value()) << action;
    }
    // A corrupted reply still follows work that was done.
    device.clearFaults();
    fault("DELETE_NV_FILE=badsum");
    device.process(RB::named(0x1323, "data.bin"));
    EXPECT_FALSE(device.file("data.bin").has_value());
}

TEST_F(DevsimFaults, StatusFaultKeepsTheReplyLength) {
    fault("GET_NV_FILE_HANDLE=status:19");
    const AnswerReader a(device.process(RB::named(0x1300, "data.bin")));
    ASSERT_TRUE(a.hasReply());
    EXPECT_EQ(a.code(), 0x1301);
    EXPECT_EQ(a.payload(), (Bytes{19, 0, 0}));
}

TEST_F(DevsimFaults, HangUpDelayAndPacingAreLeftToTheLine) {
    fault("WAKE_UP_DUT@1=hangup");
    fault("WAKE_UP_DUT@2=delay:250");
    fault("WAKE_UP_DUT@3=baud:1200");
    const Bytes wake = RB::frame(0x0000, {0x01});
    const auto exchanges = device.receive(RB::join({wake, wake, wake}));
    ASSERT_EQ(exchanges.size(), 3u);
    EXPECT_TRUE(exchanges[0].hangUp);
    EXPECT_TRUE(exchanges[0].answer.empty());
    EXPECT_EQ(exchanges[1].delayMs, 250u);
    EXPECT_TRUE(AnswerReader(exchanges[1].answer).hasReply());
    EXPECT_EQ(exchanges[2].baud, 1200u);
    EXPECT_TRUE(AnswerReader(exchanges[2].answer).hasReply());
}

TEST_F(DevsimFaults, OccurrencesPickWhichRequestsAreHit) {
    struct Row {
        const char* label;
        std::string rule;
        const char* pattern; // per wake-up: s = silent, a = answered
    };
    const Row rows[] = {
        {"the first three", "WAKE_UP_DUT@1-3=silent", "sssaa"},
        {"only the second", "WAKE_UP_DUT@2=silent", "asaaa"},
        {"a list", "WAKE_UP_DUT@1,4=silent", "saasa"},
        {"from the fourth on", "WAKE_UP_DUT@4-=silent", "aaass"},
        {"every one", "WAKE_UP_DUT=silent", "sssss"},
        {"by code", "0x0000@5=silent", "aaaas"},
    };
    const Bytes wake = RB::frame(0x0000, {0x01});
    for (const Row& row : rows) {
        Device d;
        std::string error;
        ASSERT_TRUE(d.addFault(row.rule, &error)) << error;
        std::string seen;
        for (int i = 0; i < 5; ++i) {
            seen += d.process(wake).empty() ? 's' : 'a';
        }
        EXPECT_EQ(seen, row.pattern) << row.label;
    }
}

TEST_F(DevsimFaults, EveryCommandTargetCountsAllRequests) {
    fault("*@2=nak");
    EXPECT_EQ(device.process(RB::frame(0x131D)).size(), 2u + 5 + 3);
    EXPECT_EQ(device.process(RB::frame(0x0000, {1})), (Bytes{0x40, 0x0F}));
    EXPECT_EQ(device.process(RB::frame(0x131D)).size(), 2u + 5 + 3);
}

TEST_F(DevsimFaults, AnyCommandRulePassesOverRequestsItCannotAffect) {
    // A status byte cannot go into a wake-up reply, so the wake-up is answered
    // normally and the rule waits for a request with a status byte.
    fault("*=status:1");
    const AnswerReader wake(device.process(RB::frame(0x0000, {1})));
    EXPECT_EQ(wake.payload().size(), 2u);
    EXPECT_EQ(AnswerReader(device.process(RB::frame(0x131D))).u8(0), 1);
}

TEST_F(DevsimFaults, FirstMatchingRuleDecides) {
    fault("NV_FILE_EXIST@1=nak");
    fault("NV_FILE_EXIST=silent");
    const Bytes request = RB::named(0x1327, "data.bin");
    EXPECT_EQ(device.process(request), (Bytes{0x40, 0x0F}));
    EXPECT_TRUE(device.process(request).empty());
}

TEST_F(DevsimFaults, RepeatAsksForTheSamePacketAgain) {
    fault("CREATE_NV_FILE_DATA_PACKET@2=repeat");
    ASSERT_EQ(AnswerReader(device.process(RB::create("new.bin", 150))).u8(0), 0);
    const Bytes first(100, 1);
    const Bytes second(50, 2);
    EXPECT_EQ(AnswerReader(device.process(RB::createPacket(0, first))).u16(0), 1);
    const AnswerReader repeated(device.process(RB::createPacket(1, second)));
    EXPECT_EQ(repeated.u16(0), 1) << "asks for packet 1 again";
    EXPECT_EQ(repeated.u8(2), 0);
    const AnswerReader last(device.process(RB::createPacket(1, second)));
    EXPECT_EQ(last.u16(0), 2);
    EXPECT_EQ(last.u8(2), 1);
    EXPECT_EQ(AnswerReader(device.process(RB::frame(0x130B))).u8(0), 0);
    EXPECT_EQ(device.file("new.bin")->data.size(), 150u);
}

TEST_F(DevsimFaults, FlipKeepsOneStoredByteInvertedAndAnswersSuccess) {
    struct Row {
        const char* rule;
        std::size_t size;
        std::size_t changedAt; // size: nothing changes
    };
    const Row rows[] = {
        {"CREATE_NV_FILE_STORE_FILE=flip", 150, 0},
        {"CREATE_NV_FILE_STORE_FILE=flip:120", 150, 120},
        {"CREATE_NV_FILE_STORE_FILE=flip:5000", 150, 149}, // beyond the end: the last byte
        {"*=flip:3", 0, 0},                                // an empty file stays empty
        {"CREATE_NV_FILE_STORE_FILE@2=flip", 150, 150},    // the first store is not hit
    };
    for (const Row& row : rows) {
        Device fresh;
        std::string error;
        ASSERT_TRUE(fresh.addFault(row.rule, &error)) << error;
        const Bytes data(row.size, 0x5A);
        ASSERT_EQ(
            AnswerReader(fresh.process(RB::create("new.bin", static_cast<uint16_t>(row.size))))
                .u8(0),
            0);
        for (std::size_t offset = 0; offset < row.size; offset += 100) {
            const Bytes part(data.begin() + static_cast<std::ptrdiff_t>(offset),
                             data.begin() + static_cast<std::ptrdiff_t>(
                                                std::min<std::size_t>(offset + 100, row.size)));
            fresh.process(RB::createPacket(static_cast<uint16_t>(offset / 100), part));
        }
        EXPECT_EQ(AnswerReader(fresh.process(RB::frame(0x130B))).u8(0), 0) << row.rule;
        const auto stored = fresh.file("new.bin");
        ASSERT_TRUE(stored.has_value()) << row.rule;
        ASSERT_EQ(stored->data.size(), row.size) << row.rule;
        for (std::size_t i = 0; i < row.size; ++i) {
            EXPECT_EQ(stored->data[i], i == row.changedAt ? 0xA5 : 0x5A)
                << row.rule << " at byte " << i;
        }
    }
}

TEST_F(DevsimFaults, FlipOnAReadPacketChangesOneByteOfThatPacketOnly) {
    fault("READ_NV_FILE_DATA_PACKET@1=flip:7");
    const uint16_t handle = *device.handleOf("data.bin");
    ASSERT_EQ(AnswerReader(device.process(RB::handleAnd(0x1302, handle, 250))).u8(0), 0);
    // Reply: handle, packet number, byte count, then the data.
    const AnswerReader hit(device.process(RB::handleAnd(0x1304, handle, 0)));
    const AnswerReader again(device.process(RB::handleAnd(0x1304, handle, 0)));
    for (std::size_t i = 0; i < 100; ++i) {
        EXPECT_EQ(hit.u8(5 + i), i == 7 ? 0xA5 : 0x5A) << "byte " << i;
        EXPECT_EQ(again.u8(5 + i), 0x5A) << "the second read is not hit, byte " << i;
    }
    EXPECT_EQ(device.file("data.bin")->data, Bytes(250, 0x5A)) << "the store is unchanged";
}

TEST_F(DevsimFaults, WrongPacketNumbersInDataPacketReplies) {
    fault("READ_NV_FILE_DATA_PACKET@2=packet:+1");
    fault("GET_NV_FILE_INFO_LIST_DATA_PACKET=packet:7");
    fault("CREATE_NV_FILE_DATA_PACKET=packet:-1");
    const uint16_t handle = *device.handleOf("data.bin");
    device.process(RB::handleAnd(0x1302, handle, 250));
    EXPECT_EQ(AnswerReader(device.process(RB::handleAnd(0x1304, handle, 0))).u16(2), 0);
    EXPECT_EQ(AnswerReader(device.process(RB::handleAnd(0x1304, handle, 1))).u16(2), 2);

    device.process(RB::frame(0x1333));
    EXPECT_EQ(AnswerReader(device.process(RB::listPacket(0x1335, 0))).u16(0), 7);

    device.process(RB::create("new.bin", 10));
    EXPECT_EQ(AnswerReader(device.process(RB::createPacket(0, Bytes(10, 1)))).u16(0), 0)
        << "the device wants packet 1 and says 0";
}

TEST_F(DevsimFaults, TruncateAndExtraWorkOnAcknowledgementOnlyCommands) {
    fault("READ_NV_FILE_TERMINATE_READ@1=truncate");
    fault("READ_NV_FILE_TERMINATE_READ@2=extra:2");
    const Bytes request = RB::handle(0x1306, 1);
    EXPECT_EQ(device.process(request), (Bytes{0x00}));
    EXPECT_EQ(device.process(request), (Bytes{0x00, 0x0F, 0xA5, 0xA5}));
}

} // namespace
