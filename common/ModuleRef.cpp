#include "common/ModuleRef.h"

#include <utility>


namespace adw {

namespace {

void CALLBACK ReleaseModule(PTP_CALLBACK_INSTANCE instance, void* module) noexcept {
    ::FreeLibraryWhenCallbackReturns(instance, static_cast<HMODULE>(module));
}

} // namespace

ModuleRef::ModuleRef() noexcept : module_(Take()) {}

ModuleRef::ModuleRef(const ModuleRef& other) noexcept : module_(other.module_ != nullptr ? Take() : nullptr) {}

ModuleRef& ModuleRef::operator=(const ModuleRef& other) noexcept {
    if (this != &other) {
        Drop();
        module_ = other.module_ != nullptr ? Take() : nullptr;
    }
    return *this;
}

ModuleRef::ModuleRef(ModuleRef&& other) noexcept : module_(std::exchange(other.module_, nullptr)) {}

ModuleRef& ModuleRef::operator=(ModuleRef&& other) noexcept {
    if (this != &other) {
        Drop();
        module_ = std::exchange(other.module_, nullptr);
    }
    return *this;
}

ModuleRef::~ModuleRef() {
    Drop();
}

HMODULE ModuleRef::Take() noexcept {
    static const char anchor = 0;
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&anchor), &module)) {
        return nullptr;
    }
    return module;
}

void ModuleRef::Drop() noexcept {
    const HMODULE module = std::exchange(module_, nullptr);
    if (module == nullptr) {
        return;
    }
    if (module == ::GetModuleHandleW(nullptr)) {
        ::FreeLibrary(module); // linked into the executable: never unloaded
        return;
    }
    // Should the pool refuse, the reference stays: a library kept loaded is
    // the safe loss, code unloaded under a running caller is not.
    ::TrySubmitThreadpoolCallback(&ReleaseModule, module, nullptr);
}

} // namespace adw
