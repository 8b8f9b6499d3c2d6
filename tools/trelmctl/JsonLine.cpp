#include "JsonLine.h"

#include <cmath>
#include <cstddef>

namespace trelmctl {

namespace {

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the bytes
// there are not one (overlong forms and surrogates included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

void AppendEscape(std::string& out, unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\u00";
    out += kDigits[(value >> 4) & 0x0F];
    out += kDigits[value & 0x0F];
}

} // namespace

JsonLine::JsonLine(std::string_view type) : m_text("{\"type\":") {
    m_text += Quote(type);
}

std::string JsonLine::Quote(std::string_view text) {
    std::string out = "\"";
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = Utf8SequenceLength(text, i); length > 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        } else {
            AppendEscape(out, c);
        }
        ++i;
    }
    return out + "\"";
}

void JsonLine::Key(std::string_view key) {
    m_text += ',';
    m_text += Quote(key);
    m_text += ':';
}

JsonLine& JsonLine::Add(std::string_view key, std::string_view value) {
    Key(key);
    m_text += Quote(value);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, const char* value) {
    return Add(key, std::string_view(value == nullptr ? "" : value));
}

JsonLine& JsonLine::AddRaw(std::string_view key, std::string_view json) {
    Key(key);
    m_text += json;
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, bool value) {
    Key(key);
    m_text += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, int64_t value) {
    Key(key);
    m_text += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, uint32_t value) {
    return Add(key, static_cast<int64_t>(value));
}

JsonLine& JsonLine::Add(std::string_view key, int value) {
    return Add(key, static_cast<int64_t>(value));
}

JsonLine& JsonLine::Add(std::string_view key, double value) {
    Key(key);
    if (!std::isfinite(value)) {
        m_text += "null";
        return *this;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    m_text += buffer;
    return *this;
}

std::string JsonLine::Text() const {
    return m_text + "}";
}

void JsonLine::Print(std::FILE* out) const {
    const std::string text = Text();
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

} // namespace trelmctl
