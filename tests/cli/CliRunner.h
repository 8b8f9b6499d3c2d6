// Runs trelmctl as a child process, the way a script or a terminal user does:
// arguments, a working folder, environment overrides, and optionally another
// user. Standard output and standard error are captured; a running child can
// be watched line by line and sent signals.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cli::test {

struct CliResult {
    int exitStatus = -1; // the exit status, or -1 when the child died by a signal
    std::string out;
    std::string err;

    std::vector<std::string> OutLines() const;
};

class CliRunner {
public:
    CliRunner();
    ~CliRunner();
    CliRunner(const CliRunner&) = delete;
    CliRunner& operator=(const CliRunner&) = delete;

    // The folder the child starts in.
    void SetWorkingDirectory(std::string dir) { m_cwd = std::move(dir); }
    // Sets (or, with nullopt, removes) a variable in the child's environment.
    void SetEnv(const std::string& name, std::optional<std::string> value) {
        m_env[name] = std::move(value);
    }
    // The child drops to this user and group before it starts (needs root).
    void RunAs(uid_t uid, gid_t gid) {
        m_uid = uid;
        m_gid = gid;
    }

    // Runs to the end.
    CliResult Run(const std::vector<std::string>& args);

    // Starts the child and returns at once.
    void Start(const std::vector<std::string>& args);
    // Waits until complete lines of standard output contain `text` `times` times; false
    // on time-out or when the child ended first.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout,
                       std::size_t times = 1);
    void Signal(int signal) const;
    // What the running child wrote so far.
    const CliResult& Peek() const { return m_result; }
    // Waits for the child to end and collects the rest of its output.
    CliResult Finish(std::chrono::milliseconds timeout = std::chrono::seconds(90));

private:
    // Reads what is available on both pipes, waiting up to `wait`.
    void Pump(std::chrono::milliseconds wait);

    std::string m_cwd;
    std::map<std::string, std::optional<std::string>> m_env;
    std::optional<uid_t> m_uid;
    std::optional<gid_t> m_gid;

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    CliResult m_result;
};

} // namespace cli::test
