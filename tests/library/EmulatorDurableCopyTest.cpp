// A copy from the device that survives what happens around it: the data is
// on the disk before the name points to it, temporaries of killed copies are
// cleaned up, and links, owners and hard links of the destination are
// respected.
#include "EmulatorLibraryTest.h"
#include "LocalFiles.h"
#include "StagedFile.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using library_test::FolderEntries;
using library_test::ReadAll;

namespace {

const std::string kNew = "the file as the device has it\n";
const std::string kOld = "the earlier file\n";

// What the sync hook saw: for each sync, whether it was of a folder and
// what the destination held at that moment.
struct SyncEvent {
    bool folder;
    std::string destination;
    bool operator==(const SyncEvent&) const = default;
};
std::vector<SyncEvent> g_syncs;
const fs::path* g_destination = nullptr;
bool g_failFileSyncs = false;

int RecordSync(int fd) {
    struct stat info {};
    ::fstat(fd, &info);
    const bool folder = S_ISDIR(info.st_mode);
    g_syncs.push_back({folder, ReadAll(*g_destination)});
    if (g_failFileSyncs && !folder) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

class LibraryEmulatorDurableCopy : public EmulatorLibraryTest {
protected:
    void SetUp() override {
        EmulatorLibraryTest::SetUp();
        g_syncs.clear();
        g_failFileSyncs = false;
        g_destination = &target;
        PutFile("data.bin", kNew);
    }

    void TearDown() override {
        trelm::StagedFile::SetSyncFunction(nullptr);
        EmulatorLibraryTest::TearDown();
    }

    fs::path target = local.Path() / "data.bin";
};

TEST_F(LibraryEmulatorDurableCopy, DataIsSyncedBeforeTheRenameAndTheFolderAfterIt) {
    local.WriteFile("data.bin", kOld);
    trelm::StagedFile::SetSyncFunction(RecordSync);
    ASSERT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()), TRELM_OK);
    EXPECT_EQ(g_syncs, (std::vector<SyncEvent>{{false, kOld}, {true, kNew}}));
    EXPECT_EQ(ReadAll(target), kNew);
}

TEST_F(LibraryEmulatorDurableCopy, FailedSyncKeepsTheEarlierFileAndLeavesNoTemporary) {
    local.WriteFile("data.bin", kOld);
    trelm::StagedFile::SetSyncFunction(RecordSync);
    g_failFileSyncs = true;
    EXPECT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()), TRELM_ERROR_PC_FILE_IO_FAILED);
    EXPECT_EQ(ReadAll(target), kOld);
    EXPECT_EQ(FolderEntries(local.Path()), std::vector<std::string>{"data.bin"});
}

// The host part of this library's temporary names.
std::string HostTag() {
    char host[HOST_NAME_MAX + 1] = {};
    EXPECT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string tag(host);
    for (char& c : tag) {
        c = (c == '/' || c == '.') ? '_' : c;
    }
    return tag;
}

// The number of a process that has ended (and been reaped).
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return child;
}

TEST_F(LibraryEmulatorDurableCopy, StaleTemporariesOfKilledCopiesAreRemoved) {
    const std::string host = HostTag();
    const std::string gone = std::to_string(EndedProcess());
    const std::string alive = std::to_string(getpid());
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
    const auto later = fs::file_time_type::clock::now() + std::chrono::hours(1);
    struct Row {
        const char* name;
        std::string file;
        fs::file_time_type written;
        bool removed;
    };
    const Row rows[] = {
        {"killed copy", ".trelm-" + host + "-" + gone + "-abcdefghijkl.part", longAgo, true},
        {"running copy", ".trelm-" + host + "-" + alive + "-abcdefghijkl.part", longAgo, false},
        {"newer than this copy", ".trelm-" + host + "-" + gone + "-mnopqrstuvwx.part", later,
         false},
        {"other machine", ".trelm-elsewhere-" + gone + "-abcdefghijkl.part", longAgo, false},
        {"not a temporary of ours", ".trelm-abcdefghijkl.part", longAgo, false},
        {"user's file", "notes.part", longAgo, false},
    };
    for (const Row& row : rows) {
        fs::last_write_time(local.WriteFile(row.file, "left over"), row.written);
    }
    ASSERT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()), TRELM_OK);
    EXPECT_EQ(ReadAll(target), kNew);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(fs::exists(local.Path() / row.file), !row.removed);
    }
}

TEST_F(LibraryEmulatorDurableCopy, LinkToNothingIsRefusedAndKept) {
    struct Row {
        const char* name;
        fs::path linkTarget;
    };
    const Row rows[] = {
        {"dangling", local.Path() / "missing" / "real.bin"},
        {"dangling in the same folder", local.Path() / "real.bin"},
        {"loop", local.Path() / "data.bin"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::create_symlink(row.linkTarget, target);
        EXPECT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()),
                  TRELM_ERROR_PC_FILENAME_INVALID);
        EXPECT_TRUE(fs::is_symlink(target));
        EXPECT_EQ(fs::read_symlink(target), row.linkTarget);
        EXPECT_EQ(FolderEntries(local.Path()), std::vector<std::string>{"data.bin"});
        fs::remove(target);
    }
}

TEST_F(LibraryEmulatorDurableCopy, ReplacedFileKeepsItsOwnerAndGroup) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only the superuser may give a file to another owner";
    }
    const fs::path old = local.WriteFile("data.bin", kOld);
    ASSERT_EQ(chown(old.c_str(), 4242, 4343), 0);
    ASSERT_EQ(chmod(old.c_str(), 0640), 0);
    ASSERT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()), TRELM_OK);
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4242u);
    EXPECT_EQ(info.st_gid, 4343u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(target), kNew);
}

TEST_F(LibraryEmulatorDurableCopy, HardLinkedFileIsRewrittenInPlace) {
    const fs::path old = local.WriteFile("data.bin", kOld);
    const fs::path other = local.Path() / "other-name.bin";
    fs::create_hard_link(old, other);
    struct stat before {};
    ASSERT_EQ(stat(old.c_str(), &before), 0);

    ASSERT_EQ(TRELM_CopyFileFromDevice("data.bin", target.c_str()), TRELM_OK);
    struct stat after {};
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(ReadAll(target), kNew);
    EXPECT_EQ(ReadAll(other), kNew);
    EXPECT_EQ(FolderEntries(local.Path()),
              (std::vector<std::string>{"data.bin", "other-name.bin"}));
}

TEST_F(LibraryEmulatorDurableCopy, HardLinkedFileIsUntouchedByAFailedCopy) {
    const char* faults[] = {"READ_NV_FILE_DATA_PACKET@1=packet:+1",
                            "NV_FILE_GET_FILE_INFO_ALL_FILES=nak"};
    const fs::path old = local.WriteFile("data.bin", kOld);
    const fs::path other = local.Path() / "other-name.bin";
    fs::create_hard_link(old, other);
    for (const char* fault : faults) {
        SCOPED_TRACE(fault);
        emulator.clearFaults();
        AddFault(fault);
        EXPECT_NE(TRELM_CopyFileFromDevice("data.bin", target.c_str()), TRELM_OK);
        EXPECT_EQ(ReadAll(target), kOld);
        EXPECT_EQ(ReadAll(other), kOld);
        EXPECT_EQ(fs::hard_link_count(target), 2u);
    }
}

} // namespace
