// The device's NV file store: files in the device's order, their handles, the
// name rules and the store limits. Not thread-safe; the Device guards it.
#pragma once

#include "devsim/NvFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

class FileStore {
public:
    enum class AddResult { Added, IllegalName, TooLarge, Exists, TooManyFiles, NoSpace };

    // The device's name rule: 1 to 12 characters in 8.3 form (a base of 1 to
    // 8 characters, optionally a dot and an extension of 1 to 3), letters,
    // digits and ! # $ % & ' ( ) - @ ^ _ ` { } ~ only. Upper-case letters
    // count as their lower-case forms.
    static bool legalName(std::string_view name);
    static std::string lowered(std::string_view name);

    void setLimits(uint32_t maxFiles, uint32_t maxTotalBytes);
    // Checks whether a file of this size and name could be added now.
    AddResult canAdd(std::string_view name, std::size_t size) const;
    // Adds the file (name lowered, handle and unset ReportedValue assigned).
    AddResult add(NvFile file);
    // Adds or replaces a file, ignoring the store limits (used to preload a store).
    AddResult put(NvFile file);
    bool remove(std::string_view name);
    void clear();

    NvFile* find(std::string_view name);
    const NvFile* find(std::string_view name) const;
    NvFile* byHandle(uint16_t handle);
    const NvFile* byHandle(uint16_t handle) const;

    const std::vector<NvFile>& files() const { return files_; }
    uint32_t spaceInUse() const;

private:
    uint16_t nextHandle();

    std::vector<NvFile> files_;
    uint32_t maxFiles_ = 200;
    uint32_t maxTotalBytes_ = 1024 * 1024;
    uint16_t lastHandle_ = 0;
    uint32_t serial_ = 0;
};

} // namespace devsim
