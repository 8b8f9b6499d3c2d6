#include "LocalFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace trelm {

LocalFile::~LocalFile() {
    Close();
}

LocalFile::LocalFile(LocalFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

LocalFile& LocalFile::operator=(LocalFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

LocalFile LocalFile::Open(const char* path, int flags, mode_t mode) {
    int fd = -1;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return LocalFile(fd);
}

bool LocalFile::ReadAt(uint8_t* buffer, std::size_t count, off_t offset) const {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(m_fd, buffer + done, count - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool LocalFile::WriteAll(const uint8_t* buffer, std::size_t count) const {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, buffer + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool LocalFile::Close() {
    if (m_fd < 0) {
        return false;
    }
    // The descriptor is gone after close(2) even when it reports an error,
    // so it is never closed twice.
    const int rc = ::close(std::exchange(m_fd, -1));
    return rc == 0 || errno == EINTR;
}

} // namespace trelm
