// The device's command codes and what the device knows about each of them:
// its name, whether it is answered by a reply frame, and the shape of that
// reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace devsim {

// Request codes. The reply code of a command is its request code plus one.
namespace cmd {
inline constexpr uint16_t WakeUpDut = 0x0000;
inline constexpr uint16_t GetNvFileHandle = 0x1300;
inline constexpr uint16_t ReadNvFile = 0x1302;
inline constexpr uint16_t ReadNvFileDataPacket = 0x1304;
inline constexpr uint16_t ReadNvFileTerminateRead = 0x1306;
inline constexpr uint16_t CreateNvFile = 0x1307;
inline constexpr uint16_t CreateNvFileDataPacket = 0x1309;
inline constexpr uint16_t CreateNvFileStoreFile = 0x130B;
inline constexpr uint16_t GetNumberOfOpenNvFiles = 0x131D;
inline constexpr uint16_t GetMaxNumberOfOpenNvFiles = 0x131F;
inline constexpr uint16_t GetTotAllocatedNvFileBufSize = 0x1321;
inline constexpr uint16_t DeleteNvFile = 0x1323;
inline constexpr uint16_t DeleteWriteProtectedNvFile = 0x1325;
inline constexpr uint16_t NvFileExist = 0x1327;
inline constexpr uint16_t NvFileExistEx = 0x1329;
inline constexpr uint16_t GetNvFileSizeEx = 0x132F;
inline constexpr uint16_t NvFileGetSpaceInUse = 0x1331;
inline constexpr uint16_t GetNvFileInfoList = 0x1333;
inline constexpr uint16_t GetNvFileInfoListDataPacket = 0x1335;
inline constexpr uint16_t GetNvFileInfoListEnd = 0x1337;
inline constexpr uint16_t GetNvFileInfoListEx = 0x1338;
inline constexpr uint16_t GetNvFileInfoListExDataPacket = 0x133A;
inline constexpr uint16_t GetNvFileInfoListExEnd = 0x133C;
inline constexpr uint16_t NvFileGetFileInfoEx = 0x133F;
inline constexpr uint16_t NvFileGetFileInfoAllFiles = 0x1341;
inline constexpr uint16_t NvFileGetFileInfoAllFilesEx = 0x1343;
inline constexpr uint16_t NvFileGetAllocatedNvFileSpace = 0x1345;
} // namespace cmd

// Acknowledgement words, as 16-bit values (sent low byte first).
inline constexpr uint16_t AckWord = 0x0F00;
inline constexpr uint16_t NakWord = 0x0F40;

class CommandTable {
public:
    // The command's protocol name ("WAKE_UP_DUT"), or nullopt for an unknown code.
    static std::optional<std::string_view> name(uint16_t code);
    // The code of a command name, compared without regard to letter case.
    static std::optional<uint16_t> code(std::string_view name);
    static bool known(uint16_t code) { return name(code).has_value(); }
    // True for the commands acknowledged without a reply frame.
    static bool ackOnly(uint16_t code);
    // True when the command's reply starts with a device status byte.
    static bool replyHasStatus(uint16_t code);
    // True for the three data-packet requests (read, create, listing).
    static bool dataPacket(uint16_t code);
    // The length of the command's normal reply payload (0 for ack-only
    // commands; the largest length for replies of variable length).
    static std::size_t replyLength(uint16_t code);
    // A readable label: the name, or "0x1234" for unknown codes.
    static std::string label(uint16_t code);
};

} // namespace devsim
