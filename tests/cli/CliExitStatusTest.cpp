// The exit status: 0, the library's result code of the first failure, or 64
// for a bad command line.
#include "CliEmulatorTest.h"

#include "PtyPair.h"

using CliExitStatusTest = CliEmulatorTest;

namespace {

struct ExitCase {
    const char* name;
    std::vector<std::string> args;
    const char* fault; // a fault rule for the device, or nullptr
    int exitStatus;
    const char* errText; // part of the message on standard error
};

std::ostream& operator<<(std::ostream& out, const ExitCase& c) {
    return out << c.name;
}

} // namespace

class CliExitStatusTable : public CliEmulatorTest,
                           public ::testing::WithParamInterface<ExitCase> {};

TEST_P(CliExitStatusTable, ExitsWithTheFirstFailure) {
    const ExitCase& c = GetParam();
    PutDeviceFile("there.txt", "present");
    if (c.fault != nullptr) {
        std::string error;
        ASSERT_TRUE(device.addFault(c.fault, &error)) << error;
    }
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
        if (arg == "PORT") {
            arg = Port();
        }
    }
    const auto result = Run(args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << result.err;
    EXPECT_NE(result.err.find(c.errText), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliExitStatusTable,
    ::testing::Values(
        ExitCase{"Success", {"get", "there.txt", "./copy.txt"}, nullptr, 0, ""},
        ExitCase{"MissingDeviceFile",
                 {"get", "nothere.txt"},
                 nullptr,
                 9,
                 "TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME"},
        ExitCase{"FirstFailureWins",
                 {"rm", "nothere.txt", "there.txt", "gone.txt"},
                 nullptr,
                 9,
                 "rm nothere.txt"},
        // Every request after the wake-up is refused with NAK.
        ExitCase{"RefusedDevice",
                 {"--port", "PORT", "ls"},
                 "*@2-=nak",
                 19,
                 "TRELM_ERROR_DEVICE_UNKNOWN_CMD"},
        ExitCase{
            "RefusedEverything", {"--port", "PORT", "df"}, "*=nak", 6, "no device answers on COM4"},
        ExitCase{"BadLineSettings",
                 {"--port", "PORT", "--mode", "baud=banana", "ls"},
                 nullptr,
                 5,
                 "the line settings \"baud=banana\" are probably not accepted"},
        ExitCase{"UnknownCommand", {"frobnicate"}, nullptr, 64, "unknown command"},
        ExitCase{"PortOutOfRange", {"--port", "256", "ls"}, nullptr, 64, "--port"},
        ExitCase{"OptionOfAnotherCommand", {"ls", "--force"}, nullptr, 64, "does not apply"},
        ExitCase{"MissingOperand", {"get"}, nullptr, 64, "get needs"},
        ExitCase{"BadAttribute", {"put", "x", "--attr", "w"}, nullptr, 64, "--attr"}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

TEST_F(CliExitStatusTest, NoPortToSearchIs5) {
    server.stop(); // removes the only port of the map
    const auto result = Run({"ls"});
    EXPECT_EQ(result.exitStatus, 5);
    EXPECT_NE(result.err.find("has no comN entries"), std::string::npos) << result.err;
}

TEST_F(CliExitStatusTest, PortWithoutAnyDeviceIs6) {
    // A line nobody answers on: the port search opens it and gives up.
    server.stop();
    trelm::test::PtyPair silent;
    silent.LinkAs(ports.Path(), 9);
    const auto result = Run({"ls"});
    EXPECT_EQ(result.exitStatus, 6);
    EXPECT_NE(result.err.find("no device answered on COM9"), std::string::npos) << result.err;
}

TEST_F(CliExitStatusTest, HelpDocumentsTheExitStatus) {
    const auto result = Run({"--help"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.out.find("Exit status:"), std::string::npos);
    EXPECT_NE(result.out.find("64  usage error"), std::string::npos);
}
