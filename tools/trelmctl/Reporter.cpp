#include "Reporter.h"

#include "ResultNames.h"

#include <cstdio>
#include <trelm.h>
#include <utility>

namespace trelmctl {

Reporter::Failure Reporter::FromLibrary(uint32_t result, std::string detail) {
    Failure failure;
    failure.result = result;
    failure.detail = std::move(detail);
    TRELM_DeviceError deviceError = TRELM_DEVICE_ERROR_MAX_ERROR;
    uint32_t linkStatus = TRELM_LINK_OK;
    if (TRELM_GetExtendedErrorCode(&deviceError, &linkStatus) == TRELM_OK) {
        failure.deviceError = deviceError;
        failure.linkStatus = linkStatus;
    }
    return failure;
}

Reporter::Failure Reporter::Local(uint32_t result, std::string detail) {
    Failure failure;
    failure.result = result;
    failure.detail = std::move(detail);
    return failure;
}

Reporter::Failure Reporter::VerifyMismatch(std::string detail) {
    Failure failure = Local(kVerifyExit, std::move(detail));
    failure.error = "verify";
    return failure;
}

const char* Reporter::ResultName(uint32_t result) {
    return result == kVerifyExit ? "TRELMCTL_VERIFY_FAILED" : ResultNames::Result(result);
}

std::string Reporter::FailureText(const Failure& failure) {
    std::string text =
        failure.detail.empty() ? ResultNames::Describe(failure.result) : failure.detail;
    if (failure.result == TRELM_ERROR_DEVICE_ERROR) {
        text += std::string(": ") + ResultNames::DeviceError(failure.deviceError);
    }
    if (failure.linkStatus != TRELM_LINK_OK) {
        text += std::string(" [") + ResultNames::LinkStatus(failure.linkStatus) + "]";
    }
    return text + " (" + ResultName(failure.result) + ", code " + std::to_string(failure.result) +
           ")";
}

void Reporter::Record(int status) {
    if (m_exitStatus == 0 && status != 0) {
        m_exitStatus = status;
    }
}

void Reporter::Print(const std::string& text) const {
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
}

void Reporter::Emit(const JsonLine& line) const {
    line.Print(stdout);
}

void Reporter::AddFailureFields(JsonLine& line, const Failure& failure) const {
    line.Add("ok", false);
    if (!failure.error.empty()) {
        line.Add("error", failure.error);
    }
    line.Add("result", failure.result)
        .Add("resultName", ResultName(failure.result))
        .Add("deviceError", failure.deviceError)
        .Add("deviceErrorName", ResultNames::DeviceError(failure.deviceError))
        .Add("linkStatus", failure.linkStatus)
        .Add("linkStatusName", ResultNames::LinkStatus(failure.linkStatus))
        .Add("message", FailureText(failure));
}

void Reporter::FileDone(const std::string& command, const std::string& file,
                        std::optional<uint64_t> bytes, const std::string& text) {
    if (m_json) {
        JsonLine line("result");
        line.Add("command", command)
            .Add("file", file)
            .Add("ok", true)
            .Add("result", 0)
            .Add("resultName", ResultNames::Result(0));
        if (bytes) {
            line.Add("bytes", static_cast<int64_t>(*bytes));
        }
        Emit(line);
    } else if (!m_quiet) {
        Print(text);
    }
}

void Reporter::FileFailed(const std::string& command, const std::string& file,
                          const Failure& failure) {
    Record(static_cast<int>(failure.result));
    if (m_json) {
        JsonLine line("result");
        line.Add("command", command).Add("file", file);
        AddFailureFields(line, failure);
        Emit(line);
    }
    std::fprintf(stderr, "trelmctl: %s %s: %s\n", command.c_str(), file.c_str(),
                 FailureText(failure).c_str());
    std::fflush(stderr);
}

void Reporter::Failed(const std::string& command, const Failure& failure) {
    Record(static_cast<int>(failure.result));
    if (m_json) {
        JsonLine line("error");
        line.Add("command", command);
        AddFailureFields(line, failure);
        Emit(line);
    }
    std::fprintf(stderr, "trelmctl: %s: %s\n", command.c_str(), FailureText(failure).c_str());
    std::fflush(stderr);
}

void Reporter::UsageError(const std::string& message) {
    Record(kUsageExit);
    if (m_json) {
        JsonLine line("error");
        line.Add("usage", true).Add("exitStatus", kUsageExit).Add("message", message);
        Emit(line);
    }
    std::fprintf(stderr, "trelmctl: %s\nTry 'trelmctl --help'.\n", message.c_str());
    std::fflush(stderr);
}

} // namespace trelmctl
