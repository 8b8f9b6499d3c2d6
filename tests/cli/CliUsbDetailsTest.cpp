// What sysfs tells about USB serial adapters, read from a made-up sysfs and
// /dev tree, and --port given as a device path, end to end.
#include "CliFleetTest.h"

#include "UsbDetails.h"

namespace {

class UsbDetailsTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddAdapter("1-1", "ttyUSB0", "A50285BI", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        AddAdapter("1-2", "ttyUSB1", "B7", "");
        // A legacy serial port: hardware, but no USB device above it.
        Make(root.Path() / "sys/devices/platform/serial8250/tty/ttyS0");
        std::filesystem::create_directories(root.Path() / "sys/class/tty/ttyS0");
        std::filesystem::create_directory_symlink("../../../devices/platform/serial8250",
                                                  root.Path() / "sys/class/tty/ttyS0/device");
        Write(root.Path() / "dev/ttyS0", "");
    }

    void AddAdapter(const std::string& usbPort, const std::string& tty, const std::string& serial,
                    const std::string& byId) {
        const auto device = root.Path() / "sys/devices/pci0000:00/usb1" / usbPort;
        Write(device / "idVendor", "0403\n");
        Write(device / "idProduct", "6001\n");
        Write(device / "manufacturer", "FTDI\n");
        Write(device / "product", "FT232R USB UART\n");
        Write(device / "serial", serial + "\n");
        Make(device / (usbPort + ":1.0") / tty);
        std::filesystem::create_directories(root.Path() / "sys/class/tty" / tty);
        std::filesystem::create_directory_symlink("../../../devices/pci0000:00/usb1/" + usbPort +
                                                      "/" + usbPort + ":1.0",
                                                  root.Path() / "sys/class/tty" / tty / "device");
        Write(root.Path() / "dev" / tty, "");
        if (!byId.empty()) {
            std::filesystem::create_directories(root.Path() / "dev/serial/by-id");
            std::filesystem::create_symlink("../../" + tty,
                                            root.Path() / "dev/serial/by-id" / byId);
        }
    }

    static void Make(const std::filesystem::path& dir) { std::filesystem::create_directories(dir); }
    static void Write(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    trelmctl::UsbDetails Details() const {
        return trelmctl::UsbDetails((root.Path() / "sys").string(), (root.Path() / "dev").string());
    }

    trelm::test::TempDir root;
};

TEST_F(UsbDetailsTest, ReadsTheAdapterAboveTheTty) {
    const auto details = Details().Of("ttyUSB0");
    ASSERT_TRUE(details.has_value());
    EXPECT_EQ(details->vendorId, "0403");
    EXPECT_EQ(details->productId, "6001");
    EXPECT_EQ(details->manufacturer, "FTDI");
    EXPECT_EQ(details->product, "FT232R USB UART");
    EXPECT_EQ(details->serial, "A50285BI");
    EXPECT_EQ(
        details->byId,
        (root.Path() / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string());
    EXPECT_EQ(Details().Of("ttyUSB1")->byId, "") << "no by-id link";
    EXPECT_FALSE(Details().Of("ttyS0").has_value()) << "not a USB device";
    EXPECT_FALSE(Details().Of("ttyUSB7").has_value()) << "no such tty";
}

TEST_F(UsbDetailsTest, FindsTheNodeOfASerialNumber) {
    EXPECT_EQ(Details().NodesWithSerial("A50285BI"),
              (std::vector<std::string>{(root.Path() / "dev/ttyUSB0").string()}));
    EXPECT_TRUE(Details().NodesWithSerial("A5028").empty()) << "whole serial numbers only";
    EXPECT_TRUE(Details().NodesWithSerial("").empty());
    AddAdapter("1-3", "ttyUSB2", "B7", "");
    EXPECT_EQ(Details().NodesWithSerial("B7").size(), 2u) << "an ambiguity is reported";
}

} // namespace

using CliPortPathTest = CliFleetTest;

TEST_F(CliPortPathTest, ADevicePathInThePortMapKeepsItsNumber) {
    PutOn(5, "five.txt", "5");
    const auto result = Run({"--json", "--port", extra.at(5)->server.slavePath(), "info"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const auto infos = OfType(JsonLines(result), "info");
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].value("port").toInt(), 5);

    const auto list = Run({"--port", extra.at(6)->server.slavePath() + ",5", "ls"});
    EXPECT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_NE(list.out.find("COM5: five.txt"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("ls: 2 devices, 2 succeeded"), std::string::npos) << list.out;
}

TEST_F(CliPortPathTest, ADevicePathOutsideThePortMapGetsAPrivateOne) {
    PutDeviceFile("four.txt", "4");
    trelm::test::TempDir scratch;
    for (const bool many : {false, true}) {
        cli::test::CliRunner runner;
        Prepare(runner);
        runner.SetEnv("TRELM_PORTS", std::nullopt); // the fixed table knows no pty
        runner.SetEnv("TMPDIR", scratch.Path().string());
        std::string ports = server.slavePath();
        if (many) {
            ports += "," + extra.at(5)->server.slavePath();
        }
        const auto result = runner.Run({"--port", ports, "ls"});
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_NE(result.out.find("four.txt"), std::string::npos) << result.out;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.Path())) << "the private map is removed";
    }
}
