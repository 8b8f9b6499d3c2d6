// The far end of an in-memory serial line: what the device answers to each
// request frame, and a log of everything the library did on the line.
// ScriptedPort objects created by a test share one ScriptedDevice.
#pragma once

#include "SerialPort.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <vector>

using Bytes = std::vector<uint8_t>;

class ScriptedDevice {
public:
    using Responder = std::function<Bytes(const Bytes& request)>;

    // Frame builders written independently of the library's own code.
    static Bytes Frame(uint16_t code, const Bytes& payload);
    static Bytes Ack() { return {0x00, 0x0F}; }
    static Bytes Nak() { return {0x40, 0x0F}; }
    static Bytes Concat(std::initializer_list<Bytes> parts);

    // A device that acknowledges every request; requests whose code has an
    // entry in `replies` are then answered with reply code = code + 1 and
    // that payload.
    static Responder Answering(std::map<uint16_t, Bytes> replies);

    // Answers to successive writes, used when no responder is set; when they
    // are used up the device stays silent.
    void QueueAnswer(Bytes answer) { m_answers.push_back(std::move(answer)); }
    void SetResponder(Responder responder) { m_responder = std::move(responder); }
    // Ports whose open fails.
    void RefusePort(uint8_t portId) { m_refused.insert(portId); }

    // Line operations used by ScriptedPort.
    bool OpenPort(uint8_t portId);
    void Receive(const Bytes& request);
    uint32_t TakeInput(uint8_t* buffer, uint32_t count);
    void Purge();
    uint32_t Pending() const { return static_cast<uint32_t>(m_input.size()); }
    void Inject(const Bytes& bytes) { m_input.insert(m_input.end(), bytes.begin(), bytes.end()); }
    void RecordTimeouts(const trelm::Timeouts& t) { m_timeouts.push_back(t); }

    // What happened on the line.
    const std::vector<Bytes>& Writes() const { return m_writes; }
    const std::vector<uint8_t>& OpenedPorts() const { return m_opened; }
    const std::vector<trelm::Timeouts>& AppliedTimeouts() const { return m_timeouts; }
    int Purges() const { return m_purges; }
    // Command codes of all written frames, in order.
    std::vector<uint16_t> WrittenCodes() const;
    // The port most recently opened (0 before any open).
    uint8_t CurrentPort() const { return m_opened.empty() ? 0 : m_opened.back(); }

private:
    Responder m_responder;
    std::deque<Bytes> m_answers;
    std::set<uint8_t> m_refused;
    std::deque<uint8_t> m_input;
    std::vector<Bytes> m_writes;
    std::vector<uint8_t> m_opened;
    std::vector<trelm::Timeouts> m_timeouts;
    int m_purges = 0;
};
