// Session start, port search and the status functions of the C API.
#include "ByteOrder.h"
#include "ComPortDiscovery.h"
#include "Debug.h"
#include "DeviceProtocol.h"
#include "SerialPort.h"
#include "Session.h"
#include "Timing.h"
#include "trelm.h"

#include <cstring>
#include <memory>
#include <utility>

namespace trelm {
namespace {

constexpr uint32_t kHighestPort = 255;
// The wake-up request announces this PC software version.
constexpr uint8_t kPcSwVersion = 1;
// Pause between two device-information attempts.
constexpr uint32_t kInfoRetryPauseMs = 1000;

// Time-outs while probing a port during a search.
constexpr Timeouts kProbeTimeouts{200, 200, 2000, 200, 2000};
// Time-outs of a device-information exchange.
constexpr Timeouts kInfoTimeouts{200, 200, 1000, 200, 1000};

const char* ModeOrDefault(const char* mode) {
    return (mode == nullptr || *mode == '\0') ? TRELM_DEFAULT_MODE : mode;
}

bool ApplyTimeouts(SerialPort& port, const Timeouts& t) {
    return port.SetTimeouts(t.interval, t.readMultiplier, t.readConstant, t.writeMultiplier,
                            t.writeConstant);
}

// One wake-up exchange; the reply carries the two device-information bytes.
TRELM_Result DeviceInfoAttempt(Session& s, uint32_t* value1, uint32_t* value2) {
    s.ResetExtendedError();
    if (value1 == nullptr || value2 == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    // Whoever does not answer the wake-up request is not our device: the
    // link status is deliberately not recorded here.
    if (!s.protocol->WakeUpDut(kPcSwVersion, 1)) {
        return TRELM_ERROR_COMM_FAILED;
    }
    if (s.protocol->GetReply() == nullptr) {
        return TRELM_ERROR_UNKNOWN;
    }
    const std::span<const uint8_t> payload = s.ReplyPayload();
    *value1 = LoadU8(payload, 0);
    *value2 = LoadU8(payload, 1);
    return TRELM_OK;
}

TRELM_Result ConnectedDeviceInfo(Session& s, uint32_t* value1, uint32_t* value2) {
    TRELM_Result result = TRELM_ERROR_UNKNOWN;
    Timeouts saved{};
    if (SerialPort* port = s.port.get(); port != nullptr && port->GetTimeouts(saved)) {
        ApplyTimeouts(*port, kInfoTimeouts);
        result = DeviceInfoAttempt(s, value1, value2);
        if (result != TRELM_OK) {
            timing::Sleep(kInfoRetryPauseMs);
            result = DeviceInfoAttempt(s, value1, value2);
        }
        port->RestoreTimeouts(saved);
    }
    // Last attempt under whatever time-outs are in force now.
    if (result != TRELM_OK) {
        timing::Sleep(kInfoRetryPauseMs);
        result = DeviceInfoAttempt(s, value1, value2);
    }
    return result;
}

// Detaches and destroys a protocol object, then its port (which closes it).
void Discard(std::unique_ptr<SerialPort>& port, std::unique_ptr<DeviceProtocol>& protocol) {
    if (protocol) {
        protocol->AttachPort(nullptr);
        protocol.reset();
    }
    port.reset();
}

TRELM_Result ScanForDevice(Session& s, const char* mode, uint32_t* portNumber) {
    TRELM_Result result = TRELM_ERROR_COMPORT_NOT_OPENED;
    mode = ModeOrDefault(mode);
    if (portNumber == nullptr || *portNumber != 0) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }

    // The probe runs on a port and protocol of its own, installed in the
    // session so that the device-information exchange uses them; the
    // session's own objects are put back afterwards in every case.
    std::unique_ptr<SerialPort> otherPort = s.CreatePort();
    if (!otherPort) {
        return TRELM_ERROR_OUT_OF_MEMORY;
    }
    std::unique_ptr<DeviceProtocol> otherProtocol =
        std::make_unique<DeviceProtocol>(otherPort.get());
    SerialPort& probe = *otherPort;
    std::swap(s.port, otherPort);
    std::swap(s.protocol, otherProtocol);

    try {
        ComPortDiscovery discovery;
        while (const std::optional<uint8_t> number = discovery.Next()) {
            probe.Open(*number, mode);
            ApplyTimeouts(probe, kProbeTimeouts);
            uint32_t value1 = 0;
            uint32_t value2 = 0;
            const TRELM_Result probeResult = ConnectedDeviceInfo(s, &value1, &value2);
            DebugPrint("Probing COM%u: result %u\n", static_cast<unsigned>(*number),
                       static_cast<unsigned>(probeResult));
            if (probeResult == TRELM_OK) {
                *portNumber = *number;
                result = TRELM_OK;
                break;
            }
            if (probeResult == TRELM_ERROR_COMM_FAILED) {
                result = TRELM_ERROR_COMM_FAILED;
            }
        }
    } catch (...) {
        std::swap(s.port, otherPort);
        std::swap(s.protocol, otherProtocol);
        Discard(otherPort, otherProtocol);
        throw;
    }

    std::swap(s.port, otherPort);
    std::swap(s.protocol, otherProtocol);
    Discard(otherPort, otherProtocol);
    return result;
}

TRELM_Result InitSession(Session& s, uint32_t portNumber, const char* mode) {
    s.Release();
    mode = ModeOrDefault(mode);

    TRELM_Result result = TRELM_OK;
    try {
        if (portNumber == 0) {
            result = ScanForDevice(s, mode, &portNumber);
        } else if (portNumber > kHighestPort) {
            result = TRELM_ERROR_BAD_PARAMETERS;
        }
        if (result == TRELM_OK) {
            s.port = s.CreatePort();
            if (!s.port) {
                result = TRELM_ERROR_OUT_OF_MEMORY;
            } else {
                // A failed flow-control step still leaves an open line, which counts.
                s.port->Open(static_cast<uint8_t>(portNumber & 0xFF), mode);
                if (!s.port->IsOpen()) {
                    result = TRELM_ERROR_COMPORT_NOT_OPENED;
                } else {
                    s.protocol = std::make_unique<DeviceProtocol>(s.port.get());
                }
            }
        }
    } catch (const std::bad_alloc&) {
        result = TRELM_ERROR_OUT_OF_MEMORY;
    } catch (...) {
        result = TRELM_ERROR_UNKNOWN;
    }

    if (result != TRELM_OK) {
        s.Release(); // no half-built session is left behind
    }
    DebugPrint("Session on COM%u with '%s': result %u\n", static_cast<unsigned>(portNumber), mode,
               static_cast<unsigned>(result));
    return result;
}

TRELM_Result ComPortSettings(Session& s, uint32_t* portNumber, char* buffer, uint32_t* length) {
    s.ResetExtendedError();
    if (portNumber == nullptr || buffer == nullptr || length == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    const char* settings = s.port ? s.port->GetSettingsString() : nullptr;
    if (settings == nullptr) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    const std::size_t needed = std::strlen(settings) + 1;
    if (needed > *length) {
        return TRELM_ERROR_BUFFR_TOO_SMALL;
    }
    *portNumber = s.port->PortId();
    *length = static_cast<uint32_t>(needed);
    std::memcpy(buffer, settings, needed);
    return TRELM_OK;
}

TRELM_Result Statistics(Session& s, TRELM_STATISTICS* statistics) {
    s.ResetExtendedError();
    if (statistics == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    if (!s.PortIsOpen()) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }

    // Device order of the five questions, and where each answer goes. Counts
    // are 16-bit, sizes 32-bit, both after the status byte.
    struct Query {
        bool (DeviceProtocol::*command)();
        uint32_t TRELM_STATISTICS::*field;
        bool isSize;
    };
    static constexpr Query kQueries[] = {
        {&DeviceProtocol::GetNumberOfOpenNvFiles, &TRELM_STATISTICS::OpenFiles, false},
        {&DeviceProtocol::GetTotAllocatedNvFileBufSize, &TRELM_STATISTICS::TotalAllocatedBufferSize,
         true},
        {&DeviceProtocol::NvFileGetSpaceInUse, &TRELM_STATISTICS::SpaceInUse, true},
        {&DeviceProtocol::GetMaxNumberOfOpenNvFiles, &TRELM_STATISTICS::MaxOpenFiles, false},
        {&DeviceProtocol::NvFileGetAllocatedNvFileSpace, &TRELM_STATISTICS::AllocatedFileSpace,
         true},
    };

    TRELM_STATISTICS fetched{};
    TRELM_Result result = TRELM_OK;
    for (const Query& query : kQueries) {
        result = s.CheckStatusReply((s.protocol.get()->*query.command)());
        if (result != TRELM_OK) {
            break;
        }
        const std::span<const uint8_t> payload = s.ReplyPayload();
        fetched.*query.field = query.isSize ? LoadU32(payload, 1) : LoadU16(payload, 1);
    }

    // The record size is judged only after the device traffic; a wrong size
    // leaves the caller's record untouched.
    if (statistics->StructSize != TRELM_STATISTICS_SIZE) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    *statistics = fetched; // its StructSize is 0
    return result;
}

TRELM_Result ExtendedErrorCode(Session& s, TRELM_DeviceError* deviceError, uint32_t* linkStatus) {
    if (deviceError == nullptr || linkStatus == nullptr) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    *deviceError = s.lastDeviceError;
    *linkStatus = s.lastLinkStatus;
    return TRELM_OK;
}

} // namespace
} // namespace trelm

using trelm::Session;

TRELM_Result TRELM_Init(uint32_t portNumber, const char* mode) {
    return Session::Guarded([&](Session& s) { return trelm::InitSession(s, portNumber, mode); });
}

TRELM_Result TRELM_ScanComPortsForDevice(const char* mode, uint32_t* portNumber) {
    return Session::Guarded([&](Session& s) { return trelm::ScanForDevice(s, mode, portNumber); });
}

TRELM_Result TRELM_GetComPortSettings(uint32_t* portNumber, char* buffer, uint32_t* length) {
    return Session::Guarded(
        [&](Session& s) { return trelm::ComPortSettings(s, portNumber, buffer, length); });
}

TRELM_Result TRELM_GetConnectedDeviceInfo(uint32_t* value1, uint32_t* value2) {
    return Session::Guarded(
        [&](Session& s) { return trelm::ConnectedDeviceInfo(s, value1, value2); });
}

TRELM_Result TRELM_GetStatistics(TRELM_STATISTICS* statistics) {
    return Session::Guarded([&](Session& s) { return trelm::Statistics(s, statistics); });
}

TRELM_Result TRELM_GetExtendedErrorCode(TRELM_DeviceError* deviceError, uint32_t* linkStatus) {
    return Session::Guarded(
        [&](Session& s) { return trelm::ExtendedErrorCode(s, deviceError, linkStatus); });
}
