// Fuzz target: the settings store. The input is an INI file, except its last
// byte, which chooses the letter-case mode and the changes. The file is
// loaded, changed (a value replaced, one removed, one added in a new
// section), saved and loaded again into a second store. Besides the
// sanitizers, the reloaded store must read what the first one held: the
// values written, and every key of every non-empty section the file named.
#include "IniEx.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

QString g_path;

// Section names the file mentions in header lines, plus the unnamed one.
QStringList SectionNames(const QString& path) {
    QStringList names{QString()};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return names;
    }
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.size() >= 2 && line.startsWith(u'[') && line.endsWith(u']')) {
            names.append(line.mid(1, line.size() - 2));
        }
        if (names.size() > 64) {
            break;
        }
    }
    return names;
}

[[noreturn]] void Fail(const char* what, const QString& section, const QString& key) {
    std::fprintf(stderr, "%s: section '%s' key '%s'\n", what, qPrintable(section), qPrintable(key));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    g_path = QString::fromStdString(
        (base / ("iniex-fuzz-" + std::to_string(::getpid()) + ".ini")).string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return -1;
    }
    const uint8_t options = data[size - 1];
    const bool caseInsensitive = (options & 1) != 0;
    {
        QFile file(g_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::abort();
        }
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size - 1));
    }

    QStringList written; // section, key, value triples written through the store
    {
        IniEx store;
        if (!store.Load(g_path, false, false, caseInsensitive, false)) {
            std::abort(); // the file exists and is writable
        }
        const QStringList sections = SectionNames(g_path);
        const QString first =
            sections.value(1 + options % (sections.size() > 1 ? sections.size() - 1 : 1));
        QStringList keys;
        store.ListKeys(first, keys);
        // Remove one key, then replace the value of one (values without a
        // ";", which a read cuts off, and without white space at the end,
        // which a load cuts off).
        if (keys.size() > 1 && (options & 4) != 0) {
            store.RemoveValue(first, keys.at(keys.size() - 1 - (options >> 4) % keys.size()));
        }
        if (!keys.isEmpty() && (options & 2) != 0) {
            const QString key = keys.at((options >> 2) % keys.size());
            const QString value = QStringLiteral("changed %1").arg(options);
            store.WriteValue(first, key, value);
            written << first << key << value;
        }
        store.WriteValue(QStringLiteral("fuzz section"), QStringLiteral("added"),
                         QStringLiteral("a value = with an equals sign"));
        written << QStringLiteral("fuzz section") << QStringLiteral("added")
                << QStringLiteral("a value = with an equals sign");
        store.Save(false);

        IniEx reloaded;
        if (!reloaded.Load(g_path, false, false, caseInsensitive, false)) {
            std::abort();
        }
        for (qsizetype i = 0; i + 2 < written.size(); i += 3) {
            if (reloaded.ReadValue(written[i], written[i + 1], QStringLiteral("<none>")) !=
                written[i + 2]) {
                Fail("a written value did not survive saving", written[i], written[i + 1]);
            }
        }
        for (const QString& section : sections) {
            QStringList before;
            QStringList after;
            store.ListKeys(section, before);
            reloaded.ListKeys(section, after);
            if (before.isEmpty()) {
                continue; // a section left without keys is not written back
            }
            if (before != after) {
                Fail("the keys changed by saving", section, before.join(u','));
            }
            for (const QString& key : before) {
                if (store.ReadValue(section, key, QString()) !=
                    reloaded.ReadValue(section, key, QString())) {
                    Fail("a value changed by saving", section, key);
                }
            }
        }
    }
    QFile::remove(g_path);
    return 0;
}
