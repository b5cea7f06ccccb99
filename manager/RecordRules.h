#pragma once

#include <windows.h>

namespace KelvaneCenter {

// 14 days and 1 second, in 100 ns units.
constexpr unsigned long long kRecentBlockSpan = 12096010000000ULL;

// Whether a pop-up last blocked at `lastBlock` counts as blocked recently at
// `now` (both local times): a block time in the future counts as recent. A time
// that cannot be converted counts as not recent, so a corrupt engine value
// never adds a record.
bool IsBlockedRecently(const SYSTEMTIME& lastBlock, const SYSTEMTIME& now);

// The block counter is stored in the registry, where anyone may have put any
// value: its arithmetic stops at the ends of int instead of wrapping around.
// `base` plus the blocks counted since the counter read `since`:
int RebasedCount(int base, int current, int since);
// One block more:
int CountedOnce(int count);

} // namespace KelvaneCenter
