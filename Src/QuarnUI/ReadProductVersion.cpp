#include "ReadProductVersion.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

namespace {

uint32_t ReadWord(const char* bytes) {
    uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

} // namespace

uint32_t ReadProductVersion(const QString& filePath, int& major, int& minor, int& build) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        // QFile keeps no errno; ask the file system what is wrong.
        const QFileInfo info(filePath);
        if (!info.exists()) {
            return ENOENT;
        }
        return info.isDir() ? EISDIR : EACCES;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return EIO;
    }

    const char* begin = content.constData();
    const char* end = begin + content.size();
    const auto marker = std::begin(PRODUCT_VERSION_MARKER);
    const auto markerEnd = std::end(PRODUCT_VERSION_MARKER);
    const std::boyer_moore_horspool_searcher searcher(marker, markerEnd);
    for (const char* at = std::search(begin, end, searcher); at != end;
         at = std::search(at + 1, end, searcher)) {
        if (end - at < static_cast<std::ptrdiff_t>(sizeof(ProductVersionRecord))) {
            break;
        }
        const uint32_t ms = ReadWord(at + offsetof(ProductVersionRecord, productVersionMS));
        const uint32_t ls = ReadWord(at + offsetof(ProductVersionRecord, productVersionLS));
        const uint32_t check = ReadWord(at + offsetof(ProductVersionRecord, check));
        if (check != ProductVersionCheck(ms, ls)) {
            continue; // the marker text alone, not a record
        }
        major = static_cast<int>(ms >> 16);
        minor = static_cast<int>(ms & 0xFFFFu);
        build = static_cast<int>(ls & 0xFFFFu);
        return 0;
    }
    return ENODATA;
}

QString OwnProgramFile() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationFilePath();
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}
