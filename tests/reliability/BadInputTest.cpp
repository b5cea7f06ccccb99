// Bad input from the engine and the host: each row has a defined result, and
// where the input is refused or replaced, a log line; none crashes or hangs,
// and a normal block still counts afterwards.

#include <climits>
#include <iterator>
#include <tuple>

#include "DuiLib/UIMainQueue.h"
#include "ReliabilityFixture.h"

namespace reliability {
namespace {

using BadInput = ReliabilityTest;

const std::wstring kHugeText(512 * 1024, L'k');                        // 1 MiB of UTF-16
const std::wstring kBrokenText = L"lone \xD800 high, lone \xDC00 low"; // not valid UTF-16

// Keys no engine item has (null, empty) are logged and dropped; huge and
// broken keys of listed items are keys like any other: their records reach
// the host unchanged.
TEST_F(BadInput, KeysOfEveryNotification) {
    for (const std::wstring& text : {kHugeText, kBrokenText}) {
        adpop::EngineItem item = Item(text, kAdPopHandleUndecided);
        item.textA = item.textB = item.softwareName = text;
        engine.AddItem(item);
    }
    InitAndSettle();
    const HWND ad = AdWindow();
    // Each kind of notification, for a key; the line it leaves, or none when the record arrives unchanged instead.
    const std::function<int(const wchar_t*)> kinds[] = {[&](const wchar_t* key) { return engine.FireAdHat(key, ad); },
                                                        [&](const wchar_t* key) { return engine.FireAdBlock(key); },
                                                        [&](const wchar_t* key) { return engine.FireOtherAd(key, ad); }};
    const wchar_t* nullKeyLines[] = {L"key is null(KelvaneCenter::AdWarden::CallBackAdHat)", L"AdBlockNotify lpkey is nullptr",
                                     L"key is null(KelvaneCenter::AdWarden::CallBackOtherAdNotify)"};
    struct Row { int kind; const wchar_t* key; std::wstring line; const std::wstring* listed; };
    std::vector<Row> rows;
    for (int kind = 0; kind < 3; ++kind) {
        rows.push_back({kind, nullptr, nullKeyLines[kind], nullptr});
        rows.push_back({kind, L"", L"pItem is null", nullptr});
        for (const std::wstring* key : {&kHugeText, &kBrokenText}) rows.push_back({kind, key->c_str(), L"", key});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << row.kind << " line " << row.line);
        adwtest::LogCapture log;
        host.Clear();
        EXPECT_EQ(kinds[row.kind](row.key), 1);
        if (row.listed == nullptr) {
            EXPECT_TRUE(adwtest::WaitUntil([&] { return HasLine(log, row.line, kError); })) << log.Dump();
        } else { // a record of an earlier row may still arrive after the clear: this row's is looked up by its key
            std::wstring textA;
            EXPECT_TRUE(adwtest::WaitUntil([&] {
                for (const auto& e : host.OfKind(HostEvent::Record))
                    if (e.records[0].popupId == *row.listed) textA = e.records[0].textA;
                return !textA.empty();
            }));
            EXPECT_EQ(textA, *row.listed); // texts too, unchanged
        }
    }
    ui.Run([] {}); // the hats of the huge and broken keys were made, or refused, without a fault
    ExpectPeriodWorks();
}

// Texts of listed items: empty, huge and broken come through unchanged;
// pop-up types out of range are passed to the host as they are and described
// as unclassified, with a line.
TEST_F(BadInput, ItemAccessorsAndPopupTypes) {
    // Each item's texts (all four accessors) and pop-up type.
    const struct { std::wstring text; int type; } items[] = {{L"", 1}, {kHugeText, 1}, {kBrokenText, 1}, {L"typed", -1},
                                                              {L"typed", 6}, {L"typed", INT_MAX}, {L"typed", INT_MIN}};
    for (const auto& i : items) {
        adpop::EngineItem item = Item(L"item-" + std::to_wstring(&i - items), kAdPopHandleUndecided);
        item.textA = item.textB = item.softwareName = item.exePath = i.text;
        item.popupType = i.type;
        engine.AddItem(item);
    }
    InitAndSettle();
    adwtest::LogCapture log;
    ASSERT_EQ(client->GetBlockingRecords(), 0u);
    ASSERT_TRUE(host.WaitFor(HostEvent::Records, 1));
    const auto listed = host.OfKind(HostEvent::Records)[0].records; // the fixture's item, then one each, in order
    ASSERT_EQ(listed.size(), 1 + std::size(items));
    for (const auto& i : items) {
        const auto& record = listed[static_cast<size_t>(1 + (&i - items))];
        SCOPED_TRACE(record.popupId);
        EXPECT_EQ(std::make_tuple(record.textA, record.textB, record.popupType), std::make_tuple(i.text, i.text, i.type));
        if (i.type == 1) continue;
        EXPECT_EQ(engine.FireOtherAd(record.popupId.c_str(), AdWindow()), 1); // described for telemetry
        EXPECT_TRUE(adwtest::WaitUntil([&] {
            return HasLine(log, L"unknown pop-up type, described as unclassified: " + std::to_wstring(i.type), kInfo);
        })) << log.Dump();
    }
    ExpectPeriodWorks();
}

// Window handles that name no window any more, at the notification or by the
// time the hat is made, or another program's window: no hat, a line.
TEST_F(BadInput, StaleDestroyedAndReusedWindowHandles) {
    InitAndSettle();
    const HWND destroyed = CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    for (HWND window : {destroyed, reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7FFFFFF0))}) {
        adwtest::LogCapture log;
        host.Clear();
        EXPECT_EQ(NotifyHat(window), 1);
        EXPECT_EQ(engine.FireOtherAd(kKey, window), 1);
        EXPECT_TRUE(adwtest::WaitUntil([&] { return log.CountPrefix(L"pItem is null") >= 2; })) << log.Dump();
        EXPECT_EQ(host.CountOf(HostEvent::Record), 0u);
        EXPECT_EQ(VisibleWindowOfClass(L"BlockingPopup"), nullptr);
    }
    // The ad window goes after its record, while the hat job waits for the UI thread.
    adwtest::LogCapture log;
    const HWND late = CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"late", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100,
                                      nullptr, nullptr, nullptr, nullptr);
    adw::UniqueHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    host.Clear();
    ASSERT_TRUE(DuiLib::UIMainQueue::getInstance().dispatch([&] { WaitForSingleObject(gate.get(), 10000); }));
    EXPECT_EQ(QueueHat(kKey, late), 1); // the hat job has handed over to the UI thread
    DestroyWindow(late);
    SetEvent(gate.get());
    EXPECT_TRUE(ui.Run([] {}));
    EXPECT_EQ(VisibleWindowOfClass(L"BlockingPopup"), nullptr);
    EXPECT_TRUE(HasLine(log, L"ad window gone before its hat was made", kInfo)) << log.Dump();
    // The handle names a window of another program than the pop-up's (as when
    // the ad window went and its handle was reused): the record, but no hat.
    engine.AddItem(Item(L"fixture-program", kAdPopHandleUndecided));
    host.Clear();
    EXPECT_EQ(QueueHat(L"fixture-program", AdWindow()), 1);
    EXPECT_TRUE(ui.Run([] {}));
    EXPECT_EQ(host.CountOf(HostEvent::Record), 1u);
    EXPECT_EQ(VisibleWindowOfClass(L"BlockingPopup"), nullptr);
    EXPECT_TRUE(HasLine(log, L"ad window now belongs to another program, no hat: ", kError)) << log.Dump();
    ExpectPeriodWorks();
}

} // namespace
} // namespace reliability
