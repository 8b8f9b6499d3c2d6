#include "Trace.h"

#include "ByteOrder.h"
#include "Debug.h"
#include "DeviceProtocol.h"
#include "FrameTransport.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <span>
#include <unistd.h>

namespace trelm {

namespace {

// How the payload of a request or a reply is laid out.
enum class Layout {
    None,          // no payload
    PcSwVersion,   // u8
    Name,          // name argument: length byte, characters
    Handle,        // u16 handle
    HandleCount,   // u16 handle, u16 byte count
    HandlePacket,  // u16 handle, u16 packet number
    Create,        // the CREATE_NV_FILE record
    CreatePacket,  // u16 packet number, u8 count, data
    ListPacket,    // u16 packet number (low 8 bits)
    WakeUpReply,   // two device-information bytes
    Status,        // status byte only
    StatusHandle,  // status, u16 handle
    StatusCount16, // status, u16 count
    StatusSize32,  // status, u32 size
    Exists,        // status, unused byte, existence flag
    SizeEx,        // status, 2 unused bytes, u32 size
    ReadOpen,      // status, 2 unused bytes, u16 bytes, u16 packets
    ReadPacket,    // 2 unused bytes, u16 packet number, u8 count, data
    CreateNext,    // u16 next packet, u8 completion flag
    ListOpen,      // status, u16 files, u16 packets
    ListData,      // u16 packet number, u8 count, data
    FileInfo,      // the file-information record
};

struct Command {
    uint16_t code;
    const char* name;
    Layout request;
    const char* requestField; // the protocol's name of the request field, where there is one
    Layout reply;             // Layout::None: acknowledged only
};

constexpr Command kCommands[] = {
    {WAKE_UP_DUT, "WAKE_UP_DUT", Layout::PcSwVersion, "PcSwVersion", Layout::WakeUpReply},
    {GET_NV_FILE_HANDLE, "GET_NV_FILE_HANDLE", Layout::Name, "Filename", Layout::StatusHandle},
    {READ_NV_FILE, "READ_NV_FILE", Layout::HandleCount, "Filehandle", Layout::ReadOpen},
    {READ_NV_FILE_DATA_PACKET, "READ_NV_FILE_DATA_PACKET", Layout::HandlePacket, "FileHandle",
     Layout::ReadPacket},
    {READ_NV_FILE_TERMINATE_READ, "READ_NV_FILE_TERMINATE_READ", Layout::Handle, "FileHandle",
     Layout::None},
    {CREATE_NV_FILE, "CREATE_NV_FILE", Layout::Create, nullptr, Layout::Status},
    {CREATE_NV_FILE_DATA_PACKET, "CREATE_NV_FILE_DATA_PACKET", Layout::CreatePacket, nullptr,
     Layout::CreateNext},
    {CREATE_NV_FILE_STORE_FILE, "CREATE_NV_FILE_STORE_FILE", Layout::None, nullptr, Layout::Status},
    {GET_NUMBER_OF_OPEN_NV_FILES, "GET_NUMBER_OF_OPEN_NV_FILES", Layout::None, nullptr,
     Layout::StatusCount16},
    {GET_MAX_NUMBER_OF_OPEN_NV_FILES, "GET_MAX_NUMBER_OF_OPEN_NV_FILES", Layout::None, nullptr,
     Layout::StatusCount16},
    {GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE, "GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE", Layout::None,
     nullptr, Layout::StatusSize32},
    {DELETE_NV_FILE, "DELETE_NV_FILE", Layout::Name, "FileName", Layout::Status},
    {DELETE_WRITE_PROTECTED_NV_FILE, "DELETE_WRITE_PROTECTED_NV_FILE", Layout::Name, "FileName",
     Layout::Status},
    {NV_FILE_EXIST, "NV_FILE_EXIST", Layout::Name, "FileName", Layout::Exists},
    {NV_FILE_EXIST_EX, "NV_FILE_EXIST_EX", Layout::Name, "FileName", Layout::Exists},
    {GET_NV_FILE_SIZE_EX, "GET_NV_FILE_SIZE_EX", Layout::Handle, "FileHandle", Layout::SizeEx},
    {NV_FILE_GET_SPACE_IN_USE, "NV_FILE_GET_SPACE_IN_USE", Layout::None, nullptr,
     Layout::StatusSize32},
    {GET_NV_FILE_INFO_LIST, "GET_NV_FILE_INFO_LIST", Layout::None, nullptr, Layout::ListOpen},
    {GET_NV_FILE_INFO_LIST_DATA_PACKET, "GET_NV_FILE_INFO_LIST_DATA_PACKET", Layout::ListPacket,
     "PacketNo", Layout::ListData},
    {GET_NV_FILE_INFO_LIST_END, "GET_NV_FILE_INFO_LIST_END", Layout::None, nullptr, Layout::None},
    {GET_NV_FILE_INFO_LIST_EX, "GET_NV_FILE_INFO_LIST_EX", Layout::None, nullptr, Layout::ListOpen},
    {GET_NV_FILE_INFO_LIST_EX_DATA_PACKET, "GET_NV_FILE_INFO_LIST_EX_DATA_PACKET",
     Layout::ListPacket, "PacketNo", Layout::ListData},
    {GET_NV_FILE_INFO_LIST_EX_END, "GET_NV_FILE_INFO_LIST_EX_END", Layout::None, nullptr,
     Layout::None},
    {NV_FILE_GET_FILE_INFO_EX, "NV_FILE_GET_FILE_INFO_EX", Layout::Handle, "Filehandle",
     Layout::FileInfo},
    {NV_FILE_GET_FILE_INFO_ALL_FILES, "NV_FILE_GET_FILE_INFO_ALL_FILES", Layout::Name, "Filename",
     Layout::FileInfo},
    {NV_FILE_GET_FILE_INFO_ALL_FILES_EX, "NV_FILE_GET_FILE_INFO_ALL_FILES_EX", Layout::Handle,
     "Filehandle", Layout::FileInfo},
    {NV_FILE_GET_ALLOCATED_NV_FILE_SPACE, "NV_FILE_GET_ALLOCATED_NV_FILE_SPACE", Layout::None,
     nullptr, Layout::StatusSize32},
};

constexpr const char* kDeviceErrorNames[] = {
    "TRELM_DEVICE_ERROR_NO_ERROR",
    "TRELM_DEVICE_ERROR_FLASH_BUSY",
    "TRELM_DEVICE_ERROR_NO_ID_FOUND",
    "TRELM_DEVICE_ERROR_NO_FREE_ID_FOUND",
    "TRELM_DEVICE_ERROR_READ_ERROR",
    "TRELM_DEVICE_ERROR_WRITE_ERROR",
    "TRELM_DEVICE_ERROR_DELETE_ERROR",
    "TRELM_DEVICE_ERROR_END_OF_FILE_REACHED",
    "TRELM_DEVICE_ERROR_START_OF_FILE_REACHED",
    "TRELM_DEVICE_ERROR_MAX_NUM_FILES_EXCEEDED",
    "TRELM_DEVICE_ERROR_FILE_HANDLE_UNKNOWN",
    "TRELM_DEVICE_ERROR_FILE_WRITE_PROTECTED",
    "TRELM_DEVICE_ERROR_ILLEGAL_FILENAME",
    "TRELM_DEVICE_ERROR_ILLEGAL_SOURCE_FILENAME",
    "TRELM_DEVICE_ERROR_ILLEGAL_DESTINATION_FILENAME",
    "TRELM_DEVICE_ERROR_EXISTING_FILENAME",
    "TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME",
    "TRELM_DEVICE_ERROR_FILE_IS_OPEN",
    "TRELM_DEVICE_ERROR_FILE_IS_NOT_OPEN",
    "TRELM_DEVICE_ERROR_FILE_IS_WRITE_PROTECTED",
    "TRELM_DEVICE_ERROR_COULD_NOT_DELETE_FILE",
    "TRELM_DEVICE_ERROR_COULD_NOT_LOCATE_SOURCE_FILE",
    "TRELM_DEVICE_ERROR_COULD_NOT_CREATE_DESTINATION_FILE",
    "TRELM_DEVICE_ERROR_COULD_NOT_SET_WRITE_POINTER",
    "TRELM_DEVICE_ERROR_COULD_NOT_ACCEPT_WRITE_POINTER_OFFSET",
    "TRELM_DEVICE_ERROR_MEM_ALLOCATION_ERROR",
    "TRELM_DEVICE_ERROR_COULD_NOT_MOVE_FILEPOINTER",
    "TRELM_DEVICE_ERROR_MAX_ERROR",
};

const Command* FindCommand(uint16_t code) {
    for (const Command& command : kCommands) {
        if (command.code == code) {
            return &command;
        }
    }
    return nullptr;
}

// The command a reply code answers: the one whose code is one less and which
// has a reply frame at all.
const Command* FindReplied(uint16_t replyCode) {
    const Command* command = FindCommand(static_cast<uint16_t>(replyCode - 1));
    return (command != nullptr && command->reply != Layout::None) ? command : nullptr;
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* fmt, ...) {
    char buffer[256];
    std::va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer);
}

// A device text in double quotes, with anything unprintable as \xNN.
std::string Quoted(std::span<const uint8_t> text) {
    std::string out = "\"";
    for (const uint8_t c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += Format("\\x%02X", c);
        }
    }
    return out + "\"";
}

