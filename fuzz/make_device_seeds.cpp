// Writes the seed inputs of the device fuzz target: each runs some library
// calls against the device emulator in memory, with the emulator's answers
// recorded as the line's bursts, so the fuzzer starts from real traffic (and
// from the emulator's scripted faults).
//
//   fuzz_make_device_seeds OUTPUT-FOLDER
#include "DeviceOperations.h"
#include "RecordingPort.h"
#include "Session.h"
#include "Timing.h"

#include "devsim/Device.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Ops = DeviceOperations;

constexpr uint8_t Flag = 0x10;
constexpr uint8_t Capitals = 0x20; // "BOOT.CFG"

struct Scenario {
    const char* name;
    std::vector<uint8_t> header;
    std::vector<const char*> faults;
    int listedFiles = 3;
};

void Seed(devsim::Device& device, int files) {
    const auto add = [&](const std::string& name, std::size_t size, uint16_t attributes) {
        devsim::NvFile file;
        file.name = name;
        for (std::size_t i = 0; i < size; ++i) {
            file.data.push_back(static_cast<uint8_t>('a' + i % 26));
        }
        file.attributes = attributes;
        device.putFile(std::move(file));
    };
    add("notes.txt", 250, 0);
    add("boot.cfg", 120, devsim::NvFile::Hidden | devsim::NvFile::ReadOnly);
    for (int i = 2; i < files; ++i) {
        add("file" + std::to_string(i) + ".dat", static_cast<std::size_t>(i * 7), 0);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_device_seeds OUTPUT-FOLDER\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    trelm::timing::SetScale(1e-6);
    Ops operations(std::filesystem::temp_directory_path() /
                   ("trelm-seeds-" + std::to_string(::getpid())));

    const std::vector<Scenario> scenarios = {
        {"deviceinfo", Ops::Header({Ops::DeviceInfo}), {}},
        {"statistics", Ops::Header({Ops::Statistics}), {}},
        {"filehandle", Ops::Header({Ops::FileHandle}), {}},
        {"fileexists", Ops::Header({Ops::FileExists, Ops::FileExists | Flag | Capitals}), {}},
        {"filesize-fileinfo",
         Ops::Header({Ops::FileSize, Ops::FileInfo, Ops::FileInfo | Flag}),
         {}},
        {"delete", Ops::Header({Ops::DeleteFile, Ops::DeleteFile | Flag | Capitals}), {}},
        {"listing", Ops::Header({Ops::Listing}), {}},
        {"listing-ex", Ops::Header({Ops::Listing | Flag}), {}, 12},
        {"copyto-250", Ops::Header({Ops::CopyToDevice}, 5), {}},
        {"copyto-empty", Ops::Header({Ops::CopyToDevice}, 0), {}},
        {"copyto-4000", Ops::Header({Ops::CopyToDevice}, 6), {}},
        {"copyfrom", Ops::Header({Ops::CopyFromDevice}), {}},
        {"copyfrom-hidden", Ops::Header({Ops::CopyFromDevice | Capitals}), {}},
        {"scan-settings", Ops::Header({Ops::ScanPorts, Ops::PortSettings, Ops::ExtendedError}), {}},
        {"exists-copy-list",
         Ops::Header({Ops::FileExists, Ops::CopyToDevice, Ops::Listing, Ops::CopyFromDevice}),
         {}},
        {"copyto-repeat",
         Ops::Header({Ops::CopyToDevice}, 5),
         {"CREATE_NV_FILE_DATA_PACKET@2=repeat"}},
        {"copyto-store-refused",
         Ops::Header({Ops::CopyToDevice}, 5),
         {"CREATE_NV_FILE_STORE_FILE=status:5"}},
        {"copyfrom-badsum",
         Ops::Header({Ops::CopyFromDevice}),
         {"READ_NV_FILE_DATA_PACKET@2=badsum"}},
        {"copyfrom-wrong-packet",
         Ops::Header({Ops::CopyFromDevice}),
         {"READ_NV_FILE_DATA_PACKET@2=packet:+1"}},
        {"listing-wrong-packet",
         Ops::Header({Ops::Listing}),
         {"GET_NV_FILE_INFO_LIST_DATA_PACKET@1=packet:+1"},
         6},
        {"delete-nak", Ops::Header({Ops::DeleteFile}), {"DELETE_NV_FILE=nak"}},
        {"statistics-status",
         Ops::Header({Ops::Statistics}),
         {"NV_FILE_GET_SPACE_IN_USE=status:3"}},
        {"fileinfo-truncated",
         Ops::Header({Ops::FileInfo | Flag}),
         {"NV_FILE_GET_FILE_INFO_ALL_FILES_EX=truncate:4"}},
        {"fileexists-extra", Ops::Header({Ops::FileExists}), {"NV_FILE_EXIST=extra:7"}},
        {"deviceinfo-word", Ops::Header({Ops::DeviceInfo}), {"WAKE_UP_DUT@1=word:0x0F80"}},
        {"filehandle-wrongcode", Ops::Header({Ops::FileHandle}), {"GET_NV_FILE_HANDLE=wrongcode"}},
    };

    for (const Scenario& scenario : scenarios) {
        devsim::Device device;
        Seed(device, scenario.listedFiles);
        for (const char* fault : scenario.faults) {
            std::string error;
            if (!device.addFault(fault, &error)) {
                std::fprintf(stderr, "%s: %s\n", scenario.name, error.c_str());
                return 1;
            }
        }
        std::vector<uint8_t> bursts;
        trelm::Session::SetPortFactory(
            [&] { return std::make_unique<RecordingPort>(device, bursts); });
        TRELM_Init(1, "");
        operations.Run(scenario.header);
        TRELM_Init(256, nullptr);
        trelm::Session::SetPortFactory({});

        std::ofstream file(out / scenario.name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(scenario.header.data()),
                   static_cast<std::streamsize>(scenario.header.size()));
        file.write(reinterpret_cast<const char*>(bursts.data()),
                   static_cast<std::streamsize>(bursts.size()));
        std::printf("%-24s %6zu bytes\n", scenario.name, scenario.header.size() + bursts.size());
    }
    return 0;
}
