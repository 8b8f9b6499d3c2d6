// A silent device among answering ones: it costs the library's full
// time-outs (about half a minute), and the others are done long before.
// These cases run in their own test program, labelled long.
#include "CliFleetTest.h"

class CliFleetSilentTest : public CliFleetTest {
protected:
    void SetUp() override {
        CliFleetTest::SetUp();
        FaultOn(5, "*=silent");
        WriteLocal("a.cfg", Pattern(420, 31));
    }

    void ExpectOthersLoaded() {
        for (unsigned number : {4u, 6u}) {
            EXPECT_EQ(ContentOn(number, "a.cfg"), Pattern(420, 31)) << "COM" << number;
        }
        EXPECT_TRUE(DeviceOn(5).files().empty());
    }
};

TEST_F(CliFleetSilentTest, AListWithASilentDeviceFailsWithItsCode) {
    const auto result = Run({"--json", "--port", "4,5,6", "put", "a.cfg"});
    EXPECT_EQ(result.exitStatus, 6) << result.err;
    const QJsonObject summary = Summary(JsonLines(result));
    EXPECT_EQ(summary.value("succeeded").toInt(), 2);
    EXPECT_EQ(Failures(summary), (std::map<int, int>{{5, 6}}));
    ExpectOthersLoaded();
}

TEST_F(CliFleetSilentTest, AllLeavesTheSilentPortOut) {
    const auto result = Run({"--port", "all", "put", "a.cfg"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("COM5: left out: no device answers"), std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("put: 2 devices, 2 succeeded, 0 failed"), std::string::npos)
        << result.out;
    ExpectOthersLoaded();
}
