#include "devsim/FileStore.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace devsim {

namespace {

bool legalCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) != 0 && u < 0x80) {
        return true;
    }
    constexpr std::string_view Specials = "!#$%&'()-@^_`{}~";
    return Specials.find(c) != std::string_view::npos;
}

} // namespace

bool FileStore::legalName(std::string_view name) {
    if (name.empty() || name.size() > NvFile::MaxNameLength) {
        return false;
    }
    const auto dot = name.find('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view ext =
        dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
    if (base.empty() || base.size() > 8) {
        return false;
    }
    if (dot != std::string_view::npos && (ext.empty() || ext.size() > 3)) {
        return false;
    }
    return std::all_of(base.begin(), base.end(), legalCharacter) &&
           std::all_of(ext.begin(), ext.end(), legalCharacter);
}

std::string FileStore::lowered(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

void FileStore::setLimits(uint32_t maxFiles, uint32_t maxTotalBytes) {
    maxFiles_ = maxFiles;
    maxTotalBytes_ = maxTotalBytes;
}

FileStore::AddResult FileStore::canAdd(std::string_view name, std::size_t size) const {
    if (!legalName(name)) {
        return AddResult::IllegalName;
    }
    if (size > NvFile::MaxSize) {
        return AddResult::TooLarge;
    }
    if (find(name) != nullptr) {
        return AddResult::Exists;
    }
    if (files_.size() >= maxFiles_) {
        return AddResult::TooManyFiles;
    }
    if (static_cast<uint64_t>(spaceInUse()) + size > maxTotalBytes_) {
        return AddResult::NoSpace;
    }
    return AddResult::Added;
}

FileStore::AddResult FileStore::add(NvFile file) {
    file.name = lowered(file.name);
    const AddResult check = canAdd(file.name, file.data.size());
    if (check != AddResult::Added) {
        return check;
    }
    return put(std::move(file));
}

FileStore::AddResult FileStore::put(NvFile file) {
    file.name = lowered(file.name);
    if (!legalName(file.name)) {
        return AddResult::IllegalName;
    }
    if (file.data.size() > NvFile::MaxSize) {
        return AddResult::TooLarge;
    }
    NvFile* existing = find(file.name);
    if (existing == nullptr && files_.size() >= 0xFFFF) {
        return AddResult::TooManyFiles; // every 16-bit handle is taken
    }
    ++serial_;
    if (!file.reportedValue) {
        file.reportedValue = serial_;
    }
    if (existing != nullptr) {
        file.handle = existing->handle;
        *existing = std::move(file);
        return AddResult::Added;
    }
    file.handle = nextHandle();
    files_.push_back(std::move(file));
    return AddResult::Added;
}

bool FileStore::remove(std::string_view name) {
    const std::string key = lowered(name);
    const auto it =
        std::find_if(files_.begin(), files_.end(), [&](const NvFile& f) { return f.name == key; });
    if (it == files_.end()) {
        return false;
    }
    files_.erase(it);
    return true;
}

void FileStore::clear() {
    files_.clear();
}

NvFile* FileStore::find(std::string_view name) {
    return const_cast<NvFile*>(std::as_const(*this).find(name));
}

const NvFile* FileStore::find(std::string_view name) const {
    const std::string key = lowered(name);
    for (const NvFile& f : files_) {
        if (f.name == key) {
            return &f;
        }
    }
    return nullptr;
}

NvFile* FileStore::byHandle(uint16_t handle) {
    return const_cast<NvFile*>(std::as_const(*this).byHandle(handle));
}

const NvFile* FileStore::byHandle(uint16_t handle) const {
    if (handle == 0) {
        return nullptr;
    }
    for (const NvFile& f : files_) {
        if (f.handle == handle) {
            return &f;
        }
    }
    return nullptr;
}

uint32_t FileStore::spaceInUse() const {
    uint64_t total = 0;
    for (const NvFile& f : files_) {
        total += f.data.size();
    }
    return static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
}

uint16_t FileStore::nextHandle() {
    // Handles count up from 1 and are not reused until they wrap, so a
    // handle kept by a client after its file was deleted stays unknown.
    for (;;) {
        lastHandle_ = static_cast<uint16_t>(lastHandle_ + 1);
        if (lastHandle_ != 0 && byHandle(lastHandle_) == nullptr) {
            return lastHandle_;
        }
    }
}

} // namespace devsim
