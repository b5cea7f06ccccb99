// The telemetry stand-in, as far as the reporter's tests rely on it: a captured
// event keeps its id and its pairs in order, integers marked, and the
// reporter's `event = event.PutString(...)` changes nothing but the added pair.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qeevent/QeEvent.h"
#include "qeevent/QeEventCapture.h"

TEST(QeEvent, CaptureKeepsIdAndPairsInOrderThroughSelfAssignment) {
    QeEventCapture::Begin();
    QeEvent event(992614519);
    event = event.PutString("manner", "CLICK_BLOCKING");
    event = event.PutString("windowInfo", "{}");
    event = event.PutInt("count", -7);
    QeView::Report(event);
    const std::vector<QeCapturedEvent> events = QeEventCapture::Events();
    QeEventCapture::End();

    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, 992614519);
    std::vector<std::string> pairs;
    for (const QeCapturedPair& pair : events[0].pairs) {
        pairs.push_back(pair.key + (pair.isInt ? "#" : "=") + pair.value);
    }
    EXPECT_EQ(pairs, (std::vector<std::string>{"manner=CLICK_BLOCKING", "windowInfo={}", "count#-7"}));
}
