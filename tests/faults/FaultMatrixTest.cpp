// Every fault the device emulator can inject against every device operation
// of the library. Each row scripts one fault on the commands of one
// operation and checks:
//   - the documented result code (and device error for refusals),
//   - no crash and no hang beyond the (shortened) time-outs,
//   - the device still usable by the next call,
//   - no local file created, truncated or changed by a failed operation,
//     and a copy to the device that failed leaving no file on the device.
// The rules hit every occurrence of the command (data packets: from the
// second on), so the library's retries meet the fault, too.
#include "FaultFixture.h"

#include "Timing.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Far above the shortened time-outs of every row: a call that takes longer
// is hanging.
constexpr auto kNoHang = std::chrono::seconds(12);

enum class Operation {
    DeviceInfo,      // TRELM_GetConnectedDeviceInfo
    Statistics,      // TRELM_GetStatistics
    Query,           // TRELM_FileExists
    Delete,          // TRELM_DeleteFile
    Listing,         // TRELM_FindFirstFile and TRELM_FindNextFile
    CopyTo,          // TRELM_CopyFileToDevice
    CopyFromNew,     // TRELM_CopyFileFromDevice to a new local file
    CopyFromReplace, // TRELM_CopyFileFromDevice over an existing local file
};

// Where the faults of an operation strike.
struct Target {
    Operation operation;
    const char* name;
    const char* command; // the command the fault rules name
    const char* when;    // which of its occurrences ("" for all)
    const char* first;   // the first occurrence hit (for a hang-up)
    const char* statusCommand;
    int status; // a device error the status command may answer with
};

const Target kTargets[] = {
    {Operation::DeviceInfo, "DeviceInfo", "WAKE_UP_DUT", "", "@1", nullptr, 0},
    {Operation::Statistics, "Statistics", "NV_FILE_GET_SPACE_IN_USE", "", "@1",
     "NV_FILE_GET_SPACE_IN_USE", 3},
    {Operation::Query, "Query", "NV_FILE_EXIST", "", "@1", "NV_FILE_EXIST", 16},
    {Operation::Delete, "Delete", "DELETE_NV_FILE", "", "@1", "DELETE_NV_FILE", 11},
    {Operation::Listing, "Listing", "GET_NV_FILE_INFO_LIST_DATA_PACKET", "@2-", "@2",
     "GET_NV_FILE_INFO_LIST", 25},
    {Operation::CopyTo, "CopyTo", "CREATE_NV_FILE_DATA_PACKET", "@2-", "@2", "CREATE_NV_FILE", 9},
    {Operation::CopyFromNew, "CopyFromNew", "READ_NV_FILE_DATA_PACKET", "@2-", "@2", "READ_NV_FILE",
     4},
    {Operation::CopyFromReplace, "CopyFromReplace", "READ_NV_FILE_DATA_PACKET", "@2-", "@2",
     "READ_NV_FILE", 4},
};

struct FaultCase {
    std::string name;
    Operation operation;
    std::vector<std::string> rules;
    TRELM_Result expected;
    int deviceError = -1; // checked when not negative
    double scale = 0.05;
    bool hangsUp = false;
};

bool HasDataPackets(Operation op) {
    return op == Operation::Listing || op == Operation::CopyTo || op == Operation::CopyFromNew ||
           op == Operation::CopyFromReplace;
}

// The device-information call retries on its own and reports every failed
// exchange as "no device": TRELM_ERROR_COMM_FAILED.
TRELM_Result LinkFailure(Operation op, TRELM_Result code) {
    return op == Operation::DeviceInfo ? TRELM_Result{TRELM_ERROR_COMM_FAILED} : code;
}

