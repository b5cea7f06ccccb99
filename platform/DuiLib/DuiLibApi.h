#pragma once

// The host's UI library (DuiLib.dll): export macro and shared declarations.

#include <windows.h>

#if defined(DUILIB_EXPORTS)
#define DUILIB_API __declspec(dllexport)
#else
#define DUILIB_API __declspec(dllimport)
#endif

#if defined(_MSC_VER)
// Exported classes keep standard containers as private members; only the
// library's own code touches them.
#pragma warning(disable : 4251)
#endif
