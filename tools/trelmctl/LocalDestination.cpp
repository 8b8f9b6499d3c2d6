#include "LocalDestination.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trelmctl {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Renames `from` to `to` unless `to` exists. Falls back to a hard link where
// the file system cannot rename that way, and to check-then-rename where it
// has no hard links either.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) {
        return errno;
    }
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace

LocalDestination::LocalDestination(std::string path, bool force, bool stageAlways)
    : m_path(std::move(path)), m_force(force), m_stage(!force || stageAlways) {}

LocalDestination::~LocalDestination() {
    RemoveStaging();
}

bool LocalDestination::Exists() const {
    struct stat info {};
    return ::lstat(m_path.c_str(), &info) == 0;
}

bool LocalDestination::Prepare(std::string& error) {
    if (!m_stage) {
        m_writePath = m_path;
        return true;
    }
    std::string pattern = FolderOf(m_path) + "/.trelmctl-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot write in " + FolderOf(m_path) + ": " + std::strerror(errno);
        return false;
    }
    m_stagingDir = pattern;
    m_writePath = m_stagingDir + "/" + NameOf(m_path);
    return true;
}

bool LocalDestination::Commit(std::string& error) {
    if (!m_stage) {
        return true;
    }
    const int result = m_force ? (::rename(m_writePath.c_str(), m_path.c_str()) == 0 ? 0 : errno)
                               : RenameNoReplace(m_writePath, m_path);
    if (result == EEXIST) {
        error = m_path + " appeared while the copy ran; it was left alone (use --force to "
                         "replace it)";
        return false;
    }
    if (result != 0) {
        error = "cannot move the copy to " + m_path + ": " + std::strerror(result);
        return false;
    }
    return true;
}

void LocalDestination::RemoveStaging() {
    if (m_stagingDir.empty()) {
        return;
    }
    ::unlink(m_writePath.c_str());
    ::rmdir(m_stagingDir.c_str());
    m_stagingDir.clear();
}

} // namespace trelmctl
