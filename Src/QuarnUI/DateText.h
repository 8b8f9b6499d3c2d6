#pragma once

#include <QString>

#include <cstdint>
#include <ctime>

// Time stamps as the lists show them: "MM/DD/YY  HH:MM:SS" (month, day,
// two-digit year, two spaces, 24-hour time), whatever the user's locale, and
// the same text read back for sorting.
class DateText {
public:
    // The local time of `time`.
    static QString FromTime(std::time_t time);
    // Calendar fields read as a local time. Fields that form a calendar time
    // are normalised as the C library does (30 February becomes 2 March);
    // anything out of range is shown as it stands.
    static QString FromCalendar(int year, int month, int day, int hour, int minute, int second);

    // Reads a text of the form above. On success `key` orders the time
    // stamps (later is greater). Two-digit years 69 to 99 are 1969 to 1999,
    // 00 to 68 are 2000 to 2068.
    static bool Parse(const QString& text, std::int64_t& key);
};
