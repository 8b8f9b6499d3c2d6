#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The key-to-text table of one language file or error-message file.
//
// Each line of such a file is "KEY = text"; "//" at the start of a line makes
// a comment. Lines end at LF, CR or CR LF. A file that is valid UTF-8 is read
// as UTF-8, any other as Windows-1252, so files written by older Windows
// editors keep their umlauts.
class LanguageReader {
public:
    LanguageReader() = default;
    virtual ~LanguageReader();

    // Adds the lines of `path` to the table (entries of earlier loads that the
    // file does not define stay). False for a missing, unreadable or empty
    // file.
    bool Load(const QString& path);
    // The text of `key`, or `key` itself when it is missing or empty.
    QString GetText(const QString& key) const;
    void Clear();
    QString GetFileName() const { return fileName; }

    // The bytes of a text file as text: UTF-8 when they are valid UTF-8,
    // otherwise Windows-1252. A leading UTF-8 byte order mark is dropped.
    static QString DecodeText(const QByteArray& bytes);

private:
    void AddLine(const QString& line);

    QHash<QString, QString> texts;
    QString fileName;
};
