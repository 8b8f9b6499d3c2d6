// Read and write time-outs, a vanished peer and interrupted waits, all over a
// real pseudo-terminal. The elapsed-time checks verify time-out semantics:
// never earlier than the limit, and within a generous tolerance after it.
#include "PtyPair.h"
#include "SerialPort.h"
#include "Timing.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <numeric>
#include <ostream>
#include <string>
#include <sys/time.h>
#include <thread>
#include <vector>

using trelm::SerialPort;
using trelm::test::PtyPair;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr const char* kDefaultMode = "baud=9600 parity=N data=8 stop=1";
constexpr unsigned kPortNumber = 5;
constexpr Ms kTolerance{300};

Ms Since(Clock::time_point start) {
    return std::chrono::duration_cast<Ms>(Clock::now() - start);
}

class SerialLine : public testing::Test {
protected:
    void SetUp() override {
        pty.Publish(kPortNumber);
        port.Open(kPortNumber, kDefaultMode);
        ASSERT_TRUE(port.IsOpen());
    }

    PtyPair pty;
    SerialPort port;
};

// ---- Read time-outs on a silent line ---------------------------------------

struct SilentCase {
    const char* label;
    uint32_t interval;
    uint32_t multiplier;
    uint32_t constant;
    Ms expected; // multiplier x 5 + constant
};

// Test names and failure messages show the row label.
void PrintTo(const SilentCase& row, std::ostream* os) {
    *os << row.label;
}

class SerialSilentRead : public SerialLine, public testing::WithParamInterface<SilentCase> {};

TEST_P(SerialSilentRead, EndsAtTheTotalTimeoutWithNothingRead) {
    const SilentCase& c = GetParam();
    ASSERT_TRUE(port.SetTimeouts(c.interval, c.multiplier, c.constant, 0, 0));
    char buffer[5];
    uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 5, got));
    const Ms elapsed = Since(start);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(elapsed, c.expected);
    EXPECT_LT(elapsed, c.expected + kTolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialSilentRead,
    testing::Values(SilentCase{"MultiplierAndConstant", 0, 20, 100, Ms(200)},
                    SilentCase{"ConstantOnly", 0, 0, 150, Ms(150)},
                    SilentCase{"MultiplierOnly", 0, 30, 0, Ms(150)},
                    // The interval only runs between bytes, never before the first.
                    SilentCase{"IntervalWaitsForTheFirstByte", 10, 20, 100, Ms(200)}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(SerialLine, ScaledTimingShortensTheDeadline) {
    trelm::timing::SetScale(0.25);
    ASSERT_TRUE(port.SetTimeouts(0, 100, 300, 0, 0)); // 800 ms, scaled to 200 ms
    char buffer[5];
    uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 5, got));
    const Ms elapsed = Since(start);
    trelm::timing::SetScale(1.0);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(elapsed, Ms(200));
    EXPECT_LT(elapsed, Ms(200) + kTolerance);
}

// ---- Reads with data ------------------------------------------------------

TEST_F(SerialLine, FullReadSucceeds) {
    ASSERT_TRUE(port.SetTimeouts(100, 100, 1000, 0, 0));
    ASSERT_TRUE(pty.WriteMaster("hello"));
    char buffer[5] = {};
    uint32_t got = 0;
    EXPECT_TRUE(port.Read(buffer, 5, got));
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(SerialLine, GapLongerThanIntervalEndsTheReadWithTheBytesSoFar) {
    ASSERT_TRUE(port.SetTimeouts(60, 0, 5000, 0, 0));
    std::thread device([this] {
        pty.WriteMaster("ab");
        std::this_thread::sleep_for(800ms);
        pty.WriteMaster("cde");
    });
    char buffer[5] = {};
    uint32_t got = 0;
    const auto start = Clock::now();
    const bool ok = port.Read(buffer, 5, got);
    const Ms elapsed = Since(start);
    device.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(std::string(buffer, got), "ab");
    EXPECT_GE(elapsed, Ms(60));
    EXPECT_LT(elapsed, Ms(60) + kTolerance);
}

TEST_F(SerialLine, BytesWithinTheIntervalCompleteTheRead) {
    ASSERT_TRUE(port.SetTimeouts(300, 0, 5000, 0, 0));
    std::thread device([this] {
        for (char c : std::string("12345")) {
            pty.WriteMaster(&c, 1);
            std::this_thread::sleep_for(30ms);
        }
    });
    char buffer[5] = {};
    uint32_t got = 0;
    const bool ok = port.Read(buffer, 5, got);
    device.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::string(buffer, 5), "12345");
}

