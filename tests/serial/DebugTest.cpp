// Diagnostic lines appear on stderr only while TRELM_DEBUG is set and not empty.
#include "Debug.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>

using trelm::test::ScopedEnv;

namespace {

struct DebugCase {
    const char* label;
    std::optional<std::string> value;
    const char* expected;
};

// Test names and failure messages show the row label.
void PrintTo(const DebugCase& row, std::ostream* os) {
    *os << row.label;
}

class SerialDebug : public testing::TestWithParam<DebugCase> {};

TEST_P(SerialDebug, WritesOnlyWhenSwitchedOn) {
    const ScopedEnv debug("TRELM_DEBUG", GetParam().value);
    testing::internal::CaptureStderr();
    trelm::DebugPrint("Opening COM%d with %s\n", 3, "baud=9600");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Serial, SerialDebug,
                         testing::Values(DebugCase{"Unset", std::nullopt, ""},
                                         DebugCase{"Empty", "", ""},
                                         DebugCase{"Set", "1", "Opening COM3 with baud=9600\n"}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
