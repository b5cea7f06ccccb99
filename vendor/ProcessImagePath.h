#pragma once

// The image path of another process, read the same way everywhere.

#include <windows.h>

#include <string>

namespace KelvaneCenter {

// Full path of the process's main module, or "". Reads it with
// K32GetModuleFileNameExW; where that refuses a handle with only
// PROCESS_QUERY_INFORMATION (Windows before 10, Wine) or the module list is
// not ready yet (a process just created), asks QueryFullProcessImageNameW on
// the same handle.
std::wstring GetProcessImagePath(HANDLE process);

// Opens the process with PROCESS_QUERY_INFORMATION only and reads its image
// path; "" when it cannot be opened or read.
std::wstring GetProcessImagePathById(DWORD processId);

} // namespace KelvaneCenter
