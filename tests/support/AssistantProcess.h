#pragma once

// The assistant stand-in serving its pipe for one test, and what it received.

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"

namespace adwtest {

class AssistantProcess {
public:
    // `options`: "" answers every send, "--silent" never answers.
    explicit AssistantProcess(const std::wstring& options)
        : out_(ExeDir() + L"\\assistant-" + std::to_wstring(GetCurrentProcessId()) + L".txt"),
          removed_(std::filesystem::remove(out_) || true),
          process_(ExeDir() + L"\\Assistant.exe", L"--lifetime 60000 --out \"" + out_ + L"\" " + options) {}

    bool WaitListening() const {
        return WaitUntil([&] { return !Lines().empty() && Lines()[0] == "listening"; });
    }
    // Each message received, as the assistant describes it.
    std::vector<std::string> Received() const {
        std::vector<std::string> lines = Lines();
        lines.erase(lines.begin(), lines.begin() + (lines.empty() ? 0 : 1));
        return lines;
    }
    std::vector<std::string> Lines() const {
        std::istringstream in(ReadFileText(out_));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::wstring out_;
    bool removed_;
    ChildProcess process_;
};

} // namespace adwtest
