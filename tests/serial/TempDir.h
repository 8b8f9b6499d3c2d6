// A fresh temporary directory, removed with everything in it at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace trelm::test {

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "trelm-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

    // Creates `relative` (and its parent folders) holding `content`.
    std::filesystem::path WriteFile(const std::string& relative,
                                    const std::string& content = "") const {
        const std::filesystem::path file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << content;
        return file;
    }

    std::filesystem::path MakeDir(const std::string& relative) const {
        const std::filesystem::path dir = m_path / relative;
        std::filesystem::create_directories(dir);
        return dir;
    }

private:
    std::filesystem::path m_path;
};

} // namespace trelm::test
