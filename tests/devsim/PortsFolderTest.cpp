// The emulator's ports folder: made private when it is new, refused when
// someone else could change where its links lead, and the same checks from
// the command line (message and exit status).
#include "devsim/PortsFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A private scratch folder, removed with everything in it.
class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "devsim-folder-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

TEST(DevsimPortsFolder, NewFolderIsPrivate) {
    Scratch scratch;
    const mode_t oldMask = ::umask(0);
    for (const fs::path& dir : {scratch.path() / "ports", scratch.path() / "a" / "b" / "ports"}) {
        SCOPED_TRACE(dir);
        std::string error;
        EXPECT_TRUE(devsim::preparePortsFolder(dir.string(), &error)) << error;
        EXPECT_EQ(ModeOf(dir), 0700u);
        // A second start finds its own folder and accepts it.
        EXPECT_TRUE(devsim::preparePortsFolder(dir.string(), &error)) << error;
    }
    ::umask(oldMask);
}

struct UnsafeCase {
    const char* label;
    void (*make)(const fs::path& dir);
    const char* reason;
};

void PrintTo(const UnsafeCase& row, std::ostream* os) {
    *os << row.label;
}

void MakeWithMode(const fs::path& dir, mode_t mode) {
    fs::create_directory(dir);
    ASSERT_EQ(::chmod(dir.c_str(), mode), 0);
}

const UnsafeCase kUnsafe[] = {
    {"WritableByEveryone", [](const fs::path& d) { MakeWithMode(d, 0777); }, "writable by other"},
    {"StickyButWritableByEveryone", [](const fs::path& d) { MakeWithMode(d, 01777); },
     "writable by other"},
    {"WritableByTheGroup", [](const fs::path& d) { MakeWithMode(d, 0770); }, "writable by other"},
    {"SymbolicLink",
     [](const fs::path& d) {
         MakeWithMode(d.string() + "-real", 0700);
         fs::create_directory_symlink(d.string() + "-real", d);
     },
     "symbolic link"},
    {"File", [](const fs::path& d) { std::ofstream(d) << "x"; }, "not a folder"},
};

class DevsimUnsafePortsFolder : public testing::TestWithParam<UnsafeCase> {};

TEST_P(DevsimUnsafePortsFolder, IsRefusedAndLeftAsItWas) {
    Scratch scratch;
    const fs::path dir = scratch.path() / "ports";
    GetParam().make(dir);
    const auto before = fs::symlink_status(dir).permissions();
    std::string error;
    EXPECT_FALSE(devsim::preparePortsFolder(dir.string(), &error));
    EXPECT_NE(error.find(dir.string()), std::string::npos) << error;
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    EXPECT_EQ(fs::symlink_status(dir).permissions(), before);
}

INSTANTIATE_TEST_SUITE_P(Devsim, DevsimUnsafePortsFolder, testing::ValuesIn(kUnsafe),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(DevsimPortsFolder, FolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only the superuser can make a folder that belongs to someone else";
    }
    Scratch scratch;
    const fs::path dir = scratch.path() / "ports";
    MakeWithMode(dir, 0700);
    ASSERT_EQ(::chown(dir.c_str(), 4242, 4242), 0);
    std::string error;
    EXPECT_FALSE(devsim::preparePortsFolder(dir.string(), &error));
    EXPECT_NE(error.find("belongs to user 4242"), std::string::npos) << error;
}

// Sets or removes XDG_RUNTIME_DIR for one scope.
class RuntimeDir {
public:
    explicit RuntimeDir(const char* value) {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
            saved_ = old;
        }
        value ? ::setenv("XDG_RUNTIME_DIR", value, 1) : ::unsetenv("XDG_RUNTIME_DIR");
    }
    ~RuntimeDir() {
        saved_ ? ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::optional<std::string> saved_;
};

TEST(DevsimPortsFolder, DefaultPrefersTheRuntimeFolder) {
    const std::string fallback = "/tmp/trelm-ports-" + std::to_string(::getuid());
    struct Row {
        const char* runtime;
        std::string expected;
    };
    const Row rows[] = {
        {"/run/user/1000", "/run/user/1000/trelm-ports"},
        {nullptr, fallback},
        {"", fallback},
        {"relative/dir", fallback}, // not a usable runtime folder
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.runtime ? row.runtime : "(unset)");
        const RuntimeDir runtime(row.runtime);
        EXPECT_EQ(devsim::defaultPortsFolder(), row.expected);
    }
}

// The program itself: a refused folder ends it at once with status 3 and a
// message that names the folder.
TEST(DevsimPortsFolder, ProgramRefusesAnUnsafeFolderWithStatusThree) {
    Scratch scratch;
    const fs::path dir = scratch.path() / "ports";
    MakeWithMode(dir, 0777);
    // An emulator that accepted the folder would serve until stopped; the
    // time limit turns that into a failure (status 124) instead of a hang.
    const std::string command = std::string("timeout 20 '") + DEVSIM_PROGRAM + "' --ports-dir '" +
                                dir.string() + "' 2>&1 </dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    std::array<char, 256> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
        output += chunk.data();
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 3) << output;
    EXPECT_NE(output.find("refusing the ports folder"), std::string::npos) << output;
    EXPECT_NE(output.find(dir.string()), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(dir / "com1"));
}

} // namespace
