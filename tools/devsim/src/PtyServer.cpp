#include "devsim/PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace devsim {

namespace {

using Clock = std::chrono::steady_clock;

// The time n bytes take on a line of the given rate: ten bit times each
// (start bit, eight data bits, stop bit).
Clock::duration lineTime(std::size_t bytes, uint32_t baud) {
    const auto ns = static_cast<long double>(bytes) * 10.0L * 1e9L / baud;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(static_cast<long long>(ns)));
}

bool fail(std::string* error, const std::string& what) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(errno);
    }
    return false;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

PtyServer::PtyServer(Device& device) : device_(device) {}

PtyServer::~PtyServer() {
    stop();
}

bool PtyServer::start(std::string* error) {
    stop();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        return fail(error, "posix_openpt");
    }
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        const bool ok = fail(error, "preparing the pseudo-terminal");
        closeLine();
        return ok;
    }
    slavePath_ = name;
    // Holding the slave open keeps the line in place while no client has it
    // open: otherwise the master reads EIO between two clients.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        const bool ok = fail(error, "opening " + slavePath_);
        closeLine();
        return ok;
    }
    // Raw, and above all without echo: an echoing line would hand the
    // device's own answers back to it as requests.
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) {
        const bool ok = fail(error, "tcgetattr");
        closeLine();
        return ok;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL | CSTOPB);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0) {
        const bool ok = fail(error, "tcsetattr");
        closeLine();
        return ok;
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    // Opens and closes of the slave by clients are watched so that the
    // exclusive mode a client set (TIOCEXCL) ends with its last close, as it
    // does on a real serial port. Without inotify the server still works.
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && ::inotify_add_watch(watch_, name, IN_OPEN | IN_CLOSE) < 0) {
        closeFd(watch_);
    }

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        const bool ok = fail(error, "pipe2");
        closeLine();
        return ok;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    {
        std::lock_guard lock(mutex_);
        hungUp_ = false;
    }
    clients_ = 0;
    stopping_ = false;
    running_ = true;
    thread_ = std::thread(&PtyServer::run, this);
    return true;
}

void PtyServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(wakeWrite_, &byte, 1);
        thread_.join();
    }
    running_ = false;
    closeLine();
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
    if (!linkPath_.empty()) {
        std::error_code ec;
        if (std::filesystem::is_symlink(linkPath_, ec) &&
            std::filesystem::read_symlink(linkPath_, ec) == slavePath_) {
            std::filesystem::remove(linkPath_, ec);
        }
        linkPath_.clear();
    }
}

bool PtyServer::running() const {
    return running_;
}

std::string PtyServer::slavePath() const {
    return slavePath_;
}

std::string PtyServer::linkPath() const {
    return linkPath_;
}

bool PtyServer::linkInto(const std::string& dir, unsigned comNumber, std::string* error) {
    if (slavePath_.empty() || !running_) {
        if (error != nullptr) {
            *error = "the server is not running";
        }
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        if (error != nullptr) {
            *error = "cannot create " + dir + ": " + ec.message();
        }
        return false;
    }
    const fs::path link = fs::path(dir) / ("com" + std::to_string(comNumber));
    const auto state = fs::symlink_status(link, ec);
    if (fs::exists(state) && !fs::is_symlink(state)) {
        if (error != nullptr) {
            *error = link.string() + " exists and is not a symbolic link; left alone";
        }
        return false;
    }
    // Make the new link beside the old one and rename it over, so the port
    // never vanishes for a client that looks at the directory meanwhile.
    const fs::path temporary =
        fs::path(dir) / (".com" + std::to_string(comNumber) + ".new" + std::to_string(::getpid()));
    fs::remove(temporary, ec);
    if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), link.c_str()) != 0) {
        const bool ok = fail(error, "linking " + link.string());
        fs::remove(temporary, ec);
        return ok;
    }
    linkPath_ = link.string();
    return true;
}

bool PtyServer::hungUp() const {
    std::lock_guard lock(mutex_);
    return hungUp_;
}

bool PtyServer::waitForHangUp(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return hangUpSignal_.wait_for(lock, timeout, [this] { return hungUp_; });
}

void PtyServer::setResyncAfter(std::chrono::milliseconds quiet) {
    resyncAfter_ = quiet;
}

void PtyServer::setTrace(Trace trace) {
    std::lock_guard lock(mutex_);
    trace_ = std::move(trace);
}

void PtyServer::markHungUp() {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
    hangUpSignal_.notify_all();
}

void PtyServer::closeLine() {
    closeFd(watch_);
    closeFd(slave_);
    closeFd(master_);
}

bool PtyServer::waitUntil(Clock::time_point deadline) {
    // A sleeping thread wakes late: tens of microseconds after a short
    // sleep, up to about a millisecond when the processor went idle during a
    // long one (a long request on a slow paced line). A real device answers
    // on time, so the last millisecond before the deadline is spent yielding
    // instead of sleeping, and the emulator's own lateness does not show as
    // the client's overhead.
    constexpr auto kSpinTail = std::chrono::microseconds(1000);
    for (;;) {
        if (stopping_) {
            return false;
        }
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return true;
        }
        if (left <= kSpinTail) {
            std::this_thread::yield();
            continue;
        }
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(left - kSpinTail).count();
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd wake{wakeRead_, POLLIN, 0};
        if (::ppoll(&wake, 1, &ts, nullptr) > 0) {
            return false;
        }
    }
}

