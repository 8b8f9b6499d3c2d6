#include "DeviceCommands.h"

#include "CancelSignal.h"
#include "LocalDestination.h"
#include "PortDiagnosis.h"
#include "PortLister.h"
#include "ReadBack.h"
#include "ResultNames.h"
#include "TransferProgress.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <trelm.h>

namespace trelmctl {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A device name that can safely become a local file name: not empty, not
// "." or "..", and without a folder separator of either kind.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
}

std::string TimeText(const TRELM_SYSTEMTIME& t, char separator) {
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u%c%02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  separator, t.wHour, t.wMinute, t.wSecond);
    return text;
}

// Attribute letters: r (bit 0, read-only) and h (bit 1, hidden), "-" where unset.
std::string AttributeLetters(uint32_t attr) {
    return std::string((attr & 1u) != 0 ? "r" : "-") + ((attr & 2u) != 0 ? "h" : "-");
}

std::string FileName(const TRELM_FILE_INFO& info) {
    std::size_t length = 0;
    while (length < sizeof info.FileName && info.FileName[length] != '\0') {
        ++length;
    }
    return std::string(info.FileName, length);
}

// Why a get of several devices into one folder leaves a name alone.
constexpr const char* kSharedFolderHint =
    "(devices of one run never replace each other's files; --per-port-folders gives each "
    "port a folder of its own)";

std::string PortName(unsigned number) {
    return "COM" + std::to_string(number);
}

} // namespace

DeviceCommands::DeviceCommands(const CommandLine& line, Reporter& reporter, ProgressBar& bar)
    : m_line(line), m_reporter(reporter), m_bar(bar) {}

void DeviceCommands::Run() {
    switch (m_line.command) {
    case CommandLine::Command::Info:
        Info();
        break;
    case CommandLine::Command::Df:
        Df();
        break;
    case CommandLine::Command::Ls:
        Ls();
        break;
    case CommandLine::Command::Exists:
        Exists();
        break;
    case CommandLine::Command::Get:
        Get();
        break;
    case CommandLine::Command::Put:
        Put();
        break;
    case CommandLine::Command::Rm:
        Rm();
        break;
    default:
        break;
    }
}

std::string DeviceCommands::OpenFailureReason(const std::string& path) const {
    const PortDiagnosis::Finding finding = PortDiagnosis::TryOpen(path);
    if (!finding.message.empty()) {
        return finding.message;
    }
    // The device opens here; what the library could not do is configure it.
    if (m_line.mode) {
        return "the device opens, so the line settings \"" + *m_line.mode +
               "\" are probably not accepted";
    }
    return "the device opens, but the library could not set up the line";
}

std::string DeviceCommands::ConnectFailureDetail(uint32_t result) const {
    const PortLister lister;
    if (result == TRELM_ERROR_COMPORT_NOT_OPENED) {
        if (m_line.port != 0) {
            const std::string path = lister.PathOf(m_line.port);
            if (path.empty()) {
                return PortName(m_line.port) + " names no device";
            }
            return "cannot open " + PortName(m_line.port) + " (" + path +
                   "): " + OpenFailureReason(path);
        }
        const std::vector<PortLister::Port> ports = lister.List(false);
        if (ports.empty()) {
            const std::string dir = PortLister::MapDirectory();
            return dir.empty() ? "no serial port to search (see 'trelmctl ports --all')"
                               : "no COM port to search: the TRELM_PORTS folder " + dir +
                                     " has no comN entries";
        }
        std::string text = "no COM port could be opened";
        for (const PortLister::Port& port : ports) {
            text += "; " + PortName(port.number) + ": " + OpenFailureReason(port.path);
        }
        return text;
    }
    if (result == TRELM_ERROR_COMM_FAILED) {
        if (m_line.port != 0) {
            return "no device answers on " + PortName(m_line.port);
        }
        std::string text = "no device answered on";
        for (const PortLister::Port& port : lister.List(false)) {
            text += " " + PortName(port.number);
        }
        return text;
    }
    return {};
}

