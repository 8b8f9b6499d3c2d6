// The folder in which the emulator offers its port as "comN". Whoever can
// write to that folder decides where the library's COM port leads, so the
// emulator only uses a folder that is the user's own.
#pragma once

#include <string>

namespace devsim {

// $XDG_RUNTIME_DIR/trelm-ports when XDG_RUNTIME_DIR is an absolute path (a
// folder only the user can reach), otherwise /tmp/trelm-ports-UID.
std::string defaultPortsFolder();

// Makes `dir` ready for the links: a missing folder is created with mode
// 0700 (missing parents with the usual mode). An existing one must be a
// folder itself (not a symbolic link), owned by this user and writable by
// nobody else (no group or other write bit). False with the reason in
// `*error` otherwise; nothing is changed then.
bool preparePortsFolder(const std::string& dir, std::string* error = nullptr);

} // namespace devsim