std::vector<FaultCase> Matrix() {
    std::vector<FaultCase> rows;
    for (const Target& t : kTargets) {
        const std::string on = std::string(t.command) + t.when + "=";
        const Operation op = t.operation;
        const auto row = [&](const char* fault, std::vector<std::string> rules,
                             TRELM_Result expected) -> FaultCase& {
            rows.push_back({std::string(t.name) + "_" + fault, op, std::move(rules), expected});
            return rows.back();
        };
        // Refused: NAK, and a word the library does not know.
        row("Nak", {on + "nak"}, LinkFailure(op, TRELM_ERROR_DEVICE_UNKNOWN_CMD));
        row("UnknownWord", {on + "word:0x0F80"}, LinkFailure(op, TRELM_ERROR_COMM_FAILED_CHKSUM));
        // Nothing comes back, or the line goes away.
        row("Silent", {on + "silent"}, LinkFailure(op, TRELM_ERROR_COMM_FAILED_TIMEOUT)).scale =
            0.01;
        row("HangUp", {std::string(t.command) + t.first + "=hangup"},
            LinkFailure(op, TRELM_ERROR_COMM_FAILED_TIMEOUT))
            .hangsUp = true;
        // A device status byte: a refusal with the device's error code. The
        // wake-up reply has none, so there the rule passes over it.
        if (t.statusCommand != nullptr) {
            row("Status", {std::string(t.statusCommand) + "=status:" + std::to_string(t.status)},
                TRELM_ERROR_DEVICE_ERROR)
                .deviceError = t.status;
        } else {
            row("Status", {"*=status:3"}, TRELM_OK);
        }
        // The device does not take a packet and asks for it again, for ever;
        // only copies to the device have such packets.
        if (op == Operation::CopyTo) {
            row("Repeat", {on + "repeat"}, TRELM_ERROR_UNEXPECTED_DATA);
        } else {
            row("Repeat", {"*=repeat"}, TRELM_OK);
        }
        // Damaged answers.
        row("BadChecksum", {on + "badsum"}, LinkFailure(op, TRELM_ERROR_COMM_FAILED_CHKSUM));
        row("WrongCode", {on + "wrongcode"}, LinkFailure(op, TRELM_ERROR_UNEXPECTED_DATA));
        row("Truncated", {on + "truncate:1"}, LinkFailure(op, TRELM_ERROR_COMM_FAILED_TIMEOUT));
        row("ExtraBytes", {on + "extra:3"}, TRELM_OK);
        // A data packet that names another packet than the one asked for.
        if (HasDataPackets(op)) {
            row("WrongPacket", {on + "packet:+1"}, TRELM_ERROR_UNEXPECTED_DATA);
        } else {
            row("WrongPacket", {"*=packet:+1"}, TRELM_OK);
        }
        // Late and slow answers: within the time-outs they are only late;
        // beyond them every attempt times out.
        row("ShortDelay", {on + "delay:20"}, TRELM_OK);
        row("LongDelay", {on + "delay:500"}, LinkFailure(op, TRELM_ERROR_COMM_FAILED_TIMEOUT))
            .scale = 0.005;
        row("SlowLine", {on + "baud:2400"}, TRELM_OK).scale = 0.2;
    }

    // Faults at one occurrence, which the library's retries or the device's
    // own flow get over, and the documented cases where they do not.
    rows.push_back({"CopyTo_RepeatOnce",
                    Operation::CopyTo,
                    {"CREATE_NV_FILE_DATA_PACKET@2=repeat"},
                    TRELM_OK});
    rows.push_back({"CopyTo_BadChecksumOnce",
                    Operation::CopyTo,
                    {"CREATE_NV_FILE_DATA_PACKET@2=badsum"},
                    TRELM_OK});
    rows.push_back({"CopyTo_StoreRefused",
                    Operation::CopyTo,
                    {"CREATE_NV_FILE_STORE_FILE=status:5"},
                    TRELM_ERROR_DEVICE_ERROR,
                    5});
    rows.push_back({"CopyFromNew_SilentOnce",
                    Operation::CopyFromNew,
                    {"READ_NV_FILE_DATA_PACKET@2=silent"},
                    TRELM_OK,
                    -1,
                    0.01});
    rows.push_back({"CopyFromReplace_InfoQueryRefused",
                    Operation::CopyFromReplace,
                    {"NV_FILE_GET_FILE_INFO_ALL_FILES=status:16"},
                    TRELM_ERROR_DEVICE_ERROR,
                    16});
    rows.push_back(
        {"Query_BadChecksumOnce", Operation::Query, {"NV_FILE_EXIST@1=badsum"}, TRELM_OK});
    // The device deleted the file, its answer was damaged, and the retry
    // finds the file gone.
    rows.push_back({"Delete_BadChecksumOnce",
                    Operation::Delete,
                    {"DELETE_NV_FILE@1=badsum"},
                    TRELM_ERROR_DEVICE_ERROR,
                    16});
    rows.push_back({"Listing_EndRefused",
                    Operation::Listing,
                    {"GET_NV_FILE_INFO_LIST_END=nak"},
                    TRELM_ERROR_DEVICE_UNKNOWN_CMD});
    rows.push_back({"DeviceInfo_SilentTwice",
                    Operation::DeviceInfo,
                    {"WAKE_UP_DUT@1-2=silent"},
                    TRELM_OK,
                    -1,
                    0.01});
    return rows;
}

