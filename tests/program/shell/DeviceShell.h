// The fixture of the main-window tests that involve a device: a start-up
// folder (ShellFolder) whose settings name COM 7, and the device emulator
// served on a real pseudo-terminal that a TRELM_PORTS folder offers as COM 7.
#pragma once

#include "RecordingPrompter.h"
#include "ShellFolder.h"
#include "TestMainWindow.h"

#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

class FileList;

class DeviceShell : public ::testing::Test {
protected:
    static constexpr unsigned kCom = 7;

    void SetUp() override;
    void TearDown() override;

    // A device file of `size` bytes, created 7 March 2024, 09:05:03.
    static devsim::NvFile File(const char* name, std::size_t size, std::uint16_t attributes = 0);
    void Put(const devsim::NvFile& file);
    // Offers the device as COM 7 (done by SetUp unless `linkDevice` is false).
    void LinkDevice();
    // A local file of `size` bytes in the local folder.
    void PutLocal(const char* name, qint64 size);

    // A new main window, started; the fixture owns it.
    TestMainWindow& StartWindow();

    // The texts of one column of a list, row by row.
    static std::vector<std::string> Column(const FileList& list, int column);
    bool ButtonEnabled(const char* name) const;
    // The command codes of the request frames the device received, in order.
    std::vector<std::uint16_t> Commands() const;
    // The commands the device received between the first create and the
    // first store of a file, by their names (empty when either is missing).
    std::set<std::string> CommandsBetweenCreateAndStore() const;

    bool linkDevice = true;
    ShellFolder folder;
    QTemporaryDir ports;
    devsim::Device device;
    devsim::PtyServer server{device};
    RecordingPrompter prompter;
    std::unique_ptr<TestMainWindow> window;
};
