#pragma once

namespace adpop {

// Nothing thrown inside the engine crosses its interface or its C exports.
template <typename Result, typename Fn>
Result Guarded(Result failed, Fn&& fn) noexcept {
    try {
        return fn();
    } catch (...) {
        return failed;
    }
}

} // namespace adpop
