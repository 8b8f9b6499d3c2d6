// watch COMMAND: devices present at the start and devices that appear later
// are handled, each once until it has gone; --once ends after N devices; a
// stop signal lets running copies close cleanly.
#include "CliFleetTest.h"

#include <csignal>

namespace {

// Occurrences of `text` in `haystack`.
std::size_t Count(const std::string& haystack, const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = haystack.find(text); at != std::string::npos;
         at = haystack.find(text, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

class CliWatchTest : public CliFleetTest {
protected:
    // Only COM4 is there at the start.
    void SetUp() override { CliEmulatorTest::SetUp(); }

    // Waits until `text` has appeared `times` times in the watcher's output.
    static bool WaitForCount(cli::test::CliRunner& runner, cli::test::CliResult& seen,
                             const std::string& text, std::size_t times) {
        const bool found = runner.WaitForOutput(text, std::chrono::seconds(60), times);
        seen = runner.Peek();
        return found;
    }
};

TEST_F(CliWatchTest, HandlesADeviceOnceEachTimeItAppears) {
    WriteLocal("a.cfg", Pattern(150, 21));
    cli::test::CliRunner runner;
    Prepare(runner);
    runner.Start({"--json", "watch", "put", "a.cfg"});
    cli::test::CliResult seen;
    const std::string found5 = R"("type":"device","port":5,"name":"COM5","event":"found")";
    const std::string done5 =
        R"("type":"result","port":5,"command":"put","file":"a.cfg","ok":true)";

    // Present at the start.
    ASSERT_TRUE(WaitForCount(runner, seen, R"("type":"result","port":4)", 1)) << seen.out;
    EXPECT_EQ(DeviceContent("a.cfg"), Pattern(150, 21));

    // Plugged in.
    AddEmulator(5);
    ASSERT_TRUE(WaitForCount(runner, seen, done5, 1)) << seen.out;
    EXPECT_EQ(ContentOn(5, "a.cfg"), Pattern(150, 21));

    // Pulled out: its link goes away.
    extra.at(5)->server.stop();
    extra.erase(5);
    ASSERT_TRUE(WaitForCount(runner, seen, R"("port":5,"name":"COM5","event":"gone")", 1))
        << seen.out << seen.err;

    // Plugged in again: a new device on the same port.
    AddEmulator(5);
    ASSERT_TRUE(WaitForCount(runner, seen, done5, 2)) << seen.out << seen.err;
    EXPECT_EQ(ContentOn(5, "a.cfg"), Pattern(150, 21));

    // The watcher goes on checking both devices (each check is a wake-up)
    // without handling either again.
    const auto wakeUps4 = device.requestCount(devsim::cmd::WakeUpDut);
    const auto wakeUps5 = DeviceOn(5).requestCount(devsim::cmd::WakeUpDut);
    const auto checkDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((device.requestCount(devsim::cmd::WakeUpDut) < wakeUps4 + 2 ||
            DeviceOn(5).requestCount(devsim::cmd::WakeUpDut) < wakeUps5 + 2) &&
           std::chrono::steady_clock::now() < checkDeadline) {
        // Keeps reading the watcher's output while the checks go on.
        runner.WaitForOutput("\"never printed\"", std::chrono::milliseconds(100));
    }
    EXPECT_GE(DeviceOn(5).requestCount(devsim::cmd::WakeUpDut), wakeUps5 + 2);
    runner.Signal(SIGTERM);
    const auto result = runner.Finish(std::chrono::seconds(60));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(Count(result.out, found5), 2u) << result.out;
    EXPECT_EQ(Count(result.out, R"("type":"device","port":4,"name":"COM4","event":"found")"), 1u);
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFile), 1u) << "COM4 handled once";
    const QJsonObject summary = Summary(JsonLines(result));
    EXPECT_EQ(summary.value("devices").toInt(), 3);
    EXPECT_EQ(summary.value("failed").toInt(), 0);
}

TEST_F(CliWatchTest, OnceEndsAfterThatManyDevices) {
    AddEmulator(5);
    AddEmulator(6);
    WriteLocal("a.cfg", Pattern(50, 22));

    const auto result = Run({"watch", "--once", "2", "put", "a.cfg"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    int loaded = 0;
    for (unsigned number : {4u, 5u, 6u}) {
        loaded += ContentOn(number, "a.cfg").empty() ? 0 : 1;
    }
    EXPECT_EQ(loaded, 2);
    EXPECT_NE(result.out.find("put: 2 devices, 2 succeeded, 0 failed"), std::string::npos)
        << result.out;
}

TEST_F(CliWatchTest, OnceReportsAFailedDeviceInTheExitStatus) {
    device.addFault("CREATE_NV_FILE=status:9");
    WriteLocal("a.cfg", Pattern(50, 23));
    const auto result = Run({"--json", "watch", "--once", "1", "put", "a.cfg"});
    EXPECT_EQ(result.exitStatus, 9) << result.err;
    EXPECT_EQ(Failures(Summary(JsonLines(result))), (std::map<int, int>{{4, 9}}));
}

TEST_F(CliWatchTest, SigtermInTheMiddleOfACopyClosesItOnTheDevice) {
    device.setLineBaud(2400);
    WriteLocal("big.dat", Pattern(3000, 24));
    cli::test::CliRunner runner;
    Prepare(runner);
    runner.Start({"--json", "watch", "put", "big.dat"});
    ASSERT_TRUE(runner.WaitForOutput("\"type\":\"progress\"", std::chrono::seconds(30)));
    runner.Signal(SIGTERM);
    const auto result = runner.Finish(std::chrono::seconds(60));
    EXPECT_EQ(result.exitStatus, 15) << result.err;
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFileStoreFile), 1u);
    EXPECT_FALSE(device.file("big.dat").has_value());
    EXPECT_EQ(Failures(Summary(JsonLines(result))), (std::map<int, int>{{4, 15}}));
}
