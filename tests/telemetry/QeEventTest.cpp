#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "qeevent/QeEvent.h"
#include "qeevent/QeEventCapture.h"

namespace {

class CapturedEvents {
public:
    CapturedEvents() { QeEventCapture::Begin(); }
    ~CapturedEvents() { QeEventCapture::End(); }
    CapturedEvents(const CapturedEvents&) = delete;
    CapturedEvents& operator=(const CapturedEvents&) = delete;
    std::vector<QeCapturedEvent> Events() const { return QeEventCapture::Events(); }
};

// Points this process's events at a fresh file for the scope's lifetime.
class EventFile {
public:
    EventFile() {
        wchar_t dir[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        path_ = std::wstring(dir) + L"qeevent-test-" + std::to_wstring(GetCurrentProcessId()) + L".jsonl";
        DeleteFileW(path_.c_str());
        SetEnvironmentVariableW(L"QEEVENT_FILE", path_.c_str());
    }
    ~EventFile() {
        SetEnvironmentVariableW(L"QEEVENT_FILE", nullptr);
        DeleteFileW(path_.c_str());
    }
    EventFile(const EventFile&) = delete;
    EventFile& operator=(const EventFile&) = delete;

    const std::wstring& Path() const { return path_; }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        FILE* file = _wfopen(path_.c_str(), L"rb");
        if (file == nullptr) {
            return lines;
        }
        std::string line;
        for (int c = fgetc(file); c != EOF; c = fgetc(file)) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += static_cast<char>(c);
            }
        }
        fclose(file);
        EXPECT_TRUE(line.empty()) << "last line not ended: " << line;
        return lines;
    }

private:
    std::wstring path_;
};

} // namespace

TEST(QeEvent, ExportedLimits) {
    EXPECT_EQ(QeEvent::MAX_KEY_LEN, 32u);
    EXPECT_EQ(QeEvent::MAX_VALUE_LEN, 1024u);
    EXPECT_EQ(QeEvent::MAX_PAIR_NUM, 256u);
    EXPECT_EQ(QeEvent::MAX_PATH_LEN, 256u);
    EXPECT_EQ(QeEvent::MAX_ARR_SIZE, 100u);
    EXPECT_EQ(QeEvent::MAX_FILE_NUM, 10u);
    EXPECT_EQ(QeEvent::INVALID_NUM, -1);
    static_assert(sizeof(QeEvent::MAX_KEY_LEN) == 8, "unsigned 64-bit");
}

TEST(QeEvent, ReportKeepsIdAndPairsInOrderAndSelfAssignmentChangesNothing) {
    CapturedEvents capture;
    QeEvent event(992614519);
    event = event.PutString("manner", "CLICK_BLOCKING");
    event = event.PutString("windowInfo", "{}");
    event = event.PutInt("count", -7);
    QeView::Report(event);

    auto events = capture.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, 992614519);
    ASSERT_EQ(events[0].pairs.size(), 3u);
    EXPECT_EQ(events[0].pairs[0].key, "manner");
    EXPECT_EQ(events[0].pairs[0].value, "CLICK_BLOCKING");
    EXPECT_FALSE(events[0].pairs[0].isInt);
    EXPECT_EQ(events[0].pairs[1].key, "windowInfo");
    EXPECT_EQ(events[0].pairs[2].key, "count");
    EXPECT_EQ(events[0].pairs[2].value, "-7");
    EXPECT_TRUE(events[0].pairs[2].isInt);
}

TEST(QeEvent, CopiesAreIndependent) {
    CapturedEvents capture;
    QeEvent first(1);
    first.PutString("a", "1");
    QeEvent second(2);
    second = first;
    second.PutString("b", "2");
    QeEvent third(first);
    QeView::Report(first);
    QeView::Report(second);
    QeView::Report(third);

    auto events = capture.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].pairs.size(), 1u);
    EXPECT_EQ(events[1].id, 1);
    EXPECT_EQ(events[1].pairs.size(), 2u);
    EXPECT_EQ(events[2].pairs.size(), 1u);
}

TEST(QeEvent, PairsBeyondTheLimitsAreDroppedOrCut) {
    CapturedEvents capture;
    QeEvent event(5);
    event.PutString(std::string(32, 'k'), "fits");
    event.PutString(std::string(33, 'k'), "key too long");
    event.PutString("", "no key");
    event.PutString("long", std::string(1500, 'v'));
    for (int i = 0; i < 300; ++i) {
        event.PutInt("n", i);
    }
    QeView::Report(event);

    auto events = capture.Events();
    ASSERT_EQ(events.size(), 1u);
    const auto& pairs = events[0].pairs;
    ASSERT_EQ(pairs.size(), 256u);
    EXPECT_EQ(pairs[0].value, "fits");
    EXPECT_EQ(pairs[1].key, "long");
    EXPECT_EQ(pairs[1].value, std::string(1024, 'v'));
    EXPECT_EQ(pairs.back().value, "253"); // 2 pairs before, then n = 0..253
}

TEST(QeEvent, EachReportIsOneEscapedJsonLine) {
    EventFile file;
    EXPECT_EQ(QeEventCapture::EventFilePath(), file.Path());
    QeEvent first(992614518);
    first.PutString("mode", "BLOCKING_MODE").PutString("status", "1");
    QeView::Report(first);
    QeEvent second(7);
    second.PutString("text", "quote\" back\\ line\n tab\t bell\x07 gbk\xB5\xAF").PutInt("count", 42);
    QeView::Report(second);
    QeEvent empty(8);
    QeView::Report(empty);

    auto lines = file.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "{\"id\":992614518,\"pairs\":[[\"mode\",\"BLOCKING_MODE\"],[\"status\",\"1\"]]}");
    EXPECT_EQ(lines[1],
              "{\"id\":7,\"pairs\":[[\"text\",\"quote\\\" back\\\\ line\\n tab\\t bell\\u0007 gbk\xB5\xAF\"],"
              "[\"count\",42]]}");
    EXPECT_EQ(lines[2], "{\"id\":8,\"pairs\":[]}");
}
