// trelm-devsim: serves an emulated device with an NV file store on a
// pseudo-terminal and offers it as a COM port through a TRELM_PORTS folder.
#include "devsim/CommandTable.h"
#include "devsim/Device.h"
#include "devsim/Fault.h"
#include "devsim/PortsFolder.h"
#include "devsim/PtyServer.h"
#include "devsim/StoreFolder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <pthread.h>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* Usage = R"(Usage: trelm-devsim [OPTION]...
Serves an emulated device with an NV file store on a pseudo-terminal and
offers it as a COM port: the link DIR/comN points to the pseudo-terminal, and
the library and the program use DIR as their port map when TRELM_PORTS names
it. Runs until Ctrl+C (SIGINT) or SIGTERM.

Options:
  --ports-dir DIR     folder to use as TRELM_PORTS; created if missing (mode
                      0700); refused unless it is the user's own and nobody
                      else may write to it (default: $TRELM_PORTS if set,
                      else $XDG_RUNTIME_DIR/trelm-ports, else
                      /tmp/trelm-ports-UID)
  --com N             COM port number, 1 to 255 (default 1): the link DIR/comN
  --store DIR         load the device's files from DIR at start and save them
                      back there on exit (data files plus DIR/devsim.manifest)
  --seed FILE[:ATTR]  add FILE to the store under its own name in lower case;
                      ATTR: r read-only, h hidden, rh both, or a number
                      (bit 0 read-only, bit 1 hidden); repeatable
  --baud N            pace the line: each byte takes 10/N seconds each way
  --fault RULE        script a fault (repeatable; the first rule that hits a
                      request decides)
  --info A,B          the two device-information values of the wake-up reply
                      (default 2,1)
  --max-files N       most files the store holds (default 200)
  --capacity BYTES    file space of the store (default 1048576)
  --max-open N        most open files, as reported (default 8)
  --buffer-size N     total file buffer size, as reported (default 4096)
  --list-packet N     listing data bytes per data packet, 1 to 252 (default 100)
  --trace             print every exchange on standard error
  --help              show this text

Fault RULE: TARGET[@WHEN]=ACTION[:ARG]
  TARGET  a command name (e.g. CREATE_NV_FILE_DATA_PACKET), a code (0x1309),
          or * for every request
  WHEN    which occurrences of TARGET, counted from 1: N, N-M, N- or *,
          several joined by commas; left out = every occurrence
  ACTION  nak             answer 40 0F (request refused)
          word:W          answer the word W, e.g. word:0x0F80 sends 80 0F
          silent          no answer at all
          badsum          the reply's checksum is one off
          wrongcode[:C]   the reply carries code C (default: the request code)
          truncate[:N]    the answer loses its last N bytes (default 1)
          extra[:N]       N stray bytes follow the answer (default 1)
          packet:N|+N|-N  a data-packet reply names packet N, or the real
                          number shifted by N
          repeat          a create data packet is refused and asked for again
          status:N        the reply carries device status N
          hangup          the line is closed (a new one is plugged in at once)
          delay:MS        the answer comes MS milliseconds late
          baud:N          the answer is paced at N baud

Examples:
  trelm-devsim --com 3 --seed notes.txt --seed boot.cfg:rh
  trelm-devsim --store ~/devstore --baud 9600
  trelm-devsim --fault 'CREATE_NV_FILE_DATA_PACKET@2=repeat' --fault 'WAKE_UP_DUT@1-3=silent'
)";

struct Options {
    std::string portsDir;
    unsigned com = 1;
    std::string storeDir;
    std::vector<std::string> seeds;
    std::vector<std::string> faults;
    devsim::DeviceConfig config;
    bool trace = false;
};

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "trelm-devsim: %s\nTry 'trelm-devsim --help'.\n", message.c_str());
    std::exit(2);
}

unsigned long number(const std::string& option, const std::string& text, unsigned long min,
                     unsigned long max) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || value < min ||
        value > max) {
        usageError(option + " needs a number from " + std::to_string(min) + " to " +
                   std::to_string(max) + ", not \"" + text + "\"");
    }
    return value;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    if (const char* env = std::getenv("TRELM_PORTS"); env != nullptr && *env != '\0') {
        o.portsDir = env;
    } else {
        o.portsDir = devsim::defaultPortsFolder();
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        }
        if (arg == "--trace") {
            o.trace = true;
            continue;
        }
        static const std::set<std::string> WithValue = {
            "--ports-dir", "--com",      "--store",       "--seed",
            "--fault",     "--baud",     "--info",        "--max-files",
            "--capacity",  "--max-open", "--buffer-size", "--list-packet"};
        if (WithValue.count(arg) == 0) {
            usageError("unknown option " + arg);
        }
        if (i + 1 >= argc) {
            usageError(arg + " needs a value");
        }
        const std::string value = argv[++i];
        if (arg == "--ports-dir") {
            o.portsDir = value;
        } else if (arg == "--com") {
            o.com = static_cast<unsigned>(number(arg, value, 1, 255));
        } else if (arg == "--store") {
            o.storeDir = value;
        } else if (arg == "--seed") {
            o.seeds.push_back(value);
        } else if (arg == "--fault") {
            o.faults.push_back(value);
        } else if (arg == "--baud") {
            o.config.lineBaud = static_cast<uint32_t>(number(arg, value, 1, 10000000));
        } else if (arg == "--info") {
            const auto comma = value.find(',');
            if (comma == std::string::npos) {
                usageError("--info needs two values: A,B");
            }
            o.config.infoValue1 = static_cast<uint8_t>(number(arg, value.substr(0, comma), 0, 255));
            o.config.infoValue2 =
                static_cast<uint8_t>(number(arg, value.substr(comma + 1), 0, 255));
        } else if (arg == "--max-files") {
            o.config.maxFiles = static_cast<uint32_t>(number(arg, value, 0, 65535));
        } else if (arg == "--capacity") {
            o.config.maxTotalBytes = static_cast<uint32_t>(number(arg, value, 0, 0xFFFFFFFF));
        } else if (arg == "--max-open") {
            o.config.maxOpenFiles = static_cast<uint16_t>(number(arg, value, 0, 65535));
        } else if (arg == "--buffer-size") {
            o.config.totalBufferSize = static_cast<uint32_t>(number(arg, value, 0, 0xFFFFFFFF));
        } else if (arg == "--list-packet") {
            o.config.listPacketSize = static_cast<uint8_t>(number(arg, value, 1, 252));
        }
    }
    return o;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char b[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 48) {
            text += " ...";
            break;
        }
        std::snprintf(b, sizeof b, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += b;
    }
    return text;
}

