// Sets or removes one environment variable for the lifetime of the object
// and puts the previous value back afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace trelm::test {

class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
        if (const char* old = std::getenv(m_name.c_str())) {
            m_saved = old;
        }
        if (value) {
            ::setenv(m_name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

    ~ScopedEnv() {
        if (m_saved) {
            ::setenv(m_name.c_str(), m_saved->c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

} // namespace trelm::test
