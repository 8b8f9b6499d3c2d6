#include "CancelSignal.h"

#include <csignal>

namespace trelmctl {

namespace {

volatile std::sig_atomic_t g_requested = 0;
volatile std::sig_atomic_t g_counting = 0;

extern "C" void OnSignal(int signal) {
    if (g_counting != 0) {
        g_requested = g_requested + 1;
        return;
    }
    if (g_requested != 0) {
        // Asked twice: stop waiting for the device and end now.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_requested = 1;
}

} // namespace

void CancelSignal::InstallCounting() {
    Install();
    g_counting = 1;
}

int CancelSignal::Count() {
    return static_cast<int>(g_requested);
}

void CancelSignal::Install() {
    g_requested = 0;
    g_counting = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: the library's line waits keep their deadlines,
    // and output written at that moment is not lost.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool CancelSignal::Requested() {
    return g_requested != 0;
}

} // namespace trelmctl
