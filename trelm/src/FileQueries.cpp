// Questions about one device file and its deletion: handle by name,
// existence, size and file information by handle, delete by name.
#include "FileQueries.h"
#include "ByteOrder.h"
#include "DeviceName.h"
#include "DeviceProtocol.h"
#include "FileInfoRecord.h"
#include "Session.h"
#include "trelm.h"

namespace trelm {
namespace {

// Reply payload offsets.
constexpr std::size_t kHandleInReply = 1; // GET_NV_FILE_HANDLE
constexpr std::size_t kExistsInReply = 2; // NV_FILE_EXIST(_EX)
constexpr std::size_t kSizeInReply = 3;   // GET_NV_FILE_SIZE_EX

bool IsPlainOrExtended(uint32_t flag) {
    return flag == 0 || flag == 1;
}

TRELM_Result FileExists(Session& s, const char* name, uint32_t flag, uint32_t* exists) {
    s.ResetExtendedError();
    if (!DeviceName::Fits(name) || exists == nullptr || !IsPlainOrExtended(flag)) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    const bool sent = flag == 0 ? s.protocol->NvFileExist(name) : s.protocol->NvFileExistEx(name);
    const TRELM_Result result = s.CheckStatusReply(sent);
    if (result != TRELM_OK) {
        return result;
    }
    *exists = LoadU8(s.ReplyPayload(), kExistsInReply);
    return TRELM_OK;
}

TRELM_Result FileInfoFromHandle(Session& s, uint32_t handle, TRELM_FILE_INFO* info, uint32_t flag) {
    s.ResetExtendedError();
    if (info == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    const bool sent = flag == 0 ? s.protocol->NvFileGetFileInfoEx(handle)
                                : s.protocol->NvFileGetFileInfoAllFilesEx(handle);
    const TRELM_Result result = s.CheckStatusReply(sent);
    if (result != TRELM_OK && result != TRELM_ERROR_DEVICE_ERROR) {
        return result;
    }
    // The record's size is judged only after the device has been asked; a
    // wrong size leaves the record as it was.
    if (info->StructSize != TRELM_FILE_INFO_SIZE) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (result == TRELM_ERROR_DEVICE_ERROR) {
        *info = FileInfoRecord::Invalid();
        return result;
    }
    *info = FileInfoRecord::FromInfoReply(s.ReplyPayload());
    return TRELM_OK;
}

TRELM_Result DeleteFile(Session& s, const char* name, uint32_t flag) {
    s.ResetExtendedError();
    if (!DeviceName::Fits(name) || !IsPlainOrExtended(flag)) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    const bool sent =
        flag == 0 ? s.protocol->DeleteNvFile(name) : s.protocol->DeleteWriteProtectedNvFile(name);
    return s.CheckStatusReply(sent);
}

} // namespace

TRELM_Result FileHandleFromName(Session& s, const char* name, uint32_t* handle) {
    s.ResetExtendedError();
    // A name the device cannot hold is refused here: it would never be sent.
    if (!DeviceName::Fits(name) || handle == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    const TRELM_Result result = s.CheckStatusReply(s.protocol->GetNvFileHandle(name));
    if (result != TRELM_OK) {
        return result;
    }
    *handle = LoadU16(s.ReplyPayload(), kHandleInReply);
    return TRELM_OK;
}

TRELM_Result FileSizeFromHandle(Session& s, uint32_t handle, uint32_t* size) {
    s.ResetExtendedError();
    if (size == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    const TRELM_Result result = s.CheckStatusReply(s.protocol->GetNvFileSizeEx(handle));
    if (result != TRELM_OK) {
        return result;
    }
    *size = LoadU32(s.ReplyPayload(), kSizeInReply);
    return TRELM_OK;
}

} // namespace trelm

using trelm::Session;

TRELM_Result TRELM_GetFileHandleFromFileName(const char* name, uint32_t* handle) {
    return Session::Guarded([&](Session& s) { return trelm::FileHandleFromName(s, name, handle); });
}

TRELM_Result TRELM_FileExists(const char* name, uint32_t flag, uint32_t* exists) {
    return Session::Guarded([&](Session& s) { return trelm::FileExists(s, name, flag, exists); });
}

TRELM_Result TRELM_GetFileSizeFromFileHandle(uint32_t handle, uint32_t* size) {
    return Session::Guarded([&](Session& s) { return trelm::FileSizeFromHandle(s, handle, size); });
}

TRELM_Result TRELM_GetFileInfoFromFileHandle(uint32_t handle, TRELM_FILE_INFO* info,
                                             uint32_t flag) {
    return Session::Guarded(
        [&](Session& s) { return trelm::FileInfoFromHandle(s, handle, info, flag); });
}

TRELM_Result TRELM_DeleteFile(const char* name, uint32_t flag) {
    return Session::Guarded([&](Session& s) { return trelm::DeleteFile(s, name, flag); });
}
