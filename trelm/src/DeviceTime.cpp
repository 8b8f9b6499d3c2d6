#include "DeviceTime.h"

#include "ByteOrder.h"

namespace trelm {

namespace {

template <typename T> uint16_t KeepOr(T value, T low, T high, uint16_t replacement) {
    return (value >= low && value <= high) ? static_cast<uint16_t>(value) : replacement;
}

int DaysInMonth(unsigned year, unsigned month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return (month == 2 && leap) ? 29 : kDays[month - 1];
}

} // namespace

bool DeviceTime::Stamp::IsAllZero() const {
    return hour == 0 && minute == 0 && second == 0 && day == 0 && month == 0 && year == 0 &&
           dayOfWeek == 0;
}

DeviceTime::Stamp DeviceTime::FromInfoReply(std::span<const uint8_t> payload, std::size_t offset) {
    Stamp stamp;
    stamp.hour = LoadU8(payload, offset);
    stamp.minute = LoadU8(payload, offset + 1);
    stamp.second = LoadU8(payload, offset + 2);
    stamp.day = LoadU8(payload, offset + 3);
    stamp.month = LoadU8(payload, offset + 4);
    stamp.year = LoadU16(payload, offset + 5);
    stamp.dayOfWeek = LoadU8(payload, offset + 7);
    return stamp;
}

DeviceTime::Stamp DeviceTime::FromListingEntry(std::span<const uint8_t> entry, std::size_t offset) {
    Stamp stamp;
    stamp.day = LoadU8(entry, offset);
    stamp.month = LoadU8(entry, offset + 1);
    stamp.year = LoadU16(entry, offset + 2);
    stamp.dayOfWeek = LoadU8(entry, offset + 4);
    stamp.hour = LoadU8(entry, offset + 6);
    stamp.minute = LoadU8(entry, offset + 7);
    stamp.second = LoadU8(entry, offset + 8);
    return stamp;
}

TRELM_SYSTEMTIME DeviceTime::Clamped(const Stamp& stamp) {
    TRELM_SYSTEMTIME time{};
    time.wDay = KeepOr<uint8_t>(stamp.day, 1, 31, 1);
    time.wMonth = KeepOr<uint8_t>(stamp.month, 1, 12, 1);
    time.wYear = KeepOr<uint16_t>(stamp.year, 1970, 2038, 2000);
    time.wDayOfWeek = KeepOr<uint8_t>(stamp.dayOfWeek, 0, 6, 0);
    time.wHour = KeepOr<uint8_t>(stamp.hour, 0, 23, 0);
    time.wMinute = KeepOr<uint8_t>(stamp.minute, 0, 59, 0);
    time.wSecond = KeepOr<uint8_t>(stamp.second, 0, 59, 0);
    time.wMilliseconds = 0;
    return time;
}

TRELM_SYSTEMTIME DeviceTime::LocalCalendar(std::time_t when) {
    std::tm local{};
    TRELM_SYSTEMTIME time{};
    if (::localtime_r(&when, &local) == nullptr) {
        return time;
    }
    time.wYear = static_cast<uint16_t>(local.tm_year + 1900);
    time.wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    time.wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time.wDay = static_cast<uint16_t>(local.tm_mday);
    time.wHour = static_cast<uint16_t>(local.tm_hour);
    time.wMinute = static_cast<uint16_t>(local.tm_min);
    time.wSecond = static_cast<uint16_t>(local.tm_sec);
    time.wMilliseconds = 0;
    return time;
}

std::optional<std::time_t> DeviceTime::ToPosixTime(const Stamp& stamp) {
    // mktime would quietly carry month 13 or 30 February into the following
    // month; a stamp like that names no moment, so it is refused here.
    if (stamp.month < 1 || stamp.month > 12 || stamp.day < 1 ||
        stamp.day > DaysInMonth(stamp.year, stamp.month) || stamp.hour > 23 || stamp.minute > 59 ||
        stamp.second > 59 || stamp.year < 1601) {
        return std::nullopt;
    }
    std::tm local{};
    local.tm_year = stamp.year - 1900;
    local.tm_mon = stamp.month - 1;
    local.tm_mday = stamp.day;
    local.tm_hour = stamp.hour;
    local.tm_min = stamp.minute;
    local.tm_sec = stamp.second;
    local.tm_isdst = -1;
    // mktime fills in the day of week only when it succeeds (its result -1
    // is also a valid time).
    local.tm_wday = -1;
    const std::time_t when = std::mktime(&local);
    if (local.tm_wday < 0) {
        return std::nullopt;
    }
    return when;
}

} // namespace trelm
