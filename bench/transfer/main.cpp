// bench_transfer: how close copies and listings come to what the serial line
// allows. Each case runs against the in-process device emulator with its line
// paced at the given rate; the wire time is the bytes the emulator counted
// on the line (both directions) x 10 / baud, and efficiency = wire time /
// elapsed time. Unpaced runs give the library's and the emulator's own cost
// per request/reply exchange.
//
//   bench_transfer [--repeat N] [--baud RATE]... [--unpaced-repeat N] [--only to|from|list]
//
// Each paced case runs N times (default 3); the median elapsed time is shown,
// with the efficiency of the slowest and the fastest run.
#include "TransferBench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
    int repeat = 3;
    int unpacedRepeat = 5;
    std::vector<uint32_t> bauds;
    std::string only; // "to", "from" or "list": run just that operation
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--repeat" || arg == "--unpaced-repeat" || arg == "--baud") && i + 1 < argc) {
            const long value = std::strtol(argv[++i], nullptr, 10);
            if (value <= 0) {
                return false;
            }
            if (arg == "--repeat") {
                options.repeat = static_cast<int>(value);
            } else if (arg == "--unpaced-repeat") {
                options.unpacedRepeat = static_cast<int>(value);
            } else {
                options.bauds.push_back(static_cast<uint32_t>(value));
            }
        } else if (arg == "--only" && i + 1 < argc) {
            options.only = argv[++i];
            if (options.only != "to" && options.only != "from" && options.only != "list") {
                return false;
            }
        } else {
            return false;
        }
    }
    if (options.bauds.empty()) {
        options.bauds = {115200, 921600};
    }
    return true;
}

// Runs a case `times` times and returns the runs with the median, the
// shortest and the longest elapsed time.
bool Median(TransferBench& bench, TransferBench::Operation operation, uint32_t baud, int times,
            Measurement& median, Measurement* fastest = nullptr, Measurement* slowest = nullptr) {
    std::vector<Measurement> runs;
    for (int i = 0; i < times; ++i) {
        Measurement m;
        std::string error;
        if (!bench.Run(operation, baud, m, error)) {
            std::fprintf(stderr, "bench_transfer: %s at %u baud: %s\n",
                         TransferBench::Name(operation).c_str(), baud, error.c_str());
            return false;
        }
        runs.push_back(m);
    }
    std::sort(runs.begin(), runs.end(), [](const Measurement& a, const Measurement& b) {
        return a.elapsedSeconds < b.elapsedSeconds;
    });
    median = runs[runs.size() / 2];
    if (fastest != nullptr) {
        *fastest = runs.front();
    }
    if (slowest != nullptr) {
        *slowest = runs.back();
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench_transfer [--repeat N] [--unpaced-repeat N] "
                             "[--baud RATE]... [--only to|from|list]\n");
        return 2;
    }
    TransferBench bench;
    std::string error;
    if (!bench.Start(error)) {
        std::fprintf(stderr, "bench_transfer: %s\n", error.c_str());
        return 1;
    }
    std::vector<TransferBench::Operation> operations;
    if (options.only.empty() || options.only == "to") {
        operations.push_back(TransferBench::Operation::CopyToDevice);
    }
    if (options.only.empty() || options.only == "from") {
        operations.push_back(TransferBench::Operation::CopyFromDevice);
    }
    if (options.only.empty() || options.only == "list") {
        operations.push_back(TransferBench::Operation::ListFiles);
    }
    bool ok = true;

    std::printf("Paced line (median of %d runs)\n", options.repeat);
    std::printf("%-31s %8s %10s %10s %10s %10s %11s %13s\n", "case", "baud", "exchanges", "bytes",
                "elapsed s", "wire s", "efficiency", "(worst-best)");
    for (const uint32_t baud : options.bauds) {
        for (const auto operation : operations) {
            Measurement m;
            Measurement fastest;
            Measurement slowest;
            if (!Median(bench, operation, baud, options.repeat, m, &fastest, &slowest)) {
                ok = false;
                continue;
            }
            std::printf("%-31s %8u %10llu %10llu %10.3f %10.3f %11.3f  (%.3f-%.3f)\n",
                        m.operation.c_str(), m.baud, static_cast<unsigned long long>(m.exchanges),
                        static_cast<unsigned long long>(m.lineBytes), m.elapsedSeconds,
                        m.WireSeconds(), m.Efficiency(), slowest.Efficiency(),
                        fastest.Efficiency());
        }
    }

    std::printf("\nUnpaced line (median of %d runs)\n", options.unpacedRepeat);
    std::printf("%-31s %10s %10s %22s\n", "case", "exchanges", "elapsed s", "us per exchange");
    for (const auto operation : operations) {
        Measurement m;
        if (!Median(bench, operation, 0, options.unpacedRepeat, m)) {
            ok = false;
            continue;
        }
        std::printf("%-31s %10llu %10.4f %22.1f\n", m.operation.c_str(),
                    static_cast<unsigned long long>(m.exchanges), m.elapsedSeconds,
                    m.OverheadPerExchangeMicros());
    }
    return ok ? 0 : 1;
}
