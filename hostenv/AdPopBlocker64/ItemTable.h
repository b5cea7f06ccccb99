#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "AdPopBlocker64/ScriptedItem.h"

namespace adpop {

// The engine's pop-ups in index order. Items taken out of the table stay alive
// until Reset, as a real engine keeps an item valid while its tracker lives.
class ItemTable {
public:
    void Reset();
    unsigned Add(const AdPopScriptItem& script);
    bool Remove(const wchar_t* key);
    // Failure scripted for GetPopWndItem(index).
    void FailAt(unsigned index, int result, bool leaveNull);
    // null key: the answer of every item without one of its own.
    bool SetHandleTypeResult(const wchar_t* key, int result);

    unsigned Count();
    int ItemAt(unsigned index, PopWndItem** out);
    int ByKey(const wchar_t* key, PopWndItem** out);
    int HandleTypeOf(const wchar_t* key);

    // The table lock as every lookup takes it. An engine may notify while
    // holding it, and its own lookups from inside the notification take it again.
    std::unique_lock<std::recursive_mutex> Lock();
    // Threads waiting for the table lock right now.
    int Waiters() const { return waiters_.load(); }

private:
    struct Failure {
        int result;
        bool leaveNull;
    };

    ScriptedItem* FindLocked(const wchar_t* key) const;

    std::recursive_mutex mutex_;
    std::atomic<int> waiters_{0};
    std::vector<std::unique_ptr<ScriptedItem>> owned_;
    std::vector<ScriptedItem*> listed_;
    std::map<unsigned, Failure> failures_;
    std::atomic<int> defaultHandleTypeResult_{1};
};

} // namespace adpop
