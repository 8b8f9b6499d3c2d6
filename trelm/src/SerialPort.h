// The library's only contact with the serial line: one COM port by number,
// configured from a mode string, with read and write time-outs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <termios.h>

namespace trelm {

// Read and write time-outs in milliseconds. A read of n bytes ends when n
// bytes arrived, when readMultiplier * n + readConstant ms have passed, or
// when more than `interval` ms pass between two bytes (after the first).
struct Timeouts {
    uint32_t interval = 0;
    uint32_t readMultiplier = 0;
    uint32_t readConstant = 0;
    uint32_t writeMultiplier = 0;
    uint32_t writeConstant = 0;
};

// The line operations are virtual so that the protocol layer can be run over
// another byte source (an in-memory script in tests, fuzzer input).
class SerialPort {
public:
    SerialPort();
    virtual ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Closes any open port, then opens COM `portId` and applies `mode`.
    virtual bool Open(uint8_t portId, const char* mode);
    virtual bool ApplySettings(const char* mode);
    // Purges both directions and closes; true if a port was open.
    virtual bool Close();

    // "COM9", "\\.\COM10"; "<Bad m_portId>" and false for port 0.
    bool GetPortName(char* buffer, std::size_t size) const;
    // Mode string rebuilt from the line settings, e.g. "baud=9600 parity=N data=8 stop=1";
    // nullptr when the port is closed. The text stays valid until the next call.
    virtual const char* GetSettingsString();

    virtual bool SetTimeouts(uint32_t interval, uint32_t readMultiplier, uint32_t readConstant,
                             uint32_t writeMultiplier, uint32_t writeConstant);
    virtual bool GetTimeouts(Timeouts& saved) const;
    virtual bool RestoreTimeouts(const Timeouts& saved);

    // One blocking read or write; success only when exactly `count` bytes moved.
    virtual bool Read(void* buffer, uint32_t count, uint32_t& transferred);
    virtual bool Write(const void* buffer, uint32_t count, uint32_t& transferred);
    // Discards pending input and output.
    virtual bool Purge();
    // Bytes waiting in the input queue; 0 when the query fails.
    virtual uint32_t BytesWaiting();
    virtual bool IsOpen() const;

    uint8_t PortId() const { return m_portId; }

protected:
    uint8_t m_portId = 0;
    int m_handle = -1;
    struct termios m_dcb {};
    Timeouts m_timeouts{};
    std::string m_settingsText;

private:
    // The open handle has taken a character format from a mode string. A
    // pseudo-terminal cannot hold one, so m_dcb keeps it for the next mode
    // string that leaves some of it unchanged.
    bool m_formatApplied = false;
};

} // namespace trelm
