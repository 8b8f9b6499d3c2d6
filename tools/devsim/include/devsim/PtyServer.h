// Serves a Device on a pseudo-terminal: the slave side is the device's COM
// port, the server reads requests from the master side on a background
// thread and writes the device's answers back.
#pragma once

#include "devsim/Device.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>

namespace devsim {

class PtyServer {
public:
    // Called on the server thread after each exchange was answered.
    using Trace = std::function<void(const Exchange&)>;

    explicit PtyServer(Device& device);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens a new pseudo-terminal in raw mode and starts serving. A running
    // server is stopped first. On failure returns false and, if error is
    // given, why.
    bool start(std::string* error = nullptr);
    // Stops serving, closes the pseudo-terminal and removes the link made by
    // linkInto(). Safe to call more than once.
    void stop();
    bool running() const;

    // The slave device path (/dev/pts/N) clients open.
    std::string slavePath() const;
    // Makes DIR/comN a symbolic link to the slave, so that a TRELM_PORTS
    // directory DIR offers the device as COM N. DIR is created if missing;
    // an older symbolic link of that name is replaced, anything else is left
    // alone and reported as an error.
    bool linkInto(const std::string& dir, unsigned comNumber, std::string* error = nullptr);
    std::string linkPath() const;

    // True once a hang-up fault closed the line.
    bool hungUp() const;
    // Waits until a hang-up fault closed the line or the time is up.
    bool waitForHangUp(std::chrono::milliseconds timeout);

    // A partial frame is dropped when the line stays quiet this long.
    void setResyncAfter(std::chrono::milliseconds quiet);
    void setTrace(Trace trace);

private:
    void run();
    // Waits until the deadline; false when stop() asked the thread to end.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    // Writes all bytes to the master, paced at baud when it is not 0; the
    // first byte's bits start at notBefore or when the line is free.
    bool writeAnswer(std::span<const uint8_t> bytes, uint32_t baud,
                     std::chrono::steady_clock::time_point notBefore);
    void handleOpensAndCloses();
    void closeLine();
    void markHungUp();

    Device& device_;
    int master_ = -1;
    int slave_ = -1; // kept open so the master never sees the line vanish
    int watch_ = -1; // inotify descriptor watching opens and closes of the slave
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> running_{false};
    int clients_ = 0;
    std::chrono::milliseconds resyncAfter_{500};
    std::chrono::steady_clock::time_point inputClock_{};
    std::chrono::steady_clock::time_point outputClock_{};

    mutable std::mutex mutex_;
    std::condition_variable hangUpSignal_;
    bool hungUp_ = false;
    Trace trace_;
};

} // namespace devsim
