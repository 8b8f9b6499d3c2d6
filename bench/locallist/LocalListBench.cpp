#include "LocalListBench.h"

#include "LocalFileList.h"

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kHeading[] = "Name,150;Size,80;Date,130;Attr,40;";

// The time one step takes, including the window events it causes.
double Measure(const std::function<void()>& step) {
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    step();
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double MedianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

LocalListBench::LocalListBench(int files) {
    m_ready = m_dir.isValid() && Populate(files);
}

bool LocalListBench::Populate(int files) {
    // Names in mixed letter case, sizes from bytes to megabytes (only the
    // size is set, no data is written), dates spread over ten years and
    // every fifth file read-only.
    const std::time_t base = 1500000000;
    for (int i = 0; i < files; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s%05d.%s", (i % 3 == 0) ? "Data" : "log",
                      (i * 7919) % files, (i % 4 == 0) ? "TXT" : "bin");
        const QByteArray path = QFile::encodeName(m_dir.filePath(QString::fromLatin1(name)));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            return false;
        }
        const off_t size = static_cast<off_t>((static_cast<long long>(i) * 104729) % 5000000);
        const bool sized = ::ftruncate(fd, size) == 0;
        ::close(fd);
        if (!sized) {
            return false;
        }
        struct timespec times[2] = {};
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = base + static_cast<std::time_t>((i * 2654435761u) % 315360000u);
        if (::utimensat(AT_FDCWD, path.constData(), times, 0) != 0) {
            return false;
        }
        if (i % 5 == 0 && ::chmod(path.constData(), 0444) != 0) {
            return false;
        }
    }
    return true;
}

std::vector<LocalListBench::Timing> LocalListBench::Run(bool serviceMode, int repeat) {
    const char* mode = serviceMode ? "service mode" : "normal mode";
    std::vector<double> listing;
    std::vector<std::vector<double>> sorts(8);
    int rows = 0;
    for (int run = 0; run < repeat; ++run) {
        LocalFileList list;
        list.serviceMode = serviceMode;
        list.SetColumns(QString::fromLatin1(kHeading));
        list.ConfigureImages();
        list.resize(640, 480);
        list.show();
        if (serviceMode) {
            // A file library of its own in the temporary folder's parent,
            // so nothing beside the benchmark program is touched; names
            // compared with letter case, as the list loads its library.
            list.fileLibrary.Load(m_dir.path() + QStringLiteral(".filelib.ini"), true, true, false,
                                  false);
        }
        listing.push_back(Measure([&] { list.LoadFolder(m_dir.path()); }));
        rows = list.RowCount();
        for (int column = 0; column < 4; ++column) {
            sorts[static_cast<std::size_t>(column * 2)].push_back(
                Measure([&] { list.SortByColumn(column); }));
            sorts[static_cast<std::size_t>(column * 2 + 1)].push_back(
                Measure([&] { list.SortByColumn(column); }));
        }
        if (serviceMode) {
            list.fileLibrary.Clear();
        }
    }
    QFile::remove(m_dir.path() + QStringLiteral(".filelib.ini"));

    static const char* const kColumns[] = {"name", "size", "date", "attributes"};
    std::vector<Timing> timings;
    timings.push_back(
        {QStringLiteral("list the folder (%1)").arg(QLatin1String(mode)), MedianOf(listing), rows});
    for (int column = 0; column < 4; ++column) {
        for (int direction = 0; direction < 2; ++direction) {
            timings.push_back({QStringLiteral("sort by %1, %2 (%3)")
                                   .arg(QLatin1String(kColumns[column]),
                                        QLatin1String(direction == 0 ? "ascending" : "descending"),
                                        QLatin1String(mode)),
                               MedianOf(sorts[static_cast<std::size_t>(column * 2 + direction)]),
                               rows});
        }
    }
    return timings;
}
