#include "Session.h"

#include "ByteOrder.h"

namespace trelm {

std::mutex& Session::CallMutex() {
    static std::mutex mutex;
    return mutex;
}

bool& Session::CallInProgress() {
    // A plain flag: nothing to destroy at thread exit, so it does not keep
    // the library loaded.
    static thread_local bool inCall = false;
    return inCall;
}

Session& Session::Instance() {
    // The lock is created first so that it outlives the session at unload.
    CallMutex();
    static Session session;
    return session;
}

Session::~Session() {
    try {
        // The process may end from inside a call of this thread (exit() in a
        // progress callback); that call never resumes, and the lock it holds
        // must not be taken again.
        if (CallInProgress()) {
            Release();
            return;
        }
        std::lock_guard<std::mutex> lock(CallMutex());
        Release();
    } catch (...) {
        // Unloading must not fail; the port closes with its object regardless.
    }
}

void Session::SetPortFactory(PortFactory factory) {
    std::lock_guard<std::mutex> lock(CallMutex());
    Instance().m_portFactory = std::move(factory);
}

std::unique_ptr<SerialPort> Session::CreatePort() {
    if (m_portFactory) {
        return m_portFactory();
    }
    return std::make_unique<SerialPort>();
}

void Session::Release() {
    ResetExtendedError();
    DropListing();
    if (protocol) {
        protocol->AttachPort(nullptr);
        protocol.reset();
    }
    port.reset();
}

void Session::DropListing() {
    listIndex = 0;
    listCount = 0;
    listEntries.reset();
}

void Session::ResetExtendedError() {
    lastDeviceError = TRELM_DEVICE_ERROR_MAX_ERROR;
    lastLinkStatus = TRELM_LINK_OK;
}

bool Session::PortIsOpen() {
    return port && protocol && port->GetSettingsString() != nullptr;
}

TRELM_Result Session::ResultForLinkStatus(LinkStatus status) {
    switch (status) {
    case LINK_OK:
        return TRELM_OK;
    case LINK_NO_ANSWER:
        return TRELM_ERROR_COMM_FAILED_TIMEOUT;
    case LINK_BAD_DATA:
        return TRELM_ERROR_COMM_FAILED_CHKSUM;
    case LINK_UNEXPECTED_REPLY:
        return TRELM_ERROR_UNEXPECTED_DATA;
    case LINK_NAK:
        return TRELM_ERROR_DEVICE_UNKNOWN_CMD;
    default:
        return TRELM_ERROR_UNKNOWN;
    }
}

TRELM_Result Session::MapFailedCommand() {
    if (!protocol) {
        return TRELM_ERROR_COMPORT_NOT_OPENED;
    }
    if (protocol->ArgumentsRejected()) {
        return TRELM_ERROR_BAD_PARAMETERS;
    }
    const LinkStatus status = protocol->GetStatus();
    lastLinkStatus = static_cast<uint32_t>(status);
    return ResultForLinkStatus(status);
}

TRELM_Result Session::TakeDeviceStatus(uint8_t status) {
    lastDeviceError = status;
    if (status != TRELM_DEVICE_ERROR_NO_ERROR) {
        return TRELM_ERROR_DEVICE_ERROR;
    }
    return TRELM_OK;
}

TRELM_Result Session::CheckReply(bool commandSucceeded) {
    if (!commandSucceeded) {
        return MapFailedCommand();
    }
    if (!protocol || protocol->GetReply() == nullptr) {
        return TRELM_ERROR_UNEXPECTED_DATA;
    }
    return TRELM_OK;
}

TRELM_Result Session::CheckStatusReply(bool commandSucceeded) {
    const TRELM_Result result = CheckReply(commandSucceeded);
    if (result != TRELM_OK) {
        return result;
    }
    const std::span<const uint8_t> payload = ReplyPayload();
    if (payload.empty()) {
        return TRELM_ERROR_UNEXPECTED_DATA; // a status reply without its status byte
    }
    return TakeDeviceStatus(payload[0]);
}

TRELM_Result Session::CheckAck(bool commandSucceeded) {
    if (!commandSucceeded) {
        return MapFailedCommand();
    }
    return TRELM_OK;
}

std::span<const uint8_t> Session::ReplyPayload() const {
    return protocol ? protocol->ReplyPayload() : std::span<const uint8_t>{};
}

} // namespace trelm
