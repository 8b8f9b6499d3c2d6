// Fixture for the C API end to end: the device emulator serves a real
// pseudo-terminal that a temporary TRELM_PORTS folder offers as COM7, the
// library holds a session on it, and a temporary folder takes local files.
#pragma once

#include "ScopedEnv.h"
#include "Session.h"
#include "TempDir.h"
#include "Timing.h"
#include "trelm.h"

#include "devsim/CommandTable.h"
#include "devsim/Device.h"
#include "devsim/PtyServer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class EmulatorLibraryTest : public ::testing::Test {
protected:
    static constexpr unsigned kComPort = 7;

    void SetUp() override {
        // Port time-outs and pauses at a tenth: a silent line costs
        // milliseconds, while a working exchange still has ample time.
        trelm::timing::SetScale(0.1);
        trelm::Session::SetPortFactory({});
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        ASSERT_TRUE(server.linkInto(ports.Path().string(), kComPort, &error)) << error;
        ASSERT_EQ(TRELM_Init(kComPort, ""), TRELM_OK);
    }

    void TearDown() override {
        CloseSession();
        server.stop();
        trelm::timing::SetScale(1.0);
    }

    static void CloseSession() {
        trelm::Session::Guarded([](trelm::Session& s) {
            s.Release();
            return TRELM_Result{TRELM_OK};
        });
    }

    // Puts a file into the device's store.
    void PutFile(const std::string& name, const std::string& content, uint16_t attributes = 0,
                 devsim::Timestamp created = {}, devsim::Timestamp modified = {}) {
        devsim::NvFile file;
        file.name = name;
        file.data.assign(content.begin(), content.end());
        file.attributes = attributes;
        file.created = created;
        file.modified = modified;
        std::string error;
        ASSERT_TRUE(emulator.putFile(std::move(file), &error)) << error;
    }

    void AddFault(const std::string& rule) {
        std::string error;
        ASSERT_TRUE(emulator.addFault(rule, &error)) << error;
    }

    // Command codes of every request frame the emulator received, in order.
    std::vector<uint16_t> RequestCodes() const {
        std::vector<uint16_t> codes;
        for (const std::vector<uint8_t>& frame : emulator.requestLog()) {
            codes.push_back(static_cast<uint16_t>(frame.at(0) | (frame.at(1) << 8)));
        }
        return codes;
    }

    // Payloads of the request frames with this code, in order.
    std::vector<std::vector<uint8_t>> RequestPayloads(uint16_t code) const {
        std::vector<std::vector<uint8_t>> payloads;
        for (const std::vector<uint8_t>& frame : emulator.requestLog()) {
            if (static_cast<uint16_t>(frame.at(0) | (frame.at(1) << 8)) == code) {
                payloads.emplace_back(frame.begin() + 3, frame.begin() + 3 + frame.at(2));
            }
        }
        return payloads;
    }

    static std::pair<uint32_t, uint32_t> ExtendedError() {
        TRELM_DeviceError deviceError = 0xDEAD;
        uint32_t linkStatus = 0xDEAD;
        EXPECT_EQ(TRELM_GetExtendedErrorCode(&deviceError, &linkStatus), TRELM_OK);
        return {deviceError, linkStatus};
    }

    trelm::test::TempDir ports;
    trelm::test::TempDir local;
    trelm::test::ScopedEnv portMap{"TRELM_PORTS", ports.Path().string()};
    devsim::Device emulator;
    devsim::PtyServer server{emulator};
};
