// --json: every output line is one JSON object, with progress, one result per
// file, and failures carrying the result code, its name and the device error.
#include "CliEmulatorTest.h"

#include <QJsonValue>

using CliJsonTest = CliEmulatorTest;

TEST_F(CliJsonTest, PutReportsProgressAndOneResultPerFile) {
    WriteLocal("first.bin", Pattern(250, 3));
    WriteLocal("toolongname.bin", "x");
    WriteLocal("taken.txt", "new");
    PutDeviceFile("taken.txt", "old");

    const auto result = Run({"--json", "put", "first.bin", "toolongname.bin", "taken.txt"});
    EXPECT_EQ(result.exitStatus, 12) << "the first failure decides: " << result.err;
    const auto lines = JsonLines(result);

    // Progress of first.bin: packets 0 to 3 of 3, bytes up to the whole file.
    const auto progress = OfType(lines, "progress");
    std::vector<int> packets;
    for (const QJsonObject& p : progress) {
        if (p.value("file").toString() == "first.bin") {
            EXPECT_EQ(p.value("command").toString(), "put");
            EXPECT_EQ(p.value("packets").toInt(), 3);
            EXPECT_EQ(p.value("totalBytes").toInt(), 250);
            packets.push_back(p.value("packet").toInt());
        }
    }
    EXPECT_EQ(packets, (std::vector<int>{0, 1, 2, 3}));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().value("bytes").toInt(), 250);
    EXPECT_TRUE(progress.back().value("done").toBool());

    const auto results = OfType(lines, "result");
    ASSERT_EQ(results.size(), 3u);
    struct Expected {
        const char* file;
        bool ok;
        int result;
        const char* resultName;
        int deviceError;
        const char* deviceErrorName;
    };
    const Expected expected[] = {
        {"first.bin", true, 0, "TRELM_OK", -1, nullptr},
        {"toolongname.bin", false, 12, "TRELM_ERROR_PC_FILENAME_INVALID", 27,
         "TRELM_DEVICE_ERROR_MAX_ERROR"},
        {"taken.txt", false, 9, "TRELM_ERROR_DEVICE_ERROR", 15,
         "TRELM_DEVICE_ERROR_EXISTING_FILENAME"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].file);
        const QJsonObject& r = results[i];
        EXPECT_EQ(r.value("command").toString(), "put");
        EXPECT_EQ(r.value("file").toString(), expected[i].file);
        EXPECT_EQ(r.value("ok").toBool(), expected[i].ok);
        EXPECT_EQ(r.value("result").toInt(), expected[i].result);
        EXPECT_EQ(r.value("resultName").toString(), expected[i].resultName);
        if (expected[i].deviceErrorName != nullptr) {
            EXPECT_EQ(r.value("deviceError").toInt(), expected[i].deviceError);
            EXPECT_EQ(r.value("deviceErrorName").toString(), expected[i].deviceErrorName);
            EXPECT_FALSE(r.value("message").toString().isEmpty());
        } else {
            EXPECT_EQ(r.value("bytes").toInt(), 250);
        }
    }
    EXPECT_EQ(DeviceContent("taken.txt"), "old");
}

TEST_F(CliJsonTest, ListingAndStatisticsAreObjects) {
    PutDeviceFile("a.txt", "12345");
    PutDeviceFile("b.cfg", "xy", devsim::NvFile::Hidden);

    const auto ls = JsonLines(Run({"--json", "ls", "-a"}));
    const auto files = OfType(ls, "file");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].value("name").toString(), "a.txt");
    EXPECT_EQ(files[0].value("fileSize").toInt(), 5);
    EXPECT_EQ(files[0].value("attributes").toString(), "--");
    EXPECT_EQ(files[1].value("name").toString(), "b.cfg");
    EXPECT_EQ(files[1].value("attr").toInt(), 2);
    EXPECT_EQ(files[1].value("attributes").toString(), "-h");
    EXPECT_TRUE(files[1].value("modified").isString());
    ASSERT_EQ(OfType(ls, "listing").size(), 1u);
    EXPECT_EQ(OfType(ls, "listing")[0].value("files").toInt(), 2);

    const auto df = OfType(JsonLines(Run({"--json", "df"})), "statistics");
    ASSERT_EQ(df.size(), 1u);
    EXPECT_EQ(df[0].value("spaceInUse").toInt(), 7);
    EXPECT_EQ(df[0].value("allocatedFileSpace").toInt(),
              static_cast<int>(device.config().maxTotalBytes));
    EXPECT_EQ(df[0].value("maxOpenFiles").toInt(), static_cast<int>(device.config().maxOpenFiles));
}

TEST_F(CliJsonTest, ConnectionFailureIsAnErrorObject) {
    server.stop(); // the link goes: no port to search
    const auto result = Run({"--json", "ls"});
    EXPECT_EQ(result.exitStatus, 5);
    const auto errors = OfType(JsonLines(result), "error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value("result").toInt(), 5);
    EXPECT_EQ(errors[0].value("resultName").toString(), "TRELM_ERROR_COMPORT_NOT_OPENED");
    EXPECT_EQ(errors[0].value("deviceErrorName").toString(), "TRELM_DEVICE_ERROR_MAX_ERROR");
    EXPECT_EQ(errors[0].value("command").toString(), "ls");
}

TEST_F(CliJsonTest, UsageErrorIsAnErrorObjectToo) {
    const auto result = Run({"--json", "frobnicate"});
    EXPECT_EQ(result.exitStatus, 64);
    const auto errors = OfType(JsonLines(result), "error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].value("usage").toBool());
    EXPECT_TRUE(errors[0].value("message").toString().contains("frobnicate"));
}
