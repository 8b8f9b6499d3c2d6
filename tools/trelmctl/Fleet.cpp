#include "Fleet.h"

#include "CancelSignal.h"
#include "DeviceCommands.h"
#include "JsonLine.h"
#include "ProgressBar.h"
#include "Reporter.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <trelm.h>
#include <unistd.h>

namespace trelmctl {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string PortLabel(unsigned number) {
    return "COM" + std::to_string(number);
}

// The object with "port": N after its "type" field; an object that already
// names its port (info) is left as it is.
std::string WithPort(const std::string& object, unsigned number) {
    const std::string typeStart = "{\"type\":\"";
    if (object.compare(0, typeStart.size(), typeStart) != 0 ||
        object.find(",\"port\":") != std::string::npos) {
        return object;
    }
    const std::size_t typeEnd = object.find('"', typeStart.size());
    if (typeEnd == std::string::npos) {
        return object;
    }
    return object.substr(0, typeEnd + 1) + ",\"port\":" + std::to_string(number) +
           object.substr(typeEnd + 1);
}

int TerminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20) {
        return size.ws_col;
    }
    return 80;
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

Fleet::Fleet(const CommandLine& line, bool drawBars) : m_line(line), m_drawBars(drawBars) {}

Fleet::~Fleet() {
    Wait();
}

std::string Fleet::StatusName(int status) {
    return status == Reporter::kUsageExit ? "TRELMCTL_USAGE"
                                          : Reporter::ResultName(static_cast<uint32_t>(status));
}

void Fleet::Start(const Target& target) {
    int pipes[3][2];
    for (auto& ends : pipes) {
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            m_outcomes.push_back({target.number, TRELM_ERROR_UNKNOWN,
                                  std::string("cannot start a worker: ") + std::strerror(errno)});
            m_ended.push_back(m_outcomes.back());
            return;
        }
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const Worker& other : m_workers) {
            for (int fd : other.fds) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        }
        for (auto& ends : pipes) {
            ::close(ends[0]);
        }
        RunWorker(target, pipes[0][1], pipes[1][1], pipes[2][1]);
    }
    for (auto& ends : pipes) {
        ::close(ends[1]);
    }
    if (pid < 0) {
        for (auto& ends : pipes) {
            ::close(ends[0]);
        }
        m_outcomes.push_back({target.number, TRELM_ERROR_UNKNOWN,
                              std::string("cannot start a worker: ") + std::strerror(errno)});
        m_ended.push_back(m_outcomes.back());
        return;
    }
    Worker worker;
    worker.pid = pid;
    worker.number = target.number;
    for (int i = 0; i < 3; ++i) {
        worker.fds[i] = pipes[i][0];
    }
    m_workers.push_back(std::move(worker));
}

void Fleet::RunWorker(const Target& target, int outFd, int errFd, int progressFd) {
    // Its own process group: Ctrl-C on the terminal reaches this process
    // only, which passes one stop on to every worker. The worker also stops
    // when this process dies.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    ::close(outFd);
    ::close(errFd);
    CancelSignal::Install();
    if (!target.portsDir.empty()) {
        ::setenv("TRELM_PORTS", target.portsDir.c_str(), 1);
    }
    CommandLine line = m_line;
    line.port = target.number;
    line.portItems.clear();
    line.portAll = false;
    line.watch = false;
    if (m_line.perPortFolders) {
        line.portFolder = PortLabel(target.number);
    } else {
        line.sharedFolder = true;
    }
    Reporter reporter(line.json, line.quiet);
    ProgressBar bar = m_drawBars ? ProgressBar::Feeding(progressFd) : ProgressBar(false);
    DeviceCommands(line, reporter, bar).Run();
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(reporter.ExitStatus());
}

void Fleet::WriteOut(const std::string& text, bool error) {
    EraseBars();
    WriteAll(error ? STDERR_FILENO : STDOUT_FILENO, text);
}

void Fleet::Say(unsigned number, const std::string& text, bool error) {
    WriteOut(PortLabel(number) + ": " + text + "\n", error);
    DrawBars();
}

void Fleet::Note(const std::string& text) {
    WriteOut(text + "\n", true);
    DrawBars();
}

void Fleet::SayJson(const std::string& object) {
    WriteOut(object + "\n", false);
    DrawBars();
}

