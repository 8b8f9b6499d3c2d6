#include "TransferBench.h"

#include "trelm.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace {

constexpr unsigned kComPort = 7;
constexpr const char* kBenchFile = "bench.bin";

std::string ResultText(const char* what, TRELM_Result result) {
    TRELM_DeviceError deviceError = 0;
    uint32_t linkStatus = 0;
    TRELM_GetExtendedErrorCode(&deviceError, &linkStatus);
    return std::string(what) + " returned " + std::to_string(result) + " (device error " +
           std::to_string(deviceError) + ", link status " + std::to_string(linkStatus) + ")";
}

std::string ModeFor(uint32_t baud) {
    // A pseudo-terminal carries the setting without acting on it; the
    // emulator's pacing stands for the line speed.
    return "baud=" + std::to_string(baud == 0 ? 115200 : baud) + " parity=N data=8 stop=1";
}

} // namespace

TransferBench::TransferBench() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trelm-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        m_root = pattern;
        m_local = m_root / "local";
        std::filesystem::create_directories(m_local);
    }
    // Every byte value, in an order without short repeats.
    std::mt19937 engine(20240305);
    m_payload.resize(kFileSize);
    for (uint8_t& byte : m_payload) {
        byte = static_cast<uint8_t>(engine());
    }
}

TransferBench::~TransferBench() {
    if (m_started) {
        TRELM_Init(256, nullptr); // a refused port number releases the session
        m_server.stop();
    }
    if (!m_root.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
}

bool TransferBench::Start(std::string& error) {
    if (m_root.empty()) {
        error = "cannot create a temporary folder";
        return false;
    }
    if (!m_server.start(&error) ||
        !m_server.linkInto((m_root / "ports").string(), kComPort, &error)) {
        return false;
    }
    m_started = true;
    ::setenv("TRELM_PORTS", (m_root / "ports").c_str(), 1);
    return true;
}

std::string TransferBench::Name(Operation operation) {
    switch (operation) {
    case Operation::CopyToDevice:
        return "copy to device, 65535 bytes";
    case Operation::CopyFromDevice:
        return "copy from device, 65535 bytes";
    case Operation::ListFiles:
        return "list 100 files";
    }
    return "?";
}

bool TransferBench::Prepare(Operation operation, std::string& error) {
    m_device.clearFiles();
    std::error_code ignored;
    std::filesystem::remove(m_local / kBenchFile, ignored);
    switch (operation) {
    case Operation::CopyToDevice: {
        std::ofstream out(m_local / kBenchFile, std::ios::binary);
        out.write(reinterpret_cast<const char*>(m_payload.data()),
                  static_cast<std::streamsize>(m_payload.size()));
        if (!out) {
            error = "cannot write the local file";
            return false;
        }
        return true;
    }
    case Operation::CopyFromDevice: {
        devsim::NvFile file;
        file.name = kBenchFile;
        file.data = m_payload;
        file.created = devsim::Timestamp{};
        return m_device.putFile(std::move(file), &error);
    }
    case Operation::ListFiles:
        for (int i = 0; i < kListedFiles; ++i) {
            devsim::NvFile file;
            char name[16];
            std::snprintf(name, sizeof name, "file%03d.cfg", i);
            file.name = name;
            file.data.assign(m_payload.begin(), m_payload.begin() + 100 + i);
            if (!m_device.putFile(std::move(file), &error)) {
                return false;
            }
        }
        return true;
    }
    return false;
}

bool TransferBench::Execute(Operation operation, std::string& error) {
    switch (operation) {
    case Operation::CopyToDevice: {
        const TRELM_Result r = TRELM_CopyFileToDevice((m_local / kBenchFile).c_str(), 0);
        if (r != TRELM_OK) {
            error = ResultText("TRELM_CopyFileToDevice", r);
        }
        return r == TRELM_OK;
    }
    case Operation::CopyFromDevice: {
        const TRELM_Result r = TRELM_CopyFileFromDevice(kBenchFile, (m_local / kBenchFile).c_str());
        if (r != TRELM_OK) {
            error = ResultText("TRELM_CopyFileFromDevice", r);
        }
        return r == TRELM_OK;
    }
    case Operation::ListFiles: {
        TRELM_FILE_INFO info{};
        info.StructSize = sizeof info;
        uint32_t count = 0;
        TRELM_Result r = TRELM_FindFirstFile(0, &count, &info);
        if (r != TRELM_OK || count != static_cast<uint32_t>(kListedFiles)) {
            error =
                ResultText("TRELM_FindFirstFile", r) + " with " + std::to_string(count) + " files";
            return false;
        }
        for (uint32_t seen = 1;; ++seen) {
            info.StructSize = sizeof info;
            r = TRELM_FindNextFile(&info);
            if (r == TRELM_ERROR_NO_MORE_FILES) {
                if (seen != count) {
                    error = "the listing ended after " + std::to_string(seen) + " files";
                    return false;
                }
                break;
            }
            if (r != TRELM_OK) {
                error = ResultText("TRELM_FindNextFile", r);
                return false;
            }
        }
        TRELM_FindClose();
        return true;
    }
    }
    return false;
}

bool TransferBench::Check(Operation operation, std::string& error) {
    std::vector<uint8_t> copied;
    if (operation == Operation::CopyToDevice) {
        const auto file = m_device.file(kBenchFile);
        if (file) {
            copied = file->data;
        }
    } else if (operation == Operation::CopyFromDevice) {
        std::ifstream in(m_local / kBenchFile, std::ios::binary);
        copied.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        return true;
    }
    if (copied != m_payload) {
        error = "the copy differs from the original (" + std::to_string(copied.size()) + " bytes)";
        return false;
    }
    return true;
}

bool TransferBench::Run(Operation operation, uint32_t baud, Measurement& out, std::string& error) {
    if (!Prepare(operation, error)) {
        return false;
    }
    // One session per line speed, as a program keeps its session open.
    if (!m_sessionOpen || m_sessionBaud != baud) {
        m_device.setLineBaud(0);
        const TRELM_Result init = TRELM_Init(kComPort, ModeFor(baud).c_str());
        if (init != TRELM_OK) {
            error = ResultText("TRELM_Init", init);
            return false;
        }
        m_sessionOpen = true;
        m_sessionBaud = baud;
    }
    m_device.setLineBaud(baud);
    m_device.resetCounters();

    const auto start = std::chrono::steady_clock::now();
    const bool ok = Execute(operation, error);
    const auto stop = std::chrono::steady_clock::now();

    out.operation = Name(operation);
    out.baud = baud;
    out.elapsedSeconds = std::chrono::duration<double>(stop - start).count();
    out.lineBytes = m_device.bytesIn() + m_device.bytesOut();
    out.exchanges = 0;
    for (const auto& [code, count] : m_device.requestCounts()) {
        out.exchanges += count;
    }
    return ok && Check(operation, error);
}
