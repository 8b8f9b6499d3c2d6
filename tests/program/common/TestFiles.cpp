#include "TestFiles.h"

#include <QFile>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

namespace TestFiles {

bool Write(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray chunk(4096, 'x');
    qint64 left = size;
    while (left > 0) {
        const qint64 part = qMin<qint64>(left, chunk.size());
        if (file.write(chunk.constData(), part) != part) {
            return false;
        }
        left -= part;
    }
    return true;
}

bool WriteText(const QString& path, const QString& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray bytes = content.toUtf8();
    return file.write(bytes) == bytes.size();
}

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

bool SetModified(const QString& path, std::time_t time) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

bool SetReadOnly(const QString& path) {
    return chmod(QFile::encodeName(path).constData(), 0444) == 0;
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    const char* current = std::getenv("TZ");
    hadZone = current != nullptr;
    if (hadZone) {
        savedZone = current;
    }
    setenv("TZ", zone, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (hadZone) {
        setenv("TZ", savedZone.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

} // namespace TestFiles
