#pragma once

#include <QString>
#include <QStringList>

class DeviceLink;
class IniEx;
class LanguageReader;

// What the option pages, the lists and the dialogs may ask of the main
// window. Each call is synchronous and answers as the main window's message
// table says; the numbers of the classic private messages are kept as names.
class MainWindowMessages {
public:
    enum Message {
        UM_CHANGE_LANGUAGE = 0x400 + 5,
        UM_PROGRAM_ERROR = 0x400 + 7,
        UM_RECONNECT = 0x400 + 8,
        UM_SHOW_HIDDEN = 0x400 + 10,
        UM_FLUSH_FILE_LIBRARY = 0x400 + 11,
        UM_LIBRARY_ERROR = 0x400 + 12,
        UM_REFRESH = 0x400 + 200,
        UM_DEVICE_LIST_STATE = 0x400 + 202,
        UM_LOCAL_LIST_STATE = 0x400 + 203,
        // Not one of the classic messages: the permission hint of the COM
        // port list.
        PORT_ACCESS_DENIED = 0x400 + 300,
    };

    virtual ~MainWindowMessages() = default;

    // UM_CHANGE_LANGUAGE: 1 done, 0 failed.
    virtual int ChangeLanguage(const QString& languageName) = 0;
    // UM_PROGRAM_ERROR: shows the program error; 0.
    virtual int ProgramError(int code) = 0;
    // UM_RECONNECT: reconnects with the stored COM settings; 1.
    virtual int Reconnect() = 0;
    // UM_SHOW_HIDDEN: switches both lists to service mode and reloads them; 1.
    virtual int ShowHidden() = 0;
    // UM_FLUSH_FILE_LIBRARY: deletes the file library; 1 done, 0 failed.
    virtual int FlushFileLibrary() = 0;
    // UM_LIBRARY_ERROR: shows the library error; 0.
    virtual int LibraryError(int code) = 0;
    // The COM port list found ports that this user may not open: shows how
    // to get the permission; 0.
    virtual int PortAccessDenied(const QStringList& devicePaths) = 0;
    // UM_REFRESH: refreshes both lists; 0.
    virtual int Refresh() = 0;
    // UM_DEVICE_LIST_STATE: the device list has loaded; 1.
    virtual int DeviceListState(int fileCount, int deviceAnswered) = 0;
    // UM_LOCAL_LIST_STATE: the local list has loaded; 1.
    virtual int LocalListState(int fileCount, int value) = 0;

    // Shared state the other windows reach through the main window.
    virtual IniEx& Settings() = 0;
    virtual LanguageReader& LangReader() = 0;
    virtual LanguageReader& ErrReader() = 0;
    virtual QString GetStartupFolder() const = 0;

    // The local list, as the option pages reach it.
    // Writes the marks of the local list's rows into the file library
    // (the list's UpdateFileLibrary); false when a row's marks cannot be read.
    virtual bool UpdateFileLibrary() = 0;
    // Rebuilds the local list (columns and rows) from the stored LOCAL_PATH.
    virtual void RefreshLocalList() = 0;
    // Whether the file lists are in service mode.
    virtual bool IsServiceMode() const = 0;

    // The two copy operations, started by the buttons and the arrow keys.
    virtual void CopyToDevice() = 0;
    virtual void CopyFromDevice() = 0;

    // The device link every library call goes through; nullptr where there
    // is no device (the first-run setup before the port is opened).
    virtual DeviceLink* Device() { return nullptr; }
};
