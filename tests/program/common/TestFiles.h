// Small helpers for tests that work on real files in temporary folders.
#pragma once

#include <QString>

#include <ctime>
#include <ostream>
#include <string>

namespace TestFiles {

// Creates (or replaces) `path` with `size` bytes; false on failure.
bool Write(const QString& path, qint64 size);
// Creates `path` with `content`; false on failure.
bool WriteText(const QString& path, const QString& content);
// The content of `path` as UTF-8 text; empty when it cannot be read.
QString ReadText(const QString& path);
// Sets the last-write time of `path`.
bool SetModified(const QString& path, std::time_t time);
// Clears the owner write bit of `path` (a read-only file).
bool SetReadOnly(const QString& path);

// Sets the process's time zone (TZ) for as long as it lives and puts the
// earlier setting back afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadZone = false;
    std::string savedZone;
};

} // namespace TestFiles

// Lets GoogleTest print QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