TEST_F(SerialLine, ZeroTimeoutsWaitForEveryByte) {
    ASSERT_TRUE(port.SetTimeouts(0, 0, 0, 0, 0));
    std::thread device([this] {
        std::this_thread::sleep_for(150ms);
        pty.WriteMaster("xyz");
    });
    char buffer[3] = {};
    uint32_t got = 0;
    const auto start = Clock::now();
    const bool ok = port.Read(buffer, 3, got);
    const Ms elapsed = Since(start);
    device.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::string(buffer, got), "xyz");
    EXPECT_GE(elapsed, Ms(100));
}

TEST_F(SerialLine, MaximumIntervalAloneReturnsWhatIsWaiting) {
    ASSERT_TRUE(port.SetTimeouts(UINT32_MAX, 0, 0, 0, 0));
    char buffer[5] = {};
    uint32_t got = 99;
    EXPECT_FALSE(port.Read(buffer, 5, got));
    EXPECT_EQ(got, 0u);

    ASSERT_TRUE(pty.WriteMaster("xy"));
    const auto deadline = Clock::now() + 1s;
    while (port.BytesWaiting() < 2 && Clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_FALSE(port.Read(buffer, 5, got));
    EXPECT_EQ(std::string(buffer, got), "xy");
}

TEST_F(SerialLine, MaximumIntervalAndMultiplierWaitForTheFirstByteOnly) {
    ASSERT_TRUE(port.SetTimeouts(UINT32_MAX, UINT32_MAX, 2000, 0, 0));
    std::thread device([this] {
        std::this_thread::sleep_for(50ms);
        pty.WriteMaster("a");
    });
    char buffer[10] = {};
    uint32_t got = 0;
    const auto start = Clock::now();
    const bool ok = port.Read(buffer, 10, got);
    const Ms elapsed = Since(start);
    device.join();
    EXPECT_FALSE(ok); // short of the 10 asked for
    EXPECT_EQ(std::string(buffer, got), "a");
    EXPECT_LT(elapsed, Ms(2000));
}

TEST_F(SerialLine, AllByteValuesPassUnchanged) {
    std::vector<uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);
    ASSERT_TRUE(port.SetTimeouts(500, 10, 2000, 10, 2000));

    ASSERT_TRUE(pty.WriteMaster(all.data(), all.size()));
    std::vector<uint8_t> in(256);
    uint32_t got = 0;
    EXPECT_TRUE(port.Read(in.data(), 256, got));
    EXPECT_EQ(in, all);

    uint32_t sent = 0;
    EXPECT_TRUE(port.Write(all.data(), 256, sent));
    EXPECT_EQ(sent, 256u);
    EXPECT_EQ(pty.ReadMaster(256, 2s), all);
}

// ---- A vanished peer ------------------------------------------------------

TEST_F(SerialLine, ClosedPeerFailsABlockedReadPromptly) {
    ASSERT_TRUE(port.SetTimeouts(0, 1000, 5000, 0, 0)); // 10 s for 5 bytes
    std::thread device([this] {
        std::this_thread::sleep_for(100ms);
        pty.CloseMaster();
    });
    char buffer[5];
    uint32_t got = 99;
    const auto start = Clock::now();
    const bool ok = port.Read(buffer, 5, got);
    const Ms elapsed = Since(start);
    device.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(got, 0u);
    EXPECT_LT(elapsed, Ms(2000));
}

TEST_F(SerialLine, ReadAndWriteFailAtOnceAfterThePeerIsGone) {
    ASSERT_TRUE(port.SetTimeouts(0, 1000, 5000, 1000, 5000));
    pty.CloseMaster();
    char buffer[4] = {'p', 'i', 'n', 'g'};
    uint32_t moved = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 4, moved));
    EXPECT_EQ(moved, 0u);
    EXPECT_FALSE(port.Write(buffer, 4, moved));
    EXPECT_EQ(moved, 0u);
    EXPECT_LT(Since(start), Ms(2000));
}

