#pragma once

#include <windows.h>

namespace adw {

// A pointer per thread, in a Windows TLS slot taken when the module loads and
// given back when it unloads. Not C++ thread_local: with this toolchain that
// goes through the threading runtime linked into the module, which keeps a
// record per thread (a duplicated thread handle and a block of memory) that
// only the thread's exit frees, so every thread of the host that ever touched
// one would leak them at each unload. Define it at namespace scope, so that it
// is made while the loader runs the module alone.
template <typename T>
class ThreadSlot {
public:
    ThreadSlot() noexcept : index_(::TlsAlloc()) {}
    ~ThreadSlot() {
        if (index_ != TLS_OUT_OF_INDEXES) {
            ::TlsFree(index_);
        }
    }
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    // Null until this thread sets it, and always without a slot.
    T* Get() const noexcept {
        if (index_ == TLS_OUT_OF_INDEXES) {
            return nullptr;
        }
        const DWORD error = ::GetLastError(); // TlsGetValue clears it, and callers may be between a call and its error
        T* value = static_cast<T*>(::TlsGetValue(index_));
        ::SetLastError(error);
        return value;
    }
    void Set(T* value) const noexcept {
        if (index_ != TLS_OUT_OF_INDEXES) {
            ::TlsSetValue(index_, const_cast<void*>(static_cast<const void*>(value)));
        }
    }

private:
    DWORD index_;
};

} // namespace adw
