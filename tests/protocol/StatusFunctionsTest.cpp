// The session and the status functions of the C API, with the library's
// ports replaced by scripted in-memory ones.
#include "DeviceProtocol.h"
#include "ScriptedDevice.h"
#include "ScriptedPort.h"
#include "Session.h"
#include "Timing.h"
#include "trelm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <thread>
#include <vector>

using namespace trelm;
namespace fs = std::filesystem;

namespace {

const std::string kDefaultMode = "baud=9600 parity=N data=8 stop=1";

// Reply payloads of a device with some files open: status byte, then the value.
std::map<uint16_t, Bytes> StatisticsReplies() {
    return {
        {GET_NUMBER_OF_OPEN_NV_FILES, {0x00, 0x03, 0x00}},
        {GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE, {0x00, 0x45, 0x23, 0x01, 0x00}},
        {NV_FILE_GET_SPACE_IN_USE, {0x00, 0x0C, 0x0B, 0x0A, 0x00}},
        {GET_MAX_NUMBER_OF_OPEN_NV_FILES, {0x00, 0x10, 0x01}},
        {NV_FILE_GET_ALLOCATED_NV_FILE_SPACE, {0x00, 0x00, 0x00, 0x10, 0x00}},
        {WAKE_UP_DUT, {0x07, 0xA5}},
    };
}

class ProtocolSession : public ::testing::Test {
protected:
    void SetUp() override {
        timing::SetScale(0.001);
        unsetenv("TRELM_PORTS");
        Session::SetPortFactory([this] { return std::make_unique<ScriptedPort>(device); });
        ReleaseSession();
    }

    void TearDown() override {
        ReleaseSession();
        Session::SetPortFactory({});
        unsetenv("TRELM_PORTS");
        if (!portDir.empty()) {
            fs::remove_all(portDir);
        }
        timing::SetScale(1.0);
    }

    static void ReleaseSession() {
        Session::Guarded([](Session& s) {
            s.Release();
            return TRELM_Result{TRELM_OK};
        });
    }

    static bool HasSession() {
        bool has = false;
        Session::Guarded([&](Session& s) {
            has = s.port != nullptr || s.protocol != nullptr;
            return TRELM_Result{TRELM_OK};
        });
        return has;
    }

    // A port map directory holding "comN" entries for the given numbers.
    void UsePorts(std::initializer_list<int> numbers) {
        char pattern[] = "/tmp/trelm-protocol-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        portDir = pattern;
        for (const int n : numbers) {
            std::ofstream(portDir / ("com" + std::to_string(n))).put('\n');
        }
        setenv("TRELM_PORTS", portDir.c_str(), 1);
    }

    // A device that answers the wake-up request only on port `answeringPort`.
    void DeviceOnPort(uint8_t answeringPort) {
        device.SetResponder([this, answeringPort](const Bytes& request) -> Bytes {
            if (device.CurrentPort() != answeringPort) {
                return {};
            }
            return ScriptedDevice::Answering(StatisticsReplies())(request);
        });
    }

    std::pair<uint32_t, uint32_t> ExtendedError() {
        TRELM_DeviceError deviceError = 0xDEAD;
        uint32_t linkStatus = 0xDEAD;
        EXPECT_EQ(TRELM_GetExtendedErrorCode(&deviceError, &linkStatus), TRELM_OK);
        return {deviceError, linkStatus};
    }

