// Read and write time-outs, a vanished peer and interrupted waits, all over a
// real pseudo-terminal. The elapsed-time checks verify time-out semantics:
// never earlier than the limit, and ended by that limit rather than by a
// later one. Upper bounds are therefore set against the next time-out the
// read could wrongly wait for (configured many seconds away), never as a
// small tolerance that a loaded machine could exceed.
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
// Scheduling delay a loaded machine may add to any wait. Every test that
// bounds a wait from above configures its alternative time-outs (the ones a
// faulty read would wait for) beyond limit + kLate.
constexpr Ms kLate{3000};

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
    EXPECT_LT(elapsed, c.expected + kLate); // ended, not waiting for ever
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
    trelm::timing::SetScale(0.01);
    ASSERT_TRUE(port.SetTimeouts(0, 1000, 15000, 0, 0)); // 20 s, scaled to 200 ms
    char buffer[5];
    uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 5, got));
    const Ms elapsed = Since(start);
    trelm::timing::SetScale(1.0);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(elapsed, Ms(200));
    EXPECT_LT(elapsed, Ms(200) + kLate); // far below the unscaled 20 s
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
    ASSERT_TRUE(port.SetTimeouts(60, 0, 30000, 0, 0));
    // Two bytes, then silence: the gap after them ends the read.
    ASSERT_TRUE(pty.WriteMaster("ab"));
    char buffer[5] = {};
    uint32_t got = 0;
    const auto start = Clock::now();
    const bool ok = port.Read(buffer, 5, got);
    const Ms elapsed = Since(start);
    EXPECT_FALSE(ok);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(std::string(buffer, got), "ab");
    EXPECT_GE(elapsed, Ms(60));
    EXPECT_LT(elapsed, Ms(60) + kLate); // by the interval, not the 30 s total
}

TEST_F(SerialLine, BytesWithinTheIntervalCompleteTheRead) {
    // An interval far above the 30 ms gaps, so that a slow writer thread
    // cannot end the read early.
    ASSERT_TRUE(port.SetTimeouts(5000, 0, 30000, 0, 0));
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
    const auto deadline = Clock::now() + 20s;
    while (port.BytesWaiting() < 2 && Clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_FALSE(port.Read(buffer, 5, got));
    EXPECT_EQ(std::string(buffer, got), "xy");
}

TEST_F(SerialLine, MaximumIntervalAndMultiplierWaitForTheFirstByteOnly) {
    ASSERT_TRUE(port.SetTimeouts(UINT32_MAX, UINT32_MAX, 30000, 0, 0));
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
    EXPECT_LT(elapsed, Ms(50) + kLate); // not the 30 s of the constant
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
    ASSERT_TRUE(port.SetTimeouts(0, 1000, 25000, 0, 0)); // 30 s for 5 bytes
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
    EXPECT_LT(elapsed, Ms(100) + kLate); // not the 30 s time-out
}

TEST_F(SerialLine, ReadAndWriteFailAtOnceAfterThePeerIsGone) {
    ASSERT_TRUE(port.SetTimeouts(0, 1000, 25000, 1000, 25000)); // 29 s each
    pty.CloseMaster();
    char buffer[4] = {'p', 'i', 'n', 'g'};
    uint32_t moved = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 4, moved));
    EXPECT_EQ(moved, 0u);
    EXPECT_FALSE(port.Write(buffer, 4, moved));
    EXPECT_EQ(moved, 0u);
    EXPECT_LT(Since(start), 2 * kLate); // neither waited for its 29 s
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
    // A deadline restarted by each signal (every 5 ms) would never end.
    EXPECT_LT(elapsed, Ms(300) + kLate);
}

TEST_F(SerialLine, SignalsNeitherEndNorExtendTheInterval) {
    ASSERT_TRUE(port.SetTimeouts(250, 0, 30000, 0, 0));
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
    EXPECT_LT(elapsed, Ms(250) + kLate); // by the interval, not the 30 s total
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
    EXPECT_LT(elapsed, Ms(200) + kLate); // ended, not blocked for ever
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