void traceExchange(const devsim::Exchange& ex) {
    const std::string name = ex.request.size() >= 2
                                 ? devsim::CommandTable::label(
                                       static_cast<uint16_t>(ex.request[0] | (ex.request[1] << 8)))
                                 : std::string("?");
    std::fprintf(stderr, "-> %s: %s\n<- %s\n", name.c_str(), hex(ex.request).c_str(),
                 ex.hangUp           ? "(line hung up)"
                 : ex.answer.empty() ? "(no answer)"
                                     : hex(ex.answer).c_str());
}

bool serve(devsim::PtyServer& server, const Options& o) {
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "trelm-devsim: cannot open a pseudo-terminal: %s\n", error.c_str());
        return false;
    }
    if (!server.linkInto(o.portsDir, o.com, &error)) {
        std::fprintf(stderr, "trelm-devsim: %s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parseOptions(argc, argv);

    // Anyone who may write to the ports folder decides where COM N leads.
    std::string folderError;
    if (!devsim::preparePortsFolder(o.portsDir, &folderError)) {
        std::fprintf(stderr, "trelm-devsim: refusing the ports folder: %s\n", folderError.c_str());
        return 3;
    }

    devsim::Device device(o.config);
    for (const std::string& rule : o.faults) {
        std::string error;
        if (!device.addFault(rule, &error)) {
            usageError(error);
        }
    }

    std::optional<devsim::StoreFolder> folder;
    if (!o.storeDir.empty()) {
        folder.emplace(o.storeDir);
        std::vector<devsim::NvFile> files;
        std::string error;
        if (!folder->load(files, &error)) {
            std::fprintf(stderr, "trelm-devsim: cannot load the store: %s\n", error.c_str());
            return 1;
        }
        for (const std::string& w : folder->warnings()) {
            std::fprintf(stderr, "trelm-devsim: store: %s\n", w.c_str());
        }
        for (devsim::NvFile& f : files) {
            device.putFile(std::move(f));
        }
    }
    for (const std::string& seed : o.seeds) {
        devsim::NvFile file;
        std::string error;
        if (!devsim::StoreFolder::readSeed(seed, file, &error)) {
            std::fprintf(stderr, "trelm-devsim: --seed %s\n", error.c_str());
            return 1;
        }
        if (device.file(file.name)) {
            std::fprintf(stderr, "trelm-devsim: --seed replaces the stored %s\n",
                         file.name.c_str());
        }
        if (!device.putFile(std::move(file), &error)) {
            std::fprintf(stderr, "trelm-devsim: --seed %s: %s\n", seed.c_str(), error.c_str());
            return 1;
        }
    }

    // Signals are taken by this thread alone, with sigtimedwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    devsim::PtyServer server(device);
    if (o.trace) {
        server.setTrace(traceExchange);
    }
    if (!serve(server, o)) {
        return 1;
    }
    std::printf("trelm-devsim: device ready with %zu file(s)\n"
                "  COM port: %u (COM%u)\n"
                "  port map: %s (%s -> %s)\n"
                "Point the library and the program at it with:\n"
                "  export TRELM_PORTS=%s\n"
                "Stop with Ctrl+C.\n",
                device.files().size(), o.com, o.com, o.portsDir.c_str(), server.linkPath().c_str(),
                server.slavePath().c_str(), o.portsDir.c_str());
    std::fflush(stdout);

    int exitCode = 0;
    for (;;) {
        const timespec tick{0, 200 * 1000 * 1000};
        const int sig = sigtimedwait(&signals, nullptr, &tick);
        if (sig > 0) {
            std::printf("trelm-devsim: stopping\n");
            break;
        }
        if (server.hungUp()) {
            std::printf("trelm-devsim: hang-up fault: the line was closed; plugging in a new "
                        "line\n");
            if (!serve(server, o)) {
                exitCode = 1;
                break;
            }
            std::printf("trelm-devsim: %s -> %s\n", server.linkPath().c_str(),
                        server.slavePath().c_str());
        }
        std::fflush(stdout);
    }
    server.stop();

    if (folder) {
        std::string error;
        const auto files = device.files();
        if (!folder->save(files, &error)) {
            std::fprintf(stderr, "trelm-devsim: cannot save the store: %s\n", error.c_str());
            return 1;
        }
        std::printf("trelm-devsim: saved %zu file(s) to %s\n", files.size(), o.storeDir.c_str());
    }
    return exitCode;
}
