// Ctrl-C in the middle of a transfer on a slow line: the transfer is closed on
// the device, nothing partial stays behind, and the exit status is 15.
#include "CliEmulatorTest.h"

#include <csignal>

class CliCancelTest : public CliEmulatorTest {
protected:
    void SetUp() override {
        CliEmulatorTest::SetUp();
        // About 4 ms a byte: a packet exchange takes about half a second.
        device.setLineBaud(2400);
    }

    // Starts `args`, waits for the first progress line of the transfer,
    // presses Ctrl-C and collects the outcome.
    cli::test::CliResult InterruptAfterFirstProgress(const std::vector<std::string>& args) {
        cli::test::CliRunner runner;
        Prepare(runner);
        runner.Start(args);
        EXPECT_TRUE(runner.WaitForOutput("\"type\":\"progress\"", std::chrono::seconds(30)));
        runner.Signal(SIGINT);
        return runner.Finish(std::chrono::seconds(60));
    }
};

TEST_F(CliCancelTest, GetLeavesNoPartialFile) {
    PutDeviceFile("big.dat", Pattern(3000, 5));

    const auto result = InterruptAfterFirstProgress({"--json", "get", "big.dat"});
    EXPECT_EQ(result.exitStatus, 15) << result.err;
    const auto results = OfType(JsonLines(result), "result");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].value("resultName").toString(), "TRELM_ERROR_FILE_TRANSFER_CANCELLED");
    EXPECT_TRUE(WorkEntries().empty()) << "neither the file nor a staged copy stays";
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFileTerminateRead), 1u);
    EXPECT_LT(device.requestCount(devsim::cmd::ReadNvFileDataPacket), 30u);
}

TEST_F(CliCancelTest, PutStillClosesTheFileOnTheDevice) {
    WriteLocal("big.dat", Pattern(3000, 6));

    const auto result = InterruptAfterFirstProgress({"--json", "put", "big.dat", "big.dat"});
    EXPECT_EQ(result.exitStatus, 15) << result.err;
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFileStoreFile), 1u)
        << "the store command ends the transfer, and the second file is not started";
    EXPECT_EQ(device.requestCount(devsim::cmd::CreateNvFile), 1u);
    EXPECT_FALSE(device.file("big.dat").has_value()) << "an incomplete file is not kept";
    EXPECT_EQ(WorkEntries(), (std::vector<std::string>{"big.dat"}));
}
