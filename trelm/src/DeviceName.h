// The device's naming rules for files, checked before anything is sent.
#pragma once

#include <cstddef>
#include <string_view>

namespace trelm {

class DeviceName {
public:
    // Longest name the device stores.
    static constexpr std::size_t kMaxLength = 12;
    static constexpr std::size_t kMaxBase = 8;
    static constexpr std::size_t kMaxExtension = 3;

    // A name argument the device can be asked about: present and at most 12
    // characters (an empty name is the device's to judge).
    static bool Fits(const char* name);

    // A local file name the device can store: at most 12 characters, at most
    // 8 before the first dot and at most 3 after it ("a.b.c": base "a",
    // extension "b.c").
    static bool FitsEightDotThree(std::string_view name);

    // The last component of a local path (everything after the last '/').
    static std::string_view StripDirectory(std::string_view path);
};

} // namespace trelm
