// Several devices in one command: a list of ports and "all", one worker per
// device, port-prefixed output, the summary and the exit status rule.
#include "CliFleetTest.h"

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TEST_F(CliFleetTest, PutToAListOfPortsReachesEveryDevice) {
    WriteLocal("a.cfg", Pattern(450, 1));
    WriteLocal("b.cfg", Pattern(30, 2));

    const auto result = Run({"--json", "--port", "4,5,6", "put", "a.cfg", "b.cfg"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    for (unsigned number : {4u, 5u, 6u}) {
        EXPECT_EQ(ContentOn(number, "a.cfg"), Pattern(450, 1)) << "COM" << number;
        EXPECT_EQ(ContentOn(number, "b.cfg"), Pattern(30, 2)) << "COM" << number;
    }
    const auto lines = JsonLines(result);
    std::map<int, int> resultsPerPort;
    for (const QJsonObject& line : lines) {
        if (line.value("type").toString() == "summary") {
            continue;
        }
        ASSERT_TRUE(line.contains("port")) << "every object names its port";
        if (line.value("type").toString() == "result") {
            EXPECT_TRUE(line.value("ok").toBool());
            ++resultsPerPort[line.value("port").toInt()];
        }
    }
    EXPECT_EQ(resultsPerPort, (std::map<int, int>{{4, 2}, {5, 2}, {6, 2}}));
    const QJsonObject summary = Summary(lines);
    EXPECT_EQ(summary.value("command").toString(), "put");
    EXPECT_EQ(summary.value("devices").toInt(), 3);
    EXPECT_EQ(summary.value("succeeded").toInt(), 3);
    EXPECT_EQ(summary.value("failed").toInt(), 0);
    EXPECT_TRUE(summary.value("failures").toArray().isEmpty());
}

TEST_F(CliFleetTest, TextLinesCarryTheirPortAndStayWhole) {
    // Long names make long lines: a line broken by another device's output
    // would show up as a line without its port.
    for (unsigned number : {4u, 5u, 6u}) {
        for (int i = 0; i < 40; ++i) {
            PutOn(number, "file" + std::to_string(i) + ".txt", "x");
        }
    }
    const auto result = Run({"--port", "4,5,6", "ls", "-l"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const auto lines = result.OutLines();
    ASSERT_EQ(lines.size(), 3u * 40u + 1u) << result.out;
    std::map<std::string, int> perPort;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        ASSERT_TRUE(StartsWith(line, "COM4: ") || StartsWith(line, "COM5: ") ||
                    StartsWith(line, "COM6: "))
            << line;
        EXPECT_NE(line.find(".txt"), std::string::npos) << "a whole listing line: " << line;
        EXPECT_EQ(line.find("COM", 1), std::string::npos) << "one line holds one device's text";
        ++perPort[line.substr(0, 4)];
    }
    EXPECT_EQ(perPort, (std::map<std::string, int>{{"COM4", 40}, {"COM5", 40}, {"COM6", 40}}));
    EXPECT_EQ(lines.back(), "ls: 3 devices, 3 succeeded, 0 failed");
    EXPECT_EQ(result.err.find("\033["), std::string::npos) << "no bars without a terminal";
}

namespace {

struct FailureCase {
    const char* name;
    std::map<unsigned, const char*> faults; // port -> fault rule
    int exitStatus;
    std::map<int, int> failures; // port -> result code in the summary
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) {
    return out << c.name;
}

} // namespace

class CliFleetFailureTable : public CliFleetTest,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFleetFailureTable, OthersSucceedAndTheFirstFailureInPortOrderIsTheExitStatus) {
    const FailureCase& c = GetParam();
    for (const auto& [number, rule] : c.faults) {
        FaultOn(number, rule);
    }
    WriteLocal("a.cfg", Pattern(250, 3));

    const auto result = Run({"--json", "--port", "6,5,4", "put", "a.cfg"});
    EXPECT_EQ(result.exitStatus, c.exitStatus) << result.err;
    const QJsonObject summary = Summary(JsonLines(result));
    EXPECT_EQ(summary.value("devices").toInt(), 3);
    EXPECT_EQ(summary.value("failed").toInt(), static_cast<int>(c.failures.size()));
    EXPECT_EQ(summary.value("succeeded").toInt(), 3 - static_cast<int>(c.failures.size()));
    EXPECT_EQ(summary.value("exitStatus").toInt(), c.exitStatus);
    EXPECT_EQ(Failures(summary), c.failures);
    for (unsigned number : {4u, 5u, 6u}) {
        const bool failed = c.failures.count(static_cast<int>(number)) != 0;
        EXPECT_EQ(ContentOn(number, "a.cfg"), failed ? "" : Pattern(250, 3)) << "COM" << number;
    }
    for (const auto& [port, code] : c.failures) {
        EXPECT_NE(result.err.find("COM" + std::to_string(port) + ": trelmctl: put"),
                  std::string::npos)
            << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliFleetFailureTable,
    ::testing::Values(
        FailureCase{"OneDeviceRefuses", {{5, "CREATE_NV_FILE=status:9"}}, 9, {{5, 9}}},
        FailureCase{"OneDeviceRefusesTheCommand", {{6, "CREATE_NV_FILE=nak"}}, 19, {{6, 19}}},
        FailureCase{"FirstInPortOrderNotInListOrder",
                    {{6, "CREATE_NV_FILE=nak"}, {5, "CREATE_NV_FILE=status:9"}},
                    9,
                    {{5, 9}, {6, 19}}},
        FailureCase{
            "UnpluggedInTheMiddle", {{4, "CREATE_NV_FILE_DATA_PACKET@2=hangup"}}, 10, {{4, 10}}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(CliFleetTest, AllRunsOnEveryAnsweringPortAndSaysWhyOthersWereLeftOut) {
    std::filesystem::create_symlink("/dev/pts/nonexistent", ports.Path() / "com7");
    PutOn(4, "four.txt", "4");
    PutOn(6, "six.txt", "6");

    const auto result = Run({"--json", "--port", "all", "ls"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const auto lines = JsonLines(result);
    std::map<int, bool> selected;
    for (const QJsonObject& port : OfType(lines, "port")) {
        selected[port.value("port").toInt()] = port.value("selected").toBool();
        if (port.value("port").toInt() == 7) {
            EXPECT_EQ(port.value("state").toString(), "missing");
            EXPECT_NE(port.value("message").toString().indexOf("does not exist"), -1);
        }
    }
    EXPECT_EQ(selected, (std::map<int, bool>{{4, true}, {5, true}, {6, true}, {7, false}}));
    std::map<int, std::string> files;
    for (const QJsonObject& file : OfType(lines, "file")) {
        files[file.value("port").toInt()] += file.value("name").toString().toStdString();
    }
    EXPECT_EQ(files, (std::map<int, std::string>{{4, "four.txt"}, {6, "six.txt"}}));
    EXPECT_EQ(Summary(lines).value("devices").toInt(), 3);

    const auto text = Run({"--port", "all", "info"});
    EXPECT_EQ(text.exitStatus, 0) << text.err;
    EXPECT_NE(text.err.find("COM7: left out: "), std::string::npos) << text.err;
}

TEST_F(CliFleetTest, AllWithoutAnyAnsweringPortFails) {
    for (unsigned number : {4u, 5u, 6u}) {
        FaultOn(number, "WAKE_UP_DUT=nak");
    }
    const auto result = Run({"--json", "--port", "all", "df"});
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_NE(result.exitStatus, 64);
    const auto errors = OfType(JsonLines(result), "error");
    ASSERT_EQ(errors.size(), 1u) << result.out;
    EXPECT_NE(errors[0].value("message").toString().indexOf("no device answers"), -1);
}

TEST_F(CliFleetTest, GetFromSeveralDevicesNeverReplacesOneDevicesFileWithAnother) {
    for (unsigned number : {4u, 5u, 6u}) {
        PutOn(number, "log.txt", "from COM" + std::to_string(number));
    }

    // One folder: the first copy of a name stays, the others are refused.
    const auto shared = Run({"--json", "--port", "4,5,6", "get", "log.txt"});
    EXPECT_EQ(shared.exitStatus, 3) << shared.err;
    const std::string kept = ReadFile(work.Path() / "log.txt");
    EXPECT_TRUE(kept == "from COM4" || kept == "from COM5" || kept == "from COM6") << kept;
    int copied = 0;
    for (const QJsonObject& line : OfType(JsonLines(shared), "result")) {
        if (line.value("file").toString() == "log.txt" && line.value("ok").toBool()) {
            ++copied;
        }
    }
    EXPECT_EQ(copied, 1);
    EXPECT_NE(shared.err.find("--per-port-folders"), std::string::npos) << shared.err;

    // One folder per port.
    std::filesystem::create_directories(work.Path() / "out");
    const auto apart = Run({"--port", "4,5,6", "get", "--per-port-folders", "log.txt", "out"});
    EXPECT_EQ(apart.exitStatus, 0) << apart.err;
    for (unsigned number : {4u, 5u, 6u}) {
        const std::string port = "COM" + std::to_string(number);
        EXPECT_EQ(ReadFile(work.Path() / "out" / port / "log.txt"), "from " + port);
    }

    // --force could let one device replace another's file: refused.
    const auto forced = Run({"--port", "4,5", "get", "--force", "log.txt"});
    EXPECT_EQ(forced.exitStatus, 64) << forced.err;
    EXPECT_EQ(ReadFile(work.Path() / "log.txt"), kept);
}

TEST_F(CliFleetTest, BadPortListsAreUsageErrors) {
    const std::vector<std::vector<std::string>> lines = {
        {"--port", "4,4", "ls"},          {"--port", "4,,5", "ls"},
        {"--port", "0,4", "ls"},          {"--port", "4,256", "ls"},
        {"--port", "4,five", "ls"},       {"--once", "2", "ls"},
        {"--port", "4,5", "watch", "ls"}, {"--port", "/nonexistent/tty", "ls"},
    };
    for (const auto& args : lines) {
        const auto result = Run(args);
        EXPECT_EQ(result.exitStatus, 64) << args[1] << ": " << result.err;
    }
}

TEST_F(CliFleetTest, SigtermLetsEveryDeviceCloseItsFile) {
    for (unsigned number : {4u, 5u}) {
        DeviceOn(number).setLineBaud(2400); // about half a second a packet
    }
    WriteLocal("big.dat", Pattern(3000, 7));
    cli::test::CliRunner runner;
    Prepare(runner);
    runner.Start({"--json", "--port", "4,5", "put", "big.dat"});
    // Both transfers are under way.
    for (const char* port :
         {"\"type\":\"progress\",\"port\":4", "\"type\":\"progress\",\"port\":5"}) {
        ASSERT_TRUE(runner.WaitForOutput(port, std::chrono::seconds(30))) << port;
    }
    runner.Signal(SIGTERM);
    const auto result = runner.Finish(std::chrono::seconds(60));
    EXPECT_EQ(result.exitStatus, 15) << result.err;
    const QJsonObject summary = Summary(JsonLines(result));
    EXPECT_EQ(Failures(summary), (std::map<int, int>{{4, 15}, {5, 15}}));
    for (unsigned number : {4u, 5u}) {
        EXPECT_EQ(DeviceOn(number).requestCount(devsim::cmd::CreateNvFileStoreFile), 1u)
            << "COM" << number << " got its store command";
        EXPECT_FALSE(DeviceOn(number).file("big.dat").has_value()) << "COM" << number;
    }
}