void Fleet::Line(Worker& worker, int which, const std::string& text) {
    if (which == 2) {
        // Progress: "DONE TOTAL LABEL" or "-" for a cleared bar.
        Bar& bar = worker.bar;
        if (text == "-") {
            bar.active = false;
            return;
        }
        unsigned long long done = 0;
        unsigned long long total = 0;
        int used = 0;
        if (std::sscanf(text.c_str(), "%llu %llu %n", &done, &total, &used) < 2) {
            return;
        }
        const std::string label = text.substr(static_cast<std::size_t>(used));
        if (!bar.active || label != bar.label) {
            bar.start = std::chrono::steady_clock::now();
        }
        bar.active = true;
        bar.done = done;
        bar.total = total;
        bar.label = label;
        return;
    }
    if (which == 0 && m_line.json) {
        WriteOut(WithPort(text, worker.number) + "\n", false);
    } else {
        WriteOut(PortLabel(worker.number) + ": " + text + "\n", which == 1);
    }
}

void Fleet::Read(Worker& worker, int which) {
    char buffer[4096];
    const ssize_t n = ::read(worker.fds[which], buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    std::string& pending = worker.pending[which];
    if (n <= 0) {
        if (!pending.empty()) {
            Line(worker, which, pending);
            pending.clear();
        }
        ::close(worker.fds[which]);
        worker.fds[which] = -1;
        return;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end = pending.find('\n'); end != std::string::npos;
         end = pending.find('\n', start)) {
        Line(worker, which, pending.substr(start, end - start));
        start = end + 1;
    }
    pending.erase(0, start);
}

void Fleet::ForwardStop() {
    const int count = CancelSignal::Count();
    if (count <= m_stopsForwarded) {
        return;
    }
    // The first stop lets every worker finish or cancel its file cleanly; a
    // second one ends the workers at once, as it would a single run.
    for (int i = m_stopsForwarded; i < std::min(count, 2); ++i) {
        for (Worker& worker : m_workers) {
            ::kill(worker.pid, SIGTERM);
            worker.stopSent = true;
        }
    }
    m_stopsForwarded = count;
}

void Fleet::Reap() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        Worker& worker = *it;
        if (worker.fds[0] >= 0 || worker.fds[1] >= 0 || worker.fds[2] >= 0) {
            ++it;
            continue;
        }
        // Its output has ended; the process may still be closing its port.
        int status = 0;
        const pid_t done = ::waitpid(worker.pid, &status, WNOHANG);
        if (done == 0 || (done < 0 && errno == EINTR)) {
            ++it;
            continue;
        }
        Outcome outcome;
        outcome.number = worker.number;
        if (WIFEXITED(status)) {
            outcome.status = WEXITSTATUS(status);
        } else {
            const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            outcome.status = TRELM_ERROR_UNKNOWN;
            outcome.message = "the worker ended by signal " + std::to_string(signal) + " (" +
                              strsignal(signal) + ")";
            Say(worker.number, "trelmctl: " + m_line.commandName + ": " + outcome.message, true);
        }
        m_outcomes.push_back(outcome);
        m_ended.push_back(outcome);
        it = m_workers.erase(it);
    }
}

bool Fleet::Serve(int waitMs, const std::vector<int>& extraFds) {
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, int>> owners;
    for (std::size_t w = 0; w < m_workers.size(); ++w) {
        for (int i = 0; i < 3; ++i) {
            if (m_workers[w].fds[i] >= 0) {
                fds.push_back({m_workers[w].fds[i], POLLIN, 0});
                owners.emplace_back(w, i);
            }
        }
    }
    for (int fd : extraFds) {
        fds.push_back({fd, POLLIN, 0});
    }
    ForwardStop();
    // Bars are redrawn while the workers run; the wait never outlasts a redraw.
    int timeout = waitMs;
    const bool redraw = m_drawBars && !m_workers.empty();
    // A worker whose output ended but that has not exited yet is looked at again soon.
    bool exiting = false;
    for (const Worker& worker : m_workers) {
        exiting = exiting || (worker.fds[0] < 0 && worker.fds[1] < 0 && worker.fds[2] < 0);
    }
    if ((redraw || exiting) && (timeout < 0 || timeout > 100)) {
        timeout = exiting ? 20 : 100;
    }
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    bool extraReady = false;
    if (ready > 0) {
        for (std::size_t k = 0; k < owners.size(); ++k) {
            if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                Read(m_workers[owners[k].first], owners[k].second);
            }
        }
        for (std::size_t k = owners.size(); k < fds.size(); ++k) {
            extraReady = extraReady || (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        }
    }
    ForwardStop();
    Reap();
    DrawBars();
    return extraReady;
}