// The name argument: a length byte and that many characters.
std::string NameArgument(const char* field, std::span<const uint8_t> payload) {
    const std::size_t declared = LoadU8(payload, 0);
    const std::size_t present = payload.empty() ? 0 : payload.size() - 1;
    std::string text =
        std::string(field) + "=" +
        Quoted(payload.subspan(payload.empty() ? 0 : 1, declared < present ? declared : present));
    if (declared != present) {
        text += Format(" [length byte %zu, %zu characters follow]", declared, present);
    }
    return text;
}

std::string StatusText(std::span<const uint8_t> payload) {
    const uint8_t status = LoadU8(payload, 0);
    return Format("status=%u (%s)", status, Trace::DeviceErrorName(status));
}

// A device time stamp of a file-information reply: hh mm ss DD MM YY(2) WD.
std::string Stamp(std::span<const uint8_t> payload, std::size_t at) {
    return Format("%04u-%02u-%02u %02u:%02u:%02u/%u", LoadU16(payload, at + 5),
                  LoadU8(payload, at + 4), LoadU8(payload, at + 3), LoadU8(payload, at + 0),
                  LoadU8(payload, at + 1), LoadU8(payload, at + 2), LoadU8(payload, at + 7));
}

// The file name of a file-information reply: up to 13 bytes, zero-terminated.
std::string InfoName(std::span<const uint8_t> payload) {
    constexpr std::size_t kAt = 34;
    constexpr std::size_t kSize = 13;
    if (payload.size() <= kAt) {
        return "\"\"";
    }
    std::span<const uint8_t> name = payload.subspan(kAt);
    if (name.size() > kSize) {
        name = name.first(kSize);
    }
    std::size_t length = 0;
    while (length < name.size() && name[length] != 0) {
        ++length;
    }
    return Quoted(name.first(length));
}

