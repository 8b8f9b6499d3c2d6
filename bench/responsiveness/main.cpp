// bench_responsiveness: how long the user-interface event loop of the main
// window stalls while the device works. A 10 ms timer runs on the
// user-interface thread; its worst lateness is the longest time the window
// could not repaint or react. Measured against the device emulator on a
// pseudo-terminal, paced at the line's baud rate, with the program's own
// main window on Qt's offscreen platform:
//   - a copy of 65535 bytes to the device and one from it,
//   - a listing (the Refresh command, both panes),
//   - a Refresh while the device stays silent (measured for --silent-ms).
//
//   bench_responsiveness [--baud N] [--silent-ms N] [--repeat N]
#include "IniEx.h"
#include "LocalFileList.h"
#include "Prompter.h"
#include "QuarnUIDlg.h"
#include "SettingsKeys.h"
#include "TargetFileList.h"

#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr unsigned kCom = 7;
constexpr int kTickMs = 10;
constexpr qsizetype kFileSize = 65535;

// Answers every question with its first choice (OK, Yes); never blocks.
class AnsweringPrompter : public Prompter {
public:
    AnsweringPrompter() { Install(this); }
    ~AnsweringPrompter() override { Install(nullptr); }
    int Message(QWidget*, const QString& text, const QString&, Icon, Buttons buttons) override {
        std::fprintf(stderr, "  (message: %s)\n", qPrintable(text.left(80)));
        return buttons == Buttons::YesNo ? Yes : Ok;
    }
    QString PickFolder(QWidget*, const QString&, const QString&) override { return QString(); }
};

class BenchWindow : public QuarnUIDlg {
public:
    BenchWindow() {
        SetCreationPause(0);
        SetFatalExit([](int code) {
            std::fprintf(stderr, "bench_responsiveness: start-up failed (%d)\n", code);
            std::exit(1);
        });
    }

protected:
    bool AskQuit() override { return true; }
};

// The worst lateness of a 10 ms timer while `busy` holds.
qint64 WorstStall(const std::function<bool()>& busy, qint64 atMostMs) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last - kTickMs);
        last = now;
    });
    tick.start();
    while (busy() && clock.elapsed() < atMostMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    // The loop's own waits are part of the measure: what is late is late.
    const qint64 now = clock.elapsed();
    worst = std::max(worst, now - last - kTickMs);
    return std::max<qint64>(worst, 0);
}

QByteArray Content(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 13 + i / 253) & 0xFF);
    }
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

void SelectByName(FileList& list, const QString& name) {
    list.clearSelection();
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.RowText(row, 0) == name) {
            list.topLevelItem(row)->setSelected(true);
        }
    }
}

devsim::NvFile DeviceFile(const std::string& name, const QByteArray& data) {
    devsim::NvFile file;
    file.name = name;
    file.data.assign(data.begin(), data.end());
    file.created.year = 2024;
    file.created.month = 3;
    file.created.day = 7;
    file.created.weekday = 4;
    file.modified = file.created;
    return file;
}

} // namespace

