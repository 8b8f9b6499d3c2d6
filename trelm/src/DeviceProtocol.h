// One method per device command on top of the frame transport. Each method
// checks its arguments (sending nothing when they are unfit), builds the
// request, runs the exchange, drains late input and reports success. The
// reply is read afterwards through GetReply() / ReplyPayload().
#pragma once

#include "FrameTransport.h"
#include "trelm.h"

#include <cstdint>

namespace trelm {

// Command codes; the reply code of each is the command code plus one.
inline constexpr uint16_t WAKE_UP_DUT = 0x0000;
inline constexpr uint16_t GET_NV_FILE_HANDLE = 0x1300;
inline constexpr uint16_t READ_NV_FILE = 0x1302;
inline constexpr uint16_t READ_NV_FILE_DATA_PACKET = 0x1304;
inline constexpr uint16_t READ_NV_FILE_TERMINATE_READ = 0x1306; // acknowledged only
inline constexpr uint16_t CREATE_NV_FILE = 0x1307;
inline constexpr uint16_t CREATE_NV_FILE_DATA_PACKET = 0x1309;
inline constexpr uint16_t CREATE_NV_FILE_STORE_FILE = 0x130B;
inline constexpr uint16_t GET_NUMBER_OF_OPEN_NV_FILES = 0x131D;
inline constexpr uint16_t GET_MAX_NUMBER_OF_OPEN_NV_FILES = 0x131F;
inline constexpr uint16_t GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE = 0x1321;
inline constexpr uint16_t DELETE_NV_FILE = 0x1323;
inline constexpr uint16_t DELETE_WRITE_PROTECTED_NV_FILE = 0x1325;
inline constexpr uint16_t NV_FILE_EXIST = 0x1327;
inline constexpr uint16_t NV_FILE_EXIST_EX = 0x1329;
inline constexpr uint16_t GET_NV_FILE_SIZE_EX = 0x132F;
inline constexpr uint16_t NV_FILE_GET_SPACE_IN_USE = 0x1331;
inline constexpr uint16_t GET_NV_FILE_INFO_LIST = 0x1333;
inline constexpr uint16_t GET_NV_FILE_INFO_LIST_DATA_PACKET = 0x1335;
inline constexpr uint16_t GET_NV_FILE_INFO_LIST_END = 0x1337; // acknowledged only
inline constexpr uint16_t GET_NV_FILE_INFO_LIST_EX = 0x1338;
inline constexpr uint16_t GET_NV_FILE_INFO_LIST_EX_DATA_PACKET = 0x133A;
inline constexpr uint16_t GET_NV_FILE_INFO_LIST_EX_END = 0x133C; // acknowledged only
inline constexpr uint16_t NV_FILE_GET_FILE_INFO_EX = 0x133F;
inline constexpr uint16_t NV_FILE_GET_FILE_INFO_ALL_FILES = 0x1341;
inline constexpr uint16_t NV_FILE_GET_FILE_INFO_ALL_FILES_EX = 0x1343;
inline constexpr uint16_t NV_FILE_GET_ALLOCATED_NV_FILE_SPACE = 0x1345;

// Longest device file name; longer names are never sent.
inline constexpr std::size_t kMaxDeviceNameLength = 12;
// Largest device file and largest data packet.
inline constexpr uint32_t kMaxDeviceFileSize = 65535;
inline constexpr uint32_t kPacketDataSize = 100;

class DeviceProtocol : public FrameTransport {
public:
    // Attaches `port` (may be null), which applies the protocol time-outs.
    explicit DeviceProtocol(SerialPort* port);
    ~DeviceProtocol() override = default;

    // Stores the port and, when it is not null, sets the protocol default
    // time-outs: interval 1000, read 1000 x n + 20000, write 1000 x n + 20000 ms.
    void AttachPort(SerialPort* port) override;

    // True when the last command method refused its arguments and sent nothing.
    // The link status then still describes the exchange before it.
    bool ArgumentsRejected() const { return m_argumentsRejected; }

    bool WakeUpDut(uint8_t pcSwVersion, uint8_t tries);
    bool GetNvFileHandle(const char* fileName);
    bool ReadNvFile(uint32_t fileHandle, uint16_t numBytes);
    bool ReadNvFileDataPacket(uint32_t fileHandle, uint16_t packetNo);
    bool ReadNvFileTerminateRead(uint32_t fileHandle);
    // Hands back the packet count (fileSize + 99) / 100 before anything is sent.
    bool CreateNvFile(const char* fileName, uint32_t fileSize, const TRELM_SYSTEMTIME* time,
                      uint8_t attr, uint16_t& numPackets);
    bool CreateNvFileDataPacket(uint16_t packetNo, uint32_t count, const uint8_t* data);
    bool CreateNvFileStoreFile();
    bool GetNumberOfOpenNvFiles();
    bool GetMaxNumberOfOpenNvFiles();
    bool GetTotAllocatedNvFileBufSize();
    bool DeleteNvFile(const char* fileName);
    bool DeleteWriteProtectedNvFile(const char* fileName);
    bool NvFileExist(const char* fileName);
    bool NvFileExistEx(const char* fileName);
    bool GetNvFileSizeEx(uint32_t fileHandle);
    bool NvFileGetSpaceInUse();
    bool GetNvFileInfoList();
    // Only the low 8 bits of the packet number travel (the high byte is 0).
    bool GetNvFileInfoListDataPacket(uint32_t packetNo);
    bool GetNvFileInfoListEnd();
    bool GetNvFileInfoListEx();
    bool GetNvFileInfoListExDataPacket(uint32_t packetNo);
    bool GetNvFileInfoListExEnd();
    bool NvFileGetFileInfoEx(uint32_t fileHandle);
    bool NvFileGetFileInfoAllFiles(const char* fileName);
    bool NvFileGetFileInfoAllFilesEx(uint32_t fileHandle);
    bool NvFileGetAllocatedNvFileSpace();

private:
    static constexpr uint8_t kTries = 3;

    // Request with a reply frame: purge, transact, drain.
    bool Exchange(Frame& frame, uint8_t tries);
    // Request answered by the acknowledgement word only: send, drain.
    bool AckOnly(Frame& frame);
    // Starts a command; clears the rejected mark.
    Frame Begin(uint16_t code);
    // Marks the arguments as refused; returns false for the caller to return.
    bool Reject();

    bool NoArgument(uint16_t code);
    bool NameArgument(uint16_t code, const char* fileName);
    bool HandleArgument(uint16_t code, uint32_t fileHandle);
    bool PacketNumberArgument(uint16_t code, uint32_t packetNo);

    bool m_argumentsRejected = false;
};

} // namespace trelm
