// Both copies carry time stamps as local wall-clock time. The expected
// instants are fixed numbers for a fixed zone (one summer and one winter
// date each, in UTC and in Central Europe), so a copy that treated device
// time as UTC, or applied the wrong daylight-saving rule, cannot agree.
#include "EmulatorLibraryTest.h"
#include "ScopedZone.h"

#include <array>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct ZoneCase {
    const char* label;
    const char* zone;
    devsim::Timestamp local; // the wall-clock time in that zone
    std::time_t instant;
};

void PrintTo(const ZoneCase& row, std::ostream* os) {
    *os << row.label;
}

devsim::Timestamp Wall(uint16_t year, uint8_t month, uint8_t day, uint8_t weekday, uint8_t hour,
                       uint8_t minute, uint8_t second) {
    devsim::Timestamp t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.weekday = weekday;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

class LibraryEmulatorTimeZones : public EmulatorLibraryTest,
                                 public testing::WithParamInterface<ZoneCase> {
protected:
    trelm::test::ScopedZone zone{GetParam().zone};
};

TEST_P(LibraryEmulatorTimeZones, CopyFromDeviceGivesTheInstant) {
    PutFile("stamp.txt", "stamped", 0, GetParam().local, GetParam().local);
    const fs::path target = local.Path() / "stamp.txt";
    ASSERT_EQ(TRELM_CopyFileFromDevice("stamp.txt", target.c_str()), TRELM_OK);
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, GetParam().instant);
}

TEST_P(LibraryEmulatorTimeZones, CopyToDeviceSendsTheWallClockTime) {
    const fs::path source = local.WriteFile("stamp.txt", "stamped");
    const struct timespec times[2] = {{GetParam().instant, 0}, {GetParam().instant, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    ASSERT_EQ(TRELM_CopyFileToDevice(source.c_str(), 0), TRELM_OK);
    const std::optional<devsim::NvFile> stored = emulator.file("stamp.txt");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->created.toText(), GetParam().local.toText());
}

INSTANTIATE_TEST_SUITE_P(
    Library, LibraryEmulatorTimeZones,
    testing::Values(
        ZoneCase{"UtcSummer", "UTC", Wall(2022, 9, 10, 6, 11, 12, 13), 1662808333},
        ZoneCase{"UtcWinter", "UTC", Wall(2023, 1, 20, 5, 8, 9, 10), 1674202150},
        // Central European Summer Time: two hours ahead of UTC.
        ZoneCase{"BerlinSummer", "Europe/Berlin", Wall(2022, 9, 10, 6, 11, 12, 13), 1662801133},
        // Central European Time: one hour ahead of UTC.
        ZoneCase{"BerlinWinter", "Europe/Berlin", Wall(2023, 1, 20, 5, 8, 9, 10), 1674198550}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
