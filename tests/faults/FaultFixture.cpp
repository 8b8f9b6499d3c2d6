#include "FaultFixture.h"

#include "Session.h"
#include "Timing.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>

namespace {

std::string Pattern(std::size_t size, int seed) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + (i * 7 + static_cast<std::size_t>(seed)) % 26);
    }
    return text;
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

} // namespace

std::string FaultFixture::DeviceData() {
    return Pattern(250, 1);
}

std::string FaultFixture::UploadData() {
    return Pattern(250, 2);
}

void FaultFixture::SetUp() {
    trelm::Session::SetPortFactory({});
    const auto put = [this](const std::string& name, const std::string& data) {
        devsim::NvFile file;
        file.name = name;
        file.data.assign(data.begin(), data.end());
        std::string error;
        ASSERT_TRUE(emulator.putFile(std::move(file), &error)) << error;
    };
    put(kDeviceFile, DeviceData());
    for (const char* name : {"boot.cfg", "a.dat", "b.dat", "c.dat"}) {
        put(name, Pattern(40, 3));
    }
    server.setTrace([this](const devsim::Exchange&) { answered.fetch_add(1); });
    WriteFile(UploadPath(), UploadData());
    // An old time stamp, so that a rewrite of the file would show.
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = 1600000000;
    ASSERT_EQ(::utimensat(AT_FDCWD, UploadPath().c_str(), times, 0), 0);
    Connect();
}

void FaultFixture::TearDown() {
    trelm::Session::Guarded([](trelm::Session& s) {
        s.Release();
        return TRELM_Result{TRELM_OK};
    });
    server.stop();
    trelm::timing::SetScale(1.0);
}

void FaultFixture::Connect() {
    server.stop();
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    ASSERT_TRUE(server.linkInto(ports.Path().string(), kComPort, &error)) << error;
    ASSERT_EQ(TRELM_Init(kComPort, ""), TRELM_OK);
}

void FaultFixture::Disconnect() {
    server.stop();
}

void FaultFixture::AddFault(const std::string& rule) {
    std::string error;
    ASSERT_TRUE(emulator.addFault(rule, &error)) << rule << ": " << error;
}

void FaultFixture::WaitForQuietLine() {
    using namespace std::chrono_literals;
    // Quiet: every request the device received has been answered, and no
    // new one came for a while.
    const auto received = [this] {
        uint64_t total = emulator.badFrames();
        for (const auto& [code, count] : emulator.requestCounts()) {
            total += count;
        }
        return total;
    };
    int quietRounds = 0;
    for (int round = 0; round < 200 && quietRounds < 3; ++round) {
        std::this_thread::sleep_for(50ms);
        quietRounds = answered.load() == received() ? quietRounds + 1 : 0;
    }
}

std::vector<std::string> FaultFixture::LocalNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(local.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

FaultFixture::FileState FaultFixture::StateOf(const std::filesystem::path& path) {
    FileState state;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return state;
    }
    state.exists = true;
    state.modifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    std::ifstream in(path, std::ios::binary);
    state.content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return state;
}

std::vector<unsigned> FaultFixture::CreatePacketNumbers() const {
    std::vector<unsigned> numbers;
    for (const std::vector<uint8_t>& frame : emulator.requestLog()) {
        if (frame.size() >= 5 &&
            (frame[0] | (frame[1] << 8)) == devsim::cmd::CreateNvFileDataPacket) {
            numbers.push_back(frame[3] | (frame[4] << 8));
        }
    }
    return numbers;
}
