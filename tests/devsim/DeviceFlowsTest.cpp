// The device's multi-request flows: creating a file packet by packet, reading
// one, and listing the store.
#include "AnswerReader.h"
#include "RequestBuilder.h"

#include "devsim/Device.h"

#include <gtest/gtest.h>

#include <string>

using devsim::Device;
using devsim::NvFile;
using RB = RequestBuilder;

namespace {

Bytes pattern(std::size_t size, uint8_t seed) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<uint8_t>(seed + i * 13);
    }
    return data;
}

Bytes slice(const Bytes& data, std::size_t offset, std::size_t count) {
    return Bytes(data.begin() + static_cast<std::ptrdiff_t>(offset),
                 data.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

class DevsimFlows : public ::testing::Test {
protected:
    AnswerReader ask(const Bytes& request) { return AnswerReader(device.process(request)); }

    // Sends a whole file the way a well-behaved client does: the packet the
    // device asks for, until it reports completion.
    void upload(const std::string& name, const Bytes& data, uint8_t attributes = 0) {
        ASSERT_EQ(ask(RB::create(name, static_cast<uint16_t>(data.size()), attributes)).u8(0), 0);
        uint16_t next = 0;
        for (int guard = 0; guard < 1000; ++guard) {
            const std::size_t offset = std::size_t{next} * 100;
            const std::size_t count = std::min<std::size_t>(100, data.size() - offset);
            const AnswerReader a = ask(RB::createPacket(next, slice(data, offset, count)));
            ASSERT_TRUE(a.hasReply());
            next = a.u16(0);
            if (a.u8(2) != 0) {
                break;
            }
        }
        ASSERT_EQ(ask(RB::frame(0x130B)).u8(0), 0);
    }

    NvFile fileOf(const std::string& name, std::size_t size) {
        NvFile f;
        f.name = name;
        f.data = pattern(size, static_cast<uint8_t>(name[0]));
        return f;
    }

    Device device;
};

TEST_F(DevsimFlows, CreateAsksForEachPacketAndStoresTheCompleteFile) {
    const Bytes data = pattern(250, 3);
    const AnswerReader created = ask(RB::create("NEW.BIN", 250, NvFile::ReadOnly));
    ASSERT_TRUE(created.hasReply());
    EXPECT_EQ(created.code(), 0x1308);
    ASSERT_EQ(created.payload().size(), 1u);
    EXPECT_EQ(created.u8(0), 0);
    EXPECT_EQ(device.openFiles(), 1);

    struct Step {
        uint16_t packet;
        std::size_t offset;
        std::size_t count;
        uint16_t next;
        uint8_t complete;
    };
    const Step steps[] = {{0, 0, 100, 1, 0}, {1, 100, 100, 2, 0}, {2, 200, 50, 3, 1}};
    for (const Step& s : steps) {
        const AnswerReader a = ask(RB::createPacket(s.packet, slice(data, s.offset, s.count)));
        ASSERT_TRUE(a.hasReply());
        EXPECT_EQ(a.code(), 0x130A);
        ASSERT_EQ(a.payload().size(), 3u) << "data packet replies carry no status byte";
        EXPECT_EQ(a.u16(0), s.next) << "packet " << s.packet;
        EXPECT_EQ(a.u8(2), s.complete) << "packet " << s.packet;
    }
    const AnswerReader stored = ask(RB::frame(0x130B));
    EXPECT_EQ(stored.code(), 0x130C);
    EXPECT_EQ(stored.u8(0), 0);
    EXPECT_EQ(device.openFiles(), 0);

    const auto file = device.file("new.bin");
    ASSERT_TRUE(file.has_value()) << "the name is kept in lower case";
    EXPECT_EQ(file->data, data);
    EXPECT_EQ(file->attributes, NvFile::ReadOnly);
    EXPECT_EQ(file->created.toText(), "2024-03-05T10:20:30/2");
    EXPECT_EQ(file->modified, file->created);
}

TEST_F(DevsimFlows, PacketsOtherThanTheOneAskedForAreAskedForAgain) {
    const Bytes data = pattern(150, 9);
    ASSERT_EQ(ask(RB::create("order.bin", 150)).u8(0), 0);
    struct Row {
        const char* label;
        Bytes request;
        uint16_t next;
        uint8_t complete;
    };
    const Row rows[] = {
        {"ahead of time", RB::createPacket(1, slice(data, 100, 50)), 0, 0},
        {"short packet", RB::createPacket(0, slice(data, 0, 99)), 0, 0},
        {"right packet", RB::createPacket(0, slice(data, 0, 100)), 1, 0},
        {"sent again after its reply was lost", RB::createPacket(0, slice(data, 0, 100)), 1, 0},
        {"last packet", RB::createPacket(1, slice(data, 100, 50)), 2, 1},
        {"last packet again", RB::createPacket(1, slice(data, 100, 50)), 2, 1},
    };
    for (const Row& row : rows) {
        const AnswerReader a = ask(row.request);
        EXPECT_EQ(a.u16(0), row.next) << row.label;
        EXPECT_EQ(a.u8(2), row.complete) << row.label;
    }
    ASSERT_EQ(ask(RB::frame(0x130B)).u8(0), 0);
    EXPECT_EQ(device.file("order.bin")->data, data);
}

TEST_F(DevsimFlows, IncompleteFileIsDiscardedOnStore) {
    ASSERT_EQ(ask(RB::create("half.bin", 150)).u8(0), 0);
    ask(RB::createPacket(0, pattern(100, 1)));
    const AnswerReader stored = ask(RB::frame(0x130B));
    EXPECT_EQ(stored.u8(0), devsim::status::WriteError);
    EXPECT_FALSE(device.file("half.bin").has_value());
    // Nothing is being created any more.
    EXPECT_EQ(ask(RB::frame(0x130B)).u8(0), devsim::status::FileIsNotOpen);
    EXPECT_EQ(device.process(RB::createPacket(1, pattern(50, 1))), (Bytes{0x40, 0x0F}));
}

TEST_F(DevsimFlows, EmptyFileIsCompleteWithItsFirstPacket) {
    ASSERT_EQ(ask(RB::create("empty.txt", 0)).u8(0), 0);
    const AnswerReader a = ask(RB::createPacket(0, {}));
    EXPECT_EQ(a.u8(2), 1);
    EXPECT_EQ(ask(RB::frame(0x130B)).u8(0), 0);
    ASSERT_TRUE(device.file("empty.txt").has_value());
    EXPECT_TRUE(device.file("empty.txt")->data.empty());
}

TEST_F(DevsimFlows, CreateRefusals) {
    devsim::DeviceConfig config;
    config.maxFiles = 3;
    config.maxTotalBytes = 1000;
    device.setConfig(config);
    ASSERT_TRUE(device.addFile(fileOf("one.txt", 100)));
    NvFile hidden = fileOf("two.txt", 100);
    hidden.attributes = NvFile::Hidden;
    ASSERT_TRUE(device.addFile(hidden));

    struct Row {
        const char* label;
        std::string name;
        uint16_t size;
        uint8_t status;
    };
    const Row rows[] = {
        {"existing name", "one.txt", 10, devsim::status::ExistingFilename},
        {"existing hidden name", "TWO.TXT", 10, devsim::status::ExistingFilename},
        {"illegal name", "toolongname.txt", 10, devsim::status::IllegalFilename},
        {"empty name", "", 10, devsim::status::IllegalFilename},
        {"no space", "big.bin", 801, devsim::status::MaxNumFilesExceeded},
        {"fits exactly", "fit.bin", 800, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ask(RB::create(row.name, row.size)).u8(0), row.status) << row.label;
    }
    ASSERT_TRUE(device.addFile(fileOf("three.txt", 0)));
    EXPECT_EQ(ask(RB::create("four.txt", 1)).u8(0), devsim::status::MaxNumFilesExceeded)
        << "a fourth file";
}

TEST_F(DevsimFlows, ReadDeliversTheFileInPacketsOfAHundredBytes) {
    ASSERT_TRUE(device.addFile(fileOf("data.bin", 250)));
    const Bytes expected = device.file("data.bin")->data;

    const AnswerReader h = ask(RB::named(0x1300, "data.bin"));
    const uint16_t handle = h.u16(1);
    EXPECT_EQ(ask(RB::handle(0x132F, handle)).u32(3), 250u);

    const AnswerReader open = ask(RB::handleAnd(0x1302, handle, 250));
    EXPECT_EQ(open.code(), 0x1303);
    ASSERT_EQ(open.payload().size(), 7u);
    EXPECT_EQ(open.u8(0), 0);
    EXPECT_EQ(open.u16(3), 250u);
    EXPECT_EQ(open.u16(5), 3u);
    EXPECT_EQ(device.openFiles(), 1);

    Bytes received;
    for (uint16_t i = 0; i < 3; ++i) {
        const AnswerReader p = ask(RB::handleAnd(0x1304, handle, i));
        ASSERT_TRUE(p.hasReply());
        EXPECT_EQ(p.code(), 0x1305);
        EXPECT_EQ(p.u16(2), i);
        const std::size_t n = p.u8(4);
        ASSERT_EQ(p.payload().size(), 5 + n);
        EXPECT_EQ(n, i < 2 ? 100u : 50u);
        received.insert(received.end(), p.payload().begin() + 5, p.payload().end());
    }
    EXPECT_EQ(received, expected);

    // Terminating is acknowledged only.
    EXPECT_EQ(device.process(RB::handle(0x1306, handle)), (Bytes{0x00, 0x0F}));
    EXPECT_EQ(device.openFiles(), 0);
    EXPECT_EQ(device.process(RB::handleAnd(0x1304, handle, 0)), (Bytes{0x40, 0x0F}))
        << "no read is open any more";
}

TEST_F(DevsimFlows, ReadAnnouncesNoMoreThanAskedOrThanTheFileHolds) {
    ASSERT_TRUE(device.addFile(fileOf("data.bin", 250)));
    const uint16_t handle = *device.handleOf("data.bin");
    struct Row {
        uint16_t asked;
        uint16_t bytes;
        uint16_t packets;
    };
    for (const Row& row : {Row{120, 120, 2}, Row{1000, 250, 3}, Row{0, 0, 0}}) {
        const AnswerReader a = ask(RB::handleAnd(0x1302, handle, row.asked));
        EXPECT_EQ(a.u16(3), row.bytes) << "asked " << row.asked;
        EXPECT_EQ(a.u16(5), row.packets) << "asked " << row.asked;
    }
}

TEST_F(DevsimFlows, ListingEntriesPutTheDateBeforeTheTime) {
    NvFile f = fileOf("one.txt", 300);
    f.created = *devsim::Timestamp::parse("2023-12-24T08:15:42/0");
    f.modified = *devsim::Timestamp::parse("2024-01-02T17:05:09/2");
    f.attributes = NvFile::ReadOnly;
    f.reportedSize = 512;
    f.reportedValue = 77;
    ASSERT_TRUE(device.addFile(f));

    const AnswerReader open = ask(RB::frame(0x1333));
    EXPECT_EQ(open.code(), 0x1334);
    ASSERT_EQ(open.payload().size(), 5u);
    EXPECT_EQ(open.u16(1), 1u);
    EXPECT_EQ(open.u16(3), 1u);

    const AnswerReader p = ask(RB::listPacket(0x1335, 0));
    EXPECT_EQ(p.code(), 0x1336);
    EXPECT_EQ(p.u16(0), 0u);
    ASSERT_EQ(p.u8(2), 48u);
    const Bytes entry(p.payload().begin() + 3, p.payload().end());
    Bytes expected = {0x2C, 0x01, 0, 0}; // 300
    const std::string name = "one.txt";
    expected.insert(expected.end(), name.begin(), name.end());
    expected.resize(4 + 13 + 1, 0);
    const Bytes stamps = {24, 12, 0xE7, 0x07, 0, 0, 8,  15, 42, 0, // first: date, then time
                          2,  1,  0xE8, 0x07, 2, 0, 17, 5,  9,  0};
    expected.insert(expected.end(), stamps.begin(), stamps.end());
    const Bytes tail = {0x01, 0x00, 0x00, 0x02, 0, 0, 77, 0, 0, 0};
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(entry, expected);

    EXPECT_EQ(device.process(RB::frame(0x1337)), (Bytes{0x00, 0x0F}));
    EXPECT_EQ(device.process(RB::listPacket(0x1335, 0)), (Bytes{0x40, 0x0F}))
        << "the listing is closed";
}

TEST_F(DevsimFlows, ListingDataIsSplitIntoPacketsOfAtMostAHundredBytes) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}) {
        ASSERT_TRUE(device.addFile(fileOf(name, 10)));
    }
    const AnswerReader open = ask(RB::frame(0x1338));
    EXPECT_EQ(open.code(), 0x1339);
    EXPECT_EQ(open.u16(1), 5u);
    ASSERT_EQ(open.u16(3), 3u); // 240 bytes
    Bytes data;
    for (unsigned i = 0; i < 3; ++i) {
        const AnswerReader p = ask(RB::listPacket(0x133A, i));
        EXPECT_EQ(p.code(), 0x133B);
        EXPECT_EQ(p.u8(2), i < 2 ? 100u : 40u);
        data.insert(data.end(), p.payload().begin() + 3, p.payload().end());
    }
    ASSERT_EQ(data.size(), 240u);
    for (std::size_t j = 0; j < 5; ++j) {
        const std::string name(reinterpret_cast<const char*>(data.data() + j * 48 + 4));
        EXPECT_EQ(name, std::string(1, static_cast<char>('a' + j)) + ".txt");
    }
    EXPECT_EQ(device.process(RB::frame(0x133C)), (Bytes{0x00, 0x0F}));
}

