// Runs one device operation of the library against the in-process device
// emulator and measures it: the elapsed time of the call, the bytes the
// emulator saw on the line in both directions, and the number of request /
// reply exchanges. With line pacing the emulator lets each byte take ten bit
// times, so bytes x 10 / baud is the least time the operation can take on
// that line, and wire time / elapsed time says how close the library gets.
#pragma once

#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct Measurement {
    std::string operation;
    uint32_t baud = 0; // 0: unpaced
    double elapsedSeconds = 0.0;
    uint64_t lineBytes = 0;
    uint64_t exchanges = 0;

    // The time the bytes need on the line: ten bit times per byte.
    double WireSeconds() const {
        return baud == 0 ? 0.0 : static_cast<double>(lineBytes) * 10.0 / baud;
    }
    double Efficiency() const {
        return elapsedSeconds > 0.0 ? WireSeconds() / elapsedSeconds : 0.0;
    }
    // Time per exchange beyond the wire time, in microseconds.
    double OverheadPerExchangeMicros() const {
        if (exchanges == 0) {
            return 0.0;
        }
        return (elapsedSeconds - WireSeconds()) * 1e6 / static_cast<double>(exchanges);
    }
};

class TransferBench {
public:
    enum class Operation { CopyToDevice, CopyFromDevice, ListFiles };

    // The largest device file, and the number of files in the listing.
    static constexpr std::size_t kFileSize = 65535;
    static constexpr int kListedFiles = 100;

    TransferBench();
    ~TransferBench();
    TransferBench(const TransferBench&) = delete;
    TransferBench& operator=(const TransferBench&) = delete;

    // Starts the emulator on a pseudo-terminal, offers it as a COM port
    // through a private TRELM_PORTS folder and opens the library's session.
    bool Start(std::string& error);

    // Prepares the device and the local folder for `operation`, runs it once
    // with the line paced at `baud` (0: unpaced) and checks its outcome.
    bool Run(Operation operation, uint32_t baud, Measurement& out, std::string& error);

    static std::string Name(Operation operation);

private:
    bool Prepare(Operation operation, std::string& error);
    bool Execute(Operation operation, std::string& error);
    bool Check(Operation operation, std::string& error);

    std::filesystem::path m_root;
    std::filesystem::path m_local;
    std::vector<uint8_t> m_payload;
    devsim::Device m_device;
    devsim::PtyServer m_server{m_device};
    bool m_started = false;
    bool m_sessionOpen = false;
    uint32_t m_sessionBaud = 0;
};
