#include "DeviceProtocol.h"

#include "ByteOrder.h"
#include "SerialPort.h"

#include <cstring>

namespace trelm {

namespace {

// Payload starts after the code and the length byte.
constexpr std::size_t kPayload = kFrameHeaderSize;

void SetPayloadLength(Frame& frame, std::size_t length) {
    frame[2] = static_cast<uint8_t>(length);
}

// Writes the name as the device expects it (ASCII letters lowered) to `at`.
void PutLoweredName(uint8_t* at, const char* name, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<uint8_t>(name[i]);
        at[i] = (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c - 'A' + 'a') : c;
    }
}

// Length of a name that fits the device, or nothing when it is absent or too long.
bool FitName(const char* name, std::size_t& length) {
    if (name == nullptr) {
        return false;
    }
    length = strnlen(name, kMaxDeviceNameLength + 1);
    return length <= kMaxDeviceNameLength;
}

} // namespace

DeviceProtocol::DeviceProtocol(SerialPort* port) {
    DeviceProtocol::AttachPort(port);
}

void DeviceProtocol::AttachPort(SerialPort* port) {
    FrameTransport::AttachPort(port);
    if (port != nullptr) {
        port->SetTimeouts(1000, 1000, 20000, 1000, 20000);
    }
}

Frame DeviceProtocol::Begin(uint16_t code) {
    m_argumentsRejected = false;
    Frame frame{};
    StoreU16(frame.data(), code);
    return frame;
}

bool DeviceProtocol::Reject() {
    m_argumentsRejected = true;
    return false;
}

bool DeviceProtocol::Exchange(Frame& frame, uint8_t tries) {
    const auto replyCode = static_cast<uint16_t>(LoadU16(frame.data()) + 1);
    uint32_t word = NO_ACK_WORD;
    LinkStatus status = LINK_NO_ANSWER;
    const uint8_t* reply = Transact(frame, tries, word, replyCode, status);
    DrainInput();
    return reply != nullptr;
}

bool DeviceProtocol::AckOnly(Frame& frame) {
    uint32_t word = NO_ACK_WORD;
    SendFrame(frame, kTries, word);
    DrainInput();
    return word == ACK_WORD;
}