bool PtyServer::writeAnswer(std::span<const uint8_t> bytes, uint32_t baud,
                            Clock::time_point notBefore) {
    // Paced, the answer's bits start on the line when the line is free and
    // the request has arrived, counted on the line's own clock, so that the
    // time this thread took to wake up is not added to the line time.
    const auto start = baud != 0 ? std::max(outputClock_, notBefore) : Clock::now();
    // Bytes go out in batches of about half a millisecond of line time (a
    // UART's receive FIFO hands them over in groups, too); the last byte is
    // handed over as soon as its bits are complete.
    const std::size_t batch =
        baud != 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(baud) / 10 / 2000) : 1;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t allowed = bytes.size();
        if (baud != 0) {
            // A byte reaches the client only once all its bits are on the line.
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
            const auto done = elapsed <= 0
                                  ? 0
                                  : static_cast<std::size_t>(static_cast<long double>(elapsed) *
                                                             baud / 10.0L / 1e9L);
            allowed = std::min(bytes.size(), done);
            if (allowed <= sent) {
                const std::size_t target = std::min(bytes.size(), sent + batch);
                if (!waitUntil(start + lineTime(target, baud))) {
                    return false;
                }
                continue;
            }
        }
        const ssize_t n = ::write(master_, bytes.data() + sent, allowed - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd fds[2] = {{master_, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                return false;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                return false;
            }
            continue;
        }
        return false;
    }
    if (baud != 0) {
        outputClock_ = start + lineTime(bytes.size(), baud);
    }
    return true;
}

void PtyServer::handleOpensAndCloses() {
    alignas(inotify_event) char buffer[4096];
    bool closedToZero = false;
    for (;;) {
        const ssize_t n = ::read(watch_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_OPEN) != 0) {
                ++clients_;
            }
            if ((event->mask & IN_CLOSE) != 0) {
                clients_ = std::max(0, clients_ - 1);
                if (clients_ == 0) {
                    // A pseudo-terminal keeps its exclusive mode after the
                    // last client closed it while the master is open; a real
                    // port drops it, so drop it here too.
                    ::ioctl(slave_, TIOCNXCL);
                    closedToZero = true;
                }
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (closedToZero && clients_ == 0) {
        // Nobody has the port open: start the next client on a clean line.
        ::tcflush(slave_, TCIOFLUSH);
        device_.discardPartialFrame();
    }
}

void PtyServer::run() {
    // Line pacing waits for byte times of a few microseconds; the default
    // timer slack of 50 us would make every answer late by that much.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    std::vector<uint8_t> buffer(4096);
    inputClock_ = Clock::now();
    outputClock_ = inputClock_;
    while (!stopping_) {
        pollfd fds[3] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}, {watch_, POLLIN, 0}};
        const nfds_t count = watch_ >= 0 ? 3 : 2;
        const int timeout =
            device_.pendingBytes() > 0 ? static_cast<int>(resyncAfter_.count()) : -1;
        const int ready = ::poll(fds, count, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (ready == 0) {
            // The line went quiet inside a frame: the rest is not coming.
            device_.discardPartialFrame();
            continue;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            break;
        }
        if (count == 3 && (fds[2].revents & POLLIN) != 0) {
            handleOpensAndCloses();
        }
        if ((fds[0].revents & POLLIN) == 0) {
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0 &&
                !waitUntil(Clock::now() + std::chrono::milliseconds(10))) {
                break;
            }
            continue;
        }
        const ssize_t n = ::read(master_, buffer.data(), buffer.size());
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                break;
            }
            continue;
        }
        const auto bytes = static_cast<std::size_t>(n);
        const uint32_t lineBaud = device_.config().lineBaud;
        Clock::time_point arrived = Clock::now();
        if (lineBaud != 0) {
            // The request reaches the device only as fast as the line carries it.
            inputClock_ = std::max(inputClock_, Clock::now()) + lineTime(bytes, lineBaud);
            if (!waitUntil(inputClock_)) {
                break;
            }
            arrived = inputClock_;
        }
        bool stop = false;
        for (const Exchange& ex : device_.receive(std::span(buffer.data(), bytes))) {
            Trace trace;
            {
                std::lock_guard lock(mutex_);
                trace = trace_;
            }
            if (ex.hangUp) {
                closeLine();
                if (trace) {
                    trace(ex);
                }
                running_ = false; // before the signal: a waiter sees the line down
                markHungUp();
                return;
            }
            Clock::time_point notBefore = arrived;
            if (ex.delayMs != 0) {
                notBefore = Clock::now() + std::chrono::milliseconds(ex.delayMs);
                if (!waitUntil(notBefore)) {
                    stop = true;
                    break;
                }
            }
            if (!writeAnswer(ex.answer, ex.baud != 0 ? ex.baud : lineBaud, notBefore)) {
                stop = true;
                break;
            }
            if (trace) {
                trace(ex);
            }
        }
        if (stop) {
            break;
        }
    }
    running_ = false;
}

} // namespace devsim