bool DeviceCommands::Connect(bool wantInfo) {
    const char* mode = m_line.mode ? m_line.mode->c_str() : nullptr;
    uint32_t result = TRELM_Init(m_line.port, mode);
    if (result == TRELM_OK && (m_line.port != 0 || wantInfo)) {
        result = TRELM_GetConnectedDeviceInfo(&m_info1, &m_info2);
    }
    if (result != TRELM_OK) {
        const std::string detail = ConnectFailureDetail(result);
        m_reporter.Failed(m_line.commandName, Reporter::FromLibrary(result, detail));
        return false;
    }
    if (CancelSignal::Requested()) {
        m_reporter.Failed(m_line.commandName,
                          Reporter::Local(TRELM_ERROR_FILE_TRANSFER_CANCELLED, "cancelled"));
        return false;
    }
    return true;
}

bool DeviceCommands::EndsTheRun(uint32_t result) {
    switch (result) {
    case TRELM_ERROR_BAD_PARAMETERS:
    case TRELM_ERROR_DEVICE_ERROR:
    case TRELM_ERROR_PC_FILENAME_INVALID:
    case TRELM_ERROR_PC_FILESIZE_INVALID:
    case TRELM_ERROR_PC_FILE_IO_FAILED:
    case TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN:
    case Reporter::kVerifyExit:
        return false;
    default:
        return true;
    }
}

bool DeviceCommands::CancelledBetweenFiles(const std::string& file) {
    if (!CancelSignal::Requested()) {
        return false;
    }
    m_reporter.FileFailed(
        m_line.commandName, file,
        Reporter::Local(TRELM_ERROR_FILE_TRANSFER_CANCELLED, "cancelled before this file"));
    return true;
}

void DeviceCommands::Info() {
    if (!Connect(true)) {
        return;
    }
    uint32_t port = 0;
    char mode[128] = "";
    uint32_t length = sizeof mode;
    const uint32_t result = TRELM_GetComPortSettings(&port, mode, &length);
    if (result != TRELM_OK) {
        m_reporter.Failed(m_line.commandName, Reporter::FromLibrary(result));
        return;
    }
    if (m_reporter.Json()) {
        JsonLine line("info");
        line.Add("port", port)
            .Add("portName", PortName(port))
            .Add("path", PortLister().PathOf(port))
            .Add("mode", mode)
            .Add("info1", m_info1)
            .Add("info2", m_info2);
        m_reporter.Emit(line);
        return;
    }
    m_reporter.Print("Port:          " + PortName(port) + " (" + PortLister().PathOf(port) + ")");
    m_reporter.Print(std::string("Line settings: ") + mode);
    m_reporter.Print("Device info:   " + std::to_string(m_info1) + ", " + std::to_string(m_info2));
}

void DeviceCommands::Df() {
    if (!Connect(false)) {
        return;
    }
    TRELM_STATISTICS stats{};
    stats.StructSize = TRELM_STATISTICS_SIZE;
    const uint32_t result = TRELM_GetStatistics(&stats);
    if (result != TRELM_OK) {
        m_reporter.Failed(m_line.commandName, Reporter::FromLibrary(result));
        return;
    }
    if (m_reporter.Json()) {
        JsonLine line("statistics");
        line.Add("openFiles", stats.OpenFiles)
            .Add("maxOpenFiles", stats.MaxOpenFiles)
            .Add("totalAllocatedBufferSize", stats.TotalAllocatedBufferSize)
            .Add("spaceInUse", stats.SpaceInUse)
            .Add("allocatedFileSpace", stats.AllocatedFileSpace);
        m_reporter.Emit(line);
        return;
    }
    m_reporter.Print("Open files:           " + std::to_string(stats.OpenFiles) + " of at most " +
                     std::to_string(stats.MaxOpenFiles));
    m_reporter.Print("File buffer size:     " + std::to_string(stats.TotalAllocatedBufferSize) +
                     " bytes");
    m_reporter.Print("Space in use:         " + std::to_string(stats.SpaceInUse) + " bytes");
    m_reporter.Print("Allocated file space: " + std::to_string(stats.AllocatedFileSpace) +
                     " bytes");
}

