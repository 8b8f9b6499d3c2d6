#pragma once

// The program's error codes for failed file system calls, as the main window
// shows them: 2 file not found, 3 folder not found, 4 too many open files,
// 5 access denied; any other errno value is passed on as 10000 + errno.
class SystemError {
public:
    // The code of `errorNumber` (an errno value) for a call on a file.
    static int FromErrno(int errorNumber);
    // The code for a call on a folder: a missing folder is 3, not 2.
    static int FromFolderErrno(int errorNumber);
};
