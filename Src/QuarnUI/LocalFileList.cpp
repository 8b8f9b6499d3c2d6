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
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QUrl>

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

// Names in the file library. A file name is its own key unless it holds a
// character that cannot stand in a key line: "=" (which ends the key), a line
// feed or a carriage return (which end the line). Such a name is stored as
// "/" (which no file name holds) followed by the name with "%", "=", LF and
// CR written as "%25", "%3D", "%0A" and "%0D". A folder is its own section
// name unless its path holds a line feed or a carriage return; it is then
// stored with "%", LF and CR written as above and a final "%" (a folder name
// in a section always ends with "/" otherwise).
const QChar kEscapedKeyMark = u'/';

QString PercentEscaped(const QString& text, bool escapeEquals) {
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (QChar c : text) {
        if (c == u'%') {
            escaped += QLatin1String("%25");
        } else if (c == u'=' && escapeEquals) {
            escaped += QLatin1String("%3D");
        } else if (c == u'\n') {
            escaped += QLatin1String("%0A");
        } else if (c == u'\r') {
            escaped += QLatin1String("%0D");
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool HasLineBreak(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

QString LibraryKey(const QString& name) {
    if (!name.contains(u'=') && !HasLineBreak(name)) {
        return name;
    }
    return kEscapedKeyMark + PercentEscaped(name, true);
}

int HexDigit(QChar c) {
    if (c >= u'0' && c <= u'9') {
        return c.unicode() - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c.unicode() - u'A' + 10;
    }
    if (c >= u'a' && c <= u'f') {
        return c.unicode() - u'a' + 10;
    }
    return -1;
}

// The file name that a library key stands for (the reverse of LibraryKey).
QString NameOfKey(const QString& key) {
    if (!key.startsWith(kEscapedKeyMark)) {
        return key;
    }
    QString name;
    name.reserve(key.size());
    for (qsizetype i = 1; i < key.size(); ++i) {
        const QChar c = key.at(i);
        if (c == u'%' && i + 2 < key.size()) {
            const int high = HexDigit(key.at(i + 1));
            const int low = HexDigit(key.at(i + 2));
            if (high >= 0 && low >= 0) {
                name += QChar(static_cast<char16_t>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        name += c;
    }
    return name;
}

QString LibrarySection(const QString& folder) {
    return HasLineBreak(folder) ? PercentEscaped(folder, false) + u'%' : folder;
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
        // Names are compared with letter case: a folder may hold "A.TXT"
        // and "a.txt", and "/data/dir" and "/data/Dir" are two folders.
        if (!fileLibrary.LoadBesideProgram(QLatin1String(SettingsKeys::FILE_LIBRARY_NAME), true,
                                           true, false, true)) {
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

    const QString section = LibrarySection(folder);
    // Marks for a file without an entry of its own: an entry that names it
    // only without regard to letter case (as the library compared names
    // before) and that is not the own entry of another file here. The last
    // such entry counts, as the earlier lookups took the last.
    QHash<QString, QString> marksByFoldedName;
    bool foldedNamesRead = false;
    const auto marksByCaseFolding = [&](const QString& name) {
        if (!foldedNamesRead) {
            foldedNamesRead = true;
            QSet<QString> present;
            for (const FolderEntry& entry : entries) {
                present.insert(entry.name);
            }
            QStringList keys;
            fileLibrary.ListKeys(section, keys);
            for (const QString& key : keys) {
                const QString keyName = NameOfKey(key);
                if (!present.contains(keyName)) {
                    marksByFoldedName.insert(keyName.toCaseFolded(),
                                             fileLibrary.ReadValue(section, key, QString()));
                }
            }
        }
        return marksByFoldedName.value(name.toCaseFolded());
    };

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
            const QString key = LibraryKey(entry.name);
            QString value = fileLibrary.ReadValue(section, key, QString()).left(3);
            if (value.isEmpty()) {
                value = marksByCaseFolding(entry.name).left(3);
                if (value.isEmpty()) {
                    value = QStringLiteral("22");
                }
                fileLibrary.WriteValue(section, key, value);
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
    const QString section = LibrarySection(folder);
    QStringList keys;
    fileLibrary.ListKeys(section, keys);
    if (keys.isEmpty()) {
        return;
    }
    std::vector<FolderEntry> entries;
    int error = 0;
    // A folder that cannot be listed (a stick that is not mounted) keeps its
    // entries: nothing says that its files are gone.
    if (!SearchFolder(folder, entries, error)) {
        return;
    }
    QSet<QString> present;
    QHash<QString, QStringList> presentByFoldedName;
    for (const FolderEntry& entry : entries) {
        present.insert(entry.name);
        presentByFoldedName[entry.name.toCaseFolded()].append(entry.name);
    }
    // An entry is a file's own when its key is the file's key. An entry that
    // names a file only without regard to letter case, or names it in
    // another form, was written by an earlier rule: its marks go to the
    // file's own key when that has none yet. The last entry is taken first,
    // as lookups take the last.
    const QString missing = QStringLiteral("<none>");
    const auto hasOwnEntry = [&](const QString& name) {
        return fileLibrary.ReadValue(section, LibraryKey(name), missing) != missing;
    };
    for (qsizetype i = keys.size() - 1; i >= 0; --i) {
        const QString& key = keys.at(i);
        const QString name = NameOfKey(key);
        if (present.contains(name) && LibraryKey(name) == key) {
            continue;
        }
        QString owner;
        if (present.contains(name)) {
            owner = name;
        } else {
            for (const QString& candidate : presentByFoldedName.value(name.toCaseFolded())) {
                if (!hasOwnEntry(candidate)) {
                    owner = candidate;
                    break;
                }
            }
        }
        if (!owner.isEmpty() && !hasOwnEntry(owner)) {
            fileLibrary.WriteValue(section, LibraryKey(owner),
                                   fileLibrary.ReadValue(section, key, QString()));
        }
        fileLibrary.RemoveValue(section, key);
    }
}

void LocalFileList::ApplyPendingAttributes() {
    for (const PendingAttribute& entry : pendingAttributes) {
        const QString value =
            QStringLiteral("%1%2").arg(entry.hidden ? 1 : 2).arg(entry.readOnly ? 1 : 2);
        fileLibrary.WriteValue(LibrarySection(folder), LibraryKey(entry.name), value);
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
        fileLibrary.WriteValue(LibrarySection(folder), LibraryKey(RowText(row, 0)),
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

QMimeData* LocalFileList::DragData() const {
    const QStringList names = SelectedNames();
    if (names.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(LocalRowsFormat(), EncodeNames(names));
    QList<QUrl> urls;
    for (const QString& name : names) {
        urls.append(QUrl::fromLocalFile(folder + name));
    }
    data->setUrls(urls);
    return data;
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