    ScriptedDevice device;
    fs::path portDir;
};

TEST_F(ProtocolSession, InitWithAPortNumberOpensWithoutTalkingToTheDevice) {
    for (const char* mode : {static_cast<const char*>(nullptr), ""}) {
        ASSERT_EQ(TRELM_Init(3, mode), TRELM_OK);
        uint32_t port = 0;
        char text[64] = {};
        uint32_t length = sizeof text;
        ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
        EXPECT_EQ(port, 3u);
        EXPECT_EQ(std::string(text), kDefaultMode);
    }
    EXPECT_TRUE(device.Writes().empty());
    EXPECT_EQ(device.OpenedPorts(), (std::vector<uint8_t>{3, 3}));
    // The protocol object applied its default time-outs to the new port.
    const Timeouts t = device.AppliedTimeouts().back();
    EXPECT_EQ(t.interval, 1000u);
    EXPECT_EQ(t.readConstant, 20000u);
    EXPECT_EQ(t.writeConstant, 20000u);
}

TEST_F(ProtocolSession, InitWithPort256FailsAndEndsAnEarlierSession) {
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    ASSERT_TRUE(HasSession());

    EXPECT_EQ(TRELM_Init(256, nullptr), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_FALSE(HasSession());
    uint32_t port = 0;
    char text[64] = {};
    uint32_t length = sizeof text;
    EXPECT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_EQ(device.OpenedPorts(), std::vector<uint8_t>{3});
}

TEST_F(ProtocolSession, InitOnAPortThatWillNotOpenLeavesNoSession) {
    device.RefusePort(7);
    EXPECT_EQ(TRELM_Init(7, nullptr), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_FALSE(HasSession());
}

TEST_F(ProtocolSession, InitDropsTheListingCacheOfTheEarlierSession) {
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    Session::Guarded([](Session& s) {
        s.listEntries = std::make_unique<TRELM_FILE_INFO[]>(2);
        s.listCount = 2;
        s.listIndex = 1;
        return TRELM_Result{TRELM_OK};
    });
    ASSERT_EQ(TRELM_Init(4, nullptr), TRELM_OK);
    Session::Guarded([](Session& s) {
        EXPECT_EQ(s.listEntries, nullptr);
        EXPECT_EQ(s.listCount, 0u);
        EXPECT_EQ(s.listIndex, 0u);
        return TRELM_Result{TRELM_OK};
    });
}

TEST_F(ProtocolSession, PortFactoryFailuresBecomeOutOfMemory) {
    struct Row {
        const char* name;
        Session::PortFactory factory;
    };
    const Row rows[] = {
        {"throws", []() -> std::unique_ptr<SerialPort> { throw std::bad_alloc(); }},
        {"returns null", [] { return std::unique_ptr<SerialPort>(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK); // through the scripted factory
        Session::SetPortFactory(row.factory);
        EXPECT_EQ(TRELM_Init(3, nullptr), TRELM_ERROR_OUT_OF_MEMORY);
        EXPECT_FALSE(HasSession());
        Session::SetPortFactory([this] { return std::make_unique<ScriptedPort>(device); });
    }
}

TEST_F(ProtocolSession, SearchWithNoPortsFindsNothingToOpen) {
    UsePorts({});
    EXPECT_EQ(TRELM_Init(0, nullptr), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_FALSE(HasSession());
    EXPECT_TRUE(device.OpenedPorts().empty());
}

TEST_F(ProtocolSession, SearchOpensTheFirstPortWithADevice) {
    UsePorts({2, 5, 9});
    DeviceOnPort(5);
    ASSERT_EQ(TRELM_Init(0, ""), TRELM_OK);

    uint32_t port = 0;
    char text[64] = {};
    uint32_t length = sizeof text;
    ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
    EXPECT_EQ(port, 5u);
    // Port 2 was probed and left, port 5 answered, port 9 was never tried;
    // then the session opened port 5.
    EXPECT_EQ(device.OpenedPorts(), (std::vector<uint8_t>{2, 5, 5}));
    // Port 2 stayed silent through three wake-up attempts.
    const std::vector<uint16_t> wakeUps(4, WAKE_UP_DUT);
    EXPECT_EQ(device.WrittenCodes(), wakeUps);
}

TEST_F(ProtocolSession, SearchUsesProbeAndInformationTimeouts) {
    UsePorts({4});
    DeviceOnPort(4);
    uint32_t port = 0;
    ASSERT_EQ(TRELM_ScanComPortsForDevice(nullptr, &port), TRELM_OK);
    EXPECT_EQ(port, 4u);

    std::vector<uint32_t> readConstants;
    for (const Timeouts& t : device.AppliedTimeouts()) {
        readConstants.push_back(t.readConstant);
    }
    // Protocol default on attach, probe set, information set, probe set restored.
    EXPECT_EQ(readConstants, (std::vector<uint32_t>{20000, 2000, 1000, 2000}));
    EXPECT_EQ(device.AppliedTimeouts()[1].interval, 200u);
    EXPECT_EQ(device.AppliedTimeouts()[2].writeConstant, 1000u);
}

TEST_F(ProtocolSession, SearchReportsPortsThatOpenedButStayedSilent) {
    UsePorts({1, 2});
    device.RefusePort(2);
    EXPECT_EQ(TRELM_Init(0, nullptr), TRELM_ERROR_COMM_FAILED);
    EXPECT_FALSE(HasSession());
    EXPECT_EQ(device.OpenedPorts(), std::vector<uint8_t>{1});
}

TEST_F(ProtocolSession, SearchRejectsAPortNumberThatIsNotZero) {
    UsePorts({1});
    DeviceOnPort(1);
    uint32_t port = 4;
    EXPECT_EQ(TRELM_ScanComPortsForDevice(nullptr, &port), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(port, 4u);
    EXPECT_EQ(TRELM_ScanComPortsForDevice(nullptr, nullptr), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_TRUE(device.OpenedPorts().empty());
}

TEST_F(ProtocolSession, SearchGivesTheSessionItsOwnPortBack) {
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    UsePorts({6});
    DeviceOnPort(6);
    uint32_t found = 0;
    ASSERT_EQ(TRELM_ScanComPortsForDevice("baud=19200 parity=N data=8 stop=1", &found), TRELM_OK);
    EXPECT_EQ(found, 6u);

    uint32_t port = 0;
    char text[64] = {};
    uint32_t length = sizeof text;
    ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
    EXPECT_EQ(port, 3u);
    EXPECT_EQ(std::string(text), kDefaultMode);
}

TEST_F(ProtocolSession, ComPortSettingsNeedRoomForTheTerminator) {
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    struct Row {
        uint32_t length;
        TRELM_Result result;
        uint32_t lengthAfter;
    };
    const Row rows[] = {{0, 4, 0}, {32, 4, 32}, {33, 0, 33}, {128, 0, 33}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        uint32_t port = 0;
        std::vector<char> text(row.length + 1, 'x');
        uint32_t length = row.length;
        EXPECT_EQ(TRELM_GetComPortSettings(&port, text.data(), &length), row.result);
        EXPECT_EQ(length, row.lengthAfter);
        if (row.result == TRELM_OK) {
            EXPECT_EQ(port, 3u);
            EXPECT_EQ(std::string(text.data()), kDefaultMode);
        } else {
            EXPECT_EQ(port, 0u);
            EXPECT_EQ(text[0], 'x');
        }
    }
}

TEST_F(ProtocolSession, ComPortSettingsRejectNullPointersBeforeLookingAtThePort) {
    uint32_t port = 0;
    char text[64];
    uint32_t length = sizeof text;
    EXPECT_EQ(TRELM_GetComPortSettings(nullptr, text, &length), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_GetComPortSettings(&port, nullptr, &length), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_GetComPortSettings(&port, text, nullptr), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_ERROR_COMPORT_NOT_OPENED);
}

TEST_F(ProtocolSession, DeviceInfoDeliversTheWakeUpValues) {
    device.SetResponder(ScriptedDevice::Answering(StatisticsReplies()));
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    uint32_t first = 0;
    uint32_t second = 0;
    ASSERT_EQ(TRELM_GetConnectedDeviceInfo(&first, &second), TRELM_OK);
    EXPECT_EQ(first, 7u);
    EXPECT_EQ(second, 0xA5u);
    EXPECT_EQ(device.Writes(), std::vector<Bytes>{(Bytes{0x00, 0x00, 0x01, 0x01, 0x02, 0x00})});
    // The information time-outs were used and the protocol default put back.
    const auto& applied = device.AppliedTimeouts();
    ASSERT_GE(applied.size(), 2u);
    EXPECT_EQ(applied[applied.size() - 2].readConstant, 1000u);
    EXPECT_EQ(applied.back().readConstant, 20000u);
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 0u));
}

TEST_F(ProtocolSession, DeviceInfoFromASilentDeviceIsACommunicationFailure) {
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    uint32_t first = 0;
    uint32_t second = 0;
    EXPECT_EQ(TRELM_GetConnectedDeviceInfo(&first, &second), TRELM_ERROR_COMM_FAILED);
    EXPECT_EQ(device.WrittenCodes(), std::vector<uint16_t>(3, WAKE_UP_DUT));
    // The link status of a failed wake-up is not recorded.
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 0u));
}

TEST_F(ProtocolSession, DeviceInfoPausesOneSecondBetweenAttempts) {
    timing::SetScale(0.2); // one second becomes 200 ms
    uint32_t first = 0;
    uint32_t second = 0;

    // No session: one pause before the last attempt.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TRELM_GetConnectedDeviceInfo(&first, &second), TRELM_ERROR_COMPORT_NOT_OPENED);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(195));
    EXPECT_LT(elapsed, std::chrono::milliseconds(390)); // not two pauses

    // A session with a silent device: a pause after each of the first two attempts.
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(TRELM_GetConnectedDeviceInfo(&first, &second), TRELM_ERROR_COMM_FAILED);
    elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(395));
}

TEST_F(ProtocolSession, DeviceInfoRejectsNullPointers) {
    device.SetResponder(ScriptedDevice::Answering(StatisticsReplies()));
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    uint32_t value = 0;
    EXPECT_EQ(TRELM_GetConnectedDeviceInfo(nullptr, &value), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_GetConnectedDeviceInfo(&value, nullptr), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_TRUE(device.Writes().empty());
}

TEST_F(ProtocolSession, StatisticsDeliverFiveValuesInTheirFields) {
    device.SetResponder(ScriptedDevice::Answering(StatisticsReplies()));
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    TRELM_STATISTICS stats{};
    stats.StructSize = TRELM_STATISTICS_SIZE;
    ASSERT_EQ(TRELM_GetStatistics(&stats), TRELM_OK);
    EXPECT_EQ(stats.StructSize, 0u);
    EXPECT_EQ(stats.OpenFiles, 3u);
    EXPECT_EQ(stats.MaxOpenFiles, 0x110u);
    EXPECT_EQ(stats.TotalAllocatedBufferSize, 0x12345u);
    EXPECT_EQ(stats.SpaceInUse, 0xA0B0Cu);
    EXPECT_EQ(stats.AllocatedFileSpace, 0x100000u);
    EXPECT_EQ(
        device.WrittenCodes(),
        (std::vector<uint16_t>{GET_NUMBER_OF_OPEN_NV_FILES, GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE,
                               NV_FILE_GET_SPACE_IN_USE, GET_MAX_NUMBER_OF_OPEN_NV_FILES,
                               NV_FILE_GET_ALLOCATED_NV_FILE_SPACE}));
    // A status byte was read: the extended error says "no error".
    EXPECT_EQ(ExtendedError(), std::make_pair(0u, 0u));
}

TEST_F(ProtocolSession, StatisticsRefusedByTheDevice) {
    device.SetResponder([](const Bytes&) { return ScriptedDevice::Nak(); });
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    TRELM_STATISTICS stats{TRELM_STATISTICS_SIZE, 9, 9, 9, 9, 9};
    EXPECT_EQ(TRELM_GetStatistics(&stats), TRELM_ERROR_DEVICE_UNKNOWN_CMD);
    EXPECT_EQ(stats.StructSize, 0u);
    EXPECT_EQ(stats.OpenFiles, 0u);
    EXPECT_EQ(stats.MaxOpenFiles, 0u);
    EXPECT_EQ(stats.TotalAllocatedBufferSize, 0u);
    EXPECT_EQ(stats.SpaceInUse, 0u);
    EXPECT_EQ(stats.AllocatedFileSpace, 0u);
    EXPECT_EQ(device.Writes().size(), 1u);
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 4u));
}

TEST_F(ProtocolSession, StatisticsStopAtADeviceErrorAndDeliverWhatCameBefore) {
    auto replies = StatisticsReplies();
    replies[NV_FILE_GET_SPACE_IN_USE] = {TRELM_DEVICE_ERROR_READ_ERROR, 0x0C, 0x0B, 0x0A, 0x00};
    device.SetResponder(ScriptedDevice::Answering(replies));
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    TRELM_STATISTICS stats{TRELM_STATISTICS_SIZE, 9, 9, 9, 9, 9};
    EXPECT_EQ(TRELM_GetStatistics(&stats), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(stats.OpenFiles, 3u);
    EXPECT_EQ(stats.TotalAllocatedBufferSize, 0x12345u);
    EXPECT_EQ(stats.SpaceInUse, 0u);
    EXPECT_EQ(stats.MaxOpenFiles, 0u);
    EXPECT_EQ(stats.AllocatedFileSpace, 0u);
    EXPECT_EQ(device.Writes().size(), 3u);
    EXPECT_EQ(ExtendedError(), std::make_pair(uint32_t{TRELM_DEVICE_ERROR_READ_ERROR}, 0u));
}

TEST_F(ProtocolSession, StatisticsCheckTheRecordSizeAfterTheExchanges) {
    device.SetResponder(ScriptedDevice::Answering(StatisticsReplies()));
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    TRELM_STATISTICS stats{20, 9, 9, 9, 9, 9};
    EXPECT_EQ(TRELM_GetStatistics(&stats), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(device.Writes().size(), 5u);
    EXPECT_EQ(stats.StructSize, 20u);
    EXPECT_EQ(stats.OpenFiles, 9u);
    EXPECT_EQ(stats.AllocatedFileSpace, 9u);
}

TEST_F(ProtocolSession, StatisticsWithoutSessionOrRecord) {
    TRELM_STATISTICS stats{TRELM_STATISTICS_SIZE, 9, 9, 9, 9, 9};
    EXPECT_EQ(TRELM_GetStatistics(nullptr), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_GetStatistics(&stats), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_EQ(stats.StructSize, TRELM_STATISTICS_SIZE);
}

TEST_F(ProtocolSession, ExtendedErrorCodeNeedsBothPointers) {
    TRELM_DeviceError deviceError = 0;
    uint32_t linkStatus = 0;
    EXPECT_EQ(TRELM_GetExtendedErrorCode(nullptr, &linkStatus), TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(TRELM_GetExtendedErrorCode(&deviceError, nullptr), TRELM_ERROR_BAD_PARAMETERS);
}

TEST_F(ProtocolSession, ExtendedErrorCodeDescribesTheLastCall) {
    device.SetResponder(ScriptedDevice::Answering(StatisticsReplies()));
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    TRELM_STATISTICS stats{TRELM_STATISTICS_SIZE, 0, 0, 0, 0, 0};
    ASSERT_EQ(TRELM_GetStatistics(&stats), TRELM_OK);
    EXPECT_EQ(ExtendedError(), std::make_pair(0u, 0u));

    // A later successful call that reads no status byte resets the values.
    uint32_t port = 0;
    char text[64];
    uint32_t length = sizeof text;
    ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 0u));
    // Asking does not reset them.
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 0u));
}

// The shared rules the file functions build on.
TEST_F(ProtocolSession, SharedRulesForFailedAndMalformedReplies) {
    struct Row {
        const char* name;
        Bytes answer;
        TRELM_Result result;
        std::pair<uint32_t, uint32_t> extended;
    };
    const Row rows[] = {
        {"status reply without status byte",
         ScriptedDevice::Concat({ScriptedDevice::Ack(), ScriptedDevice::Frame(0x1324, {})}),
         TRELM_ERROR_UNEXPECTED_DATA,
         {27, 0}},
        {"wrong reply code",
         ScriptedDevice::Concat({ScriptedDevice::Ack(), ScriptedDevice::Frame(0x1326, {0x00})}),
         TRELM_ERROR_UNEXPECTED_DATA,
         {27, 3}},
        {"device error",
         ScriptedDevice::Concat({ScriptedDevice::Ack(), ScriptedDevice::Frame(0x1324, {0x10})}),
         TRELM_ERROR_DEVICE_ERROR,
         {16, 0}},
    };
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        device.QueueAnswer(row.answer);
        const TRELM_Result result = Session::Guarded([](Session& s) {
            s.ResetExtendedError();
            return s.CheckStatusReply(s.protocol->DeleteNvFile("a.txt"));
        });
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(ExtendedError(), row.extended);
    }
}

TEST_F(ProtocolSession, RejectedArgumentsAreNotReportedAsSuccess) {
    device.SetResponder(ScriptedDevice::Answering(StatisticsReplies()));
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);
    uint32_t first = 0;
    uint32_t second = 0;
    ASSERT_EQ(TRELM_GetConnectedDeviceInfo(&first, &second), TRELM_OK); // link status now OK

