// get never writes outside the folder it was asked to write into and never
// replaces a local file unless told to.
#include "CliEmulatorTest.h"

using CliGetSafetyTest = CliEmulatorTest;

namespace {

struct NameCase {
    const char* label;
    const char* deviceName;
};

std::ostream& operator<<(std::ostream& out, const NameCase& c) {
    return out << c.label;
}

} // namespace

class CliUnsafeNameTable : public CliEmulatorTest,
                           public ::testing::WithParamInterface<NameCase> {};

TEST_P(CliUnsafeNameTable, IsRefusedWithoutTouchingTheDevice) {
    const std::filesystem::path inner = work.Path() / "inner";
    std::filesystem::create_directory(inner);
    cli::test::CliRunner runner;
    Prepare(runner);
    runner.SetWorkingDirectory(inner.string());

    const auto result = runner.Run({"get", GetParam().deviceName});
    EXPECT_EQ(result.exitStatus, 3) << result.err;
    EXPECT_NE(result.err.find("not a plain device file name"), std::string::npos) << result.err;
    EXPECT_TRUE(device.requestCounts().empty()) << "no request may reach the device";
    EXPECT_TRUE(std::filesystem::is_empty(inner));
    EXPECT_EQ(WorkEntries(), (std::vector<std::string>{"inner"}));
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliUnsafeNameTable,
    ::testing::Values(NameCase{"ParentPath", "../x"}, NameCase{"SubPath", "sub/x"},
                      NameCase{"AbsolutePath", "/tmp/x"}, NameCase{"Backslash", "..\\x"},
                      NameCase{"Dot", "."}, NameCase{"DotDot", ".."}, NameCase{"Empty", ""}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST_F(CliGetSafetyTest, ExistingLocalFileIsKeptWithoutForce) {
    PutDeviceFile("keep.txt", "from the device");
    const auto local = WriteLocal("keep.txt", "local work");

    const auto refused = Run({"get", "keep.txt"});
    EXPECT_EQ(refused.exitStatus, 3);
    EXPECT_NE(refused.err.find("exists (use --force"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(local), "local work");
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile), 0u);

    const auto forced = Run({"get", "--force", "keep.txt"});
    EXPECT_EQ(forced.exitStatus, 0) << forced.err;
    EXPECT_EQ(ReadFile(local), "from the device");
    EXPECT_EQ(WorkEntries(), (std::vector<std::string>{"keep.txt"})) << "nothing staged is left";
}

TEST_F(CliGetSafetyTest, OtherFilesGoOnAfterARefusal) {
    PutDeviceFile("keep.txt", "device keep");
    PutDeviceFile("new.txt", "device new");
    WriteLocal("keep.txt", "local keep");

    const auto result = Run({"get", "keep.txt", "new.txt"});
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(ReadFile(work.Path() / "keep.txt"), "local keep");
    EXPECT_EQ(ReadFile(work.Path() / "new.txt"), "device new");
}

TEST_F(CliGetSafetyTest, FailedCopyLeavesNoFile) {
    PutDeviceFile("data.bin", Pattern(450, 4));
    std::string error;
    ASSERT_TRUE(device.addFault("READ_NV_FILE_DATA_PACKET@3=nak", &error)) << error;

    const auto result = Run({"get", "data.bin"});
    EXPECT_EQ(result.exitStatus, 19) << result.err;
    EXPECT_TRUE(WorkEntries().empty());
}
