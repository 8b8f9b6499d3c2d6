// The device side of the serial line as a fuzzer drives it. The input holds
// the device's answers as bursts, each a length and that many bytes:
//
//     burst  := n:u8 byte[n]            (n < 255)
//             | 0xFF n:u16le byte[n]
//
// Every request the library writes releases the next burst onto the line;
// reads take what has been released. A read that finds too few bytes ends
// short, as a read that runs into its time-out does. Released bytes are
// handed over in pieces of random size, and between two pieces the line may
// pause for longer than the gap the read allows, which ends the read early
// with the rest still to come. Writes may fail, too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

class FuzzLine {
public:
    struct Behaviour {
        uint8_t pieceSeed = 0;  // seeds the piece sizes
        uint8_t gapRate = 0;    // chance in 256 of a long pause between pieces
        uint8_t writeFails = 0; // chance in 256 that a write fails
    };

    void Reset(std::span<const uint8_t> bursts, Behaviour behaviour);

    // A request of `count` bytes went out: releases the next burst. False
    // when the write fails (nothing is released then).
    bool Write(uint32_t count);
    // Up to `count` released bytes; fewer when the line runs dry or pauses.
    uint32_t Read(uint8_t* buffer, uint32_t count);
    // Released bytes not read yet.
    uint32_t Waiting() const { return static_cast<uint32_t>(m_released.size()); }
    // Drops the released bytes not read yet.
    void Purge() { m_released.clear(); }

private:
    uint32_t Random();
    void ReleaseNextBurst();

    std::span<const uint8_t> m_bursts;
    std::size_t m_position = 0;
    std::deque<uint8_t> m_released;
    Behaviour m_behaviour;
    uint32_t m_random = 1;
};
