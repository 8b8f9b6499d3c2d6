// The library's one session per process: the open port, the protocol object
// attached to it, the extended error values and the listing cache, plus the
// rules every exported function shares.
//
// Exported functions run their body through Session::Guarded, which holds the
// process-wide call lock and turns any exception into a result code. A call
// made while the same thread is already inside one (a progress callback
// calling back in) is refused at once, so an export never calls another
// export; it calls the shared internal functions instead:
//
//     TRELM_Result TRELM_Something(uint32_t* out) {
//         return trelm::Session::Guarded([&](trelm::Session& s) { return Something(s, out); });
//     }
#pragma once

#include "DeviceProtocol.h"
#include "SerialPort.h"
#include "trelm.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <span>

namespace trelm {

class Session {
public:
    using PortFactory = std::function<std::unique_ptr<SerialPort>()>;

    static Session& Instance();

    // Replaces the way TRELM_Init and the port search create their ports
    // (tests and fuzzing hand in their own SerialPort). An empty factory
    // restores the termios port.
    static void SetPortFactory(PortFactory factory);

    // Result of a call made while the same thread is already inside a call.
    static constexpr TRELM_Result kReentryRefused = TRELM_ERROR_BAD_PARAMETERS;

    // Runs `body(session)` under the process-wide call lock. A call from a
    // thread that is already inside one returns kReentryRefused without
    // touching the session or the line. Nothing escapes: an allocation
    // failure becomes TRELM_ERROR_OUT_OF_MEMORY, anything else
    // TRELM_ERROR_UNKNOWN.
    template <typename Body> static TRELM_Result Guarded(Body&& body) noexcept {
        bool& inCall = CallInProgress();
        if (inCall) {
            return kReentryRefused;
        }
        try {
            std::lock_guard<std::mutex> lock(CallMutex());
            const CallMark mark(inCall);
            return body(Instance());
        } catch (const std::bad_alloc&) {
            return TRELM_ERROR_OUT_OF_MEMORY;
        } catch (...) {
            return TRELM_ERROR_UNKNOWN;
        }
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // A new, closed port from the installed factory; null if none could be made.
    std::unique_ptr<SerialPort> CreatePort();

    // Drops the listing cache, detaches and destroys the protocol object,
    // destroys (and so closes) the port, and resets the extended error values.
    void Release();
    // Drops the listing cache and rewinds its position.
    void DropListing();

    // lastDeviceError = 27 (no device status yet), lastLinkStatus = 0.
    void ResetExtendedError();
    // The session has a port, a protocol object, and the port reports its settings.
    bool PortIsOpen();

    // Result code for a link status: 0, 10, 11, 8, 19; 1 for anything else.
    static TRELM_Result ResultForLinkStatus(LinkStatus status);
    // After a command method failed: records the link status as the second
    // extended error value and returns its result code. A command that
    // refused its arguments sent nothing, so the link status is not recorded
    // and the result is TRELM_ERROR_BAD_PARAMETERS.
    TRELM_Result MapFailedCommand();
    // Stores a reply's device status byte; non-zero is TRELM_ERROR_DEVICE_ERROR.
    TRELM_Result TakeDeviceStatus(uint8_t status);

    // Outcome of a command method whose reply carries no status byte:
    // failed command -> mapped link status, no valid reply -> unexpected data.
    TRELM_Result CheckReply(bool commandSucceeded);
    // As CheckReply, then the status byte at payload offset 0 is taken (a
    // reply too short to hold it is unexpected data).
    TRELM_Result CheckStatusReply(bool commandSucceeded);
    // Outcome of an acknowledgement-only command (no reply frame to check).
    TRELM_Result CheckAck(bool commandSucceeded);
    // Payload of the protocol's last valid reply; empty when there is none.
    std::span<const uint8_t> ReplyPayload() const;

    std::unique_ptr<SerialPort> port;
    std::unique_ptr<DeviceProtocol> protocol;
    uint32_t lastDeviceError = TRELM_DEVICE_ERROR_MAX_ERROR;
    uint32_t lastLinkStatus = TRELM_LINK_OK;

    // Records of the last successful listing, the record count, and the index
    // of the record the next find-next call hands out.
    std::unique_ptr<TRELM_FILE_INFO[]> listEntries;
    uint32_t listCount = 0;
    uint32_t listIndex = 0;

private:
    Session() = default;
    // Runs when the library is unloaded or the process ends: closes the port.
    ~Session();

    static std::mutex& CallMutex();
    // Whether the calling thread is inside a guarded call.
    static bool& CallInProgress();

    // Marks the calling thread as inside a call for its lifetime.
    class CallMark {
    public:
        explicit CallMark(bool& flag) : m_flag(flag) { m_flag = true; }
        ~CallMark() { m_flag = false; }
        CallMark(const CallMark&) = delete;
        CallMark& operator=(const CallMark&) = delete;

    private:
        bool& m_flag;
    };

    PortFactory m_portFactory;
};

} // namespace trelm
