// Opening, naming and configuring a COM port, over a real pseudo-terminal
// published through TRELM_PORTS.
#include "SerialPort.h"
#include "PtyPair.h"

#include <chrono>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <termios.h>
#include <thread>

using trelm::SerialPort;
using trelm::test::PtyPair;

namespace {

constexpr const char* kDefaultMode = "baud=9600 parity=N data=8 stop=1";

// Waits until the port reports `count` bytes waiting (the pty hands bytes
// from master to slave asynchronously) or a second has passed.
uint32_t WaitForBytes(SerialPort& port, uint32_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    uint32_t waiting = port.BytesWaiting();
    while (waiting < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        waiting = port.BytesWaiting();
    }
    return waiting;
}

// ---- Port names -----------------------------------------------------------

struct NameCase {
    const char* label;
    uint8_t port;
    const char* name;
    bool nameOk;
};

// Test names and failure messages show the row label.
void PrintTo(const NameCase& row, std::ostream* os) {
    *os << row.label;
}

class SerialPortName : public testing::TestWithParam<NameCase> {};

TEST_P(SerialPortName, OpensUnderItsNumberAndReportsItsName) {
    const NameCase& c = GetParam();
    PtyPair pty;
    pty.Publish(c.port); // even a "com0" entry must not make port 0 usable
    SerialPort port;
    port.Open(c.port, kDefaultMode);
    EXPECT_EQ(port.IsOpen(), c.port != 0);
    EXPECT_EQ(port.PortId(), c.port);

    char name[32] = {};
    EXPECT_EQ(port.GetPortName(name, sizeof name), c.nameOk);
    EXPECT_STREQ(name, c.name);
}

INSTANTIATE_TEST_SUITE_P(Serial, SerialPortName,
                         testing::Values(NameCase{"Zero", 0, "<Bad m_portId>", false},
                                         NameCase{"One", 1, "COM1", true},
                                         NameCase{"Nine", 9, "COM9", true},
                                         NameCase{"Ten", 10, "\\\\.\\COM10", true},
                                         NameCase{"Last", 255, "\\\\.\\COM255", true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(SerialPortNameBuffer, TooSmallBufferFails) {
    PtyPair pty;
    pty.Publish(10);
    SerialPort port;
    port.Open(10, kDefaultMode);
    char name[9] = {}; // "\\.\COM10" needs 10 bytes with its terminator
    EXPECT_FALSE(port.GetPortName(name, sizeof name));
    EXPECT_FALSE(port.GetPortName(nullptr, 0));
}

// ---- Open and close -------------------------------------------------------

TEST(SerialPortOpen, NumberWithoutEntryFails) {
    PtyPair pty;
    pty.Publish(3);
    SerialPort port;
    EXPECT_FALSE(port.Open(4, kDefaultMode));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetSettingsString(), nullptr);
}

// A pty has no modem lines, so clearing DTR/RTS fails: the open reports that
// failure of the flow-control step but keeps the port open and configured.
TEST(SerialPortOpen, PtyReportsModemLineFailureButStaysOpen) {
    PtyPair pty;
    pty.Publish(2);
    SerialPort port;
    EXPECT_FALSE(port.Open(2, kDefaultMode));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_STREQ(port.GetSettingsString(), kDefaultMode);
}

TEST(SerialPortOpen, SecondOpenOfSamePortFailsWhileFirstHoldsIt) {
    PtyPair pty;
    pty.Publish(3);
    SerialPort first;
    SerialPort second;
    first.Open(3, kDefaultMode);
    ASSERT_TRUE(first.IsOpen());

    EXPECT_FALSE(second.Open(3, kDefaultMode));
    EXPECT_FALSE(second.IsOpen());

    EXPECT_TRUE(first.Close());
    second.Open(3, kDefaultMode);
    EXPECT_TRUE(second.IsOpen());
}

TEST(SerialPortOpen, CloseReportsWhetherAPortWasOpen) {
    PtyPair pty;
    pty.Publish(1);
    SerialPort port;
    EXPECT_FALSE(port.Close());
    port.Open(1, kDefaultMode);
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetSettingsString(), nullptr);
    EXPECT_FALSE(port.Close());
}

TEST(SerialPortOpen, CloseDiscardsPendingInput) {
    PtyPair pty;
    pty.Publish(1);
    SerialPort port;
    port.Open(1, kDefaultMode);
    ASSERT_TRUE(pty.WriteMaster("stale"));
    ASSERT_EQ(WaitForBytes(port, 5), 5u);

    port.Close();
    port.Open(1, kDefaultMode);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

// ---- Mode strings ---------------------------------------------------------

struct ModeCase {
    const char* label;
    const char* openMode;
    const char* applyMode; // applied after the open when not null
    const char* expected;
};

// Test names and failure messages show the row label.
void PrintTo(const ModeCase& row, std::ostream* os) {
    *os << row.label;
}

class SerialPortMode : public testing::TestWithParam<ModeCase> {};

TEST_P(SerialPortMode, SettingsStringReportsTheLine) {
    const ModeCase& c = GetParam();
    PtyPair pty;
    pty.Publish(7);
    SerialPort port;
    port.Open(7, c.openMode);
    ASSERT_TRUE(port.IsOpen());
    if (c.applyMode != nullptr) {
        port.ApplySettings(c.applyMode);
        ASSERT_TRUE(port.IsOpen());
    }
    EXPECT_STREQ(port.GetSettingsString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialPortMode,
    testing::Values(
        ModeCase{"Default", kDefaultMode, nullptr, kDefaultMode},
        ModeCase{"OddSevenTwo", "baud=19200 parity=O data=7 stop=2", nullptr,
                 "baud=19200 parity=O data=7 stop=2"},
        ModeCase{"ShortForm", "19200,o,7,2", nullptr, "baud=19200 parity=O data=7 stop=2"},
        ModeCase{"ShortFormDefault", "9600,n,8,1", nullptr, kDefaultMode},
        ModeCase{"KeysInAnyOrderAndCase", "STOP=2 Data=7 parity=e BAUD=57600", nullptr,
                 "baud=57600 parity=E data=7 stop=2"},
        ModeCase{"MissingKeysKeepTheLine", "baud=19200 parity=O data=7 stop=2", "baud=115200",
                 "baud=115200 parity=O data=7 stop=2"},
        ModeCase{"EmptyShortFieldsKeepTheLine", "baud=19200 parity=O data=7 stop=2", "38400,,8",
                 "baud=38400 parity=O data=8 stop=2"},
        ModeCase{"TwoDigitBaud", "96,n,8,1", nullptr, kDefaultMode},
        ModeCase{"DeviceNamePrefix", "COM3: baud=4800 parity=S data=8 stop=1", nullptr,
                 "baud=4800 parity=S data=8 stop=1"},
        ModeCase{"MarkParity", "baud=2400 parity=M data=7 stop=1", nullptr,
                 "baud=2400 parity=M data=7 stop=1"},
        ModeCase{"OneAndHalfStopBits", "baud=1200 parity=N data=5 stop=1.5", nullptr,
                 "baud=1200 parity=N data=5 stop=1.5"},
        ModeCase{"Baud110BringsTwoStopBits", "baud=110 parity=N data=8", nullptr,
                 "baud=110 parity=N data=8 stop=2"},
        ModeCase{"HighSpeed", "921600,n,8,1", nullptr, "baud=921600 parity=N data=8 stop=1"},
        ModeCase{"HandshakeKeysAccepted",
                 "baud=9600 parity=N data=8 stop=1 xon=on octs=on dtr=hs rts=tg to=off", nullptr,
                 kDefaultMode},
        ModeCase{"EmptyMeansDefault", "19200,o,7,2", "", kDefaultMode}),
    [](const auto& info) { return std::string(info.param.label); });

struct BadModeCase {
    const char* label;
    const char* mode;
};

// Test names and failure messages show the row label.
void PrintTo(const BadModeCase& row, std::ostream* os) {
    *os << row.label;
}

class SerialPortBadMode : public testing::TestWithParam<BadModeCase> {};

TEST_P(SerialPortBadMode, OpenFailsAndLeavesThePortClosed) {
    PtyPair pty;
    pty.Publish(7);
    SerialPort port;
    EXPECT_FALSE(port.Open(7, GetParam().mode));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetSettingsString(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialPortBadMode,
    testing::Values(
        BadModeCase{"Words", "fast please"}, BadModeCase{"UnknownKey", "baud=9600 speed=9600"},
        BadModeCase{"BaudWithoutTermiosSpeed", "baud=12345"},
        BadModeCase{"ParityLetter", "baud=9600 parity=X"}, BadModeCase{"NineDataBits", "data=9"},
        BadModeCase{"FourDataBits", "data=4"}, BadModeCase{"ThreeStopBits", "stop=3"},
        BadModeCase{"OneAndHalfWithEightBits", "baud=9600 data=8 stop=1.5"},
        BadModeCase{"TwoStopsWithFiveBits", "data=5 stop=2"}, BadModeCase{"EmptyValue", "baud="},
        BadModeCase{"TooManyFields", "9600,n,8,1,x,1"},
        BadModeCase{"BadHandshakeField", "9600,n,8,1,z"},
        BadModeCase{"MixedForms", "9600,n,8,1 baud=9600"},
        BadModeCase{"BadHandshakeValue", "xon=maybe"},
        BadModeCase{"TrailingGarbage", "baud=9600 parity=N data=8 stop=1 !"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SerialPortApplySettings, BadModeClosesAnOpenPortAndReleasesIt) {
    PtyPair pty;
    pty.Publish(7);
    SerialPort port;
    port.Open(7, kDefaultMode);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_FALSE(port.ApplySettings("baud=9600 parity=Q"));
    EXPECT_FALSE(port.IsOpen());

    SerialPort other; // the lock went with the handle
    other.Open(7, kDefaultMode);
    EXPECT_TRUE(other.IsOpen());
}

TEST(SerialPortApplySettings, ClosedPortFails) {
    SerialPort port;
    EXPECT_FALSE(port.ApplySettings(kDefaultMode));
}

// The settings reach the tty itself, and every flag that would alter or hold
// back bytes is switched off explicitly, whatever the line had before.
TEST(SerialPortApplySettings, LineIsRawAtTheRequestedFormat) {
    PtyPair pty;
    termios cooked{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &cooked), 0);
    cooked.c_iflag |= ICRNL | IXON | IXOFF | IXANY | ISTRIP;
    cooked.c_oflag |= OPOST;
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cooked.c_cflag |= HUPCL | CRTSCTS;
    cooked.c_cflag &= ~CLOCAL;
    cooked.c_cc[VMIN] = 1;
    cooked.c_cc[VTIME] = 5;
    ASSERT_EQ(tcsetattr(pty.Slave(), TCSANOW, &cooked), 0);

    pty.Publish(4);
    SerialPort port;
    // A pty always runs 8 bits without parity, so the check uses that format.
    port.Open(4, "19200,n,8,2");
    ASSERT_TRUE(port.IsOpen());

    termios line{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B19200));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), static_cast<tcflag_t>(CSTOPB));
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(line.c_cflag & (HUPCL | CRTSCTS), 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON | IXOFF | IXANY | ISTRIP), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);
}

// ---- Time-out records -----------------------------------------------------

TEST(SerialPortTimeouts, SavedRecordComesBackAndRestores) {
    PtyPair pty;
    pty.Publish(1);
    SerialPort port;
    port.Open(1, kDefaultMode);
    ASSERT_TRUE(port.SetTimeouts(1000, 1000, 20000, 1000, 20000));

    trelm::Timeouts saved;
    ASSERT_TRUE(port.GetTimeouts(saved));
    EXPECT_EQ(saved.interval, 1000u);
    EXPECT_EQ(saved.readMultiplier, 1000u);
    EXPECT_EQ(saved.readConstant, 20000u);
    EXPECT_EQ(saved.writeMultiplier, 1000u);
    EXPECT_EQ(saved.writeConstant, 20000u);

    ASSERT_TRUE(port.SetTimeouts(200, 200, 1000, 200, 1000));
    ASSERT_TRUE(port.RestoreTimeouts(saved));
    trelm::Timeouts now;
    ASSERT_TRUE(port.GetTimeouts(now));
    EXPECT_EQ(now.readConstant, 20000u);
    EXPECT_EQ(now.interval, 1000u);
}

TEST(SerialPortTimeouts, ClosedPortRefusesThem) {
    SerialPort port;
    trelm::Timeouts saved;
    EXPECT_FALSE(port.SetTimeouts(1, 2, 3, 4, 5));
    EXPECT_FALSE(port.GetTimeouts(saved));
    EXPECT_FALSE(port.RestoreTimeouts(saved));
}

// ---- Input queue ----------------------------------------------------------

TEST(SerialPortQueue, BytesWaitingCountsAndPurgeDiscards) {
    PtyPair pty;
    pty.Publish(6);
    SerialPort port;
    port.Open(6, kDefaultMode);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.BytesWaiting(), 0u);

    ASSERT_TRUE(pty.WriteMaster("1234567"));
    EXPECT_EQ(WaitForBytes(port, 7), 7u);

    EXPECT_TRUE(port.Purge());
    EXPECT_EQ(port.BytesWaiting(), 0u);
    port.SetTimeouts(0, 0, 50, 0, 0);
    char byte = 0;
    uint32_t got = 99;
    EXPECT_FALSE(port.Read(&byte, 1, got));
    EXPECT_EQ(got, 0u);
}

TEST(SerialPortQueue, ClosedPortHasNothingWaitingAndCannotPurge) {
    SerialPort port;
    EXPECT_EQ(port.BytesWaiting(), 0u);
    EXPECT_FALSE(port.Purge());
}

} // namespace
