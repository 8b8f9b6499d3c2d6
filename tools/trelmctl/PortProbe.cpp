#include "PortProbe.h"

#include "CancelSignal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <trelm.h>
#include <unistd.h>

namespace trelmctl {

PortProbe::~PortProbe() {
    StopAll();
}

void PortProbe::Start(unsigned number, const std::string& portsDir) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ends[0]);
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        if (!portsDir.empty()) {
            ::setenv("TRELM_PORTS", portsDir.c_str(), 1);
        }
        uint32_t info1 = 0;
        uint32_t info2 = 0;
        uint32_t result = TRELM_Init(number, m_mode.empty() ? nullptr : m_mode.c_str());
        if (result == TRELM_OK) {
            result = TRELM_GetConnectedDeviceInfo(&info1, &info2);
        }
        char text[64];
        const int length = std::snprintf(text, sizeof text, "%u %u %u\n", result, info1, info2);
        [[maybe_unused]] const ssize_t written =
            ::write(ends[1], text, static_cast<std::size_t>(length));
        ::_exit(0);
    }
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        return;
    }
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    m_probes.push_back({pid, number, ends[0], {}});
}

bool PortProbe::Running(unsigned number) const {
    for (const Probe& probe : m_probes) {
        if (probe.number == number) {
            return true;
        }
    }
    return false;
}

std::vector<int> PortProbe::Descriptors() const {
    std::vector<int> fds;
    for (const Probe& probe : m_probes) {
        if (probe.fd >= 0) {
            fds.push_back(probe.fd);
        }
    }
    return fds;
}

std::vector<PortProbe::Answer> PortProbe::TakeEnded() {
    std::vector<Answer> ended;
    for (auto it = m_probes.begin(); it != m_probes.end();) {
        Probe& probe = *it;
        while (probe.fd >= 0) {
            char buffer[128];
            const ssize_t n = ::read(probe.fd, buffer, sizeof buffer);
            if (n > 0) {
                probe.text.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                ::close(probe.fd);
                probe.fd = -1;
            }
            break;
        }
        // The answer counts once the process has gone: only then has it let
        // go of the port, which a worker may open next.
        if (probe.fd >= 0 || ::waitpid(probe.pid, nullptr, WNOHANG) == 0) {
            ++it;
            continue;
        }
        Answer answer;
        answer.number = probe.number;
        answer.result = TRELM_ERROR_UNKNOWN; // a probe that died says nothing
        unsigned result = 0;
        unsigned info1 = 0;
        unsigned info2 = 0;
        if (std::sscanf(probe.text.c_str(), "%u %u %u", &result, &info1, &info2) == 3) {
            answer.result = result;
            answer.info1 = info1;
            answer.info2 = info2;
        }
        ended.push_back(answer);
        it = m_probes.erase(it);
    }
    return ended;
}

bool PortProbe::Exiting() const {
    for (const Probe& probe : m_probes) {
        if (probe.fd < 0) {
            return true;
        }
    }
    return false;
}

void PortProbe::StopAll() {
    for (Probe& probe : m_probes) {
        ::kill(probe.pid, SIGKILL);
        if (probe.fd >= 0) {
            ::close(probe.fd);
        }
        while (::waitpid(probe.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    m_probes.clear();
}

std::vector<PortProbe::Answer> PortProbe::ProbeAll(const std::vector<unsigned>& numbers,
                                                   const std::string& mode) {
    PortProbe probes(mode);
    for (unsigned number : numbers) {
        probes.Start(number);
    }
    std::vector<Answer> answers;
    while (probes.Busy() && !CancelSignal::Requested()) {
        std::vector<pollfd> fds;
        for (int fd : probes.Descriptors()) {
            fds.push_back({fd, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), probes.Exiting() ? 20 : -1);
        for (const Answer& answer : probes.TakeEnded()) {
            answers.push_back(answer);
        }
    }
    std::vector<Answer> ordered;
    for (unsigned number : numbers) {
        for (const Answer& answer : answers) {
            if (answer.number == number) {
                ordered.push_back(answer);
            }
        }
    }
    return ordered;
}

} // namespace trelmctl
