#pragma once

// Owners of Win32 handles: one small type per kind of handle, each closing what
// it holds exactly once. Traits say what "no handle" is and how to close one.

#include <windows.h>

#include <utility>

namespace adw {

template <typename Traits>
class UniqueResource {
public:
    using pointer = typename Traits::pointer;

    UniqueResource() noexcept = default;
    explicit UniqueResource(pointer value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::IsValid(value_); }

    pointer release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    void reset(pointer value = Traits::Invalid()) noexcept {
        pointer old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            Traits::Close(old);
        }
    }

    // For out-parameters: closes what is held and hands out the slot.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};

struct ModuleTraits {
    using pointer = HMODULE;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::FreeLibrary(h); }
};

struct LocalMemTraits {
    using pointer = HLOCAL;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::LocalFree(h); }
};

struct RegKeyTraits {
    using pointer = HKEY;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::RegCloseKey(h); }
};

struct ThreadpoolTraits {
    using pointer = PTP_POOL;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer p) noexcept { return p != nullptr; }
    static void Close(pointer p) noexcept { ::CloseThreadpool(p); }
};

struct HookTraits {
    using pointer = HHOOK;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::UnhookWindowsHookEx(h); }
};

struct WinEventHookTraits {
    using pointer = HWINEVENTHOOK;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::UnhookWinEvent(h); }
};

struct GdiObjectTraits {
    using pointer = HGDIOBJ;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::DeleteObject(h); }
};

struct BitmapTraits {
    using pointer = HBITMAP;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::DeleteObject(h); }
};

struct MemoryDcTraits {
    using pointer = HDC;
    static pointer Invalid() noexcept { return nullptr; }
    static bool IsValid(pointer h) noexcept { return h != nullptr; }
    static void Close(pointer h) noexcept { ::DeleteDC(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>; // events, processes, threads, tokens
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueLocalMem = UniqueResource<LocalMemTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueThreadpool = UniqueResource<ThreadpoolTraits>;
using UniqueHook = UniqueResource<HookTraits>; // held by the thread that installed it
using UniqueWinEventHook = UniqueResource<WinEventHookTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>; // pens, brushes, fonts, bitmaps
using UniqueBitmap = UniqueResource<BitmapTraits>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>; // from CreateCompatibleDC

} // namespace adw
