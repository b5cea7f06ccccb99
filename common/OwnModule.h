#pragma once

#include <windows.h>

namespace adw {

// The module that holds this code: AdWarden.dll, or the executable when the
// library's objects are linked into it. Never looked up by name. Null only
// when the system cannot say, which callers treat as "nothing to pin".
inline HMODULE OwnModule() noexcept {
    static const char anchor = 0;
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
}

} // namespace adw
