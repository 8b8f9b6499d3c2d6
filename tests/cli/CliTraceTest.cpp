// --trace: the library appends one decoded line per frame and acknowledgement
// word to the file named by TRELM_TRACE.
#include "CliEmulatorTest.h"

#include <regex>

namespace {

struct TraceLine {
    std::string direction;
    double elapsedMs = 0;
    std::string hex;
    std::string text;
};

std::string HexOf(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const uint8_t b : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

} // namespace

class CliTraceTest : public CliEmulatorTest {
protected:
    // The frame lines of the trace file; every line that is neither a comment
    // nor in the frame-line format fails the test.
    std::vector<TraceLine> ReadTrace() const {
        static const std::regex kLine(
            R"(^(tx|rx) \+(\d+\.\d{3})ms ((?:[0-9A-F]{2})(?: [0-9A-F]{2})*|-) \| (.+)$)");
        std::vector<TraceLine> lines;
        std::ifstream in(work.Path() / "trace.log");
        std::string text;
        int comments = 0;
        while (std::getline(in, text)) {
            if (text.starts_with("# ")) {
                ++comments;
                continue;
            }
            std::smatch m;
            if (!std::regex_match(text, m, kLine)) {
                ADD_FAILURE() << "not a trace line: " << text;
                continue;
            }
            lines.push_back({m[1], std::stod(m[2]), m[3], m[4]});
        }
        EXPECT_EQ(comments, 1) << "one header line per process";
        return lines;
    }
};

TEST_F(CliTraceTest, ListingIsDecodedLineByLine) {
    PutDeviceFile("notes.txt", "hello");
    PutDeviceFile("boot.cfg", "x=1");

    const auto result = Run({"--port", Port(), "--trace", "trace.log", "ls"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const auto lines = ReadTrace();

    struct Expected {
        const char* direction;
        const char* text;
    };
    const Expected expected[] = {
        {"tx", "WAKE_UP_DUT PcSwVersion=1"},
        {"rx", "ACK_WORD"},
        {"rx", "WAKE_UP_DUT reply info1=2 info2=1"},
        {"tx", "GET_NV_FILE_INFO_LIST"},
        {"rx", "ACK_WORD"},
        {"rx", "GET_NV_FILE_INFO_LIST reply status=0 (TRELM_DEVICE_ERROR_NO_ERROR) files=2 "
               "NumPackets=1"},
        {"tx", "GET_NV_FILE_INFO_LIST_DATA_PACKET PacketNo=0"},
        {"rx", "ACK_WORD"},
        {"rx", "GET_NV_FILE_INFO_LIST_DATA_PACKET reply PacketNo=0 count=96"},
        {"tx", "GET_NV_FILE_INFO_LIST_END"},
        {"rx", "ACK_WORD"},
    };
    ASSERT_EQ(lines.size(), std::size(expected));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        EXPECT_EQ(lines[i].direction, expected[i].direction);
        EXPECT_EQ(lines[i].text, expected[i].text);
        EXPECT_GE(lines[i].elapsedMs, 0.0);
    }
    EXPECT_EQ(lines[0].hex, "00 00 01 01 02 00");
    EXPECT_EQ(lines[1].hex, "00 0F");

    // The requests in the trace are byte for byte the ones the device received.
    std::vector<std::string> sent;
    for (const TraceLine& line : lines) {
        if (line.direction == "tx") {
            sent.push_back(line.hex);
        }
    }
    std::vector<std::string> received;
    for (const auto& frame : device.requestLog()) {
        received.push_back(HexOf(frame));
    }
    EXPECT_EQ(sent, received);
}

namespace {

struct TraceCase {
    const char* name;
    std::vector<std::string> args;
    const char* fault;
    std::vector<const char*> decoded; // each must appear in a line, in this order
};

std::ostream& operator<<(std::ostream& out, const TraceCase& c) {
    return out << c.name;
}

} // namespace

class CliTraceTable : public CliTraceTest, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(CliTraceTable, DecodesWhatHappenedOnTheLine) {
    const TraceCase& c = GetParam();
    PutDeviceFile("notes.txt", "hello");
    if (c.fault != nullptr) {
        std::string error;
        ASSERT_TRUE(device.addFault(c.fault, &error)) << error;
    }
    std::vector<std::string> args = {"--port", Port(), "--trace", "trace.log"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Run(args);

    std::size_t next = 0;
    for (const TraceLine& line : ReadTrace()) {
        if (next < c.decoded.size() && line.text.find(c.decoded[next]) != std::string::npos) {
            ++next;
        }
    }
    EXPECT_EQ(next, c.decoded.size())
        << "missing in order: " << (next < c.decoded.size() ? c.decoded[next] : "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliTraceTable,
    ::testing::Values(TraceCase{"DeviceStatus",
                                {"get", "nothere.txt"},
                                nullptr,
                                {"GET_NV_FILE_HANDLE Filename=\"nothere.txt\"",
                                 "GET_NV_FILE_HANDLE reply status=16 "
                                 "(TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME) FileHandle=0"}},
                      TraceCase{"Refusal",
                                {"exists", "notes.txt"},
                                "NV_FILE_EXIST=nak",
                                {"NV_FILE_EXIST FileName=\"notes.txt\"", "NAK_WORD"}},
                      TraceCase{
                          "DamagedReply",
                          {"exists", "notes.txt"},
                          "NV_FILE_EXIST@1=badsum",
                          {"NV_FILE_EXIST reply status=0 (TRELM_DEVICE_ERROR_NO_ERROR) exists=1 "
                           "[checksum",
                           "NV_FILE_EXIST FileName=\"notes.txt\"",
                           "NV_FILE_EXIST reply status=0 (TRELM_DEVICE_ERROR_NO_ERROR) exists=1"}},
                      TraceCase{"LateBytes",
                                {"exists", "notes.txt"},
                                "NV_FILE_EXIST=extra:3",
                                {"NV_FILE_EXIST reply", "discarded late input (3 bytes)"}},
                      TraceCase{"Copy",
                                {"get", "notes.txt", "./copy.txt"},
                                nullptr,
                                {"READ_NV_FILE Filehandle=", "NumBytes=5 NumPackets=1",
                                 "READ_NV_FILE_DATA_PACKET FileHandle=", "PacketNo=0 count=5",
                                 "READ_NV_FILE_TERMINATE_READ",
                                 "NV_FILE_GET_FILE_INFO_ALL_FILES "
                                 "Filename=\"notes.txt\"",
                                 "name=\"notes.txt\""}}),
    [](const ::testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

TEST_F(CliTraceTest, WithoutTheOptionNothingIsWritten) {
    const auto result = Run({"--port", Port(), "ls"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(WorkEntries().empty());
}