// The payload bytes a layout reads; a shorter payload reads zeros.
std::size_t NeededBytes(Layout layout) {
    switch (layout) {
    case Layout::None:
        return 0;
    case Layout::PcSwVersion:
    case Layout::Name:
    case Layout::Status:
        return 1;
    case Layout::Handle:
    case Layout::ListPacket:
    case Layout::WakeUpReply:
        return 2;
    case Layout::StatusHandle:
    case Layout::StatusCount16:
    case Layout::Exists:
    case Layout::CreatePacket:
    case Layout::CreateNext:
    case Layout::ListData:
        return 3;
    case Layout::HandleCount:
    case Layout::HandlePacket:
        return 4;
    case Layout::StatusSize32:
    case Layout::ListOpen:
    case Layout::ReadPacket:
        return 5;
    case Layout::SizeEx:
    case Layout::ReadOpen:
        return 7;
    case Layout::Create:
        return 14;
    case Layout::FileInfo:
        return 34;
    }
    return 0;
}

std::string Fields(Layout layout, const char* field, std::span<const uint8_t> p) {
    switch (layout) {
    case Layout::None:
        return {};
    case Layout::PcSwVersion:
        return Format("%s=%u", field, LoadU8(p, 0));
    case Layout::Name:
        return NameArgument(field, p);
    case Layout::Handle:
        return Format("%s=%u", field, LoadU16(p, 0));
    case Layout::HandleCount:
        return Format("%s=%u NumBytes=%u", field, LoadU16(p, 0), LoadU16(p, 2));
    case Layout::HandlePacket:
        return Format("%s=%u PacketNo=%u", field, LoadU16(p, 0), LoadU16(p, 2));
    case Layout::Create: {
        const std::size_t nameLength = LoadU8(p, 0);
        const std::size_t available = p.size() > 14 ? p.size() - 14 : 0;
        return Format("FileSize=%u NumPackets=%u hh=%u mm=%u ss=%u DD=%u MM=%u YY=%u WD=%u "
                      "Attr=0x%02X ",
                      LoadU16(p, 1), LoadU16(p, 3), LoadU8(p, 5), LoadU8(p, 6), LoadU8(p, 7),
                      LoadU8(p, 8), LoadU8(p, 9), LoadU16(p, 10), LoadU8(p, 12), LoadU8(p, 13)) +
               "FileName=" +
               Quoted(p.subspan(p.size() > 14 ? 14 : p.size(),
                                nameLength < available ? nameLength : available));
    }
    case Layout::CreatePacket:
        return Format("PacketNo=%u count=%u", LoadU16(p, 0), LoadU8(p, 2));
    case Layout::ListPacket:
        return Format("%s=%u", field, LoadU16(p, 0));
    case Layout::WakeUpReply:
        return Format("info1=%u info2=%u", LoadU8(p, 0), LoadU8(p, 1));
    case Layout::Status:
        return StatusText(p);
    case Layout::StatusHandle:
        return StatusText(p) + Format(" FileHandle=%u", LoadU16(p, 1));
    case Layout::StatusCount16:
        return StatusText(p) + Format(" count=%u", LoadU16(p, 1));
    case Layout::StatusSize32:
        return StatusText(p) + Format(" size=%u", LoadU32(p, 1));
    case Layout::Exists:
        return StatusText(p) + Format(" exists=%u", LoadU8(p, 2));
    case Layout::SizeEx:
        return StatusText(p) + Format(" size=%u", LoadU32(p, 3));
    case Layout::ReadOpen:
        return StatusText(p) + Format(" NumBytes=%u NumPackets=%u", LoadU16(p, 3), LoadU16(p, 5));
    case Layout::ReadPacket:
        return Format("PacketNo=%u count=%u", LoadU16(p, 2), LoadU8(p, 4));
    case Layout::CreateNext:
        return Format("NextPacketNo=%u complete=%u", LoadU16(p, 0), LoadU8(p, 2));
    case Layout::ListOpen:
        return StatusText(p) + Format(" files=%u NumPackets=%u", LoadU16(p, 1), LoadU16(p, 3));
    case Layout::ListData:
        return Format("PacketNo=%u count=%u", LoadU16(p, 0), LoadU8(p, 2));
    case Layout::FileInfo:
        return StatusText(p) +
               Format(" FileHandle=%u size=%u created=", LoadU16(p, 1), LoadU32(p, 3)) +
               Stamp(p, 7) + " modified=" + Stamp(p, 15) +
               Format(" Attr=0x%04X ReportedSize=%u ReportedValue=%u name=", LoadU16(p, 23),
                      LoadU32(p, 25), LoadU32(p, 29)) +
               InfoName(p);
    }
    return {};
}

