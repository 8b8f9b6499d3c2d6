// Fixture for the fault tests: the device emulator serves a real
// pseudo-terminal offered as COM 7 through a temporary TRELM_PORTS folder,
// the library holds a session on it, and a temporary folder holds the local
// files. The device starts with five files; the local folder with a file to
// copy to the device and an earlier copy of a device file.
#pragma once

#include "ScopedEnv.h"
#include "TempDir.h"
#include "trelm.h"

#include "devsim/CommandTable.h"
#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class FaultFixture : public ::testing::Test {
protected:
    static constexpr unsigned kComPort = 7;
    // A device file of three packets and its content.
    static constexpr const char* kDeviceFile = "notes.txt";
    // The local file copied to the device (250 bytes: three packets).
    static constexpr const char* kUploadName = "upload.txt";
    // The local destination of a copy from the device.
    static constexpr const char* kCopyName = "copy.txt";
    // What the destination holds before a copy that is to replace it.
    static constexpr const char* kOldCopy =
        "an earlier copy, to be replaced only by a whole new one";

    void SetUp() override;
    void TearDown() override;

    // Starts (again) serving the device and opens a new library session.
    void Connect();
    // Stops serving; the session's port stays as it is.
    void Disconnect();
    void AddFault(const std::string& rule);
    // Waits until the emulator has sent nothing for a while (answers that
    // a fault delayed or slowed down are out).
    void WaitForQuietLine();

    static std::string DeviceData();
    static std::string UploadData();
    std::filesystem::path UploadPath() const { return local.Path() / kUploadName; }
    std::filesystem::path CopyPath() const { return local.Path() / kCopyName; }
    // Every name in the local folder, sorted.
    std::vector<std::string> LocalNames() const;
    // Content and modification time of a local file.
    struct FileState {
        bool exists = false;
        std::string content;
        int64_t modifiedNs = 0;
        bool operator==(const FileState&) const = default;
    };
    static FileState StateOf(const std::filesystem::path& path);

    // Data packets of copies to the device, by packet number, in order.
    std::vector<unsigned> CreatePacketNumbers() const;

    trelm::test::TempDir ports;
    trelm::test::TempDir local;
    trelm::test::ScopedEnv portMap{"TRELM_PORTS", ports.Path().string()};
    devsim::Device emulator;
    devsim::PtyServer server{emulator};
    // Exchanges the server has answered (or dropped, or hung up on).
    std::atomic<uint64_t> answered{0};
};
