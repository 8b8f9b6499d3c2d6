#include "devsim/Fault.h"

#include "devsim/CommandTable.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <limits>

namespace devsim {

namespace {

constexpr uint64_t Open = std::numeric_limits<uint64_t>::max();

struct ActionName {
    Fault::Action action;
    std::string_view name;
    bool takesArgument;
    bool needsArgument;
};

constexpr std::array<ActionName, 14> ActionNames{{
    {Fault::Action::Nak, "nak", false, false},
    {Fault::Action::Word, "word", true, true},
    {Fault::Action::Silent, "silent", false, false},
    {Fault::Action::BadChecksum, "badsum", false, false},
    {Fault::Action::WrongCode, "wrongcode", true, false},
    {Fault::Action::Truncate, "truncate", true, false},
    {Fault::Action::Extra, "extra", true, false},
    {Fault::Action::PacketNumber, "packet", true, true},
    {Fault::Action::Repeat, "repeat", false, false},
    {Fault::Action::Status, "status", true, true},
    {Fault::Action::HangUp, "hangup", false, false},
    {Fault::Action::Delay, "delay", true, true},
    {Fault::Action::Baud, "baud", true, true},
    {Fault::Action::Flip, "flip", true, false},
}};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// A decimal or 0x-hexadecimal number no larger than max.
bool parseNumber(std::string_view text, uint64_t max, uint64_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 19) {
        return false;
    }
    value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > max) {
            return false;
        }
    }
    return true;
}

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
    return false;
}

std::string hex16(uint64_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

} // namespace

std::optional<Fault> Fault::parse(std::string_view text, std::string* error) {
    const std::string rule(trim(text));
    const auto equals = rule.find('=');
    if (equals == std::string::npos) {
        fail(error, "fault \"" + rule + "\": expected TARGET[@WHEN]=ACTION");
        return std::nullopt;
    }
    std::string_view lhs = trim(std::string_view(rule).substr(0, equals));
    std::string_view rhs = trim(std::string_view(rule).substr(equals + 1));

    Fault fault;
    std::string_view target = lhs;
    std::string_view when;
    if (const auto at = lhs.find('@'); at != std::string_view::npos) {
        target = trim(lhs.substr(0, at));
        when = trim(lhs.substr(at + 1));
        if (when.empty()) {
            fail(error, "fault \"" + rule + "\": nothing after @");
            return std::nullopt;
        }
    }

    // Target.
    if (target == "*") {
        fault.target_.reset();
    } else if (target.size() > 2 && target[0] == '0' && (target[1] == 'x' || target[1] == 'X')) {
        uint64_t code = 0;
        if (!parseNumber(target, 0xFFFF, code)) {
            fail(error, "fault \"" + rule + "\": bad command code \"" + std::string(target) + "\"");
            return std::nullopt;
        }
        fault.target_ = static_cast<uint16_t>(code);
    } else if (auto code = CommandTable::code(target)) {
        fault.target_ = *code;
    } else {
        fail(error, "fault \"" + rule + "\": unknown command \"" + std::string(target) + "\"");
        return std::nullopt;
    }

    // Occurrences.
    bool every = when.empty();
    while (!when.empty()) {
        const auto comma = when.find(',');
        std::string_view item = trim(when.substr(0, comma));
        when = comma == std::string_view::npos ? std::string_view{} : when.substr(comma + 1);
        if (item == "*") {
            every = true;
            continue;
        }
        uint64_t first = 0;
        uint64_t last = 0;
        const auto dash = item.find('-');
        bool ok = parseNumber(trim(item.substr(0, dash)), Open - 1, first) && first >= 1;
        if (ok && dash == std::string_view::npos) {
            last = first;
        } else if (ok && trim(item.substr(dash + 1)).empty()) {
            last = Open;
        } else if (ok) {
            ok = parseNumber(trim(item.substr(dash + 1)), Open - 1, last) && last >= first;
        }
        if (!ok) {
            fail(error, "fault \"" + rule + "\": bad occurrence \"" + std::string(item) +
                            "\" (use N, N-M, N- or *, counting from 1)");
            return std::nullopt;
        }
        fault.when_.emplace_back(first, last);
    }
    if (every) {
        fault.when_.clear();
    }

    // Action and argument.
    const auto colon = rhs.find(':');
    const std::string actionName = lower(trim(rhs.substr(0, colon)));
    const bool hasArgument = colon != std::string_view::npos;
    std::string_view argument = hasArgument ? trim(rhs.substr(colon + 1)) : std::string_view{};
    const ActionName* found = nullptr;
    for (const ActionName& a : ActionNames) {
        if (a.name == actionName) {
            found = &a;
        }
    }
    if (found == nullptr) {
        fail(error, "fault \"" + rule + "\": unknown action \"" + actionName + "\"");
        return std::nullopt;
    }
    if (hasArgument && !found->takesArgument) {
        fail(error, "fault \"" + rule + "\": " + actionName + " takes no argument");
        return std::nullopt;
    }
    if (!hasArgument && found->needsArgument) {
        fail(error, "fault \"" + rule + "\": " + actionName + " needs an argument");
        return std::nullopt;
    }
    fault.action_ = found->action;

    uint64_t value = 0;
    bool ok = true;
    switch (fault.action_) {
    case Action::Word:
        ok = parseNumber(argument, 0xFFFF, value);
        break;
    case Action::WrongCode:
        ok = !hasArgument || parseNumber(argument, 0xFFFF, value);
        value = hasArgument ? value : Open; // Open: the request code
        break;
    case Action::Truncate:
    case Action::Extra:
        value = 1;
        ok = !hasArgument || (parseNumber(argument, 4096, value) && value >= 1);
        break;
    case Action::PacketNumber:
        if (!argument.empty() && (argument[0] == '+' || argument[0] == '-')) {
            fault.relative_ = true;
            ok = parseNumber(argument.substr(1), 0xFFFF, value);
            if (argument[0] == '-') {
                fault.value_ = -static_cast<int64_t>(value);
            } else {
                fault.value_ = static_cast<int64_t>(value);
            }
        } else {
            ok = parseNumber(argument, 0xFFFF, value);
        }
        break;
    case Action::Status:
        ok = parseNumber(argument, 255, value);
        break;
    case Action::Delay:
        ok = parseNumber(argument, 600000, value);
        break;
    case Action::Baud:
        ok = parseNumber(argument, 10000000, value) && value >= 1;
        break;
    case Action::Flip:
        ok = !hasArgument || parseNumber(argument, 65534, value);
        break;
    default:
        break;
    }
    if (!ok) {
        fail(error, "fault \"" + rule + "\": bad argument \"" + std::string(argument) + "\" for " +
                        actionName);
        return std::nullopt;
    }
    if (!fault.relative_) {
        fault.value_ = value == Open ? -1 : static_cast<int64_t>(value);
    }

    // An action that cannot apply to the named command is a mistake in the
    // script; with "*" it applies where it fits.
    if (fault.target_) {
        const uint16_t code = *fault.target_;
        const std::string who = CommandTable::label(code);
        const bool replies = CommandTable::known(code) && !CommandTable::ackOnly(code);
        std::string problem;
        switch (fault.action_) {
        case Action::BadChecksum:
        case Action::WrongCode:
            if (!replies) {
                problem = who + " gets no reply frame";
            }
            break;
        case Action::PacketNumber:
            if (!CommandTable::dataPacket(code)) {
                problem = who + " is no data-packet request";
            }
            break;
        case Action::Repeat:
            if (code != cmd::CreateNvFileDataPacket) {
                problem = "only CREATE_NV_FILE_DATA_PACKET can be asked for again";
            }
            break;
        case Action::Status:
            if (!CommandTable::replyHasStatus(code)) {
                problem = who + "'s reply has no status byte";
            }
            break;
        case Action::Flip:
            if (code != cmd::CreateNvFileStoreFile && code != cmd::ReadNvFileDataPacket) {
                problem = "only CREATE_NV_FILE_STORE_FILE and READ_NV_FILE_DATA_PACKET carry file "
                          "data that can be changed";
            }
            break;
        default:
            break;
        }
        if (!problem.empty()) {
            fail(error, "fault \"" + rule + "\": " + problem);
            return std::nullopt;
        }
    }
    return fault;
}

