#include "devsim/PortsFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace devsim {

namespace {

bool fail(std::string* error, const std::string& reason) {
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

} // namespace

std::string defaultPortsFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/trelm-ports";
    }
    return "/tmp/trelm-ports-" + std::to_string(::getuid());
}

bool preparePortsFolder(const std::string& dir, std::string* error) {
    if (dir.empty()) {
        return fail(error, "no ports folder given");
    }
    const std::filesystem::path path(dir);
    if (path.has_parent_path() && path.parent_path() != path) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (ec) {
            return fail(error,
                        "cannot create " + path.parent_path().string() + ": " + ec.message());
        }
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return fail(error, "cannot create " + dir + ": " + std::strerror(errno));
    }
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0) {
        return fail(error, "cannot examine " + dir + ": " + std::strerror(errno));
    }
    if (S_ISLNK(info.st_mode)) {
        return fail(error, dir + " is a symbolic link, not a folder of its own");
    }
    if (!S_ISDIR(info.st_mode)) {
        return fail(error, dir + " exists and is not a folder");
    }
    if (info.st_uid != ::geteuid()) {
        return fail(error, dir + " belongs to user " + std::to_string(info.st_uid) +
                               ", not to this user (" + std::to_string(::geteuid()) + ")");
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return fail(error, dir + " is writable by other users (mode " +
                               std::to_string((info.st_mode >> 6) & 7) +
                               std::to_string((info.st_mode >> 3) & 7) +
                               std::to_string(info.st_mode & 7) + ")");
    }
    return true;
}

} // namespace devsim
