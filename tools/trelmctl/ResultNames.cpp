#include "ResultNames.h"

#include <cstddef>

namespace trelmctl {

namespace {

struct ResultText {
    const char* name;
    const char* meaning;
};

constexpr ResultText kResults[] = {
    {"TRELM_OK", "success"},
    {"TRELM_ERROR_UNKNOWN", "unknown failure"},
    {"TRELM_ERROR_OUT_OF_MEMORY", "out of memory"},
    {"TRELM_ERROR_BAD_PARAMETERS", "bad parameters"},
    {"TRELM_ERROR_BUFFR_TOO_SMALL", "buffer too small"},
    {"TRELM_ERROR_COMPORT_NOT_OPENED", "no COM port could be opened"},
    {"TRELM_ERROR_COMM_FAILED", "the device does not answer"},
    {"unknown", "not a result code of the library"},
    {"TRELM_ERROR_UNEXPECTED_DATA", "unexpected data from the device"},
    {"TRELM_ERROR_DEVICE_ERROR", "the device refused the request"},
    {"TRELM_ERROR_COMM_FAILED_TIMEOUT", "the device stopped answering (time-out)"},
    {"TRELM_ERROR_COMM_FAILED_CHKSUM", "damaged data on the line (checksum)"},
    {"TRELM_ERROR_PC_FILENAME_INVALID",
     "local file missing, not accessible, or its name does not fit the device (8.3)"},
    {"TRELM_ERROR_PC_FILESIZE_INVALID", "local file larger than 65535 bytes"},
    {"TRELM_ERROR_PC_FILE_IO_FAILED", "reading or writing the local file failed"},
    {"TRELM_ERROR_FILE_TRANSFER_CANCELLED", "transfer cancelled"},
    {"TRELM_ERROR_NO_MORE_FILES", "no more files"},
    {"TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN", "local destination is read-only or hidden"},
    {"TRELM_ERROR_NOT_SUPPORTED", "not supported"},
    {"TRELM_ERROR_DEVICE_UNKNOWN_CMD", "the device does not accept this command"},
};

constexpr const char* kDeviceErrors[] = {
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

constexpr const char* kLinkStates[] = {
    "TRELM_LINK_OK",  "TRELM_LINK_NO_ANSWER", "TRELM_LINK_BAD_DATA", "TRELM_LINK_UNEXPECTED_REPLY",
    "TRELM_LINK_NAK",
};

template <typename T, std::size_t N> constexpr std::size_t Count(const T (&)[N]) {
    return N;
}

} // namespace

const char* ResultNames::Result(uint32_t result) {
    return result < Count(kResults) ? kResults[result].name : "unknown";
}

const char* ResultNames::Describe(uint32_t result) {
    return result < Count(kResults) ? kResults[result].meaning : "unknown result code";
}

const char* ResultNames::DeviceError(uint32_t deviceError) {
    return deviceError < Count(kDeviceErrors) ? kDeviceErrors[deviceError] : "unknown";
}

const char* ResultNames::LinkStatus(uint32_t linkStatus) {
    return linkStatus < Count(kLinkStates) ? kLinkStates[linkStatus] : "unknown";
}

} // namespace trelmctl
