// ports: the port map as the library sees it, and in plain words why a port
// cannot be opened.
#include "CliEmulatorTest.h"

#include "PtyPair.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

class CliPortsTest : public CliEmulatorTest {
protected:
    // The JSON object of COM `number` in a --json ports run.
    static QJsonObject PortObject(const std::vector<QJsonObject>& lines, int number) {
        for (const QJsonObject& line : OfType(lines, "port")) {
            if (line.value("port").toInt() == number) {
                return line;
            }
        }
        ADD_FAILURE() << "COM" << number << " not listed";
        return {};
    }
};

TEST_F(CliPortsTest, ListsEveryEntryWithItsState) {
    std::filesystem::create_symlink("/dev/pts/nonexistent", ports.Path() / "com6");
    std::filesystem::create_symlink("/dev/null", ports.Path() / "com07"); // not a port name
    trelm::test::PtyPair held;
    held.LinkAs(ports.Path(), 5);
    const int fd = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

    const auto result = Run({"--json", "ports", "--probe"});
    ::close(fd);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const auto lines = JsonLines(result);
    ASSERT_EQ(OfType(lines, "port").size(), 3u);

    const QJsonObject emulator = PortObject(lines, 4);
    EXPECT_EQ(emulator.value("state").toString(), "available");
    EXPECT_EQ(emulator.value("device").toString().toStdString(), server.slavePath());
    EXPECT_TRUE(emulator.value("answers").toBool());
    EXPECT_EQ(emulator.value("info1").toInt(), 2);

    const QJsonObject busy = PortObject(lines, 5);
    EXPECT_EQ(busy.value("state").toString(), "busy");
    const std::string holder = "process " + std::to_string(::getpid()) + " (";
    EXPECT_NE(busy.value("message").toString().toStdString().find(holder), std::string::npos)
        << busy.value("message").toString().toStdString();
    EXPECT_FALSE(busy.contains("answers")) << "a busy port is not probed";

    const QJsonObject missing = PortObject(lines, 6);
    EXPECT_EQ(missing.value("state").toString(), "missing");
    EXPECT_NE(missing.value("message").toString().indexOf("/dev/pts/nonexistent"), -1);
}

TEST_F(CliPortsTest, ABusyPortNamesItsHolderWhenOpeningFails) {
    trelm::test::PtyPair held;
    held.LinkAs(ports.Path(), 5);
    const int fd = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

    const auto result = Run({"--port", "5", "ls"});
    ::close(fd);
    EXPECT_EQ(result.exitStatus, 5);
    const std::string expected =
        "busy: locked by process " + std::to_string(::getpid()) + " (cli_tests)";
    EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
}

TEST_F(CliPortsTest, PermissionNamesTheGroupTheUserLacks) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the tool as another user";
    }
    const group* dialout = ::getgrnam("dialout");
    const passwd* nobody = ::getpwnam("nobody");
    if (dialout == nullptr || nobody == nullptr) {
        GTEST_SKIP() << "needs the group dialout and the user nobody";
    }
    trelm::test::PtyPair line;
    line.LinkAs(ports.Path(), 5);
    ASSERT_EQ(::chown(line.SlavePath().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(line.SlavePath().c_str(), 0660), 0);

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitStatus;
    };
    const Case cases[] = {{"ports", {"ports"}, 0}, {"ls", {"--port", "5", "ls"}, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cli::test::CliRunner runner;
        Prepare(runner);
        runner.RunAs(nobody->pw_uid, nobody->pw_gid);
        const auto result = runner.Run(c.args);
        EXPECT_EQ(result.exitStatus, c.exitStatus) << result.err;
        const std::string text = result.out + result.err;
        EXPECT_NE(text.find("permission denied: " + line.SlavePath()), std::string::npos) << text;
        EXPECT_NE(text.find("belongs to group 'dialout', and user 'nobody' is not in that group"),
                  std::string::npos)
            << text;
    }
}