void DeviceCommands::Ls() {
    if (!Connect(false)) {
        return;
    }
    const uint32_t flag = m_line.listHidden ? 1 : 0;
    uint32_t count = 0;
    TRELM_FILE_INFO info{};
    info.StructSize = TRELM_FILE_INFO_SIZE;
    uint32_t result = TRELM_FindFirstFile(flag, &count, &info);
    uint32_t listed = 0;
    while (result == TRELM_OK && count > 0) {
        const std::string name = FileName(info);
        if (m_reporter.Json()) {
            JsonLine line("file");
            line.Add("name", name)
                .Add("fileSize", info.FileSize)
                .Add("reportedSize", info.ReportedSize)
                .Add("reportedValue", info.ReportedValue)
                .Add("attr", info.Attr)
                .Add("attributes", AttributeLetters(info.Attr))
                .Add("created", TimeText(info.CreationTime, 'T'))
                .Add("modified", TimeText(info.LastWriteTime, 'T'));
            m_reporter.Emit(line);
        } else if (m_line.listLong) {
            // The size column shows ReportedSize, as the program's device list does.
            char text[128];
            std::snprintf(text, sizeof text, "%s %6u  %s  ", AttributeLetters(info.Attr).c_str(),
                          info.ReportedSize, TimeText(info.LastWriteTime, ' ').c_str());
            m_reporter.Print(text + name);
        } else {
            m_reporter.Print(name);
        }
        ++listed;
        info.StructSize = TRELM_FILE_INFO_SIZE;
        result = TRELM_FindNextFile(&info);
    }
    if (result == TRELM_ERROR_NO_MORE_FILES) {
        result = TRELM_OK;
    }
    // Read the extended error values before FindClose resets them.
    const Reporter::Failure failure = Reporter::FromLibrary(result);
    TRELM_FindClose();
    if (result != TRELM_OK) {
        m_reporter.Failed(m_line.commandName, failure);
        return;
    }
    if (m_reporter.Json()) {
        JsonLine line("listing");
        line.Add("files", listed).Add("hidden", m_line.listHidden);
        m_reporter.Emit(line);
    }
}

void DeviceCommands::Exists() {
    if (!Connect(false)) {
        return;
    }
    const std::string& name = m_line.operands.front();
    uint32_t exists = 0;
    const uint32_t result = TRELM_FileExists(name.c_str(), m_line.listHidden ? 1 : 0, &exists);
    if (result != TRELM_OK) {
        m_reporter.FileFailed(m_line.commandName, name, Reporter::FromLibrary(result));
        return;
    }
    if (m_reporter.Json()) {
        JsonLine line("exists");
        line.Add("file", name).Add("exists", exists != 0);
        m_reporter.Emit(line);
        return;
    }
    m_reporter.Print(exists != 0 ? "yes" : "no");
}

