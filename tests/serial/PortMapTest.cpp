// Which device a COM port number names.
#include "PortMap.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

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

TEST(SerialPortMap, VariableThatNamesNoDirectoryLeavesTheFixedTable) {
    TempDir dir;
    const auto file = dir.WriteFile("not-a-dir");
    for (const std::string& value :
         {std::string(), file.string(), (dir.Path() / "gone").string()}) {
        SCOPED_TRACE("TRELM_PORTS='" + value + "'");
        const ScopedEnv portDir("TRELM_PORTS", value);
        EXPECT_EQ(trelm::PortMapDirectory(), "");
        EXPECT_EQ(DevicePathForPort(1), "/dev/ttyS0");
    }
}

} // namespace
