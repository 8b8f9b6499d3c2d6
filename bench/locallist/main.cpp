// bench_locallist: the local file list on a folder of many files, on Qt's
// offscreen platform: the time to list the folder and to sort the rows by
// each column, in normal and in service mode.
//
//   bench_locallist [--files N] [--repeat N]
#include "LocalListBench.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    int files = 10000;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc) {
            files = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_locallist [--files N] [--repeat N]\n");
            return 2;
        }
    }
    if (files <= 0 || repeat <= 0) {
        std::fprintf(stderr, "bench_locallist: --files and --repeat take positive numbers\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    LocalListBench bench(files);
    if (!bench.IsReady()) {
        std::fprintf(stderr, "bench_locallist: cannot prepare the folder of %d files\n", files);
        return 1;
    }
    std::printf("Folder of %d files, median of %d runs\n", files, repeat);
    std::printf("%-48s %8s %10s\n", "step", "rows", "seconds");
    for (const bool service : {false, true}) {
        for (const LocalListBench::Timing& t : bench.Run(service, repeat)) {
            std::printf("%-48s %8d %10.3f\n", qPrintable(t.what), t.rows, t.seconds);
        }
    }
    return 0;
}
