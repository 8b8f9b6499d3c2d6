// Fuzz target: arbitrary device bytes answering every exported function of
// the library, through the library's port seam. The input's header chooses
// the calls and how the line behaves (DeviceOperations.h), the rest is what
// the device sends (FuzzLine.h). Besides the sanitizers, each call is held
// to the library's promises: a documented result code, and local files that
// a call must not change left as they were.
#include "DeviceOperations.h"
#include "FuzzLine.h"
#include "FuzzPort.h"
#include "Session.h"
#include "Timing.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

FuzzLine g_line;
DeviceOperations* g_operations = nullptr;
// FUZZ_PRINT=1 prints every call's result (to look at single inputs).
bool g_print = false;

bool DocumentedResult(TRELM_Result result) {
    return result <= TRELM_ERROR_DEVICE_UNKNOWN_CMD && result != 7;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Waits (retry pauses, the drain pause, the pauses between information
    // attempts) shrink to nothing; the port itself never waits.
    trelm::timing::SetScale(1e-6);
    trelm::Session::SetPortFactory([] { return std::make_unique<FuzzPort>(g_line); });
    const char* shm = "/dev/shm";
    const std::filesystem::path base =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    static DeviceOperations operations(base / ("trelm-fuzz-" + std::to_string(::getpid())));
    g_operations = &operations;
    g_print = std::getenv("FUZZ_PRINT") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < DeviceOperations::kHeaderSize) {
        return -1;
    }
    const std::span<const uint8_t> input(data, size);
    const std::span<const uint8_t> header = input.first(DeviceOperations::kHeaderSize);
    FuzzLine::Behaviour behaviour;
    behaviour.pieceSeed = header[0];
    behaviour.gapRate = header[1];
    behaviour.writeFails = header[2];
    g_line.Reset(input.subspan(DeviceOperations::kHeaderSize), behaviour);

    // Every input starts with a fresh session on COM 1 (no traffic).
    if (TRELM_Init(1, "") != TRELM_OK) {
        std::fprintf(stderr, "TRELM_Init on the fuzz port failed\n");
        std::abort();
    }
    for (const DeviceOperations::Outcome& outcome : g_operations->Run(header)) {
        if (g_print) {
            std::fprintf(stderr, "%s -> %u\n", DeviceOperations::Name(outcome.call),
                         static_cast<unsigned>(outcome.result));
        }
        if (!DocumentedResult(outcome.result)) {
            std::fprintf(stderr, "%s returned the undocumented result %u\n",
                         DeviceOperations::Name(outcome.call),
                         static_cast<unsigned>(outcome.result));
            std::abort();
        }
        if (!outcome.localFileKept) {
            std::fprintf(stderr, "%s (result %u) changed a local file it must leave alone\n",
                         DeviceOperations::Name(outcome.call),
                         static_cast<unsigned>(outcome.result));
            std::abort();
        }
    }
    TRELM_Init(256, nullptr); // a refused port number releases the session
    return 0;
}
