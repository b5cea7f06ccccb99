#include "KelvaneCenter/HostAssistant.h"

namespace kelvane {

namespace {
constexpr DWORD kAssistantLifetimeMs = 24u * 60 * 60 * 1000; // the host ends it long before
constexpr DWORD kEndWaitMs = 2000;
} // namespace

std::string HostAssistant::Start(const std::wstring& exePath) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    adw::UniqueHandle readEnd;
    adw::UniqueHandle writeEnd;
    if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0) ||
        !::SetHandleInformation(writeEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
        return "no pipe for its input";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd.get();
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    std::wstring commandLine = L"\"" + exePath + L"\" --lifetime " + std::to_wstring(kAssistantLifetimeMs);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return "not started, error " + std::to_string(::GetLastError());
    }
    adw::UniqueHandle thread(info.hThread);
    process_.reset(info.hProcess);
    input_ = std::move(writeEnd);
    return std::string();
}

HostAssistant::~HostAssistant() {
    input_.reset(); // its input closes: it ends
    if (process_ && ::WaitForSingleObject(process_.get(), kEndWaitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process_.get(), 1);
    }
}

} // namespace kelvane
