// Everything the tool tells its user: data lines, per-file results and
// errors, as text or (with --json) as one JSON object per line. It also
// remembers the exit status: the result code of the first failure.
#pragma once

#include "JsonLine.h"

#include <cstdint>
#include <optional>
#include <string>

namespace trelmctl {

class Reporter {
public:
    // How a step failed: the result code and the extended error values of
    // the library call (27 and 0 when no device status or link failure was
    // involved), and an optional explanation in plain words.
    struct Failure {
        uint32_t result = 0;
        uint32_t deviceError = 27;
        uint32_t linkStatus = 0;
        std::string detail;
        // The tool's own kind of failure for scripts ("verify"); empty for
        // the library's.
        std::string error;
    };

    static constexpr int kUsageExit = 64;
    // A file whose copy differs from the original when read back.
    static constexpr int kVerifyExit = 20;

    Reporter(bool json, bool quiet) : m_json(json), m_quiet(quiet) {}

    bool Json() const { return m_json; }
    bool Quiet() const { return m_quiet; }

    // The failure of the library call that has just returned `result`, with
    // its extended error values.
    static Failure FromLibrary(uint32_t result, std::string detail = {});
    // A failure the tool found itself, before or instead of a library call.
    static Failure Local(uint32_t result, std::string detail);
    // A read-back that differs from what was copied.
    static Failure VerifyMismatch(std::string detail);
    // The name of a result code, the tool's own (20) included.
    static const char* ResultName(uint32_t result);

    // A line of data for standard output (text mode).
    void Print(const std::string& text) const;
    // A JSON object (JSON mode).
    void Emit(const JsonLine& line) const;

    // One file done; `text` is the success line shown unless --quiet.
    void FileDone(const std::string& command, const std::string& file,
                  std::optional<uint64_t> bytes, const std::string& text);
    void FileFailed(const std::string& command, const std::string& file, const Failure& failure);
    // A failure that concerns the command as a whole.
    void Failed(const std::string& command, const Failure& failure);
    // A bad command line: message on standard error (and a JSON error line).
    void UsageError(const std::string& message);

    // 0, the result code of the first failure, or 64 after a usage error.
    int ExitStatus() const { return m_exitStatus; }

    // "the device refused the request: TRELM_DEVICE_ERROR_... (TRELM_ERROR_DEVICE_ERROR, code 9)"
    static std::string FailureText(const Failure& failure);

private:
    void Record(int status);
    void AddFailureFields(JsonLine& line, const Failure& failure) const;

    bool m_json;
    bool m_quiet;
    int m_exitStatus = 0;
};

} // namespace trelmctl
