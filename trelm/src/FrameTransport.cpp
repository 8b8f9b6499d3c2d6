#include "FrameTransport.h"

#include "ByteOrder.h"
#include "Debug.h"
#include "SerialPort.h"
#include "Timing.h"
#include "Trace.h"

#include <algorithm>

namespace trelm {

namespace {

// Pause after a failed write or acknowledgement read before the next attempt.
constexpr uint32_t kRetryPauseMs = 100;
// Pause before draining, so that bytes still on their way arrive first.
constexpr uint32_t kDrainSettleMs = 250;
constexpr uint32_t kDrainChunk = 512;
// A device that never stops sending must not hold the caller forever; the
// next transaction purges the line anyway.
constexpr int kMaxDrainRounds = 256;

uint16_t SumOfBytes(const uint8_t* bytes, std::size_t count) {
    uint16_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<uint16_t>(sum + bytes[i]);
    }
    return sum;
}

} // namespace

void FrameTransport::AttachPort(SerialPort* port) {
    m_port = port;
}

bool FrameTransport::ComputeChecksum(Frame& frame) {
    const std::size_t covered = kFrameHeaderSize + frame[2];
    StoreU16(frame.data() + covered, SumOfBytes(frame.data(), covered));
    return true;
}

bool FrameTransport::VerifyChecksum(const uint8_t* frame) {
    if (frame == nullptr) {
        return false;
    }
    const std::size_t covered = kFrameHeaderSize + frame[2];
    return LoadU16(frame + covered) == SumOfBytes(frame, covered);
}

bool FrameTransport::WriteFrame(const Frame& frame) {
    if (m_port == nullptr) {
        return false;
    }
    const auto length = static_cast<uint32_t>(FrameLength(frame.data()));
    uint32_t written = 0;
    const bool complete = m_port->Write(frame.data(), length, written) && written == length;
    Trace::Request(frame.data(), length, written);
    return complete;
}

bool FrameTransport::SendFrame(Frame& frame, uint8_t tries, uint32_t& ackWord) {
    uint32_t word = NO_ACK_WORD;
    m_status = LINK_BAD_DATA;
    ComputeChecksum(frame);

    for (unsigned attempt = 0; attempt < tries; ++attempt) {
        if (!WriteFrame(frame)) {
            // A failed write is a line that does not answer, not bad data.
            m_status = LINK_NO_ANSWER;
            timing::Sleep(kRetryPauseMs);
            continue;
        }
        uint8_t bytes[2] = {};
        uint32_t received = 0;
        const bool readOk = m_port->Read(bytes, 2, received);
        Trace::Acknowledgement(bytes, received);
        if (!readOk || received < 2) {
            timing::Sleep(kRetryPauseMs);
            m_status = LINK_NO_ANSWER;
            continue;
        }
        word = LoadU16(bytes);
        if (word == ACK_WORD) {
            m_status = LINK_OK;
            break;
        }
        if (word == NAK_WORD) {
            m_status = LINK_NAK;
            break;
        }
        // Any other word: the device did not understand the frame; send it again.
    }

    m_lastAck = word;
    ackWord = word;
    return word == ACK_WORD;
}

bool FrameTransport::ReceiveReply() {
    m_rxLength = 0;
    // Cleared so that nothing of an earlier reply survives in the buffer.
    m_rxFrame.fill(0);

    bool complete = false;
    if (m_port != nullptr) {
        constexpr uint32_t kFirstRead = kFrameHeaderSize + kChecksumSize;
        uint32_t received = 0;
        complete = m_port->Read(m_rxFrame.data(), kFirstRead, received) && received == kFirstRead;
        uint32_t total = received;
        const uint8_t payloadLength = m_rxFrame[2];
        if (complete && payloadLength > 0) {
            received = 0;
            complete = m_port->Read(m_rxFrame.data() + kFirstRead, payloadLength, received) &&
                       received == payloadLength;
            total += received;
        }
        Trace::Reply(m_rxFrame.data(), total);
    }
    if (!complete) {
        m_status = LINK_NO_ANSWER;
        return false;
    }

    m_rxLength = static_cast<uint16_t>(FrameLength(m_rxFrame.data()));
    if (VerifyChecksum(m_rxFrame.data())) {
        m_status = LINK_OK;
        return true;
    }
    m_status = LINK_BAD_DATA;
    return false;
}

const uint8_t* FrameTransport::Transact(Frame& frame, uint8_t tries, uint32_t& ackWord,
                                        uint16_t expectedCode, LinkStatus& status) {
    ackWord = NO_ACK_WORD;
    if (m_port != nullptr) {
        m_port->Purge();
    }
    m_status = LINK_NO_ANSWER;
    status = LINK_NO_ANSWER;

    for (unsigned attempt = 0; attempt < tries; ++attempt) {
        if (SendFrame(frame, 1, ackWord) && ReceiveReply()) {
            status = m_status;
            if (LoadU16(m_rxFrame.data()) == expectedCode) {
                return m_rxFrame.data();
            }
            // A well-formed answer to some other question: repeating the
            // request would not change the device's mind.
            m_status = LINK_UNEXPECTED_REPLY;
            status = LINK_UNEXPECTED_REPLY;
            return nullptr;
        }
        DebugPrint("Request 0x%04X: attempt %u failed (link status %d, word 0x%04X)\n",
                   LoadU16(frame.data()), attempt + 1, static_cast<int>(m_status),
                   static_cast<unsigned>(ackWord));
        if (m_port != nullptr) {
            m_port->Purge();
        }
        if (ackWord == NAK_WORD) {
            break;
        }
    }

    status = m_status;
    return nullptr;
}

const uint8_t* FrameTransport::GetReply() const {
    if (m_rxLength < kFrameHeaderSize + kChecksumSize ||
        m_rxLength != FrameLength(m_rxFrame.data()) || !VerifyChecksum(m_rxFrame.data())) {
        return nullptr;
    }
    return m_rxFrame.data();
}

std::span<const uint8_t> FrameTransport::ReplyPayload() const {
    const uint8_t* reply = GetReply();
    if (reply == nullptr) {
        return {};
    }
    return {reply + kFrameHeaderSize, reply[2]};
}

void FrameTransport::DrainInput() {
    if (m_port == nullptr || m_port->BytesWaiting() == 0) {
        return;
    }
    timing::Sleep(kDrainSettleMs);

    std::array<uint8_t, kDrainChunk> scratch{};
    for (int round = 0; round < kMaxDrainRounds; ++round) {
        const uint32_t waiting = m_port->BytesWaiting();
        if (waiting == 0) {
            return;
        }
        const uint32_t chunk = std::min(waiting, kDrainChunk);
        uint32_t received = 0;
        const bool readOk = m_port->Read(scratch.data(), chunk, received);
        Trace::Discarded(scratch.data(), received);
        if (!readOk && received == 0) {
            return; // the line is gone; nothing more will come
        }
    }
}

} // namespace trelm
