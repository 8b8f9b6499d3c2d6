#include "devsim/Timestamp.h"

#include <cstdio>

namespace devsim {

Timestamp Timestamp::fromTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    Timestamp ts;
    ts.hour = static_cast<uint8_t>(tm.tm_hour);
    ts.minute = static_cast<uint8_t>(tm.tm_min);
    ts.second = static_cast<uint8_t>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    ts.day = static_cast<uint8_t>(tm.tm_mday);
    ts.month = static_cast<uint8_t>(tm.tm_mon + 1);
    ts.year = static_cast<uint16_t>(tm.tm_year + 1900);
    ts.weekday = static_cast<uint8_t>(tm.tm_wday);
    return ts;
}

std::optional<std::time_t> Timestamp::toTime() const {
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return t;
}

std::string Timestamp::toText() const {
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u/%u", unsigned{year},
                  unsigned{month}, unsigned{day}, unsigned{hour}, unsigned{minute},
                  unsigned{second}, unsigned{weekday});
    return text;
}

namespace {

// Reads a decimal number of at most max at pos; advances pos.
bool number(std::string_view text, std::size_t& pos, unsigned max, unsigned& value) {
    const std::size_t begin = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - begin < 5) {
        value = value * 10 + static_cast<unsigned>(text[pos] - '0');
        ++pos;
    }
    return pos > begin && value <= max;
}

bool expect(std::string_view text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

std::optional<Timestamp> Timestamp::parse(std::string_view text) {
    // Any byte values are kept, so a stored stamp that names no real time
    // (month 13, hour 24) survives a save and load unchanged.
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, wd = 0;
    std::size_t pos = 0;
    if (!number(text, pos, 65535, y) || !expect(text, pos, '-') || !number(text, pos, 255, mo) ||
        !expect(text, pos, '-') || !number(text, pos, 255, d) || !expect(text, pos, 'T') ||
        !number(text, pos, 255, h) || !expect(text, pos, ':') || !number(text, pos, 255, mi) ||
        !expect(text, pos, ':') || !number(text, pos, 255, s)) {
        return std::nullopt;
    }
    Timestamp ts;
    ts.year = static_cast<uint16_t>(y);
    ts.month = static_cast<uint8_t>(mo);
    ts.day = static_cast<uint8_t>(d);
    ts.hour = static_cast<uint8_t>(h);
    ts.minute = static_cast<uint8_t>(mi);
    ts.second = static_cast<uint8_t>(s);
    if (pos == text.size()) {
        // No day of the week given: work it out from the date.
        std::tm tm{};
        tm.tm_year = static_cast<int>(y) - 1900;
        tm.tm_mon = static_cast<int>(mo) - 1;
        tm.tm_mday = static_cast<int>(d);
        tm.tm_hour = 12;
        tm.tm_isdst = -1;
        if (std::mktime(&tm) == static_cast<std::time_t>(-1)) {
            return std::nullopt;
        }
        ts.weekday = static_cast<uint8_t>(tm.tm_wday);
        return ts;
    }
    if (!expect(text, pos, '/') || !number(text, pos, 255, wd) || pos != text.size()) {
        return std::nullopt;
    }
    ts.weekday = static_cast<uint8_t>(wd);
    return ts;
}

} // namespace devsim
