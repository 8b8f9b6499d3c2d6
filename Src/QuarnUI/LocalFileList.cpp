#include "LocalFileList.h"

#include "ByteSize.h"
#include "DateText.h"
#include "DebugLog.h"
#include "LanguageReader.h"
#include "SettingsKeys.h"
#include "SystemError.h"
#include "TextKeys.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// One entry of a folder search.
struct FolderEntry {
    QString name;
    struct stat info;
};

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

bool MatchesPattern(const QString& name, const QString& pattern) {
    // "*.*" means every file, with or without an extension.
    if (pattern.isEmpty() || pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) {
        return true;
    }
    const QRegularExpression expression(QRegularExpression::wildcardToRegularExpression(pattern),
                                        QRegularExpression::CaseInsensitiveOption);
    return expression.match(name).hasMatch();
}

// The entries of `folderPath` (files and folders, "." and ".." excluded),
// sorted by name without regard to letter case. False with the program's
// error code when the folder cannot be read.
bool SearchFolder(const QString& folderPath, std::vector<FolderEntry>& entries, int& error) {
    const QByteArray nativeFolder = Native(folderPath);
    DIR* dir = opendir(nativeFolder.constData());
    if (dir == nullptr) {
        error = SystemError::FromFolderErrno(errno);
        return false;
    }
    const int dirFd = dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        FolderEntry found;
        // An entry that cannot be examined (a dangling link) is left out.
        if (fstatat(dirFd, name, &found.info, 0) != 0) {
            continue;
        }
        found.name = QFile::decodeName(name);
        entries.push_back(std::move(found));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int folded = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
    return true;
}

// The image number of a mark character: its digit, 0 for anything else.
int MarkImage(const QString& value, int index) {
    if (index >= value.size()) {
        return 0;
    }
    const QChar c = value.at(index);
    return c >= u'0' && c <= u'9' ? c.unicode() - u'0' : 0;
}

} // namespace

LocalFileList::LocalFileList(QWidget* parent) : FileList(parent) {
    notifyMessage = MainWindowMessages::UM_LOCAL_LIST_STATE;
    connect(this, &QTreeWidget::itemClicked, this, &LocalFileList::ToggleMark);
}

LocalFileList::~LocalFileList() {
    if (!UpdateFileLibrary() && Owner() != nullptr) {
        Owner()->ProgramError(ErrorFileCacheUpdate);
    }
    fileLibrary.Save(false);
    // The library's own destruction saves once more, with a backup.
}

bool LocalFileList::SetColumns(const QString& heading) {
    QString columns = heading;
    if (serviceMode) {
        // The mark columns need their own pair even when the last pair of
        // `heading` lacks its final ";".
        if (!columns.isEmpty() && !columns.endsWith(u';')) {
            columns += u';';
        }
        columns += QStringLiteral("H,20;R,30;");
    }
    const bool inserted = FileList::SetColumns(columns);
    // The mark columns keep their width.
    for (int column : {HiddenColumn, ReadOnlyColumn}) {
        if (column < columnCount) {
            header()->setSectionResizeMode(column, QHeaderView::Fixed);
        }
    }
    return inserted;
}

int LocalFileList::LoadFolder(const QString& path) {
    // Diagnostic only: whether a file library exists beside the program.
    {
        const QString program = IniEx::ProgramPath();
        const qsizetype slash = program.lastIndexOf(u'/');
        const QString programFolder = slash >= 0 ? program.left(slash) : QDir::currentPath();
        QFile library(programFolder + u'/' + QLatin1String(SettingsKeys::FILE_LIBRARY_NAME));
        if (!library.open(QIODevice::ReadOnly)) {
            quarnDebug("No file-lib exists,,, creating new\n");
        }
    }

    folder = path.endsWith(u'/') ? path : path + u'/';
    DeleteAllRows();
    fileCount = 0;

    if (serviceMode && !fileLibrary.IsLoaded()) {
        if (!fileLibrary.LoadBesideProgram(QLatin1String(SettingsKeys::FILE_LIBRARY_NAME), true,
                                           true, true, true)) {
            if (Owner() != nullptr) {
                Owner()->ProgramError(ErrorFileCacheNotFound);
            }
            NotifyOwner(0);
            return 0;
        }
        RemoveStaleEntries();
    }

    QString searchFolder = folder;
    while (searchFolder.endsWith(u'/')) {
        searchFolder.chop(1);
    }
    if (searchFolder.isEmpty()) {
        searchFolder = QStringLiteral("/");
    }
    QString filePattern = pattern;
    while (filePattern.startsWith(u'/') || filePattern.startsWith(u'\\')) {
        filePattern.remove(0, 1);
    }

    std::vector<FolderEntry> entries;
    int error = 0;
    if (!SearchFolder(searchFolder, entries, error)) {
        if (Owner() != nullptr) {
            Owner()->ProgramError(error);
        }
        NotifyOwner(1);
        return 0;
    }

    QList<QTreeWidgetItem*> rows;
    for (const FolderEntry& entry : entries) {
        const bool hidden = entry.name.startsWith(u'.');
        if (S_ISDIR(entry.info.st_mode) || (hidden && !serviceMode) ||
            !MatchesPattern(entry.name, filePattern)) {
            continue;
        }
        RowTexts texts;
        texts.name = entry.name;
        texts.itemData = static_cast<std::int64_t>(entry.info.st_size);
        texts.size = ByteSize::Format(static_cast<std::uint64_t>(entry.info.st_size));
        texts.date = DateText::FromTime(entry.info.st_mtime);
        if ((entry.info.st_mode & S_IWUSR) == 0) {
            texts.attributes += u'r';
        }
        if (hidden) {
            texts.attributes += u'h';
        }
        QTreeWidgetItem* row = MakeRow(texts);
        if (serviceMode) {
            QString value = fileLibrary.ReadValue(folder, entry.name, QString()).left(3);
            if (value.isEmpty()) {
                value = QStringLiteral("22");
                fileLibrary.WriteValue(folder, entry.name, value);
            }
            SetCellImage(row, HiddenColumn, MarkImage(value, 0));
            SetCellImage(row, ReadOnlyColumn, MarkImage(value, 1));
        }
        rows.append(row);
        ++fileCount;
    }
    addTopLevelItems(rows);

    if (serviceMode) {
        ApplyPendingAttributes();
    }
    SetDisplayOrder();

    if (fileCount > 0) {
        NotifyOwner(1);
        return 1;
    }
    if (Owner() != nullptr) {
        SetEmptyText(Owner()->ErrReader().GetText(TextKeys::HDR_EMPTY));
    }
    NotifyOwner(1);
    return 0;
}

