#pragma once

// What the reliability cases share: the manager as the host sees it with one
// undecided pop-up in the engine, a UI thread like the host's, an ad window of
// this process, and fault rows run one after another, each followed by a
// normal period that must still work.

#include <functional>
#include <string>
#include <vector>

#include "Desktop.h"
#include "HostFixture.h"

namespace reliability {

using adwtest::HostEvent;

constexpr int kInfo = 3;
constexpr int kError = 4;
constexpr wchar_t kKey[] = L"reliability-ad";

// A line at `level` that contains `fragment` (the tag and values around it may vary).
inline bool HasLine(const adwtest::LogCapture& log, const std::wstring& fragment, int level) {
    for (const KrLogRecord& line : log.Lines()) {
        if (line.level == level && line.text.find(fragment) != std::wstring::npos) return true;
    }
    return false;
}

using adwtest::VisibleWindowOfClass;

// One fault: how to cause it, what to do meanwhile and what that returns, the
// line it must leave in the log, and how to repair it. After the repair the
// row's `works` (by default: a normal period with a counted block) must hold.
struct FaultRow {
    const char* name;
    std::function<void()> cause;
    std::function<int()> act;
    int result;
    std::wstring line;
    int level;
    std::function<void()> repair;
    std::function<void()> works;
};

class ReliabilityTest : public hosttest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        SetSwitch(L"PopUpBlockingStatus", 1);
        engine.AddItem(Item(kKey, kAdPopHandleUndecided, 0, adwtest::ExePath()));
    }

    // An ad window of this process on the UI thread, which serves its messages,
    // shown without activation (a hat sits over it).
    HWND AdWindow() {
        if (ad_ == nullptr) {
            ui.Run([this] {
                ad_ = CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"ad", WS_POPUP | WS_VISIBLE, 400, 300, 300, 150,
                                      nullptr, nullptr, nullptr, nullptr);
            });
        }
        return ad_;
    }
    void TearDown() override {
        HostTest::TearDown();
        if (ad_ != nullptr) ui.Run([this] { DestroyWindow(ad_); });
    }

    // Init, the counter loaded, then a block counted, stored and sent.
    void ExpectPeriodWorks() {
        client->UnInit();
        host.Clear();
        ASSERT_EQ(client->Init(), 0);
        ASSERT_TRUE(host.WaitFor(HostEvent::BlockedTimes, 1));
        const int before = host.Values(HostEvent::BlockedTimes).back();
        ASSERT_EQ(engine.FireAdBlock(kKey), 1);
        EXPECT_TRUE(adwtest::WaitUntil([&] { return host.Values(HostEvent::BlockedTimes).back() == before + 1; }));
    }

    // A hat job for the ad window has run on the worker and on the UI thread.
    int NotifyHat(HWND window) {
        const int fired = QueueHat(kKey, window);
        ui.Run([] {});
        return fired;
    }

    // Each row starts from a stopped manager, or (`started`) from a fresh period.
    void RunRows(const std::vector<FaultRow>& rows, bool started = false) {
        for (const FaultRow& row : rows) {
            SCOPED_TRACE(row.name);
            std::printf("fault row: %s\n", row.name);
            client->UnInit();
            host.Clear();
            if (started) InitAndSettle();
            {
                adwtest::LogCapture log;
                row.cause();
                EXPECT_EQ(row.act(), row.result);
                EXPECT_TRUE(
                    adwtest::WaitUntil([&] { return HasLine(log, row.line, row.level); }, std::chrono::seconds(5)))
                    << log.Dump();
                row.repair();
            }
            row.works ? row.works() : ExpectPeriodWorks();
        }
    }

    adwtest::UiThread ui;

private:
    HWND ad_ = nullptr;
};

} // namespace reliability
