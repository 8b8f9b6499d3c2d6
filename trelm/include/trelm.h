/*
 * trelm: file access to an embedded device's NV file store over a serial line.
 *
 * Every function returns a TRELM_Result: 0 on success, otherwise one of the
 * TRELM_ERROR_ codes below. After a failure, TRELM_GetExtendedErrorCode tells
 * the device's own status byte (TRELM_DEVICE_ERROR_) and the link status of
 * the exchange that failed.
 *
 * Records passed in carry their size in StructSize; each call that fills a
 * record leaves StructSize 0, so set it again before every call.
 *
 * The library keeps one session per process. Calls are serialised by a
 * process-wide lock; a call may block for many seconds on the serial line.
 * A call made while the same thread is already inside a call (from a
 * progress callback) is refused: it returns TRELM_ERROR_BAD_PARAMETERS at
 * once, sends nothing and changes nothing, not even the extended error
 * values, and the running call goes on unharmed.
 */
#ifndef TRELM_H
#define TRELM_H

#include <stdint.h>

#if defined(__GNUC__)
#define TRELM_API __attribute__((visibility("default")))
#else
#define TRELM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t TRELM_Result;
typedef uint32_t TRELM_DeviceError;

enum {
    TRELM_OK = 0,
    TRELM_ERROR_UNKNOWN = 1,
    TRELM_ERROR_OUT_OF_MEMORY = 2,
    TRELM_ERROR_BAD_PARAMETERS = 3,
    TRELM_ERROR_BUFFR_TOO_SMALL = 4,
    TRELM_ERROR_COMPORT_NOT_OPENED = 5,
    TRELM_ERROR_COMM_FAILED = 6,
    /* 7 is not returned by the library */
    TRELM_ERROR_UNEXPECTED_DATA = 8,
    TRELM_ERROR_DEVICE_ERROR = 9,
    TRELM_ERROR_COMM_FAILED_TIMEOUT = 10,
    TRELM_ERROR_COMM_FAILED_CHKSUM = 11,
    TRELM_ERROR_PC_FILENAME_INVALID = 12,
    TRELM_ERROR_PC_FILESIZE_INVALID = 13,
    TRELM_ERROR_PC_FILE_IO_FAILED = 14,
    TRELM_ERROR_FILE_TRANSFER_CANCELLED = 15,
    TRELM_ERROR_NO_MORE_FILES = 16,
    TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN = 17,
    TRELM_ERROR_NOT_SUPPORTED = 18,
    TRELM_ERROR_DEVICE_UNKNOWN_CMD = 19
};

/* The device's status byte of a reply (first extended error value). */
enum {
    TRELM_DEVICE_ERROR_NO_ERROR = 0,
    TRELM_DEVICE_ERROR_FLASH_BUSY = 1,
    TRELM_DEVICE_ERROR_NO_ID_FOUND = 2,
    TRELM_DEVICE_ERROR_NO_FREE_ID_FOUND = 3,
    TRELM_DEVICE_ERROR_READ_ERROR = 4,
    TRELM_DEVICE_ERROR_WRITE_ERROR = 5,
    TRELM_DEVICE_ERROR_DELETE_ERROR = 6,
    TRELM_DEVICE_ERROR_END_OF_FILE_REACHED = 7,
    TRELM_DEVICE_ERROR_START_OF_FILE_REACHED = 8,
    TRELM_DEVICE_ERROR_MAX_NUM_FILES_EXCEEDED = 9,
    TRELM_DEVICE_ERROR_FILE_HANDLE_UNKNOWN = 10,
    TRELM_DEVICE_ERROR_FILE_WRITE_PROTECTED = 11,
    TRELM_DEVICE_ERROR_ILLEGAL_FILENAME = 12,
    TRELM_DEVICE_ERROR_ILLEGAL_SOURCE_FILENAME = 13,
    TRELM_DEVICE_ERROR_ILLEGAL_DESTINATION_FILENAME = 14,
    TRELM_DEVICE_ERROR_EXISTING_FILENAME = 15,
    TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME = 16,
    TRELM_DEVICE_ERROR_FILE_IS_OPEN = 17,
    TRELM_DEVICE_ERROR_FILE_IS_NOT_OPEN = 18,
    TRELM_DEVICE_ERROR_FILE_IS_WRITE_PROTECTED = 19,
    TRELM_DEVICE_ERROR_COULD_NOT_DELETE_FILE = 20,
    TRELM_DEVICE_ERROR_COULD_NOT_LOCATE_SOURCE_FILE = 21,
    TRELM_DEVICE_ERROR_COULD_NOT_CREATE_DESTINATION_FILE = 22,
    TRELM_DEVICE_ERROR_COULD_NOT_SET_WRITE_POINTER = 23,
    TRELM_DEVICE_ERROR_COULD_NOT_ACCEPT_WRITE_POINTER_OFFSET = 24,
    TRELM_DEVICE_ERROR_MEM_ALLOCATION_ERROR = 25,
    TRELM_DEVICE_ERROR_COULD_NOT_MOVE_FILEPOINTER = 26,
    /* Also stored on entry to a call: no device status received yet. */
    TRELM_DEVICE_ERROR_MAX_ERROR = 27
};

