#pragma once

#include "DeviceLink.h"
#include "DeviceThread.h"
#include "IniEx.h"
#include "LanguageReader.h"
#include "MainWindowMessages.h"
#include "Prompter.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>

class LocalFileList;
class ProgressWnd;
class QLabel;
class QMenuBar;
class QMimeData;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTemporaryDir;
class QTimer;
class TargetFileList;

// The program's main window, run modally from start to end of the program:
// the device's files on the left, the local folder's files on the right and
// between them the two copy buttons.
//
// It owns the settings store ("quarnloader.ini"), the language and
// error-message readers, both lists and the library connection. At start it
// loads settings and texts, makes sure the local folder exists (or runs the
// first-run setup), builds its menu, opens the library on the configured
// port and hands the device query to a worker thread. The other windows
// reach it through MainWindowMessages.
//
// Every library call goes through the window's DeviceLink and is answered
// later by a queued call: the window keeps drawing and answering while the
// device takes its time. A device operation that runs holds back every
// command that would start another one; such a command either waits its turn
// (refresh, the options' reconnect and service-mode listing) or is refused
// with a beep (copy, delete, statistics), and a line at the bottom of the
// window says what the program waits for.
class QuarnUIDlg : public QDialog, public MainWindowMessages {
    Q_OBJECT

public:
    // Command ids of the buttons and menu items.
    enum Command {
        ID_COPY_TO_DEVICE = 1007,
        ID_COPY_FROM_DEVICE = 1021,
        ID_TOOLS_OPTIONS = 1027,
        ID_ABOUT = 1033,
        ID_REFRESH = 1224,
        ID_TOOLS_FILES = 1225,
        ID_APP_EXIT = 57665,
    };

    // The program error shown when deleting the file library fails.
    static constexpr int ErrorFlushFileLibrary = 1125;
    // The program error shown when a language change finds no language file.
    static constexpr int ErrorChangeLanguage = 1129;

    // What the first-run setup hands back.
    struct FirstRunChoice {
        bool accepted = false;
        QString language; // the language name L of "LANG_" + L + ".txt"
        QString folder;
        int port = 0;
    };

    explicit QuarnUIDlg(QWidget* parent = nullptr);
    ~QuarnUIDlg() override;

    // Creation (splash and pause), initialisation, then the modal loop.
    int exec() override;

    // ---- Seams ----------------------------------------------------------
    // Ends the program after a failed start-up step. The default flushes the
    // standard streams and ends the process at once with the code (nothing
    // is closed or saved); tests install a handler that records the code,
    // after which the initialisation stops and the window stays unsaved.
    void SetFatalExit(std::function<void(int)> handler);
    // The pause after the splash has been shown (2000 ms by default).
    void SetCreationPause(int milliseconds) { creationPauseMs = milliseconds; }
    // What ends the program when, at its end, a library call is still
    // blocked on a silent line (see DeviceLink). Without one the end waits
    // until the library gives up.
    void SetBusyExit(std::function<void()> handler);

    // ---- Start-up -------------------------------------------------------
    // The window has been created: shows the splash and pauses.
    void OnCreate();
    // Initialisation steps 1 to 11. False when a step ended the program
    // (seen only when the fatal-exit handler returns).
    bool OnInitDialog();

    QString GetTextOrDefault(const QString& key, const QString& defaultValue) const;
    bool LoadLanguageFile();
    bool IsLocalFolderValid() const;
    void SetWindowTexts();
    void BuildMenu();
    QString BuildHeading() const;
    void Connect();
    void StartDeviceQuery();
    // The user-interface half of the start-up query: fills the device list
    // from the link's answer, sets the flags, ends the watch and posts the
    // refresh command.
    void DeviceQueryFinished(const CDeviceThread::QueryResult& result);

    // ---- Lists ----------------------------------------------------------
    void RefreshLocalList() override;
    // Rebuilds the device list; from `listing` when given (read by the
    // start-up query), otherwise by asking the device. A failure is shown.
    void RefreshDeviceList(const DeviceLink::Listing* listing = nullptr);
    void RefreshAll();
    void ReloadDeviceListIfIdle();
    void SetHoldDeviceList(bool flag);
    void SetHoldRefresh(bool flag);

    // ---- Errors and statistics -----------------------------------------
    void ShowLibraryError(int code);
    QString GetDeviceErrorText();
    void ShowProgramError(int code);
    void ShowStatistics();
    // The message texts the two Show functions display.
    QString LibraryErrorText(int code);
    QString ProgramErrorText(int code) const;