    const TRELM_Result result = Session::Guarded([](Session& s) {
        s.ResetExtendedError();
        return s.CheckStatusReply(s.protocol->GetNvFileHandle("thirteen.char"));
    });
    EXPECT_EQ(result, TRELM_ERROR_BAD_PARAMETERS);
    EXPECT_EQ(device.Writes().size(), 1u);
    EXPECT_EQ(ExtendedError(), std::make_pair(27u, 0u));
}

TEST_F(ProtocolSession, CallsFromTwoThreadsNeverOverlap) {
    // Each statistics call is five exchanges; with the call lock held the
    // writes of one call are never interleaved with another thread's.
    std::vector<std::thread::id> writers;
    device.SetResponder([&writers](const Bytes& request) {
        writers.push_back(std::this_thread::get_id());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        return ScriptedDevice::Answering(StatisticsReplies())(request);
    });
    ASSERT_EQ(TRELM_Init(3, nullptr), TRELM_OK);

    constexpr int kCalls = 20;
    auto worker = [] {
        for (int i = 0; i < kCalls; ++i) {
            TRELM_STATISTICS stats{TRELM_STATISTICS_SIZE, 0, 0, 0, 0, 0};
            EXPECT_EQ(TRELM_GetStatistics(&stats), TRELM_OK);
            EXPECT_EQ(stats.OpenFiles, 3u);
        }
    };
    std::thread a(worker);
    std::thread b(worker);
    a.join();
    b.join();

    ASSERT_EQ(writers.size(), static_cast<std::size_t>(2 * kCalls * 5));
    for (std::size_t call = 0; call < writers.size(); call += 5) {
        for (std::size_t i = 1; i < 5; ++i) {
            EXPECT_EQ(writers[call + i], writers[call]) << "call starting at write " << call;
        }
    }
}

} // namespace