void Fleet::Wait() {
    while (Busy()) {
        Serve(-1);
    }
    EraseBars();
}

std::vector<Fleet::Outcome> Fleet::TakeEnded() {
    std::vector<Outcome> ended;
    ended.swap(m_ended);
    return ended;
}

void Fleet::EraseBars() {
    if (m_barLinesDrawn > 0) {
        WriteAll(STDERR_FILENO, "\033[" + std::to_string(m_barLinesDrawn) + "A\033[J");
        m_barLinesDrawn = 0;
    }
}

void Fleet::DrawBars() {
    if (!m_drawBars) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    std::vector<const Worker*> shown;
    for (const Worker& worker : m_workers) {
        if (worker.bar.active) {
            shown.push_back(&worker);
        }
    }
    if (m_barLinesDrawn == static_cast<int>(shown.size()) && m_barLinesDrawn > 0 &&
        now - m_lastDraw < kRedrawInterval) {
        return;
    }
    std::sort(shown.begin(), shown.end(),
              [](const Worker* a, const Worker* b) { return a->number < b->number; });
    const int width = TerminalWidth();
    std::string text;
    if (m_barLinesDrawn > 0) {
        text = "\033[" + std::to_string(m_barLinesDrawn) + "A\033[J";
    }
    for (const Worker* worker : shown) {
        const Bar& bar = worker->bar;
        const double elapsed = std::chrono::duration<double>(now - bar.start).count();
        text += ProgressBar::Render(PortLabel(worker->number) + " " + bar.label, bar.done,
                                    bar.total, elapsed, width) +
                "\n";
    }
    WriteAll(STDERR_FILENO, text);
    m_barLinesDrawn = static_cast<int>(shown.size());
    m_lastDraw = now;
}

int Fleet::Finish() {
    Wait();
    std::vector<Outcome> outcomes = m_outcomes;
    std::stable_sort(outcomes.begin(), outcomes.end(),
                     [](const Outcome& a, const Outcome& b) { return a.number < b.number; });
    int exitStatus = 0;
    std::size_t failed = 0;
    std::string failedText;
    std::string failures = "[";
    for (const Outcome& outcome : outcomes) {
        if (outcome.status == 0) {
            continue;
        }
        if (exitStatus == 0) {
            exitStatus = outcome.status;
        }
        const std::string name = StatusName(outcome.status);
        JsonLine entry("failure");
        entry.Add("port", outcome.number)
            .Add("name", PortLabel(outcome.number))
            .Add("result", outcome.status)
            .Add("resultName", name);
        if (!outcome.message.empty()) {
            entry.Add("message", outcome.message);
        }
        // The entries of the list are the objects without their "type".
        const std::string object = entry.Text();
        failures += (failed == 0 ? "{" : ",{") + object.substr(object.find(',') + 1);
        failedText += (failed == 0 ? "" : ", ") + PortLabel(outcome.number) + " " + name +
                      " (code " + std::to_string(outcome.status) + ")";
        ++failed;
    }
    failures += "]";
    const std::size_t devices = outcomes.size();
    if (m_line.json) {
        JsonLine summary("summary");
        summary.Add("command", m_line.commandName)
            .Add("devices", static_cast<int64_t>(devices))
            .Add("succeeded", static_cast<int64_t>(devices - failed))
            .Add("failed", static_cast<int64_t>(failed))
            .AddRaw("failures", failures)
            .Add("exitStatus", exitStatus);
        SayJson(summary.Text());
    } else if (!m_line.quiet || failed > 0) {
        std::string text = m_line.commandName + ": " + std::to_string(devices) +
                           (devices == 1 ? " device, " : " devices, ") +
                           std::to_string(devices - failed) + " succeeded, " +
                           std::to_string(failed) + " failed";
        if (failed > 0) {
            text += ": " + failedText;
        }
        WriteOut(text + "\n", false);
    }
    return exitStatus;
}

} // namespace trelmctl
