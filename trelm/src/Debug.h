// Diagnostic lines of the library. They go to stderr, and only when the
// environment variable TRELM_DEBUG is set and not empty; nothing depends on
// them. Not exported.
#pragma once

namespace trelm {

// printf-style; a trailing newline is not added.
void DebugPrint(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Whether DebugPrint writes anything at the moment.
bool DebugEnabled();

} // namespace trelm
