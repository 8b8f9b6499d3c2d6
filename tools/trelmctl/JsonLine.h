// One JSON object written as one line, for scripts that read the tool's
// output with --json. Fields keep the order in which they were added.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace trelmctl {

class JsonLine {
public:
    // Starts an object whose first field is "type": `type`.
    explicit JsonLine(std::string_view type);

    JsonLine& Add(std::string_view key, std::string_view value);
    JsonLine& Add(std::string_view key, const char* value);
    JsonLine& Add(std::string_view key, bool value);
    JsonLine& Add(std::string_view key, int64_t value);
    JsonLine& Add(std::string_view key, uint32_t value);
    JsonLine& Add(std::string_view key, int value);
    JsonLine& Add(std::string_view key, double value);
    // A value that is JSON text already (an array of objects).
    JsonLine& AddRaw(std::string_view key, std::string_view json);

    // The object's text, without a line end.
    std::string Text() const;
    // Writes the object and a line end to `out` and flushes it.
    void Print(std::FILE* out) const;

    // `text` as a JSON string literal. Bytes that are not valid UTF-8 (device
    // names are plain bytes) are taken as Latin-1 characters.
    static std::string Quote(std::string_view text);

private:
    void Key(std::string_view key);

    std::string m_text;
};

} // namespace trelmctl
