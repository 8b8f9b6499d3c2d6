// One scripted misbehaviour of the device: which requests it hits and what
// the device does instead of (or in addition to) its normal answer.
//
// Text form (case-insensitive):
//   TARGET[@WHEN]=ACTION[:ARG]
//   TARGET  a command name (CREATE_NV_FILE_DATA_PACKET), a code (0x1309), or *
//   WHEN    1-based occurrences of TARGET: N, N-M, N- (N and later), * (every);
//           several joined by commas. Left out: every occurrence.
//   ACTION  see Fault::Action. The first rule that hits a request decides;
//           a rule for * passes over requests its action cannot affect. E.g.
//           "WAKE_UP_DUT@1-3=silent", "CREATE_NV_FILE_DATA_PACKET@2=repeat", "NV_FILE_EXIST=nak".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devsim {

class Fault {
public:
    enum class Action {
        Nak,          // nak: answer 40 0F; the command is not carried out
        Word,         // word:W: answer the word W (e.g. 0x0F80 = 80 0F); not carried out
        Silent,       // silent: no answer at all; not carried out
        BadChecksum,  // badsum: the reply's checksum is one off
        WrongCode,    // wrongcode[:C]: the reply carries code C (default: the request code)
        Truncate,     // truncate[:N]: the answer loses its last N bytes (default 1)
        Extra,        // extra[:N]: N bytes (0xA5) follow the answer (default 1)
        PacketNumber, // packet:N | packet:+N | packet:-N: the data-packet reply names
                      // packet N, or the real number shifted by N
        Repeat,       // repeat: a create data packet is not taken; the device asks for
                      // the same packet again
        Status,       // status:N: the reply carries device status N; not carried out
        HangUp,       // hangup: the line is closed instead of answering
        Delay,        // delay:MS: the answer is sent MS milliseconds late
        Baud,         // baud:N: the answer is paced at N baud
        Flip,         // flip[:N]: a stored file keeps byte N (default 0; the last byte of
                      // a shorter file) inverted, the store answered as a success; or a
                      // read data packet carries its byte N inverted (checksum intact)
    };

    // Parses the text form. On failure returns nullopt and, if error is given,
    // a sentence saying what is wrong.
    static std::optional<Fault> parse(std::string_view text, std::string* error = nullptr);

    Action action() const { return action_; }
    // The target code, or nullopt for every command ("*").
    std::optional<uint16_t> target() const { return target_; }
    // Whether this rule hits the occurrence-th request of its target.
    bool hits(uint64_t occurrence) const;
    // The numeric argument (word, code, count, status, milliseconds, baud,
    // packet number or shift); -1 for WrongCode without a code (the reply
    // then carries the request code).
    int64_t value() const { return value_; }
    // For PacketNumber: true when value() shifts the real number.
    bool relative() const { return relative_; }
    // The packet number a data-packet reply reports instead of the real one.
    uint16_t packetNumber(uint16_t real) const;
    // The text form, normalised.
    std::string toText() const;

private:
    Action action_ = Action::Nak;
    std::optional<uint16_t> target_;
    std::vector<std::pair<uint64_t, uint64_t>> when_; // inclusive ranges; empty = every
    int64_t value_ = 0;
    bool relative_ = false;
};

} // namespace devsim
