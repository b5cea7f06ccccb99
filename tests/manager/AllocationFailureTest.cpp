// No exception leaves the host interface: every allocation the library makes
// during an operation is failed in turn, and the operation must still answer
// with one of its codes. Linked from the library's objects, so this program's
// own operator new is the library's.

#include <atomic>
#include <new>
#include <set>

#include "HostFixture.h"
#include "manager/AdWarden.h"
#include "vendor/PopUpBlockingVendor.h"

namespace {

// The allocation to fail, counted down from the moment a sweep step arms it; -1: none.
std::atomic<long> g_failIn{-1};

bool FailThisOne() {
    return g_failIn.load() >= 0 && g_failIn.fetch_sub(1) == 0;
}

} // namespace

void* operator new(std::size_t size) {
    void* p = FailThisOne() ? nullptr : ::HeapAlloc(::GetProcessHeap(), 0, size != 0 ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void operator delete(void* p) noexcept {
    ::HeapFree(::GetProcessHeap(), 0, p);
}

void operator delete(void* p, std::size_t) noexcept {
    ::HeapFree(::GetProcessHeap(), 0, p);
}

namespace hosttest {
namespace {

class AllocationFailure : public HostTest {
protected:
    // Calls `op` with its n-th allocation failed, for n = 0, 1, ... until a run
    // makes no more allocations than that; every result must be in `allowed`.
    template <typename Op>
    void Sweep(const char* name, Op op, const std::set<long>& allowed, const std::function<void()>& reset = [] {}) {
        for (long n = 0;; ++n) {
            g_failIn = n;
            const long result = op();
            const bool failedOne = g_failIn.exchange(-1) < 0;
            EXPECT_TRUE(allowed.count(result)) << name << " with allocation " << n << " failed: " << result;
            reset();
            if (!failedOne || n > 2000) break;
        }
    }

    KelvaneCenter::AdWarden& manager = KelvaneCenter::AdWarden::Instance();
};

TEST_F(AllocationFailure, EveryOperationAnswersWithACode) {
    engine.AddItem(Item(L"k", 2));
    adwtest::LogCapture log;
    Sweep("Init", [&] {
        host.Clear();
        const int result = manager.Init();
        // A failed Init is told to the host as well.
        EXPECT_TRUE(result != 100 || host.Values(HostEvent::Error) == std::vector<int>{100}) << result;
        return result;
    }, {0, 100}, [&] { manager.UnInit(); });
    EXPECT_GT(log.CountPrefix(L"failed by an exception: "), 0) << "no allocation failure reached the edge";

    ASSERT_EQ(manager.Init(), 0);
    Sweep("GetBlockingRecords", [&] { return static_cast<long>(manager.GetBlockingRecords()); }, {0, 206});
    Sweep("SetBlockingStatus", [&] { return static_cast<long>(manager.SetBlockingStatus(L"k", true)); }, {0, 407});
    Sweep("SetPowerState", [&] { return static_cast<long>(manager.SetPowerState(1)); }, {0, 100});
    manager.UnInit();
    ASSERT_EQ(manager.Init(), 0) << "the manager did not start again after the sweep";
}

// Whichever allocation fails inside it, UnInit lets go of the engine and the
// queue, and the next Init starts them again.
TEST_F(AllocationFailure, UnInitReleasesEverythingWhateverAllocationFails) {
    engine.AddItem(Item(L"k", 2));
    ASSERT_EQ(manager.Init(), 0);
    const int released = engine.ReleaseCalls();
    long sweeps = 0;
    Sweep("UnInit", [&] {
        manager.UnInit();
        ++sweeps;
        return g_pAdPopWndTracker == nullptr && engine.ReleaseCalls() == released + sweeps ? 0L : 1L;
    }, {0}, [&] {
        EXPECT_EQ(manager.GetBlockingRecords(), 206u) << "the queue outlived UnInit";
        ASSERT_EQ(manager.Init(), 0);
    });
}

} // namespace
} // namespace hosttest
