// The device's answers to single requests: acknowledgement, reply layouts,
// hidden-file visibility, delete rules and error statuses.
#include "AnswerReader.h"
#include "RequestBuilder.h"

#include "devsim/Device.h"

#include <gtest/gtest.h>

#include <string>

using devsim::Device;
using devsim::NvFile;
using devsim::Timestamp;
using RB = RequestBuilder;

namespace {

Timestamp stamp(uint8_t h, uint8_t mi, uint8_t s, uint8_t d, uint8_t mo, uint16_t y, uint8_t wd) {
    Timestamp t;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.day = d;
    t.month = mo;
    t.year = y;
    t.weekday = wd;
    return t;
}

NvFile makeFile(const std::string& name, std::size_t size, uint16_t attributes) {
    NvFile f;
    f.name = name;
    for (std::size_t i = 0; i < size; ++i) {
        f.data.push_back(static_cast<uint8_t>(i * 7 + name.size()));
    }
    f.created = stamp(8, 15, 42, 24, 12, 2023, 0);
    f.modified = stamp(17, 5, 9, 2, 1, 2024, 2);
    f.attributes = attributes;
    return f;
}

// A store with a plain file, a write-protected one and a hidden one.
class DevsimDevice : public ::testing::Test {
protected:
    DevsimDevice() : device(config()) {
        EXPECT_TRUE(device.addFile(makeFile("alpha.txt", 10, 0)));
        EXPECT_TRUE(device.addFile(makeFile("ro.cfg", 20, NvFile::ReadOnly)));
        EXPECT_TRUE(device.addFile(makeFile("secret.bin", 30, NvFile::Hidden)));
    }

    static devsim::DeviceConfig config() {
        devsim::DeviceConfig c;
        c.infoValue1 = 7;
        c.infoValue2 = 9;
        c.maxOpenFiles = 5;
        c.totalBufferSize = 8192;
        c.maxTotalBytes = 50000;
        return c;
    }

    AnswerReader ask(const Bytes& request) { return AnswerReader(device.process(request)); }
    uint16_t handle(const std::string& name) { return device.handleOf(name).value_or(0); }

