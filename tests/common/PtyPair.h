// A pseudo-terminal pair that stands in for a serial line in tests. The slave
// side is what the library opens as a COM port: Publish() links it as "comN"
// in a temporary directory and points TRELM_PORTS there. The test plays the
// device on the master side.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace trelm::test {

class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        m_slavePath = name;
        // The master passes bytes untouched in both directions.
        termios raw{};
        ::tcgetattr(m_master, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_master, TCSANOW, &raw);
    }

    ~PtyPair() {
        Unpublish();
        CloseMaster();
        if (m_slave >= 0) {
            ::close(m_slave);
        }
    }

    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return m_master; }
    // A descriptor of the slave side kept open by the pair, so that the line
    // stays up while the port under test is closed and reopened. Tests may
    // also use it to look at the slave's terminal settings.
    int Slave() const { return m_slave; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Links the slave as "com<number>" in `dir`.
    void LinkAs(const std::filesystem::path& dir, unsigned number) const {
        std::filesystem::create_symlink(m_slavePath, dir / ("com" + std::to_string(number)));
    }

    // Makes the slave COM `number`: a temporary port directory (created on
    // the first call) gets the link, and TRELM_PORTS names it until the pair
    // is destroyed. Returns the directory.
    std::filesystem::path Publish(unsigned number) {
        if (m_portDir.empty()) {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "trelm-ports-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) {
                throw std::runtime_error("mkdtemp failed");
            }
            m_portDir = pattern;
            if (const char* old = std::getenv("TRELM_PORTS")) {
                m_savedPorts = old;
            }
            ::setenv("TRELM_PORTS", m_portDir.c_str(), 1);
        }
        LinkAs(m_portDir, number);
        return m_portDir;
    }

    void CloseMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

    // Writes everything to the master (the device talking).
    bool WriteMaster(const void* data, std::size_t size) const {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const ssize_t n = ::write(m_master, bytes, size);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool WriteMaster(const std::string& text) const {
        return WriteMaster(text.data(), text.size());
    }

    // Reads from the master until `size` bytes came or `timeout` passed.
    std::vector<uint8_t> ReadMaster(std::size_t size, std::chrono::milliseconds timeout) const {
        std::vector<uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (bytes.size() < size) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd entry{m_master, POLLIN, 0};
            const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0 || (entry.revents & POLLIN) == 0) {
                break;
            }
            uint8_t chunk[4096];
            const std::size_t want = std::min(sizeof chunk, size - bytes.size());
            const ssize_t n = ::read(m_master, chunk, want);
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

private:
    void Unpublish() {
        if (m_portDir.empty()) {
            return;
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_portDir, ignored);
        if (m_savedPorts) {
            ::setenv("TRELM_PORTS", m_savedPorts->c_str(), 1);
        } else {
            ::unsetenv("TRELM_PORTS");
        }
        m_portDir.clear();
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::filesystem::path m_portDir;
    std::optional<std::string> m_savedPorts;
};

} // namespace trelm::test
