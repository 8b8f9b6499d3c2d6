// Protocol trace. When the environment variable TRELM_TRACE names a file, the
// library appends one line to it for every frame and acknowledgement word on
// the line:
//
//     tx +0.412ms 00 00 01 01 02 00 | WAKE_UP_DUT PcSwVersion=1
//     rx +3.107ms 00 0F | ACK_WORD
//
// direction (tx: to the device, rx: from it), time since the previous line,
// the bytes in hex, and after " | " the decoded command or reply with its
// fields. The variable is read once, at the first frame of the process; when
// it is unset every hook costs one cached test. Not exported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trelm {

class Trace {
public:
    // Whether this process traces; decided on first use and kept.
    static bool Enabled() {
        static const bool enabled = Start();
        return enabled;
    }

    // Hooks of the frame transport.
    // A request frame of `length` bytes of which `written` reached the line.
    static void Request(const uint8_t* frame, std::size_t length, std::size_t written) {
        if (Enabled()) {
            WriteLine("tx", frame, written, DescribeRequest(frame, length, written));
        }
    }
    // The acknowledgement read after a request: `received` of its 2 bytes.
    static void Acknowledgement(const uint8_t* bytes, std::size_t received) {
        if (Enabled()) {
            WriteLine("rx", bytes, received, DescribeAcknowledgement(bytes, received));
        }
    }
    // A reply frame, complete or not: the first `received` bytes arrived.
    static void Reply(const uint8_t* frame, std::size_t received) {
        if (Enabled()) {
            WriteLine("rx", frame, received, DescribeReply(frame, received));
        }
    }
    // Late bytes read and thrown away after an exchange.
    static void Discarded(const uint8_t* bytes, std::size_t count) {
        if (Enabled() && count > 0) {
            WriteLine("rx", bytes, count, DescribeDiscarded(count));
        }
    }

    // The decoded part of a line (what follows " | ").
    static std::string DescribeRequest(const uint8_t* frame, std::size_t length,
                                       std::size_t written);
    static std::string DescribeAcknowledgement(const uint8_t* bytes, std::size_t received);
    static std::string DescribeReply(const uint8_t* frame, std::size_t received);
    static std::string DescribeDiscarded(std::size_t count);
    // Bytes as upper-case hex pairs separated by spaces; "-" for none.
    static std::string Hex(const uint8_t* bytes, std::size_t count);
    // "TRELM_DEVICE_ERROR_..." for a device status byte, "unknown" beyond the table.
    static const char* DeviceErrorName(uint32_t status);

private:
    // Opens the trace file named by TRELM_TRACE and writes the header line.
    static bool Start();
    static void WriteLine(const char* direction, const uint8_t* bytes, std::size_t count,
                          const std::string& text);
};

} // namespace trelm
