// The protocol's default time-outs on a real pseudo-terminal with a silent
// line: a read of 5 bytes gives up after 5 x 1000 ms + 20000 ms = 25 s (the
// interval between bytes never starts, as no byte arrives). A long test
// (CTest label "long"): it waits out the real time-outs, unscaled.
#include "DeviceProtocol.h"
#include "PtyPair.h"
#include "SerialPort.h"
#include "Timing.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

TEST(SerialDefaultTimeouts, SilentLineGivesUpAfterTwentyFiveSecondsForFiveBytes) {
    trelm::timing::SetScale(1.0);
    trelm::test::PtyPair pty;
    pty.Publish(5);
    trelm::SerialPort port;
    port.Open(5, "baud=9600 parity=N data=8 stop=1");
    ASSERT_TRUE(port.IsOpen());
    const trelm::DeviceProtocol protocol(&port); // puts its default time-outs in force

    char buffer[5];
    uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 5, got));
    const Ms elapsed = std::chrono::duration_cast<Ms>(Clock::now() - start);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(elapsed, Ms(24000));
    EXPECT_LE(elapsed, Ms(26000));
}

} // namespace