TEST_F(DevsimFlows, ListingPacketNumbersTravelAsLowBitsAndComeBackWhole) {
    devsim::DeviceConfig config;
    config.listPacketSize = 1;
    device.setConfig(config);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"}) {
        ASSERT_TRUE(device.addFile(fileOf(name, 1)));
    }
    const AnswerReader open = ask(RB::frame(0x1333));
    ASSERT_EQ(open.u16(3), 288u);
    Bytes data;
    for (unsigned i = 0; i < 288; ++i) {
        const Bytes request = RB::listPacket(0x1335, i);
        ASSERT_EQ(request[4], 0) << "the high byte of the number is 0";
        const AnswerReader p = ask(request);
        ASSERT_EQ(p.u16(0), i) << "the reply names the real packet number";
        data.insert(data.end(), p.payload().begin() + 3, p.payload().end());
    }
    ASSERT_EQ(data.size(), 288u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data() + 5 * 48 + 4)), "f.txt");
}

TEST_F(DevsimFlows, UploadedFileReadsBackUnchanged) {
    const Bytes data = pattern(1234, 42);
    upload("round.bin", data, NvFile::Hidden);
    const uint16_t handle = ask(RB::named(0x1300, "round.bin")).u16(1);
    const AnswerReader open = ask(RB::handleAnd(0x1302, handle, 1234));
    Bytes received;
    for (uint16_t i = 0; i < open.u16(5); ++i) {
        const AnswerReader p = ask(RB::handleAnd(0x1304, handle, i));
        received.insert(received.end(), p.payload().begin() + 5, p.payload().end());
    }
    EXPECT_EQ(received, data);
}

} // namespace
