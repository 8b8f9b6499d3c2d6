#include "ProgramFolder.h"

#include <QDir>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kFolderVariable[] = "QUARN_TEST_PROGRAM_DIR";
// The process that made the folder (a new start keeps the process id).
constexpr char kOwnerVariable[] = "QUARN_TEST_PROGRAM_DIR_OWNER";
constexpr char kProgramName[] = "quarnui";

} // namespace

namespace ProgramFolder {

void RelaunchInTemporaryFolder(int argc, char** argv) {
    if (std::getenv(kFolderVariable) != nullptr) {
        return;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
            return;
        }
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/quarn-program-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return;
    }
    setenv(kFolderVariable, pattern.c_str(), 1);
    setenv(kOwnerVariable, std::to_string(getpid()).c_str(), 1);
    const std::string program = pattern + '/' + kProgramName;
    std::vector<char*> arguments;
    arguments.push_back(const_cast<char*>(program.c_str()));
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    arguments.push_back(nullptr);
    execv("/proc/self/exe", arguments.data());
    // The new start failed: go on in this process without the folder.
    unsetenv(kFolderVariable);
    unsetenv(kOwnerVariable);
    rmdir(pattern.c_str());
}

QString Path() {
    const char* folder = std::getenv(kFolderVariable);
    return folder != nullptr ? QString::fromLocal8Bit(folder) : QString();
}

void CleanUp() {
    const QString folder = Path();
    const char* owner = std::getenv(kOwnerVariable);
    if (!folder.isEmpty() && owner != nullptr && std::to_string(getpid()) == owner) {
        QDir(folder).removeRecursively();
    }
}

} // namespace ProgramFolder
