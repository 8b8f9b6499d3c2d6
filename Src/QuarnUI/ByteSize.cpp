#include "ByteSize.h"

namespace {

constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
constexpr int kUnitCount = sizeof(kUnits) / sizeof(kUnits[0]);

// `bytes` / `unit` scaled by `scale` (1, 10 or 100), cut off. The quotient is
// split so that the multiplication cannot overflow.
std::uint64_t Scaled(std::uint64_t bytes, std::uint64_t unit, std::uint64_t scale) {
    return (bytes / unit) * scale + ((bytes % unit) * scale) / unit;
}

} // namespace

QString ByteSize::Format(std::uint64_t bytes) {
    if (bytes < 1024) {
        return QStringLiteral("%1 bytes").arg(bytes);
    }
    std::uint64_t unit = 1024;
    for (int i = 0; i < kUnitCount; ++i, unit *= 1024) {
        const QString suffix = QLatin1String(kUnits[i]);
        const std::uint64_t whole = bytes / unit;
        if (whole < 10) {
            const std::uint64_t hundredths = Scaled(bytes, unit, 100);
            return QStringLiteral("%1.%2 %3")
                .arg(hundredths / 100)
                .arg(hundredths % 100, 2, 10, QChar(u'0'))
                .arg(suffix);
        }
        if (whole < 100) {
            const std::uint64_t tenths = Scaled(bytes, unit, 10);
            return QStringLiteral("%1.%2 %3").arg(tenths / 10).arg(tenths % 10).arg(suffix);
        }
        // From 1000 of a unit on, the next unit shows the size ("0.97 MB");
        // the largest unit takes whatever is left.
        if (whole < 1000 || i == kUnitCount - 1) {
            return QStringLiteral("%1 %2").arg(whole).arg(suffix);
        }
    }
    return QString();
}
