#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// An INI-style text file kept in memory: ordered sections of ordered key/value
// pairs. The whole file is read at Load; every later read and write goes to
// memory until Save writes it back (atomically, with an optional numbered
// backup of the previous file).
//
// Each line is read as UTF-8 when it is valid UTF-8 and as Windows-1252
// otherwise. A line that is not changed is written back with the bytes it was
// read with; a new or changed line is written as UTF-8.
//
// Used for the settings file "quarnloader.ini" and the local file library
// "filelib.ini". Sections and pairs keep file order, duplicates included; a
// lookup takes the first section of a name and the last pair of a key.
class IniEx {
public:
    explicit IniEx(int growStep = 4);
    virtual ~IniEx();

    IniEx(const IniEx&) = delete;
    IniEx& operator=(const IniEx&) = delete;

    // Reads `path` into the store. A store that already holds a file saves it
    // (without backup) and empties itself first. Fails when the file does not
    // exist (unless createIfMissing), cannot be opened for reading and
    // writing, or is marked read-only.
    bool Load(const QString& path, bool autoSave, bool createIfMissing, bool caseInsensitive,
              bool makeBackup);
    // Load of `name` in the program's own folder: the folder of argv[0], or
    // the current working directory when argv[0] names no folder.
    bool LoadBesideProgram(const QString& name, bool autoSave, bool createIfMissing,
                           bool caseInsensitive, bool makeBackup);
    bool IsLoaded() const { return loaded; }

    // The value of the last `key` in the first section `section`, cut at its
    // last ";" (the stored value keeps it); `defaultValue` when absent.
    QString ReadValue(const QString& section, const QString& key,
                      const QString& defaultValue) const;
    void WriteValue(const QString& section, const QString& key, const QString& value);
    bool RemoveValue(const QString& section, const QString& key);
    // Appends the keys of `section`, in file order, to `list`.
    void ListKeys(const QString& section, QStringList& list) const;

    // Writes the store when it holds changes. Returns the backup file name
    // (empty when no backup has been made, nothing was written or the write
    // failed). The backup always holds the file as it was before this
    // object's first write to it, so a later save never copies what an
    // earlier one wrote.
    QString Save(bool makeBackup);
    void Clear();
    // Deletes the file from disk and empties the store; false (and nothing
    // changed) when the file cannot be deleted.
    bool DeleteStoreFile();

    QString GetFileName() const { return fileName; }
    bool IsModified() const { return modified; }

    // argv[0] of this process as it was started.
    static QString ProgramPath();

private:
    int FindSection(const QString& section) const;
    int FindKey(int slot, const QString& key) const;
    // The form in which keys are looked up: the key itself, or in
    // case-insensitive mode its case folding as the comparison applies it.
    QString LookupForm(const QString& key) const;
    int AddSection(const QString& name, bool hasHeader);
    bool Same(const QString& a, const QString& b) const;
    void ParseBytes(const QByteArray& bytes);
    QByteArray Serialize() const;
    QString ChooseBackupFileName() const;
    void WriteBackup();

    QString fileName;
    QStringList sectionNames;
    // Per section slot: false only for the unnamed section that holds the key
    // lines found before the file's first header; it is written back without
    // a header line so that it stays in front.
    QList<bool> sectionHeaders;
    QList<QStringList> keyLists;
    QList<QStringList> valueLists;
    // The bytes of a header or pair line that was not valid UTF-8, as read
    // (without its trailing white space); null for UTF-8 lines and for every
    // line that was added or changed since. Per section slot, and per pair.
    QList<QByteArray> rawHeaders;
    QList<QList<QByteArray>> rawLines;
    // The file began with a UTF-8 byte order mark, which is written back.
    bool byteOrderMark = false;
    // The file's bytes just before this object first wrote it; taken at the
    // first write after a Load, the content of every backup.
    QByteArray contentBeforeFirstWrite;
    bool existedBeforeFirstWrite = false;
    bool contentBeforeFirstWriteTaken = false;
    // Per section slot: the lookup form of each key to the position of its
    // last pair, so that a lookup does not compare every key (a file library
    // holds a key per file of a folder). Built on the first lookup, kept up
    // to date when a pair is added, dropped when pairs move.
    mutable QList<QHash<QString, int>> keyIndexes;
    mutable QList<bool> keyIndexValid;
    int sectionCount = 0;
    int growStep;
    bool caseInsensitive = true;
    bool autoSave = true;
    bool makeBackup = false;
    bool modified = false;
    bool loaded = false;
    QString backupFileName;
};
