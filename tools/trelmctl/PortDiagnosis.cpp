#include "PortDiagnosis.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace trelmctl {

namespace {

std::string GroupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid)) {
        return entry->gr_name;
    }
    return std::to_string(gid);
}

std::string UserName(uid_t uid) {
    if (const passwd* entry = ::getpwuid(uid)) {
        return entry->pw_name;
    }
    return std::to_string(uid);
}

// "crw-rw----" style permission text of a node.
std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISLNK(mode) ? "l" : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        text += (mode & (0400 >> bit)) != 0 ? letters[bit] : '-';
    }
    return text;
}

bool ProcessHasGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<std::size_t>(i)] == gid) {
            return true;
        }
    }
    return false;
}

// Whether the user's account is a member of the group (it may be, while this
// login session still runs with the groups it had before).
bool AccountHasGroup(uid_t uid, gid_t gid) {
    const passwd* user = ::getpwuid(uid);
    if (user == nullptr) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (groups[static_cast<std::size_t>(i)] == gid) {
            return true;
        }
    }
    return false;
}

std::string ProcessName(const std::string& pid) {
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? pid : pid + " (" + name + ")";
}

// PIDs of the processes holding a lock on the inode: /proc/locks lists every
// lock in the system with "MAJOR:MINOR:INODE" of the locked file.
std::set<std::string> LockHolders(const struct stat& node) {
    std::set<std::string> pids;
    std::ifstream locks("/proc/locks");
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(node.st_dev), minor(node.st_dev),
                  static_cast<unsigned long long>(node.st_ino));
    std::string line;
    while (std::getline(locks, line)) {
        if (line.find("->") != std::string::npos) {
            continue; // a waiter, not a holder
        }
        std::istringstream fields(line);
        std::string id, kind, mode, access, pid, file;
        if (fields >> id >> kind >> mode >> access >> pid >> file && file == wanted) {
            pids.insert(pid);
        }
    }
    return pids;
}

// PIDs of the processes with an open descriptor on `device` (readable
// /proc/PID/fd folders only).
std::set<std::string> Openers(const std::string& device) {
    std::set<std::string> pids;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return pids;
    }
    const std::string self = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos ||
            pid == self) {
            continue;
        }
        const std::string fdDir = "/proc/" + pid + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (fds == nullptr) {
            continue;
        }
        while (const dirent* fd = ::readdir(fds)) {
            char target[4096];
            const std::string link = fdDir + "/" + fd->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && device == std::string(target, static_cast<std::size_t>(n))) {
                pids.insert(pid);
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return pids;
}

std::string Resolved(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

} // namespace

const char* PortDiagnosis::StateName(State state) {
    switch (state) {
    case State::Available:
        return "available";
    case State::Missing:
        return "missing";
    case State::Permission:
        return "permission";
    case State::Busy:
        return "busy";
    case State::Unusable:
        return "unusable";
    }
    return "unusable";
}

std::vector<std::string> PortDiagnosis::Holders(const std::string& path) {
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) {
        return {};
    }
    std::set<std::string> pids = LockHolders(node);
    if (pids.empty()) {
        pids = Openers(Resolved(path));
    }
    std::vector<std::string> names;
    names.reserve(pids.size());
    for (const std::string& pid : pids) {
        names.push_back(ProcessName(pid));
    }
    return names;
}

PortDiagnosis::Finding PortDiagnosis::Missing(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        const std::string to = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "?";
        return {State::Missing,
                "missing: the link points to " + to +
                    ", which does not exist (has the device or the emulator gone away?)"};
    }
    return {State::Missing, "missing: " + path + " does not exist"};
}

PortDiagnosis::Finding PortDiagnosis::PermissionDenied(const std::string& path) {
    const std::string device = Resolved(path);
    struct stat node {};
    if (::stat(device.c_str(), &node) != 0) {
        return {State::Permission,
                "permission denied: cannot look at " + device + ": " + std::strerror(errno)};
    }
    const uid_t uid = ::geteuid();
    const std::string user = UserName(uid);
    const std::string group = GroupName(node.st_gid);
    const std::string owner = UserName(node.st_uid);
    std::string text = "permission denied: " + device + " (" + ModeText(node.st_mode) + ", owner " +
                       owner + ", group " + group + ") ";
    if ((node.st_mode & S_IRGRP) != 0 && (node.st_mode & S_IWGRP) != 0 &&
        !ProcessHasGroup(node.st_gid)) {
        if (AccountHasGroup(uid, node.st_gid)) {
            return {State::Permission, text + "belongs to group '" + group + "'; user '" + user +
                                           "' is a member, but this login session started "
                                           "before that: log out and in again"};
        }
        return {State::Permission, text + "belongs to group '" + group + "', and user '" + user +
                                       "' is not in that group; add the user with: sudo usermod "
                                       "-aG " +
                                       group + " " + user + " (then log in again)"};
    }
    return {State::Permission, text + "does not allow user '" + user + "' to read and write it"};
}

PortDiagnosis::Finding PortDiagnosis::Busy(const std::string& path, const char* how) {
    const std::vector<std::string> holders = Holders(path);
    std::string text = std::string("busy: ") + how;
    if (holders.empty()) {
        return {State::Busy, text + " by another process"};
    }
    text += " by process";
    text += holders.size() > 1 ? "es " : " ";
    for (std::size_t i = 0; i < holders.size(); ++i) {
        text += (i > 0 ? ", " : "") + holders[i];
    }
    return {State::Busy, text};
}

PortDiagnosis::Finding PortDiagnosis::Inspect(const std::string& path) {
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return Missing(path);
        }
        if (errno == EACCES) {
            return PermissionDenied(path);
        }
        return {State::Unusable, std::string("unusable: ") + std::strerror(errno)};
    }
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
        return PermissionDenied(path);
    }
    if (!LockHolders(node).empty()) {
        return Busy(path, "locked");
    }
    return {};
}

PortDiagnosis::Finding PortDiagnosis::TryOpen(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            return Missing(path);
        }
        if (error == EACCES || error == EPERM || error == EROFS) {
            return PermissionDenied(path);
        }
        if (error == EBUSY) {
            return Busy(path, "held for exclusive use");
        }
        return {State::Unusable, std::string("cannot open: ") + std::strerror(error)};
    }
    // Opening raised the modem control lines; lower them again at once, as
    // the library does.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    Finding finding;
    termios settings{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        finding = Busy(path, "locked");
    } else if (::tcgetattr(fd, &settings) != 0) {
        finding = {State::Unusable, "unusable: " + path + " is not a serial port"};
    }
    ::close(fd);
    return finding;
}

} // namespace trelmctl
