// A line that goes away in the middle of a transfer (the emulator closes its
// pseudo-terminal) fails the call at once, long before the port's own
// time-outs of twenty seconds and more would end it, and the local files
// stay as they were.
#include "FaultFixture.h"

#include "Timing.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
// The retry pauses of the failed exchanges are all that is left: a few
// hundred milliseconds. Waiting for even one port time-out takes at least
// 20 s, so half of that tells the two apart with room for a loaded machine.
constexpr auto kShortestPortTimeout = std::chrono::seconds(20);
constexpr auto kPrompt = kShortestPortTimeout / 2;

class LineHangUp : public FaultFixture {
protected:
    void SetUp() override {
        FaultFixture::SetUp();
        trelm::timing::SetScale(1.0); // the real time-outs
    }
};

TEST_F(LineHangUp, CopyToDeviceFailsPromptly) {
    AddFault("CREATE_NV_FILE_DATA_PACKET@2=hangup");
    const FileState before = StateOf(UploadPath());
    const auto start = Clock::now();
    EXPECT_EQ(TRELM_CopyFileToDevice(UploadPath().c_str(), 0), TRELM_ERROR_COMM_FAILED_TIMEOUT);
    EXPECT_LT(Clock::now() - start, kPrompt);
    EXPECT_TRUE(server.hungUp());
    EXPECT_EQ(StateOf(UploadPath()), before);
    EXPECT_FALSE(emulator.file(kUploadName).has_value());
}

TEST_F(LineHangUp, CopyFromDeviceFailsPromptlyAndLeavesNoFile) {
    AddFault("READ_NV_FILE_DATA_PACKET@2=hangup");
    const std::vector<std::string> before = LocalNames();
    const auto start = Clock::now();
    EXPECT_EQ(TRELM_CopyFileFromDevice(kDeviceFile, CopyPath().c_str()),
              TRELM_ERROR_COMM_FAILED_TIMEOUT);
    EXPECT_LT(Clock::now() - start, kPrompt);
    EXPECT_TRUE(server.hungUp());
    EXPECT_EQ(LocalNames(), before);
}

TEST_F(LineHangUp, ListingFailsPromptly) {
    AddFault("GET_NV_FILE_INFO_LIST_DATA_PACKET@2=hangup");
    TRELM_FILE_INFO info{};
    info.StructSize = sizeof info;
    uint32_t count = 0;
    const auto start = Clock::now();
    EXPECT_EQ(TRELM_FindFirstFile(0, &count, &info), TRELM_ERROR_COMM_FAILED_TIMEOUT);
    EXPECT_LT(Clock::now() - start, kPrompt);
    EXPECT_EQ(count, 5u);
}

} // namespace
