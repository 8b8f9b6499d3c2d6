// The emulator on a real pseudo-terminal, opened the way a client opens a
// serial port.
#include "RequestBuilder.h"

#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using devsim::Device;
using devsim::PtyServer;
using RB = RequestBuilder;
using Clock = std::chrono::steady_clock;

namespace {

// Opens a tty in raw mode with plain termios.
int openRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Reads until count bytes arrived, the line failed, or the time is up.
Bytes readBytes(int fd, std::size_t count, std::chrono::milliseconds limit,
                int* lastError = nullptr) {
    Bytes out;
    const auto deadline = Clock::now() + limit;
    while (out.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        uint8_t buffer[256];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - out.size()));
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            if (lastError != nullptr) {
                *lastError = n == 0 ? EIO : errno;
            }
            break;
        }
    }
    return out;
}

void writeBytes(int fd, const Bytes& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

const Bytes WakeUp = RB::frame(0x0000, {0x01});
const Bytes WakeUpAnswer = {0x00, 0x0F, 0x01, 0x00, 0x02, 0x02, 0x01, 0x06, 0x00};

class DevsimPtyServer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
    }
    void TearDown() override { server.stop(); }

    Device device;
    PtyServer server{device};
};

TEST_F(DevsimPtyServer, AnswersAWakeUpOnTheSlave) {
    const int fd = openRaw(server.slavePath());
    ASSERT_GE(fd, 0) << server.slavePath();
    writeBytes(fd, WakeUp);
    EXPECT_EQ(readBytes(fd, WakeUpAnswer.size(), std::chrono::seconds(5)), WakeUpAnswer);
    // Nothing else follows: in particular no echo of the request.
    EXPECT_TRUE(readBytes(fd, 1, std::chrono::milliseconds(100)).empty());
    EXPECT_EQ(device.requestCount(0x0000), 1u);
    ::close(fd);
}

TEST_F(DevsimPtyServer, KeepsServingAfterAClientClosedThePort) {
    for (int round = 0; round < 3; ++round) {
        const int fd = openRaw(server.slavePath());
        ASSERT_GE(fd, 0);
        writeBytes(fd, WakeUp);
        EXPECT_EQ(readBytes(fd, WakeUpAnswer.size(), std::chrono::seconds(5)), WakeUpAnswer)
            << "round " << round;
        ::close(fd);
    }
    EXPECT_EQ(device.requestCount(0x0000), 3u);
}

TEST_F(DevsimPtyServer, ExclusiveModeEndsWithTheLastClose) {
    const int first = openRaw(server.slavePath());
    ASSERT_GE(first, 0);
    ASSERT_EQ(::ioctl(first, TIOCEXCL), 0);
    ::close(first);
    // Looked at through later opens (which root may make despite the mode);
    // the server drops the mode once it has seen the close.
    int exclusive = 1;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (exclusive != 0 && Clock::now() < deadline) {
        const int probe = ::open(server.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (probe >= 0) {
            ::ioctl(probe, TIOCGEXCL, &exclusive);
            ::close(probe);
        }
        if (exclusive != 0) {
            ::usleep(20000);
        }
    }
    EXPECT_EQ(exclusive, 0);
}

TEST_F(DevsimPtyServer, LinksTheSlaveIntoAPortsFolder) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("devsim-ports-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::string error;
    ASSERT_TRUE(server.linkInto(dir.string(), 7, &error)) << error;
    const auto link = dir / "com7";
    EXPECT_EQ(server.linkPath(), link.string());
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.slavePath());

    const int fd = openRaw(link.string());
    ASSERT_GE(fd, 0);
    writeBytes(fd, WakeUp);
    EXPECT_EQ(readBytes(fd, WakeUpAnswer.size(), std::chrono::seconds(5)), WakeUpAnswer);
    ::close(fd);

    // A second server takes over the same number; stopping the first then
    // leaves the second one's link alone.
    Device other;
    PtyServer second(other);
    ASSERT_TRUE(second.start(&error)) << error;
    ASSERT_TRUE(second.linkInto(dir.string(), 7, &error)) << error;
    server.stop();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), second.slavePath());
    second.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    // Something that is not a link is never replaced.
    ASSERT_TRUE(server.start(&error)) << error;
    {
        std::FILE* f = std::fopen(link.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    EXPECT_FALSE(server.linkInto(dir.string(), 7, &error));
    EXPECT_TRUE(std::filesystem::is_regular_file(link));
    std::filesystem::remove_all(dir);
}

TEST_F(DevsimPtyServer, HangUpClosesTheLine) {
    device.addFault("GET_NUMBER_OF_OPEN_NV_FILES=hangup");
    const int fd = openRaw(server.slavePath());
    ASSERT_GE(fd, 0);
    writeBytes(fd, WakeUp);
    ASSERT_EQ(readBytes(fd, WakeUpAnswer.size(), std::chrono::seconds(5)), WakeUpAnswer);
    writeBytes(fd, RB::frame(0x131D));
    ASSERT_TRUE(server.waitForHangUp(std::chrono::seconds(5)));
    EXPECT_FALSE(server.running());
    int error = 0;
    EXPECT_TRUE(readBytes(fd, 1, std::chrono::seconds(2), &error).empty());
    EXPECT_EQ(error, EIO) << "the client sees the line gone";
    ::close(fd);
}

TEST_F(DevsimPtyServer, PartialFrameIsDroppedWhenTheLineGoesQuiet) {
    server.setResyncAfter(std::chrono::milliseconds(50));
    const int fd = openRaw(server.slavePath());
    ASSERT_GE(fd, 0);
    writeBytes(fd, Bytes{0x00, 0x00, 0x01}); // a frame that never ends
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (device.bytesIn() < 3 && Clock::now() < deadline) {
        ::usleep(5000);
    }
    ::usleep(200000);
    writeBytes(fd, WakeUp);
    EXPECT_EQ(readBytes(fd, WakeUpAnswer.size(), std::chrono::seconds(5)), WakeUpAnswer);
    ::close(fd);
}

TEST_F(DevsimPtyServer, LinePacingTakesTenBitTimesPerByte) {
    // 6 request bytes and 9 answer bytes at 1200 baud take 125 ms on the line.
    device.setLineBaud(1200);
    const int fd = openRaw(server.slavePath());
    ASSERT_GE(fd, 0);
    const auto start = Clock::now();
    writeBytes(fd, WakeUp);
    const Bytes first = readBytes(fd, 2, std::chrono::seconds(5));
    const auto ackTime = Clock::now() - start;
    const Bytes rest = readBytes(fd, WakeUpAnswer.size() - 2, std::chrono::seconds(5));
    const auto total = Clock::now() - start;
    Bytes answer = first;
    answer.insert(answer.end(), rest.begin(), rest.end());
    EXPECT_EQ(answer, WakeUpAnswer);
    using std::chrono::milliseconds;
    // The acknowledgement needs the 6 request bytes plus its own 2: 66.7 ms.
    EXPECT_GE(ackTime, milliseconds(60));
    EXPECT_GE(total, milliseconds(118));
    ::close(fd);
}

} // namespace
