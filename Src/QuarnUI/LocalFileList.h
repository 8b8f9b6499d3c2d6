#pragma once

#include "FileList.h"
#include "IniEx.h"

#include <QList>
#include <QString>

// The right pane of the main window: the files of one local folder. It
// deletes files after a question (Delete key or context menu) and starts the
// copy to the device on the Left arrow key.
//
// In service mode it also lists hidden files and shows two mark columns, "H"
// and "R": the hidden and read-only attributes each file is to carry on the
// device, a ticked or an empty box that a click toggles. The marks are kept
// per folder and file in the file library "filelib.ini" beside the program
// ("1" set, "2" clear; "21" is not hidden, read-only). Folders and file names
// are compared with letter case there, as the file system compares them.
class LocalFileList : public FileList {
    Q_OBJECT
public:
    // The marks a file copied from the device is to get at the next listing
    // in service mode.
    struct PendingAttribute {
        QString name;
        int hidden = 0;
        int readOnly = 0;
    };

    static constexpr int HiddenColumn = 4;
    static constexpr int ReadOnlyColumn = 5;
    // Program error codes sent to the main window.
    static constexpr int ErrorFileCacheUpdate = 1124;
    static constexpr int ErrorFileCacheNotFound = 1126;

    explicit LocalFileList(QWidget* parent = nullptr);
    // Writes the marks into the file library (error 1124 to the owner when
    // they cannot be read) and saves the library.
    ~LocalFileList() override;

    // Lists `path`: 1 when at least one file was listed, 0 otherwise.
    int LoadFolder(const QString& path) override;
    // Lists the last folder again; nothing before the first LoadFolder.
    int Refresh();
    // In service mode the two mark columns follow the columns of `heading`.
    bool SetColumns(const QString& heading) override;
    // The folder listed last, ending with "/".
    // A drag of the selected rows: their names for the device pane and the
    // files themselves for a file manager (always as a copy).
    QMimeData* DragData() const override;
    QString GetFolder() const { return folder; }
    // Writes the marks of all rows into the library (in memory). True
    // outside service mode; false when a row's marks cannot be read.
    bool UpdateFileLibrary();
    // Deletes the library file and empties the library, so the next listing
    // in service mode starts a new one.
    bool DeleteFileLibrary();

    QString folder;
    QList<PendingAttribute> pendingAttributes;
    IniEx fileLibrary{4};

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void DeleteSelectedFiles() override;

private:
    void RemoveStaleEntries();
    void ApplyPendingAttributes();
    void ToggleMark(QTreeWidgetItem* row, int column);
    void SetDisplayOrder();
    // Deletes one local file; 0 or the program's error code.
    static int DeleteLocalFile(const QString& path);
};
