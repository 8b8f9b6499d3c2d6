#include "SystemError.h"

#include <cerrno>

int SystemError::FromErrno(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
        return 5;
    default:
        return 10000 + errorNumber;
    }
}

int SystemError::FromFolderErrno(int errorNumber) {
    return errorNumber == ENOENT ? 3 : FromErrno(errorNumber);
}
