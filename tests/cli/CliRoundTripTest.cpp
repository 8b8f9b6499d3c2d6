// put, ls, df, get and rm against the emulated device, with files that come
// back byte for byte.
#include "CliEmulatorTest.h"

using CliRoundTripTest = CliEmulatorTest;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(CliRoundTripTest, PutListGetDeleteKeepsEveryByte) {
    const std::string alpha = Pattern(250, 1);
    const std::string beta = Pattern(4321, 2);
    WriteLocal("alpha.bin", alpha);
    WriteLocal("beta.txt", beta);
    WriteLocal("empty.dat", "");

    const auto put = Run({"put", "alpha.bin", "beta.txt", "empty.dat"});
    ASSERT_EQ(put.exitStatus, 0) << put.err;
    EXPECT_EQ(DeviceContent("alpha.bin"), alpha);
    EXPECT_EQ(DeviceContent("beta.txt"), beta);
    ASSERT_TRUE(device.file("empty.dat").has_value());
    EXPECT_TRUE(device.file("empty.dat")->data.empty());

    const auto ls = Run({"ls"});
    ASSERT_EQ(ls.exitStatus, 0) << ls.err;
    EXPECT_EQ(ls.OutLines(), (std::vector<std::string>{"alpha.bin", "beta.txt", "empty.dat"}));

    const auto longList = Run({"--port", Port(), "ls", "-l"});
    ASSERT_EQ(longList.exitStatus, 0) << longList.err;
    const auto rows = longList.OutLines();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].starts_with("--    250  ")) << rows[0];
    EXPECT_TRUE(rows[0].ends_with("  alpha.bin")) << rows[0];
    EXPECT_TRUE(rows[1].starts_with("--   4321  ")) << rows[1];

    const auto df = Run({"df"});
    ASSERT_EQ(df.exitStatus, 0) << df.err;
    EXPECT_TRUE(Contains(df.out, "Space in use:         4571 bytes")) << df.out;

    std::filesystem::create_directory(work.Path() / "back");
    const auto get = Run({"get", "alpha.bin", "beta.txt", "empty.dat", "back"});
    ASSERT_EQ(get.exitStatus, 0) << get.err;
    EXPECT_EQ(ReadFile(work.Path() / "back" / "alpha.bin"), alpha);
    EXPECT_EQ(ReadFile(work.Path() / "back" / "beta.txt"), beta);
    EXPECT_TRUE(std::filesystem::exists(work.Path() / "back" / "empty.dat"));
    EXPECT_EQ(std::filesystem::file_size(work.Path() / "back" / "empty.dat"), 0u);

    // One file under a name of its own.
    const auto renamed = Run({"get", "beta.txt", "./copy-of-beta"});
    ASSERT_EQ(renamed.exitStatus, 0) << renamed.err;
    EXPECT_EQ(ReadFile(work.Path() / "copy-of-beta"), beta);

    const auto rm = Run({"rm", "alpha.bin", "empty.dat"});
    ASSERT_EQ(rm.exitStatus, 0) << rm.err;
    EXPECT_FALSE(device.file("alpha.bin").has_value());
    EXPECT_EQ(Run({"ls"}).OutLines(), (std::vector<std::string>{"beta.txt"}));
}

TEST_F(CliRoundTripTest, AttributesHideAndProtectFiles) {
    WriteLocal("secret.cfg", "key=1\n");
    const auto put = Run({"put", "--attr", "rh", "secret.cfg"});
    ASSERT_EQ(put.exitStatus, 0) << put.err;
    ASSERT_TRUE(device.file("secret.cfg").has_value());
    EXPECT_EQ(device.file("secret.cfg")->attributes,
              devsim::NvFile::ReadOnly | devsim::NvFile::Hidden);

    EXPECT_TRUE(Run({"ls"}).OutLines().empty());
    const auto all = Run({"ls", "-al"});
    ASSERT_EQ(all.OutLines().size(), 1u);
    EXPECT_TRUE(all.OutLines()[0].starts_with("rh      6  ")) << all.out;

    EXPECT_EQ(Run({"exists", "secret.cfg"}).out, "no\n");
    EXPECT_EQ(Run({"exists", "-a", "secret.cfg"}).out, "yes\n");

    // Write-protected: a plain delete is refused by the device, --force removes it.
    const auto refused = Run({"rm", "secret.cfg"});
    EXPECT_EQ(refused.exitStatus, 9);
    EXPECT_TRUE(Contains(refused.err, "TRELM_DEVICE_ERROR_FILE_WRITE_PROTECTED")) << refused.err;
    EXPECT_TRUE(device.file("secret.cfg").has_value());
    const auto forced = Run({"rm", "--force", "secret.cfg"});
    EXPECT_EQ(forced.exitStatus, 0) << forced.err;
    EXPECT_FALSE(device.file("secret.cfg").has_value());
}

TEST_F(CliRoundTripTest, InfoNamesThePortTheSearchFound) {
    const auto info = Run({"info"});
    ASSERT_EQ(info.exitStatus, 0) << info.err;
    EXPECT_TRUE(Contains(info.out, "Port:          COM4 (")) << info.out;
    EXPECT_TRUE(Contains(info.out, "Line settings: baud=9600 parity=N data=8 stop=1")) << info.out;
    EXPECT_TRUE(Contains(info.out, "Device info:   2, 1")) << info.out;
}
