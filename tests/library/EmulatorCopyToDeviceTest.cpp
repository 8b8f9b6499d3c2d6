// Copy to the device end to end: the emulator on a pseudo-terminal takes
// the file packet by packet in the order it asks for them.
#include "EmulatorLibraryTest.h"
#include "ProgressLog.h"

#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('0' + (i * 3) % 10);
    }
    return text;
}

class LibraryEmulatorCopyToDevice : public EmulatorLibraryTest {
protected:
    std::string LocalFile(const std::string& name, std::size_t size) {
        return local.WriteFile(name, Pattern(size)).string();
    }

    // Data byte counts of the data packets the emulator received, with their numbers.
    std::vector<std::pair<unsigned, unsigned>> DataPackets() const {
        std::vector<std::pair<unsigned, unsigned>> packets;
        for (const auto& payload : RequestPayloads(devsim::cmd::CreateNvFileDataPacket)) {
            packets.emplace_back(payload.at(0) | (payload.at(1) << 8), payload.at(2));
        }
        return packets;
    }

    std::string DeviceContent(const std::string& name) const {
        const std::optional<devsim::NvFile> file = emulator.file(name);
        return file ? std::string(file->data.begin(), file->data.end()) : std::string("<none>");
    }
};

TEST_F(LibraryEmulatorCopyToDevice, TwoHundredFiftyBytesInThreePackets) {
    const std::string path = LocalFile("Notes.TXT", 250);
    ProgressLog::Reset();
    ASSERT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record), TRELM_OK);

    const std::vector<ProgressLog::Call>& calls = ProgressLog::Calls();
    ASSERT_EQ(calls.size(), 4u);
    const ProgressLog::Call expected[] = {
        {3, 0, 0.0f}, {3, 1, 1.0f / 3}, {3, 2, 2.0f / 3}, {3, 3, 100.0f}};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].total, expected[i].total);
        EXPECT_EQ(calls[i].current, expected[i].current);
        EXPECT_FLOAT_EQ(calls[i].fraction, expected[i].fraction);
    }
    EXPECT_EQ(DataPackets(),
              (std::vector<std::pair<unsigned, unsigned>>{{0, 100}, {1, 100}, {2, 50}}));
    EXPECT_EQ(DeviceContent("notes.txt"), Pattern(250));
    EXPECT_EQ(RequestCodes().back(), devsim::cmd::CreateNvFileStoreFile);
}

TEST_F(LibraryEmulatorCopyToDevice, SizeAndNameRules) {
    struct Row {
        const char* name;
        std::size_t size;
        TRELM_Result result;
        std::size_t requests; // create, data packets, store
    };
    const Row rows[] = {
        {"largest.bin", 65535, TRELM_OK, 1 + 656 + 1},
        {"toolarge.bin", 65536, TRELM_ERROR_PC_FILESIZE_INVALID, 0},
        {"readme.text", 10, TRELM_ERROR_PC_FILENAME_INVALID, 0},
        {"abcdefghi.txt", 10, TRELM_ERROR_PC_FILENAME_INVALID, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        emulator.resetCounters();
        const std::string path = LocalFile(row.name, row.size);
        EXPECT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), row.result);
        EXPECT_EQ(emulator.requestLog().size(), row.requests);
    }
    EXPECT_EQ(DeviceContent("largest.bin"), Pattern(65535));
}

TEST_F(LibraryEmulatorCopyToDevice, ThreePartNameIsLeftToTheDevice) {
    // The library sends a.b.c (base "a", extension "b.c"); this device's own
    // name rule refuses it with its status byte.
    const std::string path = LocalFile("a.b.c", 10);
    EXPECT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), TRELM_ERROR_DEVICE_ERROR);
    EXPECT_EQ(ExtendedError(), std::make_pair(12u, 0u));
    const auto creates = RequestPayloads(devsim::cmd::CreateNvFile);
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(std::string(creates[0].begin() + 14, creates[0].end()), "a.b.c");
}

TEST_F(LibraryEmulatorCopyToDevice, CancelAtTheSecondCallStillStores) {
    const std::string path = LocalFile("cancel.txt", 250);
    ProgressLog::Reset(2);
    EXPECT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record),
              TRELM_ERROR_FILE_TRANSFER_CANCELLED);
    EXPECT_EQ(RequestCodes(),
              (std::vector<uint16_t>{devsim::cmd::CreateNvFile, devsim::cmd::CreateNvFileDataPacket,
                                     devsim::cmd::CreateNvFileStoreFile}));
    // The device dropped the incomplete file when told to store it.
    EXPECT_FALSE(emulator.file("cancel.txt").has_value());
    EXPECT_EQ(emulator.openFiles(), 0u);
}

TEST_F(LibraryEmulatorCopyToDevice, RepeatedPacketRequestIsAnswered) {
    // The emulator does not take the second data packet and asks for it again.
    AddFault("CREATE_NV_FILE_DATA_PACKET@2=repeat");
    const std::string path = LocalFile("again.txt", 250);
    ASSERT_EQ(TRELM_CopyFileToDevice(path.c_str(), 0), TRELM_OK);
    EXPECT_EQ(DataPackets(),
              (std::vector<std::pair<unsigned, unsigned>>{{0, 100}, {1, 100}, {1, 100}, {2, 50}}));
    EXPECT_EQ(DeviceContent("again.txt"), Pattern(250));
}

TEST_F(LibraryEmulatorCopyToDevice, EmptyFileIsStored) {
    const std::string path = LocalFile("empty.txt", 0);
    ProgressLog::Reset();
    ASSERT_EQ(TRELM_CopyFileToDeviceWithProgress(path.c_str(), 0, ProgressLog::Record), TRELM_OK);
    ASSERT_EQ(ProgressLog::Calls().size(), 2u);
    EXPECT_EQ(ProgressLog::Calls()[0].fraction, 0.0f);
    EXPECT_EQ(ProgressLog::Calls()[1].fraction, 100.0f);
    EXPECT_EQ(DataPackets(), (std::vector<std::pair<unsigned, unsigned>>{{0, 0}}));
    EXPECT_EQ(DeviceContent("empty.txt"), "");
}

} // namespace
