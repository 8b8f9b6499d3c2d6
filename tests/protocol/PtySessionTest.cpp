// The protocol layer and the session over the real termios port on a
// pseudo-terminal; the test plays the device on the master side.
#include "DeviceProtocol.h"
#include "PtyPair.h"
#include "ScriptedDevice.h"
#include "SerialPort.h"
#include "Session.h"
#include "Timing.h"
#include "trelm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

using namespace trelm;
using trelm::test::PtyPair;
using namespace std::chrono_literals;

namespace {

const std::string kDefaultMode = "baud=9600 parity=N data=8 stop=1";

// Reads `count` request frames from the master and answers each with what
// `respond` returns for it. Stops early when the line stays quiet.
void Serve(PtyPair& pty, int count, const std::function<Bytes(const Bytes&)>& respond) {
    for (int i = 0; i < count; ++i) {
        Bytes request = pty.ReadMaster(3, 5s);
        if (request.size() < 3) {
            return;
        }
        const Bytes rest = pty.ReadMaster(request[2] + 2u, 5s);
        request.insert(request.end(), rest.begin(), rest.end());
        const Bytes answer = respond(request);
        if (!answer.empty()) {
            pty.WriteMaster(answer.data(), answer.size());
        }
    }
}

ScriptedDevice::Responder WakeUpAnswer() {
    return ScriptedDevice::Answering({{WAKE_UP_DUT, {0x02, 0x31}}});
}

class ProtocolPty : public ::testing::Test {
protected:
    void SetUp() override {
        Session::SetPortFactory({});
        ReleaseSession();
    }
    void TearDown() override {
        ReleaseSession();
        timing::SetScale(1.0);
    }
    static void ReleaseSession() {
        Session::Guarded([](Session& s) {
            s.Release();
            return TRELM_Result{TRELM_OK};
        });
    }

    PtyPair pty;
};

TEST_F(ProtocolPty, InitOpensThePortAndSendsNothing) {
    pty.Publish(3);
    ASSERT_EQ(TRELM_Init(3, ""), TRELM_OK);
    EXPECT_TRUE(pty.ReadMaster(1, 200ms).empty());

    uint32_t port = 0;
    char text[64] = {};
    uint32_t length = sizeof text;
    ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
    EXPECT_EQ(port, 3u);
    EXPECT_EQ(std::string(text), kDefaultMode);
    EXPECT_EQ(length, kDefaultMode.size() + 1);
}

TEST_F(ProtocolPty, DeviceInformationOverTheLine) {
    pty.Publish(4);
    ASSERT_EQ(TRELM_Init(4, nullptr), TRELM_OK);
    std::thread device([&] { Serve(pty, 1, WakeUpAnswer()); });
    uint32_t first = 0;
    uint32_t second = 0;
    EXPECT_EQ(TRELM_GetConnectedDeviceInfo(&first, &second), TRELM_OK);
    device.join();
    EXPECT_EQ(first, 0x02u);
    EXPECT_EQ(second, 0x31u);
}

TEST_F(ProtocolPty, SearchFindsTheAnsweringPort) {
    timing::SetScale(0.01); // the silent port's time-outs and pauses
    PtyPair silent;
    silent.Publish(2);
    pty.LinkAs(std::getenv("TRELM_PORTS"), 7);
    std::thread device([&] { Serve(pty, 1, WakeUpAnswer()); });
    ASSERT_EQ(TRELM_Init(0, nullptr), TRELM_OK);
    device.join();

    uint32_t port = 0;
    char text[64] = {};
    uint32_t length = sizeof text;
    ASSERT_EQ(TRELM_GetComPortSettings(&port, text, &length), TRELM_OK);
    EXPECT_EQ(port, 7u);
    // The silent port heard three wake-up requests.
    const Bytes wakeUp{0x00, 0x00, 0x01, 0x01, 0x02, 0x00};
    const Bytes heard = silent.ReadMaster(3 * wakeUp.size() + 1, 200ms);
    EXPECT_EQ(heard, ScriptedDevice::Concat({wakeUp, wakeUp, wakeUp}));
}

TEST_F(ProtocolPty, LateBytesAreDrainedFromTheRealLine) {
    pty.Publish(5);
    SerialPort port;
    // On a pseudo-terminal the modem-line step of Open fails; the line is open all the same.
    port.Open(5, kDefaultMode.c_str());
    ASSERT_TRUE(port.IsOpen());
    DeviceProtocol protocol(&port);

    const Bytes late(1500, 0x40);
    std::thread device([&] {
        Serve(pty, 2, [&](const Bytes& request) {
            if (request[0] == 0x1D) {
                return ScriptedDevice::Concat({ScriptedDevice::Ack(),
                                               ScriptedDevice::Frame(0x131E, {0x00, 0x04, 0x00}),
                                               late});
            }
            return ScriptedDevice::Ack();
        });
    });
    EXPECT_TRUE(protocol.GetNumberOfOpenNvFiles());
    EXPECT_EQ(port.BytesWaiting(), 0u);
    // Acknowledgement-only: no purge, so only draining kept the late bytes away.
    EXPECT_TRUE(protocol.GetNvFileInfoListEnd());
    EXPECT_EQ(protocol.LastAck(), ACK_WORD);
    device.join();
}

} // namespace
