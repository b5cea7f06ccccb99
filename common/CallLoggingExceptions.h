#pragma once

#include <exception>

#include "common/LogLine.h"

namespace adw {

// Calls `fn` at a thread or callback edge: an exception it throws is logged at
// level 4 as `what` followed by the exception's text, tagged `tag`, and goes no further.
template <typename Fn>
void CallLoggingExceptions(Fn&& fn, const char* tag, const char* what) noexcept {
    try {
        fn();
    } catch (const std::exception& e) {
        LogLine(kLogError, tag, what, e.what());
    } catch (...) {
        LogLine(kLogError, tag, what, "unknown exception");
    }
}

// The same at an edge that answers: `fn`'s result, or `failed` when it threw.
template <typename Result, typename Fn>
Result ReturnLoggingExceptions(Fn&& fn, Result failed, const char* tag, const char* what) noexcept {
    Result result = failed;
    CallLoggingExceptions([&] { result = fn(); }, tag, what);
    return result;
}

} // namespace adw
