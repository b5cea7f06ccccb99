#pragma once

#include <string>
#include <vector>

#include "qeevent/QeEventCapture.h"

namespace qeevent {

// One event as one JSON line (no newline): {"id":N,"pairs":[["key","text"],["count",3]]}.
// Strings are escaped for '"', '\' and control characters; every other byte passes
// unchanged, since the callers' narrow texts are in the system code page, not UTF-8.
std::string EventToJsonLine(int id, const std::vector<QeCapturedPair>& pairs);

} // namespace qeevent
