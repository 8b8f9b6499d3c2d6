#include "StagedFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trelm {

namespace {

// Attempts at finding a free temporary name before giving up.
constexpr int kNameAttempts = 64;

std::string RandomSuffix() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::mt19937_64 engine((static_cast<uint64_t>(entropy()) << 32) ^ entropy() ^
                           static_cast<uint64_t>(::getpid()));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string suffix(12, 'x');
    for (char& c : suffix) {
        c = kAlphabet[pick(engine)];
    }
    return suffix;
}

// The destination's folder with its trailing '/', or "" for the current one.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
}

} // namespace

StagedFile::StagedFile(std::string destination) : m_destination(std::move(destination)) {}

StagedFile::~StagedFile() {
    Discard();
}

bool StagedFile::Create() {
    // A destination that is a symbolic link is written where the link
    // points, as writing through it would; renaming over the link itself
    // would replace the link with a plain file.
    struct stat link {};
    if (::lstat(m_destination.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(m_destination.c_str(), nullptr)) {
            m_destination = resolved;
            std::free(resolved);
        }
    }
    struct stat existing {};
    const bool replaces = ::stat(m_destination.c_str(), &existing) == 0;
    const std::string folder = FolderOf(m_destination);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = folder + ".trelm-" + RandomSuffix() + ".part";
        LocalFile file = LocalFile::Open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (!file.IsOpen()) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        m_temporary = std::move(candidate);
        m_file = std::move(file);
        if (replaces) {
            // The copy takes the place of the old file with the same access rights.
            ::fchmod(m_file.Descriptor(), existing.st_mode & 07777);
        }
        return true;
    }
    return false;
}

bool StagedFile::Write(const uint8_t* data, std::size_t count) {
    return m_file.IsOpen() && m_file.WriteAll(data, count);
}

bool StagedFile::Close() {
    return m_file.Close();
}

bool StagedFile::SetModificationTime(std::time_t when) {
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
    if (m_temporary.empty() || m_file.IsOpen()) {
        return false;
    }
    if (::rename(m_temporary.c_str(), m_destination.c_str()) != 0) {
        return false;
    }
    m_temporary.clear();
    return true;
}

void StagedFile::Discard() {
    m_file.Close();
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

} // namespace trelm
