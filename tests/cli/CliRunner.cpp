#include "CliRunner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cli::test {

std::vector<std::string> CliResult::OutLines() const {
    std::vector<std::string> lines;
    std::istringstream stream(out);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

CliRunner::CliRunner() {
    // A clean start: no trace and no diagnostics unless a test asks.
    SetEnv("TRELM_TRACE", std::nullopt);
    SetEnv("TRELM_DEBUG", std::nullopt);
}

CliRunner::~CliRunner() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) {
        ::close(m_out);
    }
    if (m_err >= 0) {
        ::close(m_err);
    }
}

CliResult CliRunner::Run(const std::vector<std::string>& args) {
    Start(args);
    return Finish();
}

void CliRunner::Start(const std::vector<std::string>& args) {
    // Everything the child needs is prepared before fork().
    std::vector<std::string> argvText = {TRELMCTL_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    std::map<std::string, std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::size_t eq = text.find('=');
        if (eq != std::string::npos) {
            env[text.substr(0, eq)] = text.substr(eq + 1);
        }
    }
    for (const auto& [name, value] : m_env) {
        if (value) {
            env[name] = *value;
        } else {
            env.erase(name);
        }
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : env) {
        envText.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : envText) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    m_result = {};
    m_pid = ::fork();
    if (m_pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (m_pid == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
        }
        if (!m_cwd.empty() && ::chdir(m_cwd.c_str()) != 0) {
            ::_exit(126);
        }
        if (m_uid && m_gid) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(*m_gid) != 0 || ::setuid(*m_uid) != 0) {
                ::_exit(126);
            }
        }
        // The test runner may have blocked or ignored signals; start clean.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGINT, SIG_DFL);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    m_out = outPipe[0];
    m_err = errPipe[0];
}

void CliRunner::Pump(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(wait.count()));
    if (ready <= 0) {
        return;
    }
    char buffer[4096];
    int* ends[2] = {&m_out, &m_err};
    std::string* texts[2] = {&m_result.out, &m_result.err};
    for (int i = 0; i < 2; ++i) {
        if (*ends[i] < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        const ssize_t n = ::read(*ends[i], buffer, sizeof buffer);
        if (n > 0) {
            texts[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(*ends[i]);
            *ends[i] = -1;
        }
    }
}

bool CliRunner::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout,
                              std::size_t times) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::size_t lastLineEnd = m_result.out.rfind('\n');
        std::size_t seen = 0;
        if (lastLineEnd != std::string::npos) {
            const std::string lines = m_result.out.substr(0, lastLineEnd);
            for (std::size_t at = lines.find(text); at != std::string::npos;
                 at = lines.find(text, at + 1)) {
                ++seen;
            }
        }
        if (seen >= times) {
            return true;
        }
        if (m_out < 0) {
            return false;
        }
        Pump(std::chrono::milliseconds(20));
    }
    return false;
}

void CliRunner::Signal(int signal) const {
    if (m_pid > 0) {
        ::kill(m_pid, signal);
    }
}

CliResult CliRunner::Finish(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while ((m_out >= 0 || m_err >= 0) && std::chrono::steady_clock::now() < deadline) {
        Pump(std::chrono::milliseconds(50));
    }
    if (m_pid > 0) {
        int status = 0;
        if (m_out >= 0 || m_err >= 0) {
            ::kill(m_pid, SIGKILL); // it outlived the time-out
        }
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return m_result;
}

} // namespace cli::test
