// A progress callback that calls back into the library: the nested call is
// refused at once with TRELM_ERROR_BAD_PARAMETERS, sends nothing, and the
// running copy finishes exactly as it would have without it.
#include "EmulatorLibraryTest.h"
#include "LocalFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using library_test::ReadAll;

namespace {

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + (i * 7) % 26);
    }
    return text;
}

struct Nested {
    const char* name;
    TRELM_Result (*call)();
};

// Calls a callback makes back into the library, one row each.
const Nested kNested[] = {
    {"TRELM_Init", [] { return TRELM_Init(7, ""); }},
    {"TRELM_ScanComPortsForDevice",
     [] {
         uint32_t port = 0;
         return TRELM_ScanComPortsForDevice("", &port);
     }},
    {"TRELM_GetStatistics",
     [] {
         TRELM_STATISTICS statistics{};
         statistics.StructSize = TRELM_STATISTICS_SIZE;
         return TRELM_GetStatistics(&statistics);
     }},
    {"TRELM_GetConnectedDeviceInfo",
     [] {
         uint32_t a = 0;
         uint32_t b = 0;
         return TRELM_GetConnectedDeviceInfo(&a, &b);
     }},
    {"TRELM_GetExtendedErrorCode",
     [] {
         TRELM_DeviceError deviceError = 0;
         uint32_t linkStatus = 0;
         return TRELM_GetExtendedErrorCode(&deviceError, &linkStatus);
     }},
    {"TRELM_FindFirstFile",
     [] {
         uint32_t count = 0;
         TRELM_FILE_INFO info{};
         info.StructSize = TRELM_FILE_INFO_SIZE;
         return TRELM_FindFirstFile(1, &count, &info);
     }},
    {"TRELM_DeleteFile", [] { return TRELM_DeleteFile("data.bin", 1); }},
    {"TRELM_CopyFileFromDevice",
     [] { return TRELM_CopyFileFromDevice("data.bin", "/nonexistent/data.bin"); }},
};

// What the callback saw; the callback is a plain function, so this is global.
struct CallbackLog {
    const Nested* nested = nullptr;
    const devsim::Device* device = nullptr;
    std::vector<TRELM_Result> results;
    std::size_t requestsDuringNestedCalls = 0;
} g_log;

// Makes the row's nested call in the middle of the transfer (after the first
// packet) and goes on with the copy.
int32_t CallBackIn(int32_t total, int32_t current, float) {
    if (g_log.nested != nullptr && current == 1 && total > 1) {
        const std::size_t before = g_log.device->requestLog().size();
        g_log.results.push_back(g_log.nested->call());
        g_log.requestsDuringNestedCalls += g_log.device->requestLog().size() - before;
    }
    return 1;
}

class LibraryEmulatorReentry : public EmulatorLibraryTest {
protected:
    void SetUp() override {
        EmulatorLibraryTest::SetUp();
        g_log = CallbackLog{};
        g_log.device = &emulator;
    }

    // Runs `copy` once without and then once with each nested call, and
    // checks that the nested call was refused without traffic and the copy
    // sent exactly what it sends undisturbed.
    void ExpectRefusedInside(TRELM_Result (*copy)(), const std::function<void()>& check) {
        PutFile("data.bin", Pattern(250));
        emulator.resetCounters();
        g_log.nested = nullptr; // the undisturbed run
        ASSERT_EQ(copy(), TRELM_OK);
        const std::vector<uint16_t> undisturbed = RequestCodes();
        check();

        for (const Nested& nested : kNested) {
            SCOPED_TRACE(nested.name);
            PutFile("data.bin", Pattern(250));
            emulator.resetCounters();
            g_log.nested = &nested;
            g_log.results.clear();
            g_log.requestsDuringNestedCalls = 0;

            EXPECT_EQ(copy(), TRELM_OK);
            EXPECT_EQ(g_log.results, std::vector<TRELM_Result>{TRELM_ERROR_BAD_PARAMETERS});
            EXPECT_EQ(g_log.requestsDuringNestedCalls, 0u);
            EXPECT_EQ(RequestCodes(), undisturbed);
            check();
            // The session is still the one the copy ran on.
            EXPECT_EQ(ExtendedError(), std::make_pair(0u, 0u));
        }
    }
};

const fs::path* g_target = nullptr;

TEST_F(LibraryEmulatorReentry, CallsFromACopyFromTheDeviceAreRefused) {
    const fs::path target = local.Path() / "data.bin";
    g_target = &target;
    ExpectRefusedInside(
        [] {
            return TRELM_CopyFileFromDeviceWithProgress("data.bin", g_target->c_str(), CallBackIn);
        },
        [&] { EXPECT_EQ(ReadAll(target), Pattern(250)); });
}

TEST_F(LibraryEmulatorReentry, CallsFromACopyToTheDeviceAreRefused) {
    const fs::path source = local.WriteFile("upload.bin", Pattern(250));
    g_target = &source;
    ExpectRefusedInside(
        [] {
            const TRELM_Result result =
                TRELM_CopyFileToDeviceWithProgress(g_target->c_str(), 0, CallBackIn);
            return result;
        },
        [&] {
            const std::optional<devsim::NvFile> stored = emulator.file("upload.bin");
            ASSERT_TRUE(stored.has_value());
            EXPECT_EQ(std::string(stored->data.begin(), stored->data.end()), Pattern(250));
            ASSERT_TRUE(emulator.removeFile("upload.bin"));
        });
}

// Outside a callback every call works as before: refusal is about nesting,
// not a state the library is left in.
TEST_F(LibraryEmulatorReentry, CallsAfterTheCopyWork) {
    PutFile("data.bin", Pattern(250));
    g_log.nested = &kNested[0];
    const fs::path target = local.Path() / "data.bin";
    ASSERT_EQ(TRELM_CopyFileFromDeviceWithProgress("data.bin", target.c_str(), CallBackIn),
              TRELM_OK);
    TRELM_STATISTICS statistics{};
    statistics.StructSize = TRELM_STATISTICS_SIZE;
    EXPECT_EQ(TRELM_GetStatistics(&statistics), TRELM_OK);
    EXPECT_EQ(TRELM_Init(kComPort, ""), TRELM_OK);
}

} // namespace
