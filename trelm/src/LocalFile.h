// An open file on the PC side, closed when the object goes. Reads and writes
// move all the bytes asked for or report failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace trelm {

class LocalFile {
public:
    LocalFile() = default;
    // Takes over an open descriptor (or -1).
    explicit LocalFile(int fd) : m_fd(fd) {}
    ~LocalFile();
    LocalFile(LocalFile&& other) noexcept;
    LocalFile& operator=(LocalFile&& other) noexcept;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // open(2) with close-on-exec added; an invalid object when it fails.
    static LocalFile Open(const char* path, int flags, mode_t mode = 0);

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }

    // Exactly `count` bytes from `offset`; false on an error or end of file.
    bool ReadAt(uint8_t* buffer, std::size_t count, off_t offset) const;
    // All `count` bytes at the current position; false on any error.
    bool WriteAll(const uint8_t* buffer, std::size_t count) const;
    // Closes the file; false when the close reported an error (data may not
    // have reached the disk) or nothing was open.
    bool Close();

private:
    int m_fd = -1;
};

} // namespace trelm
