#pragma once

// Diagnostic lines of the program. They go to stderr only when the
// environment variable QUARN_DEBUG is set and not empty; nothing depends on
// them.
bool quarnDebugEnabled();

// printf-style diagnostic line; the caller supplies any line feed.
void quarnDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
