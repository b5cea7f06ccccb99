#pragma once

// The image path of another process, read two ways: the one a trust decision
// may rely on, and the one that is only reported.

#include <windows.h>

#include <string>

namespace KelvaneCenter {

// For reports only. Full path of the process's main module, or "". Reads it
// with K32GetModuleFileNameExW, that is from the process's own loader data,
// which the process can rewrite; where that refuses a handle with only
// PROCESS_QUERY_INFORMATION (Windows before 10, Wine) or the module list is
// not ready yet (a process just created), asks QueryFullProcessImageNameW on
// the same handle.
std::wstring GetProcessImagePath(HANDLE process);

// For trust decisions: the image the kernel recorded when the process was
// created (QueryFullProcessImageNameW, no length limit short of the longest
// path), which the process cannot change. Opens the process with
// PROCESS_QUERY_LIMITED_INFORMATION, enough for elevated processes too, and
// only where that is refused with PROCESS_QUERY_INFORMATION. "" when the
// process cannot be opened or read.
std::wstring GetProcessImagePathById(DWORD processId);

// Whether two paths name files of the same name, ignoring case and folders:
// the same program whichever form (long, short, device) each path was read in.
bool SameFileName(const std::wstring& a, const std::wstring& b);

} // namespace KelvaneCenter
