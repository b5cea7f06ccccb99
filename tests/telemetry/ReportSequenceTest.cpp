#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "common/LogLine.h"
#include "telemetry/ReportSequence.h"

using KelvaneCenter::ReportSequence;
using Sent = std::vector<std::uint64_t>;

namespace {

// Delivers `ticket`, whose send records it in `sent`.
void Deliver(ReportSequence& sequence, std::uint64_t ticket, Sent& sent) {
    sequence.Deliver(ticket, [&sent, ticket] { sent.push_back(ticket); });
}

TEST(ReportSequence, ReportsGoOutInTicketOrderHoweverTheyArrive) {
    ReportSequence sequence(16);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(sequence.Take(), static_cast<std::uint64_t>(i));
    Sent sent;
    // (ticket delivered, everything sent after it)
    const std::pair<std::uint64_t, Sent> steps[] = {
        {2, {}}, {0, {0}}, {4, {0}}, {1, {0, 1, 2}}, {3, {0, 1, 2, 3, 4}}};
    for (const auto& step : steps) {
        Deliver(sequence, step.first, sent);
        EXPECT_EQ(sent, step.second) << "after ticket " << step.first;
    }
}

// A ticket that never comes holds back no more than the bound; sent late, it still goes.
TEST(ReportSequence, ALostTicketIsGivenUpBeyondTheBoundAndSentLateWhenItComes) {
    adwtest::LogCapture log;
    ReportSequence sequence(2);
    for (int i = 0; i < 4; ++i) sequence.Take();
    Sent sent;
    Deliver(sequence, 1, sent);
    Deliver(sequence, 2, sent);
    EXPECT_TRUE(sent.empty());
    Deliver(sequence, 3, sent);
    EXPECT_EQ(sent, (Sent{1, 2, 3}));
    EXPECT_TRUE(log.Has(L"reports waited too long for an earlier one, sent without it: 0"
                        L"(KelvaneCenter::ReportSequence::Deliver)",
                        adw::kLogError))
        << log.Dump();
    Deliver(sequence, 0, sent);
    EXPECT_EQ(sent, (Sent{1, 2, 3, 0}));
}

TEST(ReportSequence, ThreadsTakingAndDeliveringTogetherSendEveryTicketOnceInOrder) {
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    ReportSequence sequence(kThreads * kEach);
    Sent sent; // written only by sends, which the sequence runs one at a time
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) Deliver(sequence, sequence.Take(), sent);
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(sent.size(), static_cast<size_t>(kThreads * kEach));
    for (size_t i = 0; i < sent.size(); ++i) ASSERT_EQ(sent[i], i);
}

} // namespace
