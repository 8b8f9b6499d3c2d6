// Which device a COM port number names.
#include "PortMap.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "trelm.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <unistd.h>

using trelm::DevicePathForPort;
using trelm::test::ScopedEnv;
using trelm::test::TempDir;

namespace {

struct TableCase {
    const char* label;
    unsigned port;
    const char* path;
};

// Test names and failure messages show the row label.
void PrintTo(const TableCase& row, std::ostream* os) {
    *os << row.label;
}

class SerialPortMapTable : public testing::TestWithParam<TableCase> {};

TEST_P(SerialPortMapTable, FixedTableNamesTheDevice) {
    const ScopedEnv noPortDir("TRELM_PORTS", std::nullopt);
    EXPECT_EQ(DevicePathForPort(GetParam().port), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialPortMapTable,
    testing::Values(TableCase{"Zero", 0, ""}, TableCase{"Com1", 1, "/dev/ttyS0"},
                    TableCase{"Com32", 32, "/dev/ttyS31"}, TableCase{"Com33", 33, "/dev/ttyUSB0"},
                    TableCase{"Com64", 64, "/dev/ttyUSB31"}, TableCase{"Com65", 65, "/dev/ttyACM0"},
                    TableCase{"Com96", 96, "/dev/ttyACM31"}, TableCase{"Com97", 97, ""},
                    TableCase{"Com255", 255, ""}, TableCase{"Com256", 256, ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SerialPortMap, FixedTableUnderAnotherRoot) {
    EXPECT_EQ(trelm::FixedTablePath(34, "/tmp/fakedev"), "/tmp/fakedev/ttyUSB1");
    EXPECT_EQ(trelm::FixedTablePath(97, "/tmp/fakedev"), "");
}

TEST(SerialPortMap, PortDirectoryIsTheWholeMap) {
    TempDir dir;
    dir.WriteFile("com5");
    dir.WriteFile("com40");
    const ScopedEnv portDir("TRELM_PORTS", dir.Path().string());

    EXPECT_EQ(trelm::PortMapDirectory(), dir.Path().string());
    EXPECT_EQ(DevicePathForPort(5), (dir.Path() / "com5").string());
    EXPECT_EQ(DevicePathForPort(40), (dir.Path() / "com40").string());
    EXPECT_EQ(DevicePathForPort(1), ""); // no entry: the fixed table does not apply
    EXPECT_EQ(DevicePathForPort(0), "");
}

TEST(SerialPortMap, EmptyVariableCountsAsUnset) {
    const ScopedEnv portDir("TRELM_PORTS", "");
    EXPECT_EQ(trelm::ChoosePortMap().kind, trelm::PortMapChoice::Kind::FixedTable);
    EXPECT_EQ(DevicePathForPort(1), "/dev/ttyS0");
}

// A set variable that cannot serve as the map never falls back to the fixed
// table (that would reach the machine's real serial ports), and the
// diagnostic output names the reason.
struct UnusableCase {
    const char* label;
    const char* entry; // made inside a temporary folder
    const char* reason;
};

void PrintTo(const UnusableCase& row, std::ostream* os) {
    *os << row.label;
}

class SerialPortMapUnusable : public testing::TestWithParam<UnusableCase> {
protected:
    // The value of TRELM_PORTS for this row.
    std::string Value() {
        const std::string name = GetParam().entry;
        if (name == "file") {
            return dir.WriteFile("file").string();
        }
        if (name == "locked") {
            const auto locked = dir.MakeDir("locked");
            std::filesystem::permissions(locked, std::filesystem::perms::none);
            return locked.string();
        }
        return (dir.Path() / name).string();
    }

    void TearDown() override {
        // Let the temporary folder remove what the row locked.
        if (std::filesystem::exists(dir.Path() / "locked")) {
            std::filesystem::permissions(dir.Path() / "locked", std::filesystem::perms::owner_all);
        }
    }

    TempDir dir;
};

TEST_P(SerialPortMapUnusable, NamesNoDeviceAndSaysWhy) {
    const std::string value = Value();
    if (std::string(GetParam().entry) == "locked" && ::geteuid() == 0) {
        // Permission bits do not stop the superuser; the folder is readable.
        GTEST_SKIP() << "running as root";
    }
    const ScopedEnv portDir("TRELM_PORTS", value);
    const ScopedEnv debug("TRELM_DEBUG", "1");

    testing::internal::CaptureStderr();
    const trelm::PortMapChoice choice = trelm::ChoosePortMap();
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(choice.kind, trelm::PortMapChoice::Kind::Unusable);
    EXPECT_NE(diagnostics.find("'" + value + "'"), std::string::npos) << diagnostics;
    EXPECT_NE(diagnostics.find(GetParam().reason), std::string::npos) << diagnostics;

    testing::internal::CaptureStderr();
    EXPECT_EQ(trelm::PortMapDirectory(), "");
    for (unsigned port : {1u, 33u, 65u}) {
        EXPECT_EQ(DevicePathForPort(port), "") << "COM" << port;
    }
    // Through the C API: neither a numbered port nor the search opens anything.
    EXPECT_EQ(TRELM_Init(1, ""), TRELM_ERROR_COMPORT_NOT_OPENED);
    EXPECT_EQ(TRELM_Init(0, ""), TRELM_ERROR_COMPORT_NOT_OPENED);
    uint32_t port = 99;
    char settings[64] = {};
    uint32_t length = sizeof settings;
    EXPECT_EQ(TRELM_GetComPortSettings(&port, settings, &length), TRELM_ERROR_COMPORT_NOT_OPENED);
    testing::internal::GetCapturedStderr();
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialPortMapUnusable,
    testing::Values(UnusableCase{"File", "file", "is not a folder"},
                    UnusableCase{"MissingPath", "gone", "No such file or directory"},
                    UnusableCase{"UnreadableFolder", "locked", "cannot be read"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