bool Fault::hits(uint64_t occurrence) const {
    if (when_.empty()) {
        return true;
    }
    for (const auto& [first, last] : when_) {
        if (occurrence >= first && occurrence <= last) {
            return true;
        }
    }
    return false;
}

uint16_t Fault::packetNumber(uint16_t real) const {
    if (relative_) {
        return static_cast<uint16_t>(static_cast<int64_t>(real) + value_);
    }
    return static_cast<uint16_t>(value_);
}

std::string Fault::toText() const {
    std::string text = target_ ? CommandTable::label(*target_) : std::string("*");
    if (!when_.empty()) {
        text += '@';
        bool first = true;
        for (const auto& [from, to] : when_) {
            if (!first) {
                text += ',';
            }
            first = false;
            text += std::to_string(from);
            if (to == Open) {
                text += '-';
            } else if (to != from) {
                text += '-' + std::to_string(to);
            }
        }
    }
    text += '=';
    for (const ActionName& a : ActionNames) {
        if (a.action == action_) {
            text += a.name;
        }
    }
    switch (action_) {
    case Action::Word:
        text += ':' + hex16(static_cast<uint64_t>(value_));
        break;
    case Action::WrongCode:
        if (value_ >= 0) {
            text += ':' + hex16(static_cast<uint64_t>(value_));
        }
        break;
    case Action::PacketNumber:
        text += ':';
        if (relative_) {
            text += value_ < 0 ? '-' : '+';
            text += std::to_string(value_ < 0 ? -value_ : value_);
        } else {
            text += std::to_string(value_);
        }
        break;
    case Action::Truncate:
    case Action::Extra:
    case Action::Status:
    case Action::Delay:
    case Action::Baud:
    case Action::Flip:
        text += ':' + std::to_string(value_);
        break;
    default:
        break;
    }
    return text;
}

} // namespace devsim