// Name and fields of a complete frame, or what is wrong with it.
std::string DescribeFrame(const uint8_t* frame, std::size_t received, bool isRequest) {
    if (frame == nullptr || received < kFrameHeaderSize + kChecksumSize ||
        received < FrameLength(frame)) {
        const std::size_t expected =
            (frame != nullptr && received >= kFrameHeaderSize) ? FrameLength(frame) : 0;
        std::string text = isRequest ? "request cut short" : "incomplete reply";
        if (expected > 0) {
            return text + Format(" (%zu of %zu bytes)", received, expected);
        }
        return text +
               Format(" (%zu of at least %zu bytes)", received, kFrameHeaderSize + kChecksumSize);
    }

    const uint16_t code = LoadU16(frame);
    const std::span<const uint8_t> payload(frame + kFrameHeaderSize, frame[2]);
    std::string text;
    Layout layout = Layout::None;
    if (isRequest) {
        const Command* command = FindCommand(code);
        if (command == nullptr) {
            text = Format("unknown command 0x%04X", code);
        } else {
            text = command->name;
            layout = command->request;
            const std::string fields = Fields(layout, command->requestField, payload);
            if (!fields.empty()) {
                text += " " + fields;
            }
        }
    } else {
        const Command* command = FindReplied(code);
        if (command == nullptr) {
            text = Format("reply with unknown code 0x%04X", code);
        } else {
            text = std::string(command->name) + " reply";
            layout = command->reply;
            const std::string fields = Fields(layout, nullptr, payload);
            if (!fields.empty()) {
                text += " " + fields;
            }
        }
    }
    if (payload.size() < NeededBytes(layout)) {
        text += Format(" [payload of %zu bytes is too short]", payload.size());
    }
    if (!FrameTransport::VerifyChecksum(frame)) {
        const std::size_t covered = kFrameHeaderSize + frame[2];
        uint16_t sum = 0;
        for (std::size_t i = 0; i < covered; ++i) {
            sum = static_cast<uint16_t>(sum + frame[i]);
        }
        text += Format(" [checksum 0x%04X wrong, expected 0x%04X]", LoadU16(frame + covered), sum);
    }
    return text;
}

