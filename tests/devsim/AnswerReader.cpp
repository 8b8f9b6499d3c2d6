#include "AnswerReader.h"

AnswerReader::AnswerReader(const Bytes& answer) {
    if (answer.size() < 2) {
        return;
    }
    word_ = static_cast<uint16_t>(answer[0] | (answer[1] << 8));
    const std::size_t start = 2;
    if (answer.size() < start + 5 || answer.size() < start + 5 + answer[start + 2]) {
        trailing_ = answer.size() - start;
        return;
    }
    const std::size_t length = answer[start + 2];
    hasReply_ = true;
    code_ = static_cast<uint16_t>(answer[start] | (answer[start + 1] << 8));
    payload_.assign(answer.begin() + start + 3, answer.begin() + start + 3 + length);
    unsigned sum = 0;
    for (std::size_t i = start; i < start + 3 + length; ++i) {
        sum += answer[i];
    }
    const std::size_t at = start + 3 + length;
    const unsigned stored = answer[at] | (answer[at + 1] << 8);
    checksumOk_ = (sum & 0xFFFF) == stored;
    trailing_ = answer.size() - (at + 2);
}
