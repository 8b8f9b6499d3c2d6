// Puts the process into one time zone (TZ, then tzset) for the lifetime of
// the object and restores the previous zone afterwards, so that a test can
// state its expected instants for a fixed zone instead of asking the same
// conversion the code under test uses.
#pragma once

#include "ScopedEnv.h"

#include <ctime>
#include <optional>
#include <string>

namespace trelm::test {

class ScopedZone {
public:
    explicit ScopedZone(const std::string& zone) {
        m_env.emplace("TZ", zone);
        ::tzset();
    }
    ~ScopedZone() {
        m_env.reset(); // the previous TZ is back before tzset reads it
        ::tzset();
    }
    ScopedZone(const ScopedZone&) = delete;
    ScopedZone& operator=(const ScopedZone&) = delete;

private:
    std::optional<ScopedEnv> m_env;
};

} // namespace trelm::test
