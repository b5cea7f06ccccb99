#pragma once

#include <windows.h>

namespace adw {

// One reference on the module that holds this code, so that a host unloading
// the library cannot take it away while something of ours (a UI job in the UI
// library's queue, a window of ours, a timer) can still run. Copies take a
// reference of their own.
//
// Code cannot drop the last reference on its own module and go on running, so
// the reference is handed to a pool callback that drops it only once the
// callback has returned (FreeLibraryWhenCallbackReturns): the unload then
// happens on a pool thread after our code there has ended, while the thread
// that let go is already on its way back out of ours.
class ModuleRef {
public:
    ModuleRef() noexcept;
    ModuleRef(const ModuleRef& other) noexcept;
    ModuleRef& operator=(const ModuleRef& other) noexcept;
    ModuleRef(ModuleRef&& other) noexcept;
    ModuleRef& operator=(ModuleRef&& other) noexcept;
    ~ModuleRef();

    explicit operator bool() const noexcept { return module_ != nullptr; }

private:
    static HMODULE Take() noexcept;
    void Drop() noexcept;

    HMODULE module_;
};

} // namespace adw
