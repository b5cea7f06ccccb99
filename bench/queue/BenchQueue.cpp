// Push cost on the producer's thread and push-to-run latency of the operation
// queues, against the system thread pool's submit measured in the same run.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "queue/LowPowerOperationQueue.h"
#include "queue/OperationQueueBase.h"

namespace {

using Item = std::function<void()>;

double TicksPerMicrosecond() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1e6;
}
const double kTicksPerUs = TicksPerMicrosecond();

long long Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Us(long long ticks) {
    return static_cast<double>(ticks) / kTicksPerUs;
}

void SpinUntil(const std::function<bool()>& done) {
    const long long deadline = Now() + static_cast<long long>(10e6 * kTicksPerUs);
    while (!done() && Now() < deadline) {
        SwitchToThread();
    }
}

struct Stats {
    double median = 0;
    double p99 = 0;
};

Stats Summarise(std::vector<double> values) {
    Stats s;
    if (values.empty()) {
        return s;
    }
    std::sort(values.begin(), values.end());
    s.median = values[values.size() / 2];
    s.p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
    return s;
}

// One way of handing an item to another thread.
struct Target {
    std::string name;
    std::function<void(Item)> submit;
    std::function<bool()> idle; // true once the previous hand-over has fully ended
};

void CALLBACK RunPoolItem(PTP_CALLBACK_INSTANCE, void* context) {
    std::unique_ptr<Item> item(static_cast<Item*>(context));
    (*item)();
}

void SubmitToPool(Item item) {
    auto* context = new Item(std::move(item));
    if (!TrySubmitThreadpoolCallback(&RunPoolItem, context, nullptr)) {
        delete context;
        std::fprintf(stderr, "TrySubmitThreadpoolCallback failed: %lu\n", GetLastError());
    }
}

class MeasuredLowPower : public LowPowerOperationQueue {
public:
    bool Idle() const { return !workerActive_; }
};

struct Result {
    Stats cost;
    Stats latency;
};

// Isolated pushes: each to an idle target, the next only after the previous has run and ended.
Result Isolated(const Target& target, int samples) {
    std::vector<double> cost;
    std::vector<double> latency;
    for (int i = 0; i < samples; ++i) {
        std::atomic<long long> ranAt{0};
        Item item = [&ranAt] { ranAt = Now(); };
        const long long t0 = Now();
        target.submit(std::move(item));
        const long long t1 = Now();
        SpinUntil([&] { return ranAt != 0; });
        cost.push_back(Us(t1 - t0));
        latency.push_back(Us(ranAt - t0));
        SpinUntil(target.idle);
        Sleep(1);
    }
    return {Summarise(cost), Summarise(latency)};
}

// Bursts: `producers` threads push back to back, `perProducer` items each, per burst.
Result Burst(const Target& target, int producers, int perProducer, int bursts) {
    std::vector<double> cost;
    std::vector<double> latency;
    const int n = producers * perProducer;
    std::vector<long long> pushedAt(static_cast<size_t>(n));
    std::unique_ptr<std::atomic<long long>[]> ranAt(new std::atomic<long long>[static_cast<size_t>(n)]);
    std::vector<double> pushCost(static_cast<size_t>(n));
    for (int b = 0; b < bursts; ++b) {
        for (int i = 0; i < n; ++i) {
            ranAt[static_cast<size_t>(i)] = 0;
        }
        std::atomic<int> ran{0};
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int p = 0; p < producers; ++p) {
            threads.emplace_back([&, p] {
                ++ready;
                while (!go) {
                    SwitchToThread();
                }
                for (int k = 0; k < perProducer; ++k) {
                    const size_t slot = static_cast<size_t>(p * perProducer + k);
                    auto* at = &ranAt[slot];
                    Item item = [at, &ran] {
                        *at = Now();
                        ++ran;
                    };
                    const long long t0 = Now();
                    pushedAt[slot] = t0;
                    target.submit(std::move(item));
                    pushCost[slot] = Us(Now() - t0);
                }
            });
        }
        SpinUntil([&] { return ready == producers; });
        go = true;
        for (auto& t : threads) {
            t.join();
        }
        SpinUntil([&] { return ran == n; });
        SpinUntil(target.idle);
        for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
            cost.push_back(pushCost[i]);
            latency.push_back(Us(ranAt[i] - pushedAt[i]));
        }
        Sleep(5);
    }
    return {Summarise(cost), Summarise(latency)};
}

void Print(const char* scenario, const std::vector<Target>& targets, const std::vector<Result>& results) {
    const Result& base = results.back(); // the pool is measured last in each scenario
    std::printf("\n%s\n", scenario);
    std::printf("  %-24s %10s %10s %8s | %10s %10s %8s\n", "", "push med", "push p99", "x pool", "run med",
                "run p99", "x pool");
    for (size_t i = 0; i < targets.size(); ++i) {
        const Result& r = results[i];
        std::printf("  %-24s %8.1fus %8.1fus %7.2fx | %8.1fus %8.1fus %7.2fx\n", targets[i].name.c_str(), r.cost.median,
                    r.cost.p99, r.cost.median / base.cost.median, r.latency.median, r.latency.p99,
                    r.latency.median / base.latency.median);
    }
}

} // namespace

int main() {
    MeasuredLowPower lowPower;
    OperationQueueBase baseQueue;
    lowPower.SetCapacity(100000);
    baseQueue.SetCapacity(100000);
    lowPower.Start();
    baseQueue.Start();

    const std::vector<Target> targets = {
        {"LowPowerOperationQueue", [&](Item item) { lowPower.Push(std::move(item)); }, [&] { return lowPower.Idle(); }},
        {"OperationQueueBase", [&](Item item) { baseQueue.Push(std::move(item)); }, [] { return true; }},
        {"thread pool (baseline)", &SubmitToPool, [] { return true; }},
    };

    // What a worker of its own per busy period would cost: start a thread and wait until it runs.
    const Target threadStart = {"new thread (reference)",
                                [](Item item) {
                                    std::atomic<bool> started{false};
                                    std::thread t([&started, item = std::move(item)] {
                                        started = true;
                                        item();
                                    });
                                    while (!started) {
                                        SwitchToThread();
                                    }
                                    t.detach();
                                },
                                [] { return true; }};

    // Warm up the pool's threads and the queues' workers.
    for (const auto& t : targets) {
        Isolated(t, 20);
    }

    std::printf("Queue hand-over under this system (us = microseconds; x pool = median / thread pool median)\n");
    {
        std::vector<Target> withReference = {targets[0], targets[1], threadStart, targets[2]};
        std::vector<Result> results;
        for (const auto& t : withReference) {
            results.push_back(Isolated(t, t.name == threadStart.name ? 60 : 400));
        }
        Print("Isolated push to an idle queue (1 producer)", withReference, results);
    }
    for (int producers : {1, 4}) {
        std::vector<Result> results;
        for (const auto& t : targets) {
            results.push_back(Burst(t, producers, 1000 / producers, 30));
        }
        const std::string scenario = "Bursts of 1000 pushes, " + std::to_string(producers) + " producer(s)";
        Print(scenario.c_str(), targets, results);
    }

    lowPower.Stop();
    baseQueue.Stop();
    return 0;
}
