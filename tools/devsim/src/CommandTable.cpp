#include "devsim/CommandTable.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace devsim {

namespace {

struct Entry {
    uint16_t code;
    std::string_view name;
    bool ackOnly;
    bool status;
    std::size_t replyLength;
};

// Reply lengths: the payload the device sends for a successful request.
constexpr std::array<Entry, 27> Commands{{
    {cmd::WakeUpDut, "WAKE_UP_DUT", false, false, 2},
    {cmd::GetNvFileHandle, "GET_NV_FILE_HANDLE", false, true, 3},
    {cmd::ReadNvFile, "READ_NV_FILE", false, true, 7},
    {cmd::ReadNvFileDataPacket, "READ_NV_FILE_DATA_PACKET", false, false, 105},
    {cmd::ReadNvFileTerminateRead, "READ_NV_FILE_TERMINATE_READ", true, false, 0},
    {cmd::CreateNvFile, "CREATE_NV_FILE", false, true, 1},
    {cmd::CreateNvFileDataPacket, "CREATE_NV_FILE_DATA_PACKET", false, false, 3},
    {cmd::CreateNvFileStoreFile, "CREATE_NV_FILE_STORE_FILE", false, true, 1},
    {cmd::GetNumberOfOpenNvFiles, "GET_NUMBER_OF_OPEN_NV_FILES", false, true, 3},
    {cmd::GetMaxNumberOfOpenNvFiles, "GET_MAX_NUMBER_OF_OPEN_NV_FILES", false, true, 3},
    {cmd::GetTotAllocatedNvFileBufSize, "GET_TOT_ALLOCATED_NV_FILE_BUF_SIZE", false, true, 5},
    {cmd::DeleteNvFile, "DELETE_NV_FILE", false, true, 1},
    {cmd::DeleteWriteProtectedNvFile, "DELETE_WRITE_PROTECTED_NV_FILE", false, true, 1},
    {cmd::NvFileExist, "NV_FILE_EXIST", false, true, 3},
    {cmd::NvFileExistEx, "NV_FILE_EXIST_EX", false, true, 3},
    {cmd::GetNvFileSizeEx, "GET_NV_FILE_SIZE_EX", false, true, 7},
    {cmd::NvFileGetSpaceInUse, "NV_FILE_GET_SPACE_IN_USE", false, true, 5},
    {cmd::GetNvFileInfoList, "GET_NV_FILE_INFO_LIST", false, true, 5},
    {cmd::GetNvFileInfoListDataPacket, "GET_NV_FILE_INFO_LIST_DATA_PACKET", false, false, 255},
    {cmd::GetNvFileInfoListEnd, "GET_NV_FILE_INFO_LIST_END", true, false, 0},
    {cmd::GetNvFileInfoListEx, "GET_NV_FILE_INFO_LIST_EX", false, true, 5},
    {cmd::GetNvFileInfoListExDataPacket, "GET_NV_FILE_INFO_LIST_EX_DATA_PACKET", false, false, 255},
    {cmd::GetNvFileInfoListExEnd, "GET_NV_FILE_INFO_LIST_EX_END", true, false, 0},
    {cmd::NvFileGetFileInfoEx, "NV_FILE_GET_FILE_INFO_EX", false, true, 47},
    {cmd::NvFileGetFileInfoAllFiles, "NV_FILE_GET_FILE_INFO_ALL_FILES", false, true, 47},
    {cmd::NvFileGetFileInfoAllFilesEx, "NV_FILE_GET_FILE_INFO_ALL_FILES_EX", false, true, 47},
    {cmd::NvFileGetAllocatedNvFileSpace, "NV_FILE_GET_ALLOCATED_NV_FILE_SPACE", false, true, 5},
}};

const Entry* find(uint16_t code) {
    for (const Entry& e : Commands) {
        if (e.code == code) {
            return &e;
        }
    }
    return nullptr;
}

} // namespace

std::optional<std::string_view> CommandTable::name(uint16_t code) {
    const Entry* e = find(code);
    if (e == nullptr) {
        return std::nullopt;
    }
    return e->name;
}

std::optional<uint16_t> CommandTable::code(std::string_view name) {
    for (const Entry& e : Commands) {
        if (e.name.size() != name.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            same = std::toupper(static_cast<unsigned char>(name[i])) == e.name[i];
        }
        if (same) {
            return e.code;
        }
    }
    return std::nullopt;
}

bool CommandTable::ackOnly(uint16_t code) {
    const Entry* e = find(code);
    return e != nullptr && e->ackOnly;
}

bool CommandTable::replyHasStatus(uint16_t code) {
    const Entry* e = find(code);
    return e != nullptr && e->status;
}

bool CommandTable::dataPacket(uint16_t code) {
    return code == cmd::ReadNvFileDataPacket || code == cmd::CreateNvFileDataPacket ||
           code == cmd::GetNvFileInfoListDataPacket || code == cmd::GetNvFileInfoListExDataPacket;
}

std::size_t CommandTable::replyLength(uint16_t code) {
    const Entry* e = find(code);
    return e == nullptr ? 0 : e->replyLength;
}

std::string CommandTable::label(uint16_t code) {
    if (auto n = name(code)) {
        return std::string(*n);
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", code);
    return text;
}

} // namespace devsim
