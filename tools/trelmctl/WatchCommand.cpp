#include "WatchCommand.h"

#include "CancelSignal.h"
#include "Fleet.h"
#include "JsonLine.h"
#include "PortLister.h"
#include "PortProbe.h"

#include <chrono>
#include <map>
#include <string>
#include <sys/inotify.h>
#include <trelm.h>
#include <unistd.h>
#include <vector>

namespace trelmctl {

namespace {

using Clock = std::chrono::steady_clock;

// The light check of a handled device, the retry of a silent port and the
// fallback rescan: at most once in this time.
constexpr auto kCheckInterval = std::chrono::seconds(2);

struct PortState {
    enum class Stage { New, Waiting, Running, Handled } stage = Stage::New;
    std::string identity; // path and link target: a new link is a new device
    bool present = true;
    Clock::time_point lastProbe{};
};

// A port and where it leads.
std::string Identity(const PortLister::Port& port) {
    return port.path + " -> " + port.target;
}

class Watcher {
public:
    Watcher(const CommandLine& line, bool drawBars)
        : m_line(line), m_fleet(line, drawBars), m_probes(line.mode ? *line.mode : std::string()) {}

    int Run();

private:
    void Watch();
    void Rescan();
    void StartProbes();
    void OnProbes();
    void OnEnded();
    bool MayStartMore() const;
    void Event(unsigned number, const char* event, const std::string& text);
    // Reads the pending change events; whether there were any.
    bool DrainInotify();

    const CommandLine& m_line;
    Fleet m_fleet;
    PortProbe m_probes;
    std::map<unsigned, PortState> m_ports;
    int m_inotify = -1;
    unsigned m_started = 0;
    unsigned m_handled = 0;
    Clock::time_point m_lastScan{};
};

void Watcher::Watch() {
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0) {
        return; // the periodic rescan still finds new ports
    }
    const uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;
    ::inotify_add_watch(m_inotify, "/dev", events);
    const std::string dir = PortLister::MapDirectory();
    if (!dir.empty()) {
        ::inotify_add_watch(m_inotify, dir.c_str(), events);
    }
}

bool Watcher::DrainInotify() {
    alignas(inotify_event) char buffer[4096];
    bool any = false;
    while (m_inotify >= 0 && ::read(m_inotify, buffer, sizeof buffer) > 0) {
        any = true;
    }
    return any;
}

void Watcher::Event(unsigned number, const char* event, const std::string& text) {
    if (m_line.json) {
        JsonLine line("device");
        line.Add("port", number).Add("name", "COM" + std::to_string(number)).Add("event", event);
        m_fleet.SayJson(line.Text());
    } else if (!m_line.quiet) {
        m_fleet.Say(number, text, false);
    }
}

bool Watcher::MayStartMore() const {
    return !CancelSignal::Requested() && (!m_line.once || m_started < *m_line.once);
}

void Watcher::Rescan() {
    m_lastScan = Clock::now();
    std::map<unsigned, std::string> listed;
    for (const PortLister::Port& port : PortLister().List(false)) {
        listed[port.number] = Identity(port);
    }
    for (auto it = m_ports.begin(); it != m_ports.end();) {
        const auto found = listed.find(it->first);
        const bool same = found != listed.end() && found->second == it->second.identity;
        if (same) {
            ++it;
            continue;
        }
        if (it->second.stage == PortState::Stage::Running) {
            it->second.present = false; // forgotten once its worker has ended
            ++it;
            continue;
        }
        if (it->second.stage == PortState::Stage::Handled) {
            Event(it->first, "gone", "the device has gone");
        }
        it = m_ports.erase(it);
    }
    for (const auto& [number, identity] : listed) {
        if (m_ports.count(number) == 0) {
            PortState state;
            state.identity = identity;
            m_ports[number] = state;
        }
    }
}

void Watcher::StartProbes() {
    if (CancelSignal::Requested()) {
        return;
    }
    const auto now = Clock::now();
    for (auto& [number, state] : m_ports) {
        if (state.stage == PortState::Stage::Running || !state.present ||
            m_probes.Running(number)) {
            continue;
        }
        const bool due =
            state.stage == PortState::Stage::New || now - state.lastProbe >= kCheckInterval;
        // Waiting ports are only worth asking while more devices may start.
        if (!due || (state.stage != PortState::Stage::Handled && !MayStartMore())) {
            continue;
        }
        state.lastProbe = now;
        m_probes.Start(number);
    }
}

void Watcher::OnProbes() {
    for (const PortProbe::Answer& answer : m_probes.TakeEnded()) {
        const auto it = m_ports.find(answer.number);
        if (it == m_ports.end()) {
            continue;
        }
        PortState& state = it->second;
        state.lastProbe = Clock::now();
        const bool answers = answer.result == TRELM_OK;
        if (state.stage == PortState::Stage::Handled) {
            if (!answers) {
                Event(answer.number, "gone", "the device stopped answering");
                state.stage = PortState::Stage::Waiting;
            }
            continue;
        }
        if (!answers) {
            state.stage = PortState::Stage::Waiting;
            continue;
        }
        if (!MayStartMore()) {
            continue;
        }
        Event(answer.number, "found", "a device answers; running " + m_line.commandName);
        state.stage = PortState::Stage::Running;
        ++m_started;
        m_fleet.Start(Fleet::Target{answer.number, {}});
    }
}

void Watcher::OnEnded() {
    for (const Fleet::Outcome& outcome : m_fleet.TakeEnded()) {
        ++m_handled;
        const auto it = m_ports.find(outcome.number);
        if (it == m_ports.end()) {
            continue;
        }
        if (!it->second.present) {
            // Pulled out while (or just after) its command ran: it was
            // handled and is gone now.
            Event(it->first, "gone", "the device has gone");
            m_ports.erase(it);
            continue;
        }
        it->second.stage = PortState::Stage::Handled;
        it->second.lastProbe = Clock::now();
    }
}

int Watcher::Run() {
    Watch();
    if (!m_line.json && !m_line.quiet) {
        m_fleet.Note("watch: waiting for devices to run " + m_line.commandName +
                     " on (Ctrl+C ends)");
    }
    while (true) {
        if (CancelSignal::Requested()) {
            m_probes.StopAll();
        }
        OnEnded();
        const bool onceDone = m_line.once && m_handled >= *m_line.once;
        if ((CancelSignal::Requested() || onceDone) && !m_fleet.Busy()) {
            break;
        }
        if (Clock::now() - m_lastScan >= kCheckInterval) {
            Rescan();
        }
        StartProbes();
        std::vector<int> fds = m_probes.Descriptors();
        if (m_inotify >= 0) {
            fds.push_back(m_inotify);
        }
        // Something changed in /dev or the port map: rescan on the next turn.
        if (m_fleet.Serve(m_probes.Exiting() ? 20 : 500, fds) && DrainInotify()) {
            m_lastScan = Clock::time_point{};
        }
        OnProbes();
    }
    if (m_inotify >= 0) {
        ::close(m_inotify);
    }
    return m_fleet.Finish();
}

} // namespace

int WatchCommand::Run(bool drawBars) {
    return Watcher(m_line, drawBars).Run();
}

} // namespace trelmctl
