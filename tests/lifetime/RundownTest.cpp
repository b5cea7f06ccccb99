#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "TestSupport.h"
#include "common/Rundown.h"

namespace {

// A nested call refused because another thread has begun closing leaves the
// outer call of this thread counted as its own: Close on this thread then
// waits only for the others, and the closer still waits for this one.
TEST(Rundown, ARefusedNestedCallKeepsTheOuterOneHeldByItsThread) {
    adw::Rundown rundown;
    auto outer = std::make_unique<adw::RundownRef>(rundown);
    ASSERT_TRUE(*outer);
    std::atomic<bool> closed{false};
    auto closer = adwtest::RunDetached([&] { closed = rundown.Close(); });
    ASSERT_FALSE(adwtest::WaitUntil([&] { return closed.load(); }, std::chrono::milliseconds(100)));
    EXPECT_FALSE(adw::RundownRef(rundown)); // refused: closing
    EXPECT_TRUE(rundown.Close(2000)) << "this thread's own outer call was taken for another's";
    outer.reset();
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
    EXPECT_FALSE(adw::RundownRef(rundown));
    leave = true;
    adwtest::ExpectReturns(call, "the call");
    EXPECT_TRUE(rundown.Close(2000));
}

} // namespace