int main(int argc, char** argv) {
    unsigned baud = 115200;
    int silentMs = 5000;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--baud") == 0 && i + 1 < argc) {
            baud = static_cast<unsigned>(std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--silent-ms") == 0 && i + 1 < argc) {
            silentMs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: bench_responsiveness [--baud N] [--silent-ms N] [--repeat N]\n");
            return 2;
        }
    }
    if (baud == 0 || silentMs <= 0 || repeat <= 0) {
        std::fprintf(stderr, "bench_responsiveness: the options take positive numbers\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    AnsweringPrompter prompter;

    // The start-up folder: the shipped settings and texts, COM 7 at `baud`.
    QTemporaryDir dir;
    QTemporaryDir ports;
    const QString resources = QStringLiteral(QUARN_RESOURCES_DIR) + u'/';
    for (const char* name : {"quarnloader.ini", "LANG_ENGLISH.txt", "ERR_ENGLISH.txt"}) {
        QFile::copy(resources + QLatin1String(name), dir.filePath(QLatin1String(name)));
        QFile::setPermissions(dir.filePath(QLatin1String(name)),
                              QFile::ReadOwner | QFile::WriteOwner);
    }
    QDir(dir.path()).mkdir(QStringLiteral("local"));
    const QString local = dir.filePath(QStringLiteral("local"));
    {
        using namespace SettingsKeys;
        IniEx settings(4);
        if (!settings.Load(dir.filePath(QLatin1String(SETTINGS_FILE_NAME)), false, false, true,
                           false)) {
            std::fprintf(stderr, "bench_responsiveness: no settings template\n");
            return 1;
        }
        settings.WriteValue(QLatin1String(APPLICATION), QLatin1String(STATUS),
                            QLatin1String(STATUS_DONE));
        settings.WriteValue(QLatin1String(APPLICATION), QLatin1String(LOCAL_PATH), local);
        settings.WriteValue(QLatin1String(COM_SETUP), QLatin1String(COM_PORT),
                            QString::number(kCom));
        settings.WriteValue(QLatin1String(COM_SETUP), QLatin1String(COM_BAUD),
                            QString::number(baud));
        settings.Save(false);
    }
    QDir::setCurrent(dir.path());

    const QByteArray data = Content(kFileSize);
    devsim::Device device;
    devsim::PtyServer server(device);
    std::string error;
    if (!server.start(&error) || !server.linkInto(ports.path().toStdString(), kCom, &error)) {
        std::fprintf(stderr, "bench_responsiveness: emulator: %s\n", error.c_str());
        return 1;
    }
    qputenv("TRELM_PORTS", ports.path().toLocal8Bit());
    device.setLineBaud(baud);
    for (int i = 0; i < 40; ++i) {
        device.putFile(DeviceFile("f" + std::to_string(i) + ".txt", data.left(200)));
    }
    device.putFile(DeviceFile("fromdev.bin", data));
    WriteFile(local + QStringLiteral("/todev.bin"), data);

    std::printf("Worst stall of the user-interface event loop (10 ms timer), %u baud, "
                "worst of %d runs\n",
                baud, repeat);
    std::printf("%-44s %10s %12s\n", "operation", "seconds", "stall ms");
    auto window = std::make_unique<BenchWindow>();
    window->OnCreate();
    if (!window->OnInitDialog()) {
        return 1;
    }
    BenchWindow& w = *window;
    const auto busy = [&w] { return w.IsQueryRunning() || w.IsDeviceBusy(); };
    const qint64 startStall = WorstStall(busy, 60000);
    std::printf("%-44s %10s %12lld\n", "start-up query (41 files)", "-",
                static_cast<long long>(startStall));

    struct Case {
        const char* what;
        std::function<void()> start;
    };
    const Case cases[] = {
        {"copy 65535 bytes to the device",
         [&] {
             device.removeFile("todev.bin");
             w.RefreshLocalList();
             SelectByName(*w.LocalList(), QStringLiteral("todev.bin"));
             w.CopyToDevice();
         }},
        {"copy 65535 bytes from the device",
         [&] {
             QFile::remove(local + QStringLiteral("/fromdev.bin"));
             SelectByName(*w.TargetList(), QStringLiteral("fromdev.bin"));
             w.CopyFromDevice();
         }},
        {"refresh: list both panes", [&] { w.OnCommand(QuarnUIDlg::ID_REFRESH); }},
    };
    bool ok = true;
    for (const Case& c : cases) {
        qint64 worst = 0;
        double seconds = 0;
        for (int run = 0; run < repeat; ++run) {
            WorstStall(busy, 60000); // settle anything left over
            QElapsedTimer clock;
            clock.start();
            c.start();
            worst = std::max(worst, WorstStall(busy, 120000));
            seconds = std::max(seconds, clock.elapsed() / 1000.0);
        }
        std::printf("%-44s %10.2f %12lld\n", c.what, seconds, static_cast<long long>(worst));
        ok = ok && worst <= 50;
    }

    // A silent device: the refresh waits on the line for the whole time.
    WorstStall(busy, 60000);
    device.addFault("*=silent");
    w.OnCommand(QuarnUIDlg::ID_REFRESH);
    QElapsedTimer clock;
    clock.start();
    const qint64 silent =
        WorstStall([&clock, silentMs] { return clock.elapsed() < silentMs; }, silentMs + 1000);
    std::printf("%-44s %10.2f %12lld\n", "refresh with a silent device (still waiting)",
                silentMs / 1000.0, static_cast<long long>(silent));
    ok = ok && silent <= 50;
    // Unplugged: the waiting call fails at once and the window can go.
    server.stop();
    WorstStall(busy, 60000);
    window.reset();
    std::printf("target: every stall <= 50 ms: %s\n", ok ? "met" : "NOT met");
    return 0;
}
