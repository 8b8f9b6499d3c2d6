#include "DeviceOperations.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

// Sizes of the local file copied to the device: empty, one byte, around one
// packet, several packets and the largest device file.
constexpr std::array<std::size_t, 8> kSourceSizes = {0, 1, 99, 100, 101, 250, 4000, 65535};
// Device names: plain, with capitals, the longest allowed and one too long.
constexpr std::array<const char*, 4> kDeviceNames = {"notes.txt", "BOOT.CFG", "abcdefgh.ijk",
                                                     "abcdefghi.jkl"};
const char kOldContent[] = "the local file as it was before the copy";

int g_callbacksBeforeCancel = 0;
int g_callbacks = 0;

int32_t Progress(int32_t, int32_t, float) {
    ++g_callbacks;
    return g_callbacksBeforeCancel != 0 && g_callbacks >= g_callbacksBeforeCancel ? 0 : 1;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string SourceName(std::size_t index) {
    return "src" + std::to_string(index) + ".bin";
}

} // namespace

DeviceOperations::DeviceOperations(std::filesystem::path folder)
    : m_folder(std::move(folder)), m_sources(m_folder / "sources"), m_copies(m_folder / "copies") {
    std::filesystem::create_directories(m_sources);
    std::filesystem::create_directories(m_copies);
    std::filesystem::create_directories(m_folder / "ports");
    for (std::size_t i = 0; i < kSourceSizes.size(); ++i) {
        std::string data(kSourceSizes[i], '\0');
        for (std::size_t j = 0; j < data.size(); ++j) {
            data[j] = static_cast<char>(j * 31 + i);
        }
        std::ofstream(m_sources / SourceName(i), std::ios::binary) << data;
    }
    for (const char* com : {"com1", "com2"}) {
        std::error_code ignored;
        std::filesystem::create_symlink("/dev/null", m_folder / "ports" / com, ignored);
    }
    ::setenv("TRELM_PORTS", (m_folder / "ports").c_str(), 1);
}

std::vector<uint8_t> DeviceOperations::Header(std::initializer_list<uint8_t> calls,
                                              uint8_t sourceSizeIndex) {
    std::vector<uint8_t> header(kHeaderSize, 0);
    header[4] = sourceSizeIndex;
    std::size_t slot = 6;
    for (uint8_t call : calls) {
        if (slot < kHeaderSize) {
            header[slot++] = call;
        }
    }
    while (slot < kHeaderSize) {
        header[slot++] = 0x0F; // no call
    }
    return header;
}

const char* DeviceOperations::Name(Call call) {
    static constexpr const char* kNames[] = {
        "init",   "deviceinfo", "statistics", "filehandle", "fileexists", "filesize", "fileinfo",
        "delete", "listing",    "copyto",     "copyfrom",   "scan",       "settings", "exterror"};
    return call < CallCount ? kNames[call] : "none";
}

bool DeviceOperations::LocalFolderClean() const {
    // Nothing but the destination itself may be left in the copies folder:
    // no temporary file of a copy.
    for (const auto& entry : std::filesystem::directory_iterator(m_copies)) {
        if (entry.path().filename() != "copy.bin") {
            return false;
        }
    }
    return true;
}

std::vector<DeviceOperations::Outcome> DeviceOperations::Run(std::span<const uint8_t> header) {
    std::vector<Outcome> outcomes;
    if (header.size() < kHeaderSize) {
        return outcomes;
    }
    g_callbacksBeforeCancel = header[3];
    for (std::size_t slot = 6; slot < kHeaderSize; ++slot) {
        if ((header[slot] & 0x0F) < CallCount) {
            outcomes.push_back(RunCall(header[slot], header));
        }
    }
    return outcomes;
}

DeviceOperations::Outcome DeviceOperations::RunCall(uint8_t code, std::span<const uint8_t> header) {
    Outcome outcome;
    outcome.call = static_cast<Call>(code & 0x0F);
    const uint32_t flag = (code >> 4) & 1;
    const char* name = kDeviceNames[(code >> 5) & 3];
    g_callbacks = 0;
    TRELM_Result& r = outcome.result;
    switch (outcome.call) {
    case Init:
        r = TRELM_Init(1 + flag, flag != 0 ? "115200,n,8,1" : "");
        break;
    case DeviceInfo: {
        uint32_t a = 0;
        uint32_t b = 0;
        r = TRELM_GetConnectedDeviceInfo(&a, &b);
        break;
    }
    case Statistics: {
        TRELM_STATISTICS statistics{};
        statistics.StructSize = sizeof statistics;
        r = TRELM_GetStatistics(&statistics);
        break;
    }
    case FileHandle: {
        uint32_t handle = 0;
        r = TRELM_GetFileHandleFromFileName(name, &handle);
        break;
    }
    case FileExists: {
        uint32_t exists = 0;
        r = TRELM_FileExists(name, flag, &exists);
        break;
    }
    case FileSize: {
        uint32_t size = 0;
        r = TRELM_GetFileSizeFromFileHandle(1, &size);
        break;
    }
    case FileInfo: {
        TRELM_FILE_INFO info{};
        info.StructSize = sizeof info;
        r = TRELM_GetFileInfoFromFileHandle(1, &info, flag);
        break;
    }
    case DeleteFile:
        r = TRELM_DeleteFile(name, flag);
        break;
    case Listing: {
        TRELM_FILE_INFO info{};
        info.StructSize = sizeof info;
        uint32_t count = 0;
        r = TRELM_FindFirstFile(flag, &count, &info);
        if (r == TRELM_OK) {
            for (uint32_t seen = 1; seen <= count; ++seen) {
                info.StructSize = sizeof info;
                if (TRELM_FindNextFile(&info) != TRELM_OK) {
                    break;
                }
            }
        }
        TRELM_FindClose();
        break;
    }
    case CopyToDevice: {
        const std::filesystem::path source =
            m_sources / SourceName(header[4] % kSourceSizes.size());
        const std::string before = ReadAll(source);
        r = TRELM_CopyFileToDeviceWithProgress(source.c_str(), flag, Progress);
        outcome.localFileKept = ReadAll(source) == before;
        break;
    }
    case CopyFromDevice: {
        const std::filesystem::path target = m_copies / "copy.bin";
        std::error_code ignored;
        std::filesystem::remove(target, ignored);
        const bool existed = (header[5] & 1) != 0;
        if (existed) {
            std::ofstream(target, std::ios::binary) << kOldContent;
        }
        r = TRELM_CopyFileFromDeviceWithProgress(name, target.c_str(), Progress);
        if (r != TRELM_OK) {
            // A failed copy leaves the destination as it was.
            outcome.localFileKept =
                existed ? ReadAll(target) == kOldContent : !std::filesystem::exists(target);
        } else {
            outcome.localFileKept = std::filesystem::exists(target);
        }
        outcome.localFileKept = outcome.localFileKept && LocalFolderClean();
        std::filesystem::remove(target, ignored);
        break;
    }
    case ScanPorts: {
        uint32_t port = 0;
        r = TRELM_ScanComPortsForDevice(nullptr, &port);
        break;
    }
    case PortSettings: {
        uint32_t port = 0;
        char text[64];
        uint32_t length = flag != 0 ? 8 : sizeof text;
        r = TRELM_GetComPortSettings(&port, text, &length);
        break;
    }
    case ExtendedError: {
        TRELM_DeviceError deviceError = 0;
        uint32_t linkStatus = 0;
        r = TRELM_GetExtendedErrorCode(&deviceError, &linkStatus);
        break;
    }
    case CallCount:
        break;
    }
    return outcome;
}
