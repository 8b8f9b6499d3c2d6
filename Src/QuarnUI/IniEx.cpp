#include "IniEx.h"

#include "DebugLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <unistd.h>

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

// White space cut from the end of every line read.
bool IsTrailingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The two character sets a line may be written in: UTF-8, and Windows-1252
// for a line that is not valid UTF-8.
class LineDecoder {
public:
    LineDecoder()
        : utf8(QStringDecoder::Utf8,
               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom),
          windows1252("windows-1252"), latin1(QStringDecoder::Latin1) {}

    // The text of `line`; `legacy` tells whether it was read as Windows-1252.
    QString Decode(QByteArrayView line, bool& legacy) {
        legacy = false;
        bool ascii = true;
        for (char c : line) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
        }
        if (ascii) {
            return QString::fromLatin1(line);
        }
        // A stateless decoder takes a sequence cut off at the line's end for
        // an error instead of keeping it for the next call.
        utf8.resetState();
        QString text = utf8.decode(line);
        if (!utf8.hasError()) {
            return text;
        }
        legacy = true;
        // Without a Windows-1252 converter in this Qt build, Latin-1 is the
        // closest: it differs only in 0x80 to 0x9F.
        QStringDecoder& fallback = windows1252.isValid() ? windows1252 : latin1;
        fallback.resetState();
        return fallback.decode(line);
    }

private:
    QStringDecoder utf8;
    QStringDecoder windows1252;
    QStringDecoder latin1;
};

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
    contentBeforeFirstWriteTaken = false;
    sectionNames.reserve(growStep);
    // A read error part-way keeps what was read before it.
    const QByteArray bytes = file.readAll();
    file.close();
    ParseBytes(bytes);
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

void IniEx::ParseBytes(const QByteArray& bytes) {
    QByteArrayView rest(bytes);
    byteOrderMark = rest.startsWith(kByteOrderMark);
    if (byteOrderMark) {
        rest = rest.sliced(kByteOrderMark.size());
    }
    LineDecoder decoder;
    QString pendingHeader;
    QByteArray pendingRawHeader;
    bool headerPending = false;
    int current = -1;
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        QByteArrayView raw = end >= 0 ? rest.first(end) : rest;
        rest = end >= 0 ? rest.sliced(end + 1) : QByteArrayView();
        while (!raw.isEmpty() && IsTrailingSpace(raw.back())) {
            raw.chop(1);
        }
        if (raw.isEmpty()) {
            continue;
        }
        bool legacy = false;
        const QString line = decoder.Decode(raw, legacy);
        const QByteArray rawLine = legacy ? raw.toByteArray() : QByteArray();
        if (line.startsWith(u'[') && line.endsWith(u']') && line.size() >= 2) {
            // A section is registered only by its first key line, so a header
            // without keys leaves no trace.
            pendingHeader = line.mid(1, line.size() - 2);
            pendingRawHeader = rawLine;
            headerPending = true;
            continue;
        }
        if (headerPending) {
            current = AddSection(pendingHeader, true);
            rawHeaders[current] = pendingRawHeader;
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
        rawLines[current].append(rawLine);
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
    rawHeaders.append(QByteArray());
    rawLines.append(QList<QByteArray>());
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
        rawLines[slot].append(QByteArray());
        // FindKey has just made the section's index valid.
        keyIndexes[slot].insert(LookupForm(key), static_cast<int>(keyLists.at(slot).size() - 1));
        modified = true;
        return;
    }
    // A change of letter case alone in case-insensitive mode is kept in
    // memory but does not by itself make Save write.
    const QString& stored = valueLists.at(slot).at(index);
    if (!Same(stored, value)) {
        modified = true;
    }
    if (stored != value) {
        rawLines[slot][index] = QByteArray(); // a changed line is written as UTF-8
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
    rawLines[slot].removeAt(index);
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

QByteArray IniEx::Serialize() const {
    QByteArray bytes;
    for (int slot = 0; slot < sectionCount; ++slot) {
        if (sectionHeaders.at(slot)) {
            const QByteArray& raw = rawHeaders.at(slot);
            bytes += raw.isNull() ? QString(u'[' + sectionNames.at(slot) + u']').toUtf8() : raw;
            bytes += '\n';
        }
        const QStringList& keys = keyLists.at(slot);
        const QStringList& values = valueLists.at(slot);
        const QList<QByteArray>& raws = rawLines.at(slot);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            // Every pair keeps its "=", so an empty key or a line read without
            // "=" comes back as the same pair.
            const QByteArray& raw = raws.at(i);
            if (raw.isNull()) {
                bytes += QString(keys.at(i) + u'=' + values.at(i)).toUtf8();
            } else {
                bytes += raw;
                if (!raw.contains('=')) {
                    bytes += '=';
                }
            }
            bytes += '\n';
        }
    }
    // Loading drops a leading byte order mark, so a text that itself starts
    // with U+FEFF (a first key beginning with it) gets a mark in front to
    // keep its character; a file that had a mark keeps it.
    if (byteOrderMark || bytes.startsWith(kByteOrderMark)) {
        bytes.prepend(kByteOrderMark);
    }
    return bytes;
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

void IniEx::WriteBackup() {
    // A failed backup is not reported; the save goes on.
    QFile::remove(backupFileName);
    if (!existedBeforeFirstWrite) {
        return;
    }
    QFile backup(backupFileName);
    if (backup.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        backup.write(contentBeforeFirstWrite);
        backup.close();
        backup.setPermissions(QFileInfo(fileName).permissions());
    }
}

QString IniEx::Save(bool makeBackup) {
    if (!modified) {
        return QString();
    }
    if (!contentBeforeFirstWriteTaken && !fileName.isEmpty()) {
        // What every backup of this object holds: the file as it was before
        // this object first wrote it.
        QFile before(fileName);
        existedBeforeFirstWrite = before.open(QIODevice::ReadOnly);
        contentBeforeFirstWrite = existedBeforeFirstWrite ? before.readAll() : QByteArray();
        contentBeforeFirstWriteTaken = true;
    }
    if (makeBackup && !fileName.isEmpty()) {
        if (backupFileName.isEmpty()) {
            backupFileName = ChooseBackupFileName();
        }
        WriteBackup();
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
            const QByteArray bytes = Serialize();
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
    rawHeaders.clear();
    rawLines.clear();
    keyIndexes.clear();
    keyIndexValid.clear();
    fileName.clear();
    byteOrderMark = false;
    contentBeforeFirstWrite.clear();
    contentBeforeFirstWriteTaken = false;
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
