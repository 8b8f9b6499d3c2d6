#include "DeviceName.h"

#include <cstring>

namespace trelm {

bool DeviceName::Fits(const char* name) {
    return name != nullptr && ::strnlen(name, kMaxLength + 1) <= kMaxLength;
}

bool DeviceName::FitsEightDotThree(std::string_view name) {
    if (name.size() > kMaxLength) {
        return false;
    }
    const std::size_t dot = name.find('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
    return base.size() <= kMaxBase && extension.size() <= kMaxExtension;
}

std::string_view DeviceName::StripDirectory(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace trelm