/* Link status of the last failed exchange (second extended error value). */
enum {
    TRELM_LINK_OK = 0,
    TRELM_LINK_NO_ANSWER = 1,
    TRELM_LINK_BAD_DATA = 2,
    TRELM_LINK_UNEXPECTED_REPLY = 3,
    TRELM_LINK_NAK = 4
};

/* Calendar time, the fields in this order. Day of week: 0 is Sunday. */
typedef struct TRELM_SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
} TRELM_SYSTEMTIME;

/* The device's file statistics; StructSize must be 24 when passed in. */
typedef struct TRELM_STATISTICS {
    uint32_t StructSize;
    uint32_t OpenFiles;
    uint32_t MaxOpenFiles;
    uint32_t TotalAllocatedBufferSize;
    uint32_t SpaceInUse;
    uint32_t AllocatedFileSpace;
} TRELM_STATISTICS;

/* One device file; StructSize must be 76 when passed in. */
typedef struct TRELM_FILE_INFO {
    uint32_t StructSize;
    uint32_t FileSize;
    char FileName[13];
    TRELM_SYSTEMTIME CreationTime;
    TRELM_SYSTEMTIME LastWriteTime;
    uint32_t Attr;          /* the device's 16-bit attribute word */
    uint32_t ReportedSize;  /* further value the device reports; shown as the size */
    uint32_t ReportedValue; /* further value the device reports */
    int32_t FileHandle;     /* -1 for records from a listing or a failed query */
    uint32_t Valid;         /* 1 when the record holds a device answer */
} TRELM_FILE_INFO;

#define TRELM_STATISTICS_SIZE 24u
#define TRELM_FILE_INFO_SIZE 76u
#define TRELM_DEFAULT_MODE "baud=9600 parity=N data=8 stop=1"

/*
 * Progress of a copy: total packets, packets done, done / total (0.0 at the
 * start, exactly 100.0 on the final call). Return 0 to cancel; the answers
 * to the first and the final call are ignored. The callback must not call
 * the library: such a call is refused with TRELM_ERROR_BAD_PARAMETERS.
 */
typedef int32_t (*TRELM_PROGRESS_CALLBACK)(int32_t total, int32_t current, float fraction);

/* Session and status. Port number 0 searches the ports for a device. */
TRELM_API TRELM_Result TRELM_Init(uint32_t portNumber, const char* mode);
TRELM_API TRELM_Result TRELM_ScanComPortsForDevice(const char* mode, uint32_t* portNumber);
TRELM_API TRELM_Result TRELM_GetComPortSettings(uint32_t* portNumber, char* buffer,
                                                uint32_t* length);
TRELM_API TRELM_Result TRELM_GetConnectedDeviceInfo(uint32_t* value1, uint32_t* value2);
TRELM_API TRELM_Result TRELM_GetStatistics(TRELM_STATISTICS* statistics);
TRELM_API TRELM_Result TRELM_GetExtendedErrorCode(TRELM_DeviceError* deviceError,
                                                  uint32_t* linkStatus);

/* One file. Flag 0 selects the plain command, 1 the extended one. */
TRELM_API TRELM_Result TRELM_GetFileHandleFromFileName(const char* name, uint32_t* handle);
TRELM_API TRELM_Result TRELM_FileExists(const char* name, uint32_t flag, uint32_t* exists);
TRELM_API TRELM_Result TRELM_GetFileSizeFromFileHandle(uint32_t handle, uint32_t* size);
TRELM_API TRELM_Result TRELM_GetFileInfoFromFileHandle(uint32_t handle, TRELM_FILE_INFO* info,
                                                       uint32_t flag);
TRELM_API TRELM_Result TRELM_DeleteFile(const char* name, uint32_t flag);

/* Listing: flag 1 includes hidden files. */
TRELM_API TRELM_Result TRELM_FindFirstFile(uint32_t flag, uint32_t* count, TRELM_FILE_INFO* info);
TRELM_API TRELM_Result TRELM_FindFirstFileWithProgress(uint32_t a, uint32_t b, uint32_t c,
                                                       uint32_t d);
TRELM_API TRELM_Result TRELM_FindNextFile(TRELM_FILE_INFO* info);
TRELM_API TRELM_Result TRELM_FindClose(void);

/* Copies. The attribute's low 8 bits reach the device (bit 0 read-only, bit 1 hidden). */
TRELM_API TRELM_Result TRELM_CopyFileToDeviceWithProgress(const char* localPath, uint32_t attribute,
                                                          TRELM_PROGRESS_CALLBACK callback);
TRELM_API TRELM_Result TRELM_CopyFileToDevice(const char* localPath, uint32_t attribute);
TRELM_API TRELM_Result TRELM_CopyFileFromDeviceWithProgress(const char* deviceName,
                                                            const char* localPath,
                                                            TRELM_PROGRESS_CALLBACK callback);
TRELM_API TRELM_Result TRELM_CopyFileFromDevice(const char* deviceName, const char* localPath);

#ifdef __cplusplus
}
#endif

#endif /* TRELM_H */
