#include "DateText.h"

#include <QStringView>

namespace {

QString Compose(int year, int month, int day, int hour, int minute, int second) {
    // The year's last two digits, as "%y" gives them.
    int shortYear = year % 100;
    if (shortYear < 0) {
        shortYear += 100;
    }
    const QChar zero(u'0');
    return QStringLiteral("%1/%2/%3  %4:%5:%6")
        .arg(month, 2, 10, zero)
        .arg(day, 2, 10, zero)
        .arg(shortYear, 2, 10, zero)
        .arg(hour, 2, 10, zero)
        .arg(minute, 2, 10, zero)
        .arg(second, 2, 10, zero);
}

QString FromTm(const std::tm& tm) {
    return Compose(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

// Reads exactly two digits at `pos`.
bool TwoDigits(QStringView text, qsizetype pos, int& value) {
    if (pos + 2 > text.size() || !text[pos].isDigit() || !text[pos + 1].isDigit()) {
        return false;
    }
    value = text[pos].digitValue() * 10 + text[pos + 1].digitValue();
    return true;
}

} // namespace

QString DateText::FromTime(std::time_t time) {
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return QString();
    }
    return FromTm(local);
}

QString DateText::FromCalendar(int year, int month, int day, int hour, int minute, int second) {
    const bool valid = InRange(month, 1, 12) && InRange(day, 1, 31) && InRange(hour, 0, 23) &&
                       InRange(minute, 0, 59) && InRange(second, 0, 60);
    if (valid) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        tm.tm_isdst = -1;
        const std::time_t time = std::mktime(&tm);
        if (time != static_cast<std::time_t>(-1)) {
            return FromTm(tm);
        }
    }
    return Compose(year, month, day, hour, minute, second);
}

bool DateText::Parse(const QString& text, std::int64_t& key) {
    const QStringView view = QStringView(text).trimmed();
    int month = 0;
    int day = 0;
    int year = 0;
    if (!TwoDigits(view, 0, month) || view.size() < 8 || view[2] != u'/' ||
        !TwoDigits(view, 3, day) || view[5] != u'/' || !TwoDigits(view, 6, year)) {
        return false;
    }
    // Date and time are separated by white space (two blanks as written).
    qsizetype pos = 8;
    const qsizetype gapStart = pos;
    while (pos < view.size() && view[pos].isSpace()) {
        ++pos;
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (pos == gapStart || !TwoDigits(view, pos, hour) || pos + 8 != view.size() ||
        view[pos + 2] != u':' || !TwoDigits(view, pos + 3, minute) || view[pos + 5] != u':' ||
        !TwoDigits(view, pos + 6, second)) {
        return false;
    }
    if (!InRange(month, 1, 12) || !InRange(day, 1, 31) || !InRange(hour, 0, 23) ||
        !InRange(minute, 0, 59) || !InRange(second, 0, 60)) {
        return false;
    }
    const int fullYear = year >= 69 ? 1900 + year : 2000 + year;
    key =
        ((((std::int64_t{fullYear} * 100 + month) * 100 + day) * 100 + hour) * 100 + minute) * 100 +
        second;
    return true;
}
