#include <gtest/gtest.h>

#include <atomic>

#include "TestSupport.h"
#include "common/Rundown.h"

namespace {

// A nested call refused because another thread has begun closing leaves the
// outer call of this thread counted as its own: Close on this thread then
// waits only for the others, and the closer still waits for this one.
TEST(Rundown, ARefusedNestedCallKeepsTheOuterOneHeldByItsThread) {
    adw::Rundown rundown;
    ASSERT_TRUE(rundown.Acquire());
    std::atomic<bool> closed{false};
    auto closer = adwtest::RunDetached([&] { closed = rundown.Close(); });
    ASSERT_FALSE(adwtest::WaitUntil([&] { return closed.load(); }, std::chrono::milliseconds(100)));
    EXPECT_FALSE(rundown.Acquire()); // refused: closing
    EXPECT_TRUE(rundown.Close(2000)) << "this thread's own outer call was taken for another's";
    rundown.Release();
    adwtest::ExpectReturns(closer, "Close");
    EXPECT_TRUE(closed.load());
}

TEST(Rundown, ABoundedCloseGivesUpAndStaysClosed) {
    adw::Rundown rundown;
    std::atomic<bool> inside{false}, leave{false};
    auto call = adwtest::RunDetached([&] {
        adw::RundownRef ref(rundown);
        inside = true;
        adwtest::WaitUntil([&] { return leave.load(); });
    });
    ASSERT_TRUE(adwtest::WaitUntil([&] { return inside.load(); }));
    EXPECT_FALSE(rundown.Close(50));
    EXPECT_FALSE(rundown.Acquire());
    leave = true;
    adwtest::ExpectReturns(call, "the call");
    EXPECT_TRUE(rundown.Close(2000));
}

} // namespace
