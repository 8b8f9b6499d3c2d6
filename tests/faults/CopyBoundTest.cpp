// A copy to the device follows the packet numbers the device asks for. A
// device that never completes the file must not hold the call for ever (the
// copy without progress callback can never cancel), and a device that is
// merely slow to take the packets must not be cut off.
#include "FaultFixture.h"

#include "Timing.h"

#include <fstream>
#include <string>
#include <vector>

namespace {

// "@A,A+2,...,B": every second occurrence from A to B.
std::string EverySecond(int from, int to) {
    std::string when = "@";
    for (int i = from; i <= to; i += 2) {
        when += (i == from ? "" : ",") + std::to_string(i);
    }
    return when;
}

class CopyBound : public FaultFixture {
protected:
    void SetUp() override {
        FaultFixture::SetUp();
        trelm::timing::SetScale(0.05);
    }

    uint16_t LastRequestCode() const {
        const auto log = emulator.requestLog();
        return log.empty() ? 0 : static_cast<uint16_t>(log.back().at(0) | (log.back().at(1) << 8));
    }
};

TEST_F(CopyBound, ADeviceAskingForTheSamePacketForEverEndsTheCopy) {
    AddFault("CREATE_NV_FILE_DATA_PACKET@2-=repeat");

    EXPECT_EQ(TRELM_CopyFileToDevice(UploadPath().c_str(), 0), TRELM_ERROR_UNEXPECTED_DATA);

    // Packet 1 is sent, then sent again each time the device asks for it
    // once more, up to eight times; the ninth request ends the copy.
    const std::vector<unsigned> expected = {0, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(CreatePacketNumbers(), expected);
    EXPECT_EQ(LastRequestCode(), devsim::cmd::CreateNvFileStoreFile);
    EXPECT_FALSE(emulator.file(kUploadName).has_value());
}

TEST_F(CopyBound, ADeviceCyclingBetweenTwoPacketsEndsAtTheExchangeLimit) {
    // The device asks for packet 0 and packet 1 by turns and never has the
    // whole file: 3 x 3 + 16 = 25 data packets go out, then the copy ends.
    AddFault("CREATE_NV_FILE_DATA_PACKET" + EverySecond(2, 80) + "=packet:0");
    AddFault("CREATE_NV_FILE_DATA_PACKET" + EverySecond(3, 81) + "=packet:1");

    EXPECT_EQ(TRELM_CopyFileToDevice(UploadPath().c_str(), 0), TRELM_ERROR_UNEXPECTED_DATA);

    const std::vector<unsigned> sent = CreatePacketNumbers();
    ASSERT_EQ(sent.size(), 25u);
    for (std::size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i], i % 2 == 1 ? 1u : 0u) << "data packet " << i;
    }
    EXPECT_EQ(LastRequestCode(), devsim::cmd::CreateNvFileStoreFile);
    EXPECT_FALSE(emulator.file(kUploadName).has_value());
}

TEST_F(CopyBound, ASlowButProgressingDeviceGetsTheWholeFile) {
    // 4000 bytes, 40 packets. After each packet it takes, the device first
    // asks for packet 0 again and only then for the next one: 78 data
    // packets, well inside the limit of 3 x 40 + 16.
    const std::string data(4000, 'q');
    const std::filesystem::path path = local.Path() / "big.dat";
    std::ofstream(path, std::ios::binary) << data;
    AddFault("CREATE_NV_FILE_DATA_PACKET" + EverySecond(2, 200) + "=packet:0");

    ASSERT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), TRELM_OK);

    EXPECT_EQ(CreatePacketNumbers().size(), 78u);
    const std::optional<devsim::NvFile> stored = emulator.file("big.dat");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(std::string(stored->data.begin(), stored->data.end()), data);
}

TEST_F(CopyBound, ACancelInTheLastPassStillWins) {
    // The progress callback is asked after the pass that hit the limit, and
    // its cancel takes the place of the failure, as after any failed pass.
    AddFault("CREATE_NV_FILE_DATA_PACKET@2-=repeat");
    static int calls = 0;
    calls = 0;
    const auto cancelAtTheEnd = [](int32_t, int32_t, float) -> int32_t {
        // 1 call before the data phase, then one per data packet: the 11th
        // call follows the tenth packet, the one that ends the copy.
        return ++calls == 11 ? 0 : 1;
    };
    EXPECT_EQ(TRELM_CopyFileToDeviceWithProgress(UploadPath().c_str(), 0, cancelAtTheEnd),
              TRELM_ERROR_FILE_TRANSFER_CANCELLED);
    EXPECT_EQ(calls, 11);
    EXPECT_EQ(CreatePacketNumbers().size(), 10u);
}

} // namespace
