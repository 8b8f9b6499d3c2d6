#include "FuzzLine.h"

#include <algorithm>

void FuzzLine::Reset(std::span<const uint8_t> bursts, Behaviour behaviour) {
    m_bursts = bursts;
    m_position = 0;
    m_released.clear();
    m_behaviour = behaviour;
    m_random = 0x9E3779B9u ^ behaviour.pieceSeed;
}

uint32_t FuzzLine::Random() {
    // xorshift32: cheap, and the same input always gives the same run.
    m_random ^= m_random << 13;
    m_random ^= m_random >> 17;
    m_random ^= m_random << 5;
    return m_random;
}

void FuzzLine::ReleaseNextBurst() {
    if (m_position >= m_bursts.size()) {
        return;
    }
    std::size_t length = m_bursts[m_position++];
    if (length == 0xFF) {
        length = 0;
        if (m_position < m_bursts.size()) {
            length = m_bursts[m_position++];
        }
        if (m_position < m_bursts.size()) {
            length |= static_cast<std::size_t>(m_bursts[m_position++]) << 8;
        }
    }
    length = std::min(length, m_bursts.size() - m_position);
    m_released.insert(m_released.end(), m_bursts.begin() + static_cast<std::ptrdiff_t>(m_position),
                      m_bursts.begin() + static_cast<std::ptrdiff_t>(m_position + length));
    m_position += length;
}

bool FuzzLine::Write(uint32_t count) {
    if (count > 0 && (Random() & 0xFF) < m_behaviour.writeFails) {
        return false;
    }
    ReleaseNextBurst();
    return true;
}

uint32_t FuzzLine::Read(uint8_t* buffer, uint32_t count) {
    uint32_t got = 0;
    while (got < count && !m_released.empty()) {
        const uint32_t piece = 1 + Random() % 64;
        const uint32_t take =
            std::min({piece, count - got, static_cast<uint32_t>(m_released.size())});
        std::copy_n(m_released.begin(), take, buffer + got);
        m_released.erase(m_released.begin(), m_released.begin() + take);
        got += take;
        if (got < count && (Random() & 0xFF) < m_behaviour.gapRate) {
            break; // the line paused longer than the read waits between bytes
        }
    }
    return got;
}
