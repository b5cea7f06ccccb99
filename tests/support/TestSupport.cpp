#include "TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/UniqueResource.h"

namespace adwtest {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::shared_ptr<std::atomic<bool>> RunDetached(std::function<void()> fn) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([fn = std::move(fn), done] {
        fn();
        *done = true;
    }).detach();
    return done;
}

namespace {
// A call that never returns leaves threads that nothing can tear down.
[[noreturn]] void EndHung(const char* what) {
    std::fprintf(stderr, "%s did not return within 20 s (hang)\n", what);
    std::fflush(stderr);
    std::_Exit(3);
}
} // namespace

void ExpectReturns(const std::shared_ptr<std::atomic<bool>>& done, const char* what) {
    if (!WaitUntil([&] { return done->load(); }, std::chrono::seconds(20))) EndHung(what);
}

Watchdog::Watchdog(const char* what)
    : thread_([this, what] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!left_.wait_for(lock, std::chrono::seconds(20), [this] { return done_; })) EndHung(what);
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    left_.notify_one();
    thread_.join();
}

int LogCapture::Count(const std::wstring& text, int level) const {
    const auto lines = Lines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const auto& line) { return line.level == level && line.text == text; }));
}

int LogCapture::CountPrefix(const std::wstring& prefix) const {
    const auto lines = Lines();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
        return line.text.compare(0, prefix.size(), prefix) == 0;
    }));
}

std::wstring LogCapture::Dump() const {
    std::wstring all;
    for (const auto& line : Lines()) all += L"  [" + std::to_wstring(line.level) + L"] " + line.text + L"\n";
    return all;
}

void DeleteHkcuTree(const std::wstring& path) {
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}

bool CreateKey(HKEY root, const std::wstring& path) {
    adw::UniqueRegKey key;
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) ==
           ERROR_SUCCESS;
}

bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS;
}

bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value) {
    return RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool GetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

bool GetString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& value) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    const bool read = RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) == ERROR_SUCCESS;
    value = read ? buffer : value;
    return read;
}

std::wstring ExePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring ExeDir() { return std::filesystem::path(ExePath()).parent_path().wstring(); }

std::string ReadFileText(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

} // namespace adwtest
