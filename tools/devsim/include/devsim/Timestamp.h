// A device time stamp: local wall-clock time as the device keeps it.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace devsim {

class Timestamp {
public:
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t day = 1;
    uint8_t month = 1;
    uint16_t year = 2000;
    uint8_t weekday = 6; // 0 = Sunday; 1 January 2000 was a Saturday

    // The local time of a POSIX time value.
    static Timestamp fromTime(std::time_t t);
    static Timestamp now() { return fromTime(std::time(nullptr)); }
    // The POSIX time of this local time, or nullopt when it names no time.
    std::optional<std::time_t> toTime() const;

    // "YYYY-MM-DDThh:mm:ss/W", W the day of the week (0 = Sunday).
    std::string toText() const;
    // Reads toText()'s form; "/W" may be left out, the day of the week is
    // then worked out from the date.
    static std::optional<Timestamp> parse(std::string_view text);

    bool operator==(const Timestamp&) const = default;
};

} // namespace devsim