    Device device;
};

TEST_F(DevsimDevice, WakeUpIsAcknowledgedAndAnswersTheInformationValues) {
    const Bytes request = RB::frame(0x0000, {0x01});
    ASSERT_EQ(request, (Bytes{0x00, 0x00, 0x01, 0x01, 0x02, 0x00}));
    const Bytes answer = device.process(request);
    // 00 0F, then code 0x0001, length 2, the two values and their checksum.
    EXPECT_EQ(answer, (Bytes{0x00, 0x0F, 0x01, 0x00, 0x02, 0x07, 0x09, 0x13, 0x00}));
}

TEST_F(DevsimDevice, RequestWithBadChecksumIsRefusedAndNotCounted) {
    Bytes request = RB::named(0x1323, "alpha.txt");
    request.back() ^= 0x01;
    const Bytes answer = device.process(request);
    EXPECT_EQ(answer, (Bytes{0x40, 0x0F}));
    EXPECT_EQ(device.badFrames(), 1u);
    EXPECT_EQ(device.requestCount(0x1323), 0u);
    EXPECT_TRUE(device.file("alpha.txt").has_value()) << "a refused delete removed the file";
}

TEST_F(DevsimDevice, UnknownCommandIsRefused) {
    const Bytes answer = device.process(RB::frame(0x1234, {1, 2, 3}));
    EXPECT_EQ(answer, (Bytes{0x40, 0x0F}));
    EXPECT_EQ(device.requestCount(0x1234), 1u);
}

TEST_F(DevsimDevice, MalformedNameArgumentIsRefused) {
    // The length byte says 5 but 3 characters follow.
    const Bytes answer = device.process(RB::frame(0x1300, {5, 'a', 'b', 'c'}));
    EXPECT_EQ(answer, (Bytes{0x40, 0x0F}));
}

TEST_F(DevsimDevice, HandleLookupLowersTheNameAndFindsHiddenFiles) {
    const AnswerReader upper = ask(RB::named(0x1300, "ALPHA.TXT"));
    ASSERT_TRUE(upper.acked());
    ASSERT_TRUE(upper.hasReply());
    EXPECT_TRUE(upper.checksumOk());
    EXPECT_EQ(upper.code(), 0x1301);
    ASSERT_EQ(upper.payload().size(), 3u);
    EXPECT_EQ(upper.u8(0), 0);
    EXPECT_EQ(upper.u16(1), handle("alpha.txt"));
    EXPECT_NE(handle("alpha.txt"), 0);

    const AnswerReader hidden = ask(RB::named(0x1300, "secret.bin"));
    EXPECT_EQ(hidden.u8(0), 0);
    EXPECT_EQ(hidden.u16(1), handle("secret.bin"));
}

TEST_F(DevsimDevice, NameStatusesOfEveryNameCommand) {
    struct Row {
        const char* label;
        std::string name;
        uint8_t status;
    };
    const Row rows[] = {
        {"unknown", "nothere.txt", devsim::status::NoneExistingFilename},
        {"empty", "", devsim::status::IllegalFilename},
        {"base of 9", "abcdefghi.txt", devsim::status::IllegalFilename},
        {"extension of 4", "readme.text", devsim::status::IllegalFilename},
        {"two dots", "a.b.c", devsim::status::IllegalFilename},
        {"space", "my file.txt", devsim::status::IllegalFilename},
        {"slash", "a/b.txt", devsim::status::IllegalFilename},
        {"thirteen", "abcdefgh.txtx", devsim::status::IllegalFilename},
    };
    for (uint16_t code : {0x1300, 0x1323, 0x1325, 0x1341}) {
        for (const Row& row : rows) {
            const AnswerReader a = ask(RB::named(code, row.name));
            ASSERT_TRUE(a.hasReply()) << row.label << " code " << code;
            EXPECT_EQ(a.u8(0), row.status) << row.label << " code " << code;
            EXPECT_EQ(a.code(), code + 1);
        }
    }
    // The existence queries say "absent" for an unknown name and refuse an
    // illegal one.
    EXPECT_EQ(ask(RB::named(0x1327, "nothere.txt")).u8(0), 0);
    EXPECT_EQ(ask(RB::named(0x1327, "nothere.txt")).u8(2), 0);
    EXPECT_EQ(ask(RB::named(0x1329, "readme.text")).u8(0), devsim::status::IllegalFilename);
}

TEST_F(DevsimDevice, PlainQueriesDoNotSeeHiddenFilesExtendedOnesDo) {
    struct Row {
        const char* label;
        Bytes request;
        std::size_t byte; // payload byte to check
        uint8_t expected;
    };
    const uint16_t h = handle("secret.bin");
    const Row rows[] = {
        {"NV_FILE_EXIST", RB::named(0x1327, "secret.bin"), 2, 0},
        {"NV_FILE_EXIST_EX", RB::named(0x1329, "secret.bin"), 2, 1},
        {"NV_FILE_GET_FILE_INFO_EX status", RB::handle(0x133F, h), 0,
         devsim::status::NoneExistingFilename},
        {"NV_FILE_GET_FILE_INFO_ALL_FILES_EX status", RB::handle(0x1343, h), 0, 0},
        {"NV_FILE_GET_FILE_INFO_ALL_FILES status", RB::named(0x1341, "secret.bin"), 0, 0},
        {"GET_NV_FILE_SIZE_EX status", RB::handle(0x132F, h), 0, 0},
        {"GET_NV_FILE_INFO_LIST count", RB::frame(0x1333), 1, 2},
        {"GET_NV_FILE_INFO_LIST_EX count", RB::frame(0x1338), 1, 3},
        {"NV_FILE_EXIST of a visible file", RB::named(0x1327, "alpha.txt"), 2, 1},
    };
    for (const Row& row : rows) {
        const AnswerReader a = ask(row.request);
        ASSERT_TRUE(a.hasReply()) << row.label;
        EXPECT_EQ(a.u8(row.byte), row.expected) << row.label;
    }
}

TEST_F(DevsimDevice, PlainDeleteRefusesWriteProtectedFiles) {
    const AnswerReader plain = ask(RB::named(0x1323, "ro.cfg"));
    EXPECT_EQ(plain.code(), 0x1324);
    EXPECT_EQ(plain.u8(0), devsim::status::FileWriteProtected);
    EXPECT_TRUE(device.file("ro.cfg").has_value());

    const AnswerReader forced = ask(RB::named(0x1325, "ro.cfg"));
    EXPECT_EQ(forced.code(), 0x1326);
    EXPECT_EQ(forced.u8(0), 0);
    EXPECT_FALSE(device.file("ro.cfg").has_value());
}

TEST_F(DevsimDevice, PlainDeleteRemovesPlainAndHiddenFiles) {
    EXPECT_EQ(ask(RB::named(0x1323, "alpha.txt")).u8(0), 0);
    EXPECT_EQ(ask(RB::named(0x1323, "SECRET.BIN")).u8(0), 0);
    ASSERT_EQ(device.files().size(), 1u);
    EXPECT_EQ(device.files()[0].name, "ro.cfg");
    // A deleted file's handle is unknown from then on.
    EXPECT_EQ(ask(RB::named(0x1323, "alpha.txt")).u8(0), devsim::status::NoneExistingFilename);
}

TEST_F(DevsimDevice, FileInformationReplyLayout) {
    ASSERT_TRUE(device.setReportedValue("ro.cfg", 0xA1B2C3D4));
    const uint16_t h = handle("ro.cfg");
    const AnswerReader a = ask(RB::handle(0x133F, h));
    ASSERT_TRUE(a.hasReply());
    EXPECT_EQ(a.code(), 0x1340);
    ASSERT_EQ(a.payload().size(), 47u);
    EXPECT_EQ(a.u8(0), 0);
    EXPECT_EQ(a.u16(1), h);
    EXPECT_EQ(a.u32(3), 20u);
    // First time stamp: hh mm ss DD MM YYYY WD.
    EXPECT_EQ(Bytes(a.payload().begin() + 7, a.payload().begin() + 15),
              (Bytes{8, 15, 42, 24, 12, 0xE7, 0x07, 0}));
    EXPECT_EQ(Bytes(a.payload().begin() + 15, a.payload().begin() + 23),
              (Bytes{17, 5, 9, 2, 1, 0xE8, 0x07, 2}));
    EXPECT_EQ(a.u16(23), NvFile::ReadOnly);
    EXPECT_EQ(a.u32(25), 20u) << "ReportedSize is the file size unless set";
    EXPECT_EQ(a.u32(29), 0xA1B2C3D4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.payload().data() + 34)), "ro.cfg");
    EXPECT_EQ(a.u8(46), 0);

    ASSERT_TRUE(device.setReportedSize("ro.cfg", 4096));
    EXPECT_EQ(ask(RB::named(0x1341, "ro.cfg")).u32(25), 4096u);
}

