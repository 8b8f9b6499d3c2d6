// Unloading libtrelm closes the port: a program that loads the library with
// dlopen, opens a session and unloads it again has neither the port's
// descriptor nor the library's mapping left afterwards.
#include "ScopedEnv.h"
#include "TempDir.h"
#include "trelm.h"

#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Open descriptors of this process that refer to `path`.
int DescriptorsOn(const std::string& path) {
    char wanted[PATH_MAX];
    if (::realpath(path.c_str(), wanted) == nullptr) {
        return -1;
    }
    int count = 0;
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr) {
        return -1;
    }
    while (const dirent* entry = ::readdir(fds)) {
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
        if (length > 0) {
            target[length] = '\0';
            count += std::string(target) == wanted ? 1 : 0;
        }
    }
    ::closedir(fds);
    return count;
}

// Whether a mapping of the file at `path` is in this process.
bool Mapped(const std::string& path) {
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) == nullptr) {
        return false;
    }
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.size() >= std::string(real).size() &&
            line.compare(line.size() - std::string(real).size(), std::string::npos, real) == 0) {
            return true;
        }
    }
    return false;
}

TEST(LibraryUnload, DlcloseClosesThePortAndUnmapsTheLibrary) {
    const std::string library = TRELM_LIBRARY_FILE;
    trelm::test::TempDir ports;
    const trelm::test::ScopedEnv portMap("TRELM_PORTS", ports.Path().string());
    devsim::Device emulator;
    devsim::PtyServer server{emulator};
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    ASSERT_TRUE(server.linkInto(ports.Path().string(), 7, &error)) << error;
    const int before = DescriptorsOn(server.slavePath());
    ASSERT_GE(before, 0);
    ASSERT_FALSE(Mapped(library));

    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    auto* init = reinterpret_cast<decltype(&TRELM_Init)>(::dlsym(handle, "TRELM_Init"));
    ASSERT_NE(init, nullptr) << ::dlerror();
    ASSERT_EQ(init(7, ""), TRELM_OK);
    EXPECT_EQ(DescriptorsOn(server.slavePath()), before + 1);
    EXPECT_TRUE(Mapped(library));

    ASSERT_EQ(::dlclose(handle), 0) << ::dlerror();
    EXPECT_EQ(DescriptorsOn(server.slavePath()), before);
    EXPECT_FALSE(Mapped(library));
    EXPECT_EQ(::dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    server.stop();
}

} // namespace