void DeviceCommands::Get() {
    std::vector<std::string> names = m_line.operands;
    std::string dest;
    if (names.size() >= 2) {
        const std::string& last = names.back();
        if (last.find('/') != std::string::npos || IsDirectory(last)) {
            dest = last;
            names.pop_back();
        }
    }
    if (!m_line.portFolder.empty()) {
        // One sub-folder per port inside the destination folder.
        const std::string base = dest.empty() ? std::string(".") : dest;
        if (!IsDirectory(base)) {
            m_reporter.UsageError("get --per-port-folders: no folder " + base);
            return;
        }
        dest = JoinPath(base, m_line.portFolder);
        if (::mkdir(dest.c_str(), 0777) != 0 && errno != EEXIST) {
            m_reporter.Failed(
                m_line.commandName,
                Reporter::Local(TRELM_ERROR_PC_FILE_IO_FAILED, "cannot make the folder " + dest));
            return;
        }
    }
    const bool destIsFolder = !dest.empty() && IsDirectory(dest);
    if (!dest.empty() && !destIsFolder) {
        if (dest.back() == '/') {
            m_reporter.UsageError("get: no folder " + dest);
            return;
        }
        if (names.size() > 1) {
            m_reporter.UsageError("get: several files need a destination folder, and " + dest +
                                  " is none");
            return;
        }
    }

    bool connected = false;
    for (const std::string& name : names) {
        if (CancelledBetweenFiles(name)) {
            return;
        }
        if (!IsPlainName(name)) {
            m_reporter.FileFailed(m_line.commandName, name,
                                  Reporter::Local(TRELM_ERROR_BAD_PARAMETERS,
                                                  "refused: not a plain device file name"));
            continue;
        }
        const std::string localPath = dest.empty()   ? name
                                      : destIsFolder ? JoinPath(dest, name)
                                                     : dest;
        if (!m_line.force && LocalDestination(localPath, false).Exists()) {
            m_reporter.FileFailed(
                m_line.commandName, name,
                Reporter::Local(
                    TRELM_ERROR_BAD_PARAMETERS,
                    "refused: " + localPath + " exists " +
                        (m_line.sharedFolder ? kSharedFolderHint : "(use --force to replace it)")));
            continue;
        }
        if (!connected) {
            if (!Connect(false)) {
                return;
            }
            connected = true;
        }
        if (!GetOne(name, localPath)) {
            return;
        }
    }
}

