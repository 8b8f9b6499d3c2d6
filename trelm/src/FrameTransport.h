// Framing, acknowledgement handshake and request/reply transactions over a
// borrowed serial port. Knows nothing about individual device commands.
//
// Frame layout (little-endian): code u16, payload length L u8, L payload
// bytes, checksum u16 = sum of the L + 3 bytes before it, wrapping at 16 bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace trelm {

class SerialPort;

// How the most recent send, receive or transaction ended.
using LinkStatus = int32_t;
inline constexpr LinkStatus LINK_OK = 0;
inline constexpr LinkStatus LINK_NO_ANSWER = 1;
inline constexpr LinkStatus LINK_BAD_DATA = 2;
inline constexpr LinkStatus LINK_UNEXPECTED_REPLY = 3;
inline constexpr LinkStatus LINK_NAK = 4;

// Acknowledgement words the device sends after every request frame.
inline constexpr uint32_t ACK_WORD = 0x0F00;
inline constexpr uint32_t NAK_WORD = 0x0F40;
// Preset before the first attempt; reported when no word could be read.
inline constexpr uint32_t NO_ACK_WORD = 0x0F80;

inline constexpr std::size_t kFrameHeaderSize = 3; // code u16 + payload length u8
inline constexpr std::size_t kChecksumSize = 2;
inline constexpr std::size_t kMaxPayloadSize = 255;
inline constexpr std::size_t kMaxFrameSize = kFrameHeaderSize + kMaxPayloadSize + kChecksumSize;

// A buffer large enough for any frame; only its first L + 5 bytes are used.
using Frame = std::array<uint8_t, kMaxFrameSize>;

// Total length (L + 5) of the frame that starts at `frame`.
inline std::size_t FrameLength(const uint8_t* frame) {
    return kFrameHeaderSize + frame[2] + kChecksumSize;
}

class FrameTransport {
public:
    FrameTransport() = default;
    virtual ~FrameTransport() = default;
    FrameTransport(const FrameTransport&) = delete;
    FrameTransport& operator=(const FrameTransport&) = delete;

    // Stores the borrowed port (may be null). The port is never closed or freed here.
    virtual void AttachPort(SerialPort* port);
    SerialPort* Port() const { return m_port; }

    // Writes the checksum after the payload of a request frame.
    static bool ComputeChecksum(Frame& frame);
    // True if the checksum stored after the payload matches the frame's bytes.
    static bool VerifyChecksum(const uint8_t* frame);

    // True if a port is attached and all L + 5 bytes were written.
    bool WriteFrame(const Frame& frame);
    // Sends the frame up to `tries` times until the device acknowledges or
    // refuses it; `ackWord` receives the last word read (or NO_ACK_WORD).
    bool SendFrame(Frame& frame, uint8_t tries, uint32_t& ackWord);
    // Reads one complete reply frame into the receive buffer and checks it.
    bool ReceiveReply();
    // Purges the line, then sends the request and reads its reply, repeating
    // the whole exchange up to `tries` times. Returns the reply frame when it
    // carries `expectedCode`, otherwise null. A refusal (NAK) or a reply with
    // another code ends the transaction at once.
    const uint8_t* Transact(Frame& frame, uint8_t tries, uint32_t& ackWord, uint16_t expectedCode,
                            LinkStatus& status);

    // The last reply frame if it is complete and its checksum verifies, else null.
    const uint8_t* GetReply() const;
    // The payload of the reply GetReply() would return; empty when there is none.
    std::span<const uint8_t> ReplyPayload() const;
    LinkStatus GetStatus() const { return m_status; }
    uint32_t LastAck() const { return m_lastAck; }

    // Reads and discards whatever is left in the input queue after an
    // exchange, so that late bytes never reach the next exchange.
    void DrainInput();

protected:
    Frame m_rxFrame{};
    uint16_t m_rxLength = 0;
    SerialPort* m_port = nullptr;
    LinkStatus m_status = LINK_OK;
    uint32_t m_lastAck = NO_ACK_WORD;
};

} // namespace trelm
