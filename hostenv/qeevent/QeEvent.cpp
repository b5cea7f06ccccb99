#include "qeevent/QeEvent.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "EventJson.h"
#include "qeevent/QeEventCapture.h"

const std::uint64_t QeEvent::MAX_KEY_LEN = 32;
const std::uint64_t QeEvent::MAX_VALUE_LEN = 1024;
const std::uint64_t QeEvent::MAX_PAIR_NUM = 256;
const std::uint64_t QeEvent::MAX_PATH_LEN = 256;
const std::uint64_t QeEvent::MAX_ARR_SIZE = 100;
const std::uint64_t QeEvent::MAX_FILE_NUM = 10;
const int QeEvent::INVALID_NUM = -1;

struct QeEvent::Data {
    int id = 0;
    std::vector<QeCapturedPair> pairs;

    void Add(const std::string& key, const std::string& value, bool isInt) {
        if (key.empty() || key.size() > MAX_KEY_LEN || pairs.size() >= MAX_PAIR_NUM) {
            return;
        }
        pairs.push_back(QeCapturedPair{key, value.substr(0, static_cast<size_t>(MAX_VALUE_LEN)), isInt});
    }
};

namespace {

struct ReporterState {
    std::mutex lock;
    bool capturing = false;
    std::vector<QeCapturedEvent> captured;
};

ReporterState& State() {
    static ReporterState state;
    return state;
}

// %QEEVENT_FILE% when set, else %TEMP%\qeevent-<process id>.jsonl. Resolved on
// every report, so a test can point one process's events at a file of its own.
std::wstring ResolveEventPath() {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"QEEVENT_FILE", buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        return buffer;
    }
    wchar_t temp[MAX_PATH] = {};
    DWORD t = GetTempPathW(MAX_PATH, temp);
    std::wstring path = (t > 0 && t < MAX_PATH) ? temp : L".\\";
    path += L"qeevent-" + std::to_wstring(GetCurrentProcessId()) + L".jsonl";
    return path;
}

void AppendLine(const std::string& line) {
    FILE* file = _wfopen(ResolveEventPath().c_str(), L"ab");
    if (file == nullptr) {
        return; // sending telemetry never fails the caller
    }
    fwrite(line.data(), 1, line.size(), file);
    fputc('\n', file);
    fclose(file);
}

} // namespace

QeEvent::QeEvent(int eventId) : data_(new Data) {
    data_->id = eventId;
}

QeEvent::QeEvent(const QeEvent& other) : data_(new Data(*other.data_)) {}

QeEvent& QeEvent::operator=(const QeEvent& other) {
    if (this != &other) {
        *data_ = *other.data_;
    }
    return *this;
}

QeEvent::~QeEvent() {
    delete data_;
}

QeEvent& QeEvent::PutString(const std::string& key, const std::string& value) {
    data_->Add(key, value, false);
    return *this;
}

QeEvent& QeEvent::PutInt(const std::string& key, int value) {
    data_->Add(key, std::to_string(value), true);
    return *this;
}

void QeView::Report(QeEvent& event) {
    try {
        std::string line = qeevent::EventToJsonLine(event.data_->id, event.data_->pairs);
        ReporterState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        AppendLine(line);
        if (state.capturing) {
            state.captured.push_back(QeCapturedEvent{event.data_->id, event.data_->pairs});
        }
    } catch (...) {
        // An event that cannot be written is lost, as a real sender would lose it.
    }
}

void QeEventCapture::Begin() {
    ReporterState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.captured.clear();
    state.capturing = true;
}

std::vector<QeCapturedEvent> QeEventCapture::Events() {
    ReporterState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.captured;
}

void QeEventCapture::End() {
    ReporterState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.capturing = false;
    state.captured.clear();
}

std::wstring QeEventCapture::EventFilePath() {
    return ResolveEventPath();
}