TEST_F(DevsimDevice, ReportedValuesDefaultToDistinctFileNumbers) {
    const auto files = device.files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_NE(files[0].reportedValue, files[1].reportedValue);
    EXPECT_NE(files[1].reportedValue, files[2].reportedValue);
    EXPECT_NE(files[0].handle, files[1].handle);
}

TEST_F(DevsimDevice, FileSizeByHandleAndUnknownHandle) {
    const AnswerReader known = ask(RB::handle(0x132F, handle("secret.bin")));
    EXPECT_EQ(known.code(), 0x1330);
    ASSERT_EQ(known.payload().size(), 7u);
    EXPECT_EQ(known.u8(0), 0);
    EXPECT_EQ(known.u32(3), 30u);

    const uint16_t unknown = 0x7777;
    for (uint16_t code : {0x132F, 0x133F, 0x1343}) {
        EXPECT_EQ(ask(RB::handle(code, unknown)).u8(0), devsim::status::FileHandleUnknown)
            << "code " << code;
    }
    EXPECT_EQ(ask(RB::handleAnd(0x1302, unknown, 100)).u8(0), devsim::status::FileHandleUnknown);
}

TEST_F(DevsimDevice, StatisticsReplies) {
    struct Row {
        const char* label;
        uint16_t code;
        std::size_t width;
        uint32_t value;
    };
    const Row rows[] = {
        {"open files", 0x131D, 2, 0},           {"max open files", 0x131F, 2, 5},
        {"total buffer size", 0x1321, 4, 8192}, {"space in use", 0x1331, 4, 60},
        {"allocated space", 0x1345, 4, 50000},
    };
    for (const Row& row : rows) {
        const AnswerReader a = ask(RB::frame(row.code));
        ASSERT_TRUE(a.hasReply()) << row.label;
        EXPECT_EQ(a.code(), row.code + 1) << row.label;
        ASSERT_EQ(a.payload().size(), 1 + row.width) << row.label;
        EXPECT_EQ(a.u8(0), 0) << row.label;
        EXPECT_EQ(row.width == 2 ? a.u16(1) : a.u32(1), row.value) << row.label;
    }
}

TEST_F(DevsimDevice, CountersAndLogRecordTheTraffic) {
    const Bytes first = RB::frame(0x0000, {0x01});
    const Bytes second = RB::named(0x1327, "alpha.txt");
    const Bytes stream = RB::join({first, second, RB::frame(0x131D)});
    // Fed in two uneven pieces: frames are put together across calls.
    const Bytes out1 = device.process(Bytes(stream.begin(), stream.begin() + 8));
    const Bytes out2 = device.process(Bytes(stream.begin() + 8, stream.end()));
    EXPECT_EQ(device.requestCount(0x0000), 1u);
    EXPECT_EQ(device.requestCount(0x1327), 1u);
    EXPECT_EQ(device.requestCount(0x131D), 1u);
    EXPECT_EQ(device.bytesIn(), stream.size());
    EXPECT_EQ(device.bytesOut(), out1.size() + out2.size());
    const auto log = device.requestLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], first);
    EXPECT_EQ(log[1], second);

    device.resetCounters();
    EXPECT_EQ(device.requestCount(0x0000), 0u);
    EXPECT_TRUE(device.requestLog().empty());
    EXPECT_EQ(device.bytesIn(), 0u);
}

TEST_F(DevsimDevice, PartialFrameIsKeptUntilDiscarded) {
    const Bytes request = RB::frame(0x0000, {0x01});
    EXPECT_TRUE(device.process(Bytes(request.begin(), request.begin() + 4)).empty());
    EXPECT_EQ(device.pendingBytes(), 4u);
    device.discardPartialFrame();
    EXPECT_EQ(device.pendingBytes(), 0u);
    // A whole frame after the discarded piece is understood.
    EXPECT_TRUE(AnswerReader(device.process(request)).hasReply());
}

} // namespace
