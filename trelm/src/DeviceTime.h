// Time stamps as the device keeps them (local wall-clock time, one byte per
// field except the full year) and their conversions: into the calendar time
// of a TRELM_FILE_INFO record, from a local file's modification time, and
// back into a POSIX time for a copied file.
#pragma once

#include "trelm.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>

namespace trelm {

class DeviceTime {
public:
    // The fields of one device time stamp, exactly as they travel.
    struct Stamp {
        uint8_t hour = 0;
        uint8_t minute = 0;
        uint8_t second = 0;
        uint8_t day = 0;
        uint8_t month = 0;
        uint16_t year = 0;
        uint8_t dayOfWeek = 0;

        bool IsAllZero() const;
    };

    // A stamp of a file-information reply at `offset`: hh, mm, ss, DD, MM,
    // YY (2 bytes), WD. Bytes beyond the reply read as 0.
    static Stamp FromInfoReply(std::span<const uint8_t> payload, std::size_t offset);
    // A stamp of a listing entry at `offset`, date first: DD, MM, YY (2
    // bytes), WD, one unused byte, hh, mm, ss.
    static Stamp FromListingEntry(std::span<const uint8_t> entry, std::size_t offset);

    // The record's calendar time: every field out of its range takes a fixed
    // replacement (day, month 1; year 2000; day of week, hour, minute, second
    // 0). Fields are judged one by one, so 30 February stays.
    static TRELM_SYSTEMTIME Clamped(const Stamp& stamp);

    // The local calendar time of a POSIX time, milliseconds 0.
    static TRELM_SYSTEMTIME LocalCalendar(std::time_t when);

    // The POSIX time of a stamp read as local time (the daylight-saving rule
    // in force at that date applies). Nothing when a field is out of range
    // or the time cannot be represented: such a stamp names no moment.
    static std::optional<std::time_t> ToPosixTime(const Stamp& stamp);
};

} // namespace trelm