bool DeviceProtocol::NoArgument(uint16_t code) {
    Frame frame = Begin(code);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::NameArgument(uint16_t code, const char* fileName) {
    Frame frame = Begin(code);
    std::size_t length = 0;
    if (!FitName(fileName, length)) {
        return Reject();
    }
    frame[kPayload] = static_cast<uint8_t>(length);
    PutLoweredName(frame.data() + kPayload + 1, fileName, length);
    SetPayloadLength(frame, length + 1);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::HandleArgument(uint16_t code, uint32_t fileHandle) {
    Frame frame = Begin(code);
    StoreU16(frame.data() + kPayload, static_cast<uint16_t>(fileHandle));
    SetPayloadLength(frame, 2);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::PacketNumberArgument(uint16_t code, uint32_t packetNo) {
    Frame frame = Begin(code);
    // The device counts listing packets in one byte.
    StoreU16(frame.data() + kPayload, static_cast<uint16_t>(packetNo & 0xFF));
    SetPayloadLength(frame, 2);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::WakeUpDut(uint8_t pcSwVersion, uint8_t tries) {
    Frame frame = Begin(WAKE_UP_DUT);
    frame[kPayload] = pcSwVersion;
    SetPayloadLength(frame, 1);
    return Exchange(frame, tries);
}

bool DeviceProtocol::GetNvFileHandle(const char* fileName) {
    return NameArgument(GET_NV_FILE_HANDLE, fileName);
}

bool DeviceProtocol::ReadNvFile(uint32_t fileHandle, uint16_t numBytes) {
    Frame frame = Begin(READ_NV_FILE);
    StoreU16(frame.data() + kPayload, static_cast<uint16_t>(fileHandle));
    StoreU16(frame.data() + kPayload + 2, numBytes);
    SetPayloadLength(frame, 4);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::ReadNvFileDataPacket(uint32_t fileHandle, uint16_t packetNo) {
    Frame frame = Begin(READ_NV_FILE_DATA_PACKET);
    StoreU16(frame.data() + kPayload, static_cast<uint16_t>(fileHandle));
    StoreU16(frame.data() + kPayload + 2, packetNo);
    SetPayloadLength(frame, 4);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::ReadNvFileTerminateRead(uint32_t fileHandle) {
    Frame frame = Begin(READ_NV_FILE_TERMINATE_READ);
    StoreU16(frame.data() + kPayload, static_cast<uint16_t>(fileHandle));
    SetPayloadLength(frame, 2);
    return AckOnly(frame);
}

bool DeviceProtocol::CreateNvFile(const char* fileName, uint32_t fileSize,
                                  const TRELM_SYSTEMTIME* time, uint8_t attr,
                                  uint16_t& numPackets) {
    Frame frame = Begin(CREATE_NV_FILE);
    std::size_t length = 0;
    if (time == nullptr || !FitName(fileName, length) || fileSize > kMaxDeviceFileSize) {
        return Reject();
    }
    numPackets = static_cast<uint16_t>((fileSize + kPacketDataSize - 1) / kPacketDataSize);

    uint8_t* p = frame.data() + kPayload;
    p[0] = static_cast<uint8_t>(length);
    StoreU16(p + 1, static_cast<uint16_t>(fileSize));
    StoreU16(p + 3, numPackets);
    p[5] = static_cast<uint8_t>(time->wHour);
    p[6] = static_cast<uint8_t>(time->wMinute);
    p[7] = static_cast<uint8_t>(time->wSecond);
    p[8] = static_cast<uint8_t>(time->wDay);
    p[9] = static_cast<uint8_t>(time->wMonth);
    StoreU16(p + 10, time->wYear);
    p[12] = static_cast<uint8_t>(time->wDayOfWeek);
    p[13] = attr;
    PutLoweredName(p + 14, fileName, length);
    SetPayloadLength(frame, 14 + length);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::CreateNvFileDataPacket(uint16_t packetNo, uint32_t count,
                                            const uint8_t* data) {
    Frame frame = Begin(CREATE_NV_FILE_DATA_PACKET);
    if (data == nullptr || count > kPacketDataSize) {
        return Reject();
    }
    uint8_t* p = frame.data() + kPayload;
    StoreU16(p, packetNo);
    p[2] = static_cast<uint8_t>(count);
    if (count > 0) {
        std::memcpy(p + 3, data, count);
    }
    SetPayloadLength(frame, count + 3);
    return Exchange(frame, kTries);
}

bool DeviceProtocol::CreateNvFileStoreFile() {
    return NoArgument(CREATE_NV_FILE_STORE_FILE);
}

bool DeviceProtocol::GetNumberOfOpenNvFiles() {
    return NoArgument(GET_NUMBER_OF_OPEN_NV_FILES);
}

bool DeviceProtocol::GetMaxNumberOfOpenNvFiles() {
    return NoArgument(GET_MAX_NUMBER_OF_OPEN_NV_FILES);
}

bool DeviceProtocol::GetTotAllocatedNvFileBufSize() {
    return NoArgument(GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE);
}

bool DeviceProtocol::DeleteNvFile(const char* fileName) {
    return NameArgument(DELETE_NV_FILE, fileName);
}

bool DeviceProtocol::DeleteWriteProtectedNvFile(const char* fileName) {
    return NameArgument(DELETE_WRITE_PROTECTED_NV_FILE, fileName);
}

bool DeviceProtocol::NvFileExist(const char* fileName) {
    return NameArgument(NV_FILE_EXIST, fileName);
}

bool DeviceProtocol::NvFileExistEx(const char* fileName) {
    return NameArgument(NV_FILE_EXIST_EX, fileName);
}

bool DeviceProtocol::GetNvFileSizeEx(uint32_t fileHandle) {
    return HandleArgument(GET_NV_FILE_SIZE_EX, fileHandle);
}

bool DeviceProtocol::NvFileGetSpaceInUse() {
    return NoArgument(NV_FILE_GET_SPACE_IN_USE);
}

bool DeviceProtocol::GetNvFileInfoList() {
    return NoArgument(GET_NV_FILE_INFO_LIST);
}

bool DeviceProtocol::GetNvFileInfoListDataPacket(uint32_t packetNo) {
    return PacketNumberArgument(GET_NV_FILE_INFO_LIST_DATA_PACKET, packetNo);
}

bool DeviceProtocol::GetNvFileInfoListEnd() {
    Frame frame = Begin(GET_NV_FILE_INFO_LIST_END);
    return AckOnly(frame);
}

bool DeviceProtocol::GetNvFileInfoListEx() {
    return NoArgument(GET_NV_FILE_INFO_LIST_EX);
}

bool DeviceProtocol::GetNvFileInfoListExDataPacket(uint32_t packetNo) {
    return PacketNumberArgument(GET_NV_FILE_INFO_LIST_EX_DATA_PACKET, packetNo);
}

bool DeviceProtocol::GetNvFileInfoListExEnd() {
    Frame frame = Begin(GET_NV_FILE_INFO_LIST_EX_END);
    return AckOnly(frame);
}

bool DeviceProtocol::NvFileGetFileInfoEx(uint32_t fileHandle) {
    return HandleArgument(NV_FILE_GET_FILE_INFO_EX, fileHandle);
}

bool DeviceProtocol::NvFileGetFileInfoAllFiles(const char* fileName) {
    return NameArgument(NV_FILE_GET_FILE_INFO_ALL_FILES, fileName);
}

bool DeviceProtocol::NvFileGetFileInfoAllFilesEx(uint32_t fileHandle) {
    return HandleArgument(NV_FILE_GET_FILE_INFO_ALL_FILES_EX, fileHandle);
}

bool DeviceProtocol::NvFileGetAllocatedNvFileSpace() {
    return NoArgument(NV_FILE_GET_ALLOCATED_NV_FILE_SPACE);
}

} // namespace trelm
