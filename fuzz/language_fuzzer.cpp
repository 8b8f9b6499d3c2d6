// Fuzz target: the language file reader. The input is a language file; it is
// loaded (decoded as UTF-8 or Windows-1252 and split into KEY=text lines) and
// asked for the texts of the keys its lines name. Besides the sanitizers, a
// key the table does not hold must come back as itself.
#include "LanguageReader.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {
QString g_path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    g_path = QString::fromStdString(
        (base / ("language-fuzz-" + std::to_string(::getpid()) + ".txt")).string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(g_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::abort();
        }
        file.write(bytes);
    }
    LanguageReader reader;
    const bool loaded = reader.Load(g_path);
    if (loaded != (size > 0)) {
        std::fprintf(stderr, "Load answered %d for %zu bytes\n", loaded, size);
        std::abort();
    }
    const QString text = LanguageReader::DecodeText(bytes);
    int asked = 0;
    for (const QString& line : text.split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && ++asked < 200) {
            reader.GetText(line.left(equals).trimmed());
        }
    }
    // No line of a file can name a key with a line break in it.
    const QString missing = QStringLiteral("NO\nSUCH KEY");
    if (reader.GetText(missing) != missing) {
        std::fprintf(stderr, "a missing key did not come back as itself\n");
        std::abort();
    }
    QFile::remove(g_path);
    return 0;
}
