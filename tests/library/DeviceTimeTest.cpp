// Conversions of device time stamps: the clamped calendar time of the
// records, and the local-time round trip used by the two copies.
#include "DeviceTime.h"
#include "ScopedZone.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>

using trelm::DeviceTime;
using trelm::test::ScopedZone;

namespace {

std::array<int, 7> Fields(const TRELM_SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDay, t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond};
}

DeviceTime::Stamp Valid() {
    DeviceTime::Stamp s;
    s.hour = 12;
    s.minute = 34;
    s.second = 56;
    s.day = 15;
    s.month = 6;
    s.year = 2020;
    s.dayOfWeek = 1;
    return s;
}

TEST(LibraryDeviceTime, EachFieldIsClampedOnItsOwn) {
    struct Row {
        const char* name;
        void (*change)(DeviceTime::Stamp&);
        std::array<int, 7> expected; // year month day weekday hour minute second
    };
    const Row rows[] = {
        {"in range", [](DeviceTime::Stamp&) {}, {2020, 6, 15, 1, 12, 34, 56}},
        {"day 0", [](DeviceTime::Stamp& s) { s.day = 0; }, {2020, 6, 1, 1, 12, 34, 56}},
        {"day 32", [](DeviceTime::Stamp& s) { s.day = 32; }, {2020, 6, 1, 1, 12, 34, 56}},
        {"month 13", [](DeviceTime::Stamp& s) { s.month = 13; }, {2020, 1, 15, 1, 12, 34, 56}},
        {"year 1969", [](DeviceTime::Stamp& s) { s.year = 1969; }, {2000, 6, 15, 1, 12, 34, 56}},
        {"year 2039", [](DeviceTime::Stamp& s) { s.year = 2039; }, {2000, 6, 15, 1, 12, 34, 56}},
        {"year 1970", [](DeviceTime::Stamp& s) { s.year = 1970; }, {1970, 6, 15, 1, 12, 34, 56}},
        {"weekday 7", [](DeviceTime::Stamp& s) { s.dayOfWeek = 7; }, {2020, 6, 15, 0, 12, 34, 56}},
        {"hour 24", [](DeviceTime::Stamp& s) { s.hour = 24; }, {2020, 6, 15, 1, 0, 34, 56}},
        {"minute 60", [](DeviceTime::Stamp& s) { s.minute = 60; }, {2020, 6, 15, 1, 12, 0, 56}},
        {"second 60", [](DeviceTime::Stamp& s) { s.second = 60; }, {2020, 6, 15, 1, 12, 34, 0}},
        {"30 February",
         [](DeviceTime::Stamp& s) { s.month = 2, s.day = 30; },
         {2020, 2, 30, 1, 12, 34, 56}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeviceTime::Stamp stamp = Valid();
        row.change(stamp);
        const TRELM_SYSTEMTIME time = DeviceTime::Clamped(stamp);
        EXPECT_EQ(Fields(time), row.expected);
        EXPECT_EQ(time.wMilliseconds, 0);
    }
}

TEST(LibraryDeviceTime, ReplyAndListingLayoutsReadTheSameStamp) {
    const uint8_t info[] = {0xFF, 12, 34, 56, 15, 6, 0xE4, 0x07, 1};
    const uint8_t listing[] = {0xFF, 15, 6, 0xE4, 0x07, 1, 0xEE, 12, 34, 56};
    const TRELM_SYSTEMTIME a = DeviceTime::Clamped(DeviceTime::FromInfoReply(info, 1));
    const TRELM_SYSTEMTIME b = DeviceTime::Clamped(DeviceTime::FromListingEntry(listing, 1));
    EXPECT_EQ(Fields(a), (std::array<int, 7>{2020, 6, 15, 1, 12, 34, 56}));
    EXPECT_EQ(Fields(b), Fields(a));
}

TEST(LibraryDeviceTime, LocalTimeRoundTrip) {
    const std::time_t when = 1700000000; // November 2023
    std::tm local{};
    ASSERT_NE(localtime_r(&when, &local), nullptr);
    const TRELM_SYSTEMTIME calendar = DeviceTime::LocalCalendar(when);
    EXPECT_EQ(Fields(calendar),
              (std::array<int, 7>{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                  local.tm_wday, local.tm_hour, local.tm_min, local.tm_sec}));

    DeviceTime::Stamp stamp;
    stamp.year = calendar.wYear;
    stamp.month = static_cast<uint8_t>(calendar.wMonth);
    stamp.day = static_cast<uint8_t>(calendar.wDay);
    stamp.hour = static_cast<uint8_t>(calendar.wHour);
    stamp.minute = static_cast<uint8_t>(calendar.wMinute);
    stamp.second = static_cast<uint8_t>(calendar.wSecond);
    EXPECT_EQ(DeviceTime::ToPosixTime(stamp), std::optional<std::time_t>(when));
}

TEST(LibraryDeviceTime, StampsThatNameNoMomentGiveNoPosixTime) {
    struct Row {
        const char* name;
        void (*change)(DeviceTime::Stamp&);
    };
    const Row rows[] = {
        {"month 0", [](DeviceTime::Stamp& s) { s.month = 0; }},
        {"month 13", [](DeviceTime::Stamp& s) { s.month = 13; }},
        {"day 0", [](DeviceTime::Stamp& s) { s.day = 0; }},
        {"31 June", [](DeviceTime::Stamp& s) { s.day = 31; }},
        {"29 February 2021", [](DeviceTime::Stamp& s) { s.year = 2021, s.month = 2, s.day = 29; }},
        {"hour 24", [](DeviceTime::Stamp& s) { s.hour = 24; }},
        {"minute 60", [](DeviceTime::Stamp& s) { s.minute = 60; }},
        {"second 60", [](DeviceTime::Stamp& s) { s.second = 60; }},
        // Century years are leap years only when divisible by 400.
        {"29 February 1900", [](DeviceTime::Stamp& s) { s.year = 1900, s.month = 2, s.day = 29; }},
        {"29 February 2100", [](DeviceTime::Stamp& s) { s.year = 2100, s.month = 2, s.day = 29; }},
        {"all zero", [](DeviceTime::Stamp& s) { s = DeviceTime::Stamp{}; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeviceTime::Stamp stamp = Valid();
        row.change(stamp);
        EXPECT_FALSE(DeviceTime::ToPosixTime(stamp).has_value());
    }
    for (const uint16_t year : {2000, 2020}) {
        SCOPED_TRACE(year);
        DeviceTime::Stamp leap = Valid();
        leap.year = year;
        leap.month = 2;
        leap.day = 29;
        EXPECT_TRUE(DeviceTime::ToPosixTime(leap).has_value());
    }
}

// Device time stamps are local wall-clock times. The expected instants are
// fixed numbers for a fixed zone, so a conversion that treats device time
// as UTC (or gets a daylight-saving rule wrong) cannot agree with them.
struct ZoneCase {
    const char* label;
    const char* zone;
    std::array<int, 7> fields; // year month day weekday hour minute second
    std::time_t instant;
};

void PrintTo(const ZoneCase& row, std::ostream* os) {
    *os << row.label;
}

class LibraryDeviceTimeZones : public testing::TestWithParam<ZoneCase> {};

TEST_P(LibraryDeviceTimeZones, StampIsTheLocalTimeOfTheInstant) {
    const ScopedZone zone(GetParam().zone);
    const std::array<int, 7>& f = GetParam().fields;
    DeviceTime::Stamp stamp;
    stamp.year = static_cast<uint16_t>(f[0]);
    stamp.month = static_cast<uint8_t>(f[1]);
    stamp.day = static_cast<uint8_t>(f[2]);
    stamp.hour = static_cast<uint8_t>(f[4]);
    stamp.minute = static_cast<uint8_t>(f[5]);
    stamp.second = static_cast<uint8_t>(f[6]);
    EXPECT_EQ(DeviceTime::ToPosixTime(stamp), std::optional<std::time_t>(GetParam().instant));
    EXPECT_EQ(Fields(DeviceTime::LocalCalendar(GetParam().instant)), f);
}

INSTANTIATE_TEST_SUITE_P(
    Library, LibraryDeviceTimeZones,
    testing::Values(
        ZoneCase{"UtcWinter", "UTC", {2000, 2, 29, 2, 12, 34, 56}, 951827696},
        ZoneCase{"UtcSummer", "UTC", {2020, 6, 15, 1, 12, 34, 56}, 1592224496},
        ZoneCase{"UtcLastDayOfFebruary2100", "UTC", {2100, 2, 28, 0, 23, 59, 59}, 4107542399},
        ZoneCase{"Utc1900", "UTC", {1900, 3, 1, 4, 0, 0, 0}, -2203891200},
        // Central European Time, one hour ahead of UTC.
        ZoneCase{"BerlinWinter", "Europe/Berlin", {2000, 2, 29, 2, 12, 34, 56}, 951824096},
        // Central European Summer Time, two hours ahead of UTC.
        ZoneCase{"BerlinSummer", "Europe/Berlin", {2020, 6, 15, 1, 12, 34, 56}, 1592217296}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
