#include "StagedFile.h"

#include "Debug.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace trelm {

namespace {

// Attempts at finding a free temporary name before giving up.
constexpr int kNameAttempts = 64;
constexpr std::size_t kRandomLength = 12;

StagedFile::SyncFunction g_sync = nullptr;

int Sync(int fd) {
    return g_sync != nullptr ? g_sync(fd) : ::fsync(fd);
}

std::string RandomSuffix() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::mt19937_64 engine((static_cast<uint64_t>(entropy()) << 32) ^ entropy() ^
                           static_cast<uint64_t>(::getpid()));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string suffix(kRandomLength, 'x');
    for (char& c : suffix) {
        c = kAlphabet[pick(engine)];
    }
    return suffix;
}

// This machine's name as it appears in temporary names ('/' and '.' would
// make the name ambiguous, so they become '_').
std::string HostTag() {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') {
        return "localhost";
    }
    std::string tag(host);
    for (char& c : tag) {
        if (c == '/' || c == '.') {
            c = '_';
        }
    }
    return tag;
}

// The destination's folder with its trailing '/', or "" for the current one.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
}

// The process number in a temporary name of this library made on this
// host: ".trelm-HOST-PID-RANDOM.part". Nothing for any other name.
std::optional<pid_t> TemporaryOwner(std::string_view name, const std::string& host) {
    const std::string_view prefix = StagedFile::kTemporaryPrefix;
    const std::string_view suffix = StagedFile::kTemporarySuffix;
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) {
        return std::nullopt;
    }
    name.remove_prefix(prefix.size());
    name.remove_suffix(suffix.size());
    if (!name.starts_with(host) || name.size() < host.size() + 2 || name[host.size()] != '-') {
        return std::nullopt;
    }
    name.remove_prefix(host.size() + 1);
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || name.size() - dash - 1 != kRandomLength) {
        return std::nullopt;
    }
    long pid = 0;
    for (const char c : name.substr(0, dash)) {
        if (c < '0' || c > '9' || pid > 1'000'000'000) {
            return std::nullopt;
        }
        pid = pid * 10 + (c - '0');
    }
    return static_cast<pid_t>(pid);
}

bool ProcessIsGone(pid_t pid) {
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool Older(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Syncs the folder so that a rename in it survives a power loss.
void SyncFolder(const std::string& folder) {
    const LocalFile dir =
        LocalFile::Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (!dir.IsOpen() || Sync(dir.Descriptor()) != 0) {
        // The file is in place already; only its durability across a power
        // loss is not confirmed, which is no reason to report the copy failed.
        DebugPrint("Copy: could not sync folder '%s' (errno %d)\n", folder.c_str(), errno);
    }
}

} // namespace

void StagedFile::SetSyncFunction(SyncFunction sync) {
    g_sync = sync;
}

StagedFile::StagedFile(std::string destination) : m_destination(std::move(destination)) {
    ::clock_gettime(CLOCK_REALTIME, &m_started);
}

StagedFile::~StagedFile() {
    Discard();
}

bool StagedFile::Create() {
    // A destination that is a symbolic link is written where the link
    // points, as writing through it would; renaming over the link itself
    // would replace the link with a plain file. A link that points nowhere
    // is refused, as cp refuses to write through a dangling link: creating
    // a file at whatever name it holds is rarely what the user meant.
    struct stat link {};
    if (::lstat(m_destination.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* resolved = ::realpath(m_destination.c_str(), nullptr);
        if (resolved == nullptr) {
            DebugPrint("Copy: '%s' is a link to nothing (errno %d)\n", m_destination.c_str(),
                       errno);
            return false;
        }
        m_destination = resolved;
        std::free(resolved);
    }
    RemoveStaleTemporaries(FolderOf(m_destination));
    struct stat existing {};
    const bool replaces = ::stat(m_destination.c_str(), &existing) == 0;
    if (replaces && S_ISREG(existing.st_mode) && existing.st_nlink > 1) {
        // Renaming would leave the other names on the old data.
        m_inPlace = true;
        return true;
    }
    return CreateTemporary(replaces ? &existing : nullptr);
}

bool StagedFile::CreateTemporary(const struct stat* existing) {
    const std::string folder = FolderOf(m_destination);
    const std::string stem =
        folder + kTemporaryPrefix + HostTag() + "-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = stem + RandomSuffix() + kTemporarySuffix;
        LocalFile file = LocalFile::Open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (!file.IsOpen()) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        m_temporary = std::move(candidate);
        m_file = std::move(file);
        if (existing != nullptr) {
            // The copy takes the place of the old file with the same owner,
            // group and access rights. Only the superuser may give a file
            // away; a member of the old file's group may still set that, and
            // where neither works the file stays the caller's. The mode is
            // set last, as a change of owner clears set-id bits.
            if (::fchown(m_file.Descriptor(), existing->st_uid, existing->st_gid) != 0) {
                (void)::fchown(m_file.Descriptor(), static_cast<uid_t>(-1), existing->st_gid);
            }
            ::fchmod(m_file.Descriptor(), existing->st_mode & 07777);
        }
        return true;
    }
    return false;
}

void StagedFile::RemoveStaleTemporaries(const std::string& folder) const {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const std::string host = HostTag();
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<pid_t> owner = TemporaryOwner(entry->d_name, host);
        // A temporary of a copy that is still running belongs to a living
        // process (or is newer than this copy); it is left alone.
        if (!owner || !ProcessIsGone(*owner)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || !Older(info.st_mtim, m_started)) {
            continue;
        }
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) {
            DebugPrint("Copy: removed the stale temporary file '%s%s'\n", folder.c_str(),
                       entry->d_name);
        }
    }
    ::closedir(dir);
}

bool StagedFile::Write(const uint8_t* data, std::size_t count) {
    if (m_inPlace) {
        m_pending.insert(m_pending.end(), data, data + count);
        return true;
    }
    return m_file.IsOpen() && m_file.WriteAll(data, count);
}

bool StagedFile::Close() {
    if (m_inPlace) {
        return true;
    }
    // The data must be on the disk before the name points to it.
    const bool synced = m_file.IsOpen() && Sync(m_file.Descriptor()) == 0;
    const bool closed = m_file.Close();
    return synced && closed;
}

bool StagedFile::SetModificationTime(std::time_t when) {
    if (m_inPlace) {
        m_modificationTime = when;
        return true;
    }
    if (m_temporary.empty()) {
        return false;
    }
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, m_temporary.c_str(), times, 0) == 0;
}

bool StagedFile::Commit() {
    if (m_inPlace) {
        return CommitInPlace();
    }
    if (m_temporary.empty() || m_file.IsOpen()) {
        return false;
    }
    if (::rename(m_temporary.c_str(), m_destination.c_str()) != 0) {
        return false;
    }
    m_temporary.clear();
    SyncFolder(FolderOf(m_destination));
    return true;
}

bool StagedFile::CommitInPlace() {
    LocalFile file = LocalFile::Open(m_destination.c_str(), O_WRONLY | O_TRUNC);
    if (!file.IsOpen() || !file.WriteAll(m_pending.data(), m_pending.size()) ||
        Sync(file.Descriptor()) != 0) {
        return false;
    }
    if (m_modificationTime) {
        struct timespec times[2] = {};
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = *m_modificationTime;
        ::futimens(file.Descriptor(), times);
    }
    m_pending.clear();
    return file.Close();
}

void StagedFile::Discard() {
    m_file.Close();
    m_pending.clear();
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

} // namespace trelm
