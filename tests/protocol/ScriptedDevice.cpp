#include "ScriptedDevice.h"

Bytes ScriptedDevice::Frame(uint16_t code, const Bytes& payload) {
    Bytes frame{static_cast<uint8_t>(code & 0xFF), static_cast<uint8_t>(code >> 8),
                static_cast<uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (const uint8_t b : frame) {
        sum += b;
    }
    frame.push_back(static_cast<uint8_t>(sum & 0xFF));
    frame.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    return frame;
}

Bytes ScriptedDevice::Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

ScriptedDevice::Responder ScriptedDevice::Answering(std::map<uint16_t, Bytes> replies) {
    return [replies = std::move(replies)](const Bytes& request) {
        const auto code = static_cast<uint16_t>(request.at(0) | (request.at(1) << 8));
        const auto found = replies.find(code);
        if (found == replies.end()) {
            return Ack();
        }
        return Concat({Ack(), Frame(static_cast<uint16_t>(code + 1), found->second)});
    };
}

bool ScriptedDevice::OpenPort(uint8_t portId) {
    if (m_refused.count(portId) != 0) {
        return false;
    }
    m_opened.push_back(portId);
    return true;
}

void ScriptedDevice::Receive(const Bytes& request) {
    m_writes.push_back(request);
    Bytes answer;
    if (m_responder) {
        answer = m_responder(request);
    } else if (!m_answers.empty()) {
        answer = std::move(m_answers.front());
        m_answers.pop_front();
    }
    Inject(answer);
}

uint32_t ScriptedDevice::TakeInput(uint8_t* buffer, uint32_t count) {
    uint32_t taken = 0;
    while (taken < count && !m_input.empty()) {
        buffer[taken++] = m_input.front();
        m_input.pop_front();
    }
    return taken;
}

void ScriptedDevice::Purge() {
    ++m_purges;
    m_input.clear();
}

std::vector<uint16_t> ScriptedDevice::WrittenCodes() const {
    std::vector<uint16_t> codes;
    for (const Bytes& frame : m_writes) {
        codes.push_back(static_cast<uint16_t>(frame.at(0) | (frame.at(1) << 8)));
    }
    return codes;
}