struct TraceFile {
    std::mutex mutex;
    int fd = -1;
    std::chrono::steady_clock::time_point previous;
};

TraceFile& File() {
    static TraceFile file;
    return file;
}

void WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace

const char* Trace::DeviceErrorName(uint32_t status) {
    constexpr std::size_t kCount = sizeof kDeviceErrorNames / sizeof kDeviceErrorNames[0];
    return status < kCount ? kDeviceErrorNames[status] : "unknown";
}

std::string Trace::Hex(const uint8_t* bytes, std::size_t count) {
    if (bytes == nullptr || count == 0) {
        return "-";
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out += ' ';
        }
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

std::string Trace::DescribeRequest(const uint8_t* frame, std::size_t length, std::size_t written) {
    std::string text = DescribeFrame(frame, length, true);
    if (written < length) {
        text += Format(" [write failed after %zu of %zu bytes]", written, length);
    }
    return text;
}

std::string Trace::DescribeAcknowledgement(const uint8_t* bytes, std::size_t received) {
    if (bytes == nullptr || received < 2) {
        return Format("no acknowledgement word (%zu of 2 bytes)", received);
    }
    const uint16_t word = LoadU16(bytes);
    if (word == ACK_WORD) {
        return "ACK_WORD";
    }
    if (word == NAK_WORD) {
        return "NAK_WORD";
    }
    return Format("unrecognised word 0x%04X", word);
}

std::string Trace::DescribeReply(const uint8_t* frame, std::size_t received) {
    return DescribeFrame(frame, received, false);
}

std::string Trace::DescribeDiscarded(std::size_t count) {
    return Format("discarded late input (%zu byte%s)", count, count == 1 ? "" : "s");
}

bool Trace::Start() {
    const char* path = std::getenv("TRELM_TRACE");
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    TraceFile& file = File();
    file.fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file.fd < 0) {
        DebugPrint("Trace: cannot open '%s': %s\n", path, std::strerror(errno));
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char when[32] = "";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    }
    WriteAll(file.fd, Format("# trelm protocol trace, process %ld, started %s\n",
                             static_cast<long>(::getpid()), when));
    file.previous = std::chrono::steady_clock::now();
    return true;
}

void Trace::WriteLine(const char* direction, const uint8_t* bytes, std::size_t count,
                      const std::string& text) {
    TraceFile& file = File();
    std::lock_guard<std::mutex> lock(file.mutex);
    const auto now = std::chrono::steady_clock::now();
    const double elapsedMs = std::chrono::duration<double, std::milli>(now - file.previous).count();
    file.previous = now;
    // One write per line, so that lines of processes sharing the file stay whole.
    WriteAll(file.fd,
             Format("%s +%.3fms ", direction, elapsedMs) + Hex(bytes, count) + " | " + text + "\n");
}

} // namespace trelm
