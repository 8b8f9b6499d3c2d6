#include "ReadBack.h"

#include "CancelSignal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <trelm.h>
#include <unistd.h>

namespace trelmctl {

namespace {

// Folders in memory first; the temporary folder when there is none.
std::string ScratchParent() {
    struct stat info {};
    if (::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) &&
        ::access("/dev/shm", W_OK | X_OK) == 0) {
        return "/dev/shm";
    }
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
}

// A read-back answers "cancel" once Ctrl-C was pressed, like a copy.
int32_t ReadBackProgress(int32_t, int32_t, float) {
    return CancelSignal::Requested() ? 0 : 1;
}

} // namespace

bool ReadBack::ReadLocal(const std::string& path, std::string& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

uint32_t ReadBack::Read(const std::string& deviceName, std::string& data, std::string& error) {
    std::string folder = ScratchParent() + "/.trelmctl-verify-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        error =
            "cannot make a scratch folder for the read-back: " + std::string(std::strerror(errno));
        return TRELM_ERROR_PC_FILE_IO_FAILED;
    }
    const std::string path = folder + "/copy";
    const uint32_t result =
        TRELM_CopyFileFromDeviceWithProgress(deviceName.c_str(), path.c_str(), ReadBackProgress);
    if (result == TRELM_OK && !ReadLocal(path, data)) {
        error = "cannot read the read-back copy";
    }
    ::unlink(path.c_str());
    ::rmdir(folder.c_str());
    if (result == TRELM_OK && !error.empty()) {
        return TRELM_ERROR_PC_FILE_IO_FAILED;
    }
    return result;
}

std::string ReadBack::Difference(const std::string& expected, const std::string& actual) {
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    if (at == expected.size() && at == actual.size()) {
        return {};
    }
    std::string text = std::to_string(actual.size()) + " bytes read back for " +
                       std::to_string(expected.size()) + " copied, the first difference at byte " +
                       std::to_string(at);
    if (at < expected.size() && at < actual.size()) {
        char bytes[48];
        std::snprintf(bytes, sizeof bytes, " (0x%02X instead of 0x%02X)",
                      static_cast<unsigned char>(actual[at]),
                      static_cast<unsigned char>(expected[at]));
        text += bytes;
    }
    return text;
}

} // namespace trelmctl
