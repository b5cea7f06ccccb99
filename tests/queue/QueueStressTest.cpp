// Many producers against one worker: nothing lost, nothing twice, producer order kept, never two at once.

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "QueueTestKit.h"

using namespace queuetest;

namespace {

constexpr int kProducers = 8;
constexpr int kPerProducer = 12500; // 100,000 items in all

struct StressCase {
    const char* name;
    bool lowPower;
    int capacity;
};

void PrintTo(const StressCase& c, std::ostream* os) {
    *os << c.name;
}

// Written by the items, on the worker, one item at a time.
struct Runs {
    int last[kProducers] = {-1, -1, -1, -1, -1, -1, -1, -1}; // the last number run, per producer
    int recorded = 0;
    std::atomic<int> concurrent{0};
    std::atomic<bool> wrong{false}; // two items at once, or a producer's item out of order or twice
};

class QueueStress : public ::testing::TestWithParam<StressCase> {};

TEST_P(QueueStress, EightProducersHundredThousandItems) {
    const StressCase& c = GetParam();
    adwtest::LogCapture log;
    ItemCounters counters;
    Runs runs;
    OperationQueueFactory factory;
    std::unique_ptr<IOperationQueue> queue(c.lowPower ? factory.Create() : factory.CreateBaseQueue());
    queue->SetCapacity(c.capacity);
    queue->Start();

    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int s = 0; s < kPerProducer; ++s) {
                queue->Push(Counted(counters, [&runs, p, s] {
                    if (runs.concurrent.fetch_add(1) != 0 || s <= runs.last[p]) {
                        runs.wrong = true;
                    }
                    runs.last[p] = s;
                    ++runs.recorded;
                    runs.concurrent.fetch_sub(1);
                }));
            }
        });
    }
    for (auto& t : producers) {
        t.join();
    }
    constexpr int total = kProducers * kPerProducer;
    ASSERT_TRUE(adwtest::WaitUntil([&] { return counters.Destroyed() == total; }, std::chrono::seconds(90)))
        << "ran " << counters.ran << ", dropped " << counters.destroyedUnrun;
    queue->Stop();

    EXPECT_FALSE(runs.wrong) << "two items ran at once, or a producer's items out of order or twice";
    EXPECT_EQ(counters.copies, 0);
    EXPECT_EQ(counters.ran, counters.destroyedAfterRun);
    EXPECT_EQ(counters.ran + counters.destroyedUnrun, total);
    EXPECT_EQ(runs.recorded, counters.ran.load());
    if (c.capacity >= total) {
        EXPECT_EQ(counters.destroyedUnrun, 0);
    }
    if (c.lowPower) {
        EXPECT_EQ(log.Count(kQueueFullLine, adw::kLogInfo), counters.destroyedUnrun.load());
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, QueueStress,
                         ::testing::Values(StressCase{"LowPowerDropsPossible", true, 8},
                                           StressCase{"LowPowerNoDrops", true, 100000},
                                           StressCase{"BaseDropsPossible", false, 8},
                                           StressCase{"BaseNoDrops", false, 100000}),
                         [](const ::testing::TestParamInfo<StressCase>& info) { return std::string(info.param.name); });

} // namespace
