// Load: 8 engine threads notifying all four kinds while the host lists records
// and toggles the switches, then UnInit. Prints the throughput.

#include <set>
#include <thread>

#include "ReliabilityFixture.h"
#include "qeevent/QeEventCapture.h"

namespace reliability {
namespace {

using Load = ReliabilityTest;

constexpr unsigned kThreads = 8;
constexpr unsigned long long kPerThread = 100000;
constexpr int kAutoBlockEvent = 992614520;
constexpr int kSuspectedWindowEvent = 992614523;

TEST_F(Load, EightEngineThreadsNotifyingWhileTheHostListsAndToggles) {
    const std::set<std::wstring> keys = {kKey, L"load-blocked", L"load-allowed"};
    engine.AddItem(Item(L"load-blocked", kAdPopHandleBlocked));
    engine.AddItem(Item(L"load-allowed", kAdPopHandleAllowed));
    InitAndSettle();
    QeEventCapture::Begin();
    adwtest::LogCapture log;

    // The host meanwhile: listings and switch changes, as fast as they come back.
    std::atomic<bool> hostDone{false};
    std::atomic<long> hostCalls{0};
    std::thread hostThread([&] {
        for (int i = 0; !hostDone; ++i) {
            client->GetBlockingRecords();
            settings->SetBlockingState(i % 2);
            settings->SetPowerState((i / 2) % 2);
            ++hostCalls;
        }
    });

    const unsigned long long target = kThreads * kPerThread;
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(engine.StartStorm(kThreads, kKey, nullptr));
    const bool reached = adwtest::WaitUntil([&] { return engine.StormCalls() >= target; }, std::chrono::minutes(4));
    EXPECT_TRUE(engine.StopStorm()) << "an engine thread did not come back";
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    hostDone = true;
    hostThread.join();
    ASSERT_TRUE(reached) << engine.StormCalls() << " of " << target << " in 4 minutes";

    // Each storm loop delivers the four kinds in turn and stops only between loops.
    const unsigned long long sent = engine.StormCalls();
    ASSERT_EQ(sent % 4, 0u);
    const unsigned long long blocks = sent / 4;
    size_t records = 0, unknown = 0;
    for (const auto& e : host.Events()) {
        for (const auto& r : e.records) {
            ++records;
            unknown += keys.count(r.popupId) == 0;
        }
    }
    EXPECT_EQ(unknown, 0u) << "records of unknown keys";
    host.Clear();
    client->GetBlockedTimes(); // jobs still queued send the same total
    for (int counter : host.Values(HostEvent::BlockedTimes))
        EXPECT_EQ(static_cast<unsigned long long>(counter), blocks);

    adwtest::ExpectReturns(adwtest::RunDetached([&] { client->UnInit(); }), "UnInit after the load");

    // Every report was either sent or counted as dropped in the log.
    const auto reports = [&] {
        size_t n = 0;
        for (const auto& e : QeEventCapture::Events()) n += e.id == kAutoBlockEvent || e.id == kSuspectedWindowEvent;
        return n;
    };
    size_t events = reports();
    EXPECT_TRUE(adwtest::WaitUntil(
        [&] {
            const size_t now = reports();
            const bool settled = now == events;
            events = now;
            return settled;
        },
        std::chrono::seconds(60)));
    const auto lines = log.Lines();
    size_t dropped = 0, queueFull = 0;
    for (const auto& line : lines) {
        for (const wchar_t* report : {L"ReportAutoBlock)", L"ReportSuspectedWindow)"}) {
            dropped += line.text.find(std::wstring(L"report queue full, event dropped(KelvaneCenter::DataReporter::") +
                                      report) != std::wstring::npos;
        }
        queueFull += line.text.find(L"operation queue full") != std::wstring::npos;
    }
    EXPECT_EQ(events + dropped, 2 * blocks); // one report per block and per other-ad notification

    std::printf(
        "load: %llu notifications (%llu blocks) from %u engine threads in %.1f s: %.0f per second; "
        "host calls meanwhile %ld; records %zu; jobs dropped by the full queue %zu; reports sent %zu, dropped %zu\n",
        sent, blocks, kThreads, seconds, static_cast<double>(sent) / seconds, hostCalls.load(), records, queueFull,
        events, dropped);
    QeEventCapture::End();
    ExpectPeriodWorks();
}

} // namespace
} // namespace reliability