int LocalFileList::Refresh() {
    DeleteAllRows();
    if (folder.isEmpty()) {
        return 0;
    }
    return LoadFolder(folder);
}

void LocalFileList::RemoveStaleEntries() {
    QStringList keys;
    fileLibrary.ListKeys(folder, keys);
    if (keys.isEmpty()) {
        return;
    }
    // The library compares names without regard to letter case, so a file
    // whose name differs from its key only in case keeps its entry.
    QSet<QString> present;
    std::vector<FolderEntry> entries;
    int error = 0;
    if (SearchFolder(folder, entries, error)) {
        for (const FolderEntry& entry : entries) {
            present.insert(entry.name.toCaseFolded());
        }
    }
    for (const QString& key : keys) {
        if (!present.contains(key.toCaseFolded())) {
            fileLibrary.RemoveValue(folder, key);
        }
    }
}

void LocalFileList::ApplyPendingAttributes() {
    for (const PendingAttribute& entry : pendingAttributes) {
        const QString value =
            QStringLiteral("%1%2").arg(entry.hidden ? 1 : 2).arg(entry.readOnly ? 1 : 2);
        fileLibrary.WriteValue(folder, entry.name, value);
        // The row of exactly that name, else one whose name differs only in
        // letter case; never a row whose name merely begins with it.
        int match = -1;
        for (int row = 0; row < RowCount(); ++row) {
            const QString name = RowText(row, 0);
            if (name == entry.name) {
                match = row;
                break;
            }
            if (match < 0 && name.compare(entry.name, Qt::CaseInsensitive) == 0) {
                match = row;
            }
        }
        if (match >= 0) {
            SetCellImage(topLevelItem(match), HiddenColumn, MarkImage(value, 0));
            SetCellImage(topLevelItem(match), ReadOnlyColumn, MarkImage(value, 1));
        }
    }
    pendingAttributes.clear();
}

void LocalFileList::SetDisplayOrder() {
    QList<int> order;
    if (columnCount == 6) {
        order = {0, HiddenColumn, ReadOnlyColumn, 1, 2, 3};
    } else {
        for (int column = 0; column < columnCount; ++column) {
            order.append(column);
        }
    }
    QHeaderView* heading = header();
    for (int visual = 0; visual < order.size(); ++visual) {
        const int from = heading->visualIndex(order.at(visual));
        if (from >= 0 && from != visual) {
            heading->moveSection(from, visual);
        }
    }
}

bool LocalFileList::UpdateFileLibrary() {
    if (!serviceMode) {
        return true;
    }
    for (int row = 0; row < RowCount(); ++row) {
        const int hidden = SubItemImage(row, HiddenColumn);
        const int readOnly = SubItemImage(row, ReadOnlyColumn);
        if (hidden < 0 || readOnly < 0) {
            return false;
        }
        fileLibrary.WriteValue(folder, RowText(row, 0),
                               QStringLiteral("%1%2").arg(hidden).arg(readOnly));
    }
    return true;
}

bool LocalFileList::DeleteFileLibrary() {
    return fileLibrary.DeleteStoreFile();
}

void LocalFileList::ToggleMark(QTreeWidgetItem* row, int column) {
    if (row == nullptr || (column != HiddenColumn && column != ReadOnlyColumn)) {
        return;
    }
    const QVariant image = row->data(column, ImageRole);
    if (!image.isValid()) {
        return;
    }
    SetCellImage(row, column, image.toInt() == ImageTicked ? ImageEmptyBox : ImageTicked);
}

void LocalFileList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        DeleteSelectedFiles();
    } else if (event->key() == Qt::Key_Left && Owner() != nullptr) {
        Owner()->CopyToDevice();
    }
    FileList::keyPressEvent(event);
}

void LocalFileList::DeleteSelectedFiles() {
    const QList<int> selected = SelectedRows();
    if (!ConfirmDelete(selected)) {
        return;
    }
    QStringList names;
    for (int row : selected) {
        names.append(RowText(row, 0));
    }
    MainWindowMessages* owner = Owner();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    for (const QString& name : names) {
        const QString path = folder + name;
        quarnDebug("Deleting '%s'\n", qPrintable(path));
        const int error = DeleteLocalFile(path);
        if (error != 0 && owner != nullptr) {
            owner->ProgramError(error);
        }
    }
    Refresh();
}

int LocalFileList::DeleteLocalFile(const QString& path) {
    const QByteArray native = Native(path);
    struct stat info {};
    if (lstat(native.constData(), &info) != 0) {
        return SystemError::FromErrno(errno);
    }
    // A read-only file (owner write bit clear) is refused, as the file
    // system of the classic platform refuses it: access denied.
    if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
        return SystemError::FromErrno(EACCES);
    }
    if (unlink(native.constData()) != 0) {
        return SystemError::FromErrno(errno);
    }
    return 0;
}
