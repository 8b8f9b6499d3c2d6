#include "LanguageReader.h"

#include "DebugLog.h"

#include <QFile>
#include <QStringDecoder>

LanguageReader::~LanguageReader() = default;

QString LanguageReader::DecodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    QStringDecoder windows1252("windows-1252");
    if (windows1252.isValid()) {
        return windows1252.decode(bytes);
    }
    // Without a Windows-1252 converter in this Qt build, Latin-1 is the
    // closest: it differs only in 0x80 to 0x9F.
    QStringDecoder latin1(QStringDecoder::Latin1);
    return latin1.decode(bytes);
}

bool LanguageReader::Load(const QString& path) {
    fileName = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.isEmpty()) {
        return false;
    }
    const QString text = DecodeText(bytes);

    // A line ends at LF or at CR; a CR followed by LF ends one line, not two.
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != u'\n' && c != u'\r') {
            continue;
        }
        AddLine(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < size) {
        AddLine(text.mid(start));
    }
    return true;
}

void LanguageReader::AddLine(const QString& line) {
    if (line.isEmpty() || line.startsWith(QStringLiteral("//"))) {
        return;
    }
    // Key: everything before the first "=", less trailing spaces (leading
    // spaces belong to the key). Text: everything after it up to a second
    // "=", less leading spaces. Only the space character is trimmed.
    const qsizetype equals = line.indexOf(u'=');
    QString key = equals >= 0 ? line.left(equals) : line;
    qsizetype keyLength = key.size();
    while (keyLength > 0 && key.at(keyLength - 1) == u' ') {
        --keyLength;
    }
    key.truncate(keyLength);

    QString text;
    if (equals >= 0) {
        const qsizetype second = line.indexOf(u'=', equals + 1);
        text = second >= 0 ? line.mid(equals + 1, second - equals - 1) : line.mid(equals + 1);
        qsizetype first = 0;
        while (first < text.size() && text.at(first) == u' ') {
            ++first;
        }
        text.remove(0, first);
    }
    texts.insert(key, text);
}

QString LanguageReader::GetText(const QString& key) const {
    const auto found = texts.constFind(key);
    if (found != texts.constEnd() && !found->isEmpty()) {
        return *found;
    }
    quarnDebug("Key ->%s Not found in messagefile...\n", key.toUtf8().constData());
    return key;
}

void LanguageReader::Clear() {
    texts.clear();
}
