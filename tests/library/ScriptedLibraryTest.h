// Fixture for the C API over the scripted in-memory line: a session on COM1
// whose far end is `device`, with the library's waits shortened.
#pragma once

#include "LibraryReplies.h"
#include "ProgressLog.h"
#include "ScriptedDevice.h"
#include "ScriptedPort.h"
#include "Session.h"
#include "Timing.h"
#include "trelm.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class ScriptedLibraryTest : public ::testing::Test {
protected:
    // Answers a request completely (acknowledgement word and reply), or
    // nothing to fall back to the fixed replies.
    using Custom = std::function<std::optional<Bytes>(const Bytes& request)>;

    void SetUp() override {
        trelm::timing::SetScale(0.001);
        trelm::Session::SetPortFactory([this] { return std::make_unique<ScriptedPort>(device); });
        ASSERT_EQ(TRELM_Init(1, ""), TRELM_OK);
        ProgressLog::Reset();
    }

    void TearDown() override {
        CloseSession();
        trelm::Session::SetPortFactory({});
        trelm::timing::SetScale(1.0);
    }

    static void CloseSession() {
        trelm::Session::Guarded([](trelm::Session& s) {
            s.Release();
            return TRELM_Result{TRELM_OK};
        });
    }

    // A device that acknowledges everything and answers the codes in
    // `replies` with reply code + 1 and the given payload; `custom` answers first.
    void Serve(std::map<uint16_t, Bytes> replies, Custom custom = {}) {
        auto fixed = ScriptedDevice::Answering(std::move(replies));
        device.SetResponder([fixed, custom](const Bytes& request) {
            if (custom) {
                if (std::optional<Bytes> answer = custom(request)) {
                    return *answer;
                }
            }
            return fixed(request);
        });
    }

    static Bytes Reply(uint16_t requestCode, const Bytes& payload) {
        return ScriptedDevice::Concat(
            {ScriptedDevice::Ack(),
             ScriptedDevice::Frame(static_cast<uint16_t>(requestCode + 1), payload)});
    }

    // Command codes written since `before` frames had been written.
    std::vector<uint16_t> CodesSince(std::size_t before) const {
        const std::vector<uint16_t> all = device.WrittenCodes();
        return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
    }

    static std::pair<uint32_t, uint32_t> ExtendedError() {
        TRELM_DeviceError deviceError = 0xDEAD;
        uint32_t linkStatus = 0xDEAD;
        EXPECT_EQ(TRELM_GetExtendedErrorCode(&deviceError, &linkStatus), TRELM_OK);
        return {deviceError, linkStatus};
    }

    ScriptedDevice device;
};
