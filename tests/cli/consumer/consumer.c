/* A program outside the project that uses the installed libtrelm: it opens
 * the COM port given as its argument, asks the device for its information and
 * lists the device's files. */
#include <trelm.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    const uint32_t port = argc > 1 ? (uint32_t)strtoul(argv[1], NULL, 10) : 0;
    TRELM_Result result = TRELM_Init(port, NULL);
    if (result != TRELM_OK) {
        fprintf(stderr, "TRELM_Init: %u\n", (unsigned)result);
        return (int)result;
    }
    uint32_t info1 = 0;
    uint32_t info2 = 0;
    result = TRELM_GetConnectedDeviceInfo(&info1, &info2);
    if (result != TRELM_OK) {
        fprintf(stderr, "TRELM_GetConnectedDeviceInfo: %u\n", (unsigned)result);
        return (int)result;
    }
    printf("device %u %u\n", (unsigned)info1, (unsigned)info2);

    TRELM_FILE_INFO info = {0};
    info.StructSize = TRELM_FILE_INFO_SIZE;
    uint32_t count = 0;
    result = TRELM_FindFirstFile(0, &count, &info);
    while (result == TRELM_OK && count > 0) {
        printf("file %s %u\n", info.FileName, (unsigned)info.FileSize);
        info.StructSize = TRELM_FILE_INFO_SIZE;
        result = TRELM_FindNextFile(&info);
    }
    TRELM_FindClose();
    if (result != TRELM_OK && result != TRELM_ERROR_NO_MORE_FILES) {
        fprintf(stderr, "listing: %u\n", (unsigned)result);
        return (int)result;
    }
    return 0;
}
