// bench_fleet: what loading several devices at once costs against loading one.
// 1, 2 and 4 emulators with their lines paced at 115200 baud share one
// TRELM_PORTS folder; trelmctl puts a 65535-byte file to all of them in one
// command (one worker process per device). Shown: the median elapsed time of
// the runs and its ratio to one device.
//
//   bench_fleet [--repeat N] [--baud RATE] [--devices N]...
#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef TRELMCTL_PATH
#define TRELMCTL_PATH "trelmctl"
#endif

namespace {

struct Options {
    int repeat = 3;
    uint32_t baud = 115200;
    std::vector<int> devices;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const long value = std::strtol(argv[++i], nullptr, 10);
        if (value <= 0) {
            return false;
        }
        if (arg == "--repeat") {
            options.repeat = static_cast<int>(value);
        } else if (arg == "--baud") {
            options.baud = static_cast<uint32_t>(value);
        } else if (arg == "--devices" && value <= 255) {
            options.devices.push_back(static_cast<int>(value));
        } else {
            return false;
        }
    }
    if (options.devices.empty()) {
        options.devices = {1, 2, 4};
    }
    return true;
}

struct Emulator {
    devsim::Device device;
    devsim::PtyServer server{device};
};

// Runs trelmctl with `args`, standard output to /dev/null; its exit status.
int RunTool(const std::vector<std::string>& args) {
    std::vector<std::string> text = {TRELMCTL_PATH};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : text) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::fflush(stdout); // the child must not write this process's buffered lines again
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench_fleet [--repeat N] [--baud RATE] [--devices N]...\n");
        return 2;
    }
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("bench-fleet-" + std::to_string(::getpid()));
    const std::filesystem::path portsDir = root / "ports";
    std::filesystem::create_directories(portsDir);
    const std::filesystem::path file = root / "load.bin";
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 65535; ++i) {
            out.put(static_cast<char>((i * 7 + i / 256) & 0xFF));
        }
    }
    ::setenv("TRELM_PORTS", portsDir.c_str(), 1);

    const int most = *std::max_element(options.devices.begin(), options.devices.end());
    std::vector<std::unique_ptr<Emulator>> emulators;
    for (int n = 1; n <= most; ++n) {
        auto emulator = std::make_unique<Emulator>();
        emulator->device.setLineBaud(options.baud);
        std::string error;
        if (!emulator->server.start(&error) ||
            !emulator->server.linkInto(portsDir.string(), static_cast<unsigned>(n), &error)) {
            std::fprintf(stderr, "bench_fleet: emulator: %s\n", error.c_str());
            return 1;
        }
        emulators.push_back(std::move(emulator));
    }

    std::printf("put of 65535 bytes at %u baud, median of %d runs\n", options.baud, options.repeat);
    std::printf("%8s %12s %10s\n", "devices", "elapsed s", "ratio");
    double one = 0.0;
    for (int count : options.devices) {
        std::string ports;
        for (int n = 1; n <= count; ++n) {
            ports += (n == 1 ? "" : ",") + std::to_string(n);
        }
        std::vector<double> runs;
        for (int r = 0; r < options.repeat; ++r) {
            for (auto& emulator : emulators) {
                emulator->device.clearFiles();
            }
            const auto start = std::chrono::steady_clock::now();
            const int status = RunTool({"--quiet", "--port", ports, "put", file.string()});
            runs.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            if (status != 0) {
                std::fprintf(stderr, "bench_fleet: trelmctl ended with %d\n", status);
                return 1;
            }
            for (int n = 0; n < count; ++n) {
                if (!emulators[static_cast<std::size_t>(n)]->device.file("load.bin")) {
                    std::fprintf(stderr, "bench_fleet: COM%d has no file\n", n + 1);
                    return 1;
                }
            }
        }
        std::sort(runs.begin(), runs.end());
        const double median = runs[runs.size() / 2];
        if (count == 1 || one == 0.0) {
            one = count == 1 ? median : one;
        }
        std::printf("%8d %12.2f %10s\n", count, median,
                    one > 0.0 ? (std::to_string(median / one).substr(0, 4) + "x").c_str() : "-");
    }
    for (auto& emulator : emulators) {
        emulator->server.stop();
    }
    std::filesystem::remove_all(root);
    return 0;
}