bool DeviceCommands::GetOne(const std::string& name, const std::string& localPath) {
    const std::string& command = m_line.commandName;
    uint32_t handle = 0;
    uint32_t size = 0;
    uint32_t result = TRELM_GetFileHandleFromFileName(name.c_str(), &handle);
    if (result == TRELM_OK) {
        result = TRELM_GetFileSizeFromFileHandle(handle, &size);
    }
    if (result != TRELM_OK) {
        m_reporter.FileFailed(command, name, Reporter::FromLibrary(result));
        return !EndsTheRun(result);
    }

    LocalDestination destination(localPath, m_line.force, m_line.verify);
    std::string error;
    if (m_line.force && m_line.verify && LocalDestination(localPath, true).Exists()) {
        // The library would refuse to write over a protected file; the staged
        // copy of a verified get must be refused the same way.
        struct stat old {};
        const std::size_t slash = localPath.rfind('/');
        const bool hidden = localPath[slash == std::string::npos ? 0 : slash + 1] == '.';
        if (::stat(localPath.c_str(), &old) == 0 && ((old.st_mode & S_IWUSR) == 0 || hidden)) {
            m_reporter.FileFailed(command, name,
                                  Reporter::Local(TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN,
                                                  localPath + " is read-only or hidden"));
            return true;
        }
    }
    if (!destination.Prepare(error)) {
        m_reporter.FileFailed(command, name,
                              Reporter::Local(TRELM_ERROR_PC_FILENAME_INVALID, error));
        return true;
    }
    {
        TransferProgress progress(m_reporter, m_bar, command, name, size);
        result = TRELM_CopyFileFromDeviceWithProgress(name.c_str(), destination.WritePath().c_str(),
                                                      TransferProgress::Callback);
    }
    if (result != TRELM_OK) {
        m_reporter.FileFailed(command, name, Reporter::FromLibrary(result));
        return !EndsTheRun(result);
    }
    if (m_line.verify) {
        std::string copied;
        if (!ReadBack::ReadLocal(destination.WritePath(), copied)) {
            m_reporter.FileFailed(
                command, name,
                Reporter::Local(TRELM_ERROR_PC_FILE_IO_FAILED, "verify: cannot read the copy"));
            return true;
        }
        const uint32_t verified = Verify(name, name, copied);
        if (verified != TRELM_OK) {
            return !EndsTheRun(verified);
        }
    }
    if (!destination.Commit(error)) {
        if (m_line.sharedFolder && destination.Exists()) {
            error = "refused: " + localPath + " appeared while the copy ran " + kSharedFolderHint;
        }
        m_reporter.FileFailed(command, name, Reporter::Local(TRELM_ERROR_BAD_PARAMETERS, error));
        return true;
    }
    struct stat info {};
    const uint64_t bytes =
        ::stat(localPath.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : size;
    m_reporter.FileDone(command, name, bytes,
                        name + ": copied to " + localPath + " (" + std::to_string(bytes) +
                            (m_line.verify ? " bytes, verified)" : " bytes)"));
    return true;
}

uint32_t DeviceCommands::Verify(const std::string& file, const std::string& deviceName,
                                const std::string& expected) {
    std::string actual;
    std::string error;
    const uint32_t result = ReadBack::Read(deviceName, actual, error);
    if (result != TRELM_OK) {
        m_reporter.FileFailed(
            m_line.commandName, file,
            error.empty()
                ? Reporter::FromLibrary(result, "verify: reading " + deviceName + " back failed")
                : Reporter::Local(result, "verify: " + error));
        return result;
    }
    const std::string difference = ReadBack::Difference(expected, actual);
    if (!difference.empty()) {
        m_reporter.FileFailed(m_line.commandName, file,
                              Reporter::VerifyMismatch("verify: the device's " + deviceName +
                                                       " is not what was copied: " + difference));
        return Reporter::kVerifyExit;
    }
    return TRELM_OK;
}

void DeviceCommands::Put() {
    if (!Connect(false)) {
        return;
    }
    const std::string& command = m_line.commandName;
    for (const std::string& path : m_line.operands) {
        if (CancelledBetweenFiles(path)) {
            return;
        }
        struct stat info {};
        const uint64_t size =
            ::stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
        // What is sent is read now, so a later change of the local file is
        // not taken for a fault of the device.
        std::string sent;
        const bool haveSent = m_line.verify && ReadBack::ReadLocal(path, sent);
        uint32_t result = TRELM_OK;
        {
            TransferProgress progress(m_reporter, m_bar, command, path, size);
            result = TRELM_CopyFileToDeviceWithProgress(path.c_str(), m_line.attributes,
                                                        TransferProgress::Callback);
        }
        if (result != TRELM_OK) {
            m_reporter.FileFailed(command, path, Reporter::FromLibrary(result));
            if (EndsTheRun(result)) {
                return;
            }
            continue;
        }
        const std::size_t slash = path.rfind('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (m_line.verify) {
            if (!haveSent) {
                m_reporter.FileFailed(
                    command, path,
                    Reporter::Local(TRELM_ERROR_PC_FILE_IO_FAILED, "verify: cannot read " + path));
                continue;
            }
            const uint32_t verified = Verify(path, name, sent);
            if (verified != TRELM_OK) {
                if (EndsTheRun(verified)) {
                    return;
                }
                continue;
            }
        }
        m_reporter.FileDone(command, path, size,
                            path + ": copied to the device as " + name + " (" +
                                std::to_string(size) +
                                (m_line.verify ? " bytes, verified)" : " bytes)"));
    }
}

void DeviceCommands::Rm() {
    if (!Connect(false)) {
        return;
    }
    const std::string& command = m_line.commandName;
    for (const std::string& name : m_line.operands) {
        if (CancelledBetweenFiles(name)) {
            return;
        }
        const uint32_t result = TRELM_DeleteFile(name.c_str(), m_line.force ? 1 : 0);
        if (result != TRELM_OK) {
            m_reporter.FileFailed(command, name, Reporter::FromLibrary(result));
            if (EndsTheRun(result)) {
                return;
            }
            continue;
        }
        m_reporter.FileDone(command, name, std::nullopt, name + ": deleted");
    }
}

} // namespace trelmctl