    // ---- MainWindowMessages --------------------------------------------
    int ChangeLanguage(const QString& languageName) override;
    int ProgramError(int code) override;
    int Reconnect() override;
    int ShowHidden() override;
    int FlushFileLibrary() override;
    int LibraryError(int code) override;
    int PortAccessDenied(const QStringList& devicePaths) override;
    int Refresh() override;
    int DeviceListState(int fileCount, int deviceAnswered) override;
    int LocalListState(int fileCount, int value) override;
    IniEx& Settings() override { return m_settings; }
    LanguageReader& LangReader() override { return m_langReader; }
    LanguageReader& ErrReader() override { return m_errReader; }
    QString GetStartupFolder() const override { return m_startupFolder; }
    bool UpdateFileLibrary() override;
    bool IsServiceMode() const override;
    void CopyToDevice() override;
    void CopyFromDevice() override;
    DeviceLink* Device() override { return m_link.get(); }
    // Whether a device file name can name a file in the local folder: not
    // empty, not "." or "..", and without "/" or "\".
    static bool IsPlainFileName(const QString& name);

    // ---- Drag and drop --------------------------------------------------
    // The largest file the device takes.
    static constexpr qint64 MaxDeviceFileSize = 65535;
    // Data dragged over the device pane: rows of the local pane or files
    // from a file manager. Answers whether it may be dropped now; with
    // `drop` it copies what the device can take, exactly as the copy button
    // does, after one notice naming the rest (folders, files of more than
    // 65535 bytes, names that are not of the 8.3 form).
    bool DropOnDevice(const QMimeData* data, bool drop);
    // Device rows dragged over the local pane; a drop copies them from the
    // device as the copy button does.
    bool DropOnLocal(const QMimeData* data, bool drop);
    // Device rows dropped onto a file manager: copies the named files into
    // a folder of the program's own and answers them; none when a copy
    // failed or was cancelled (the failure is shown afterwards).
    QList<QUrl> ExportDeviceFiles(const QStringList& names);
    // Whether a device file name is of the 8.3 form the device takes.
    static bool FitsDeviceName(const QString& name);

    // Runs a command of the menu or the buttons.
    void OnCommand(int command);

    // ---- State, for the other windows and for tests --------------------
    TargetFileList* TargetList() const { return m_targetList; }
    LocalFileList* LocalList() const { return m_localList; }
    bool IsConnected() const { return m_connected; }
    bool NoActivateRefresh() const { return m_noActivateRefresh; }
    bool HoldDeviceList() const { return m_holdDeviceList; }
    bool HoldRefresh() const { return m_holdRefresh; }
    // The connection (opening the port and the start-up query) is under way.
    bool IsQueryRunning() const;
    // A device operation is under way or a request waits for its answer, or
    // a command is held back until then.
    bool IsDeviceBusy() const;
    CDeviceThread* DeviceThread() const { return m_deviceThread; }
    QMenuBar* MenuBar() const { return m_menu; }
    DeviceLink& Link() const { return *m_link; }
    // The line that says what the program waits for.
    QLabel* WaitLine() const { return waitLine; }
    QSplitter* Splitter() const { return splitter; }
    QStatusBar* StatusBar() const { return statusBar; }
    // The status bar's texts: the device pane's files, the connection and
    // the local pane's files.
    QString StatusDeviceFiles() const;
    QString StatusConnection() const;
    QString StatusLocalFiles() const;
    // The port in use as the wait line names it: "COM 7 (/dev/pts/3)".
    QString PortDescription() const;

    // The progress window of the copy under way (set by the copy operations).
    ProgressWnd* m_progress = nullptr;

protected:
    // ---- Seams for dialogs of their own --------------------------------
    // The first-run setup dialog; tests replace it.
    virtual FirstRunChoice RunFirstRunSetup();
    // The options sheet with `caption`, first page selected.
    virtual void RunOptions(const QString& caption);
    // The quit question; true for yes.
    virtual bool AskQuit();

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

signals:
    // The link has answered everything and nothing is held back any more.
    void DeviceIdle();

public slots:
    // OK and the Enter key: nothing.
    void accept() override;
    // Cancel, the Escape key and the end of a close request: the quit
    // question; a yes ends the modal run.
    void reject() override;

private:
    // One run of a copy: what was selected when it started, and where it is.
    struct CopyFile {
        QString name;
        // Copy to the device: the local file.
        QString localPath;
        QByteArray deviceName;
        QString attributeText;
        uint32_t attributes = 0;
    };
    struct CopyRun {
        QList<CopyFile> files;
        int next = 0;
        QString folder;
    };

