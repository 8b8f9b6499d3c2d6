// One device command on several devices at the same time. The library holds
// one session per process, so every device gets a worker process of its own
// (a fork of this one); a worker that fails, hangs or crashes never stops the
// others. This process reads the workers' output and passes it on whole
// lines at a time, each with its port first ("COM3: ..."; with --json the
// object gains "port": 3), draws one progress bar per device on a terminal,
// and ends the run with a summary.
#pragma once

#include "CommandLine.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace trelmctl {

class Fleet {
public:
    // Where one worker runs the command.
    struct Target {
        unsigned number = 0;  // the COM number the worker opens
        std::string portsDir; // a private port map for the worker; empty: the one in force
    };

    // How one device's run ended.
    struct Outcome {
        unsigned number = 0;
        int status = 0;      // the worker's exit status: 0 or a result code
        std::string message; // set when the worker did not end by itself
    };

    Fleet(const CommandLine& line, bool drawBars);
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Starts a worker running the command on `target`.
    void Start(const Target& target);
    // Whether workers are still running.
    bool Busy() const { return !m_workers.empty(); }
    // Passes on the workers' output for up to `waitMs` milliseconds (-1: until
    // a worker ends or one of `extraFds` becomes readable). Passes a stop
    // signal on to the workers. True when one of `extraFds` is readable.
    bool Serve(int waitMs, const std::vector<int>& extraFds = {});
    // Serves until every worker has ended.
    void Wait();
    // The outcomes of the workers that ended since the last call.
    std::vector<Outcome> TakeEnded();

    // A line of this process's own, with the port first (standard error when
    // `error`), kept clear of the progress bars.
    void Say(unsigned number, const std::string& text, bool error);
    // A line of this process's own without a port, on standard error.
    void Note(const std::string& text);
    // A JSON object of this process's own (one line), on standard output.
    void SayJson(const std::string& object);

    // Writes the summary over every outcome so far and returns the exit
    // status: 0 when every device succeeded, otherwise the status of the first
    // failed device in port order.
    int Finish();

    // "TRELM_ERROR_COMM_FAILED" for a worker's status, also for the tool's own.
    static std::string StatusName(int status);

private:
    struct Bar {
        bool active = false;
        uint64_t done = 0;
        uint64_t total = 0;
        std::string label;
        std::chrono::steady_clock::time_point start;
    };

    struct Worker {
        pid_t pid = -1;
        unsigned number = 0;
        int fds[3] = {-1, -1, -1}; // standard output, standard error, progress
        std::string pending[3];
        Bar bar;
        bool stopSent = false;
    };

    [[noreturn]] void RunWorker(const Target& target, int outFd, int errFd, int progressFd);
    void Read(Worker& worker, int which);
    void Line(Worker& worker, int which, const std::string& text);
    void Reap();
    void ForwardStop();
    void WriteOut(const std::string& text, bool error);
    void EraseBars();
    void DrawBars();

    const CommandLine& m_line;
    bool m_drawBars;
    std::vector<Worker> m_workers;
    std::vector<Outcome> m_outcomes;
    std::vector<Outcome> m_ended;
    int m_stopsForwarded = 0;
    int m_barLinesDrawn = 0;
    std::chrono::steady_clock::time_point m_lastDraw;
};

} // namespace trelmctl