class FaultMatrix : public FaultFixture, public ::testing::WithParamInterface<FaultCase> {
protected:
    // Runs the operation; what it delivered is checked here when it
    // succeeded.
    TRELM_Result Run(Operation op) {
        switch (op) {
        case Operation::DeviceInfo: {
            uint32_t a = 0;
            uint32_t b = 0;
            const TRELM_Result r = TRELM_GetConnectedDeviceInfo(&a, &b);
            if (r == TRELM_OK) {
                EXPECT_EQ(a, 2u);
                EXPECT_EQ(b, 1u);
            }
            return r;
        }
        case Operation::Statistics: {
            TRELM_STATISTICS statistics{};
            statistics.StructSize = sizeof statistics;
            const TRELM_Result r = TRELM_GetStatistics(&statistics);
            if (r == TRELM_OK) {
                EXPECT_EQ(statistics.SpaceInUse, 250u + 4 * 40);
            }
            return r;
        }
        case Operation::Query: {
            uint32_t exists = 7;
            const TRELM_Result r = TRELM_FileExists(kDeviceFile, 0, &exists);
            if (r == TRELM_OK) {
                EXPECT_EQ(exists, 1u);
            }
            return r;
        }
        case Operation::Delete: {
            const TRELM_Result r = TRELM_DeleteFile("a.dat", 0);
            if (r == TRELM_OK) {
                EXPECT_FALSE(emulator.file("a.dat").has_value());
            }
            return r;
        }
        case Operation::Listing: {
            TRELM_FILE_INFO info{};
            info.StructSize = sizeof info;
            uint32_t count = 0;
            TRELM_Result r = TRELM_FindFirstFile(0, &count, &info);
            if (r == TRELM_OK) {
                std::vector<std::string> names{info.FileName};
                for (;;) {
                    info.StructSize = sizeof info;
                    if (TRELM_FindNextFile(&info) != TRELM_OK) {
                        break;
                    }
                    names.emplace_back(info.FileName);
                }
                EXPECT_EQ(names, (std::vector<std::string>{"notes.txt", "boot.cfg", "a.dat",
                                                           "b.dat", "c.dat"}));
            }
            return r; // the listing is closed after the extended error is read
        }
        case Operation::CopyTo: {
            const TRELM_Result r = TRELM_CopyFileToDevice(UploadPath().c_str(), 0);
            const std::optional<devsim::NvFile> stored = emulator.file(kUploadName);
            if (r == TRELM_OK) {
                EXPECT_TRUE(stored &&
                            std::string(stored->data.begin(), stored->data.end()) == UploadData());
            } else {
                EXPECT_FALSE(stored.has_value()) << "a failed copy left a file on the device";
            }
            return r;
        }
        case Operation::CopyFromNew:
        case Operation::CopyFromReplace: {
            const TRELM_Result r = TRELM_CopyFileFromDevice(kDeviceFile, CopyPath().c_str());
            if (r == TRELM_OK) {
                EXPECT_EQ(StateOf(CopyPath()).content, DeviceData());
            }
            return r;
        }
        }
        return TRELM_ERROR_UNKNOWN;
    }
};

TEST_P(FaultMatrix, ResultDeviceAndLocalFiles) {
    const FaultCase& c = GetParam();
    trelm::timing::SetScale(c.scale);
    if (c.operation == Operation::CopyFromReplace) {
        std::ofstream(CopyPath(), std::ios::binary) << kOldCopy;
    }
    const std::vector<std::string> namesBefore = LocalNames();
    const FileState uploadBefore = StateOf(UploadPath());
    const FileState copyBefore = StateOf(CopyPath());
    for (const std::string& rule : c.rules) {
        AddFault(rule);
    }

    const auto start = Clock::now();
    const TRELM_Result result = Run(c.operation);
    const auto elapsed = Clock::now() - start;

    EXPECT_EQ(result, c.expected);
    EXPECT_LT(elapsed, kNoHang);
    if (c.deviceError >= 0) {
        TRELM_DeviceError deviceError = 0;
        uint32_t linkStatus = 0;
        ASSERT_EQ(TRELM_GetExtendedErrorCode(&deviceError, &linkStatus), TRELM_OK);
        EXPECT_EQ(deviceError, static_cast<uint32_t>(c.deviceError));
    }
    TRELM_FindClose();

    // Local files: the file copied to the device is never touched; a failed
    // copy from the device leaves the folder exactly as it was.
    EXPECT_EQ(StateOf(UploadPath()), uploadBefore);
    const bool copyFrom =
        c.operation == Operation::CopyFromNew || c.operation == Operation::CopyFromReplace;
    if (!copyFrom || result != TRELM_OK) {
        EXPECT_EQ(LocalNames(), namesBefore);
        EXPECT_EQ(StateOf(CopyPath()), copyBefore);
    } else {
        std::vector<std::string> expectedNames = namesBefore;
        if (c.operation == Operation::CopyFromNew) {
            expectedNames.push_back(kCopyName);
            std::sort(expectedNames.begin(), expectedNames.end());
        }
        EXPECT_EQ(LocalNames(), expectedNames);
    }

    // The next call works: after a hang-up on a new line and session, as a
    // program reconnects; otherwise on the same session once the line is
    // quiet.
    emulator.clearFaults();
    if (c.hangsUp) {
        EXPECT_TRUE(server.waitForHangUp(std::chrono::seconds(1)));
        Connect();
    } else {
        WaitForQuietLine();
    }
    uint32_t exists = 0;
    EXPECT_EQ(TRELM_FileExists(kDeviceFile, 0, &exists), TRELM_OK);
    EXPECT_EQ(exists, 1u);
}

INSTANTIATE_TEST_SUITE_P(EveryFaultEveryOperation, FaultMatrix, ::testing::ValuesIn(Matrix()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return info.param.name;
                         });

} // namespace
