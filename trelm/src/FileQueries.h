// The single-file questions that other functions of the library also ask on
// their own session (an export never calls another export).
#pragma once

#include "Session.h"
#include "trelm.h"

#include <cstdint>

namespace trelm {

// GET_NV_FILE_HANDLE for `name`; the handle lands in `*handle`.
TRELM_Result FileHandleFromName(Session& s, const char* name, uint32_t* handle);
// GET_NV_FILE_SIZE_EX for `handle`; the size lands in `*size`.
TRELM_Result FileSizeFromHandle(Session& s, uint32_t handle, uint32_t* size);

} // namespace trelm