    void CreateControls();
    void FatalExit(int code);
    void EnableCopyButtons(bool toDevice, bool fromDevice);
    void SetPathLabel(const QString& path);
    void UpdateLabels();
    void OnActivationSettled();
    // ---- Device operations ----
    // Runs `action` now when no device operation is under way, otherwise
    // once the running one has ended (in the order they were held back).
    void RunWhenIdle(std::function<void()> action);
    void OnLinkBusyChanged(bool busy);
    void RunHeldBack();
    void UpdateWaitLine();
    void ApplyCopyButtons();
    // Shows the failure of a device-list load in the empty list.
    void OnDeviceListLoaded(int result);
    void OnCopyProgress(int total, int done);
    void OnProgressCancelled();
    // The copy to the device, one step per answer of the link.
    void CopyToDeviceNext();
    void CopyToDeviceEnd(bool reload);
    // The copy from the device, likewise.
    void CopyFromDeviceNext();
    void CopyFromDeviceEnd(bool refreshLocal);
    void OpenProgress();
    void CloseProgress();
    // The files of rows of the local list (with their marks in service
    // mode) and of the device list.
    QList<CopyFile> LocalRowFiles(const QList<int>& rows) const;
    QList<CopyFile> DeviceRowFiles(const QList<int>& rows) const;
    // The copies of the buttons, for the files given.
    void RunCopyToDevice(const QList<CopyFile>& files);
    void RunCopyFromDevice(const QList<CopyFile>& files);
    bool CanTakeDrop() const;
    // Why a file dropped onto the device pane is not copied; empty when it
    // is.
    QString DropRefusal(const CopyFile& file) const;
    void RestoreWindowState();
    void SaveWindowState();
    // Columns of the device list from the heading, at its remembered widths.
    void SetDeviceColumns();
    void UpdateStatusBar();
    // The message of a failed open of COM `port`: the library error text,
    // and when the port's device node exists but this user may not open
    // it, how to get the permission.
    QString OpenFailureText(int result, int port);
    // Why the device pane is empty after a failed call: the library error
    // text and the port.
    QString DeviceFailureText(int result);
    QString ReadSetting(const char* section, const char* key, const QString& defaultValue) const;
    void WriteSetting(const char* section, const char* key, const QString& value);
    // A message box with the "APPNAME" caption and an OK button.
    void ShowMessage(const QString& text, Prompter::Icon icon);
    // A question or notice of a copy, shown with the arrow cursor.
    int AskDuringCopy(const QString& text, const QString& caption, Prompter::Icon icon,
                      Prompter::Buttons buttons);
    // ShowLibraryError during a copy, with the arrow cursor.
    void ShowCopyError(int code);
    // `format` with its first "%s" replaced by `text` and "%%" by "%"; any
    // other "%" stays as written.
    static QString FormatText(const QString& format, const QString& text);

    IniEx m_settings{4};
    LanguageReader m_langReader;
    LanguageReader m_errReader;
    QString m_startupFolder;
    TargetFileList* m_targetList = nullptr;
    LocalFileList* m_localList = nullptr;
    QPushButton* m_btnToDevice = nullptr;
    QPushButton* m_btnFromDevice = nullptr;
    QMenuBar* m_menu = nullptr;
    QIcon m_icon;
    bool m_connected = false;
    bool m_noActivateRefresh = true;
    bool m_holdDeviceList = false;
    bool m_holdRefresh = false;
    QPointer<CDeviceThread> m_deviceThread;
    std::unique_ptr<DeviceLink> m_link;
    std::unique_ptr<ProgressWnd> m_progressOwner;
    CopyRun m_copy;
    // The port the library was opened on (0 before a search found one).
    int m_port = 0;
    bool m_connecting = false;
    bool m_refreshHeldBack = false;
    QList<std::function<void()>> m_heldBack;
    bool m_wantToDevice = false;
    bool m_wantFromDevice = false;
    QLabel* waitLine = nullptr;
    QSplitter* splitter = nullptr;
    QStatusBar* statusBar = nullptr;
    QLabel* statusDeviceFiles = nullptr;
    QLabel* statusConnection = nullptr;
    QWidget* deviceSeparator = nullptr;
    QLabel* statusLocalFiles = nullptr;
    std::unique_ptr<QTemporaryDir> exportFolder;
    int exportCount = 0;
    QTimer* waitTimer = nullptr;

    QLabel* deviceLabel = nullptr;
    QLabel* localLabel = nullptr;
    std::function<void(int)> fatalExit;
    bool endedByFatalExit = false;
    int creationPauseMs = 2000;
    bool inModalLoop = false;
    bool askingQuit = false;
    // Activation refresh: set by a plain activation, cancelled by a mouse
    // press that belongs to the same activation.
    bool activationPending = false;
    bool activationByClick = false;
};
