// --verify: what was copied is read back and compared byte for byte; a
// difference is a failure of that file with its own exit status (20) and the
// JSON error "verify".
#include "CliFleetTest.h"

using CliVerifyTest = CliFleetTest;

TEST_F(CliVerifyTest, PutFindsADeviceThatStoredSomethingElse) {
    FaultOn(5, "CREATE_NV_FILE_STORE_FILE@1=flip:120");
    WriteLocal("a.cfg", Pattern(300, 11));
    WriteLocal("b.cfg", Pattern(90, 12));

    const auto result = Run({"--json", "--port", "4,5,6", "put", "--verify", "a.cfg", "b.cfg"});
    EXPECT_EQ(result.exitStatus, 20) << result.err;
    const auto lines = JsonLines(result);
    std::map<std::pair<int, std::string>, std::string> outcome;
    for (const QJsonObject& line : OfType(lines, "result")) {
        outcome[{line.value("port").toInt(), line.value("file").toString().toStdString()}] =
            line.value("ok").toBool() ? "ok" : line.value("error").toString().toStdString();
        if (!line.value("ok").toBool()) {
            EXPECT_EQ(line.value("result").toInt(), 20);
            EXPECT_EQ(line.value("resultName").toString(), "TRELMCTL_VERIFY_FAILED");
            EXPECT_NE(line.value("message").toString().indexOf("at byte 120"), -1)
                << line.value("message").toString().toStdString();
        }
    }
    const std::map<std::pair<int, std::string>, std::string> expected = {
        {{4, "a.cfg"}, "ok"}, {{4, "b.cfg"}, "ok"}, {{5, "a.cfg"}, "verify"},
        {{5, "b.cfg"}, "ok"}, {{6, "a.cfg"}, "ok"}, {{6, "b.cfg"}, "ok"},
    };
    EXPECT_EQ(outcome, expected) << "a verify failure concerns its file only";
    EXPECT_EQ(Failures(Summary(lines)), (std::map<int, int>{{5, 20}}));
    EXPECT_EQ(WorkEntries(), (std::vector<std::string>{"a.cfg", "b.cfg"}))
        << "the read-back leaves nothing in the working folder";
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile), 2u) << "each file read back once";
}

TEST_F(CliVerifyTest, PutWithoutVerifyTrustsTheDevice) {
    FaultOn(4, "CREATE_NV_FILE_STORE_FILE=flip");
    WriteLocal("a.cfg", Pattern(300, 11));
    const auto result = Run({"put", "a.cfg"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile), 0u);
}

TEST_F(CliVerifyTest, GetComparesTheCopyWithASecondRead) {
    PutDeviceFile("data.bin", Pattern(350, 13));
    WriteLocal("old.bin", "the old content");

    struct Row {
        const char* name;
        int flipPacket; // which data packet read from now on is wrong; 0: none
        std::vector<std::string> args;
        int exitStatus;
        const char* local; // the file the run leaves, and its content ("" for none)
        std::string content;
    };
    const Row rows[] = {
        {"Equal", 0, {"get", "--verify", "data.bin"}, 0, "data.bin", Pattern(350, 13)},
        {"FirstReadWrong", 1, {"get", "--verify", "data.bin", "./first.bin"}, 20, "first.bin", ""},
        {"SecondReadWrong",
         5, // 350 bytes are 4 packets: the first of the second read
         {"get", "--verify", "data.bin", "./second.bin"},
         20,
         "second.bin",
         ""},
        {"ForceKeepsTheOldFileOnAMismatch",
         2,
         {"get", "--verify", "--force", "data.bin", "./old.bin"},
         20,
         "old.bin",
         "the old content"},
        {"ForceReplacesOnAMatch",
         0,
         {"get", "--verify", "--force", "data.bin", "./old.bin"},
         0,
         "old.bin",
         Pattern(350, 13)},
    };
    for (const Row& row : rows) {
        device.clearFaults();
        if (row.flipPacket != 0) {
            // Occurrences count over the device's whole life.
            const auto seen = device.requestCount(devsim::cmd::ReadNvFileDataPacket);
            FaultOn(4, "READ_NV_FILE_DATA_PACKET@" + std::to_string(seen + row.flipPacket) +
                           "=flip:9");
        }
        const auto before = device.requestCount(devsim::cmd::ReadNvFile);
        const auto result = Run(row.args);
        EXPECT_EQ(result.exitStatus, row.exitStatus) << row.name << ": " << result.err;
        EXPECT_EQ(device.requestCount(devsim::cmd::ReadNvFile) - before, 2u) << row.name;
        const std::filesystem::path local = work.Path() / row.local;
        if (row.content.empty()) {
            EXPECT_FALSE(std::filesystem::exists(local)) << row.name;
        } else {
            EXPECT_EQ(ReadFile(local), row.content) << row.name;
        }
        if (row.exitStatus == 20) {
            EXPECT_NE(result.err.find("TRELMCTL_VERIFY_FAILED"), std::string::npos) << result.err;
        }
        for (const std::string& entry : WorkEntries()) {
            EXPECT_NE(entry.rfind(".trelm", 0), 0u) << row.name << ": staging left: " << entry;
        }
        std::filesystem::remove(work.Path() / "data.bin");
    }
}