// ---- Interrupted waits ----------------------------------------------------

std::atomic<int> g_alarms{0};

void CountAlarm(int) {
    g_alarms.fetch_add(1);
}

// Delivers SIGALRM every 5 ms, with a handler installed without SA_RESTART,
// so that every wait of the read is cut short by EINTR many times.
class AlarmStorm {
public:
    AlarmStorm() {
        struct sigaction action {};
        action.sa_handler = CountAlarm;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGALRM, &action, &m_previous);
        g_alarms = 0;
        itimerval every{{0, 5000}, {0, 5000}};
        setitimer(ITIMER_REAL, &every, nullptr);
    }
    ~AlarmStorm() {
        itimerval off{};
        setitimer(ITIMER_REAL, &off, nullptr);
        sigaction(SIGALRM, &m_previous, nullptr);
    }
    AlarmStorm(const AlarmStorm&) = delete;
    AlarmStorm& operator=(const AlarmStorm&) = delete;

private:
    struct sigaction m_previous {};
};

TEST_F(SerialLine, SignalsNeitherEndNorExtendTheTotalDeadline) {
    ASSERT_TRUE(port.SetTimeouts(0, 0, 300, 0, 0));
    char buffer[5];
    uint32_t got = 99;
    Ms elapsed{};
    bool ok = true;
    {
        AlarmStorm storm;
        const auto start = Clock::now();
        ok = port.Read(buffer, 5, got);
        elapsed = Since(start);
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(got, 0u);
    EXPECT_GT(g_alarms.load(), 10);
    EXPECT_GE(elapsed, Ms(300));
    EXPECT_LT(elapsed, Ms(300) + kTolerance);
}

TEST_F(SerialLine, SignalsNeitherEndNorExtendTheInterval) {
    ASSERT_TRUE(port.SetTimeouts(250, 0, 10000, 0, 0));
    ASSERT_TRUE(pty.WriteMaster("q"));
    char buffer[5] = {};
    uint32_t got = 0;
    Ms elapsed{};
    bool ok = true;
    {
        AlarmStorm storm;
        const auto start = Clock::now();
        ok = port.Read(buffer, 5, got);
        elapsed = Since(start);
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(std::string(buffer, got), "q");
    EXPECT_GT(g_alarms.load(), 10);
    EXPECT_GE(elapsed, Ms(250));
    EXPECT_LT(elapsed, Ms(250) + kTolerance);
}

// ---- Writes ---------------------------------------------------------------

TEST_F(SerialLine, LargeWriteIsContinuedUntilEveryByteIsOut) {
    // Far more than the pty buffers, so the kernel takes it in pieces.
    std::vector<uint8_t> data(256 * 1024);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    ASSERT_TRUE(port.SetTimeouts(0, 0, 0, 0, 20000));
    std::vector<uint8_t> received;
    std::thread device([&] { received = pty.ReadMaster(data.size(), 20s); });
    uint32_t sent = 0;
    const bool ok = port.Write(data.data(), static_cast<uint32_t>(data.size()), sent);
    device.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(sent, data.size());
    EXPECT_TRUE(received == data);
}

TEST_F(SerialLine, WriteToABlockedLineEndsAtItsTimeout) {
    std::vector<uint8_t> data(1024 * 1024, 0x55); // nobody reads the master
    ASSERT_TRUE(port.SetTimeouts(0, 0, 0, 0, 200));
    uint32_t sent = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Write(data.data(), static_cast<uint32_t>(data.size()), sent));
    const Ms elapsed = Since(start);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, data.size());
    EXPECT_GE(elapsed, Ms(200));
    EXPECT_LT(elapsed, Ms(200) + kTolerance);
}

TEST(SerialClosedPort, ReadAndWriteFail) {
    SerialPort port;
    char buffer[2] = {};
    uint32_t moved = 99;
    EXPECT_FALSE(port.Read(buffer, 2, moved));
    EXPECT_EQ(moved, 0u);
    moved = 99;
    EXPECT_FALSE(port.Write(buffer, 2, moved));
    EXPECT_EQ(moved, 0u);
}

} // namespace
