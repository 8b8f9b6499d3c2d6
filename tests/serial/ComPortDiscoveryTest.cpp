// Which COM ports discovery offers, from a port directory or from fake
// /dev and sysfs trees.
#include "ComPortDiscovery.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

using trelm::ComPortDiscovery;
using trelm::test::ScopedEnv;
using trelm::test::TempDir;

namespace {

std::vector<unsigned> Drain(ComPortDiscovery& discovery) {
    std::vector<unsigned> numbers;
    while (const auto number = discovery.Next()) {
        numbers.push_back(*number);
    }
    return numbers;
}

TEST(SerialDiscovery, PortDirectoryEntriesComeInAscendingOrder) {
    TempDir dir;
    for (const char* name : {"com1", "com10", "com2"}) {
        dir.WriteFile(name);
    }
    std::filesystem::create_symlink("/dev/null", dir.Path() / "com7");
    // None of these names a COM port number.
    for (const char* name : {"com0", "com256", "comX", "com01", "COM3", "com", "notes"}) {
        dir.WriteFile(name);
    }
    const ScopedEnv portDir("TRELM_PORTS", dir.Path().string());

    // The sysfs root is irrelevant here: the directory is the whole map.
    ComPortDiscovery discovery("/nonexistent-sysfs", "/nonexistent-dev");
    EXPECT_EQ(Drain(discovery), (std::vector<unsigned>{1, 2, 7, 10}));
    EXPECT_FALSE(discovery.Next().has_value());
}

TEST(SerialDiscovery, ConsumerCanStopEarly) {
    TempDir dir;
    for (const char* name : {"com4", "com3", "com9"}) {
        dir.WriteFile(name);
    }
    const ScopedEnv portDir("TRELM_PORTS", dir.Path().string());
    ComPortDiscovery discovery;
    EXPECT_EQ(discovery.Next(), std::optional<uint8_t>(3));
    EXPECT_EQ(discovery.Next(), std::optional<uint8_t>(4));
}

TEST(SerialDiscovery, EmptyPortDirectoryYieldsNothing) {
    TempDir dir;
    const ScopedEnv portDir("TRELM_PORTS", dir.Path().string());
    ComPortDiscovery discovery;
    EXPECT_FALSE(discovery.Next().has_value());
}

// Fake trees: only nodes that exist and have hardware behind them pass.
class SerialDiscoveryFixedTable : public testing::Test {
protected:
    void SetUp() override {
        // ttyS0: a legacy port without a UART (type 0).
        Node("ttyS0");
        Sysfs("ttyS0", true, "0\n");
        // ttyS1: a real UART (type 4, 16550A).
        Node("ttyS1");
        Sysfs("ttyS1", true, "4\n");
        // ttyS2: hardware in sysfs, but no device node.
        Sysfs("ttyS2", true, "4\n");
        // ttyS3: node and type, but no device link.
        Node("ttyS3");
        Sysfs("ttyS3", false, "4\n");
        // ttyUSB0: a USB adapter with its device link.
        Node("ttyUSB0");
        Sysfs("ttyUSB0", true, nullptr);
        // ttyUSB1: node only.
        Node("ttyUSB1");
        // ttyACM2: a modem-class device.
        Node("ttyACM2");
        Sysfs("ttyACM2", true, nullptr);
        // Outside the table: never offered.
        Node("ttyAMA0");
        Sysfs("ttyAMA0", true, nullptr);
    }

    void Node(const std::string& name) { devTree.WriteFile(name); }

    void Sysfs(const std::string& name, bool withDevice, const char* type) {
        const std::filesystem::path dir = sysTree.MakeDir("class/tty/" + name);
        if (withDevice) {
            // The kernel makes "device" a link into the device hierarchy.
            const auto target = sysTree.MakeDir("devices/" + name);
            std::filesystem::create_directory_symlink(target, dir / "device");
        }
        if (type != nullptr) {
            sysTree.WriteFile("class/tty/" + name + "/type", type);
        }
    }

    TempDir devTree;
    TempDir sysTree;
};

TEST_F(SerialDiscoveryFixedTable, YieldsOnlyPortsWithHardware) {
    const ScopedEnv noPortDir("TRELM_PORTS", std::nullopt);
    ComPortDiscovery discovery(sysTree.Path().string(), devTree.Path().string());
    // ttyS1 = COM2, ttyUSB0 = COM33, ttyACM2 = COM67.
    EXPECT_EQ(Drain(discovery), (std::vector<unsigned>{2, 33, 67}));
}

TEST_F(SerialDiscoveryFixedTable, UnreadableTypeCountsAsNoHardware) {
    std::filesystem::remove(sysTree.Path() / "class/tty/ttyS1/type");
    const ScopedEnv noPortDir("TRELM_PORTS", std::nullopt);
    ComPortDiscovery discovery(sysTree.Path().string(), devTree.Path().string());
    EXPECT_EQ(Drain(discovery), (std::vector<unsigned>{33, 67}));
}

// A TRELM_PORTS value that is no usable folder offers nothing, not even the
// hardware ports of the fixed table.
TEST_F(SerialDiscoveryFixedTable, UnusablePortVariableYieldsNothing) {
    const auto file = devTree.WriteFile("not-a-folder");
    for (const std::string& value : {file.string(), (devTree.Path() / "gone").string()}) {
        SCOPED_TRACE("TRELM_PORTS='" + value + "'");
        const ScopedEnv portDir("TRELM_PORTS", value);
        ComPortDiscovery discovery(sysTree.Path().string(), devTree.Path().string());
        EXPECT_EQ(Drain(discovery), std::vector<unsigned>{});
    }
}

TEST_F(SerialDiscoveryFixedTable, EmptyPortVariableUsesTheFixedTable) {
    const ScopedEnv portDir("TRELM_PORTS", "");
    ComPortDiscovery discovery(sysTree.Path().string(), devTree.Path().string());
    EXPECT_EQ(Drain(discovery), (std::vector<unsigned>{2, 33, 67}));
}

} // namespace
