#pragma once

#include <windows.h>

#include <string>

#include "common/UniqueResource.h"

namespace kelvane {

// The PC manager's assistant, as the suite runs it beside the host: the
// stand-in program next to this one, serving the pipe the capture overlay
// talks to. Its lines go to the host's own output. It ends with the host: its
// standard input is a pipe that closing ends it.
class HostAssistant {
public:
    HostAssistant() = default;
    ~HostAssistant();
    HostAssistant(const HostAssistant&) = delete;
    HostAssistant& operator=(const HostAssistant&) = delete;

    // Empty on success, else what went wrong.
    std::string Start(const std::wstring& exePath);

private:
    adw::UniqueHandle process_;
    adw::UniqueHandle input_;
};

} // namespace kelvane
