#include "IniEx.h"

#include "DebugLog.h"
#include "LanguageReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace {

// White space cut from the end of every line read.
bool IsTrailingSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

// Forces the written data onto the disk before the file replaces the old
// one; a file system that cannot sync (EINVAL) is no failure.
bool SyncToDisk(int fd) {
    return fsync(fd) == 0 || errno == EINVAL;
}

// The decimal number formed by the leading digits of `text`; 0 without any.
int LeadingNumber(const QString& text) {
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

IniEx::IniEx(int growStep) : growStep(growStep > 0 ? growStep : 1) {}

IniEx::~IniEx() {
    if (autoSave) {
        Save(makeBackup);
    }
    Clear();
}

bool IniEx::Load(const QString& path, bool autoSave, bool createIfMissing, bool caseInsensitive,
                 bool makeBackup) {
    if (!fileName.isEmpty()) {
        Save(false);
        Clear();
    }
    if (this->caseInsensitive != caseInsensitive) {
        keyIndexValid.fill(false); // keys are looked up in another form now
    }
    this->caseInsensitive = caseInsensitive;
    this->autoSave = autoSave;
    this->makeBackup = makeBackup;

    // The store is opened for writing as well, so that a file that could not
    // be saved later is refused now. Root may write anything, so a file whose
    // owner write bit is clear (a read-only file) is refused explicitly.
    const QFileInfo info(path);
    if (info.exists() && !info.permissions().testFlag(QFileDevice::WriteOwner)) {
        return false;
    }
    QFile file(path);
    QIODevice::OpenMode mode = QIODevice::ReadWrite;
    if (!createIfMissing) {
        mode |= QIODevice::ExistingOnly;
    }
    if (path.isEmpty() || !file.open(mode)) {
        return false;
    }

    fileName = path;
    sectionNames.reserve(growStep);
    // A read error part-way keeps what was read before it.
    const QByteArray bytes = file.readAll();
    file.close();
    ParseText(LanguageReader::DecodeText(bytes));
    loaded = true;
    return true;
}

bool IniEx::LoadBesideProgram(const QString& name, bool autoSave, bool createIfMissing,
                              bool caseInsensitive, bool makeBackup) {
    const QString program = ProgramPath();
    const qsizetype slash = program.lastIndexOf(u'/');
    const QString folder = slash >= 0 ? program.left(slash) : QDir::currentPath();
    const QString path = QFileInfo(folder + u'/' + name).absoluteFilePath();
    return Load(path, autoSave, createIfMissing, caseInsensitive, makeBackup);
}

QString IniEx::ProgramPath() {
    // The first NUL-terminated element of the command line is argv[0]
    // exactly as the program was started.
    QFile cmdline(QStringLiteral("/proc/self/cmdline"));
    if (!cmdline.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray all = cmdline.readAll();
    const qsizetype end = all.indexOf('\0');
    return QString::fromLocal8Bit(end >= 0 ? all.left(end) : all);
}

void IniEx::ParseText(const QString& text) {
    const QStringList lines = text.split(u'\n');
    QString pendingHeader;
    bool headerPending = false;
    int current = -1;
    for (const QString& raw : lines) {
        qsizetype length = raw.size();
        while (length > 0 && IsTrailingSpace(raw.at(length - 1))) {
            --length;
        }
        if (length == 0) {
            continue;
        }
        const QString line = raw.left(length);
        if (line.startsWith(u'[') && line.endsWith(u']') && line.size() >= 2) {
            // A section is registered only by its first key line, so a header
            // without keys leaves no trace.
            pendingHeader = line.mid(1, line.size() - 2);
            headerPending = true;
            continue;
        }
        if (headerPending) {
            current = AddSection(pendingHeader, true);
            headerPending = false;
        } else if (current < 0) {
            // Key lines before the first header are kept in an unnamed section
            // that is written back first, without a header.
            current = AddSection(QString(), false);
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) {
            keyLists[current].append(line);
            valueLists[current].append(QString());
        } else {
            keyLists[current].append(line.left(equals));
            valueLists[current].append(line.mid(equals + 1));
        }
    }
}

bool IniEx::Same(const QString& a, const QString& b) const {
    return a.compare(b, caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

int IniEx::FindSection(const QString& section) const {
    for (int slot = 0; slot < sectionCount; ++slot) {
        if (Same(sectionNames.at(slot), section)) {
            return slot;
        }
    }
    return -1;
}

QString IniEx::LookupForm(const QString& key) const {
    if (!caseInsensitive) {
        return key;
    }
    // The case-insensitive comparison folds code unit by code unit, a low
    // surrogate together with the high surrogate before it; so does this.
    QString folded(key.size(), Qt::Uninitialized);
    char16_t last = 0;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char16_t unit = key.at(i).unicode();
        char32_t codePoint = unit;
        if (QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(last)) {
            codePoint = QChar::surrogateToUcs4(last, unit);
        }
        last = unit;
        const char32_t fold = QChar::toCaseFolded(codePoint);
        folded[i] = QChar(QChar::requiresSurrogates(fold) ? QChar::lowSurrogate(fold)
                                                          : static_cast<char16_t>(fold));
    }
    return folded;
}

int IniEx::FindKey(int slot, const QString& key) const {
    const QStringList& keys = keyLists.at(slot);
    QHash<QString, int>& index = keyIndexes[slot];
    if (!keyIndexValid.at(slot)) {
        index.clear();
        index.reserve(keys.size());
        for (qsizetype i = 0; i < keys.size(); ++i) {
            index.insert(LookupForm(keys.at(i)), static_cast<int>(i));
        }
        keyIndexValid[slot] = true;
    }
    return index.value(LookupForm(key), -1);
}

int IniEx::AddSection(const QString& name, bool hasHeader) {
    if (sectionNames.capacity() <= sectionCount) {
        sectionNames.reserve(sectionCount + growStep);
    }
    sectionNames.append(name);
    sectionHeaders.append(hasHeader);
    keyLists.append(QStringList());
    valueLists.append(QStringList());
    keyIndexes.append(QHash<QString, int>());
    keyIndexValid.append(false);
    return sectionCount++;
}

QString IniEx::ReadValue(const QString& section, const QString& key,
                         const QString& defaultValue) const {
    const int slot = FindSection(section);
    if (slot < 0) {
        return defaultValue;
    }
    const int index = FindKey(slot, key);
    if (index < 0) {
        return defaultValue;
    }
    const QString& value = valueLists.at(slot).at(index);
    const qsizetype semicolon = value.lastIndexOf(u';');
    return semicolon >= 0 ? value.left(semicolon) : value;
}

void IniEx::WriteValue(const QString& section, const QString& key, const QString& value) {
    int slot = FindSection(section);
    if (slot < 0) {
        slot = AddSection(section, true);
        modified = true;
    }
    const int index = FindKey(slot, key);
    if (index < 0) {
        keyLists[slot].append(key);
        valueLists[slot].append(value);
        // FindKey has just made the section's index valid.
        keyIndexes[slot].insert(LookupForm(key), static_cast<int>(keyLists.at(slot).size() - 1));
        modified = true;
        return;
    }
    // A change of letter case alone in case-insensitive mode is kept in
    // memory but does not by itself make Save write.
    if (!Same(valueLists.at(slot).at(index), value)) {
        modified = true;
    }
    valueLists[slot][index] = value;
}

bool IniEx::RemoveValue(const QString& section, const QString& key) {
    const int slot = FindSection(section);
    if (slot < 0) {
        return false;
    }
    const int index = FindKey(slot, key);
    if (index < 0) {
        return false;
    }
    keyLists[slot].removeAt(index);
    valueLists[slot].removeAt(index);
    keyIndexValid[slot] = false; // later pairs moved up
    modified = true;
    return true;
}

void IniEx::ListKeys(const QString& section, QStringList& list) const {
    const int slot = FindSection(section);
    if (slot >= 0) {
        list.append(keyLists.at(slot));
    }
}

QString IniEx::Serialize() const {
    QString text;
    for (int slot = 0; slot < sectionCount; ++slot) {
        if (sectionHeaders.at(slot)) {
            text += QLatin1Char('[') + sectionNames.at(slot) + QLatin1String("]\n");
        }
        const QStringList& keys = keyLists.at(slot);
        const QStringList& values = valueLists.at(slot);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            // Every pair keeps its "=", so an empty key or a line read without
            // "=" comes back as the same pair.
            text += keys.at(i) + u'=' + values.at(i) + u'\n';
        }
    }
    return text;
}

QString IniEx::ChooseBackupFileName() const {
    // Candidates are the files of the folder whose names begin with the
    // file's name less its extension ("filelib*.*" for "filelib.ini"); the
    // highest number in the last three characters of their names, plus one.
    const QFileInfo info(fileName);
    QString base = info.fileName();
    const qsizetype dot = base.lastIndexOf(u'.');
    if (dot >= 0) {
        base.truncate(dot);
    }
    int highest = 0;
    const QStringList entries =
        info.dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (!entry.startsWith(base, Qt::CaseInsensitive)) {
            continue;
        }
        const int number = LeadingNumber(entry.right(3));
        if (number > highest) {
            highest = number;
        }
    }
    return fileName + u'.' + QStringLiteral("%1").arg(highest + 1, 3, 10, QChar(u'0'));
}

void IniEx::CopyToBackup() {
    // A failed backup copy is not reported; the save goes on.
    QFile::remove(backupFileName);
    QFile::copy(fileName, backupFileName);
}

QString IniEx::Save(bool makeBackup) {
    if (!modified) {
        return QString();
    }
    if (makeBackup && !fileName.isEmpty()) {
        if (backupFileName.isEmpty()) {
            backupFileName = ChooseBackupFileName();
        }
        CopyToBackup();
    }

    // The new content goes to a temporary file beside the target, is flushed
    // to disk and then renamed over the target, so the file on disk is always
    // either the old or the new version. A symbolic link keeps pointing to
    // its target, which receives the new content; permissions are kept.
    bool written = false;
    const QFileInfo target(fileName);
    const bool readOnly =
        target.exists() && !target.permissions().testFlag(QFileDevice::WriteOwner);
    if (!fileName.isEmpty() && !readOnly) {
        QSaveFile file(fileName);
        if (file.open(QIODevice::WriteOnly)) {
            // The explicit flush reports a write that fails part-way (a full
            // disk); commit() alone would rename the truncated file into place.
            QByteArray bytes = Serialize().toUtf8();
            // Loading takes a leading EF BB BF for the byte order mark and
            // drops it, so a text that itself starts with U+FEFF (a first key
            // beginning with it) gets a mark in front to keep its character.
            if (bytes.startsWith("\xEF\xBB\xBF")) {
                bytes.prepend("\xEF\xBB\xBF");
            }
            written = file.write(bytes) == bytes.size() && file.flush() &&
                      SyncToDisk(file.handle()) && file.commit();
            if (!written) {
                file.cancelWriting();
            }
        }
    }
    if (!written) {
        quarnDebug("ERROR!!!!: The file could not open for writing\n");
        return QString();
    }
    return backupFileName;
}

void IniEx::Clear() {
    sectionNames.clear();
    sectionHeaders.clear();
    keyLists.clear();
    valueLists.clear();
    keyIndexes.clear();
    keyIndexValid.clear();
    fileName.clear();
    sectionCount = 0;
    modified = true;
    loaded = false;
}

bool IniEx::DeleteStoreFile() {
    if (fileName.isEmpty() || !QFile::remove(fileName)) {
        return false;
    }
    Clear();
    return true;
}
