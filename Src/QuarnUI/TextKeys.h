#pragma once

// Every text key the program looks up, named as the key itself (the one key
// that is no valid name, "NA//wtf", is NA_WTF). The arrays list the keys that
// the shipped language files and error-message files must define.
namespace TextKeys {

// ---- Language file ("LANG_" + name + ".txt") ----

// Main window and its menus.
inline constexpr char APPNAME[] = "APPNAME";
inline constexpr char LBL_TARGETFILES[] = "LBL_TARGETFILES";
inline constexpr char MNU_FILE[] = "MNU_FILE";
inline constexpr char MNU_FILE_EXIT[] = "MNU_FILE_EXIT";
inline constexpr char MNU_TOOLS[] = "MNU_TOOLS";
inline constexpr char MNU_TOOLS_OPTIONS[] = "MNU_TOOLS_OPTIONS";
inline constexpr char MNU_TOOLS_FILES[] = "MNU_TOOLS_FILES";
inline constexpr char MNU_REFRESH[] = "MNU_REFRESH";
inline constexpr char MNU_ABOUT[] = "MNU_ABOUT";
inline constexpr char LBL_OPTIONS[] = "LBL_OPTIONS";
inline constexpr char HDR_FILE[] = "HDR_FILE";
inline constexpr char HDR_SIZE[] = "HDR_SIZE";
inline constexpr char HDR_DATE[] = "HDR_DATE";
inline constexpr char HDR_ATTRIB[] = "HDR_ATTRIB";
inline constexpr char WAIT_FOR_DEVICE[] = "WAIT_FOR_DEVICE";

// Format template with one %s: the invalid local folder.
inline constexpr char MSG_LOCAL_PATH_INVALID[] = "MSG_LOCAL_PATH_INVALID";

// Copy operations and the progress window.
inline constexpr char PRO_TITLE[] = "PRO_TITLE";
inline constexpr char PRO_KOPI[] = "PRO_KOPI";
inline constexpr char PRO_TO_TARGET[] = "PRO_TO_TARGET";
inline constexpr char PRO_FROM_TARGET[] = "PRO_FROM_TARGET";
inline constexpr char ERR_OWERWRITE[] = "ERR_OWERWRITE";
inline constexpr char ERR_FILE_EXISTS[] = "ERR_FILE_EXISTS";
inline constexpr char ERR_CONFIRM[] = "ERR_CONFIRM";
inline constexpr char BTN_CANCEL[] = "BTN_CANCEL";

// Format template with one %s: a device file name that cannot serve as a
// local file name (it names a folder or leads out of the local folder).
inline constexpr char MSG_BAD_DEVICE_NAME[] = "MSG_BAD_DEVICE_NAME";
// The line of the main window while a device request waits: port, seconds.
inline constexpr char MSG_WAITING_FOR_DEVICE[] = "MSG_WAITING_FOR_DEVICE";
// The status bar and drops onto the device pane.
inline constexpr char STB_CONNECTED[] = "STB_CONNECTED";
inline constexpr char STB_NOT_CONNECTED[] = "STB_NOT_CONNECTED";
inline constexpr char STB_DEVICE_FILES[] = "STB_DEVICE_FILES";
inline constexpr char STB_LOCAL_FILES[] = "STB_LOCAL_FILES";
inline constexpr char MSG_DROP_REFUSED[] = "MSG_DROP_REFUSED";
inline constexpr char STB_DROP[] = "STB_DROP";
inline constexpr char DROP_FOLDER[] = "DROP_FOLDER";
inline constexpr char DROP_NOT_FILE[] = "DROP_NOT_FILE";
inline constexpr char DROP_TOO_LARGE[] = "DROP_TOO_LARGE";
inline constexpr char DROP_BAD_NAME[] = "DROP_BAD_NAME";

// Statistics dialog.
inline constexpr char LBL_FILEINFO[] = "LBL_FILEINFO";
inline constexpr char LBL_TOTAL_SPACE[] = "LBL_TOTAL_SPACE";
inline constexpr char LBL_USED_SPACE[] = "LBL_USED_SPACE";

// File lists.
inline constexpr char MNU_DELETE[] = "MNU_DELETE";
inline constexpr char MSG_CAPTION[] = "MSG_CAPTION";
inline constexpr char MSG_DELETE_ONE[] = "MSG_DELETE_ONE";
inline constexpr char MSG_DELETE_MANY[] = "MSG_DELETE_MANY";
inline constexpr char MSG_CANT_DELETE_CAPTION[] = "MSG_CANT_DELETE_CAPTION";

// Format template with one %s: the name of the read-only device file.
inline constexpr char MSG_CANT_DELETE_READONLY[] = "MSG_CANT_DELETE_READONLY";

// Format template with three integers: major, minor and build version.
inline constexpr char SPLASH_TEXT[] = "SPLASH_TEXT";

// First-run setup and the language and folder page.
inline constexpr char LBL_SELECT_LANG[] = "LBL_SELECT_LANG";
inline constexpr char LBL_SELECT_PATH[] = "LBL_SELECT_PATH";
inline constexpr char LBL_SELECT_COMPORT[] = "LBL_SELECT_COMPORT";
inline constexpr char BROWSE_HWND[] = "BROWSE_HWND";

// Entries of the COM port lists. Format templates: the port number (%d) and
// its device (%s); the second form adds, in one more %s, what else is known
// of the port (the USB adapter, its serial number, a missing permission).
inline constexpr char LBL_COMPORT_ENTRY[] = "LBL_COMPORT_ENTRY";
inline constexpr char LBL_COMPORT_ENTRY_INFO[] = "LBL_COMPORT_ENTRY_INFO";
// Format template with one %s: the serial number of a USB adapter.
inline constexpr char LBL_COMPORT_SERIAL[] = "LBL_COMPORT_SERIAL";
inline constexpr char LBL_COMPORT_NO_PERMISSION[] = "LBL_COMPORT_NO_PERMISSION";

// Options sheet and COM port page.
inline constexpr char LBL_OPTIONS_TABLANG[] = "LBL_OPTIONS_TABLANG";
inline constexpr char LBL_OPTIONS_TABCOM[] = "LBL_OPTIONS_TABCOM";
inline constexpr char LBL_OPTIONS_TABPASS[] = "LBL_OPTIONS_TABPASS";
inline constexpr char BTN_OK[] = "BTN_OK";
inline constexpr char BTN_APPLY[] = "BTN_APPLY";
inline constexpr char LBL_PARITY[] = "LBL_PARITY";
inline constexpr char LBL_DATABIT[] = "LBL_DATABIT";
inline constexpr char LBL_STOPBIT[] = "LBL_STOPBIT";
inline constexpr char LBL_BAUD[] = "LBL_BAUD";
inline constexpr char DRP_NONE[] = "DRP_NONE";
inline constexpr char DRP_ODD[] = "DRP_ODD";
inline constexpr char DRP_EVEN[] = "DRP_EVEN";
inline constexpr char DRP_MARK[] = "DRP_MARK";
inline constexpr char DRP_SPACE[] = "DRP_SPACE";

// Password page.
inline constexpr char LBL_SET_PASSWORD[] = "LBL_SET_PASSWORD";
inline constexpr char LBL_FLUSH[] = "LBL_FLUSH";
inline constexpr char BTN_FLUSH[] = "BTN_FLUSH";

// About and quit dialogs.
inline constexpr char APP_ABOUT_NAME[] = "APP_ABOUT_NAME";
inline constexpr char Q_REALLY_QUIT[] = "Q_REALLY_QUIT";
inline constexpr char Q_YES[] = "Q_YES";
inline constexpr char Q_NO[] = "Q_NO";

// ---- Error-message file ("ERR_" + name + ".txt") ----

// Start-up and the file lists.
inline constexpr char LANG_FILE_NOT_FOUND[] = "LANG_FILE_NOT_FOUND";
inline constexpr char NO_ITEM_IN_LIST[] = "NO_ITEM_IN_LIST";
inline constexpr char HDR_EMPTY[] = "HDR_EMPTY";

// Program errors: system error numbers 2 to 5.
inline constexpr char ERROR_FILE_NOT_FOUND[] = "ERROR_FILE_NOT_FOUND";
inline constexpr char ERROR_PATH_NOT_FOUND[] = "ERROR_PATH_NOT_FOUND";
inline constexpr char ERROR_TOO_MANY_OPEN_FILES[] = "ERROR_TOO_MANY_OPEN_FILES";
inline constexpr char ERROR_ACCESS_DENIED[] = "ERROR_ACCESS_DENIED";

// Program errors of the program's own (1124 to 1130).
inline constexpr char ERR_FILECACHE_UPDATE[] = "ERR_FILECACHE_UPDATE";
inline constexpr char ERR_FILE_CACHE_NOT_FOUND[] = "ERR_FILE_CACHE_NOT_FOUND";
inline constexpr char ERR_LANG_FILE_NOT_FOUND[] = "ERR_LANG_FILE_NOT_FOUND";
inline constexpr char ERR_UNABLE_TO_CHANGE_LANG[] = "ERR_UNABLE_TO_CHANGE_LANG";
inline constexpr char ERR_NO_COMPORTS[] = "ERR_NO_COMPORTS";
// Format template with three %s: the device nodes this user may not open,
// and twice the group that owns them.
inline constexpr char ERR_PORT_PERMISSION[] = "ERR_PORT_PERMISSION";
// Every other program error code.
inline constexpr char NA_WTF[] = "NA//wtf";

// Names of the library's result codes, by code (index 0 is success and has
// no name; codes 6 and 7 share one). Error reporting looks some of them up
// in the error-message file and shows the others as they stand.
inline constexpr char TRELM_ERROR_UNKNOWN[] = "TRELM_ERROR_UNKNOWN";
inline constexpr char TRELM_ERROR_OUT_OF_MEMORY[] = "TRELM_ERROR_OUT_OF_MEMORY";
inline constexpr char TRELM_ERROR_BAD_PARAMETERS[] = "TRELM_ERROR_BAD_PARAMETERS";
inline constexpr char TRELM_ERROR_BUFFR_TOO_SMALL[] = "TRELM_ERROR_BUFFR_TOO_SMALL";
inline constexpr char TRELM_ERROR_COMPORT_NOT_OPENED[] = "TRELM_ERROR_COMPORT_NOT_OPENED";
inline constexpr char TRELM_ERROR_COMM_FAILED[] = "TRELM_ERROR_COMM_FAILED";
inline constexpr char TRELM_ERROR_UNEXPECTED_DATA[] = "TRELM_ERROR_UNEXPECTED_DATA";
inline constexpr char TRELM_ERROR_DEVICE_ERROR[] = "TRELM_ERROR_DEVICE_ERROR";
inline constexpr char TRELM_ERROR_COMM_FAILED_TIMEOUT[] = "TRELM_ERROR_COMM_FAILED_TIMEOUT";
inline constexpr char TRELM_ERROR_COMM_FAILED_CHKSUM[] = "TRELM_ERROR_COMM_FAILED_CHKSUM";
inline constexpr char TRELM_ERROR_PC_FILENAME_INVALID[] = "TRELM_ERROR_PC_FILENAME_INVALID";
inline constexpr char TRELM_ERROR_PC_FILESIZE_INVALID[] = "TRELM_ERROR_PC_FILESIZE_INVALID";
inline constexpr char TRELM_ERROR_PC_FILE_IO_FAILED[] = "TRELM_ERROR_PC_FILE_IO_FAILED";
inline constexpr char TRELM_ERROR_FILE_TRANSFER_CANCELLED[] = "TRELM_ERROR_FILE_TRANSFER_CANCELLED";
inline constexpr char TRELM_ERROR_NO_MORE_FILES[] = "TRELM_ERROR_NO_MORE_FILES";
inline constexpr char TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN[] =
    "TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN";
inline constexpr char TRELM_ERROR_NOT_SUPPORTED[] = "TRELM_ERROR_NOT_SUPPORTED";
inline constexpr char TRELM_ERROR_DEVICE_UNKNOWN_CMD[] = "TRELM_ERROR_DEVICE_UNKNOWN_CMD";
inline constexpr const char* RESULT_CODE_NAMES[] = {
    "",
    TRELM_ERROR_UNKNOWN,
    TRELM_ERROR_OUT_OF_MEMORY,
    TRELM_ERROR_BAD_PARAMETERS,
    TRELM_ERROR_BUFFR_TOO_SMALL,
    TRELM_ERROR_COMPORT_NOT_OPENED,
    TRELM_ERROR_COMM_FAILED,
    TRELM_ERROR_COMM_FAILED,
    TRELM_ERROR_UNEXPECTED_DATA,
    TRELM_ERROR_DEVICE_ERROR,
    TRELM_ERROR_COMM_FAILED_TIMEOUT,
    TRELM_ERROR_COMM_FAILED_CHKSUM,
    TRELM_ERROR_PC_FILENAME_INVALID,
    TRELM_ERROR_PC_FILESIZE_INVALID,
    TRELM_ERROR_PC_FILE_IO_FAILED,
    TRELM_ERROR_FILE_TRANSFER_CANCELLED,
    TRELM_ERROR_NO_MORE_FILES,
    TRELM_ERROR_PC_FILE_READONLY_OR_HIDDEN,
    TRELM_ERROR_NOT_SUPPORTED,
    TRELM_ERROR_DEVICE_UNKNOWN_CMD,
};

// Names of the device's error codes 0 to 27, by code; each is looked up in
// the error-message file.
inline constexpr char TRELM_DEVICE_ERROR_NO_ERROR[] = "TRELM_DEVICE_ERROR_NO_ERROR";
inline constexpr char TRELM_DEVICE_ERROR_FLASH_BUSY[] = "TRELM_DEVICE_ERROR_FLASH_BUSY";
inline constexpr char TRELM_DEVICE_ERROR_NO_ID_FOUND[] = "TRELM_DEVICE_ERROR_NO_ID_FOUND";
inline constexpr char TRELM_DEVICE_ERROR_NO_FREE_ID_FOUND[] = "TRELM_DEVICE_ERROR_NO_FREE_ID_FOUND";
inline constexpr char TRELM_DEVICE_ERROR_READ_ERROR[] = "TRELM_DEVICE_ERROR_READ_ERROR";
inline constexpr char TRELM_DEVICE_ERROR_WRITE_ERROR[] = "TRELM_DEVICE_ERROR_WRITE_ERROR";
inline constexpr char TRELM_DEVICE_ERROR_DELETE_ERROR[] = "TRELM_DEVICE_ERROR_DELETE_ERROR";
inline constexpr char TRELM_DEVICE_ERROR_END_OF_FILE_REACHED[] =
    "TRELM_DEVICE_ERROR_END_OF_FILE_REACHED";
inline constexpr char TRELM_DEVICE_ERROR_START_OF_FILE_REACHED[] =
    "TRELM_DEVICE_ERROR_START_OF_FILE_REACHED";
inline constexpr char TRELM_DEVICE_ERROR_MAX_NUM_FILES_EXCEEDED[] =
    "TRELM_DEVICE_ERROR_MAX_NUM_FILES_EXCEEDED";
inline constexpr char TRELM_DEVICE_ERROR_FILE_HANDLE_UNKNOWN[] =
    "TRELM_DEVICE_ERROR_FILE_HANDLE_UNKNOWN";
inline constexpr char TRELM_DEVICE_ERROR_FILE_WRITE_PROTECTED[] =
    "TRELM_DEVICE_ERROR_FILE_WRITE_PROTECTED";
inline constexpr char TRELM_DEVICE_ERROR_ILLEGAL_FILENAME[] = "TRELM_DEVICE_ERROR_ILLEGAL_FILENAME";
inline constexpr char TRELM_DEVICE_ERROR_ILLEGAL_SOURCE_FILENAME[] =
    "TRELM_DEVICE_ERROR_ILLEGAL_SOURCE_FILENAME";
inline constexpr char TRELM_DEVICE_ERROR_ILLEGAL_DESTINATION_FILENAME[] =
    "TRELM_DEVICE_ERROR_ILLEGAL_DESTINATION_FILENAME";
inline constexpr char TRELM_DEVICE_ERROR_EXISTING_FILENAME[] =
    "TRELM_DEVICE_ERROR_EXISTING_FILENAME";
inline constexpr char TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME[] =
    "TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME";
inline constexpr char TRELM_DEVICE_ERROR_FILE_IS_OPEN[] = "TRELM_DEVICE_ERROR_FILE_IS_OPEN";
inline constexpr char TRELM_DEVICE_ERROR_FILE_IS_NOT_OPEN[] = "TRELM_DEVICE_ERROR_FILE_IS_NOT_OPEN";
inline constexpr char TRELM_DEVICE_ERROR_FILE_IS_WRITE_PROTECTED[] =
    "TRELM_DEVICE_ERROR_FILE_IS_WRITE_PROTECTED";
inline constexpr char TRELM_DEVICE_ERROR_COULD_NOT_DELETE_FILE[] =
    "TRELM_DEVICE_ERROR_COULD_NOT_DELETE_FILE";
inline constexpr char TRELM_DEVICE_ERROR_COULD_NOT_LOCATE_SOURCE_FILE[] =
    "TRELM_DEVICE_ERROR_COULD_NOT_LOCATE_SOURCE_FILE";
inline constexpr char TRELM_DEVICE_ERROR_COULD_NOT_CREATE_DESTINATION_FILE[] =
    "TRELM_DEVICE_ERROR_COULD_NOT_CREATE_DESTINATION_FILE";
inline constexpr char TRELM_DEVICE_ERROR_COULD_NOT_SET_WRITE_POINTER[] =
    "TRELM_DEVICE_ERROR_COULD_NOT_SET_WRITE_POINTER";
inline constexpr char TRELM_DEVICE_ERROR_COULD_NOT_ACCEPT_WRITE_POINTER_OFFSET[] =
    "TRELM_DEVICE_ERROR_COULD_NOT_ACCEPT_WRITE_POINTER_OFFSET";
inline constexpr char TRELM_DEVICE_ERROR_MEM_ALLOCATION_ERROR[] =
    "TRELM_DEVICE_ERROR_MEM_ALLOCATION_ERROR";
inline constexpr char TRELM_DEVICE_ERROR_COULD_NOT_MOVE_FILEPOINTER[] =
    "TRELM_DEVICE_ERROR_COULD_NOT_MOVE_FILEPOINTER";
inline constexpr char TRELM_DEVICE_ERROR_MAX_ERROR[] = "TRELM_DEVICE_ERROR_MAX_ERROR";
inline constexpr const char* DEVICE_ERROR_NAMES[] = {
    TRELM_DEVICE_ERROR_NO_ERROR,
    TRELM_DEVICE_ERROR_FLASH_BUSY,
    TRELM_DEVICE_ERROR_NO_ID_FOUND,
    TRELM_DEVICE_ERROR_NO_FREE_ID_FOUND,
    TRELM_DEVICE_ERROR_READ_ERROR,
    TRELM_DEVICE_ERROR_WRITE_ERROR,
    TRELM_DEVICE_ERROR_DELETE_ERROR,
    TRELM_DEVICE_ERROR_END_OF_FILE_REACHED,
    TRELM_DEVICE_ERROR_START_OF_FILE_REACHED,
    TRELM_DEVICE_ERROR_MAX_NUM_FILES_EXCEEDED,
    TRELM_DEVICE_ERROR_FILE_HANDLE_UNKNOWN,
    TRELM_DEVICE_ERROR_FILE_WRITE_PROTECTED,
    TRELM_DEVICE_ERROR_ILLEGAL_FILENAME,
    TRELM_DEVICE_ERROR_ILLEGAL_SOURCE_FILENAME,
    TRELM_DEVICE_ERROR_ILLEGAL_DESTINATION_FILENAME,
    TRELM_DEVICE_ERROR_EXISTING_FILENAME,
    TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME,
    TRELM_DEVICE_ERROR_FILE_IS_OPEN,
    TRELM_DEVICE_ERROR_FILE_IS_NOT_OPEN,
    TRELM_DEVICE_ERROR_FILE_IS_WRITE_PROTECTED,
    TRELM_DEVICE_ERROR_COULD_NOT_DELETE_FILE,
    TRELM_DEVICE_ERROR_COULD_NOT_LOCATE_SOURCE_FILE,
    TRELM_DEVICE_ERROR_COULD_NOT_CREATE_DESTINATION_FILE,
    TRELM_DEVICE_ERROR_COULD_NOT_SET_WRITE_POINTER,
    TRELM_DEVICE_ERROR_COULD_NOT_ACCEPT_WRITE_POINTER_OFFSET,
    TRELM_DEVICE_ERROR_MEM_ALLOCATION_ERROR,
    TRELM_DEVICE_ERROR_COULD_NOT_MOVE_FILEPOINTER,
    TRELM_DEVICE_ERROR_MAX_ERROR,
};

// Every key the language file must define.
inline constexpr const char* LANGUAGE_FILE_KEYS[] = {
    APPNAME,
    LBL_TARGETFILES,
    MNU_FILE,
    MNU_FILE_EXIT,
    MNU_TOOLS,
    MNU_TOOLS_OPTIONS,
    MNU_TOOLS_FILES,
    MNU_REFRESH,
    MNU_ABOUT,
    LBL_OPTIONS,
    HDR_FILE,
    HDR_SIZE,
    HDR_DATE,
    HDR_ATTRIB,
    WAIT_FOR_DEVICE,
    MSG_LOCAL_PATH_INVALID,
    PRO_TITLE,
    PRO_KOPI,
    PRO_TO_TARGET,
    PRO_FROM_TARGET,
    ERR_OWERWRITE,
    ERR_FILE_EXISTS,
    ERR_CONFIRM,
    BTN_CANCEL,
    MSG_BAD_DEVICE_NAME,
    MSG_WAITING_FOR_DEVICE,
    STB_CONNECTED,
    STB_NOT_CONNECTED,
    STB_DEVICE_FILES,
    STB_LOCAL_FILES,
    MSG_DROP_REFUSED,
    STB_DROP,
    DROP_FOLDER,
    DROP_NOT_FILE,
    DROP_TOO_LARGE,
    DROP_BAD_NAME,
    LBL_FILEINFO,
    LBL_TOTAL_SPACE,
    LBL_USED_SPACE,
    MNU_DELETE,
    MSG_CAPTION,
    MSG_DELETE_ONE,
    MSG_DELETE_MANY,
    MSG_CANT_DELETE_CAPTION,
    MSG_CANT_DELETE_READONLY,
    SPLASH_TEXT,
    LBL_SELECT_LANG,
    LBL_SELECT_PATH,
    LBL_SELECT_COMPORT,
    BROWSE_HWND,
    LBL_COMPORT_ENTRY,
    LBL_COMPORT_ENTRY_INFO,
    LBL_COMPORT_SERIAL,
    LBL_COMPORT_NO_PERMISSION,
    LBL_OPTIONS_TABLANG,
    LBL_OPTIONS_TABCOM,
    LBL_OPTIONS_TABPASS,
    BTN_OK,
    BTN_APPLY,
    LBL_PARITY,
    LBL_DATABIT,
    LBL_STOPBIT,
    LBL_BAUD,
    DRP_NONE,
    DRP_ODD,
    DRP_EVEN,
    DRP_MARK,
    DRP_SPACE,
    LBL_SET_PASSWORD,
    LBL_FLUSH,
    BTN_FLUSH,
    APP_ABOUT_NAME,
    Q_REALLY_QUIT,
    Q_YES,
    Q_NO,
};

// Every key the error-message file must define.
inline constexpr const char* ERROR_FILE_KEYS[] = {
    LANG_FILE_NOT_FOUND,
    NO_ITEM_IN_LIST,
    HDR_EMPTY,
    ERROR_FILE_NOT_FOUND,
    ERROR_PATH_NOT_FOUND,
    ERROR_TOO_MANY_OPEN_FILES,
    ERROR_ACCESS_DENIED,
    ERR_FILECACHE_UPDATE,
    ERR_FILE_CACHE_NOT_FOUND,
    ERR_LANG_FILE_NOT_FOUND,
    ERR_UNABLE_TO_CHANGE_LANG,
    ERR_NO_COMPORTS,
    ERR_PORT_PERMISSION,
    NA_WTF,
    TRELM_ERROR_BAD_PARAMETERS,
    TRELM_ERROR_COMPORT_NOT_OPENED,
    TRELM_ERROR_COMM_FAILED,
    TRELM_ERROR_UNEXPECTED_DATA,
    TRELM_ERROR_DEVICE_ERROR,
    TRELM_ERROR_NOT_SUPPORTED,
    TRELM_ERROR_DEVICE_UNKNOWN_CMD,
    TRELM_DEVICE_ERROR_NO_ERROR,
    TRELM_DEVICE_ERROR_FLASH_BUSY,
    TRELM_DEVICE_ERROR_NO_ID_FOUND,
    TRELM_DEVICE_ERROR_NO_FREE_ID_FOUND,
    TRELM_DEVICE_ERROR_READ_ERROR,
    TRELM_DEVICE_ERROR_WRITE_ERROR,
    TRELM_DEVICE_ERROR_DELETE_ERROR,
    TRELM_DEVICE_ERROR_END_OF_FILE_REACHED,
    TRELM_DEVICE_ERROR_START_OF_FILE_REACHED,
    TRELM_DEVICE_ERROR_MAX_NUM_FILES_EXCEEDED,
    TRELM_DEVICE_ERROR_FILE_HANDLE_UNKNOWN,
    TRELM_DEVICE_ERROR_FILE_WRITE_PROTECTED,
    TRELM_DEVICE_ERROR_ILLEGAL_FILENAME,
    TRELM_DEVICE_ERROR_ILLEGAL_SOURCE_FILENAME,
    TRELM_DEVICE_ERROR_ILLEGAL_DESTINATION_FILENAME,
    TRELM_DEVICE_ERROR_EXISTING_FILENAME,
    TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME,
    TRELM_DEVICE_ERROR_FILE_IS_OPEN,
    TRELM_DEVICE_ERROR_FILE_IS_NOT_OPEN,
    TRELM_DEVICE_ERROR_FILE_IS_WRITE_PROTECTED,
    TRELM_DEVICE_ERROR_COULD_NOT_DELETE_FILE,
    TRELM_DEVICE_ERROR_COULD_NOT_LOCATE_SOURCE_FILE,
    TRELM_DEVICE_ERROR_COULD_NOT_CREATE_DESTINATION_FILE,
    TRELM_DEVICE_ERROR_COULD_NOT_SET_WRITE_POINTER,
    TRELM_DEVICE_ERROR_COULD_NOT_ACCEPT_WRITE_POINTER_OFFSET,
    TRELM_DEVICE_ERROR_MEM_ALLOCATION_ERROR,
    TRELM_DEVICE_ERROR_COULD_NOT_MOVE_FILEPOINTER,
    TRELM_DEVICE_ERROR_MAX_ERROR,
};

// Texts that the program uses as printf-style formats, with the conversions
// their callers pass (one letter per argument: s a string, d an integer).
// A translation must use exactly these, in this order.
struct FormatTemplate {
    const char* key;
    const char* conversions;
};
inline constexpr FormatTemplate FORMAT_TEMPLATES[] = {
    {MSG_LOCAL_PATH_INVALID, "s"},
    {MSG_CANT_DELETE_READONLY, "s"},
    {MSG_BAD_DEVICE_NAME, "s"},
    {MSG_WAITING_FOR_DEVICE, "sd"},
    {SPLASH_TEXT, "ddd"},
    {STB_CONNECTED, "sdd"},
    {STB_NOT_CONNECTED, "s"},
    {STB_DEVICE_FILES, "ds"},
    {STB_LOCAL_FILES, "ds"},
    {MSG_DROP_REFUSED, "s"},
    {STB_DROP, "dd"},
    {LBL_COMPORT_ENTRY, "ds"},
    {LBL_COMPORT_ENTRY_INFO, "dss"},
    {LBL_COMPORT_SERIAL, "s"},
    {ERR_PORT_PERMISSION, "sss"},
};

} // namespace TextKeys
