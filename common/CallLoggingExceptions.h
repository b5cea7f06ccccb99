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

} // namespace adw
